#pragma once
// One purchase receipt: goods received from a supplier into a storage of type 1.
#include "ufrmDocEdit.h"

class TfrmReceiveEdit : public TfrmDocEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmReceiveEdit(QWidget* owner = nullptr);
};
