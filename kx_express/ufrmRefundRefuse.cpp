#include "ufrmRefundRefuse.h"

#include "uCallModule.h"
#include "uHttpWeb.h"
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
    m_refundId = refundId;
    m_sellerNick = sellerNick;
    m_refund->setText(refundId);
}

void TfrmRefundRefuse::btnRefuseClick()
{
    const QString message = m_message->toPlainText().trimmed();
    if (message.isEmpty()) {
        KxShowInfo(QStringLiteral("拒绝退款说明不能为空！"));
        m_message->setFocus();
        return;
    }
    THttpWeb web;
    web.setModule(QStringLiteral("NetShop.RefuseRefund"));
    web.Request()->AddParams(QStringLiteral("detailnick"), m_sellerNick.trimmed());
    web.Request()->AddParams(QStringLiteral("refund_id"), m_refundId.trimmed());
    web.Request()->AddParams(QStringLiteral("refuse_message"), message);
    // Refused by the marketplace (shown by the service client): the dialog stays for another try.
    if (web.SendData())
        SetModalResult(mrOk);
}

KX_REGISTER_CLASS(TfrmRefundRefuse)
