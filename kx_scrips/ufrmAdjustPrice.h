#pragma once
// The list of goods price adjustments.
#include "ufrmDocList.h"

class TfrmAdjustPrice : public TfrmDocList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmAdjustPrice(QWidget* owner = nullptr);
};
