#pragma once
// One stock adjustment: signed quantities added to a storage's stock; made here its type is
// "库存调整单". A stocktake makes its own, "盘点库存调整", whose lines carry the difference as
// money: shown as the amounts, without unit prices.
#include "ufrmDocEdit.h"

class TfrmAdjustEdit : public TfrmDocEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmAdjustEdit(QWidget* owner = nullptr);
};
