#include "ufrmMasterList.h"

#include "uFormParts.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uKxPager.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "uUtils.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QVBoxLayout>

#include <exception>

TfrmMasterList::TfrmMasterList(QWidget* owner)
    : TfrmBase(owner)
    , m_list(new TPClientDataSet(this))
    , m_grid(new TGridView(this))
    , m_title(new QLabel(this))
    , m_recordLabel(new QLabel(QStringLiteral("记录数：0， 第1页/共2页"), this))
    , m_keyword(new QLineEdit(this))
    , m_pager(new TKxPager(this))
{
    auto* tools = new QHBoxLayout;
    KxAddButtons(this, tools,
                 {{"查 询", [this] { dxBL_SearchClick(); }},
                  {"刷 新", [this] { dxBL_RefreshClick(); }},
                  {"新 建", [this] { dxBL_NewClick(); }},
                  {"修 改", [this] { dxBL_EditClick(); }},
                  {"删 除", [this] { dxBL_DeleteClick(); }},
                  {"保 存", [this] { dxBL_SaveClick(); }},
                  {"导出Excel", [this] { dxBL_ExportClick(); }},
                  {"打 印", [this] { dxBL_PrintClick(); }},
                  {"预 览", [this] { dxBL_PreviewClick(); }},
                  {"显示列设置", [this] { dxBL_ColumnsClick(); }},
                  {"退 出", {}}},
                 m_buttons);
    tools->addStretch();

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_title);
    bar->addStretch();
    bar->addWidget(new QLabel(QStringLiteral("搜索关键字："), this));
    bar->addWidget(m_keyword);

    auto* paging = new QHBoxLayout;
    paging->addWidget(m_recordLabel);
    paging->addStretch();
    KxAddButtons(this, paging,
                 {{"下一页", [this] { btnNextClick(); }},
                  {"剩余页", [this] { btnRemainClick(); }},
                  {"暂 停", [this] { btnPauseClick(); }}},
                 m_buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addLayout(bar);
    layout->addWidget(m_grid, 1);
    layout->addLayout(paging);

    m_pager->SetFetchPage([this](int page) { return Search(nullptr, page); });
    m_pager->Bind(m_recordLabel, nullptr, nullptr, nullptr);
    m_grid->SetDataSet(m_list);
    KxHighlightKeyword(m_grid, m_keyword);
}

QPushButton* TfrmMasterList::Button(const QString& text) const
{
    return KxFindButton(m_buttons, text);
}

TGridColumn* TfrmMasterList::AddColumn(const QString& fieldName, TGridEditor editor, bool readOnly)
{
    TGridColumn* c = m_grid->AddColumn(fieldName);
    c->Editor = editor;
    c->ReadOnly = readOnly;
    c->Width = 120;
    m_grid->ColumnsChanged();
    return c;
}

QString TfrmMasterList::SearchMethod() const
{
    return GetParam(QStringLiteral("search"));
}

void TfrmMasterList::showEvent(QShowEvent* event)
{
    TfrmBase::showEvent(event);
    if (!m_opened) {
        m_opened = true;
        open();
    }
}

void TfrmMasterList::applyRights()
{
    Button(QStringLiteral("查 询"))->setVisible(!GetParam(QStringLiteral("searchfile")).isEmpty());
    const bool update = GetPower(QStringLiteral("isupdate"));
    for (const char* text : {"新 建", "修 改", "删 除", "保 存"})
        Button(QString::fromUtf8(text))->setEnabled(update);
    Button(QStringLiteral("查 询"))->setEnabled(GetPower(QStringLiteral("issearch")));
    Button(QStringLiteral("打 印"))->setEnabled(GetPower(QStringLiteral("isprint")));
    Button(QStringLiteral("预 览"))->setEnabled(GetPower(QStringLiteral("isprint")));
    Button(QStringLiteral("导出Excel"))->setEnabled(GetPower(QStringLiteral("isoutput")));
    Button(QStringLiteral("显示列设置"))->setEnabled(GetPower(QStringLiteral("iscolumn")));
    // In-place editing follows the same right as the edit buttons.
    m_grid->setEditTriggers(update ? QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                         | QAbstractItemView::AnyKeyPressed
                                   : QAbstractItemView::NoEditTriggers);
}

void TfrmMasterList::open()
{
    applyRights();
    m_title->setText(GetParam(QStringLiteral("moduletitle")));
    if (UsesColumnSettings()) {
        TableViewDispay(m_grid, GetParam(QStringLiteral("fieldlabels")));
        DisTableViewDispay(m_grid, GetParam(QStringLiteral("disfieldlabels")));
        GetGridColumnVisible(windowTitle(), m_grid);
    }
    BeforeFirstSearch();
    Search(nullptr, 1);
}

bool TfrmMasterList::Search(const QStringList* conditions, int page)
{
    if (conditions)
        m_conditions = *conditions;
    if (!KxSearchPage(this, SearchMethod(), m_conditions, page, m_list, m_pager, [this](TRequest* r) { AddSearchParams(r); }))
        return false;
    AfterSearch();
    return true;
}

void TfrmMasterList::dxBL_SearchClick()
{
    QStringList conditions;
    if (KxAskSearchConditions(this, &conditions))
        Search(&conditions, 1);
}

int TfrmMasterList::CurrentPage() const
{
    return m_pager->CurPage();
}

void TfrmMasterList::dxBL_RefreshClick()
{
    Search(nullptr, 1);
}

void TfrmMasterList::StampNewRow(TPClientDataSet* dataSet)
{
    if (TField* key = dataSet->FindField(QStringLiteral("md5_key")))
        key->SetAsString(GetMd5_Key());
    if (dataSet == m_list)
        NewRecord();
}

void TfrmMasterList::dxBL_NewClick()
{
    if (!m_list->Active())
        return;
    m_list->Append();
    StampNewRow(m_list);
}

void TfrmMasterList::dxBL_EditClick()
{
    if (m_list->Active() && !m_list->IsEmpty())
        m_list->Edit();
}

void TfrmMasterList::dxBL_DeleteClick()
{
    if (m_list->Active() && !m_list->IsEmpty())
        m_list->Delete();
}

void TfrmMasterList::dxBL_SaveClick()
{
    SaveDelta(m_list);
}

void TfrmMasterList::SaveDelta(TPClientDataSet* dataSet)
{
    // A row still being typed belongs to the change log.
    if (dataSet->State() == dsEdit || dataSet->State() == dsInsert)
        if (!dataSet->Post())
            return;
    THttpWeb web;
    web.setModule(GetParam(QStringLiteral("update")));
    web.Request()->AddFiles(QStringLiteral("delta"), dataSet->GetKXXMLDelta());
    if (!KxAskOkCancel(QStringLiteral("真的需要提交修改吗？")))
        return;
    try {
        if (!web.SendData())
            return;
        UnionCDS(dataSet, web.Response()->GetParam(QStringLiteral("xmldata")));
        KxShowInfo(QStringLiteral("数据提交成功！"));
    } catch (const std::exception& e) {
        KxShowInfo(QString::fromUtf8(e.what()));
    }
}

void TfrmMasterList::dxBL_ExportClick()
{
    ExportGridToExcel(m_grid, true, true, true, QStringLiteral("xls"));
}

void TfrmMasterList::dxBL_PrintClick()
{
    GridPrint(m_grid);
}

void TfrmMasterList::dxBL_PreviewClick()
{
    GridPreview(m_grid);
}

void TfrmMasterList::dxBL_ColumnsClick()
{
    SetGridColumnVisible(windowTitle(), m_grid);
}

void TfrmMasterList::btnNextClick()
{
    m_pager->NextPage();
}

void TfrmMasterList::btnRemainClick()
{
    if (m_pager->RemainingPages() > 0)
        m_grid->viewport()->update();
}

void TfrmMasterList::btnPauseClick()
{
    m_pager->Pause();
}
