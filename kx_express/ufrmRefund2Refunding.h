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

// The refund window's part in making return receipts. Lives with the window.
class TRefundToRefunding : public QObject {
    Q_OBJECT
public:
    explicit TRefundToRefunding(TfrmRefund* form);
    static TRefundToRefunding& Of(TfrmRefund* form);

    // The button: collect, ask for the storage and the merge, make and save, then show the receipts.
    void dxBL_GenerateClick();

    // The ticked refunds in list order; the focused refund stays.
    QList<TRefundWork> Collect();
    // How many receipts merging makes: distinct (buyer, shop account).
    static int GroupCount(const QList<TRefundWork>& work);
    // Fills the receipt data sets from the work records and marks the refunds done, unsent.
    void Fill(const QList<TRefundWork>& work, bool merge, const QString& storageid);
    // Makes, asks and saves; on success the refunds are no longer ticked.
    bool Create(const QList<TRefundWork>& work, bool merge, const QString& storageid);

    TPClientDataSet* Master() const { return m_master; }
    TPClientDataSet* Lines() const { return m_lines; }
    TPClientDataSet* Storages() const { return m_storages; }

    // The receipts' structures ("searchrefunding", no number), once.
    bool LoadStructures();

private:
    TfrmRefund* m_form;
    TPClientDataSet* m_master;
    TPClientDataSet* m_lines;
    TPClientDataSet* m_storages;
    bool m_loaded = false;
};
