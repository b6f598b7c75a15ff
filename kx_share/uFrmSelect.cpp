#include "uFrmSelect.h"

#include "uFormParts.h"

#include "uCallModule.h"
#include "uFrmSearch.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uKxCategoryTree.h"
#include "uKxPager.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "uUtils.h"

#include "DataPacket.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <optional>

KX_REGISTER_CLASS(TFrmSelect)

namespace {

const QString kSelected = QStringLiteral("selected");
constexpr char kSelectTool[] = "btnSelect";
constexpr char kAllSelectTool[] = "btnAllSelect";


// The rows of `src` for which `take` holds, written with the definitions `defs`. Fields
// `src` lacks stay null, except "selected", which gets `selected` when given.
QByteArray packetOf(TPClientDataSet& src, const TFieldDefs& defs, const std::function<bool(int)>& take,
                    std::optional<bool> selected = std::nullopt)
{
    TDataPacketWriter w(defs);
    QList<TField*> from;
    for (int i = 0; i < defs.Count(); ++i)
        from << (src.Active() ? src.FindField(defs[i].Name) : nullptr);
    const int count = src.Active() ? src.RecordCount() : 0;
    for (int r = 0; r < count; ++r) {
        if (!take(r))
            continue;
        w.BeginRow();
        for (int i = 0; i < defs.Count(); ++i)
            if (from[i] && !src.IsNullAt(r, from[i]))
                w.SetValue(i, src.ValueAt(r, from[i]));
            else if (!from[i] && selected && defs[i].Name == kSelected)
                w.SetBoolean(i, *selected);
        w.EndRow();
    }
    return w.Finish();
}

void makeSelectColumn(TGridView* grid)
{
    TGridColumn* c = grid->ColumnByField(kSelected);
    if (!c)
        return;
    c->Caption = QStringLiteral("选择");
    c->Editor = TGridEditor::Check;
    c->ReadOnly = false;
    c->Width = 60;
    grid->MoveColumn(grid->IndexOfColumn(c), 0);
    grid->ColumnsChanged();
}

} // namespace

TFrmSelect::TFrmSelect(QWidget* owner)
    : TfrmBase(owner),
      m_list(new TPClientDataSet(this)),
      m_chosen(new TPClientDataSet(this)),
      m_page(new TPClientDataSet(this)),
      m_pager(new TKxPager(this))
{
    resize(860, 600);
    auto* top = new QVBoxLayout(this);
    m_lblTitle = new QLabel(this);
    QFont f = m_lblTitle->font();
    f.setBold(true);
    f.setPointSize(f.pointSize() + 3);
    m_lblTitle->setFont(f);
    top->addWidget(m_lblTitle);

    auto* tools = new QHBoxLayout;
    KxAddButtons(this, tools,
                 {{kSelectTool, "选择好了", [this] { btnSelectClick(); }},
                  {KxTool::Search, "查找", [this] { btnSearchClick(); }},
                  {kAllSelectTool, "全部选择", [this] { btnAllSelectClick(); }},
                  {KxTool::Export, "导出Excel", [this] { btnExportClick(); }},
                  {KxTool::Print, "打印", [this] { btnPrintClick(); }},
                  {KxTool::Preview, "打印预览", [this] { btnPreviewClick(); }},
                  {KxTool::Columns, "表格列自定义", [this] { btnColumnsClick(); }},
                  {KxTool::Exit, "关闭", [this] { btnCloseClick(); }}},
                 m_buttons);
    tools->addStretch();
    tools->addWidget(new QLabel(QStringLiteral("搜索关键字："), this));
    m_keyword = new QLineEdit(this);
    tools->addWidget(m_keyword);
    top->addLayout(tools);

    auto* body = new QSplitter(Qt::Horizontal, this);
    m_treePanel = new TKxCategoryTree(body);
    m_gridSplitter = new QSplitter(Qt::Vertical, body);
    m_gridList = new TGridView(m_gridSplitter);
    m_gridChosen = new TGridView(m_gridSplitter);
    m_gridList->SetDataSet(m_list);
    m_gridChosen->SetDataSet(m_chosen);
    body->setStretchFactor(1, 1);
    top->addWidget(body, 1);

    auto* paging = new QHBoxLayout;
    m_lblRecord = new QLabel(QStringLiteral("记录数：0， 第1页/共2页"), this);
    paging->addWidget(m_lblRecord);
    paging->addStretch();
    KxAddButtons(this, paging,
                 {{KxTool::Next, "下一页", [this] { m_pager->NextPage(); }},
                  {KxTool::Remain, "剩余页", [this] { m_pager->RemainingPages(); }},
                  {KxTool::Pause, "暂 停", [this] { m_pager->Pause(); }}},
                 m_buttons);
    top->addLayout(paging);
    m_pager->Bind(m_lblRecord, nullptr, nullptr, nullptr);
    m_pager->SetFetchPage([this](int page) { return Search(nullptr, page); });

    KxHighlightKeyword(m_gridList, m_keyword);
    KxHighlightKeyword(m_gridChosen, m_keyword);
    connect(m_treePanel, &TKxCategoryTree::categoryClicked, this, [this](QTreeWidgetItem* item) { tvGroupClick(item); });
    connect(m_gridList, &QAbstractItemView::doubleClicked, this, [this] {
        if (!MultiSelect())
            btnSelectClick();
    });
    connect(m_list, &TPClientDataSet::rowChanged, this, &TFrmSelect::listRowChanged);
    connect(m_chosen, &TPClientDataSet::rowChanged, this, &TFrmSelect::chosenRowChanged);
}

QPushButton* TFrmSelect::Button(const QString& text) const
{
    return KxFindButton(m_buttons, text);
}

void TFrmSelect::showEvent(QShowEvent* event)
{
    TfrmBase::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        formShow();
    }
}

void TFrmSelect::formShow()
{
    KxFindTool(m_buttons, KxTool::Search)->setVisible(!GetParam(QStringLiteral("searchfile")).isEmpty());
    KxApplyRights(this, m_buttons,
                  {{"issearch", {KxTool::Search}},
                   {"isprint", {KxTool::Print, KxTool::Preview}},
                   {"isoutput", {KxTool::Export}},
                   {"iscolumn", {KxTool::Columns}}});
    m_lblTitle->setText(GetParam(QStringLiteral("moduletitle")));

    const bool multi = MultiSelect();
    KxFindTool(m_buttons, kAllSelectTool)->setVisible(multi);
    m_gridChosen->setVisible(multi);
    m_gridSplitter->handle(1)->setVisible(multi);

    Search(nullptr, 1);

    if (!GetParam(QStringLiteral("filterfield")).isEmpty())
        loadGroupTree();
    else
        m_treePanel->hide();
}

// Columns come from the list's fields, so they are made once the first page has arrived.
void TFrmSelect::setupColumns()
{
    if (m_columnsSet || !m_list->Active() || m_list->FieldCount() == 0)
        return;
    m_columnsSet = true;
    if (!m_chosen->Active()) {
        m_chosen->FieldDefs().Assign(m_list->FieldDefs());
        m_chosen->CreateDataSet();
    }
    const QString labels = GetParam(QStringLiteral("fieldlabels"));
    const QString hidden = GetParam(QStringLiteral("disfieldlabels"));
    for (TGridView* grid : {m_gridList, m_gridChosen}) {
        SetGridColumn(m_list, grid);
        TableViewDispay(grid, labels);
        RemoveGridColumns(grid, hidden);
        // The layout comes last, so it finds the "选择" caption it was saved with.
        makeSelectColumn(grid);
        GetGridColumnVisible(windowTitle(), grid);
    }
}

bool TFrmSelect::Search(const QStringList* conditions, int page)
{
    if (conditions)
        m_conditions = *conditions;
    THttpWeb web;
    web.setModule(GetParam(QStringLiteral("search")));
    web.Request()->AddParamLines(m_conditions);
    web.Request()->AddParamLines(FixedConditions());
    web.Request()->AddParams(QStringLiteral("curpage"), QString::number(page));
    if (!web.SendData())
        return false;
    const QString pageCount = web.Response()->GetParam(QStringLiteral("pagecount"));
    const QString recordCount = web.Response()->GetParam(QStringLiteral("recordcount"));
    QByteArray xml = web.Response()->GetParamUtf8(QStringLiteral("xmldata"));

    if (MultiSelect()) {
        if (!m_page->SetKXXMLData(xml))
            return false;
        if (m_list->FieldDefs().Count() == 0) {
            TFieldDefs& defs = m_list->FieldDefs();
            defs.Add(kSelected, ftBoolean);
            for (const TFieldDef& d : m_page->FieldDefs().List())
                defs.Add(d.Name, d.DataType, d.Size, d.Precision, d.Scale);
            m_list->CreateDataSet();
        }
        xml = packetOf(*m_page, m_list->FieldDefs(), [](int) { return true; }, false);
    }
    if (page == 1)
        m_list->Close();
    if (!m_list->KXAppendData(xml))
        return false;
    m_pager->PageLoaded(page, pageCount, recordCount, m_list->UnfilteredCount());
    setupColumns();
    return true;
}

void TFrmSelect::loadGroupTree()
{
    m_treePanel->show();
    m_treePanel->Load(GetParam(QStringLiteral("grouptree")));
}

void TFrmSelect::tvGroupClick(QTreeWidgetItem* item)
{
    TKxCategoryTree::FilterList(m_list, GetParam(QStringLiteral("filterfield")), item);
}

// The key of a ticked row: the list's first data field, wherever a layout put its column.
QString TFrmSelect::keyOf(TPClientDataSet* ds, int row) const
{
    return ds->DisplayTextAt(row, ds->Fields(1));
}

void TFrmSelect::listRowChanged(int row)
{
    if (m_syncing || !MultiSelect() || m_list->FieldCount() < 2 || !m_chosen->Active())
        return;
    m_syncing = true;
    const QString key = keyOf(m_list, row);
    const bool ticked = m_list->ValueAt(row, m_list->FieldByName(kSelected)).toBool();
    const QString keyField = m_chosen->Fields(1)->FieldName();
    const bool present = m_chosen->Locate(keyField, key, loCaseInsensitive);
    if (ticked && !present) {
        m_chosen->Append();
        for (int i = 0; i < m_chosen->FieldCount(); ++i) {
            TField* to = m_chosen->Fields(i);
            if (TField* from = m_list->FindField(to->FieldName()); from && !m_list->IsNullAt(row, from))
                to->SetValue(m_list->ValueAt(row, from));
        }
        m_chosen->FieldByName(kSelected)->SetAsBoolean(true);
        m_chosen->Post();
    } else if (!ticked && present) {
        m_chosen->Delete();
    }
    m_syncing = false;
}

void TFrmSelect::chosenRowChanged(int row)
{
    if (m_syncing || !MultiSelect() || m_chosen->FieldCount() < 2)
        return;
    m_syncing = true;
    const QString key = keyOf(m_chosen, row);
    const bool ticked = m_chosen->ValueAt(row, m_chosen->FieldByName(kSelected)).toBool();
    const TBookmark here = m_list->GetBookmark();
    if (m_list->Locate(m_list->Fields(1)->FieldName(), key, loCaseInsensitive)) {
        m_list->Edit();
        m_list->FieldByName(kSelected)->SetAsBoolean(ticked);
        m_list->Post();
        m_list->GotoBookmark(here);
    }
    m_syncing = false;
}

void TFrmSelect::btnAllSelectClick()
{
    if (!MultiSelect() || !m_list->Active() || !m_chosen->Active())
        return;
    m_syncing = true;
    m_chosen->EmptyDataSet();
    m_list->DisableControls();
    m_chosen->DisableControls();
    for (m_list->First(); !m_list->Eof(); m_list->Next()) {
        m_list->Edit();
        m_list->FieldByName(kSelected)->SetAsBoolean(true);
        m_list->Post();
        m_chosen->Append();
        for (int i = 0; i < m_chosen->FieldCount(); ++i)
            if (TField* from = m_list->FindField(m_chosen->Fields(i)->FieldName()))
                m_chosen->Fields(i)->SetValue(from->Value());
        m_chosen->Post();
    }
    m_chosen->EnableControls();
    m_list->EnableControls();
    m_list->First();
    m_syncing = false;
}

void TFrmSelect::writeResult(const QByteArray& packet)
{
    TPClientDataSet result;
    result.SetKXXMLData(packet);
    QBuffer* out = ResultStream();
    out->buffer().clear();
    out->seek(0);
    result.SaveToStream(out);
}

void TFrmSelect::btnSelectClick()
{
    if (MultiSelect()) {
        TField* ticked = m_chosen->Active() ? m_chosen->FindField(kSelected) : nullptr;
        writeResult(packetOf(*m_chosen, m_page->FieldDefs(),
                             [&](int r) { return ticked && m_chosen->ValueAt(r, ticked).toBool(); }));
    } else {
        const int current = m_list->Active() ? m_list->CurrentIndex() : -1;
        writeResult(packetOf(*m_list, m_list->FieldDefs(), [current](int r) { return r == current; }));
    }
    SetModalResult(mrOk);
}

void TFrmSelect::btnSearchClick()
{
    QStringList conditions;
    if (KxAskSearchConditions(this, &conditions))
        Search(&conditions, 1);
}

void TFrmSelect::btnExportClick()
{
    ExportPagedGridToExcel(m_gridList, m_pager);
}

void TFrmSelect::btnPrintClick()
{
    GridPrint(m_gridList);
}

void TFrmSelect::btnPreviewClick()
{
    GridPreview(m_gridList);
}

void TFrmSelect::btnColumnsClick()
{
    SetGridColumnVisible(windowTitle(), m_gridList);
    GetGridColumnVisible(windowTitle(), m_gridChosen);
}

void TFrmSelect::btnCloseClick()
{
    SetModalResult(mrCancel);
}

TKxLookupResult KxLookup(QObject* owner, const QString& moduleName, const QStringList& lines, TPClientDataSet* rows)
{
    std::unique_ptr<TmedBase> med(CallMethod(owner, moduleName, lines));
    // CallMethod leaves the result stream empty when the search call failed; an answer
    // without rows still carries its fields.
    if (!med || med->ResultStream()->size() == 0)
        return TKxLookupResult::Failed;
    med->ResultStream()->seek(0);
    if (!rows->LoadFromStream(med->ResultStream()))
        return TKxLookupResult::Failed;
    rows->First();
    return rows->IsEmpty() ? TKxLookupResult::NotFound : TKxLookupResult::Found;
}

QTreeWidget* TFrmSelect::GroupTree() const
{
    return m_treePanel->Tree();
}

bool KxPick(QWidget* owner, const QString& moduleName, const QStringList& fixedConditions, TPClientDataSet* rows,
            const QStringList& lines)
{
    std::unique_ptr<TfrmBase> pick(CallModule(owner, moduleName, lines));
    if (!pick)
        return false;
    pick->FixedConditions() << fixedConditions;
    if (KxUi().ShowModal(pick.get()) != mrOk)
        return false;
    pick->ResultStream()->seek(0);
    if (!rows->LoadFromStream(pick->ResultStream()) || rows->IsEmpty())
        return false;
    rows->First();
    return true;
}
