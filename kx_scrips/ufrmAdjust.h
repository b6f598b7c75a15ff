#pragma once
// The list of stock adjustments; a stocktake's show the money their lines carry.
#include "ufrmDocList.h"

class TfrmAdjust : public TfrmDocList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmAdjust(QWidget* owner = nullptr);
};
