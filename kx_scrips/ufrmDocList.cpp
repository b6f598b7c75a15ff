#include "ufrmDocList.h"

#include "uCallModule.h"
#include "uDocCommon.h"
#include "uFormParts.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uKxPager.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "uUtils.h"

#include <QEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

#include <memory>

TfrmDocList::TfrmDocList(const TKxDocListDef& def, QWidget* owner)
    : TfrmBase(owner)
    , m_def(def)
    , m_master(new TPClientDataSet(this))
    , m_detail(new TPClientDataSet(this))
    , m_storage(new TPClientDataSet(this))
    , m_status(new TPClientDataSet(this))
    , m_grid(new TGridView(this))
    , m_gridDetail(new TGridView(this))
    , m_splitter(new QSplitter(Qt::Vertical, this))
    , m_title(new QLabel(this))
    , m_recordLabel(new QLabel(QStringLiteral("记录数：0， 第1页/共2页"), this))
    , m_keyword(new QLineEdit(this))
    , m_pager(new TKxPager(this))
{
    resize(900, 640);
    auto* tools = new QHBoxLayout;
    KxAddButtons(this, tools,
                 {{"查 询", [this] { dxBL_SearchClick(); }},
                  {"刷 新", [this] { dxBL_RefreshClick(); }},
                  {"新 建", [this] { dxBL_NewClick(); }},
                  {"修 改", [this] { dxBL_EditClick(); }},
                  {"导出Excel", [this] { dxBL_ExportClick(); }},
                  {"打 印", [this] { dxBL_PrintClick(); }},
                  {"预 览", [this] { dxBL_PreviewClick(); }},
                  {"票据打印", [this] { dxBL_PrintReportClick(); }},
                  {"显示列设置", [this] { dxBL_ColumnsClick(); }},
                  {"退 出", {}}},
                 m_buttons);
    tools->addStretch();

    auto* strip = new QHBoxLayout;
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    titleFont.setPointSize(titleFont.pointSize() + 4);
    m_title->setFont(titleFont);
    strip->addWidget(m_title);
    strip->addStretch();
    strip->addWidget(new QLabel(QStringLiteral("搜索关键字："), this));
    strip->addWidget(m_keyword);

    auto* paging = new QHBoxLayout;
    paging->addWidget(m_recordLabel);
    paging->addStretch();
    KxAddButtons(this, paging,
                 {{"下一页", [this] { btnNextClick(); }},
                  {"剩余页", [this] { btnRemainClick(); }},
                  {"暂 停", [this] { btnPauseClick(); }}},
                 m_buttons);

    m_splitter->addWidget(m_grid);
    m_splitter->addWidget(m_gridDetail);
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addLayout(strip);
    layout->addWidget(m_splitter, 1);
    layout->addLayout(paging);

    m_master->setObjectName(QStringLiteral("cdsMaster"));
    m_detail->setObjectName(QStringLiteral("cdsDetail"));
    m_grid->setObjectName(QStringLiteral("cxGridMaster"));
    m_gridDetail->setObjectName(QStringLiteral("cxGridDetail"));
    for (TGridView* g : {m_grid, m_gridDetail}) {
        g->setEditTriggers(QAbstractItemView::NoEditTriggers);
        g->setSortingEnabled(false);
        g->viewport()->installEventFilter(this);
    }
    m_grid->SetDataSet(m_master);
    m_gridDetail->SetDataSet(m_detail);
    setupColumns(m_grid, m_def.masterFields);
    setupColumns(m_gridDetail, m_def.detailFields);

    m_pager->SetFetchPage([this](int page) { return Search(nullptr, page); });
    m_pager->Bind(m_recordLabel, nullptr, nullptr, nullptr);
    KxHighlightKeyword(m_grid, m_keyword);

    connect(m_grid, &QAbstractItemView::doubleClicked, this, [this] {
        if (Button(QStringLiteral("修 改"))->isEnabled())
            dxBL_EditClick();
    });
    // Focusing another document shows its lines; pages arriving below do not.
    connect(m_master, &TPClientDataSet::currentRowChanged, this, [this] {
        if (!m_pager->Running())
            LoadLines();
    });
}

void TfrmDocList::setupColumns(TGridView* grid, const QStringList& fields)
{
    for (const QString& name : fields) {
        TGridColumn* c = grid->AddColumn(name);
        c->ReadOnly = true;
        c->Width = KxDocColumnWidth(name);
        if (m_def.amountFields.contains(name))
            c->Editor = TGridEditor::Amount;
        if (m_def.storageFields.contains(name)) {
            c->Editor = TGridEditor::Lookup;
            c->LookupDataSet = m_storage;
            c->LookupKeyField = QStringLiteral("storageid");
            c->LookupListField = QStringLiteral("storagename");
        } else if (name == m_def.statusField) {
            c->Editor = TGridEditor::Lookup;
            c->LookupDataSet = m_status;
            c->LookupKeyField = QStringLiteral("status");
            c->LookupListField = QStringLiteral("statusname");
        }
    }
    grid->ColumnsChanged();
}

QPushButton* TfrmDocList::Button(const QString& text) const
{
    return KxFindButton(m_buttons, text);
}

void TfrmDocList::showEvent(QShowEvent* event)
{
    TfrmBase::showEvent(event);
    if (!m_opened) {
        m_opened = true;
        open();
    }
}

bool TfrmDocList::eventFilter(QObject* watched, QEvent* event)
{
    // "显示列设置" works on the grid clicked last.
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == m_gridDetail->viewport())
            m_detailClicked = true;
        else if (watched == m_grid->viewport())
            m_detailClicked = false;
    }
    return TfrmBase::eventFilter(watched, event);
}

void TfrmDocList::applyRights()
{
    Button(QStringLiteral("查 询"))->setVisible(!GetParam(QStringLiteral("searchfile")).isEmpty());
    const std::pair<const char*, QStringList> rights[] = {
        {"isupdate", {"新 建", "修 改"}},
        {"issearch", {"查 询"}},
        {"isprint", {"打 印", "预 览", "票据打印"}},
        {"isoutput", {"导出Excel"}},
        {"iscolumn", {"显示列设置"}},
    };
    for (const auto& [right, buttons] : rights) {
        const bool granted = GetPower(QString::fromLatin1(right));
        for (const QString& text : buttons)
            Button(text)->setEnabled(granted);
    }
}

void TfrmDocList::open()
{
    applyRights();
    m_title->setText(GetParam(QStringLiteral("moduletitle")));
    TableViewDispay(m_grid, GetParam(QStringLiteral("masterlabels")));
    TableViewDispay(m_gridDetail, GetParam(QStringLiteral("detaillabels")));
    DisTableViewDispay(m_gridDetail, GetParam(QStringLiteral("disfieldlabels")));
    GetGridColumnVisible(windowTitle(), m_grid);
    GetGridColumnVisible(windowTitle() + QStringLiteral("明细"), m_gridDetail);
    KxLoadLookupList(this, QStringLiteral("storage"), {}, m_storage);
    KxLoadLookupList(this, QStringLiteral("status"), {}, m_status);
    if (Search(nullptr, -1))
        LoadLines();
}

bool TfrmDocList::Search(const QStringList* conditions, int page)
{
    if (conditions)
        m_conditions = *conditions;
    const bool ok = KxSearchPage(this, GetParam(QStringLiteral("search")), m_conditions, page, m_master, m_pager);
    // A new first page puts the cursor on another document.
    if (ok && page <= 1 && !m_pager->Running())
        LoadLines();
    return ok;
}

bool TfrmDocList::LoadLines()
{
    const TField* id = m_master->Active() && !m_master->IsEmpty() ? m_master->FindField(m_def.idField) : nullptr;
    const QString docId = id ? id->AsString().trimmed() : QString();
    if (docId == m_linesOf && m_detail->Active())
        return true;
    if (docId.isEmpty()) {
        m_linesOf.clear();
        if (m_detail->Active())
            m_detail->EmptyDataSet();
        return true;
    }
    THttpWeb web;
    web.setModule(GetParam(QStringLiteral("listdetail")));
    web.Request()->AddParams(m_def.idField, docId);
    if (!web.SendData())
        return false;
    m_detail->SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmldata")));
    m_linesOf = docId;
    return true;
}

void TfrmDocList::dxBL_SearchClick()
{
    QStringList conditions;
    if (KxAskSearchConditions(this, &conditions))
        Search(&conditions, 1);
}

void TfrmDocList::dxBL_RefreshClick()
{
    // The lines of the focused document may have changed too.
    m_linesOf.clear();
    Search(nullptr, 1);
}

void TfrmDocList::openEditor(const QString& id)
{
    std::unique_ptr<TfrmBase> window(CallModule(this, GetParam(QStringLiteral("module"))));
    if (!window)
        return;
    window->FixedConditions() << m_def.idField + QLatin1Char('=') + id;
    KxUi().ShowModal(window.get());
}

void TfrmDocList::dxBL_NewClick()
{
    openEditor(QString());
}

void TfrmDocList::dxBL_EditClick()
{
    if (!m_master->Active() || m_master->IsEmpty())
        return;
    openEditor(m_master->FieldByName(m_def.idField)->AsString().trimmed());
}

void TfrmDocList::dxBL_ExportClick()
{
    ExportGridToExcel(m_grid, true, true, true, QStringLiteral("xls"));
}

void TfrmDocList::dxBL_PrintClick()
{
    GridPrint(m_grid);
}

void TfrmDocList::dxBL_PreviewClick()
{
    GridPreview(m_grid);
}

void TfrmDocList::dxBL_PrintReportClick()
{
    KxPrintVoucher(this, m_master, m_def.reportMaster, m_detail, m_def.reportDetail);
}

TGridView* TfrmDocList::columnsGrid(QString* key) const
{
    *key = windowTitle() + (m_detailClicked ? QStringLiteral("明细") : QString());
    return m_detailClicked ? m_gridDetail : m_grid;
}

void TfrmDocList::dxBL_ColumnsClick()
{
    QString key;
    TGridView* grid = columnsGrid(&key);
    SetGridColumnVisible(key, grid);
}

void TfrmDocList::btnNextClick()
{
    m_pager->NextPage();
}

void TfrmDocList::btnRemainClick()
{
    if (m_pager->RemainingPages() > 0)
        m_grid->viewport()->repaint();
}

void TfrmDocList::btnPauseClick()
{
    m_pager->Pause();
}
