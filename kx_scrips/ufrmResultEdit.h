#pragma once
// One purchase return: goods sent back to a supplier out of a return storage (type 3).
#include "ufrmDocEdit.h"

class TfrmResultEdit : public TfrmDocEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmResultEdit(QWidget* owner = nullptr);
};
