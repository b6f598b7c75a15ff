#include "TradeBooks.h"

#include "ItemPicture.h"
#include "store/Database.h"

#include <QDateTime>

bool KxRefundRunning(const QString& s)
{
    return s == QLatin1String("WAIT_SELLER_AGREE") || s == QLatin1String("WAIT_BUYER_RETURN_GOODS")
           || s == QLatin1String("WAIT_SELLER_CONFIRM_GOODS");
}

TTradeBooks::TTradeBooks(QSqlDatabase& db, const QString& nickid, TMarketSimulator& market)
    : m_db(db), m_nick(nickid), m_market(market), m_now(market.clock().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
{
}

void TTradeBooks::store(const QSqlQuery& t)
{
    const QString tid = t.value(0).toString();
    const QString status = t.value(4).toString();
    const bool rated = t.value(15).toInt() != 0;
    bool refund = false;

    QSqlQuery l = m_market.lines(tid);
    while (l.next()) {
        const QString oid = l.value(0).toString(), numIid = l.value(1).toString(), skuId = l.value(2).toString();
        refund = refund || KxRefundRunning(l.value(9).toString());
        // kx_sku_bind is the one mapping of marketplace SKUs to products (an item without
        // SKUs maps under its own id); a product marked deleted binds nothing new.
        const QString bound = KxScalar(m_db, QStringLiteral(
            "SELECT b.commoditycode FROM kx_sku_bind b JOIN kx_commodity c ON c.nickid = b.nickid AND c.commoditycode = b.commoditycode"
            " WHERE b.nickid = ? AND b.num_iid = ? AND b.sku_id = ? AND c.is_del = 0"),
            {m_nick, numIid, skuId.isEmpty() ? numIid : skuId}).toString();
        KxExec(m_db, QStringLiteral(
            "INSERT INTO kx_trade_order (nickid, oid, tid, num_iid, sku_id, sku_properties_name, title, price, num, total_fee,"
            " payment, commoditycode, status, refund_status, refund_id, end_time, outer_id, pic_path)"
            " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
            " ON CONFLICT (nickid, oid) DO UPDATE SET sku_properties_name = excluded.sku_properties_name, title = excluded.title,"
            " price = excluded.price, num = excluded.num, total_fee = excluded.total_fee, payment = excluded.payment,"
            " commoditycode = CASE WHEN kx_trade_order.commoditycode <> '' THEN kx_trade_order.commoditycode ELSE excluded.commoditycode END,"
            " status = excluded.status, refund_status = excluded.refund_status, refund_id = excluded.refund_id,"
            " end_time = excluded.end_time, pic_path = excluded.pic_path"),
               {m_nick, oid, tid, numIid, skuId, l.value(3), l.value(4), l.value(5), l.value(6), l.value(7), l.value(7), bound,
                l.value(8), l.value(9), l.value(10), t.value(13), l.value(11), KxItemPicturePath(numIid)});
    }
    l.finish();

    KxExec(m_db, QStringLiteral(
        "INSERT INTO kx_trade (nickid, tid, seller_nick, buyer_nick, trade_type, status, cod_status, cod_fee, buyer_cod_fee, payment,"
        " post_fee, created, modified, pay_time, end_time, buyer_area, buyer_email, seller_rate, seller_can_rate, receiver_name,"
        " receiver_state, receiver_city, receiver_district, address, receiver_zip, receiver_mobile, receiver_phone, buyer_message,"
        " seller_memo, refund, downloaded) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
        " ON CONFLICT (nickid, tid) DO UPDATE SET seller_nick = excluded.seller_nick, buyer_nick = excluded.buyer_nick,"
        " trade_type = excluded.trade_type, status = excluded.status, cod_status = excluded.cod_status, cod_fee = excluded.cod_fee,"
        " buyer_cod_fee = excluded.buyer_cod_fee, payment = excluded.payment, post_fee = excluded.post_fee,"
        " modified = excluded.modified, pay_time = excluded.pay_time, end_time = excluded.end_time,"
        " buyer_area = excluded.buyer_area, buyer_email = excluded.buyer_email, seller_rate = excluded.seller_rate,"
        " seller_can_rate = excluded.seller_can_rate, receiver_name = excluded.receiver_name, receiver_state = excluded.receiver_state,"
        " receiver_city = excluded.receiver_city, receiver_district = excluded.receiver_district, address = excluded.address,"
        " receiver_zip = excluded.receiver_zip, receiver_mobile = excluded.receiver_mobile, receiver_phone = excluded.receiver_phone,"
        " buyer_message = excluded.buyer_message, seller_memo = excluded.seller_memo, refund = excluded.refund,"
        " downloaded = excluded.downloaded"),
           {m_nick, tid, t.value(1), t.value(2), t.value(3), status, t.value(5), t.value(6), t.value(6), t.value(7), t.value(8),
            t.value(10), t.value(11), t.value(12), t.value(13), t.value(17).toString() + t.value(18).toString(), t.value(14),
            rated ? 1 : 0, status == QLatin1String("TRADE_FINISHED") && !rated ? 1 : 0, t.value(16), t.value(17), t.value(18),
            t.value(19), t.value(20), t.value(21), t.value(22), t.value(23), t.value(24), t.value(25), refund ? 1 : 0, m_now});
}
