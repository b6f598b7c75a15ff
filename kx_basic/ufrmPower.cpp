#include "ufrmPower.h"

#include "uCallModule.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"

#include <QPushButton>
#include <QSplitter>
#include <QTimer>

namespace {
const QString kSelected = QStringLiteral("selected");
const QString kModId = QStringLiteral("mod_id");
const QString kDisplay = QStringLiteral("display");
const QString kOperId = QStringLiteral("operid");
const char* const kRights[] = {"isupdate", "isaudit", "issearch", "isprint", "isoutput", "iscolumn"};
const char* const kCaptions[] = {"是否录入", "是否审核", "是否查询", "是否打印", "是否导出", "显示列"};
}

TfrmPower::TfrmPower(QWidget* owner)
    : TfrmMasterList(owner)
    , m_rightsGrid(new TGridView(this))
    , m_rights(new TPClientDataSet(this))
    , m_stored(new TPClientDataSet(this))
{
    AddColumn(kOperId, TGridEditor::Text, true);
    AddColumn(QStringLiteral("opername"), TGridEditor::Text, true);
    AddColumn(QStringLiteral("isuse"), TGridEditor::Check, true);

    m_rights->FieldDefs().Add(kSelected, ftBoolean);
    m_rights->FieldDefs().Add(kModId, ftInteger);
    m_rights->FieldDefs().Add(kDisplay, ftString, 100);
    for (const char* r : kRights)
        m_rights->FieldDefs().Add(QString::fromLatin1(r), ftBoolean);
    m_rights->CreateDataSet();
    m_rightsGrid->SetDataSet(m_rights);
    m_rightsGrid->AddColumn(kSelected, QStringLiteral("选择模块"))->Editor = TGridEditor::Check;
    TGridColumn* id = m_rightsGrid->AddColumn(kModId, QStringLiteral("模块编码"));
    id->Visible = false;
    id->ReadOnly = true;
    TGridColumn* name = m_rightsGrid->AddColumn(kDisplay, QStringLiteral("模块名称"));
    name->ReadOnly = true;
    name->Width = 160;
    for (int i = 0; i < 6; ++i)
        m_rightsGrid->AddColumn(QString::fromLatin1(kRights[i]), QString::fromUtf8(kCaptions[i]))->Editor = TGridEditor::Check;
    m_rightsGrid->ColumnsChanged();
    KxHighlightKeyword(m_rightsGrid, KeywordEdit());
    connect(m_rightsGrid->GridModel(), &TGridModel::cellEdited, this,
            [this](int rec, TGridColumn* column) { cellTicked(rec, column->FieldName); });

    // The operators on the left, their rights beside them, in the list's own splitter (its
    // category tree stays hidden: operators have no categories).
    if (auto* body = qobject_cast<QSplitter*>(Grid()->parentWidget())) {
        body->addWidget(m_rightsGrid);
        body->setStretchFactor(body->indexOf(Grid()), 0);
        body->setStretchFactor(body->indexOf(m_rightsGrid), 1);
        body->setSizes({0, 320, 700});
    }

    for (const char* tool : {KxTool::New, KxTool::Edit, KxTool::Delete})
        if (QPushButton* b = Tool(tool))
            b->hide();
    // The rights follow the focused operator once the list has settled, not on every row a
    // page load passes.
    connect(ListData(), &TPClientDataSet::currentRowChanged, this, [this] {
        if (m_followQueued)
            return;
        m_followQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_followQueued = false;
            FollowOperator();
        });
    });
}

QList<TKxRight> TfrmPower::RightsTable() const
{
    return {{"isupdate", {KxTool::Save}},
            {"issearch", {KxTool::Search}},
            {"isprint", {KxTool::Print, KxTool::Preview}},
            {"isoutput", {KxTool::Export}},
            {"iscolumn", {KxTool::Columns}}};
}

void TfrmPower::FormOpen()
{
    TfrmMasterList::FormOpen();
    m_rightsGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void TfrmPower::AddParamsAfterCallParams(TRequest* request)
{
    request->AddParams(QStringLiteral("isuse"), QStringLiteral("1"));
}

void TfrmPower::AfterSearch(int)
{
    FollowOperator(true);
}

QString TfrmPower::focusedOperator() const
{
    TPClientDataSet* list = ListData();
    if (!list->Active() || list->IsEmpty())
        return QString();
    return list->FieldByName(kOperId)->AsString();
}

void TfrmPower::FollowOperator(bool force)
{
    const QString operid = focusedOperator();
    if (!force && m_loaded && operid == m_loadedFor)
        return;
    if (operid.isEmpty()) {
        clearRights();
        m_loadedFor.clear();
        // Nobody to save for; an empty list is not a failed load.
        m_loaded = true;
        return;
    }
    loadRights(operid);
}

void TfrmPower::clearRights()
{
    m_rightsGrid->CancelEdit();
    m_rights->DisableControls();
    m_rights->EmptyDataSet();
    m_rights->MergeChangeLog();
    m_rights->EnableControls();
}

bool TfrmPower::loadRights(const QString& operid)
{
    // Whatever happens, the grid never keeps another operator's rights.
    clearRights();
    m_loadedFor = operid;
    m_loaded = false;
    THttpWeb web;
    web.setModule(GetParam(QStringLiteral("powershow")));
    web.Request()->AddParams(QStringLiteral("curoperid"), operid);
    web.Request()->AddParams(QStringLiteral("curpage"), QStringLiteral("0"));
    if (!web.SendData())
        return false;
    TPClientDataSet answer;
    if (!answer.SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmldata"))))
        return false;
    m_rights->DisableControls();
    for (answer.First(); !answer.Eof(); answer.Next()) {
        const QString pmod = answer.FieldByName(QStringLiteral("pmod_id"))->AsString();
        m_rights->Append();
        m_rights->FieldByName(kSelected)->SetAsBoolean(pmod == answer.FieldByName(kModId)->AsString());
        m_rights->FieldByName(kModId)->SetAsString(pmod);
        m_rights->FieldByName(kDisplay)->SetAsString(answer.FieldByName(kDisplay)->AsString());
        for (const char* r : kRights) {
            const TField* f = answer.FindField(QString::fromLatin1(r));
            m_rights->FieldByName(QString::fromLatin1(r))->SetAsBoolean(f && f->AsBoolean());
        }
        m_rights->Post();
    }
    m_rights->MergeChangeLog();
    m_rights->First();
    m_rights->EnableControls();
    m_loaded = true;
    return true;
}

// The box clicked has its new state already. The module tick carries its rights along; a
// right ticked ticks its module, and taking the last one back leaves the module as it is.
void TfrmPower::cellTicked(int recIndex, const QString& field)
{
    m_rights->SetRecNo(recIndex + 1);
    const bool on = m_rights->FieldByName(field)->AsBoolean();
    m_rights->Edit();
    if (field == kSelected) {
        for (const char* r : kRights)
            m_rights->FieldByName(QString::fromLatin1(r))->SetAsBoolean(on);
    } else {
        bool any = false;
        for (const char* r : kRights)
            any = any || m_rights->FieldByName(QString::fromLatin1(r))->AsBoolean();
        if (any)
            m_rights->FieldByName(kSelected)->SetAsBoolean(true);
    }
    m_rights->Post();
}

void TfrmPower::dxBL_SaveClick()
{
    const QString operid = focusedOperator();
    if (operid.isEmpty())
        return;
    if (!m_loaded || operid != m_loadedFor) {
        KxShowError(QStringLiteral("操作员【%1】的权限没有读取成功，不能保存，请刷新后再试！").arg(operid));
        return;
    }
    THttpWeb web;
    web.setModule(GetParam(QStringLiteral("powersearch")));
    web.Request()->AddParams(QStringLiteral("curoperid"), operid);
    web.Request()->AddParams(QStringLiteral("curpage"), QStringLiteral("0"));
    if (!web.SendData())
        return;
    if (!m_stored->SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmldata"))))
        return;
    while (!m_stored->IsEmpty()) {
        m_stored->First();
        m_stored->Delete();
    }
    if (m_rights->State() == dsEdit || m_rights->State() == dsInsert)
        m_rights->Post();
    const TBookmark at = m_rights->GetBookmark();
    for (m_rights->First(); !m_rights->Eof(); m_rights->Next()) {
        if (!m_rights->FieldByName(kSelected)->AsBoolean())
            continue;
        m_stored->Append();
        m_stored->FieldByName(kOperId)->SetAsString(operid);
        m_stored->FieldByName(kModId)->SetAsString(m_rights->FieldByName(kModId)->AsString());
        for (const char* r : kRights)
            m_stored->FieldByName(QString::fromLatin1(r))->SetAsBoolean(m_rights->FieldByName(QString::fromLatin1(r))->AsBoolean());
        m_stored->Post();
    }
    m_rights->GotoBookmark(at);
    SaveDelta(m_stored);
}

KX_REGISTER_CLASS(TfrmPower)
