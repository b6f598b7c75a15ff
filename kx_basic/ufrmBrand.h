#pragma once
// The brands of the goods.
#include "ufrmMasterList.h"

class TfrmBrand : public TfrmMasterList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmBrand(QWidget* owner = nullptr);

};
