#pragma once
// One goods price adjustment: new sale and wholesale prices for goods and all their variants.
#include "ufrmDocEdit.h"

class TfrmAdjustPriceEdit : public TfrmDocEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmAdjustPriceEdit(QWidget* owner = nullptr);
};
