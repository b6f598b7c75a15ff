#include "Simulator.h"

#include "Buyers.h"
#include "ItemPicture.h"
#include "LiveMarket.h"
#include "Refunds.h"
#include "MarketRng.h"
#include "protocol/ServiceError.h"
#include "store/Database.h"
#include "store/BulkWrite.h"
#include "store/DocSql.h"
#include "uClock.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QSet>
#include <algorithm>
#include <QStringList>
#include <vector>

namespace {
const char* const kSurnames[] = {"张", "王", "李", "赵", "刘", "陈", "杨", "黄", "周", "吴", "徐", "孙"};
const char* const kGiven[] = {"伟", "芳", "娜", "敏", "静", "磊", "洋", "勇", "艳", "杰", "涛", "明"};
const char* const kPlaces[][3] = {{"浙江省", "杭州市", "西湖区"}, {"上海", "上海市", "浦东新区"}, {"广东省", "深圳市", "南山区"},
                                  {"北京", "北京市", "朝阳区"}, {"江苏省", "南京市", "鼓楼区"}, {"四川省", "成都市", "武侯区"}};
const char* const kReasons[] = {"尺码不合适", "颜色与描述不符", "质量问题", "七天无理由退换货", "发错货"};
// Buyers write what they like, emoji and characters beyond the older Chinese code pages included.
const char* const kMessages[] = {"", "", "请尽快发货🚚", "麻烦包装好一点🎁，谢谢！", "送人的，不要放价格单😊 祝𠮷祥",
                                 "周末不在家，请工作日送达🙏 <别放门口> & 打电话"};

QString money(qint64 cents)
{
    return QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

struct TSku {
    QString skuId, numIid, outerId, title, props;
    qint64 cents;
};
}

QString TMarketSimulator::now() const
{
    // A change made after the changes were listed up to a second is stamped after that second,
    // so a download that listed up to it cannot miss the change.
    const QString stamp = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    const QString at = clock().toString(stamp);
    const QString served = KxScalar(m_db, QStringLiteral("SELECT served_until FROM kx_mk_clock WHERE nickid = ?"), {m_nick}).toString();
    return served.isEmpty() || at > served ? at : QDateTime::fromString(served, stamp).addSecs(1).toString(stamp);
}

QDateTime TMarketSimulator::clock() const
{
    const QVariant offset = KxScalar(m_db, QStringLiteral("SELECT offset_secs FROM kx_mk_clock WHERE nickid = ?"), {m_nick});
    return KxNow().addSecs(offset.toLongLong());
}

void TMarketSimulator::advance(qint64 seconds)
{
    if (!KxExec(m_db, QStringLiteral("UPDATE kx_mk_clock SET offset_secs = offset_secs + ? WHERE nickid = ?"), {seconds, m_nick}).numRowsAffected())
        KxExec(m_db, QStringLiteral("INSERT INTO kx_mk_clock (nickid, offset_secs) VALUES (?, ?)"), {m_nick, seconds});
}

namespace {
const QString kTradeColumns = QStringLiteral(
    "t.tid, t.seller_nick, t.buyer_nick, t.trade_type, t.status, t.cod_status, t.cod_fee, t.payment, t.post_fee, t.total_fee,"
    " t.created, t.modified, t.pay_time, t.end_time, t.buyer_email, t.seller_rate, t.receiver_name, t.receiver_state,"
    " t.receiver_city, t.receiver_district, t.receiver_address, t.receiver_zip, t.receiver_mobile, t.receiver_phone,"
    " t.buyer_message, t.seller_memo");
}

QString TMarketSimulator::tradeFilter(const TTradeQuery& q, QVariantList& args, const QString& afterModified, const QString& afterTid) const
{
    // Past a cursor the cursor alone is the lower bound (it lies after q.after), so the index
    // ranges over it instead of over everything since q.after.
    QString sql = QStringLiteral(" FROM kx_mk_trade t WHERE t.nickid = ? AND t.seller_nick = ? AND t.created >= ? AND t.modified <= ?");
    args = {m_nick, q.sellerNick, q.createdFrom, q.until};
    if (afterModified.isEmpty()) {
        sql += QStringLiteral(" AND t.modified > ?");
        args << q.after;
    } else {
        sql += QStringLiteral(" AND (t.modified, t.tid) > (?, ?)");
        args << afterModified << afterTid;
    }
    if (q.status == QLatin1String("RATE_UNSELLER")) {
        sql += QStringLiteral(" AND t.status = 'TRADE_FINISHED' AND t.seller_rate = 0");
    } else if (q.status != QLatin1String("TRADE_ALL")) {
        static const QStringList known{"WAIT_BUYER_PAY", "WAIT_SELLER_SEND_GOODS", "WAIT_BUYER_CONFIRM_GOODS", "TRADE_FINISHED", "TRADE_CLOSED"};
        if (!known.contains(q.status))
            throw TServiceError(kxBadParam, QStringLiteral("网店没有这个订单状态：%1").arg(q.status.left(40)));
        sql += QStringLiteral(" AND t.status = ?");
        args << q.status;
    }
    return sql;
}

int TMarketSimulator::countTrades(const TTradeQuery& q) const
{
    QVariantList args;
    const QString from = tradeFilter(q, args, QString(), QString());
    return KxScalar(m_db, QStringLiteral("SELECT COUNT(*)") + from, args).toInt();
}

QSqlQuery TMarketSimulator::trades(const TTradeQuery& q, const QString& afterModified, const QString& afterTid, int limit) const
{
    QVariantList args;
    const QString from = tradeFilter(q, args, afterModified, afterTid);
    args << limit;
    return KxExec(m_db, QStringLiteral("SELECT ") + kTradeColumns + from + QStringLiteral(" ORDER BY t.modified, t.tid LIMIT ?"), args);
}

QSqlQuery TMarketSimulator::trade(const QString& sellerNick, const QString& tid) const
{
    return KxExec(m_db, QStringLiteral("SELECT ") + kTradeColumns
                            + QStringLiteral(" FROM kx_mk_trade t WHERE t.nickid = ? AND t.seller_nick = ? AND t.tid = ?"), {m_nick, sellerNick, tid});
}

QSqlQuery TMarketSimulator::lines(const QString& tid) const
{
    return KxExec(m_db, QStringLiteral(
        "SELECT o.oid, o.num_iid, o.sku_id, o.sku_properties_name, o.title, o.price, o.num, o.total_fee, o.status, o.refund_status,"
        " COALESCE((SELECT r.refund_id FROM kx_mk_refund r WHERE r.nickid = o.nickid AND r.oid = o.oid"
        " ORDER BY r.created DESC, r.refund_id DESC LIMIT 1), ''), o.outer_sku_id"
        " FROM kx_mk_order o WHERE o.nickid = ? AND o.tid = ? ORDER BY o.oid"), {m_nick, tid});
}

void TMarketSimulator::populate(quint64 seed, int trades, const QDate& from, const QString& sellerNick, int spacingSecs)
{
    TRng rng(seed);
    const QString stamp = from.startOfDay().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));

    // The shop's categories at the marketplace are the seller's goods categories; the seller's
    // own rows know them already (as a download would have left them).
    QSqlQuery cats = KxExec(m_db, QStringLiteral("SELECT catid, parentid, catname, seq FROM kx_category WHERE nickid = ? AND cattype = 'goods'"), {m_nick});
    std::vector<std::pair<qint64, qint64>> tree;
    std::vector<QString> names;
    std::vector<int> seqs;
    while (cats.next()) {
        tree.emplace_back(cats.value(0).toLongLong(), cats.value(1).toLongLong());
        names.push_back(cats.value(2).toString());
        seqs.push_back(cats.value(3).toInt());
    }
    cats.finish();
    const auto cidOf = [](qint64 catid) { return catid > 0 ? QString::number(50000000 + catid) : QStringLiteral("0"); };
    for (size_t i = 0; i < tree.size(); ++i) {
        KxExec(m_db, QStringLiteral("INSERT INTO kx_mk_category (nickid, cid, parent_cid, name, sort_order) VALUES (?, ?, ?, ?, ?)"
                                    " ON CONFLICT (nickid, cid) DO NOTHING"),
               {m_nick, cidOf(tree[i].first), cidOf(tree[i].second), names[i], seqs[i]});
        KxExec(m_db, QStringLiteral("UPDATE kx_category SET cid = ? WHERE nickid = ? AND catid = ?"), {cidOf(tree[i].first), m_nick, tree[i].first});
    }

    // Items: one per goods item, numbered in goods order; SKUs: one per product.
    QSqlQuery g = KxExec(m_db, QStringLiteral("SELECT goodscode, goodsname, saleprice, catid FROM kx_goods WHERE nickid = ? ORDER BY goodscode"), {m_nick});
    int item = 0;
    struct TGoods { QString code, name; qint64 catid; };
    std::vector<TGoods> goods;
    while (g.next())
        goods.push_back({g.value(0).toString(), g.value(1).toString(), g.value(3).toLongLong()});
    g.finish();
    std::vector<TSku> skus;
    for (const auto& [code, name, catid] : goods) {
        const QString numIid = QString::number(520000000000ll + ++item);
        const bool onSale = item % 7 != 0;
        QSqlQuery c = KxExec(m_db, QStringLiteral("SELECT commoditycode, propcolor, propsize, saleprice FROM kx_commodity"
                                                  " WHERE nickid = ? AND goodscode = ? ORDER BY commoditycode"), {m_nick, code});
        int total = 0, n = 0;
        QString price;
        while (c.next()) {
            const QString skuId = QString::number(4200000000000ll + item * 100 + ++n);
            const int qty = rng.below(80);
            total += qty;
            price = c.value(3).toString();
            const qint64 cents = qint64(c.value(3).toDouble() * 100 + 0.5);
            const QString props = QStringLiteral("颜色分类:%1;尺码:%2").arg(c.value(1).toString(), c.value(2).toString());
            KxExec(m_db, QStringLiteral("INSERT INTO kx_mk_sku (nickid, sku_id, num_iid, outer_id, properties_name, price, quantity, color, size)"
                                        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                   {m_nick, skuId, numIid, c.value(0).toString(), props, money(cents), qty, c.value(1).toString(), c.value(2).toString()});
            // Now and then a SKU is listed without the seller's books saying which product it
            // is: its lines come unbound until an operator maps it.
            if (skus.size() % 9 != 4)
                KxExec(m_db, QStringLiteral("INSERT INTO kx_sku_bind (nickid, num_iid, sku_id, commoditycode, operid, bound_at, nick, title,"
                                            " sku_properties_name, pic_path, md5_key) VALUES (?, ?, ?, ?, '', ?, ?, ?, ?, ?, ?)"
                                            " ON CONFLICT (nickid, num_iid, sku_id) DO NOTHING"),
                       {m_nick, numIid, skuId, c.value(0).toString(), stamp, sellerNick, name, props, KxItemPicturePath(numIid),
                        QString::fromLatin1(QCryptographicHash::hash((numIid + skuId).toUtf8(), QCryptographicHash::Md5).toHex())});
            skus.push_back({skuId, numIid, c.value(0).toString(), name, props, cents});
        }
        KxExec(m_db, QStringLiteral("INSERT INTO kx_mk_item (nickid, num_iid, title, outer_id, price, num, approve_status, cid, modified, pic_url)"
                                    " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
               {m_nick, numIid, name, code, price.isEmpty() ? QStringLiteral("0") : price, total,
                onSale ? QStringLiteral("onsale") : QStringLiteral("instock"), cidOf(catid), stamp, KxItemPicturePath(numIid)});
        KxExec(m_db, QStringLiteral("UPDATE kx_goods SET num_iid = ?, approve_status = ? WHERE nickid = ? AND goodscode = ?"),
               {numIid, onSale ? QStringLiteral("onsale") : QStringLiteral("instock"), m_nick, code});
    }
    if (skus.empty())
        return;
    QStringList accounts{sellerNick};
    QSqlQuery sub = KxExec(m_db, QStringLiteral("SELECT nick FROM kx_subnick WHERE nickid = ? ORDER BY seq"), {m_nick});
    while (sub.next())
        accounts << sub.value(0).toString();
    sub.finish();
    struct TConsignee { QString buyer, receiver, address; int place = 0; };
    // The marketplace's present: now, or an hour after the last order when that lies ahead.
    // Nothing has happened after it.
    const QDateTime present = std::max(QDateTime::currentDateTime(), from.startOfDay().addSecs(qint64(trades) * spacingSecs + 3600));
    const auto until = [&](const QDateTime& at) {
        return (at < present ? at : present.addSecs(-60)).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    };
    TConsignee previous;

    // Orders: statuses in a fixed rotation so every one is present, times spread over days.
    static const char* const kStatus[] = {"WAIT_BUYER_PAY", "WAIT_SELLER_SEND_GOODS", "WAIT_SELLER_SEND_GOODS",
                                          "WAIT_BUYER_CONFIRM_GOODS", "TRADE_FINISHED", "TRADE_FINISHED", "TRADE_CLOSED"};
    int refunds = 0;
    for (int t = 0; t < trades; ++t) {
        const QString status = QString::fromLatin1(kStatus[t % 7]);
        const QString tid = QString::number(3100000000000ll + seed % 100000 * 10000 + t + 1);
        const QDateTime created = from.startOfDay().addSecs(qint64(t) * spacingSecs + rng.below(3600));
        const QString createdText = created.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const bool paid = status != QLatin1String("WAIT_BUYER_PAY") && status != QLatin1String("TRADE_CLOSED");
        const bool sent = status == QLatin1String("WAIT_BUYER_CONFIRM_GOODS") || status == QLatin1String("TRADE_FINISHED");
        TConsignee who;
        who.place = rng.below(6);
        who.buyer = QStringLiteral("buyer_%1").arg(rng.below(500) + 1, 3, 10, QLatin1Char('0'));
        who.receiver = QString::fromUtf8(kSurnames[rng.below(12)]) + QString::fromUtf8(kGiven[rng.below(12)]);
        who.address = QStringLiteral("幸福路%1号%2室").arg(rng.below(300) + 1).arg(rng.below(20) * 100 + 101);
        // Now and then a buyer orders again to the same address before the first order ships.
        if (t % 14 == 2)
            who = previous;
        previous = who;
        const auto& place = kPlaces[who.place];
        const QString& buyer = who.buyer;
        const QString& receiver = who.receiver;
        const QString account = accounts[t % 5 == 3 ? t % int(accounts.size()) : 0];
        // Cash on delivery on some orders that are not waiting for payment.
        const bool cod = paid && t % 11 == 4;
        const QString codStatus = !cod ? QString()
                                  : status == QLatin1String("WAIT_SELLER_SEND_GOODS") ? QStringLiteral("NEW_CREATED")
                                  : status == QLatin1String("TRADE_FINISHED")         ? QStringLiteral("SIGN_IN")
                                                                                      : QStringLiteral("ACCEPTED_BY_COMPANY");
        const int lines = 1 + rng.below(3);
        qint64 total = 0;
        std::vector<QString> oids;
        for (int l = 0; l < lines; ++l) {
            const TSku& s = skus[size_t(rng.below(int(skus.size())))];
            const int num = 1 + rng.below(2);
            const QString oid = tid + QString::number(l + 1);
            oids.push_back(oid);
            total += s.cents * num;
            KxExec(m_db, QStringLiteral("INSERT INTO kx_mk_order (nickid, oid, tid, num_iid, sku_id, outer_sku_id, title,"
                                        " sku_properties_name, num, price, total_fee, status) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                   {m_nick, oid, tid, s.numIid, s.skuId, s.outerId, s.title, s.props, num, money(s.cents),
                    money(s.cents * num), status});
        }
        const qint64 post = total >= 9900 ? 0 : 800;
        const QString company = sent ? QStringLiteral("YTO") : QString();
        const QString endText = status == QLatin1String("TRADE_FINISHED") ? until(created.addDays(6)) : QString();
        KxExec(m_db, QStringLiteral(
            "INSERT INTO kx_mk_trade (nickid, tid, seller_nick, buyer_nick, status, created, modified, pay_time, consign_time,"
            " end_time, receiver_name, receiver_state, receiver_city, receiver_district, receiver_address, receiver_zip,"
            " receiver_mobile, post_fee, total_fee, payment, buyer_message, buyer_rate, seller_rate, company_code, out_sid,"
            " trade_type, cod_status, cod_fee, buyer_email, receiver_phone)"
            " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0, ?, ?, ?, ?, ?, ?, ?)"),
               {m_nick, tid, account, buyer, status, createdText, endText.isEmpty() ? createdText : endText,
                paid ? created.addSecs(600).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString(),
                sent ? until(created.addDays(1)) : QString(),
                endText, receiver, QString::fromUtf8(place[0]), QString::fromUtf8(place[1]), QString::fromUtf8(place[2]),
                who.address,
                QStringLiteral("310000"), QStringLiteral("1370000%1").arg(rng.below(10000), 4, 10, QLatin1Char('0')),
                money(post), money(total), money(total + post), QString::fromUtf8(kMessages[rng.below(6)]),
                status == QLatin1String("TRADE_FINISHED") ? 1 : 0, company,
                sent ? QStringLiteral("YT%1").arg(8800000000ll + t) : QString(),
                cod ? QStringLiteral("cod") : QStringLiteral("fixed"), codStatus, money(cod ? 1000 : 0),
                buyer + QStringLiteral("@example.com"), t % 3 == 0 ? QStringLiteral("0571-8800%1").arg(t % 10000, 4, 10, QLatin1Char('0')) : QString()});

        // Refund requests on some paid orders, cycling through the refund statuses.
        if (paid && t % 5 == 1) {
            static const char* const kRefund[][2] = {{"WAIT_SELLER_AGREE", "BUYER_NOT_RECEIVED"},
                                                     {"WAIT_BUYER_RETURN_GOODS", "BUYER_RECEIVED"},
                                                     {"WAIT_SELLER_CONFIRM_GOODS", "BUYER_RETURNED_GOODS"},
                                                     {"SELLER_REFUSE_BUYER", "BUYER_RECEIVED"},
                                                     {"SUCCESS", "BUYER_RETURNED_GOODS"},
                                                     {"CLOSED", "BUYER_RECEIVED"}};
            const auto& r = kRefund[refunds % 6];
            const QString refundId = QString::number(7700000000000ll + seed % 100000 * 10000 + ++refunds);
            const bool goodsBack = QString::fromLatin1(r[1]) == QLatin1String("BUYER_RETURNED_GOODS");
            KxExec(m_db, QStringLiteral(
                "INSERT INTO kx_mk_refund (nickid, refund_id, tid, oid, buyer_nick, status, good_status, has_good_return,"
                " refund_fee, reason, created, modified, sid, company_name) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                   {m_nick, refundId, tid, oids.front(), buyer, QString::fromLatin1(r[0]), QString::fromLatin1(r[1]),
                    sent ? 1 : 0, money(total / lines), QString::fromUtf8(kReasons[rng.below(5)]),
                    until(created.addDays(2)), until(created.addDays(3)),
                    goodsBack ? QStringLiteral("ZT%1").arg(9900000000ll + t) : QString(),
                    goodsBack ? QStringLiteral("中通快运") : QString()});
            KxExec(m_db, QStringLiteral("UPDATE kx_mk_order SET refund_status = ? WHERE nickid = ? AND oid = ?"),
                   {QString::fromLatin1(r[0]), m_nick, oids.front()});
            // What the buyer wrote, and the deadline of whoever is to act next, reckoned from the
            // marketplace's present so that the seller can still answer.
            TRng words = TRng::of(seed, quint64(t), 0x2EF);
            const QString state = QString::fromLatin1(r[0]);
            const int days = state == QLatin1String("WAIT_BUYER_RETURN_GOODS") ? TRefundMarket::kReturnDays
                             : state == QLatin1String("WAIT_SELLER_AGREE") || state == QLatin1String("WAIT_SELLER_CONFIRM_GOODS") ? TRefundMarket::kSellerDays
                                                                                                                              : 0;
            KxExec(m_db, QStringLiteral("UPDATE kx_mk_refund SET desc1 = ?, timeout = ? WHERE nickid = ? AND refund_id = ?"),
                   {KxRefundDesc(words), days ? present.addDays(days).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString(), m_nick, refundId});
        }
    }
    KxExec(m_db, QStringLiteral("DELETE FROM kx_mk_clock WHERE nickid = ?"), {m_nick});
    advance(QDateTime::currentDateTime().secsTo(present));
}

qint64 TMarketSimulator::record(const QString& kind, const QString& target, const QString& detail)
{
    const qint64 seq = KxScalar(m_db, QStringLiteral("SELECT COALESCE(MAX(seq), 0) + 1 FROM kx_mk_event WHERE nickid = ?"), {m_nick}).toLongLong();
    KxExec(m_db, QStringLiteral("INSERT INTO kx_mk_event (nickid, seq, kind, target, detail, created) VALUES (?, ?, ?, ?, ?, ?)"),
           {m_nick, seq, kind, target, detail, now()});
    return seq;
}

void TMarketSimulator::ship(const QString& tid, const QString& companyCode, const QString& outSid)
{
    if (companyCode.trimmed().isEmpty() || outSid.trimmed().isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("订单 %1 没有物流公司或运单号，不能发货").arg(tid));
    const QVariant status = KxScalar(m_db, QStringLiteral("SELECT status FROM kx_mk_trade WHERE nickid = ? AND tid = ?"), {m_nick, tid});
    if (!status.isValid())
        throw TServiceError(kxRefused, QStringLiteral("网店没有订单 %1").arg(tid));
    const QString s = status.toString();
    if (s == QLatin1String("TRADE_CLOSED") || s == QLatin1String("TRADE_CLOSED_BY_TAOBAO"))
        throw TServiceError(kxRefused, QStringLiteral("订单 %1 已关闭，不能发货").arg(tid));
    if (s == QLatin1String("WAIT_BUYER_CONFIRM_GOODS") || s == QLatin1String("TRADE_FINISHED"))
        throw TServiceError(kxRefused, QStringLiteral("订单 %1 已发货，不能重复发货").arg(tid));
    if (s == QLatin1String("WAIT_BUYER_PAY"))
        throw TServiceError(kxRefused, QStringLiteral("订单 %1 买家尚未付款，不能发货").arg(tid));
    if (s != QLatin1String("WAIT_SELLER_SEND_GOODS"))
        throw TServiceError(kxRefused, QStringLiteral("订单 %1 当前状态不能发货").arg(tid));
    // A buyer who asked for the money back must not get the parcel as well.
    if (KxScalar(m_db, QStringLiteral("SELECT 1 FROM kx_mk_order WHERE nickid = ? AND tid = ? AND refund_status IN"
                                      " ('WAIT_SELLER_AGREE', 'WAIT_BUYER_RETURN_GOODS', 'WAIT_SELLER_CONFIRM_GOODS')"),
                 {m_nick, tid}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("订单 %1 有退款正在处理，不能发货").arg(tid));
    KxExec(m_db, QStringLiteral("UPDATE kx_mk_trade SET status = 'WAIT_BUYER_CONFIRM_GOODS', consign_time = ?, modified = ?,"
                                " company_code = ?, out_sid = ? WHERE nickid = ? AND tid = ?"),
           {now(), now(), companyCode, outSid, m_nick, tid});
    // A line refunded before shipping stays out of the parcel.
    KxExec(m_db, QStringLiteral("UPDATE kx_mk_order SET status = 'WAIT_BUYER_CONFIRM_GOODS' WHERE nickid = ? AND tid = ? AND status <> 'TRADE_CLOSED'"), {m_nick, tid});
    record(QStringLiteral("ship"), tid, companyCode + QLatin1Char(':') + outSid);
}

void TMarketSimulator::rate(const QString& tid, const QString& result, const QString& content)
{
    QSqlQuery q = KxExec(m_db, QStringLiteral("SELECT status, seller_rate FROM kx_mk_trade WHERE nickid = ? AND tid = ?"), {m_nick, tid});
    if (!q.next())
        throw TServiceError(kxRefused, QStringLiteral("网店没有订单 %1").arg(tid));
    if (q.value(0).toString() != QLatin1String("TRADE_FINISHED") || q.value(1).toInt())
        throw TServiceError(kxRefused, QStringLiteral("订单 %1 不能评价（未完成或已评价）").arg(tid));
    q.finish();
    KxExec(m_db, QStringLiteral("UPDATE kx_mk_trade SET seller_rate = 1, modified = ? WHERE nickid = ? AND tid = ?"), {now(), m_nick, tid});
    record(QStringLiteral("rate"), tid, result + QLatin1Char(':') + content);
}

void TMarketSimulator::setListing(const QString& numIid, bool onSale)
{
    const QVariant num = KxScalar(m_db, QStringLiteral("SELECT num FROM kx_mk_item WHERE nickid = ? AND num_iid = ?"), {m_nick, numIid});
    if (!num.isValid())
        throw TServiceError(kxRefused, QStringLiteral("网店没有宝贝 %1").arg(numIid));
    if (onSale && num.toLongLong() <= 0)
        throw TServiceError(kxRefused, QStringLiteral("宝贝 %1 库存为零，不能上架").arg(numIid));
    QSqlQuery u = KxExec(m_db, QStringLiteral("UPDATE kx_mk_item SET approve_status = ?, modified = ? WHERE nickid = ? AND num_iid = ?"),
                         {onSale ? QStringLiteral("onsale") : QStringLiteral("instock"), now(), m_nick, numIid});
    if (u.numRowsAffected() != 1)
        throw TServiceError(kxRefused, QStringLiteral("网店没有宝贝 %1").arg(numIid));
    record(onSale ? QStringLiteral("listing") : QStringLiteral("delisting"), numIid, QString());
}

void TMarketSimulator::pushStock(const QString& skuId, int quantity)
{
    if (quantity < 0)
        throw TServiceError(kxRefused, QStringLiteral("库存数量不能小于零"));
    QSqlQuery u = KxExec(m_db, QStringLiteral("UPDATE kx_mk_sku SET quantity = ? WHERE nickid = ? AND sku_id = ?"), {quantity, m_nick, skuId});
    if (u.numRowsAffected() != 1)
        throw TServiceError(kxRefused, QStringLiteral("网店没有 SKU %1").arg(skuId));
    KxExec(m_db, QStringLiteral("UPDATE kx_mk_item SET num = (SELECT COALESCE(SUM(s.quantity), 0) FROM kx_mk_sku s"
                                " WHERE s.nickid = kx_mk_item.nickid AND s.num_iid = kx_mk_item.num_iid), modified = ?"
                                " WHERE nickid = ? AND num_iid = (SELECT num_iid FROM kx_mk_sku WHERE nickid = ? AND sku_id = ?)"),
           {now(), m_nick, m_nick, skuId});
    record(QStringLiteral("stock"), skuId, QString::number(quantity));
}

void TMarketSimulator::pushPrice(const QString& skuId, const QString& price)
{
    bool ok = false;
    const double p = price.toDouble(&ok);
    if (!ok || p <= 0)
        throw TServiceError(kxRefused, QStringLiteral("售价必须大于零：%1").arg(price.left(30)));
    QSqlQuery u = KxExec(m_db, QStringLiteral("UPDATE kx_mk_sku SET price = ? WHERE nickid = ? AND sku_id = ?"), {price, m_nick, skuId});
    if (u.numRowsAffected() != 1)
        throw TServiceError(kxRefused, QStringLiteral("网店没有 SKU %1").arg(skuId));
    record(QStringLiteral("price"), skuId, price);
}

namespace {
// Whether the item has no SKUs of its own (it is sold as itself, under its own id).
bool soldAsItself(QSqlDatabase& db, const QString& nick, const QString& numIid, const QString& skuId)
{
    return skuId == numIid
           && !KxScalar(db, QStringLiteral("SELECT 1 FROM kx_mk_sku WHERE nickid = ? AND num_iid = ?"), {nick, numIid}).isValid()
           && KxScalar(db, QStringLiteral("SELECT 1 FROM kx_mk_item WHERE nickid = ? AND num_iid = ?"), {nick, numIid}).isValid();
}
}

void TMarketSimulator::pushStock(const QString& numIid, const QString& skuId, int quantity)
{
    if (quantity < 0)
        throw TServiceError(kxRefused, QStringLiteral("库存数量不能小于零"));
    if (soldAsItself(m_db, m_nick, numIid, skuId)) {
        KxExec(m_db, QStringLiteral("UPDATE kx_mk_item SET num = ?, modified = ? WHERE nickid = ? AND num_iid = ?"),
               {quantity, now(), m_nick, numIid});
        record(QStringLiteral("stock"), skuId, QString::number(quantity));
        return;
    }
    if (!KxScalar(m_db, QStringLiteral("SELECT 1 FROM kx_mk_sku WHERE nickid = ? AND num_iid = ? AND sku_id = ?"), {m_nick, numIid, skuId}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("宝贝 %1 没有 SKU %2（已删除或已下架）").arg(numIid.left(30), skuId.left(30)));
    pushStock(skuId, quantity);
}

void TMarketSimulator::pushPrice(const QString& numIid, const QString& skuId, const QString& price)
{
    bool ok = false;
    const double p = price.toDouble(&ok);
    if (!ok || p <= 0)
        throw TServiceError(kxRefused, QStringLiteral("售价必须大于零：%1").arg(price.left(30)));
    if (soldAsItself(m_db, m_nick, numIid, skuId)) {
        KxExec(m_db, QStringLiteral("UPDATE kx_mk_item SET price = ?, modified = ? WHERE nickid = ? AND num_iid = ?"),
               {price, now(), m_nick, numIid});
        record(QStringLiteral("price"), skuId, price);
        return;
    }
    if (!KxScalar(m_db, QStringLiteral("SELECT 1 FROM kx_mk_sku WHERE nickid = ? AND num_iid = ? AND sku_id = ?"), {m_nick, numIid, skuId}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("宝贝 %1 没有 SKU %2（已删除或已下架）").arg(numIid.left(30), skuId.left(30)));
    pushPrice(skuId, price);
    KxExec(m_db, QStringLiteral("UPDATE kx_mk_item SET modified = ? WHERE nickid = ? AND num_iid = ?"), {now(), m_nick, numIid});
}

QStringList TMarketSimulator::refusals(const QList<TSkuPush>& skus) const
{
    QStringList items;
    for (const TSkuPush& p : skus)
        if (!items.contains(p.numIid))
            items << p.numIid;
    QSet<QString> known, withSkus, listed;
    QSqlDatabase& db = m_db;
    KxForKeys(db, QStringLiteral("SELECT num_iid, sku_id FROM kx_mk_sku WHERE nickid = ? AND num_iid IN (%1)"), {m_nick}, items,
              [&](QSqlQuery& q, qsizetype, qsizetype) {
                  while (q.next()) {
                      withSkus.insert(q.value(0).toString());
                      known.insert(q.value(0).toString() + QLatin1Char('/') + q.value(1).toString());
                  }
              });
    KxForKeys(db, QStringLiteral("SELECT num_iid FROM kx_mk_item WHERE nickid = ? AND num_iid IN (%1)"), {m_nick}, items,
              [&](QSqlQuery& q, qsizetype, qsizetype) {
                  while (q.next())
                      listed.insert(q.value(0).toString());
              });
    QStringList out;
    for (const TSkuPush& p : skus) {
        const bool itself = p.skuId == p.numIid && !withSkus.contains(p.numIid) && listed.contains(p.numIid);
        out << (itself || known.contains(p.numIid + QLatin1Char('/') + p.skuId)
                    ? QString()
                    : QStringLiteral("宝贝 %1 没有 SKU %2（已删除或已下架）").arg(p.numIid.left(30), p.skuId.left(30)));
    }
    return out;
}

void TMarketSimulator::pushMany(bool stock, const QList<TSkuPush>& skus)
{
    if (skus.isEmpty())
        return;
    const QString at = now();
    qint64 seq = KxScalar(m_db, QStringLiteral("SELECT COALESCE(MAX(seq), 0) FROM kx_mk_event WHERE nickid = ?"), {m_nick}).toLongLong();
    QStringList items, itemsWithSkus;
    TBulkInsert events(m_db, QStringLiteral("kx_mk_event"));
    const QString column = stock ? QStringLiteral("quantity") : QStringLiteral("price");
    const QString itemColumn = stock ? QStringLiteral("num") : QStringLiteral("price");
    for (const TSkuPush& p : skus) {
        const QVariant figure = stock ? QVariant(p.figure.toLongLong()) : QVariant(p.figure);
        QSqlQuery u = KxExec(m_db, QStringLiteral("UPDATE kx_mk_sku SET %1 = ? WHERE nickid = ? AND num_iid = ? AND sku_id = ?").arg(column),
                             {figure, m_nick, p.numIid, p.skuId});
        if (u.numRowsAffected() == 1) {
            if (!itemsWithSkus.contains(p.numIid))
                itemsWithSkus << p.numIid;
        } else {
            // An item without SKUs carries the figure itself.
            KxExec(m_db, QStringLiteral("UPDATE kx_mk_item SET %1 = ?, modified = ? WHERE nickid = ? AND num_iid = ?").arg(itemColumn),
                   {figure, at, m_nick, p.numIid});
        }
        if (!items.contains(p.numIid))
            items << p.numIid;
        events.add({{QStringLiteral("nickid"), m_nick}, {QStringLiteral("seq"), ++seq}, {QStringLiteral("kind"), stock ? QStringLiteral("stock") : QStringLiteral("price")},
                    {QStringLiteral("target"), p.skuId}, {QStringLiteral("detail"), p.figure}, {QStringLiteral("created"), at}});
    }
    // The item's quantity is its SKUs' sum; either push stamps the item changed.
    const QString itemSql = stock ? QStringLiteral("UPDATE kx_mk_item SET num = (SELECT COALESCE(SUM(s.quantity), 0) FROM kx_mk_sku s"
                                                   " WHERE s.nickid = kx_mk_item.nickid AND s.num_iid = kx_mk_item.num_iid), modified = ?"
                                                   " WHERE nickid = ? AND num_iid IN (%1)")
                                  : QStringLiteral("UPDATE kx_mk_item SET modified = ? WHERE nickid = ? AND num_iid IN (%1)");
    KxForKeys(m_db, itemSql, {at, m_nick}, itemsWithSkus, [](QSqlQuery&, qsizetype, qsizetype) {});
    events.flush();
}

void TMarketSimulator::agreeRefund(const QString& refundId)
{
    TRefundMarket(m_db, m_nick, *this).agree(refundId, {});
}

void TMarketSimulator::refuseRefund(const QString& refundId, const QString& reason)
{
    TRefundMarket(m_db, m_nick, *this).refuse(refundId, reason);
}


namespace {
const QString kItemColumns = QStringLiteral("i.num_iid, i.title, i.outer_id, i.price, i.num, i.approve_status, i.cid, i.modified, i.pic_url");
const char* const kColors[] = {"黑色", "白色", "红色", "藏青", "灰色", "卡其", "粉色", "军绿"};
const char* const kSizes[] = {"S", "M", "L", "XL", "XXL", "3XL"};
const char* const kKinds[] = {"T恤", "衬衫", "卫衣", "夹克", "牛仔裤", "休闲裤", "连衣裙", "半身裙", "外套", "毛衣"};
const char* const kTopCategories[] = {"男装", "女装", "童装", "配饰"};
}

void TMarketSimulator::listItems(quint64 seed, int items, int skusPerItem)
{
    TRng rng(seed);
    const QString at = now();
    // Four top categories with five below each.
    QVariantList cats;
    for (int top = 0; top < 4; ++top) {
        const QString cid = QString::number(60000000 + (top + 1) * 100);
        KxExec(m_db, QStringLiteral("INSERT INTO kx_mk_category (nickid, cid, parent_cid, name, sort_order) VALUES (?, ?, '0', ?, ?)"
                                    " ON CONFLICT (nickid, cid) DO NOTHING"), {m_nick, cid, QString::fromUtf8(kTopCategories[top]), top + 1});
        for (int sub = 1; sub <= 5; ++sub) {
            const QString child = QString::number(60000000 + (top + 1) * 100 + sub);
            KxExec(m_db, QStringLiteral("INSERT INTO kx_mk_category (nickid, cid, parent_cid, name, sort_order) VALUES (?, ?, ?, ?, ?)"
                                        " ON CONFLICT (nickid, cid) DO NOTHING"),
                   {m_nick, child, cid, QString::fromUtf8(kTopCategories[top]) + QString::fromUtf8(kKinds[(top * 5 + sub) % 10]), sub});
            cats << child;
        }
    }
    const qint64 base = 530000000000ll + qint64(seed % 1000) * 1000000;
    QVariantList itemRows, skuRows;
    const auto flush = [&](bool all) {
        if (itemRows.size() >= 9 * 100 || (all && !itemRows.isEmpty())) {
            KxDoc::insertRows(m_db, QStringLiteral("INSERT INTO kx_mk_item (nickid, num_iid, title, outer_id, price, num, approve_status, cid, modified, pic_url) VALUES "),
                              10, itemRows);
            itemRows.clear();
        }
        if (skuRows.size() >= 10 * 90 || (all && !skuRows.isEmpty())) {
            KxDoc::insertRows(m_db, QStringLiteral("INSERT INTO kx_mk_sku (nickid, sku_id, num_iid, outer_id, properties_name, price, quantity, color, size) VALUES "),
                              9, skuRows);
            skuRows.clear();
        }
    };
    for (int i = 0; i < items; ++i) {
        const QString numIid = QString::number(base + i + 1);
        const QString outer = QStringLiteral("M%1").arg(i + 1, 5, 10, QLatin1Char('0'));
        const QString title = QStringLiteral("%1%2 %3款").arg(QString::fromUtf8(kColors[rng.below(8)]).left(1),
                                                             QString::fromUtf8(kKinds[rng.below(10)])).arg(i + 1);
        const qint64 cents = (29 + rng.below(300)) * 100 + 90;
        int total = 0;
        const int n = i % 10 == 9 ? 0 : std::max(1, skusPerItem - 1 + rng.below(3));
        for (int k = 0; k < n; ++k) {
            const QString color = QString::fromUtf8(kColors[(k / 6 + i) % 8]), size = QString::fromUtf8(kSizes[k % 6]);
            const int qty = rng.below(60);
            total += qty;
            skuRows << m_nick << QString::number((base + i + 1) * 100 + k + 1) << numIid << outer + QStringLiteral("-%1").arg(k + 1, 2, 10, QLatin1Char('0'))
                    << QStringLiteral("颜色分类:%1;尺码:%2").arg(color, size) << money(cents) << qty << color << size;
        }
        if (n == 0)
            total = rng.below(100);
        itemRows << m_nick << numIid << title << outer << money(cents) << total
                 << (i % 6 == 5 ? QStringLiteral("instock") : QStringLiteral("onsale")) << cats[i % cats.size()] << at << KxItemPicturePath(numIid);
        flush(false);
    }
    flush(true);
}

void TMarketSimulator::reviseItems(quint64 seed, int count)
{
    TRng rng(seed);
    QStringList all;
    QSqlQuery q = KxExec(m_db, QStringLiteral("SELECT num_iid FROM kx_mk_item WHERE nickid = ? ORDER BY num_iid"), {m_nick});
    while (q.next())
        all << q.value(0).toString();
    q.finish();
    if (all.isEmpty())
        return;
    const QString at = now();
    for (int c = 0; c < count; ++c) {
        const QString numIid = all[rng.below(int(all.size()))];
        switch (c % 3) {
        case 0:
            KxExec(m_db, QStringLiteral("UPDATE kx_mk_item SET title = title || ?, price = price + 10, modified = ? WHERE nickid = ? AND num_iid = ?"),
                   {QStringLiteral(" 新款"), at, m_nick, numIid});
            KxExec(m_db, QStringLiteral("UPDATE kx_mk_sku SET price = price + 10 WHERE nickid = ? AND num_iid = ?"), {m_nick, numIid});
            break;
        case 1: {
            const int n = KxScalar(m_db, QStringLiteral("SELECT COUNT(*) FROM kx_mk_sku WHERE nickid = ? AND num_iid = ?"), {m_nick, numIid}).toInt();
            const QString skuId = numIid + QStringLiteral("9%1").arg(n + 1, 2, 10, QLatin1Char('0'));
            KxExec(m_db, QStringLiteral("INSERT INTO kx_mk_sku (nickid, sku_id, num_iid, outer_id, properties_name, price, quantity, color, size)"
                                        " SELECT nickid, ?, num_iid, '', ?, price, 5, ?, ? FROM kx_mk_item WHERE nickid = ? AND num_iid = ?"
                                        " ON CONFLICT (nickid, sku_id) DO NOTHING"),
                   {skuId, QStringLiteral("颜色分类:%1;尺码:%2").arg(QStringLiteral("限定色"), QStringLiteral("均码")), QStringLiteral("限定色"),
                    QStringLiteral("均码"), m_nick, numIid});
            KxExec(m_db, QStringLiteral("UPDATE kx_mk_item SET num = num + 5, modified = ? WHERE nickid = ? AND num_iid = ?"), {at, m_nick, numIid});
            break;
        }
        default:
            KxExec(m_db, QStringLiteral("UPDATE kx_mk_item SET approve_status = CASE approve_status WHEN 'onsale' THEN 'instock' ELSE 'onsale' END,"
                                        " modified = ? WHERE nickid = ? AND num_iid = ?"), {at, m_nick, numIid});
            break;
        }
    }
}

QSqlQuery TMarketSimulator::categories() const
{
    return KxExec(m_db, QStringLiteral("SELECT cid, parent_cid, name, sort_order FROM kx_mk_category WHERE nickid = ? ORDER BY parent_cid, sort_order, cid"),
                  {m_nick});
}

int TMarketSimulator::countItems(const QString& status, const QString& after, const QString& until) const
{
    return KxScalar(m_db, QStringLiteral("SELECT COUNT(*) FROM kx_mk_item WHERE nickid = ? AND approve_status = ? AND modified > ? AND modified <= ?"),
                    {m_nick, status, after, until}).toInt();
}

QSqlQuery TMarketSimulator::items(const QString& status, const QString& after, const QString& until, const QString& afterModified,
                                  const QString& afterIid, int limit) const
{
    if (afterModified.isEmpty())
        return KxExec(m_db, QStringLiteral("SELECT ") + kItemColumns + QStringLiteral(" FROM kx_mk_item i WHERE i.nickid = ? AND i.approve_status = ?"
                                                                                     " AND i.modified > ? AND i.modified <= ? ORDER BY i.modified, i.num_iid LIMIT ?"),
                      {m_nick, status, after, until, limit});
    return KxExec(m_db, QStringLiteral("SELECT ") + kItemColumns + QStringLiteral(" FROM kx_mk_item i WHERE i.nickid = ? AND i.approve_status = ?"
                                                                                 " AND (i.modified, i.num_iid) > (?, ?) AND i.modified <= ? ORDER BY i.modified, i.num_iid LIMIT ?"),
                  {m_nick, status, afterModified, afterIid, until, limit});
}

QSqlQuery TMarketSimulator::item(const QString& numIid) const
{
    return KxExec(m_db, QStringLiteral("SELECT ") + kItemColumns + QStringLiteral(" FROM kx_mk_item i WHERE i.nickid = ? AND i.num_iid = ?"), {m_nick, numIid});
}

QSqlQuery TMarketSimulator::skusOf(const QStringList& numIids) const
{
    QVariantList args{m_nick};
    for (const QString& n : numIids)
        args << n;
    return KxExec(m_db, QStringLiteral("SELECT num_iid, sku_id, outer_id, properties_name, price, quantity, color, size FROM kx_mk_sku"
                                       " WHERE nickid = ? AND num_iid IN (%1) ORDER BY num_iid, sku_id")
                            .arg(KxDoc::placeholders(qMax<qsizetype>(1, numIids.size()), QStringLiteral("?"))),
                  numIids.isEmpty() ? QVariantList{m_nick, QString()} : args);
}

QSqlQuery TMarketSimulator::searchItems(const QString& account, const QString& q, int limit) const
{
    QString e = q;
    e.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('%'), QLatin1String("\\%")).replace(QLatin1Char('_'), QLatin1String("\\_"));
    return KxExec(m_db, QStringLiteral("SELECT ") + kItemColumns + QStringLiteral(", ? FROM kx_mk_item i WHERE i.nickid = ? AND (i.title LIKE ? ESCAPE '\\'"
                                                                                 " OR i.num_iid = ? OR i.outer_id = ?) ORDER BY i.num_iid LIMIT ?"),
                  {account, m_nick, QLatin1Char('%') + e + QLatin1Char('%'), q, q, limit});
}
