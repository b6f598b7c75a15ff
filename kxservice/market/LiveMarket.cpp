#include "LiveMarket.h"

#include "Buyers.h"
#include "MarketRng.h"
#include "Refunds.h"
#include "store/Database.h"

#include <QStringList>

#include <algorithm>
#include <vector>

namespace {
const QString kStamp = QStringLiteral("yyyy-MM-dd HH:mm:ss");
// How busy the shops are in each hour of the day, 1 being the day's mean: quiet at night, a
// morning and an afternoon peak, the busiest evening.
constexpr double kHourly[24] = {0.55, 0.3, 0.15, 0.1, 0.08, 0.12, 0.3, 0.6, 0.9, 1.25, 1.5, 1.45,
                                1.15, 1.25, 1.35, 1.35, 1.25, 1.1, 1.0, 1.2, 1.6, 2.0, 1.85, 1.2};
// Older arrivals than this are not made up any more when the marketplace was left alone longer.
constexpr int kCatchUpDays = 14;
constexpr int kBuyers = 3000;
constexpr int kAccounts = 10;          // the accounts of a seller that get orders
constexpr int kRepeatMinutes = 6 * 60; // how far back a buyer who orders again looks
constexpr qint64 kTidBase = 3300000000000000ll;
constexpr qint64 kRefundBase = 7800000000000000ll;

// Marketplace times are local times; within one look at the marketplace they are taken at the
// zone offset of its clock, which spares asking the system's zone rules for every step (that
// costs more than the step).
QString stamp(const QDateTime& t, int offset)
{
    return t.toOffsetFromUtc(offset).toString(kStamp);
}

QDateTime at(const QString& s, int offset)
{
    const QDate d = QDate::fromString(s.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime t = QTime::fromString(s.mid(11, 8), QStringLiteral("HH:mm:ss"));
    return d.isValid() && t.isValid() ? QDateTime(d, t, Qt::OffsetFromUTC, offset) : QDateTime();
}

QString money(qint64 cents)
{
    return QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

struct TOffer {
    QString skuId, numIid, outerId, title, props;
    qint64 cents;
};

// One minute of one account: whether a buyer orders, at which second, who. The generator
// goes on to draw the order's contents.
struct TSlot {
    TRng rng;
    bool arrives = false;
    int second = 0, buyer = 0;
    bool repeat = false;
};

TSlot slotOf(quint64 seed, int account, qint64 minute, int perDay, int offset)
{
    TSlot s{TRng::of(seed, quint64(account) + 1, quint64(minute))};
    const int hour = int((minute * 60 + offset) / 3600 % 24);
    const double perMinute = (account == 0 ? perDay : perDay / 2.0) / 1440.0 * kHourly[hour];
    s.arrives = s.rng.unit() < perMinute;
    s.second = s.rng.below(60);
    s.buyer = 1 + s.rng.below(kBuyers);
    s.repeat = s.rng.below(8) == 0;
    return s;
}

// The buyer of an order: now and then one who ordered with the account a little earlier
// orders again, to the same address, before the first order has shipped.
int buyerOf(quint64 seed, int account, qint64 minute, int perDay, int offset, int depth = 0)
{
    const TSlot s = slotOf(seed, account, minute, perDay, offset);
    if (!s.repeat || depth == 3)
        return s.buyer;
    for (qint64 m = minute - 1; m >= minute - kRepeatMinutes; --m)
        if (slotOf(seed, account, m, perDay, offset).arrives)
            return buyerOf(seed, account, m, perDay, offset, depth + 1);
    return s.buyer;
}

void schedule(QSqlDatabase& db, const QString& nick, const QString& tid, const char* action, const QString& when, const QString& detail = {})
{
    KxExec(db, QStringLiteral("INSERT INTO kx_mk_due (nickid, tid, action, due_at, detail) VALUES (?, ?, ?, ?, ?)"),
           {nick, tid, QLatin1String(action), when, detail});
}

void setLines(QSqlDatabase& db, const QString& nick, const QString& tid, const char* status)
{
    KxExec(db, QStringLiteral("UPDATE kx_mk_order SET status = ? WHERE nickid = ? AND tid = ?"), {QLatin1String(status), nick, tid});
}
}

void KxMarkRefundOnOrder(QSqlDatabase& db, const QString& nickid, const QString& refundId, const QString& at)
{
    QSqlQuery r = KxExec(db, QStringLiteral("SELECT tid, oid, status FROM kx_mk_refund WHERE nickid = ? AND refund_id = ?"), {nickid, refundId});
    if (!r.next())
        return;
    const QString tid = r.value(0).toString(), oid = r.value(1).toString(), status = r.value(2).toString();
    r.finish();
    KxExec(db, QStringLiteral("UPDATE kx_mk_order SET refund_status = ? WHERE nickid = ? AND oid = ?"), {status, nickid, oid});
    KxExec(db, QStringLiteral("UPDATE kx_mk_trade SET modified = ? WHERE nickid = ? AND tid = ? AND modified < ?"), {at, nickid, tid, at});
}

void TLiveMarket::start(quint64 seed, int perDay, const QDateTime& from)
{
    KxExec(m_db, QStringLiteral("DELETE FROM kx_mk_live WHERE nickid = ?"), {m_nick});
    KxExec(m_db, QStringLiteral("INSERT INTO kx_mk_live (nickid, seed, per_day, live_until) VALUES (?, ?, ?, ?)"),
           {m_nick, qint64(seed & 0x7FFFFFFFFFFFFFFFull), perDay, stamp(from, from.offsetFromUtc())});
}

QDateTime TLiveMarket::catchUp()
{
    const QDateTime clock = m_market.clock();
    m_offset = clock.offsetFromUtc();
    const QString now = stamp(clock, m_offset);
    // What is read now is listed up to this second; the seller's later actions come after it.
    if (!KxExec(m_db, QStringLiteral("UPDATE kx_mk_clock SET served_until = ? WHERE nickid = ?"), {now, m_nick}).numRowsAffected())
        KxExec(m_db, QStringLiteral("INSERT INTO kx_mk_clock (nickid, offset_secs, served_until) VALUES (?, 0, ?)"), {m_nick, now});
    // Taken first: two downloads at once wait for each other here, not on the orders they make.
    if (!KxExec(m_db, QStringLiteral("UPDATE kx_mk_live SET live_until = live_until WHERE nickid = ?"), {m_nick}).numRowsAffected())
        return at(now, m_offset);
    QSqlQuery l = KxExec(m_db, QStringLiteral("SELECT seed, per_day, live_until FROM kx_mk_live WHERE nickid = ?"), {m_nick});
    l.next();
    const quint64 seed = quint64(l.value(0).toLongLong());
    const int perDay = l.value(1).toInt();
    const QString until = l.value(2).toString();
    l.finish();
    if (until >= now)
        return at(now, m_offset);
    const QDateTime oldest = at(now, m_offset).addDays(-kCatchUpDays);
    arrive(seed, perDay, std::max(at(until, m_offset), oldest), at(now, m_offset));
    moveOn(now);
    KxExec(m_db, QStringLiteral("UPDATE kx_mk_live SET live_until = ? WHERE nickid = ?"), {now, m_nick});
    return at(now, m_offset);
}

// The orders placed after `after` up to `until`, with what each buyer is going to do.
void TLiveMarket::arrive(quint64 seed, int perDay, const QDateTime& after, const QDateTime& until)
{
    std::vector<TOffer> offers;
    QSqlQuery s = KxExec(m_db, QStringLiteral("SELECT s.sku_id, s.num_iid, s.outer_id, i.title, s.properties_name, s.price FROM kx_mk_sku s"
                                              " JOIN kx_mk_item i ON i.nickid = s.nickid AND i.num_iid = s.num_iid"
                                              " WHERE s.nickid = ? AND i.approve_status = 'onsale' ORDER BY s.sku_id"), {m_nick});
    while (s.next())
        offers.push_back({s.value(0).toString(), s.value(1).toString(), s.value(2).toString(), s.value(3).toString(), s.value(4).toString(),
                          qint64(s.value(5).toDouble() * 100 + 0.5)});
    s.finish();
    if (offers.empty())
        return;
    QStringList accounts{KxScalar(m_db, QStringLiteral("SELECT masternick FROM kx_nick WHERE nickid = ?"), {m_nick}).toString()};
    QSqlQuery sub = KxExec(m_db, QStringLiteral("SELECT nick FROM kx_subnick WHERE nickid = ? ORDER BY seq"), {m_nick});
    while (sub.next() && accounts.size() < kAccounts)
        accounts << sub.value(0).toString();
    sub.finish();

    const qint64 first = after.toSecsSinceEpoch() / 60, last = until.toSecsSinceEpoch() / 60;
    for (int a = 0; a < int(accounts.size()); ++a) {
        for (qint64 minute = first; minute <= last; ++minute) {
            TSlot slot = slotOf(seed, a, minute, perDay, m_offset);
            const QDateTime created = QDateTime::fromSecsSinceEpoch(minute * 60 + slot.second, Qt::OffsetFromUTC, m_offset);
            if (!slot.arrives || created <= after || created > until)
                continue;
            TRng& rng = slot.rng;
            const TBuyer b = KxBuyer(seed, buyerOf(seed, a, minute, perDay, m_offset));
            const QString tid = QString::number(kTidBase + minute * kAccounts + a);
            const QString createdText = stamp(created, m_offset);
            const bool cod = rng.below(12) == 0;
            const int lines = rng.below(10) < 7 ? 1 : 2 + rng.below(2);
            qint64 total = 0;
            std::vector<qint64> lineFees;
            for (int l = 0; l < lines; ++l) {
                const TOffer& o = offers[size_t(rng.below(int(offers.size())))];
                const int num = rng.below(5) == 0 ? 2 : 1;
                total += o.cents * num;
                lineFees.push_back(o.cents * num);
                KxExec(m_db, QStringLiteral("INSERT INTO kx_mk_order (nickid, oid, tid, num_iid, sku_id, outer_sku_id, title,"
                                            " sku_properties_name, num, price, total_fee, status) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                       {m_nick, tid + QString::number(l + 1), tid, o.numIid, o.skuId, o.outerId, o.title, o.props, num, money(o.cents),
                        money(o.cents * num), cod ? QStringLiteral("WAIT_SELLER_SEND_GOODS") : QStringLiteral("WAIT_BUYER_PAY")});
            }
            const qint64 post = total >= 9900 ? 0 : 800;
            KxExec(m_db, QStringLiteral(
                "INSERT INTO kx_mk_trade (nickid, tid, seller_nick, buyer_nick, status, created, modified, receiver_name, receiver_state,"
                " receiver_city, receiver_district, receiver_address, receiver_zip, receiver_mobile, receiver_phone, post_fee, total_fee,"
                " payment, buyer_message, trade_type, cod_status, cod_fee, buyer_email)"
                " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                   {m_nick, tid, accounts[a], b.nick, cod ? QStringLiteral("WAIT_SELLER_SEND_GOODS") : QStringLiteral("WAIT_BUYER_PAY"),
                    createdText, createdText, b.receiver, b.state, b.city, b.district, b.address, b.zip, b.mobile, b.phone, money(post),
                    money(total), money(total + post + (cod ? 1000 : 0)), KxBuyerMessage(rng), cod ? QStringLiteral("cod") : QStringLiteral("fixed"),
                    cod ? QStringLiteral("NEW_CREATED") : QString(), money(cod ? 1000 : 0), b.email});

            // What the buyer will do: pay (most within minutes, some hours later) or leave the
            // order to be closed; a few ask for a refund of a line once paid.
            QDateTime paid = created;
            if (!cod) {
                if (rng.below(100) < 85) {
                    paid = created.addSecs(rng.below(10) == 0 ? 3600 + rng.below(5 * 3600) : 60 + rng.below(30 * 60));
                    schedule(m_db, m_nick, tid, "pay", stamp(paid, m_offset));
                } else {
                    schedule(m_db, m_nick, tid, "close", stamp(created.addDays(1), m_offset));
                    continue;
                }
            }
            if (rng.below(100) < 8) {
                const int line = rng.below(lines);
                schedule(m_db, m_nick, tid, "refund", stamp(paid.addSecs(2 * 3600 + rng.below(3 * 86400)), m_offset),
                         QString::number(line + 1) + QLatin1Char(':') + money(lineFees[size_t(line)]));
            }
            schedule(m_db, m_nick, tid, "confirm", stamp(paid.addDays(1), m_offset), QString::number(3 + rng.below(8)));
        }
    }
}

// What buyers do, in the order it falls due, up to `until`. Each step is stamped with its own
// time, so a download fetches it as it would a change made then.
void TLiveMarket::moveOn(const QString& until)
{
    for (;;) {
        struct TDue {
            QString tid, action, due, detail;
        };
        std::vector<TDue> due;
        QSqlQuery q = KxExec(m_db, QStringLiteral("SELECT tid, action, due_at, detail FROM kx_mk_due WHERE nickid = ? AND due_at <= ?"
                                                  " ORDER BY due_at, tid, action LIMIT 500"), {m_nick, until});
        while (q.next())
            due.push_back({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString()});
        q.finish();
        if (due.empty())
            return;
        for (const TDue& d : due) {
            const QVariantList key{m_nick, d.tid};
            QSqlQuery t = KxExec(m_db, QStringLiteral("SELECT status, created, consign_time FROM kx_mk_trade WHERE nickid = ? AND tid = ?"), key);
            const bool known = t.next();
            const QString status = known ? t.value(0).toString() : QString();
            const QDateTime created = at(t.value(1).toString(), m_offset), consigned = at(t.value(2).toString(), m_offset);
            t.finish();
            QString next;   // when the step is to be looked at again
            if (d.action == QLatin1String("pay") && status == QLatin1String("WAIT_BUYER_PAY")) {
                KxExec(m_db, QStringLiteral("UPDATE kx_mk_trade SET status = 'WAIT_SELLER_SEND_GOODS', pay_time = ?, modified = ? WHERE nickid = ? AND tid = ?"),
                       QVariantList{d.due, d.due} + key);
                setLines(m_db, m_nick, d.tid, "WAIT_SELLER_SEND_GOODS");
            } else if (d.action == QLatin1String("close") && status == QLatin1String("WAIT_BUYER_PAY")) {
                KxExec(m_db, QStringLiteral("UPDATE kx_mk_trade SET status = 'TRADE_CLOSED', end_time = ?, modified = ? WHERE nickid = ? AND tid = ?"),
                       QVariantList{d.due, d.due} + key);
                setLines(m_db, m_nick, d.tid, "TRADE_CLOSED");
            } else if (d.action == QLatin1String("confirm")) {
                // Received some days after shipping; an order not shipped yet is looked at daily
                // for a month.
                const QDateTime received = consigned.addDays(d.detail.toInt());
                if (status == QLatin1String("WAIT_BUYER_CONFIRM_GOODS") && consigned.isValid() && received > at(d.due, m_offset)) {
                    next = stamp(received, m_offset);
                } else if (status == QLatin1String("WAIT_BUYER_CONFIRM_GOODS")) {
                    KxExec(m_db, QStringLiteral("UPDATE kx_mk_trade SET status = 'TRADE_FINISHED', end_time = ?, modified = ?, buyer_rate = 1,"
                                                " cod_status = CASE WHEN trade_type = 'cod' THEN 'SIGN_IN' ELSE cod_status END WHERE nickid = ? AND tid = ?"),
                           QVariantList{d.due, d.due} + key);
                    setLines(m_db, m_nick, d.tid, "TRADE_FINISHED");
                } else if ((status == QLatin1String("WAIT_SELLER_SEND_GOODS") || status == QLatin1String("WAIT_BUYER_PAY"))
                           && at(d.due, m_offset) < created.addDays(30)) {
                    next = stamp(at(d.due, m_offset).addDays(1), m_offset);
                }
            } else if (d.action == QLatin1String("refund")
                       && (status == QLatin1String("WAIT_SELLER_SEND_GOODS") || status == QLatin1String("WAIT_BUYER_CONFIRM_GOODS")
                           || status == QLatin1String("TRADE_FINISHED"))) {
                const QString oid = d.tid + d.detail.section(QLatin1Char(':'), 0, 0);
                const bool sent = status != QLatin1String("WAIT_SELLER_SEND_GOODS");
                if (!KxScalar(m_db, QStringLiteral("SELECT 1 FROM kx_mk_refund WHERE nickid = ? AND oid = ?"), {m_nick, oid}).isValid()) {
                    TRng rng = TRng::of(quint64(d.tid.toLongLong()), 0x2EF);
                    // Most buyers who have the goods send them back; some keep them and ask for the
                    // money only.
                    const bool goods = sent && TRng::of(quint64(d.tid.toLongLong()), 0x2F0).below(5) != 0;
                    const QString refundId = QString::number(kRefundBase + (d.tid.toLongLong() - kTidBase));
                    const QVariant buyer = KxScalar(m_db, QStringLiteral("SELECT buyer_nick FROM kx_mk_trade WHERE nickid = ? AND tid = ?"), key);
                    KxExec(m_db, QStringLiteral(
                        "INSERT INTO kx_mk_refund (nickid, refund_id, tid, oid, buyer_nick, status, good_status, has_good_return,"
                        " refund_fee, reason, created, modified) VALUES (?, ?, ?, ?, ?, 'WAIT_SELLER_AGREE', ?, ?, ?, ?, ?, ?)"),
                           {m_nick, refundId, d.tid, oid, buyer, sent ? QStringLiteral("BUYER_RECEIVED") : QStringLiteral("BUYER_NOT_RECEIVED"), goods ? 1 : 0,
                            d.detail.section(QLatin1Char(':'), 1), KxRefundReason(rng), d.due, d.due});
                    KxExec(m_db, QStringLiteral("UPDATE kx_mk_refund SET desc1 = ?, timeout = ? WHERE nickid = ? AND refund_id = ?"),
                           {KxRefundDesc(rng), stamp(at(d.due, m_offset).addDays(TRefundMarket::kSellerDays), m_offset), m_nick, refundId});
                    KxMarkRefundOnOrder(m_db, m_nick, refundId, d.due);
                    if (goods)
                        schedule(m_db, m_nick, d.tid, "return", stamp(at(d.due, m_offset).addDays(1), m_offset), refundId);
                }
            } else if (d.action == QLatin1String("return")) {
                // Goods of an agreed refund go back a day after the seller agreed.
                const QString refund = KxScalar(m_db, QStringLiteral("SELECT status FROM kx_mk_refund WHERE nickid = ? AND refund_id = ?"),
                                                {m_nick, d.detail}).toString();
                if (refund == QLatin1String("WAIT_BUYER_RETURN_GOODS")) {
                    KxExec(m_db, QStringLiteral("UPDATE kx_mk_refund SET status = 'WAIT_SELLER_CONFIRM_GOODS', good_status = 'BUYER_RETURNED_GOODS',"
                                                " sid = ?, company_name = ?, modified = ? WHERE nickid = ? AND refund_id = ?"),
                           {QStringLiteral("ZT%1").arg(d.detail.right(10)), QStringLiteral("中通快运"), d.due, m_nick, d.detail});
                    KxMarkRefundOnOrder(m_db, m_nick, d.detail, d.due);
                } else if (refund == QLatin1String("WAIT_SELLER_AGREE") && at(d.due, m_offset) < created.addDays(15)) {
                    next = stamp(at(d.due, m_offset).addDays(1), m_offset);
                }
            }
            if (next.isEmpty())
                KxExec(m_db, QStringLiteral("DELETE FROM kx_mk_due WHERE nickid = ? AND tid = ? AND action = ?"), QVariantList{m_nick, d.tid, d.action});
            else
                KxExec(m_db, QStringLiteral("UPDATE kx_mk_due SET due_at = ? WHERE nickid = ? AND tid = ? AND action = ?"),
                       QVariantList{next, m_nick, d.tid, d.action});
        }
    }
}
