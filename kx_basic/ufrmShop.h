#pragma once
// The shops of the seller.
#include "ufrmMasterList.h"

class TfrmShop : public TfrmMasterList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmShop(QWidget* owner = nullptr);

protected:
    void AddSearchParams(TRequest* request) override;
    void NewRecord() override;
};
