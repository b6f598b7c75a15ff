#include "ufrmRefundRefuse.h"

#include "uCallModule.h"
#include "uUiHooks.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmRefundRefuse::TfrmRefundRefuse(QWidget* owner)
    : TfrmBase(owner)
    , m_refund(new QLabel(this))
    , m_message(new QPlainTextEdit(this))
{
    setWindowTitle(QStringLiteral("拒绝退款/退货"));
    resize(420, 260);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("退款单号："), m_refund);
    m_message->setTabChangesFocus(true);
    form->addRow(QStringLiteral("拒绝退款说明："), m_message);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* refuse = new QPushButton(QStringLiteral("拒绝退款"), this);
    auto* exit = new QPushButton(QStringLiteral("退  出"), this);
    buttons->addWidget(refuse);
    buttons->addWidget(exit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    connect(refuse, &QPushButton::clicked, this, &TfrmRefundRefuse::btnRefuseClick);
    connect(exit, &QPushButton::clicked, this, [this] { SetModalResult(mrCancel); });
}

void TfrmRefundRefuse::SetRefund(const QString& refundId, const QString& sellerNick)
{
    SetRefunds({{refundId, sellerNick}});
}

void TfrmRefundRefuse::SetRefunds(const QList<TKxRefundRef>& refunds)
{
    m_refunds = refunds;
    m_refund->setText(KxRefundNumbers(refunds));
    m_refund->setWordWrap(true);
}

void TfrmRefundRefuse::btnRefuseClick()
{
    const QString message = m_message->toPlainText().trimmed();
    if (message.isEmpty()) {
        KxShowInfo(QStringLiteral("拒绝退款说明不能为空！"));
        m_message->setFocus();
        return;
    }
    // Refused by the marketplace (shown once for all): the dialog stays for another try.
    m_done = KxAnswerRefunds(QStringLiteral("NetShop.RefuseRefund"), m_refunds, {{QStringLiteral("refuse_message"), message}});
    if (!m_done.isEmpty())
        SetModalResult(mrOk);
}

KX_REGISTER_CLASS(TfrmRefundRefuse)
