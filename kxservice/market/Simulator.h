#pragma once
// The marketplace as the seller's shops see it, simulated per seller: items and SKUs listed
// from the seller's goods, buyers' orders in every status, refund requests, and a record of
// what the seller did there (shipments, ratings, listing changes, stock and price pushes,
// refund decisions). Generation is deterministic: the same seed gives the same marketplace.
#include <QDate>
#include <QDateTime>
#include <QSqlQuery>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class TMarketSimulator {
public:
    TMarketSimulator(QSqlDatabase& db, const QString& nickid) : m_db(db), m_nick(nickid) {}

    // Lists every goods item and product of the seller and generates `trades` orders placed
    // from `from` on, with their lines and refunds. Runs in the caller's transaction.
    // Orders are placed `spacingSecs` apart (plus up to an hour).
    void populate(quint64 seed, int trades, const QDate& from, const QString& sellerNick, int spacingSecs = 5400);

    // The seller's actions. Each checks the marketplace's rules, changes the simulated state
    // and records an event; a refused action throws TServiceError and changes nothing.
    void ship(const QString& tid, const QString& companyCode, const QString& outSid);
    void rate(const QString& tid, const QString& result, const QString& content);
    void setListing(const QString& numIid, bool onSale);
    void pushStock(const QString& skuId, int quantity);
    void pushPrice(const QString& skuId, const QString& price);
    // The same for a SKU of one item as a mapping names it; an item without SKUs is named by
    // its own id as the SKU. Refused when the item does not have that SKU (any more).
    void pushStock(const QString& numIid, const QString& skuId, int quantity);
    void pushPrice(const QString& numIid, const QString& skuId, const QString& price);
    // Many SKUs at once, as a push of many products sends them: the marketplace's reason for
    // each SKU it would refuse (empty: it takes it), then the figures of SKUs it takes written
    // in a few statements, with their events. `figure` is the quantity or the price.
    struct TSkuPush {
        QString numIid, skuId, figure;
    };
    QStringList refusals(const QList<TSkuPush>& skus) const;
    void pushMany(bool stock, const QList<TSkuPush>& skus);
    void agreeRefund(const QString& refundId);
    void refuseRefund(const QString& refundId, const QString& reason);

    // The marketplace's clock: the program's clock (KxNow) moved by what advance() added for this seller.
    QDateTime clock() const;
    void advance(qint64 seconds);

    // Orders of one shop account in one state (a status, "TRADE_ALL" or "RATE_UNSELLER"),
    // created from `createdFrom`, changed after `after` up to `until` (marketplace time text).
    struct TTradeQuery {
        QString sellerNick, status, createdFrom, after, until;
    };
    int countTrades(const TTradeQuery& q) const;
    // The next `limit` of them after (modified, tid), in that order. Columns: tid, seller_nick,
    // buyer_nick, trade_type, status, cod_status, cod_fee, payment, post_fee, total_fee, created,
    // modified, pay_time, end_time, buyer_email, seller_rate, receiver_name, receiver_state,
    // receiver_city, receiver_district, receiver_address, receiver_zip, receiver_mobile,
    // receiver_phone, buyer_message, seller_memo.
    QSqlQuery trades(const TTradeQuery& q, const QString& afterModified, const QString& afterTid, int limit) const;
    // One order of the account by number, same columns; no row when the account has none.
    QSqlQuery trade(const QString& sellerNick, const QString& tid) const;
    // An order's lines: oid, num_iid, sku_id, sku_properties_name, title, price, num, total_fee,
    // status, refund_status, refund_id, outer_sku_id. An item's picture is KxItemPicturePath.
    QSqlQuery lines(const QString& tid) const;

    // The shop's items. For a seller whose books hold no goods yet (tests, benchmarks): `items`
    // items in the shop's categories with colour and size SKUs (about `skusPerItem` each; one
    // item in ten has none), pictures, prices and listing states, stamped now.
    void listItems(quint64 seed, int items, int skusPerItem);
    // Sellers change their items at the marketplace too: `count` items (from a seed) get a new
    // title and price, a SKU more, or the other listing state, stamped now.
    void reviseItems(quint64 seed, int count);
    // Categories: cid, parent_cid, name, sort_order.
    QSqlQuery categories() const;
    // Items of a listing state ("onsale", "instock") changed after `after` up to `until`; the
    // next `limit` of them after (modified, num_iid). Columns: num_iid, title, outer_id, price,
    // num, approve_status, cid, modified, pic_url.
    int countItems(const QString& status, const QString& after, const QString& until) const;
    QSqlQuery items(const QString& status, const QString& after, const QString& until, const QString& afterModified,
                    const QString& afterIid, int limit) const;
    // One item, same columns; no row when the shop has none.
    QSqlQuery item(const QString& numIid) const;
    // The SKUs of some items: num_iid, sku_id, outer_id, properties_name, price, quantity,
    // color, size; by item and SKU.
    QSqlQuery skusOf(const QStringList& numIids) const;
    // Items whose title contains `q`, or whose id or seller code is `q`; same columns, then
    // `account` (the shop account that asks).
    QSqlQuery searchItems(const QString& account, const QString& q, int limit) const;

    // Appends an event; returns its sequence number (per seller, from 1).
    qint64 record(const QString& kind, const QString& target, const QString& detail);
    // The stamp of a change made now: never within a second already listed.
    QString now() const;

private:
    QString tradeFilter(const TTradeQuery& q, QVariantList& args, const QString& afterModified, const QString& afterTid) const;
    QSqlDatabase& m_db;
    QString m_nick;
};
