#include "ufrmRefund.h"

#include "uCallModule.h"
#include "uDocCommon.h"
#include "uGridModel.h"
#include "uGridView.h"
#include "uKxPager.h"
#include "uMarketList.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"
#include "uUtils.h"
#include "ufrmRefund2Refunding.h"
#include "ufrmRefundAgree.h"
#include "ufrmRefundDown.h"
#include "ufrmRefundRefuse.h"

#include <QDate>
#include <QItemSelectionModel>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTabBar>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace {
constexpr char kSelectAll[] = "dxBL_SelectAll";
constexpr char kInvert[] = "dxBL_Invert";
constexpr char kDownload[] = "dxBL_Download";
constexpr char kGenerate[] = "dxBL_Generate";

const char* const kTabs[] = {"未退款", "已退款", "所有退款单", "申请的", "同意的", "退货的", "拒绝的", "关闭的", "成功的", "历史退单"};
constexpr int kAllRefunds = 2;
constexpr int kRequested = 3;
constexpr int kReturned = 5;

}

TfrmRefund::TfrmRefund(QWidget* owner)
    : TKxPagedList(QStringLiteral("记录总数：0 条， 第 0 页/共 0 页"), owner)
    , m_tradeStatus(new TPClientDataSet(this))
    , m_refundStatus(new TPClientDataSet(this))
    , m_goodStatus(new TPClientDataSet(this))
    , m_csStatus(new TPClientDataSet(this))
    , m_tabs(new QTabBar(this))
    , m_quick(new QLineEdit(this))
    , m_reason(new QPlainTextEdit(this))
    , m_desc(new QPlainTextEdit(this))
    , m_picture(new TKxPicturePanel(this))
    , m_popup(new QMenu(this))
{
    AddTools({{KxTool::Search, "查 询", [this] { dxBL_SearchClick(); }},
              {KxTool::Refresh, "刷 新", [this] { dxBL_RefreshClick(); }},
              {kSelectAll, "全  选", [this] { SelectAll(false); }},
              {kInvert, "反  选", [this] { SelectAll(true); }},
              {kDownload, "下载退款单", [this] { dxBL_DownloadClick(); }},
              {kGenerate, "生成退款单", [this] { dxBL_GenerateClick(); }},
              {KxTool::Export, "导出Excel", [this] { dxBL_ExportClick(); }},
              {KxTool::Print, "打 印", [this] { dxBL_PrintClick(); }},
              {KxTool::Preview, "预 览", [this] { dxBL_PreviewClick(); }},
              {KxTool::PrintReport, "票据打印", [this] { dxBL_PrintReportClick(); }},
              {KxTool::Columns, "显示列设置", [this] { dxBL_ColumnsClick(); }},
              {KxTool::Exit, "退 出", {}}});

    auto* filterRow = KxMarketFilterRow(this, m_tabs, kTabs, int(std::size(kTabs)), m_quick);
    m_reason->setReadOnly(true);
    m_desc->setReadOnly(true);
    QWidget* side = KxMarketSidePanel(this, QStringLiteral("退款原因："), m_reason, QStringLiteral("退款说明："), m_desc, m_picture);

    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addLayout(filterRow);
    leftLayout->addWidget(Grid(), 1);
    auto* split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(left);
    split->addWidget(side);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    split->handle(1)->setEnabled(false);   // the picture panel keeps its width
    SetBody(split);
    Grid()->SetFooterVisible(false);

    // The money to give back stands out wherever it is known.
    Grid()->AddOnCustomDrawCell([](const QModelIndex& index, TGridColumn* c, QStyleOptionViewItem& option) {
        if (!c || c->FieldName != QLatin1String("refund_fee") || index.data(Qt::EditRole).isNull())
            return;
        option.font.setBold(true);
        option.palette.setColor(QPalette::Text, QColor(255, 0, 0));
    });

    m_agree = m_popup->addAction(QStringLiteral("同意退货"), this, &TfrmRefund::AgreeClick);
    m_confirm = m_popup->addAction(QStringLiteral("确认收货"), this, &TfrmRefund::ConfirmClick);
    m_refuse = m_popup->addAction(QStringLiteral("拒绝退款/退货"), this, &TfrmRefund::RefuseClick);
    m_agree->setVisible(false);
    m_confirm->setVisible(false);
    m_refuse->setVisible(false);
    Grid()->setContextMenuPolicy(Qt::CustomContextMenu);
    Grid()->viewport()->installEventFilter(this);
    connect(Grid(), &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        UpdatePopup();
        if (m_agree->isVisible() || m_confirm->isVisible() || m_refuse->isVisible())
            m_popup->popup(Grid()->viewport()->mapToGlobal(pos));
    });

    connect(m_tabs, &QTabBar::currentChanged, this, [this] { ApplyFilter(); });
    connect(m_quick, &QLineEdit::textChanged, this, [this] { ApplyFilter(); });
    connect(Refunds(), &TPClientDataSet::currentRowChanged, this, [this] {
        if (!m_quiet && !Pager()->Running())
            showRefund();
    });
    connect(Grid(), &QAbstractItemView::doubleClicked, this, [this] { ShowKeyFieldsModule(Refunds()); });
}

QString TfrmRefund::TabFilter(int tab, const QString& quick, const QDate& today)
{
    QString part;
    switch (tab) {
    case 0:
        part = QStringLiteral("dbstatus=") + KxFilterQuoted(QStringLiteral("NOT_REFUNDING")) + QStringLiteral("  and status=")
               + KxFilterQuoted(QStringLiteral("SUCCESS"));
        break;
    case 1: part = QStringLiteral("dbstatus='REFUNDINGED'"); break;
    case 3: part = QStringLiteral("status='WAIT_SELLER_AGREE'"); break;
    case 4: part = QStringLiteral("status='WAIT_BUYER_RETURN_GOODS'"); break;
    case 5: part = QStringLiteral("status='WAIT_SELLER_CONFIRM_GOODS'"); break;
    case 6: part = QStringLiteral("status='SELLER_REFUSE_BUYER'"); break;
    case 7: part = QStringLiteral("status='CLOSED'"); break;
    case 8: part = QStringLiteral("status='SUCCESS'"); break;
    case 9: part = QStringLiteral("created <'") + today.addDays(-30).toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00'"); break;
    default: break;
    }
    return KxMarketFilter(part, quick, QStringLiteral("refund_id"));
}

void TfrmRefund::FormOpen()
{
    ShowTitle();
    ApplyRights({{"issearch", {KxTool::Search}},
                 {"isprint", {KxTool::Print, KxTool::Preview, KxTool::PrintReport}},
                 {"isoutput", {KxTool::Export}},
                 {"iscolumn", {KxTool::Columns}}});
    Tool(kGenerate)->setVisible(GetPower(QStringLiteral("isupdate")));
    m_picture->setHtml(QString());
    KxLoadLookupList(this, QStringLiteral("tradestatus"), {}, m_tradeStatus);
    KxLoadLookupList(this, QStringLiteral("refundstatus"), {}, m_refundStatus);
    KxLoadLookupList(this, QStringLiteral("goodstatus"), {}, m_goodStatus);
    KxLoadLookupList(this, QStringLiteral("cs_status"), {}, m_csStatus);
    // Opened for one refund (from an order line) the window only shows it: no receipts made here.
    if (!GetParam(QStringLiteral("searchrefunding")).isEmpty())
        TRefundToRefunding::Of(this).LoadStructures();
    // Opened on fixed conditions (from another window), the list shows all that match, or the
    // tab the conditions name.
    {
        const QSignalBlocker block(m_tabs);
        m_tabs->setCurrentIndex(KxStartTab(FixedConditions(), kTabs, int(std::size(kTabs)), kAllRefunds));
    }
    Search(nullptr, -1);
    ApplyFilter();
}

void TfrmRefund::AfterSearch(int page)
{
    if (page > 1 || Grid()->ColumnCount() > 0 || Refunds()->FieldCount() == 0)
        return;
    // The columns follow the first answer's fields, with the window's captions and layout.
    for (int i = 0; i < Refunds()->FieldCount(); ++i)
        Grid()->AddColumn(Refunds()->Fields(i)->FieldName())->ReadOnly = true;
    if (TGridColumn* c = Grid()->ColumnByField(QStringLiteral("ischeck"))) {
        c->Editor = TGridEditor::Check;
        c->ReadOnly = false;
    }
    if (TGridColumn* c = Grid()->ColumnByField(QStringLiteral("has_good_return")))
        c->Editor = TGridEditor::Check;
    KxStatusColumn(Grid(), QStringLiteral("status"), m_refundStatus);
    KxStatusColumn(Grid(), QStringLiteral("order_status"), m_tradeStatus);
    KxStatusColumn(Grid(), QStringLiteral("good_status"), m_goodStatus);
    KxStatusColumn(Grid(), QStringLiteral("cs_status"), m_csStatus);
    for (const char* money : {"total_fee", "payment", "refund_fee"})
        if (TGridColumn* c = Grid()->ColumnByField(QLatin1String(money)))
            c->Editor = TGridEditor::Amount;
    Grid()->ColumnsChanged();
    TableViewDispay(Grid(), GetParam(QStringLiteral("fieldlabels")));
    DisTableViewDispay(Grid(), GetParam(QStringLiteral("disfieldlabels")));
    GetGridColumnVisible(windowTitle(), Grid());
}

void TfrmRefund::ApplyFilter()
{
    const int tab = m_tabs->currentIndex();
    Tool(kGenerate)->setEnabled(tab == 0);
    m_quiet = true;
    Refunds()->SetFilter(TabFilter(tab, m_quick->text(), QDate::currentDate()));
    Refunds()->SetFiltered(true);
    m_quiet = false;
    if (TGridColumn* c = Grid()->ColumnByField(QStringLiteral("ischeck"))) {
        c->Visible = tab == 0;
        Grid()->ColumnsChanged();
    }
    showRefund();
}

void TfrmRefund::SelectAll(bool invert)
{
    TGridColumn* c = Grid()->ColumnByField(QStringLiteral("ischeck"));
    if (!c || !c->Visible)
        return;
    m_quiet = true;
    KxTickAll(Refunds(), QStringLiteral("ischeck"), invert);
    m_quiet = false;
}

bool TfrmRefund::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Grid()->viewport() && event->type() == QEvent::MouseButtonPress)
        UpdatePopup();
    return TKxPagedList::eventFilter(watched, event);
}

void TfrmRefund::UpdatePopup()
{
    const int tab = m_tabs->currentIndex();
    const bool any = Refunds()->Active() && Refunds()->RecordCount() > 0;
    m_agree->setVisible(any && tab == kRequested && !Targets(true).isEmpty());
    m_confirm->setVisible(any && tab == kReturned);
    m_refuse->setVisible(any && (tab == kRequested || tab == kReturned));
}

QList<TKxRefundRef> TfrmRefund::Targets(bool goodsOnly) const
{
    QList<TKxRefundRef> out;
    TPClientDataSet* ds = Refunds();
    if (!ds->Active() || ds->RecordCount() == 0)
        return out;
    QList<int> records;
    if (Grid()->selectionModel())
        for (const QModelIndex& i : Grid()->selectionModel()->selectedRows())
            records << Grid()->GridModel()->RecordOf(i.row());
    std::sort(records.begin(), records.end());
    if (records.isEmpty())
        records << ds->CurrentIndex();
    const TField* id = ds->FindField(QStringLiteral("refund_id"));
    const TField* seller = ds->FindField(QStringLiteral("seller_nick"));
    const TField* goods = ds->FindField(QStringLiteral("has_good_return"));
    for (int rec : records) {
        if (rec < 0 || !id || !seller || (goodsOnly && (!goods || !ds->ValueAt(rec, goods).toBool())))
            continue;
        out.append({ds->ValueAt(rec, id).toString(), ds->ValueAt(rec, seller).toString()});
    }
    return out;
}

void TfrmRefund::dxBL_DownloadClick()
{
    std::unique_ptr<TfrmBase> window(CallModule(this, QStringLiteral("Refund.Down")));
    auto* down = qobject_cast<TfrmRefundDown*>(window.get());
    if (!down)
        return;
    KxUi().ShowModal(down);
    const bool done = down->Progress()->value() == down->Progress()->maximum();
    window.reset();
    if (done)
        dxBL_RefreshClick();
}

void TfrmRefund::dxBL_GenerateClick()
{
    TRefundToRefunding::Of(this).dxBL_GenerateClick();
}

void TfrmRefund::dxBL_PrintReportClick()
{
    KxPrintVoucher(this, Refunds(), QStringLiteral("网络退款单"), nullptr, QString(), QStringLiteral("fieldlabels"));
}

void TfrmRefund::setStatus(const QStringList& ids, const QString& status)
{
    // The marketplace has taken the answer; the rows show it until the next download.
    const QString focused = Refunds()->FieldByName(QStringLiteral("refund_id"))->AsString();
    m_quiet = true;
    for (const QString& id : ids)
        if (Refunds()->Locate(QStringLiteral("refund_id"), id)) {
            Refunds()->Edit();
            Refunds()->FieldByName(QStringLiteral("status"))->SetAsString(status);
            Refunds()->Post();
        }
    Refunds()->MergeChangeLog();
    if (!Refunds()->Locate(QStringLiteral("refund_id"), focused))
        Refunds()->First();
    m_quiet = false;
    showRefund();
}

void TfrmRefund::AgreeClick()
{
    const QList<TKxRefundRef> refunds = Targets(true);
    if (refunds.isEmpty())
        return;
    std::unique_ptr<TfrmBase> window(CallModule(nullptr, QStringLiteral("Refund.Agree")));
    auto* agree = qobject_cast<TfrmRefundAgree*>(window.get());
    if (!agree)
        return;
    agree->SetRefunds(refunds);
    if (KxUi().ShowModal(agree) == mrOk)
        setStatus(agree->Done(), QStringLiteral("WAIT_BUYER_RETURN_GOODS"));
}

void TfrmRefund::RefuseClick()
{
    const QList<TKxRefundRef> refunds = Targets(false);
    if (refunds.isEmpty())
        return;
    std::unique_ptr<TfrmBase> window(CallModule(nullptr, QStringLiteral("Refund.Refuse")));
    auto* refuse = qobject_cast<TfrmRefundRefuse*>(window.get());
    if (!refuse)
        return;
    refuse->SetRefunds(refunds);
    if (KxUi().ShowModal(refuse) == mrOk)
        setStatus(refuse->Done(), QStringLiteral("SELLER_REFUSE_BUYER"));
}

void TfrmRefund::ConfirmClick()
{
    // The goods are back: the seller's agreement now refunds the buyer.
    const QList<TKxRefundRef> refunds = Targets(false);
    if (refunds.isEmpty()
        || !KxAskYesNo(QStringLiteral("确认已收到退款 %1 退回的商品，同意退款吗？").arg(KxRefundNumbers(refunds))))
        return;
    setStatus(KxAnswerRefunds(QStringLiteral("NetShop.AgreeRefund"), refunds, {}), QStringLiteral("SUCCESS"));
}

void TfrmRefund::showRefund()
{
    const auto text = [this](const char* name) {
        TField* f = Refunds()->Active() ? Refunds()->FindField(QLatin1String(name)) : nullptr;
        return f && Refunds()->RecordCount() > 0 ? f->AsString() : QString();
    };
    m_reason->setPlainText(text("reason"));
    m_desc->setPlainText(text("desc1"));
    m_picture->ShowItem(GetParam(QStringLiteral("itempage")), text("num_iid"), text("pic_path"), text("sku_properties_name"));
}

KX_REGISTER_CLASS(TfrmRefund)
