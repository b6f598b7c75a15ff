#include "Reports.h"

#include "store/Paging.h"
#include "store/Packet.h"

#include <QDate>

namespace {
using Col = TPacketColumn;

// How a request parameter narrows a report: exact text, a part of the text, or a day
// ("yyyy-MM-dd") as the first or last day of a range over a time stamp column.
enum class Match { Exact, Contains, DayFrom, DayTo };

struct TCondition {
    const char* param;
    const char* column; // SQL expression
    Match match;
};

struct TReport {
    const char* method;
    // "SELECT … FROM … x": the table x carries the seller's "nickid"; grouped reports are a
    // derived table, so that counting and paging see one row per group.
    const char* select;
    const char* order;
    QList<Col> columns;
    std::vector<TCondition> conditions;
};

QString likePattern(const QString& v)
{
    QString p = v;
    p.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    p.replace(QLatin1Char('%'), QLatin1String("\\%"));
    p.replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + p + QLatin1Char('%');
}

// Paid orders with their item count; the day is the order's creation day.
const char* const kPaidTrades =
    "SELECT t.nickid, substr(t.created, 1, 10) AS saledate, t.tid, t.seller_nick, t.buyer_nick, t.status,"
    " t.created, t.pay_time, t.total_fee, t.post_fee, t.payment, t.receiver_name, t.receiver_state, t.receiver_city,"
    " (SELECT COALESCE(SUM(o.num), 0) FROM kx_mk_order o WHERE o.nickid = t.nickid AND o.tid = t.tid) AS itemnum"
    " FROM kx_mk_trade t WHERE t.pay_time <> ''";

const std::vector<TReport>& reports()
{
    static const std::vector<TReport> list = {
        {"Report.SalesSearch",
         "SELECT saledate, seller_nick, tradecount, itemnum, total_fee, post_fee, payment FROM ("
         "SELECT r.nickid, r.saledate, r.seller_nick, COUNT(*) AS tradecount, SUM(r.itemnum) AS itemnum,"
         " SUM(r.total_fee) AS total_fee, SUM(r.post_fee) AS post_fee, SUM(r.payment) AS payment"
         " FROM (%1) r GROUP BY r.nickid, r.saledate, r.seller_nick) x",
         "saledate, seller_nick",
         {{QStringLiteral("saledate"), Col::Text, 10}, {QStringLiteral("seller_nick"), Col::Text, 50},
          {QStringLiteral("tradecount"), Col::Integer}, {QStringLiteral("itemnum"), Col::Integer},
          {QStringLiteral("total_fee"), Col::Decimal}, {QStringLiteral("post_fee"), Col::Decimal},
          {QStringLiteral("payment"), Col::Decimal}},
         {{"datefrom", "saledate", Match::DayFrom}, {"dateto", "saledate", Match::DayTo},
          {"seller_nick", "seller_nick", Match::Exact}}},
        {"Report.SalesDetailSearch",
         "SELECT saledate, tid, seller_nick, buyer_nick, status, created, pay_time, itemnum, total_fee, post_fee,"
         " payment, receiver_name, receiver_state, receiver_city FROM (%1) x",
         "created, tid",
         {{QStringLiteral("saledate"), Col::Text, 10}, {QStringLiteral("tid"), Col::Text, 20},
          {QStringLiteral("seller_nick"), Col::Text, 50}, {QStringLiteral("buyer_nick"), Col::Text, 50},
          {QStringLiteral("status"), Col::Text, 40}, {QStringLiteral("created"), Col::Text, 20},
          {QStringLiteral("pay_time"), Col::Text, 20}, {QStringLiteral("itemnum"), Col::Integer},
          {QStringLiteral("total_fee"), Col::Decimal}, {QStringLiteral("post_fee"), Col::Decimal},
          {QStringLiteral("payment"), Col::Decimal}, {QStringLiteral("receiver_name"), Col::Text, 50},
          {QStringLiteral("receiver_state"), Col::Text, 30}, {QStringLiteral("receiver_city"), Col::Text, 30}},
         {{"saledate", "saledate", Match::Exact}, {"datefrom", "saledate", Match::DayFrom},
          {"dateto", "saledate", Match::DayTo}, {"seller_nick", "seller_nick", Match::Exact},
          {"tid", "tid", Match::Exact}, {"buyer_nick", "buyer_nick", Match::Contains}}},
        {"Report.StockSearch",
         "SELECT storageid, storagename, commoditycode, barcode, commodityname, propcolor, propsize, stocknum,"
         " costprice, stockcost FROM (SELECT k.nickid, k.storageid, s.storagename, k.commoditycode, c.barcode,"
         " c.commodityname, c.goodscode, c.propcolor, c.propsize, k.stocknum, c.costprice,"
         " k.stocknum * c.costprice AS stockcost FROM kx_stock k"
         " JOIN kx_storage s ON s.nickid = k.nickid AND s.storageid = k.storageid"
         " JOIN kx_commodity c ON c.nickid = k.nickid AND c.commoditycode = k.commoditycode) x",
         "storageid, commoditycode",
         {{QStringLiteral("storageid"), Col::Text, 20}, {QStringLiteral("storagename"), Col::Text, 100},
          {QStringLiteral("commoditycode"), Col::Text, 20}, {QStringLiteral("barcode"), Col::Text, 30},
          {QStringLiteral("commodityname"), Col::Text, 100}, {QStringLiteral("propcolor"), Col::Text, 50},
          {QStringLiteral("propsize"), Col::Text, 50}, {QStringLiteral("stocknum"), Col::Integer},
          {QStringLiteral("costprice"), Col::Decimal}, {QStringLiteral("stockcost"), Col::Decimal}},
         {{"storageid", "storageid", Match::Exact}, {"commoditycode", "commoditycode", Match::Contains},
          {"commodityname", "commodityname", Match::Contains}, {"goodscode", "goodscode", Match::Exact}}},
        // Received goods, a row per receipt line: what came in from whom, into which storage.
        {"Report.ReceiveSearch",
         "SELECT receiveday, receiveid, suppliercode, suppliername, storagename, commoditycode, barcode, commodityname,"
         " propcolor, propsize, receivenum, costprice, costmoney, statusname FROM (SELECT h.nickid,"
         " substr(h.inputtime, 1, 10) AS receiveday, h.inputtime, h.receiveid, h.suppliercode, h.suppliername,"
         " h.storageid, s.storagename, l.seq, l.commoditycode, c.barcode, c.commodityname, c.goodscode, c.propcolor,"
         " c.propsize, l.receivenum, l.costprice, l.receivenum * l.costprice AS costmoney, h.status,"
         " CASE h.status WHEN 2 THEN '已审核' ELSE '已保存' END AS statusname FROM kx_receive h"
         " JOIN kx_receive_line l ON l.nickid = h.nickid AND l.receiveid = h.receiveid"
         " LEFT JOIN kx_storage s ON s.nickid = h.nickid AND s.storageid = h.storageid"
         " LEFT JOIN kx_commodity c ON c.nickid = l.nickid AND c.commoditycode = l.commoditycode) x",
         "inputtime, receiveid, seq",
         {{QStringLiteral("receiveday"), Col::Text, 10}, {QStringLiteral("receiveid"), Col::Text, 20},
          {QStringLiteral("suppliercode"), Col::Text, 20}, {QStringLiteral("suppliername"), Col::Text, 200},
          {QStringLiteral("storagename"), Col::Text, 100}, {QStringLiteral("commoditycode"), Col::Text, 20},
          {QStringLiteral("barcode"), Col::Text, 30}, {QStringLiteral("commodityname"), Col::Text, 100},
          {QStringLiteral("propcolor"), Col::Text, 50}, {QStringLiteral("propsize"), Col::Text, 50},
          {QStringLiteral("receivenum"), Col::Decimal}, {QStringLiteral("costprice"), Col::Decimal},
          {QStringLiteral("costmoney"), Col::Decimal}, {QStringLiteral("statusname"), Col::Text, 20}},
         {{"datefrom", "receiveday", Match::DayFrom}, {"dateto", "receiveday", Match::DayTo},
          {"suppliercode", "suppliercode", Match::Exact}, {"storageid", "storageid", Match::Exact},
          {"commoditycode", "commoditycode", Match::Contains}, {"goodscode", "goodscode", Match::Exact},
          {"statusname", "statusname", Match::Exact}}},
        // The seller's refunds as downloaded into the books (not the marketplace's own table).
        {"Report.RefundSearch",
         "SELECT refund_id, tid, oid, buyer_nick, status, good_status, refund_fee, reason, created, company_name, sid"
         " FROM kx_refund x",
         "created, refund_id",
         {{QStringLiteral("refund_id"), Col::Text, 20}, {QStringLiteral("tid"), Col::Text, 20},
          {QStringLiteral("oid"), Col::Text, 20}, {QStringLiteral("buyer_nick"), Col::Text, 50},
          {QStringLiteral("status"), Col::Text, 40}, {QStringLiteral("good_status"), Col::Text, 40},
          {QStringLiteral("refund_fee"), Col::Decimal}, {QStringLiteral("reason"), Col::Text, 100},
          {QStringLiteral("created"), Col::Text, 20}, {QStringLiteral("company_name"), Col::Text, 50},
          {QStringLiteral("sid"), Col::Text, 30}},
         {{"datefrom", "substr(created, 1, 10)", Match::DayFrom}, {"dateto", "substr(created, 1, 10)", Match::DayTo},
          {"status", "status", Match::Exact}, {"buyer_nick", "buyer_nick", Match::Contains},
          {"tid", "tid", Match::Exact}}},
    };
    return list;
}

void answer(TContext& ctx, const TReport& r)
{
    QString where = QStringLiteral("x.nickid = ?");
    QVariantList args;
    QString select = QString::fromUtf8(r.select);
    // The paid-orders table carries its own seller test, placed before the report's.
    if (select.contains(QLatin1String("%1"))) {
        select = select.arg(QString::fromLatin1(kPaidTrades) + QStringLiteral(" AND t.nickid = ?"));
        args << ctx.nickid;
    }
    args << ctx.nickid;
    for (const TCondition& c : r.conditions) {
        const QString name = QString::fromLatin1(c.param);
        const QString v = ctx.param(name).trimmed();
        if (v.isEmpty())
            continue;
        const QString column = QString::fromLatin1(c.column);
        switch (c.match) {
        case Match::Exact:
            where += QStringLiteral(" AND ") + column + QStringLiteral(" = ?");
            args << v;
            break;
        case Match::Contains:
            where += QStringLiteral(" AND ") + column + QStringLiteral(" LIKE ? ESCAPE '\\'");
            args << likePattern(v);
            break;
        case Match::DayFrom:
        case Match::DayTo: {
            const QDate day = QDate::fromString(v, QStringLiteral("yyyy-MM-dd"));
            if (!day.isValid())
                throw TServiceError(kxBadParam, QStringLiteral("参数 %1 应为日期（yyyy-MM-dd）：%2").arg(name, v));
            where += QStringLiteral(" AND ") + column + (c.match == Match::DayFrom ? QStringLiteral(" >= ?") : QStringLiteral(" <= ?"));
            args << day.toString(QStringLiteral("yyyy-MM-dd"));
            break;
        }
        }
    }
    KxAnswerPage(ctx, select, where, args, QString::fromLatin1(r.order), r.columns);
}

template <size_t I>
void run(TContext& ctx)
{
    answer(ctx, reports().at(I));
}
}

const std::vector<TMethodDef>& KxReportMethods()
{
    static const std::vector<TMethodDef> methods = {
        {reports()[0].method, EAccess::Module, ETx::Read, run<0>},
        {reports()[1].method, EAccess::Module, ETx::Read, run<1>},
        {reports()[2].method, EAccess::Module, ETx::Read, run<2>},
        {reports()[3].method, EAccess::Module, ETx::Read, run<3>},
        {reports()[4].method, EAccess::Module, ETx::Read, run<4>},
    };
    return methods;
}
