#include "ufrmTradeDown.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uHttpWeb.h"
#include "uKxDownPages.h"
#include "uUiHooks.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
// Each state box: what it sends and what the status line says before and after.
struct TStateDef {
    const char* caption;
    const char* status;
    const char* before;
    const char* name;   // "<name>订单下载完成！" / "<name>订单下载失败！"
};
const TStateDef kStates[] = {
    {"待付款", "WAIT_BUYER_PAY", "】  下载待付款订单....", "待付款"},
    {"待发货", "WAIT_SELLER_SEND_GOODS", "】  下载待发货订单....", "待发货"},
    {"已发货", "WAIT_BUYER_CONFIRM_GOODS", "】  已发货订单....", "已发货"},
    {"待评价", "RATE_UNSELLER", "】  待评价订单....", "待评价"},
    {"交易成功", "TRADE_FINISHED", "】  交易成功订单....", "交易成功"},
    {"交易关闭", "TRADE_CLOSED", "】  交易关闭订单....", "交易关闭"},
};
const TStateDef kAllStates{"全部状态", "TRADE_ALL", "】  下载全部状态订单....", "全部状态"};
const int kDays[] = {1, 3, 7, 30, 90};

QStringList accounts()
{
    return QStringList{gNickName} + gSubNicks;
}
}

TfrmTradeDown::TfrmTradeDown(QWidget* owner)
    : TfrmBase(owner)
    , m_nicks(new QListWidget(this))
    , m_all(new QCheckBox(QStringLiteral("全部状态"), this))
    , m_days(new QComboBox(this))
    , m_progress(new QProgressBar(this))
    , m_status(new QLabel(this))
    , m_singleNick(new QComboBox(this))
    , m_tid(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("下载订单"));
    auto* tabs = new QTabWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);

    auto* batch = new QWidget(tabs);
    auto* grid = new QGridLayout(batch);
    grid->addWidget(new QLabel(QStringLiteral("掌柜名称"), batch), 0, 0);
    grid->addWidget(m_nicks, 1, 0, 4, 1);
    for (const QString& nick : accounts()) {
        auto* item = new QListWidgetItem(nick, m_nicks);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    auto* states = new QGroupBox(batch);
    auto* stateLayout = new QGridLayout(states);
    int i = 0;
    for (const TStateDef& s : kStates) {
        auto* box = new QCheckBox(QString::fromUtf8(s.caption), states);
        m_states << box;
        stateLayout->addWidget(box, i / 2, i % 2);
        ++i;
    }
    stateLayout->addWidget(m_all, i / 2, i % 2);
    connect(m_all, &QCheckBox::toggled, this, [this](bool on) {
        for (QCheckBox* box : m_states)
            box->setChecked(on);
    });
    grid->addWidget(states, 1, 1);
    auto* time = new QGroupBox(QStringLiteral("下载时间"), batch);
    auto* timeLayout = new QHBoxLayout(time);
    timeLayout->addWidget(new QLabel(QStringLiteral("订单成交时间"), time));
    m_days->addItems({QStringLiteral("最后一天"), QStringLiteral("最后三天"), QStringLiteral("最后一周"), QStringLiteral("最后一月"),
                      QStringLiteral("最后三月")});
    timeLayout->addWidget(m_days);
    grid->addWidget(time, 2, 1);
    auto* buttons = new QHBoxLayout;
    auto* down = new QPushButton(QStringLiteral("下  载"), batch);
    auto* exit = new QPushButton(QStringLiteral("退  出"), batch);
    buttons->addWidget(down);
    buttons->addWidget(exit);
    grid->addLayout(buttons, 3, 1);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    grid->addWidget(m_progress, 5, 0, 1, 2);
    grid->addWidget(m_status, 6, 0, 1, 2);
    tabs->addTab(batch, QStringLiteral("批量下载"));

    auto* single = new QWidget(tabs);
    auto* form = new QGridLayout(single);
    form->addWidget(new QLabel(QStringLiteral("掌柜名称："), single), 0, 0);
    m_singleNick->setEditable(true);
    m_singleNick->addItems(accounts());
    m_singleNick->setCurrentIndex(0);
    form->addWidget(m_singleNick, 0, 1);
    form->addWidget(new QLabel(QStringLiteral("订单号："), single), 1, 0);
    form->addWidget(m_tid, 1, 1);
    auto* downOne = new QPushButton(QStringLiteral("下      载"), single);
    form->addWidget(downOne, 2, 1);
    tabs->addTab(single, QStringLiteral("逐单下载"));

    connect(down, &QPushButton::clicked, this, [this] { btnDownClick(); });
    connect(downOne, &QPushButton::clicked, this, [this] { btnDownOneClick(); });
    connect(exit, &QPushButton::clicked, this, [this] { SetModalResult(mrCancel); close(); });
}

QCheckBox* TfrmTradeDown::StateBox(const QString& caption) const
{
    if (caption == m_all->text())
        return m_all;
    for (QCheckBox* box : m_states)
        if (box->text() == caption)
            return box;
    return nullptr;
}

int TfrmTradeDown::DayNum() const
{
    const int i = m_days->currentIndex();
    return i >= 0 && i < int(std::size(kDays)) ? kDays[i] : 1;
}

bool TfrmTradeDown::downState(const QString& account, const QString& status)
{
    TKxDownPages down;
    down.method = QStringLiteral("NetShop.DownTrades");
    down.params = {{QStringLiteral("detailnick"), account}, {QStringLiteral("status"), status},
                   {QStringLiteral("daynum"), QString::number(DayNum())}};
    return KxDownPages(down, m_progress, [] { QCoreApplication::processEvents(); });
}

void TfrmTradeDown::btnDownClick()
{
    const bool all = std::all_of(m_states.begin(), m_states.end(), [](QCheckBox* b) { return b->isChecked(); });
    for (int n = 0; n < m_nicks->count(); ++n) {
        if (m_nicks->item(n)->checkState() != Qt::Checked)
            continue;
        const QString account = m_nicks->item(n)->text();
        QList<const TStateDef*> todo;
        if (all)
            todo << &kAllStates;
        else
            for (int i = 0; i < m_states.size(); ++i)
                if (m_states[i]->isChecked())
                    todo << &kStates[i];
        for (const TStateDef* s : todo) {
            m_status->setText(QStringLiteral("【") + account + QString::fromUtf8(s->before));
            QCoreApplication::processEvents();
            const bool ok = downState(account, QString::fromLatin1(s->status));
            m_status->setText(QStringLiteral("【") + account + QStringLiteral("】  ") + QString::fromUtf8(s->name)
                              + (ok ? QStringLiteral("订单下载完成！") : QStringLiteral("订单下载失败！")));
        }
    }
}

void TfrmTradeDown::btnDownOneClick()
{
    THttpWeb web;
    web.setModule(QStringLiteral("NetShop.DownTrade"));
    web.Request()->AddParams(QStringLiteral("detailnick"), m_singleNick->currentText().trimmed());
    web.Request()->AddParams(QStringLiteral("tid"), m_tid->text().trimmed());
    if (web.SendData())
        KxShowInfo(QStringLiteral("订单下载成功！"));
}

KX_REGISTER_CLASS(TfrmTradeDown)
