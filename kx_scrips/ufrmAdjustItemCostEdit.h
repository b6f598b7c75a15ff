#pragma once
// One product cost adjustment: new purchase prices for single SKUs.
#include "ufrmDocEdit.h"

class TfrmAdjustItemCostEdit : public TfrmDocEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmAdjustItemCostEdit(QWidget* owner = nullptr);
};
