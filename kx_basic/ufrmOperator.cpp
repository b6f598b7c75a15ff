#include "ufrmOperator.h"

#include "uCallModule.h"
#include "uPClientDataSet.h"

TfrmOperator::TfrmOperator(QWidget* owner)
    : TfrmMasterList(owner)
{
    AddColumn(QStringLiteral("operid"), TGridEditor::Text, true);
    AddColumn(QStringLiteral("opername"));
    AddColumn(QStringLiteral("operpsw"), TGridEditor::Password);
    AddColumn(QStringLiteral("isuse"), TGridEditor::Check);
}

void TfrmOperator::NewRecord()
{
    ListData()->FieldByName(QStringLiteral("isuse"))->SetAsBoolean(true);
}

KX_REGISTER_CLASS(TfrmOperator)
