#pragma once
// One goods cost adjustment: new purchase prices for goods and all their variants.
#include "ufrmDocEdit.h"

class TfrmAdjustCostEdit : public TfrmDocEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmAdjustCostEdit(QWidget* owner = nullptr);
};
