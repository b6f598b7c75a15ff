#include "ufrmTrade.h"

#include "uCallModule.h"
#include "uDocCommon.h"
#include "uFrmSelect.h"
#include "uGridModel.h"
#include "uGridView.h"
#include "uHttpWeb.h"
#include "uKxPager.h"
#include "uMarketList.h"
#include "uPClientDataSet.h"
#include "uUtils.h"
#include "uUiHooks.h"
#include "ufrmTradeDown.h"
#include "ufrmTrade2Pick.h"
#include "ufrmTradeRate.h"

#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTabBar>
#include <QVBoxLayout>

namespace {
constexpr char kSelectAll[] = "dxBL_SelectAll";
constexpr char kInvert[] = "dxBL_Invert";
constexpr char kDownload[] = "dxBL_Download";
constexpr char kRate[] = "dxBL_Rate";
constexpr char kPick[] = "dxBL_Pick";
constexpr int kToRate = 6;

const char* const kTabs[] = {"未拣货", "已拣货", "所有订单", "待付款", "待发货", "已发货", "待评价", "成功的", "关闭的", "退款中", "历史订单"};
constexpr int kAllOrders = 2;

}

TfrmTrade::TfrmTrade(QWidget* owner)
    : TKxPagedList(QStringLiteral("记录总数：0 条， 第 0 页/共 0 页"), owner)
    , m_lines(new TPClientDataSet(this))
    , m_tradeStatus(new TPClientDataSet(this))
    , m_codStatus(new TPClientDataSet(this))
    , m_refundStatus(new TPClientDataSet(this))
    , m_tradeType(new TPClientDataSet(this))
    , m_gridDetail(new TGridView(this))
    , m_tabs(new QTabBar(this))
    , m_quick(new QLineEdit(this))
    , m_message(new QPlainTextEdit(this))
    , m_memo(new QPlainTextEdit(this))
    , m_picture(new TKxPicturePanel(this))
{
    AddTools({{KxTool::Search, "查 询", [this] { dxBL_SearchClick(); }},
              {KxTool::Refresh, "刷 新", [this] { dxBL_RefreshClick(); }},
              {kSelectAll, "全  选", [this] { SelectAll(false); }},
              {kInvert, "反  选", [this] { SelectAll(true); }},
              {kDownload, "下载订单", [this] { dxBL_DownloadClick(); }},
              {kPick, "生成拣货单", [this] { TTradeToPicking::Of(this).dxBL_PickClick(); }},
              {kRate, "批量好评", [this] { dxBL_RateClick(); }},
              {KxTool::Export, "导出Excel", [this] { dxBL_ExportClick(); }},
              {KxTool::Print, "打 印", [this] { dxBL_PrintClick(); }},
              {KxTool::Preview, "预 览", [this] { dxBL_PreviewClick(); }},
              {KxTool::PrintReport, "票据打印", [this] {
                   KxPrintVoucher(this, Orders(), QStringLiteral("网络订单"), m_lines, QStringLiteral("网络订单明细"));
               }},
              {KxTool::Columns, "显示列设置", [this] { dxBL_ColumnsClick(); }},
              {KxTool::Exit, "退 出", {}}});

    auto* filterRow = KxMarketFilterRow(this, m_tabs, kTabs, int(std::size(kTabs)), m_quick);
    m_message->setReadOnly(true);
    QWidget* side = KxMarketSidePanel(this, QStringLiteral("客户留言："), m_message, QStringLiteral("客服备注："), m_memo, m_picture);

    auto* lower = new QSplitter(Qt::Horizontal, this);
    lower->addWidget(m_gridDetail);
    lower->addWidget(side);
    lower->setStretchFactor(0, 3);
    lower->setStretchFactor(1, 1);
    lower->handle(1)->setEnabled(false);   // the picture panel keeps its width
    auto* split = new QSplitter(Qt::Vertical, this);
    auto* upper = new QWidget(split);
    auto* upperLayout = new QVBoxLayout(upper);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    upperLayout->addLayout(filterRow);
    upperLayout->addWidget(Grid(), 1);
    split->addWidget(upper);
    split->addWidget(lower);
    split->setStretchFactor(0, 3);   // the orders, then the focused order's lines
    split->setStretchFactor(1, 2);
    SetBody(split);

    m_gridDetail->SetDataSet(m_lines);
    SetDetail(m_lines, QStringLiteral("xmldetail"), QStringLiteral("tid"), QStringLiteral("tid"));
    Grid()->SetFooterVisible(false);
    m_gridDetail->SetFooterVisible(true);

    // The bound product's stock: unknown in red, none left in red and bold.
    m_gridDetail->AddOnCustomDrawCell([](const QModelIndex& index, TGridColumn* c, QStyleOptionViewItem& option) {
        if (!c || c->FieldName != QLatin1String("stocknum"))
            return;
        const QVariant v = index.data(Qt::EditRole);
        const bool unknown = v.isNull() || v.toString().isEmpty();
        if (!unknown && v.toDouble() > 0)
            return;
        option.palette.setColor(QPalette::Text, QColor(255, 0, 0));
        option.font.setBold(!unknown);
    });
    connect(m_tabs, &QTabBar::currentChanged, this, [this] { ApplyFilter(); });
    connect(m_quick, &QLineEdit::textChanged, this, [this] { ApplyFilter(); });
    connect(m_lines, &TPClientDataSet::currentRowChanged, this, [this] { showLine(); });
    connect(m_gridDetail, &QAbstractItemView::clicked, this, [this] {
        m_detailClicked = true;
        if (m_lines->RecordCount() == 1)
            showLine();
    });
    connect(Grid(), &QAbstractItemView::clicked, this, [this] { m_detailClicked = false; });
    connect(m_gridDetail, &TGridView::ButtonClicked, this, [this](TGridColumn* c, int row) {
        if (!c)
            return;
        m_lines->SetRecNo(row + 1);
        if (c->FieldName == QLatin1String("commoditycode") && !c->ReadOnly)
            PickLineProduct();
        else if (c->FieldName == QLatin1String("refund_id"))
            ShowLineRefund();
    });
    connect(m_gridDetail, &QAbstractItemView::doubleClicked, this, [this] { ShowKeyFieldsModule(m_lines); });
    connect(m_gridDetail->GridModel(), &TGridModel::cellEdited, this, [this](int row, TGridColumn* c) {
        if (m_binding || !c)
            return;
        // The refund number carries the button that opens the refund; it is not to be typed over.
        if (c->FieldName == QLatin1String("refund_id")) {
            if (m_lines->State() == dsEdit)
                m_lines->Cancel();
            m_lines->CancelUpdates();
            return;
        }
        if (c->FieldName != QLatin1String("commoditycode"))
            return;
        // After the editor has closed: the binding asks and shows messages.
        QMetaObject::invokeMethod(this, [this, row] {
            if (row >= 0 && row < m_lines->RecordCount()) {
                m_lines->SetRecNo(row + 1);
                BindLineCode(m_lines->FieldByName(QStringLiteral("commoditycode"))->AsString());
            }
        }, Qt::QueuedConnection);
    });
    // The memo is edited in the loaded row only; picking lists made afterwards carry it.
    connect(m_memo, &QPlainTextEdit::textChanged, this, [this] {
        TField* f = Orders()->FindField(QStringLiteral("seller_memo"));
        if (!f || Orders()->RecordCount() == 0 || f->AsString() == m_memo->toPlainText())
            return;
        Orders()->Edit();
        f->SetAsString(m_memo->toPlainText());
        Orders()->Post();
    });
}

QString TfrmTrade::TabFilter(int tab, const QString& quick, const QDate& today)
{
    QString part;
    switch (tab) {
    case 0:
        part = QStringLiteral("dbstatus=") + KxFilterQuoted(QStringLiteral("NOT_PICKING")) + QStringLiteral(" and refund=0 ")
               + QStringLiteral(" and (status=") + KxFilterQuoted(QStringLiteral("WAIT_SELLER_SEND_GOODS")) + QStringLiteral("   or status=")
               + KxFilterQuoted(QStringLiteral("WAIT_BUYER_CONFIRM_GOODS")) + QStringLiteral("   or status=") + KxFilterQuoted(QStringLiteral("TRADE_FINISHED"))
               + QStringLiteral(")");
        break;
    case 1: part = QStringLiteral("dbstatus='PICKINGED'"); break;
    case 3: part = QStringLiteral("status='WAIT_BUYER_PAY'"); break;
    case 4: part = QStringLiteral("status='WAIT_SELLER_SEND_GOODS'"); break;
    case 5: part = QStringLiteral("status='WAIT_BUYER_CONFIRM_GOODS'"); break;
    case 6: part = QStringLiteral("seller_rate=0 and status='TRADE_FINISHED'"); break;
    case 7: part = QStringLiteral("status='TRADE_FINISHED'"); break;
    case 8: part = QStringLiteral("status='TRADE_CLOSED'"); break;
    case 9: part = QStringLiteral("refund=1"); break;
    case 10: part = QStringLiteral("pay_time <'") + today.addDays(-30).toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00'"); break;
    default: break;
    }
    return KxMarketFilter(part, quick, QStringLiteral("tid"));
}

void TfrmTrade::FormOpen()
{
    ShowTitle();
    ApplyRights({{"issearch", {KxTool::Search}},
                 {"isprint", {KxTool::Print, KxTool::Preview, KxTool::PrintReport}},
                 {"isoutput", {KxTool::Export}},
                 {"iscolumn", {KxTool::Columns}}});
    Tool(kPick)->setVisible(GetPower(QStringLiteral("isupdate")));
    m_picture->setHtml(QString());
    KxLoadLookupList(this, QStringLiteral("tradestatus"), {}, m_tradeStatus);
    KxLoadLookupList(this, QStringLiteral("codstatus"), {}, m_codStatus);
    KxLoadLookupList(this, QStringLiteral("refundstatus"), {}, m_refundStatus);
    KxLoadLookupList(this, QStringLiteral("tradetype"), {}, m_tradeType);
    // Opened on fixed conditions (from another window), the list shows all that match, or the
    // tab the conditions name.
    m_tabs->setCurrentIndex(KxStartTab(FixedConditions(), kTabs, int(std::size(kTabs)), kAllOrders));
    Search(nullptr, -1);
    ApplyFilter();
}

void TfrmTrade::AfterSearch(int page)
{
    if (page > 1 || Grid()->ColumnCount() > 0 || Orders()->FieldCount() == 0)
        return;
    // The columns follow the first answer's fields, with the window's captions and layout.
    for (int i = 0; i < Orders()->FieldCount(); ++i)
        Grid()->AddColumn(Orders()->Fields(i)->FieldName())->ReadOnly = true;
    for (int i = 0; i < m_lines->FieldCount(); ++i)
        m_gridDetail->AddColumn(m_lines->Fields(i)->FieldName())->ReadOnly = true;
    if (TGridColumn* c = Grid()->ColumnByField(QStringLiteral("ischeck"))) {
        c->Editor = TGridEditor::Check;
        c->ReadOnly = false;
    }
    KxStatusColumn(Grid(), QStringLiteral("status"), m_tradeStatus);
    KxStatusColumn(Grid(), QStringLiteral("cod_status"), m_codStatus);
    KxStatusColumn(Grid(), QStringLiteral("trade_type"), m_tradeType);
    KxStatusColumn(m_gridDetail, QStringLiteral("status"), m_tradeStatus);
    KxStatusColumn(m_gridDetail, QStringLiteral("refund_status"), m_refundStatus);
    if (TGridColumn* c = m_gridDetail->ColumnByField(QStringLiteral("commoditycode"))) {
        c->Editor = TGridEditor::Button;
        c->ReadOnly = !GetPower(QStringLiteral("isupdate"));
    }
    if (TGridColumn* c = m_gridDetail->ColumnByField(QStringLiteral("refund_id"))) {
        c->Editor = TGridEditor::Button;
        c->ReadOnly = false;
    }
    for (const char* sum : {"total_fee", "payment", "discount_fee", "adjust_fee"})
        if (TGridColumn* c = m_gridDetail->ColumnByField(QLatin1String(sum)))
            c->Footer = TGridFooter::Sum;
    Grid()->ColumnsChanged();
    m_gridDetail->ColumnsChanged();
    TableViewDispay(Grid(), GetParam(QStringLiteral("masterlabels")));
    TableViewDispay(m_gridDetail, GetParam(QStringLiteral("detaillabels")));
    DisTableViewDispay(Grid(), GetParam(QStringLiteral("dismasterlabels")));
    DisTableViewDispay(m_gridDetail, GetParam(QStringLiteral("disdetaillabels")));
    GetGridColumnVisible(windowTitle(), Grid());
    GetGridColumnVisible(windowTitle() + QStringLiteral("明细"), m_gridDetail);
}

void TfrmTrade::ApplyFilter()
{
    const int tab = m_tabs->currentIndex();
    Tool(kRate)->setEnabled(tab == kToRate);
    Tool(kPick)->setEnabled(tab == 0);
    Orders()->SetFilter(TabFilter(tab, m_quick->text(), QDate::currentDate()));
    Orders()->SetFiltered(true);
    if (TGridColumn* c = Grid()->ColumnByField(QStringLiteral("ischeck"))) {
        c->Visible = tab == 0 || tab == 6;
        Grid()->ColumnsChanged();
    }
    RefreshDetail();
}

void TfrmTrade::SelectAll(bool invert)
{
    TGridColumn* c = Grid()->ColumnByField(QStringLiteral("ischeck"));
    if (!c || !c->Visible)
        return;
    KxTickAll(Orders(), QStringLiteral("ischeck"), invert);
}

void TfrmTrade::dxBL_DownloadClick()
{
    auto* down = qobject_cast<TfrmTradeDown*>(CallModule(this, QStringLiteral("Trade.Down")));
    if (!down)
        return;
    down->ShowModule();
    const bool done = down->Progress()->value() == down->Progress()->maximum();
    delete down;
    if (done)
        dxBL_RefreshClick();
}

QList<QPair<QString, QString>> TfrmTrade::CheckedOrders()
{
    QList<QPair<QString, QString>> out;
    TField* check = Orders()->FindField(QStringLiteral("ischeck"));
    if (!check || Orders()->RecordCount() == 0)
        return out;
    if (Orders()->State() == dsEdit || Orders()->State() == dsInsert)
        Orders()->Post();
    const TBookmark at = Orders()->GetBookmark();
    for (Orders()->First(); !Orders()->Eof(); Orders()->Next())
        if (check->AsBoolean())
            out.append({Orders()->FieldByName(QStringLiteral("tid"))->AsString(), Orders()->FieldByName(QStringLiteral("seller_nick"))->AsString()});
    Orders()->GotoBookmark(at);
    return out;
}

void TfrmTrade::dxBL_RateClick()
{
    auto* rate = qobject_cast<TfrmTradeRate*>(CallModule(this, QStringLiteral("Trade.Rate")));
    if (!rate)
        return;
    rate->SetOrders(CheckedOrders());
    // A rated order leaves the tab's filter only when the list is filtered again.
    rate->SetOnRated([this](const QString& tid) {
        const TBookmark at = Orders()->GetBookmark();
        if (Orders()->Locate(QStringLiteral("tid"), tid)) {
            Orders()->Edit();
            Orders()->FieldByName(QStringLiteral("seller_can_rate"))->SetAsBoolean(false);
            Orders()->FieldByName(QStringLiteral("seller_rate"))->SetAsBoolean(true);
            Orders()->Post();
        }
        Orders()->GotoBookmark(at);
    });
    rate->ShowModule();
    delete rate;
}

void TfrmTrade::PickLineProduct()
{
    if (m_lines->RecordCount() == 0)
        return;
    std::unique_ptr<TfrmBase> pick(CallModule(this, QStringLiteral("Select.Commodity")));
    if (!pick)
        return;
    pick->FixedConditions() << QStringLiteral("is_del=0");
    if (pick->ShowModule() != mrOk)
        return;
    TPClientDataSet chosen;
    pick->ResultStream()->seek(0);
    if (chosen.LoadFromStream(pick->ResultStream()))
        applyProduct(&chosen);
}

void TfrmTrade::BindLineCode(const QString& code)
{
    if (m_lines->RecordCount() == 0)
        return;
    if (m_lines->State() == dsEdit || m_lines->State() == dsInsert)
        m_lines->Post();
    TPClientDataSet products;
    const TKxLookupResult found = KxLookup(this, QStringLiteral("Select.Commodity"),
                                           {QStringLiteral("commoditycode=") + code.trimmed(), QStringLiteral("is_del=0")}, &products);
    // The service could not be asked (already shown): the line stays as it is.
    if (found == TKxLookupResult::Failed)
        return;
    applyProduct(&products);
}

void TfrmTrade::applyProduct(TPClientDataSet* chosen)
{
    m_binding = true;
    const auto field = [this](const char* name) { return m_lines->FieldByName(QLatin1String(name)); };
    if (!chosen->Active() || chosen->IsEmpty()) {
        m_lines->Edit();
        field("commoditycode")->Clear();
        field("stocknum")->Clear();
        m_lines->Post();
        m_lines->MergeChangeLog();
        m_binding = false;
        KxShowInfo(QStringLiteral("此信息不存在,请重新输入！"));
        return;
    }
    chosen->First();
    const QString code = chosen->FieldByName(QStringLiteral("commoditycode"))->AsString();
    bool done = false;
    if (KxAskOkCancel(QStringLiteral("真的需要提交修改吗？"))) {
        THttpWeb web;
        web.setModule(GetParam(QStringLiteral("updatecommoditysku")));
        const TField* seller = Orders()->FindField(QStringLiteral("seller_nick"));
        web.Request()->AddParams(QStringLiteral("oid"), field("oid")->AsString());
        web.Request()->AddParams(QStringLiteral("commoditycode"), code);
        web.Request()->AddParams(QStringLiteral("num_iid"), field("num_iid")->AsString());
        web.Request()->AddParams(QStringLiteral("sku_id"), field("sku_id")->AsString());
        web.Request()->AddParams(QStringLiteral("detailnick"), seller ? seller->AsString() : QString());
        web.Request()->AddParams(QStringLiteral("title"), field("title")->AsString());
        web.Request()->AddParams(QStringLiteral("sku_properties_name"), field("sku_properties_name")->AsString());
        web.Request()->AddParams(QStringLiteral("pic_path"), field("pic_path")->AsString());
        if (web.SendData()) {
            KxShowInfo(QStringLiteral("数据提交成功！"));
            const TField* stock = chosen->FindField(QStringLiteral("stocknum"));
            m_lines->Edit();
            field("commoditycode")->SetAsString(code);
            field("stocknum")->SetAsString(stock ? stock->AsString() : web.Response()->GetParam(QStringLiteral("stocknum")));
            m_lines->Post();
            m_lines->MergeChangeLog();
            done = true;
        }
    }
    if (!done) {
        if (m_lines->State() == dsEdit)
            m_lines->Cancel();
        m_lines->CancelUpdates();
    }
    m_binding = false;
}

void TfrmTrade::ShowLineRefund()
{
    const TField* id = m_lines->FindField(QStringLiteral("refund_id"));
    if (!id || m_lines->RecordCount() == 0 || id->AsString().trimmed().isEmpty())
        return;
    ShowLinkedModule(GetParam(QStringLiteral("refund")), {QStringLiteral("refund_id=") + id->AsString().trimmed()});
}

void TfrmTrade::dxBL_ColumnsClick()
{
    if (m_detailClicked)
        SetGridColumnVisible(windowTitle() + QStringLiteral("明细"), m_gridDetail);
    else
        SetGridColumnVisible(windowTitle(), Grid());
}

void TfrmTrade::showOrder()
{
    const bool any = Orders()->RecordCount() > 0;
    TField* message = Orders()->FindField(QStringLiteral("buyer_message"));
    TField* memo = Orders()->FindField(QStringLiteral("seller_memo"));
    m_message->setPlainText(any && message ? message->AsString() : QString());
    const QSignalBlocker block(m_memo);
    m_memo->setPlainText(any && memo ? memo->AsString() : QString());
    showLine();
}

void TfrmTrade::showLine()
{
    const auto text = [this](const char* name) {
        TField* f = m_lines->FindField(QLatin1String(name));
        return f && m_lines->RecordCount() > 0 ? f->AsString() : QString();
    };
    m_picture->ShowItem(GetParam(QStringLiteral("itempage")), text("num_iid"), text("pic_path"), text("sku_properties_name"));
}

KX_REGISTER_CLASS(TfrmTrade)
