#pragma once
// "拒绝退款/退货": refuses the buyer's refund or return on the marketplace, with the reason
// the buyer is shown.
#include "uRefundAnswer.h"
#include "ufrmBase.h"

class QLabel;
class QPlainTextEdit;

class TfrmRefundRefuse : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmRefundRefuse(QWidget* owner = nullptr);

    // The refund refused and the shop account it belongs to; or several refunds at once.
    void SetRefund(const QString& refundId, const QString& sellerNick);
    void SetRefunds(const QList<TKxRefundRef>& refunds);
    // The refunds the marketplace took (after "OK").
    const QStringList& Done() const { return m_done; }

    QLabel* RefundLabel() const { return m_refund; }
    QPlainTextEdit* MessageEdit() const { return m_message; }

    void btnRefuseClick();

private:
    QList<TKxRefundRef> m_refunds;
    QStringList m_done;
    QLabel* m_refund;
    QPlainTextEdit* m_message;
};
