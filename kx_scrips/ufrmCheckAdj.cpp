#include "ufrmCheckAdj.h"

#include "uCallModule.h"
#include "uCheckBatch.h"
#include "uClock.h"
#include "uConfig.h"
#include "uGridPrint.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "uUtils.h"

#include <QStyleOptionViewItem>

#include <exception>
#include <memory>

namespace {
const QString kStatus = QStringLiteral("status");
const QString kIsAdj = QStringLiteral("isadj");
const QString kStorage = QStringLiteral("storageid");
constexpr char kSelectAll[] = "btnSelectAll";
constexpr char kAdjust[] = "btnAdjust";

struct TAdjustLine {
    QString code, quantity, money, sales;
};
}

TfrmCheckAdj::TfrmCheckAdj(QWidget* owner)
    : TKxPagedList(QStringLiteral("记录数：0， 第1页/共1页"), owner)
    , m_master(new TPClientDataSet(this))
    , m_detail(new TPClientDataSet(this))
{
    resize(1200, 640);
    AddTools({{KxTool::Search, "查 询", [this] { dxBL_SearchClick(); }},
              {KxTool::Refresh, "刷 新", [this] { dxBL_RefreshClick(); }},
              {kSelectAll, "全 选", [this] { btnSelectAllClick(); }},
              {kAdjust, "调整库存", [this] { btnAdjustClick(); }},
              {KxTool::Export, "导出Excel", [this] { dxBL_ExportClick(); }},
              // The difference report covers the whole batch: the pages not loaded come first.
              {KxTool::Print, "打 印", [this] { btnRemainClick(); dxBL_PrintClick(); }},
              {KxTool::Preview, "预 览", [this] { btnRemainClick(); dxBL_PreviewClick(); }},
              {KxTool::Columns, "显示列设置", [this] { dxBL_ColumnsClick(); }},
              {KxTool::Exit, "退 出", {}}});
    const QStringList amounts{"checknum", "stocknum", "checkstocknum", "checkmoney", "stockmoney", "checkstockmoney", "checksales", "stocksales", "checkstocksales"};
    for (const char* f : {"storageid", "storagename", "commoditycode", "barcode", "commodityname", "propstyle", "propcolor", "propsize"}) {
        TGridColumn* c = Grid()->AddColumn(QString::fromLatin1(f));
        c->ReadOnly = true;
        c->Width = 100;
    }
    // The totals under the list are the stocktake's result: pieces and money found over or short.
    for (const QString& f : amounts) {
        TGridColumn* c = Grid()->AddColumn(f);
        c->ReadOnly = true;
        // Stock is kept in whole pieces; money to the cent.
        c->Editor = f.endsWith(QLatin1String("num")) ? TGridEditor::Integer : TGridEditor::Amount;
        c->Footer = TGridFooter::Sum;
    }
    Grid()->AddColumn(kIsAdj)->Editor = TGridEditor::Check;
    Grid()->AddColumn(kStatus)->ReadOnly = true;
    Grid()->ColumnsChanged();
    Grid()->SetFooterVisible(true);
    TGridColumn* tick = Grid()->ColumnByField(kIsAdj);
    TGridColumn* state = Grid()->ColumnByField(kStatus);
    const auto adjusted = [this](int rec) { return ListData()->ValueAt(rec, ListData()->FieldByName(kStatus)).toBool(); };
    KxTickOpenRowsOnly(Grid(), tick, adjusted);
    Grid()->AddOnCustomDrawCell([this, state, adjusted](const QModelIndex& index, TGridColumn* column, QStyleOptionViewItem& option) {
        const QString& f = column->FieldName;
        if (f == QLatin1String("checkstocknum") || f == QLatin1String("checkstockmoney") || f == QLatin1String("checkstocksales")) {
            option.font.setBold(true);
            option.palette.setColor(QPalette::Text, Qt::red);
            option.backgroundBrush = QBrush(Qt::yellow);
            return;
        }
        if (column != state)
            return;
        const bool done = adjusted(Grid()->GridModel()->RecordOf(index.row()));
        option.features &= ~QStyleOptionViewItem::HasCheckIndicator;
        option.text = done ? QStringLiteral("已调整") : QStringLiteral("未调整");
        option.palette.setColor(QPalette::Text, done ? Qt::black : Qt::red);
        option.font.setBold(done);
        if (done)
            option.displayAlignment = Qt::AlignCenter;
    });
}

void TfrmCheckAdj::FormOpen()
{
    ShowTitle();
    TableViewDispay(Grid(), GetParam(QStringLiteral("fieldlabels")));
    GetGridColumnVisible(windowTitle(), Grid());
    THttpWeb web;
    web.setModule(GetParam(QStringLiteral("searchadjust")));
    if (web.SendData()) {
        m_master->SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmlmaster")));
        m_detail->SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmldetail")));
    }
    Search(nullptr, 1);
}

void TfrmCheckAdj::AddSearchParams(TRequest* request)
{
    m_batch = KxEffectiveBatch(this);
    request->AddParams(QStringLiteral("checkcode"), m_batch);
}

TGridPrintOptions TfrmCheckAdj::PrintOptions() const
{
    TGridPrintOptions o = TKxPagedList::PrintOptions();
    o.Title = QStringLiteral("盘点差异表");
    if (!m_batch.isEmpty())
        o.Conditions.prepend(QStringLiteral("盘点批次：") + m_batch);
    return o;
}

void TfrmCheckAdj::btnSelectAllClick()
{
    // Every row of the difference list, not only the pages loaded: an adjustment of the first
    // page alone would leave the rest of the storage unadjusted without a word. "暂 停" stops
    // the loading; the rows loaded by then are ticked.
    btnRemainClick();
    KxTickAll(ListData(), kIsAdj);
}

void TfrmCheckAdj::buildAdjustments(const QString& batch)
{
    TPClientDataSet* list = ListData();
    QStringList order;
    QHash<QString, QList<TAdjustLine>> groups;
    list->DisableControls();
    for (list->First(); !list->Eof(); list->Next()) {
        if (!list->FieldByName(kIsAdj)->AsBoolean() || list->FieldByName(kStatus)->AsBoolean())
            continue;
        list->Edit();
        list->FieldByName(kStatus)->SetAsBoolean(true);
        list->Post();
        const QString storage = list->FieldByName(kStorage)->AsString();
        if (!groups.contains(storage))
            order << storage;
        groups[storage].append({list->FieldByName(QStringLiteral("commoditycode"))->AsString(), list->FieldByName(QStringLiteral("checkstocknum"))->AsString(),
                                list->FieldByName(QStringLiteral("checkstockmoney"))->AsString(), list->FieldByName(QStringLiteral("checkstocksales"))->AsString()});
    }
    list->First();
    list->EnableControls();

    m_master->EmptyDataSet();
    m_detail->EmptyDataSet();
    const QString who = QLatin1Char('[') + gOperId + QLatin1Char(']') + gOperName;
    const QString when = KxNow().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    for (const QString& storage : order) {
        const QString key = GetMd5_Key();
        m_master->Append();
        for (const auto& [field, value] : QList<QPair<QString, QString>>{{"md5_key", key}, {"shopcode", gShopId}, {"checkcode", batch},
                                                                          {"adjusttype", KxCheckAdjustments().typeValue}, {"storageid", storage},
                                                                          {"inputren", who}, {"auditren", who}, {"inputtime", when}, {"audittime", when}})
            m_master->FieldByName(field)->SetAsString(value);
        m_master->FieldByName(kStatus)->SetAsInteger(2);
        m_master->Post();
        int seq = 0;
        for (const TAdjustLine& l : groups[storage]) {
            m_detail->Append();
            m_detail->FieldByName(QStringLiteral("md5_key"))->SetAsString(key);
            m_detail->FieldByName(QStringLiteral("seq"))->SetAsInteger(++seq);
            m_detail->FieldByName(QStringLiteral("commoditycode"))->SetAsString(l.code);
            m_detail->FieldByName(QStringLiteral("adjustnum"))->SetAsString(l.quantity);
            m_detail->FieldByName(QStringLiteral("costprice"))->SetAsString(l.money);
            m_detail->FieldByName(QStringLiteral("saleprice"))->SetAsString(l.sales);
            m_detail->Post();
        }
    }
}

void TfrmCheckAdj::btnAdjustClick()
{
    TPClientDataSet* list = ListData();
    if (!list->Active() || list->IsEmpty())
        return;
    if ((list->State() == dsEdit || list->State() == dsInsert) && !list->Post())
        return;
    if (list->ChangeCount() == 0) {
        KxShowInfo(QStringLiteral("无数据变动，不用提交数据汇总！"));
        return;
    }
    const QString batch = KxEffectiveBatch(this);
    buildAdjustments(batch);
    if (list->ChangeCount() == 0)
        return;
    bool done = false;
    if (KxAskOkCancel(QStringLiteral("真的需要提交调整库存吗？"))) {
        THttpWeb web;
        web.setModule(GetParam(QStringLiteral("audit")));
        web.Request()->AddFiles(QStringLiteral("delta"), list->GetKXXMLDelta());
        if (!m_master->IsEmpty())
            web.Request()->AddFiles(QStringLiteral("deltamaster"), m_master->GetKXXMLDelta());
        if (!m_detail->IsEmpty())
            web.Request()->AddFiles(QStringLiteral("deltadetail"), m_detail->GetKXXMLDelta());
        try {
            if (web.SendData()) {
                UnionCDS(list, web.Response()->GetParam(QStringLiteral("xmldata")));
                UnionCDS(m_master, web.Response()->GetParam(QStringLiteral("xmlmaster")));
                done = true;
            }
        } catch (const std::exception& e) {
            KxShowInfo(QString::fromUtf8(e.what()));
        }
    }
    if (!done) {
        list->CancelUpdates();
        return;
    }
    if (m_master->IsEmpty())
        return;
    m_master->First();
    const QString first = m_master->FieldByName(QStringLiteral("adjustid"))->AsString();
    m_master->Last();
    const QString last = m_master->FieldByName(QStringLiteral("adjustid"))->AsString();
    std::unique_ptr<TfrmBase> form(CallModule(this, GetParam(QStringLiteral("checkadjust")),
                                              {QStringLiteral("adjustid1=") + first, QStringLiteral("adjustid2=") + last}));
    if (form)
        KxUi().ShowModal(form.get());
}

KX_REGISTER_CLASS(TfrmCheckAdj)
