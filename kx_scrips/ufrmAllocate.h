#pragma once
// The list of transfers between storages; the in-shop is shown by its name.
#include "ufrmDocList.h"

class TfrmAllocate : public TfrmDocList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmAllocate(QWidget* owner = nullptr);
};
