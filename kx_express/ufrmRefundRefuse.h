#pragma once
// "拒绝退款/退货": refuses the buyer's refund or return on the marketplace, with the reason
// the buyer is shown.
#include "ufrmBase.h"

class QLabel;
class QPlainTextEdit;

class TfrmRefundRefuse : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmRefundRefuse(QWidget* owner = nullptr);

    // The refund refused and the shop account it belongs to.
    void SetRefund(const QString& refundId, const QString& sellerNick);

    QLabel* RefundLabel() const { return m_refund; }
    QPlainTextEdit* MessageEdit() const { return m_message; }

    void btnRefuseClick();

private:
    QString m_refundId;
    QString m_sellerNick;
    QLabel* m_refund;
    QPlainTextEdit* m_message;
};
