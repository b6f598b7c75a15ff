#pragma once
// One transfer: goods moved out of one storage into a storage of a shop (this one or another).
#include "ufrmDocEdit.h"

class TfrmAllocateEdit : public TfrmDocEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmAllocateEdit(QWidget* owner = nullptr);
};
