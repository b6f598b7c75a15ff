#include "ufrmShop.h"

#include "uCallModule.h"
#include "uPClientDataSet.h"
#include "uRequest.h"

TfrmShop::TfrmShop(QWidget* owner)
    : TfrmMasterList(owner)
{
    AddColumn(QStringLiteral("shopcode"), TGridEditor::Text, true);
    AddColumn(QStringLiteral("shopname"));
    AddColumn(QStringLiteral("isuse"), TGridEditor::Check);
}

void TfrmShop::AddSearchParams(TRequest* request)
{
    request->AddParams(QStringLiteral("coreshop"), QStringLiteral("coreshop"));
}

void TfrmShop::NewRecord()
{
    ListData()->FieldByName(QStringLiteral("isuse"))->SetAsBoolean(true);
}

KX_REGISTER_CLASS(TfrmShop)
