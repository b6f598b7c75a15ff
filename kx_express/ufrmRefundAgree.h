#pragma once
// "同意退货": agrees on the marketplace to the buyer's return of goods, with the address the
// goods go back to (typed, or picked from the return addresses in "Select.RefundRen").
#include "uRefundAnswer.h"
#include "ufrmBase.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;

class TfrmRefundAgree : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmRefundAgree(QWidget* owner = nullptr);

    // The refund agreed to and the shop account it belongs to; or several refunds at once.
    void SetRefund(const QString& refundId, const QString& sellerNick);
    void SetRefunds(const QList<TKxRefundRef>& refunds);
    // The refunds the marketplace took (after "OK").
    const QStringList& Done() const { return m_done; }

    QLabel* RefundLabel() const { return m_refund; }
    QLineEdit* NameEdit() const { return m_name; }
    QLineEdit* AddressEdit() const { return m_address; }
    QLineEdit* ZipEdit() const { return m_zip; }
    QLineEdit* PhoneEdit() const { return m_phone; }
    QLineEdit* MobileEdit() const { return m_mobile; }
    QPlainTextEdit* RemarkEdit() const { return m_remark; }

    void btnPickClick();
    void btnAgreeClick();

private:
    QList<TKxRefundRef> m_refunds;
    QStringList m_done;
    QLabel* m_refund;
    QLineEdit* m_name;
    QLineEdit* m_address;
    QLineEdit* m_zip;
    QLineEdit* m_phone;
    QLineEdit* m_mobile;
    QPlainTextEdit* m_remark;
};
