#include "ufrmBrand.h"

#include "uCallModule.h"

TfrmBrand::TfrmBrand(QWidget* owner)
    : TfrmMasterList(owner)
{
    AddColumn(QStringLiteral("brand_id"), TGridEditor::Text, true);
    AddColumn(QStringLiteral("brand_name"));
}

KX_REGISTER_CLASS(TfrmBrand)
