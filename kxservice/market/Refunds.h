#pragma once
// Refunds at the marketplace: buyers ask for their money back on an order line (money only
// before the goods reached them, or goods and money), the seller answers before the
// marketplace's deadline, buyers send goods back with a carrier and number, and the refund ends
// refunded, refused or closed. A refund running on a line keeps its order from being shipped.
//
// WAIT_SELLER_AGREE -(seller agrees)-> WAIT_BUYER_RETURN_GOODS -(buyer sends)->
// WAIT_SELLER_CONFIRM_GOODS -(seller agrees)-> SUCCESS; a money-only refund agreed is SUCCESS at
// once; refused: SELLER_REFUSE_BUYER; the buyer may close a running one, and the marketplace
// closes one whose goods were not sent back in time: CLOSED.
#include "Simulator.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

class TRefundMarket {
public:
    TRefundMarket(QSqlDatabase& db, const QString& nickid, TMarketSimulator& market) : m_db(db), m_nick(nickid), m_market(market) {}

    // Days the seller has to answer a request, and the buyer to send goods back.
    static constexpr int kSellerDays = 3;
    static constexpr int kReturnDays = 7;
    static constexpr int kConfirmDays = 10;

    // The buyer asks for a refund of the whole order line `oid` now (the line's amount); with
    // `goodsBack` the goods are to come back. Refused when the order is not paid, closed, or a
    // refund runs on the line already. Returns the refund's number. Also the tests' way to
    // make a buyer open a refund on demand.
    QString open(const QString& oid, bool goodsBack, const QString& reason, const QString& desc);
    // The buyer sends the goods of an agreed refund back (tests' hook as well).
    void returnGoods(const QString& refundId, const QString& companyName, const QString& sid);
    // The buyer withdraws a running refund.
    void close(const QString& refundId);
    // Refunds whose goods were not sent back by their deadline are closed.
    void expire();

    // The seller's answers, with the marketplace's rules: a refund closed or finished, one
    // answered already, or one past the seller's deadline is refused with the reason. Each
    // returns the refund's new status.
    struct TReturnAddress {
        QString name, address, zip, phone, mobile, remark;
    };
    QString agree(const QString& refundId, const TReturnAddress& to);
    QString refuse(const QString& refundId, const QString& message);

    // Refunds of one shop account in one state ("REFUND_ALL", a status, "REFUND_FINISHED",
    // "REFUND_CLOSED") asked for from `createdFrom`, changed after `after` up to `until`.
    struct TQuery {
        QString sellerNick, status, createdFrom, after, until;
    };
    int count(const TQuery& q) const;
    // The next `limit` of them after (modified, refund_id). Columns: refund_id, tid, oid,
    // num_iid, sku_id, sku_properties_name, title, num, total_fee, refund_fee, has_good_return,
    // status, order_status, good_status, cs_status, seller_nick, buyer_nick, created, modified,
    // timeout, company_name, sid, reason, desc1.
    QSqlQuery page(const TQuery& q, const QString& afterModified, const QString& afterId, int limit) const;
    // One refund of the account, same columns; no row when the account has none.
    QSqlQuery one(const QString& sellerNick, const QString& refundId) const;

private:
    QString filter(const TQuery& q, QVariantList& args, const QString& afterModified, const QString& afterId) const;
    QString statusOf(const QString& refundId) const;
    void finish(const QString& refundId, const QString& stamp);

    QSqlDatabase& m_db;
    QString m_nick;
    TMarketSimulator& m_market;
};
