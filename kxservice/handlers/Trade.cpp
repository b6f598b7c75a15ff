#include "Trade.h"

#include "LocalClock.h"
#include "store/Paging.h"
#include "store/Packet.h"

#include <QDate>

#include <algorithm>

namespace {
void search(TContext& ctx);
void updateCommoditySku(TContext& ctx);
void tradeStatus(TContext& ctx);
void codStatus(TContext& ctx);
void refundStatus(TContext& ctx);
void tradeType(TContext& ctx);
}

const std::vector<TMethodDef>& KxTradeMethods()
{
    static const std::vector<TMethodDef> methods = {
        {"Trade.Search", EAccess::Module, ETx::Read, search},
        {"Trade.UpdateCommoditySku", EAccess::Module, ETx::Write, updateCommoditySku},
        {"Lookup.TradeStatus", EAccess::Module, ETx::Read, tradeStatus},
        {"Lookup.CodStatus", EAccess::Module, ETx::Read, codStatus},
        {"Lookup.RefundStatus", EAccess::Module, ETx::Read, refundStatus},
        {"Lookup.TradeType", EAccess::Module, ETx::Read, tradeType},
    };
    return methods;
}

namespace {
using Col = TPacketColumn;

const QString kMasterSelect = QStringLiteral(
    "SELECT 0, h.seller_nick, h.buyer_nick, h.tid, h.trade_type, h.status, h.cod_status, h.cod_fee, h.seller_cod_fee,"
    " h.buyer_cod_fee, h.payment, h.adjust_fee, h.discount_fee, h.post_fee, h.created, h.pay_time, h.end_time, h.buyer_area,"
    " h.buyer_email, h.seller_rate, h.seller_can_rate, h.receiver_name, h.receiver_state, h.receiver_city, h.receiver_district,"
    " h.address, h.receiver_zip, h.receiver_mobile, h.receiver_phone, h.buyer_message, h.seller_memo, h.dbstatus, h.refund");

const QList<Col>& masterColumns()
{
    static const QList<Col> c{
        {"ischeck", Col::Boolean},      {"seller_nick", Col::Text, 50}, {"buyer_nick", Col::Text, 50},
        {"tid", Col::Text, 30},          {"trade_type", Col::Text, 20},  {"status", Col::Text, 40},
        {"cod_status", Col::Text, 40},   {"cod_fee", Col::Decimal},      {"seller_cod_fee", Col::Decimal},
        {"buyer_cod_fee", Col::Decimal}, {"payment", Col::Decimal},      {"adjust_fee", Col::Decimal},
        {"discount_fee", Col::Decimal},  {"post_fee", Col::Decimal},     {"created", Col::DateTime},
        {"pay_time", Col::DateTime},     {"end_time", Col::DateTime},    {"buyer_area", Col::Text, 50},
        {"buyer_email", Col::Text, 100}, {"seller_rate", Col::Boolean},  {"seller_can_rate", Col::Boolean},
        {"receiver_name", Col::Text, 50}, {"receiver_state", Col::Text, 30}, {"receiver_city", Col::Text, 30},
        {"receiver_district", Col::Text, 30}, {"address", Col::Text, 200}, {"receiver_zip", Col::Text, 10},
        {"receiver_mobile", Col::Text, 30}, {"receiver_phone", Col::Text, 30}, {"buyer_message", Col::Text, 500},
        {"seller_memo", Col::Text, 500}, {"dbstatus", Col::Text, 20},    {"refund", Col::Integer}};
    return c;
}

const QString kDetailSelect = QStringLiteral(
    "SELECT o.tid, o.oid, o.num_iid, o.sku_id, o.sku_properties_name, o.title, o.price, o.num, o.total_fee, o.payment,"
    " o.discount_fee, o.adjust_fee, o.commoditycode,"
    " (SELECT SUM(s.stocknum) FROM kx_stock s WHERE s.nickid = o.nickid AND s.commoditycode = o.commoditycode),"
    " o.status, o.refund_status, o.refund_id, o.end_time, o.outer_id, o.pic_path");

const QList<Col>& detailColumns()
{
    static const QList<Col> c{
        {"tid", Col::Text, 30},        {"oid", Col::Text, 30},          {"num_iid", Col::Text, 30},
        {"sku_id", Col::Text, 30},     {"sku_properties_name", Col::Text, 200}, {"title", Col::Text, 200},
        {"price", Col::Decimal},       {"num", Col::Decimal},           {"total_fee", Col::Decimal},
        {"payment", Col::Decimal},     {"discount_fee", Col::Decimal},  {"adjust_fee", Col::Decimal},
        {"commoditycode", Col::Text, 30}, {"stocknum", Col::Integer},   {"status", Col::Text, 40},
        {"refund_status", Col::Text, 40}, {"refund_id", Col::Text, 30}, {"end_time", Col::DateTime},
        {"outer_id", Col::Text, 50},   {"pic_path", Col::Text, 300}};
    return c;
}

// The list's conditions: the search dialog's and the fixed ones of the module arrive alike as
// parameters. Numbers and accounts compare whole, the consignee's name as a part.
QString conditions(const TContext& ctx, QVariantList& args)
{
    return KxMarketConditions(ctx, {"h", {"tid", "buyer_nick", "seller_nick", "status", "dbstatus", "trade_type"}, "receiver_name", "refund"}, args);
}

// The numbers of one page, newest first. The page is walked to from the nearer end of the
// list index: a page past the middle is read oldest first from the end and turned round, so
// no page walks more than half the matches.
QVariantList pageKeys(TContext& ctx, const QString& where, const QVariantList& args, qint64 offset, qint64 size, qint64 total)
{
    QVariantList keys;
    if (offset >= total)
        return keys;
    const qint64 rows = qMin(size, total - offset);
    const qint64 fromEnd = total - offset - rows;
    const bool reversed = fromEnd < offset;
    QSqlQuery k = KxExec(ctx.db, QStringLiteral("SELECT h.tid FROM kx_trade h WHERE ") + where
                                     + (reversed ? QStringLiteral(" ORDER BY h.created, h.tid") : QStringLiteral(" ORDER BY h.created DESC, h.tid DESC"))
                                     + QStringLiteral(" LIMIT ? OFFSET ?"),
                         args + QVariantList{rows, reversed ? fromEnd : offset});
    while (k.next())
        keys << k.value(0);
    if (reversed)
        std::reverse(keys.begin(), keys.end());
    return keys;
}

// How many orders match. The seller's whole list in the embedded database, which holds one
// shop as a rule, is the table's count (SQLite counts a table by its pages, not its rows) less
// the other sellers' orders.
qint64 count(TContext& ctx, const QString& where, const QVariantList& args)
{
    if (args.size() == 1 && ctx.store.isSqlite())
        return KxScalar(ctx.db, QStringLiteral("SELECT (SELECT COUNT(*) FROM kx_trade) - (SELECT COUNT(*) FROM kx_trade WHERE nickid < ?)"
                                               " - (SELECT COUNT(*) FROM kx_trade WHERE nickid > ?)"), {ctx.nickid, ctx.nickid}).toLongLong();
    return KxScalar(ctx.db, QStringLiteral("SELECT COUNT(*) FROM kx_trade h WHERE ") + where, args).toLongLong();
}

// A page of orders, newest first, and the lines of exactly those orders. "curpage" -1 (the
// window opening) is the first page; 0 (a window opened on fixed conditions) every match.
void search(TContext& ctx)
{
    QVariantList args;
    const QString where = conditions(ctx, args);
    const TPage page = KxPageOf(ctx);
    const QString order = QStringLiteral(" ORDER BY h.created DESC, h.tid DESC");
    QSqlQuery m, d;
    qint64 total = 0;
    if (page.page > 0) {
        total = count(ctx, where, args);
        const QVariantList keys = pageKeys(ctx, where, args, (page.page - 1) * page.size, page.size, total);
        // The page's orders and lines by their numbers, read once from the list index.
        QStringList marks(keys.size(), QStringLiteral("?"));
        if (marks.isEmpty())
            marks << QStringLiteral("NULL");
        const QString in = marks.join(QLatin1Char(','));
        const QVariantList keyArgs = QVariantList{ctx.nickid} + keys;
        m = KxExec(ctx.db, kMasterSelect + QStringLiteral(" FROM kx_trade h WHERE h.nickid = ? AND h.tid IN (%1)").arg(in) + order, keyArgs);
        d = KxExec(ctx.db, kDetailSelect + QStringLiteral(" FROM kx_trade_order o WHERE o.nickid = ? AND o.tid IN (%1) ORDER BY o.tid DESC, o.oid").arg(in),
                   keyArgs);
    } else {
        m = KxExec(ctx.db, kMasterSelect + QStringLiteral(" FROM kx_trade h WHERE ") + where + order, args);
        d = KxExec(ctx.db, kDetailSelect + QStringLiteral(" FROM (SELECT h.tid FROM kx_trade h WHERE ") + where
                               + QStringLiteral(") k JOIN kx_trade_order o ON o.nickid = ? AND o.tid = k.tid ORDER BY o.tid DESC, o.oid"),
                   args + QVariantList{ctx.nickid});
    }
    int rows = 0;
    ctx.answer.addPacket(QStringLiteral("xmlmaster"), KxQueryPacket(m, masterColumns(), &rows));
    m.finish();
    ctx.answer.addPacket(QStringLiteral("xmldetail"), KxQueryPacket(d, detailColumns()));
    d.finish();
    if (page.page == 0)
        total = rows;
    ctx.answer.add(QStringLiteral("recordcount"), total);
    ctx.answer.add(QStringLiteral("pagecount"), page.page > 0 ? qMax<qint64>(1, (total + page.size - 1) / page.size) : 1);
}


void tradeStatus(TContext& ctx)
{
    KxCodeList(ctx, {{"WAIT_BUYER_PAY", "等待买家付款"}, {"WAIT_SELLER_SEND_GOODS", "买家已付款，等待卖家发货"},
                   {"WAIT_BUYER_CONFIRM_GOODS", "卖家已发货，等待买家确认收货"}, {"TRADE_FINISHED", "交易成功"},
                   {"TRADE_CLOSED", "交易关闭"}});
}

void codStatus(TContext& ctx)
{
    KxCodeList(ctx, {{"", ""}, {"NEW_CREATED", "初始状态"}, {"ACCEPTED_BY_COMPANY", "物流公司已接单"}, {"REJECTED_BY_COMPANY", "物流公司拒绝接单"},
                   {"SIGN_IN", "买家已签收"}, {"REJECTED_BY_OTHER_SIDE", "买家拒签"}});
}

void refundStatus(TContext& ctx)
{
    KxCodeList(ctx, {{"NO_REFUND", "没有退款"}, {"WAIT_SELLER_AGREE", "买家已申请退款，等待卖家同意"},
                   {"WAIT_BUYER_RETURN_GOODS", "卖家已同意退款，等待买家退货"}, {"WAIT_SELLER_CONFIRM_GOODS", "买家已退货，等待卖家确认收货"},
                   {"SELLER_REFUSE_BUYER", "卖家拒绝退款"}, {"CLOSED", "退款关闭"}, {"SUCCESS", "退款成功"}});
}

void tradeType(TContext& ctx)
{
    KxCodeList(ctx, {{"fixed", "一口价"}, {"cod", "货到付款"}, {"auction", "拍卖"}, {"step", "分阶段付款"}});
}

// Binds the line's SKU to a product: the line, the other lines of that SKU on orders not yet
// picked that have no product, and every later download of that SKU.
void updateCommoditySku(TContext& ctx)
{
    const QString oid = ctx.need(QStringLiteral("oid")).trimmed();
    const QString code = ctx.need(QStringLiteral("commoditycode")).trimmed();
    const QString account = ctx.param(QStringLiteral("detailnick")).trimmed();
    QSqlQuery l = KxExec(ctx.db, QStringLiteral("SELECT o.num_iid, o.sku_id, t.dbstatus, t.seller_nick, t.tid, o.title, o.sku_properties_name, o.pic_path"
                                                " FROM kx_trade_order o"
                                                " JOIN kx_trade t ON t.nickid = o.nickid AND t.tid = o.tid WHERE o.nickid = ? AND o.oid = ?"),
                         {ctx.nickid, oid});
    if (!l.next())
        throw TServiceError(kxRefused, QStringLiteral("订单明细 %1 不存在，请刷新订单").arg(oid.left(40)));
    const QString numIid = l.value(0).toString(), skuId = l.value(1).toString(), tid = l.value(4).toString();
    // The mapping shows the item as the marketplace names it, like the mappings the goods download makes.
    const QVariantList shown{l.value(3).toString(), l.value(5).toString().left(100), l.value(6).toString().left(200), l.value(7).toString()};
    if (!account.isEmpty() && account != l.value(3).toString())
        throw TServiceError(kxRefused, QStringLiteral("订单明细 %1 不是网店【%2】的订单").arg(oid.left(40), account.left(40)));
    if (l.value(2).toString() == QLatin1String("PICKINGED"))
        throw TServiceError(kxRefused, QStringLiteral("订单 %1 已生成拣货单，不能再修改商品").arg(tid));
    l.finish();
    if (!KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_commodity WHERE nickid = ? AND commoditycode = ? AND is_del = 0"), {ctx.nickid, code}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("商品 %1 不存在").arg(code.left(40)));

    const QString now = KxLocalNowText();
    KxExec(ctx.db, QStringLiteral("INSERT INTO kx_sku_bind (nickid, num_iid, sku_id, commoditycode, operid, bound_at, nick, title,"
                                  " sku_properties_name, pic_path) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
                                  " ON CONFLICT (nickid, num_iid, sku_id) DO UPDATE SET commoditycode = excluded.commoditycode,"
                                  " operid = excluded.operid, bound_at = excluded.bound_at"),
           QVariantList{ctx.nickid, numIid, skuId, code, ctx.operid, now} + shown);
    KxExec(ctx.db, QStringLiteral("UPDATE kx_trade_order SET commoditycode = ? WHERE nickid = ? AND oid = ?"), {code, ctx.nickid, oid});
    KxExec(ctx.db, QStringLiteral("UPDATE kx_trade_order SET commoditycode = ? WHERE nickid = ? AND num_iid = ? AND sku_id = ? AND commoditycode = ''"
                                  " AND tid IN (SELECT tid FROM kx_trade WHERE nickid = ? AND dbstatus = 'NOT_PICKING')"),
           {code, ctx.nickid, numIid, skuId, ctx.nickid});
    ctx.answer.add(QStringLiteral("commoditycode"), code);
    ctx.answer.add(QStringLiteral("stocknum"), KxScalar(ctx.db, QStringLiteral("SELECT COALESCE(SUM(stocknum), 0) FROM kx_stock WHERE nickid = ? AND commoditycode = ?"),
                                                        {ctx.nickid, code}).toLongLong());
}
}

void KxCodeList(TContext& ctx, const std::vector<std::pair<const char*, const char*>>& codes)
{
    QStringList selects;
    QVariantList args;
    for (const auto& [code, name] : codes) {
        selects << QStringLiteral("SELECT ?, ?");
        args << QString::fromUtf8(code) << QString::fromUtf8(name);
    }
    QSqlQuery q = KxExec(ctx.db, selects.join(QStringLiteral(" UNION ALL ")), args);
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, {{"status", Col::Text, 40}, {"statusname", Col::Text, 50}}));
}
