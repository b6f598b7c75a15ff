#include "ufrmTradeRate.h"

#include "uCallModule.h"
#include "uHttpWeb.h"
#include "uUiHooks.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TfrmTradeRate::TfrmTradeRate(QWidget* owner)
    : TfrmBase(owner)
    , m_results(new QButtonGroup(this))
    , m_content(new QPlainTextEdit(this))
    , m_progress(new QProgressBar(this))
    , m_status(new QLabel(this))
{
    setWindowTitle(QStringLiteral("批量评价"));
    auto* layout = new QVBoxLayout(this);
    auto* box = new QGroupBox(QStringLiteral("评价结果"), this);
    auto* boxLayout = new QHBoxLayout(box);
    int id = 0;
    for (const char* text : {"好评", "中评", "差评"}) {
        auto* r = new QRadioButton(QString::fromUtf8(text), box);
        m_results->addButton(r, id++);
        boxLayout->addWidget(r);
    }
    m_results->button(0)->setChecked(true);
    layout->addWidget(box);
    layout->addWidget(new QLabel(QStringLiteral("评价内容："), this));
    layout->addWidget(m_content);
    auto* buttons = new QHBoxLayout;
    auto* rate = new QPushButton(QStringLiteral("评  价"), this);
    auto* exit = new QPushButton(QStringLiteral("退  出"), this);
    buttons->addWidget(rate);
    buttons->addWidget(exit);
    layout->addLayout(buttons);
    m_progress->setValue(0);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    connect(rate, &QPushButton::clicked, this, [this] { btnRateClick(); });
    connect(exit, &QPushButton::clicked, this, [this] { SetModalResult(mrCancel); close(); });
}

void TfrmTradeRate::SetOrders(const QList<QPair<QString, QString>>& orders)
{
    m_orders = orders;
    m_progress->setRange(0, qMax(1, int(orders.size())));
    m_progress->setValue(0);
}

// Every order is tried: one the marketplace refuses is named at the end and the others go on.
void TfrmTradeRate::btnRateClick()
{
    static const char* const kResults[] = {"good", "neutral", "bad"};
    const QString result = QString::fromLatin1(kResults[qBound(0, m_results->checkedId(), 2)]);
    const QString content = m_content->toPlainText().trimmed();
    QStringList refused;
    int done = 0;
    for (const auto& [tid, nick] : m_orders) {
        THttpWeb web;
        web.setModule(QStringLiteral("NetShop.TradeRate"));
        web.Request()->AddParams(QStringLiteral("detailnick"), nick);
        web.Request()->AddParams(QStringLiteral("tid"), tid);
        web.Request()->AddParams(QStringLiteral("result"), result);
        web.Request()->AddParams(QStringLiteral("content"), content);
        ++done;
        if (web.SendData()) {
            m_status->setText(QStringLiteral("正在评价订单：") + tid);
            if (m_onRated)
                m_onRated(tid);
        } else {
            refused << tid;
        }
        m_progress->setValue(done);
        QCoreApplication::processEvents();
    }
    m_status->setText(refused.isEmpty() ? QStringLiteral("批量评价完成！") : QStringLiteral("评价失败！") + refused.join(QStringLiteral("，")));
}

KX_REGISTER_CLASS(TfrmTradeRate)
