#pragma once
// "生成拣货单": the dialog that asks for the storage and whether orders to one buyer and
// address are merged, and the orders window's engine that turns the ticked orders into picking
// lists, marks them picked and saves both in one call.
#include "uGenerateDocs.h"

#include "TDecimal.h"

#include <QList>


class TPClientDataSet;
class TfrmTrade;

// One line of a ticked order, as the picking line is made from it.
struct TTradeWorkLine {
    QString tid, oid, commoditycode, title, num_iid, sku_id, sku_properties_name, seller_nick;
    TDecimal num, price, total_fee;
};

// One ticked order with its lines.
struct TTradeWork {
    QString tid, buyer_nick, seller_nick, receiver_name, receiver_state, receiver_city, receiver_district, address, receiver_zip,
        receiver_mobile, receiver_phone, buyer_email, buyer_message, seller_memo;
    TDecimal cod_fee, seller_cod_fee, buyer_cod_fee, goodsTotal;
    QList<TTradeWorkLine> lines;
};

class TfrmTrade2Pick : public TKxGenerateDialog {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmTrade2Pick(QWidget* owner = nullptr);
};

// The orders window's part in making picking lists: its orders, their lines and the picking
// lists made of them; the flow around the dialog and the save is the generator's.
class TTradeToPicking : public TKxGenerator<TTradeWork, TfrmTrade2Pick> {
    Q_OBJECT
public:
    explicit TTradeToPicking(TfrmTrade* form);
    static TTradeToPicking& Of(TfrmTrade* form);

    // The button: collect, ask for the storage and the merge, make and save, then show the new lists.
    void dxBL_PickClick() { Generate(); }

    // The ticked orders in list order, each with its lines; the focused order stays.
    QList<TTradeWork> Collect() override;
    // How many picking lists merging makes: distinct (buyer, consignee, address).
    static int GroupCount(const QList<TTradeWork>& work);

protected:
    int Groups(const QList<TTradeWork>& work) const override { return GroupCount(work); }
    void FillDocs(const QList<TTradeWork>& work, bool merge, const QString& storageid) override;
    QSet<QString> Keys(const QList<TTradeWork>& work) const override;

private:
    TfrmTrade* m_form;
};
