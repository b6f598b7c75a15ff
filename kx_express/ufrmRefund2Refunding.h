#pragma once
// "生成退款单": the dialog that asks for the return storage and whether refunds of one buyer
// and shop account are merged, and the refund window's engine that turns the ticked refunds
// into return receipts, marks them done and saves both in one call.
#include "uGenerateDocs.h"

#include "TDecimal.h"

#include <QList>

class TPClientDataSet;
class TfrmRefund;

// One ticked refund, as the receipt line is made from it.
struct TRefundWorkLine {
    QString refund_id, commoditycode, title, num_iid, sku_id, sku_properties_name, seller_nick;
    bool has_good_return = false;
    TDecimal num, total_fee, refund_fee;
};

// One ticked refund with its line.
struct TRefundWork {
    QString buyer_nick, seller_nick;
    TDecimal total;
    QList<TRefundWorkLine> lines;
};

class TfrmRefund2Refunding : public TKxGenerateDialog {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmRefund2Refunding(QWidget* owner = nullptr);
};

// The refund window's part in making return receipts: its refunds and the receipts made of
// them; the flow around the dialog and the save is the generator's.
class TRefundToRefunding : public TKxGenerator<TRefundWork, TfrmRefund2Refunding> {
    Q_OBJECT
public:
    explicit TRefundToRefunding(TfrmRefund* form);
    static TRefundToRefunding& Of(TfrmRefund* form);

    // The button: collect, ask for the storage and the merge, make and save, then show the receipts.
    void dxBL_GenerateClick() { Generate(); }

    // The ticked refunds in list order; the focused refund stays.
    QList<TRefundWork> Collect() override;
    // How many receipts merging makes: distinct (buyer, shop account).
    static int GroupCount(const QList<TRefundWork>& work);

protected:
    int Groups(const QList<TRefundWork>& work) const override { return GroupCount(work); }
    void FillDocs(const QList<TRefundWork>& work, bool merge, const QString& storageid) override;
    QSet<QString> Keys(const QList<TRefundWork>& work) const override;

private:
    TfrmRefund* m_form;
};
