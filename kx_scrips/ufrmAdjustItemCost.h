#pragma once
// The list of product cost adjustments.
#include "ufrmDocList.h"

class TfrmAdjustItemCost : public TfrmDocList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmAdjustItemCost(QWidget* owner = nullptr);
};
