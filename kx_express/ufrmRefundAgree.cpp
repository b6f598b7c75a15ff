#include "ufrmRefundAgree.h"

#include "uCallModule.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"

#include <QAction>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <memory>

TfrmRefundAgree::TfrmRefundAgree(QWidget* owner)
    : TfrmBase(owner)
    , m_refund(new QLabel(this))
    , m_name(new QLineEdit(this))
    , m_address(new QLineEdit(this))
    , m_zip(new QLineEdit(this))
    , m_phone(new QLineEdit(this))
    , m_mobile(new QLineEdit(this))
    , m_remark(new QPlainTextEdit(this))
{
    setWindowTitle(QStringLiteral("同意退货"));
    resize(460, 340);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("退款单号："), m_refund);
    QAction* pick = m_name->addAction(style()->standardIcon(QStyle::SP_FileDialogContentsView), QLineEdit::TrailingPosition);
    pick->setObjectName(QStringLiteral("actPickRen"));
    connect(pick, &QAction::triggered, this, &TfrmRefundAgree::btnPickClick);
    form->addRow(QStringLiteral("卖家姓名 ："), m_name);
    form->addRow(QStringLiteral("退货地址："), m_address);
    form->addRow(QStringLiteral("邮政编码："), m_zip);
    form->addRow(QStringLiteral("卖家座机："), m_phone);
    form->addRow(QStringLiteral("卖家手机："), m_mobile);
    m_remark->setTabChangesFocus(true);
    form->addRow(QStringLiteral("卖家退货留言："), m_remark);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* agree = new QPushButton(QStringLiteral("同意退货"), this);
    auto* exit = new QPushButton(QStringLiteral("退  出"), this);
    buttons->addWidget(agree);
    buttons->addWidget(exit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    connect(agree, &QPushButton::clicked, this, &TfrmRefundAgree::btnAgreeClick);
    connect(exit, &QPushButton::clicked, this, [this] { SetModalResult(mrCancel); });
}

void TfrmRefundAgree::SetRefund(const QString& refundId, const QString& sellerNick)
{
    SetRefunds({{refundId, sellerNick}});
}

void TfrmRefundAgree::SetRefunds(const QList<TKxRefundRef>& refunds)
{
    m_refunds = refunds;
    m_refund->setText(KxRefundNumbers(refunds));
    m_refund->setWordWrap(true);
}

void TfrmRefundAgree::btnPickClick()
{
    std::unique_ptr<TfrmBase> pick(CallModule(this, QStringLiteral("Select.RefundRen")));
    if (!pick || KxUi().ShowModal(pick.get()) != mrOk)
        return;
    TPClientDataSet chosen;
    pick->ResultStream()->seek(0);
    if (!chosen.LoadFromStream(pick->ResultStream()) || chosen.IsEmpty())
        return;
    chosen.First();
    const auto value = [&](const char* field) {
        const TField* f = chosen.FindField(QLatin1String(field));
        return f ? f->AsString() : QString();
    };
    m_name->setText(value("sender_name"));
    m_address->setText(value("sender_address"));
    m_zip->setText(value("sender_zip"));
    m_phone->setText(value("sender_phone"));
    m_mobile->setText(value("sender_mobile"));
}

void TfrmRefundAgree::btnAgreeClick()
{
    const QList<QPair<QLineEdit*, QString>> required{{m_name, QStringLiteral("卖家姓名不能为空！")},
                                                     {m_address, QStringLiteral("退货地址不能为空！")},
                                                     {m_zip, QStringLiteral("邮政编码不能为空！")},
                                                     {m_phone, QStringLiteral("卖家座机不能为空！")},
                                                     {m_mobile, QStringLiteral("卖家手机不能为空！")}};
    for (const auto& [box, message] : required)
        if (box->text().trimmed().isEmpty()) {
            KxShowInfo(message);
            box->setFocus();
            return;
        }
    // Refused by the marketplace (shown once for all): the dialog stays for another try.
    m_done = KxAnswerRefunds(QStringLiteral("NetShop.AgreeRefund"), m_refunds,
                             {{QStringLiteral("name"), m_name->text().trimmed()},
                              {QStringLiteral("address"), m_address->text().trimmed()},
                              {QStringLiteral("post"), m_zip->text().trimmed()},
                              {QStringLiteral("tel"), m_phone->text().trimmed()},
                              {QStringLiteral("mobile"), m_mobile->text().trimmed()},
                              {QStringLiteral("remark"), m_remark->toPlainText().trimmed()}});
    if (!m_done.isEmpty())
        SetModalResult(mrOk);
}

KX_REGISTER_CLASS(TfrmRefundAgree)
