#pragma once
// One stock adjustment: signed quantities added to a storage's stock; made here its type is
// "库存调整单" (a stocktake makes its own).
#include "ufrmDocEdit.h"

class TfrmAdjustEdit : public TfrmDocEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmAdjustEdit(QWidget* owner = nullptr);
};
