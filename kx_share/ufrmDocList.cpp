#include "ufrmDocList.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uKxPager.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "uUtils.h"

#include <QEvent>
#include <QPushButton>
#include <QSplitter>

#include <algorithm>
#include <memory>

TfrmDocList::TfrmDocList(const TKxDocListDef& def, QWidget* owner)
    : TKxPagedList(QStringLiteral("记录数：0， 第1页/共2页"), owner)
    , m_def(def)
    , m_detail(new TPClientDataSet(this))
    , m_storage(new TPClientDataSet(this))
    , m_shop(new TPClientDataSet(this))
    , m_logistics(new TPClientDataSet(this))
    , m_status(new TPClientDataSet(this))
    , m_gridDetail(new TGridView(this))
    , m_splitter(new QSplitter(Qt::Vertical, this))
{
    resize(900, 640);
    AddTools({{KxTool::Search, "查 询", [this] { dxBL_SearchClick(); }},
              {KxTool::Refresh, "刷 新", [this] { dxBL_RefreshClick(); }},
              {KxTool::New, "新 建", [this] { dxBL_NewClick(); }},
              {KxTool::Edit, "修 改", [this] { dxBL_EditClick(); }},
              {KxTool::Export, "导出Excel", [this] { dxBL_ExportClick(); }},
              {KxTool::Print, "打 印", [this] { dxBL_PrintClick(); }},
              {KxTool::Preview, "预 览", [this] { dxBL_PreviewClick(); }},
              {KxTool::PrintReport, "票据打印", [this] { dxBL_PrintReportClick(); }},
              {KxTool::Columns, "显示列设置", [this] { dxBL_ColumnsClick(); }},
              {KxTool::Exit, "退 出", {}}});

    m_splitter->addWidget(Grid());
    m_splitter->addWidget(m_gridDetail);
    m_splitter->setStretchFactor(0, 3);
    m_splitter->setStretchFactor(1, 2);
    SetBody(m_splitter);

    Documents()->setObjectName(QStringLiteral("cdsMaster"));
    m_detail->setObjectName(QStringLiteral("cdsDetail"));
    Grid()->setObjectName(QStringLiteral("cxGridMaster"));
    m_gridDetail->setObjectName(QStringLiteral("cxGridDetail"));
    for (TGridView* g : {Grid(), m_gridDetail}) {
        g->setEditTriggers(QAbstractItemView::NoEditTriggers);
        g->viewport()->installEventFilter(this);
    }
    m_gridDetail->SetDataSet(m_detail);
    setupColumns(Grid(), m_def.masterFields);
    setupColumns(m_gridDetail, m_def.detailFields);

    connect(Grid(), &QAbstractItemView::doubleClicked, this, [this] {
        if (Tool(KxTool::Edit)->isEnabled())
            dxBL_EditClick();
    });
    // Focusing another document shows its lines; pages arriving below do not.
    connect(Documents(), &TPClientDataSet::currentRowChanged, this, [this] {
        if (!Pager()->Running())
            LoadLines();
    });
}

void TfrmDocList::setupColumns(TGridView* grid, const QStringList& fields)
{
    const auto lookup = [](TGridColumn* c, TPClientDataSet* list, const QString& key, const QString& name) {
        c->Editor = TGridEditor::Lookup;
        c->LookupDataSet = list;
        c->LookupKeyField = key;
        c->LookupListField = name;
    };
    for (const QString& name : fields) {
        TGridColumn* c = grid->AddColumn(name);
        c->ReadOnly = true;
        c->Width = KxDocColumnWidth(name);
        if (name == m_def.qtyField)
            c->Editor = TGridEditor::Integer;   // stock is kept in whole pieces
        else if (m_def.amountFields.contains(name))
            c->Editor = TGridEditor::Amount;
        // Money and quantities are summed under the rows; unit prices are not.
        if (name == m_def.qtyField || (m_def.amountFields.contains(name) && KxIsTotalField(name)))
            c->Footer = TGridFooter::Sum;
        if (name == m_def.checkField) {
            c->Editor = TGridEditor::Check;
            c->ReadOnly = false;
        }
        if (m_def.storageFields.contains(name))
            lookup(c, m_storage, QStringLiteral("storageid"), QStringLiteral("storagename"));
        else if (m_def.carrierFields.contains(name))
            lookup(c, m_logistics, QStringLiteral("logistics_code"), QStringLiteral("logistics_name"));
        else if (m_def.shopFields.contains(name))
            lookup(c, m_shop, QStringLiteral("shopcode"), QStringLiteral("shopname"));
        else if (name == m_def.statusField)
            lookup(c, m_status, QStringLiteral("status"), QStringLiteral("statusname"));
    }
    grid->ColumnsChanged();
    grid->SetFooterVisible(std::any_of(grid->GridModel()->Columns().begin(), grid->GridModel()->Columns().end(),
                                       [](const TGridColumn* c) { return c->Footer != TGridFooter::None; }));
}

bool TfrmDocList::eventFilter(QObject* watched, QEvent* event)
{
    // "显示列设置" works on the grid clicked last.
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == m_gridDetail->viewport())
            m_detailClicked = true;
        else if (watched == Grid()->viewport())
            m_detailClicked = false;
    }
    return TKxPagedList::eventFilter(watched, event);
}

void TfrmDocList::FormOpen()
{
    ApplyRights({{"isupdate", {KxTool::New, KxTool::Edit}},
                 {"issearch", {KxTool::Search}},
                 {"isprint", {KxTool::Print, KxTool::Preview, KxTool::PrintReport}},
                 {"isoutput", {KxTool::Export}},
                 {"iscolumn", {KxTool::Columns}}});
    ShowTitle();
    TableViewDispay(Grid(), GetParam(QStringLiteral("masterlabels")));
    TableViewDispay(m_gridDetail, GetParam(QStringLiteral("detaillabels")));
    DisTableViewDispay(m_gridDetail, GetParam(QStringLiteral("disfieldlabels")));
    GetGridColumnVisible(windowTitle(), Grid());
    GetGridColumnVisible(windowTitle() + QStringLiteral("明细"), m_gridDetail);
    if (!m_def.storageFields.isEmpty())
        KxLoadLookupList(this, QStringLiteral("storage"),
                         m_def.storageType.isEmpty() ? QStringList() : QStringList{QStringLiteral("storagetype=") + m_def.storageType},
                         m_storage);
    if (!m_def.shopFields.isEmpty())
        KxLoadLookupList(this, QStringLiteral("shop"), {}, m_shop);
    if (!m_def.carrierFields.isEmpty())
        KxLoadLookupList(this, QStringLiteral("logistics"), {}, m_logistics);
    KxLoadLookupList(this, QStringLiteral("status"), {}, m_status);
    if (Search(nullptr, m_def.firstPage))
        LoadLines();
}

void TfrmDocList::AddParamsAfterCallParams(TRequest* request)
{
    for (const QString& name : m_def.shopParams)
        request->AddParams(name, gShopId);
}

void TfrmDocList::AfterSearch(int page)
{
    // A new first page puts the cursor on another document.
    if (page <= 1 && !Pager()->Running())
        LoadLines();
}

bool TfrmDocList::LoadLines()
{
    TPClientDataSet* docs = Documents();
    const TField* id = docs->Active() && !docs->IsEmpty() ? docs->FindField(m_def.idField) : nullptr;
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
    m_moneyLines = m_def.moneyLines.Of(docs);
    m_detail->SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmldata")));
    // The voucher printed from the list shows the same amounts as the edit window's.
    if (KxAddLineAmounts(m_detail, m_def.qtyField, m_def.amounts, [this] { return m_moneyLines; }))
        m_gridDetail->ColumnsChanged();
    KxShowUnitPrices(m_gridDetail, m_def.amounts, m_moneyLines);
    m_linesOf = docId;
    return true;
}

void TfrmDocList::dxBL_RefreshClick()
{
    // The lines of the focused document may have changed too.
    m_linesOf.clear();
    TKxPagedList::dxBL_RefreshClick();
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
    if (!Documents()->Active() || Documents()->IsEmpty())
        return;
    openEditor(Documents()->FieldByName(m_def.idField)->AsString().trimmed());
}

void TfrmDocList::dxBL_PrintReportClick()
{
    KxPrintVoucher(this, Documents(), m_def.reportMaster, m_detail, m_def.reportDetail);
}

void TfrmDocList::dxBL_ColumnsClick()
{
    if (m_detailClicked)
        SetGridColumnVisible(windowTitle() + QStringLiteral("明细"), m_gridDetail);
    else
        SetGridColumnVisible(windowTitle(), Grid());
}
