#pragma once
// One wholesale outbound: goods sold at the wholesale price less a discount per unit, out of
// a storage of type 2; the storage is needed only to add lines.
#include "ufrmDocEdit.h"

class TfrmWholeEdit : public TfrmDocEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmWholeEdit(QWidget* owner = nullptr);
};
