#include "Refunds.h"

#include "LiveMarket.h"
#include "protocol/ServiceError.h"
#include "store/Database.h"

#include <QDateTime>

namespace {
const QString kStamp = QStringLiteral("yyyy-MM-dd HH:mm:ss");
constexpr qint64 kOpenedBase = 7900000000000000ll;

QString later(const QString& stamp, int days)
{
    return QDateTime::fromString(stamp, kStamp).addDays(days).toString(kStamp);
}

const QString kColumns = QStringLiteral(
    "r.refund_id, r.tid, r.oid, o.num_iid, o.sku_id, o.sku_properties_name, o.title, o.num, o.total_fee, r.refund_fee,"
    " r.has_good_return, r.status, o.status, r.good_status, r.cs_status, t.seller_nick, r.buyer_nick, r.created, r.modified,"
    " r.timeout, r.company_name, r.sid, r.reason, r.desc1"
    " FROM kx_mk_refund r JOIN kx_mk_trade t ON t.nickid = r.nickid AND t.tid = r.tid"
    " LEFT JOIN kx_mk_order o ON o.nickid = r.nickid AND o.oid = r.oid");
}

QString TRefundMarket::statusOf(const QString& refundId) const
{
    const QVariant s = KxScalar(m_db, QStringLiteral("SELECT status FROM kx_mk_refund WHERE nickid = ? AND refund_id = ?"), {m_nick, refundId});
    if (!s.isValid())
        throw TServiceError(kxRefused, QStringLiteral("网店没有退款 %1").arg(refundId.left(40)));
    return s.toString();
}

QString TRefundMarket::open(const QString& oid, bool goodsBack, const QString& reason, const QString& desc)
{
    QSqlQuery o = KxExec(m_db, QStringLiteral("SELECT o.tid, o.total_fee, o.refund_status, t.status, t.buyer_nick FROM kx_mk_order o"
                                              " JOIN kx_mk_trade t ON t.nickid = o.nickid AND t.tid = o.tid WHERE o.nickid = ? AND o.oid = ?"),
                         {m_nick, oid});
    if (!o.next())
        throw TServiceError(kxRefused, QStringLiteral("网店没有订单明细 %1").arg(oid.left(40)));
    const QString tid = o.value(0).toString(), fee = o.value(1).toString(), running = o.value(2).toString(), status = o.value(3).toString();
    const QString buyer = o.value(4).toString();
    o.finish();
    if (status == QLatin1String("WAIT_BUYER_PAY") || status == QLatin1String("TRADE_CLOSED") || status == QLatin1String("TRADE_CLOSED_BY_TAOBAO"))
        throw TServiceError(kxRefused, QStringLiteral("订单 %1 未付款或已关闭，不能申请退款").arg(tid));
    if (running == QLatin1String("WAIT_SELLER_AGREE") || running == QLatin1String("WAIT_BUYER_RETURN_GOODS")
        || running == QLatin1String("WAIT_SELLER_CONFIRM_GOODS"))
        throw TServiceError(kxRefused, QStringLiteral("订单明细 %1 已有退款正在处理").arg(oid));
    // Goods the buyer never received cannot come back.
    const bool sent = status != QLatin1String("WAIT_SELLER_SEND_GOODS");
    const bool back = goodsBack && sent;
    qint64 n = KxScalar(m_db, QStringLiteral("SELECT COUNT(*) FROM kx_mk_refund WHERE nickid = ?"), {m_nick}).toLongLong();
    QString refundId;
    do
        refundId = QString::number(kOpenedBase + ++n);
    while (KxScalar(m_db, QStringLiteral("SELECT 1 FROM kx_mk_refund WHERE nickid = ? AND refund_id = ?"), {m_nick, refundId}).isValid());
    const QString now = m_market.now();
    KxExec(m_db, QStringLiteral("INSERT INTO kx_mk_refund (nickid, refund_id, tid, oid, buyer_nick, status, good_status, has_good_return,"
                                " refund_fee, reason, desc1, cs_status, timeout, created, modified) VALUES (?, ?, ?, ?, ?, 'WAIT_SELLER_AGREE', ?, ?, ?, ?, ?, '1', ?, ?, ?)"),
           {m_nick, refundId, tid, oid, buyer, sent ? QStringLiteral("BUYER_RECEIVED") : QStringLiteral("BUYER_NOT_RECEIVED"), back ? 1 : 0, fee,
            reason.left(200), desc.left(500), later(now, kSellerDays), now, now});
    KxMarkRefundOnOrder(m_db, m_nick, refundId, now);
    m_market.record(QStringLiteral("refund_open"), refundId, oid);
    return refundId;
}

void TRefundMarket::returnGoods(const QString& refundId, const QString& companyName, const QString& sid)
{
    if (statusOf(refundId) != QLatin1String("WAIT_BUYER_RETURN_GOODS"))
        throw TServiceError(kxRefused, QStringLiteral("退款 %1 不在等待买家退货的状态").arg(refundId));
    const QString now = m_market.now();
    KxExec(m_db, QStringLiteral("UPDATE kx_mk_refund SET status = 'WAIT_SELLER_CONFIRM_GOODS', good_status = 'BUYER_RETURNED_GOODS', company_name = ?,"
                                " sid = ?, timeout = ?, modified = ? WHERE nickid = ? AND refund_id = ?"),
           {companyName, sid, later(now, kConfirmDays), now, m_nick, refundId});
    KxMarkRefundOnOrder(m_db, m_nick, refundId, now);
    m_market.record(QStringLiteral("refund_return"), refundId, companyName + QLatin1Char(':') + sid);
}

void TRefundMarket::close(const QString& refundId)
{
    const QString s = statusOf(refundId);
    if (s != QLatin1String("WAIT_SELLER_AGREE") && s != QLatin1String("WAIT_BUYER_RETURN_GOODS") && s != QLatin1String("WAIT_SELLER_CONFIRM_GOODS"))
        throw TServiceError(kxRefused, QStringLiteral("退款 %1 已结束，不能关闭").arg(refundId));
    const QString now = m_market.now();
    KxExec(m_db, QStringLiteral("UPDATE kx_mk_refund SET status = 'CLOSED', timeout = '', modified = ? WHERE nickid = ? AND refund_id = ?"),
           {now, m_nick, refundId});
    KxMarkRefundOnOrder(m_db, m_nick, refundId, now);
    m_market.record(QStringLiteral("refund_close"), refundId, QString());
}

void TRefundMarket::expire()
{
    const QString at = m_market.clock().toString(kStamp);
    QStringList late;
    QSqlQuery q = KxExec(m_db, QStringLiteral("SELECT refund_id FROM kx_mk_refund WHERE nickid = ? AND status = 'WAIT_BUYER_RETURN_GOODS'"
                                              " AND timeout <> '' AND timeout < ?"), {m_nick, at});
    while (q.next())
        late << q.value(0).toString();
    q.finish();
    for (const QString& id : late)
        close(id);
}

// A refund that ends refunded before the goods were sent takes the line out of the order: the
// order must not ship what was paid back; an order with every line refunded is closed.
void TRefundMarket::finish(const QString& refundId, const QString& stamp)
{
    KxExec(m_db, QStringLiteral("UPDATE kx_mk_order SET status = 'TRADE_CLOSED' WHERE nickid = ? AND status = 'WAIT_SELLER_SEND_GOODS'"
                                " AND oid = (SELECT oid FROM kx_mk_refund WHERE nickid = ? AND refund_id = ?)"),
           {m_nick, m_nick, refundId});
    KxExec(m_db, QStringLiteral("UPDATE kx_mk_trade SET status = 'TRADE_CLOSED', end_time = ?, modified = ? WHERE nickid = ? AND status = 'WAIT_SELLER_SEND_GOODS'"
                                " AND tid = (SELECT tid FROM kx_mk_refund WHERE nickid = ? AND refund_id = ?)"
                                " AND NOT EXISTS (SELECT 1 FROM kx_mk_order o WHERE o.nickid = kx_mk_trade.nickid AND o.tid = kx_mk_trade.tid"
                                " AND o.status <> 'TRADE_CLOSED')"),
           {stamp, stamp, m_nick, m_nick, refundId});
}

namespace {
// The marketplace's reasons for not taking the seller's answer.
void refuseAnswer(const QString& refundId, const QString& status, const QString& timeout, const QString& now)
{
    if (status == QLatin1String("CLOSED") || status == QLatin1String("SUCCESS"))
        throw TServiceError(kxRefused, QStringLiteral("退款 %1 已关闭，不能再处理").arg(refundId));
    if (status == QLatin1String("WAIT_BUYER_RETURN_GOODS") || status == QLatin1String("SELLER_REFUSE_BUYER"))
        throw TServiceError(kxRefused, QStringLiteral("退款 %1 卖家已处理，不能重复处理").arg(refundId));
    if (status != QLatin1String("WAIT_SELLER_AGREE") && status != QLatin1String("WAIT_SELLER_CONFIRM_GOODS"))
        throw TServiceError(kxRefused, QStringLiteral("退款 %1 当前状态不能处理").arg(refundId));
    if (!timeout.isEmpty() && now > timeout)
        throw TServiceError(kxRefused, QStringLiteral("退款 %1 已超过卖家处理期限（%2），不能再处理").arg(refundId, timeout));
}
}

QString TRefundMarket::agree(const QString& refundId, const TReturnAddress& to)
{
    QSqlQuery r = KxExec(m_db, QStringLiteral("SELECT status, timeout, has_good_return FROM kx_mk_refund WHERE nickid = ? AND refund_id = ?"),
                         {m_nick, refundId});
    if (!r.next())
        throw TServiceError(kxRefused, QStringLiteral("网店没有退款 %1").arg(refundId.left(40)));
    const QString status = r.value(0).toString(), timeout = r.value(1).toString();
    const bool goods = r.value(2).toInt() != 0;
    r.finish();
    refuseAnswer(refundId, status, timeout, m_market.clock().toString(kStamp));
    const bool waitGoods = status == QLatin1String("WAIT_SELLER_AGREE") && goods;
    const QString next = waitGoods ? QStringLiteral("WAIT_BUYER_RETURN_GOODS") : QStringLiteral("SUCCESS");
    const QString now = m_market.now();
    KxExec(m_db, QStringLiteral("UPDATE kx_mk_refund SET status = ?, timeout = ?, modified = ? WHERE nickid = ? AND refund_id = ?"),
           {next, waitGoods ? later(now, kReturnDays) : QString(), now, m_nick, refundId});
    if (next == QLatin1String("SUCCESS"))
        finish(refundId, now);
    KxMarkRefundOnOrder(m_db, m_nick, refundId, now);
    m_market.record(QStringLiteral("refund_agree"), refundId,
                    waitGoods ? QStringList{next, to.name, to.address, to.zip, to.phone, to.mobile, to.remark}.join(QLatin1Char('|')) : next);
    return next;
}

QString TRefundMarket::refuse(const QString& refundId, const QString& message)
{
    if (message.trimmed().isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("拒绝退款说明不能为空！"));
    QSqlQuery r = KxExec(m_db, QStringLiteral("SELECT status, timeout FROM kx_mk_refund WHERE nickid = ? AND refund_id = ?"), {m_nick, refundId});
    if (!r.next())
        throw TServiceError(kxRefused, QStringLiteral("网店没有退款 %1").arg(refundId.left(40)));
    const QString status = r.value(0).toString(), timeout = r.value(1).toString();
    r.finish();
    refuseAnswer(refundId, status, timeout, m_market.clock().toString(kStamp));
    const QString now = m_market.now();
    KxExec(m_db, QStringLiteral("UPDATE kx_mk_refund SET status = 'SELLER_REFUSE_BUYER', timeout = '', modified = ? WHERE nickid = ? AND refund_id = ?"),
           {now, m_nick, refundId});
    KxMarkRefundOnOrder(m_db, m_nick, refundId, now);
    m_market.record(QStringLiteral("refund_refuse"), refundId, message);
    return QStringLiteral("SELLER_REFUSE_BUYER");
}

QString TRefundMarket::filter(const TQuery& q, QVariantList& args, const QString& afterModified, const QString& afterId) const
{
    QString sql = QStringLiteral(" WHERE r.nickid = ? AND t.seller_nick = ? AND r.created >= ? AND r.modified <= ?");
    args = {m_nick, q.sellerNick, q.createdFrom, q.until};
    if (afterModified.isEmpty()) {
        sql += QStringLiteral(" AND r.modified > ?");
        args << q.after;
    } else {
        sql += QStringLiteral(" AND (r.modified > ? OR (r.modified = ? AND r.refund_id > ?))");
        args << afterModified << afterModified << afterId;
    }
    static const QStringList known{"WAIT_SELLER_AGREE", "WAIT_BUYER_RETURN_GOODS", "WAIT_SELLER_CONFIRM_GOODS", "SELLER_REFUSE_BUYER"};
    if (q.status == QLatin1String("REFUND_FINISHED")) {
        sql += QStringLiteral(" AND r.status = 'SUCCESS'");
    } else if (q.status == QLatin1String("REFUND_CLOSED")) {
        sql += QStringLiteral(" AND r.status = 'CLOSED'");
    } else if (q.status != QLatin1String("REFUND_ALL")) {
        if (!known.contains(q.status))
            throw TServiceError(kxBadParam, QStringLiteral("网店没有这个退款状态：%1").arg(q.status.left(40)));
        sql += QStringLiteral(" AND r.status = ?");
        args << q.status;
    }
    return sql;
}

int TRefundMarket::count(const TQuery& q) const
{
    QVariantList args;
    const QString where = filter(q, args, QString(), QString());
    return KxScalar(m_db, QStringLiteral("SELECT COUNT(*) FROM kx_mk_refund r JOIN kx_mk_trade t ON t.nickid = r.nickid AND t.tid = r.tid") + where,
                    args).toInt();
}

QSqlQuery TRefundMarket::page(const TQuery& q, const QString& afterModified, const QString& afterId, int limit) const
{
    QVariantList args;
    const QString where = filter(q, args, afterModified, afterId);
    args << limit;
    return KxExec(m_db, QStringLiteral("SELECT ") + kColumns + where + QStringLiteral(" ORDER BY r.modified, r.refund_id LIMIT ?"), args);
}

QSqlQuery TRefundMarket::one(const QString& sellerNick, const QString& refundId) const
{
    return KxExec(m_db, QStringLiteral("SELECT ") + kColumns + QStringLiteral(" WHERE r.nickid = ? AND t.seller_nick = ? AND r.refund_id = ?"),
                  {m_nick, sellerNick, refundId});
}
