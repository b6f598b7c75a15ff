#pragma once
// The list of product price adjustments.
#include "ufrmDocList.h"

class TfrmAdjustItemPrice : public TfrmDocList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmAdjustItemPrice(QWidget* owner = nullptr);
};
