#include "ufrmLogistics.h"

#include "uCallModule.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"

namespace {
const QString kSelected = QStringLiteral("selected");
const QString kCode = QStringLiteral("logistics_code");
const QString kName = QStringLiteral("logistics_name");
const QString kFee = QStringLiteral("logistics_fee");
}

TfrmLogistics::TfrmLogistics(QWidget* owner)
    : TfrmMasterList(owner)
    , m_ticks(new TPClientDataSet(this))
    , m_own(new TPClientDataSet(this))
{
    m_ticks->FieldDefs().Add(kSelected, ftBoolean);
    m_ticks->FieldDefs().Add(kCode, ftString, 20);
    m_ticks->FieldDefs().Add(kName, ftString, 100);
    m_ticks->FieldDefs().Add(kFee, ftDecimal, 0, 18, 2);
    m_ticks->CreateDataSet();
    Grid()->SetDataSet(m_ticks);
    AddColumn(kSelected, TGridEditor::Check)->Caption = QStringLiteral("选择");
    AddColumn(kCode, TGridEditor::Text, true)->Caption = QStringLiteral("物流编码");
    AddColumn(kName, TGridEditor::Text, true)->Caption = QStringLiteral("快递物流名称");
    AddColumn(kFee, TGridEditor::Amount)->Caption = QStringLiteral("默认费用");
    Grid()->ColumnsChanged();
}

QString TfrmLogistics::SearchMethod() const
{
    return GetParam(QStringLiteral("searchmger"));
}

void TfrmLogistics::AfterSearch(int)
{
    TPClientDataSet* companies = ListData();
    m_ticks->DisableControls();
    m_ticks->EmptyDataSet();
    for (companies->First(); !companies->Eof(); companies->Next()) {
        const QString code = companies->FieldByName(kCode)->AsString();
        m_ticks->Append();
        m_ticks->FieldByName(kSelected)->SetAsBoolean(code == companies->FieldByName(QStringLiteral("nicklogistics_code"))->AsString());
        m_ticks->FieldByName(kCode)->SetAsString(code);
        m_ticks->FieldByName(kName)->SetAsString(companies->FieldByName(kName)->AsString());
        m_ticks->FieldByName(kFee)->SetAsString(companies->FieldByName(kFee)->AsString());
        m_ticks->Post();
    }
    m_ticks->MergeChangeLog();
    m_ticks->First();
    m_ticks->EnableControls();
    companies->First();

    THttpWeb web;
    web.setModule(GetParam(QStringLiteral("search")));
    web.Request()->AddParams(QStringLiteral("nick"), QStringLiteral("nick"));
    web.Request()->AddParams(QStringLiteral("curpage"), QStringLiteral("0"));
    if (!web.SendData())
        return;
    m_own->Close();
    m_own->KXAppendData(web.Response()->GetParamUtf8(QStringLiteral("xmldata")));
}

void TfrmLogistics::dxBL_SaveClick()
{
    if (m_ticks->State() == dsEdit || m_ticks->State() == dsInsert)
        m_ticks->Post();
    if (!m_own->Active())
        return;
    const TBookmark at = m_ticks->GetBookmark();
    for (m_ticks->First(); !m_ticks->Eof(); m_ticks->Next()) {
        const QString code = m_ticks->FieldByName(kCode)->AsString();
        const bool found = m_own->Locate(kCode, code, loCaseInsensitive);
        if (!m_ticks->FieldByName(kSelected)->AsBoolean()) {
            if (found)
                m_own->Delete();
            continue;
        }
        if (found) {
            m_own->Edit();
        } else {
            m_own->Append();
            StampNewRow(m_own);
        }
        m_own->FieldByName(kCode)->SetAsString(code);
        m_own->FieldByName(kName)->SetAsString(m_ticks->FieldByName(kName)->AsString());
        m_own->FieldByName(kFee)->SetAsString(m_ticks->FieldByName(kFee)->AsString());
        m_own->Post();
    }
    m_ticks->GotoBookmark(at);
    SaveDelta(m_own);
}

KX_REGISTER_CLASS(TfrmLogistics)
