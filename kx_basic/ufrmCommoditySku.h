#pragma once
// Which marketplace items and SKUs stand for which product. The list is read-only: a
// product's mappings are changed and saved in its edit dialog.
#include "ufrmMasterList.h"

class TfrmCommoditySku : public TfrmMasterList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmCommoditySku(QWidget* owner = nullptr);

    // "新 建" and "修 改" both open the dialog for the current product.
    void dxBL_NewClick() override;

protected:
    QString SearchMethod() const override;
};
