#pragma once
// One retail outbound: goods sold to a member (or to nobody in particular) out of a storage
// of type 2, at the sale price less a discount per unit.
#include "ufrmDocEdit.h"

class TfrmOutputEdit : public TfrmDocEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmOutputEdit(QWidget* owner = nullptr);
};
