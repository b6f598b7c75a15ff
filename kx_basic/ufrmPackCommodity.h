#pragma once
// Bundles with their components, one row per component. The list only shows them; a bundle
// is edited and saved in its edit dialog.
#include "ufrmMasterList.h"

class TfrmPackCommodity : public TfrmMasterList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmPackCommodity(QWidget* owner = nullptr);

    // "新 建": a new bundle; "修 改": the current row's bundle.
    void dxBL_NewClick() override;
    void dxBL_EditClick() override;
    // "删 除" takes the row out of the loaded list only.
    void dxBL_DeleteClick() override;

private:
    void openBundle(const QString& code);
};
