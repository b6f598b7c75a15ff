#pragma once
// Property values (colours and sizes) of the products.
#include "ufrmMasterList.h"

class TfrmProp : public TfrmMasterList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmProp(QWidget* owner = nullptr);

};
