#pragma once
// The list of purchase receipts.
#include "ufrmDocList.h"

class TfrmReceive : public TfrmDocList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmReceive(QWidget* owner = nullptr);
};
