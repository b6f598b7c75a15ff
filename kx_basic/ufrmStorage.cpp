#include "ufrmStorage.h"

#include "uCallModule.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"

TfrmStorage::TfrmStorage(QWidget* owner)
    : TfrmMasterList(owner)
    , m_types(new TPClientDataSet(this))
{
    AddColumn(QStringLiteral("storageid"), TGridEditor::Text, true);
    AddColumn(QStringLiteral("storagename"));
    TGridColumn* type = AddColumn(QStringLiteral("storagetype"), TGridEditor::Lookup);
    type->LookupDataSet = m_types;
    type->LookupKeyField = QStringLiteral("storagetype");
    type->LookupListField = QStringLiteral("typename");
    Grid()->ColumnsChanged();
}

void TfrmStorage::BeforeFirstSearch()
{
    m_types->Close();
    THttpWeb web;
    web.setModule(GetParam(QStringLiteral("storagetype")));
    if (web.SendData())
        m_types->KXAppendData(web.Response()->GetParamUtf8(QStringLiteral("xmldata")));
}

KX_REGISTER_CLASS(TfrmStorage)
