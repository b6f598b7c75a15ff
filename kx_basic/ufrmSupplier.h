#pragma once
// The suppliers: the category tree, a new supplier in use, and the edit dialog.
#include "ufrmMasterList.h"

class TfrmSupplier : public TfrmMasterList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmSupplier(QWidget* owner = nullptr);

protected:
    void NewRecord() override;
};
