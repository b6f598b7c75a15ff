#pragma once
// The list of goods cost adjustments.
#include "ufrmDocList.h"

class TfrmAdjustCost : public TfrmDocList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmAdjustCost(QWidget* owner = nullptr);
};
