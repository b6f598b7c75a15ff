#include "ufrmProp.h"

#include "uCallModule.h"

TfrmProp::TfrmProp(QWidget* owner)
    : TfrmMasterList(owner)
{
    AddColumn(QStringLiteral("propid"), TGridEditor::Text, true);
    AddColumn(QStringLiteral("propname"));
    AddColumn(QStringLiteral("isuse"), TGridEditor::Check);
}

KX_REGISTER_CLASS(TfrmProp)
