#pragma once
// Operators who log in; the password column is masked and sent only when typed.
#include "ufrmMasterList.h"

class TfrmOperator : public TfrmMasterList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmOperator(QWidget* owner = nullptr);

protected:
    void NewRecord() override;
};
