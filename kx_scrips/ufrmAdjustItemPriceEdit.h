#pragma once
// One product price adjustment: new sale and wholesale prices for single SKUs.
#include "ufrmDocEdit.h"

class TfrmAdjustItemPriceEdit : public TfrmDocEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmAdjustItemPriceEdit(QWidget* owner = nullptr);
};
