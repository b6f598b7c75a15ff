#include "Refund.h"

#include "store/Paging.h"
#include "Trade.h"
#include "store/DocEngine.h"
#include "store/DocKinds.h"
#include "store/DocSql.h"
#include "store/DocValues.h"
#include "store/Packet.h"

#include <QDate>
#include <QSet>

namespace {
using Col = TPacketColumn;
using KxDoc::placeholders;

const QString kSelect = QStringLiteral(
    "0, r.refund_id, r.tid, r.oid, r.num_iid, r.sku_id, r.sku_properties_name, r.title, r.pic_path, r.commoditycode, r.num, r.total_fee,"
    " r.payment, r.refund_fee, r.has_good_return, r.status, r.order_status, r.good_status, r.cs_status, r.seller_nick, r.buyer_nick,"
    " r.created, r.modified, r.timeout, r.company_name, r.sid, r.reason, r.desc1, r.dbstatus, r.refundingid");

const QList<Col>& columns()
{
    static const QList<Col> c{
        {"ischeck", Col::Boolean},          {"refund_id", Col::Text, 30},      {"tid", Col::Text, 30},
        {"oid", Col::Text, 30},             {"num_iid", Col::Text, 30},        {"sku_id", Col::Text, 30},
        {"sku_properties_name", Col::Text, 200}, {"title", Col::Text, 200},    {"pic_path", Col::Text, 300},
        {"commoditycode", Col::Text, 20},   {"num", Col::Integer},             {"total_fee", Col::Decimal},
        {"payment", Col::Decimal},          {"refund_fee", Col::Decimal},      {"has_good_return", Col::Boolean},
        {"status", Col::Text, 40},          {"order_status", Col::Text, 40},   {"good_status", Col::Text, 40},
        {"cs_status", Col::Text, 10},       {"seller_nick", Col::Text, 50},    {"buyer_nick", Col::Text, 50},
        {"created", Col::DateTime},         {"modified", Col::DateTime},       {"timeout", Col::DateTime},
        {"company_name", Col::Text, 50},    {"sid", Col::Text, 50},            {"reason", Col::Text, 200},
        {"desc1", Col::Text, 500},          {"dbstatus", Col::Text, 20},       {"refundingid", Col::Text, 20}};
    return c;
}

// The list's conditions, the search dialog's and the module's fixed ones alike. Numbers,
// accounts and states compare whole, the title as a part.
QString conditions(const TContext& ctx, QVariantList& args)
{
    QString where = KxMarketConditions(ctx, {"r", {"refund_id", "tid", "buyer_nick", "seller_nick", "status", "dbstatus", "good_status", "cs_status"},
                                             "title", "has_good_return"}, args);
    // The seller's deadline falls on that day or before (the home tab's refunds due today).
    const QString due = KxDayParam(ctx, QStringLiteral("timeoutto"));
    if (!due.isEmpty()) {
        where += QStringLiteral(" AND r.timeout <> '' AND r.timeout < ?");
        args << QDate::fromString(due, QStringLiteral("yyyy-MM-dd")).addDays(1).toString(QStringLiteral("yyyy-MM-dd"));
    }
    return where;
}

void search(TContext& ctx)
{
    QVariantList args;
    const QString where = conditions(ctx, args);
    KxAnswerPageFrom(ctx, kSelect, QStringLiteral(" FROM kx_refund r"), where, args, QStringLiteral("r.created DESC, r.refund_id DESC"), columns());
}

void goodStatus(TContext& ctx)
{
    KxCodeList(ctx, {{"BUYER_NOT_RECEIVED", "买家未收到货"}, {"BUYER_RECEIVED", "买家已收到货"}, {"BUYER_RETURNED_GOODS", "买家已退货"}});
}

void csStatus(TContext& ctx)
{
    KxCodeList(ctx, {{"1", "不需客服介入"}, {"2", "需要客服介入"}, {"3", "客服已经介入"}, {"4", "客服初审完成"}, {"5", "客服主管复审失败"},
                     {"6", "客服处理完成"}});
}

// A return receipt by number ("refunding"); without one the empty structures the refund window fills.
void searchRefunding(TContext& ctx)
{
    const QString id = ctx.param(QStringLiteral("refunding")).trimmed();
    if (!id.isEmpty()
        && !KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_refunding WHERE nickid = ? AND refundingid = ?"), {ctx.nickid, id}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("退款单【%1】不存在").arg(id.left(40)));
    const QStringList ids = id.isEmpty() ? QStringList() : QStringList{id};
    KxDocAnswerHeaders(ctx, kKxRefunding, QStringLiteral("xmlmaster"), ids);
    KxDocAnswerLines(ctx, kKxRefunding, QStringLiteral("xmldetail"), ids);
}

bool flag(const QVariant& v)
{
    const QString t = v.toString().trimmed().toLower();
    return v.isValid() && !t.isEmpty() && t != QLatin1String("0") && t != QLatin1String("false");
}

struct TMarked {
    QString refundId;
    TDeltaSide loaded;   // the refund as the client listed it
    QString key;         // md5_key of the receipt its line went into
    TDeltaSide line;
    bool hasLine = false;
};

// Finished refunds into return receipts ("deltamaster", "deltadetail"), the refunds marked
// ("delta"), in this call's one transaction: any refusal saves nothing and marks nothing.
void updateRefunding(TContext& ctx)
{
    const QList<TDeltaChange> marks = KxDocDelta(ctx, QStringLiteral("delta"));
    const QList<TDeltaChange> master = KxDocDelta(ctx, QStringLiteral("deltamaster"));
    const QList<TDeltaChange> detail = KxDocDelta(ctx, QStringLiteral("deltadetail"));
    if (marks.isEmpty() || master.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("没有选择需要生成退款单的退款"));
    QHash<QString, const TDeltaChange*> headers;
    for (const TDeltaChange& m : master) {
        if (m.kind != TDeltaChange::Insert)
            throw TServiceError(kxRefused, QStringLiteral("生成退款单只能提交新的退款单"));
        headers.insert(m.values.value(QStringLiteral("md5_key")).toString().trimmed(), &m);
    }
    std::vector<TMarked> refunds;
    QHash<QString, size_t> at;
    for (const TDeltaChange& ch : marks) {
        // A row the list changed only in its selection is not part of the generation.
        if (ch.kind == TDeltaChange::Update && !ch.changed.contains(QStringLiteral("dbstatus")))
            continue;
        const QString id = ch.original.value(QStringLiteral("refund_id")).toString().trimmed();
        if (ch.kind != TDeltaChange::Update || id.isEmpty()
            || ch.values.value(QStringLiteral("dbstatus")).toString() != QLatin1String("REFUNDINGED"))
            throw TServiceError(kxRefused, QStringLiteral("退款单的修改记录只能把退款标记为已生成退款单（REFUNDINGED）"));
        if (at.contains(id))
            continue;
        at.insert(id, refunds.size());
        refunds.push_back({id, ch.original, {}, {}, false});
    }
    if (refunds.empty())
        throw TServiceError(kxRefused, QStringLiteral("没有选择需要生成退款单的退款"));
    for (const TDeltaChange& ch : detail) {
        if (ch.kind != TDeltaChange::Insert)
            throw TServiceError(kxRefused, QStringLiteral("生成退款单只能提交新的退款单"));
        const QString id = ch.values.value(QStringLiteral("refund_id")).toString().trimmed();
        const auto it = at.constFind(id);
        if (it == at.constEnd())
            throw TServiceError(kxRefused, id.isEmpty() ? QStringLiteral("退款单明细缺少退款编号")
                                                        : QStringLiteral("退款【%1】没有标记为已生成退款单，请刷新退款单").arg(id.left(40)));
        TMarked& r = refunds[*it];
        if (r.hasLine)
            throw TServiceError(kxRefused, QStringLiteral("退款【%1】在退款单中出现了两次").arg(id));
        r.hasLine = true;
        r.line = ch.values;
        r.key = ch.values.value(QStringLiteral("md5_key")).toString().trimmed();
        if (!headers.contains(r.key))
            throw TServiceError(kxRefused, QStringLiteral("明细与单据的行标识（md5_key）不一致"));
    }
    for (const TMarked& r : refunds)
        if (!r.hasLine)
            throw TServiceError(kxRefused, QStringLiteral("退款【%1】没有退款单明细").arg(r.refundId));

    // The refunds as the books hold them now, locked (SQLite's write transaction holds the
    // whole database already): of two operators generating from the same refunds, the second
    // waits and then finds them taken.
    QVariantList args{ctx.nickid};
    for (const TMarked& r : refunds)
        args << r.refundId;
    const QString lock = ctx.store.isSqlite() ? QString() : QStringLiteral(" FOR UPDATE");
    struct TNow {
        QString dbstatus, refundingid, status, seller, buyer;
        QVariant fee, num;
        bool goods = false;
    };
    QHash<QString, TNow> now;
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT refund_id, dbstatus, refundingid, status, seller_nick, buyer_nick, refund_fee, num, has_good_return"
                                                " FROM kx_refund WHERE nickid = ? AND refund_id IN (%1)%2")
                                     .arg(placeholders(qsizetype(refunds.size()), QStringLiteral("?")), lock), args);
    while (q.next())
        now.insert(q.value(0).toString(), {q.value(1).toString(), q.value(2).toString(), q.value(3).toString(), q.value(4).toString(),
                                           q.value(5).toString(), q.value(6), q.value(7), q.value(8).toInt() != 0});
    q.finish();
    QStringList taken;
    for (const TMarked& r : refunds) {
        const auto it = now.constFind(r.refundId);
        if (it == now.constEnd())
            throw TServiceError(kxRefused, QStringLiteral("退款【%1】不存在，请刷新退款单").arg(r.refundId));
        if (it->dbstatus == QLatin1String("REFUNDINGED"))
            taken << QStringLiteral("%1（退款单 %2）").arg(r.refundId, it->refundingid);
    }
    if (!taken.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("以下退款已生成退款单，请刷新退款单：%1").arg(taken.join(QStringLiteral("，"))));
    for (const TMarked& r : refunds) {
        const TNow& n = now[r.refundId];
        if (n.status != QLatin1String("SUCCESS"))
            throw TServiceError(kxRefused, QStringLiteral("退款【%1】尚未退款成功，不能生成退款单").arg(r.refundId));
        // What the receipt says must be what the marketplace refunded.
        const auto differs = [](const QVariant& sent, const QString& stored) { return sent.isValid() && sent.toString().trimmed() != stored; };
        const QVariant fee = r.line.value(QStringLiteral("refund_fee")), num = r.line.value(QStringLiteral("num"));
        const bool changed = (fee.isValid() && !KxDoc::sameDecimal(fee, n.fee)) || (num.isValid() && !KxDoc::sameDecimal(num, n.num))
                             || (r.line.contains(QStringLiteral("has_good_return")) && flag(r.line.value(QStringLiteral("has_good_return"))) != n.goods)
                             || differs(r.loaded.value(QStringLiteral("seller_nick")), n.seller) || differs(r.loaded.value(QStringLiteral("buyer_nick")), n.buyer)
                             || differs(r.loaded.value(QStringLiteral("status")), n.status);
        if (changed)
            throw TServiceError(kxRefused, QStringLiteral("退款【%1】在网店已有变动，请刷新退款单后再生成退款单").arg(r.refundId));
        // One receipt is one buyer's refunds at one shop account.
        const TDeltaSide& h = headers[r.key]->values;
        if (h.value(QStringLiteral("seller_nick")).toString().trimmed() != n.seller || h.value(QStringLiteral("buyer_nick")).toString().trimmed() != n.buyer)
            throw TServiceError(kxRefused, QStringLiteral("退款【%1】的掌柜或买家与退款单不一致：一张退款单只能包含同一掌柜、同一买家的退款").arg(r.refundId));
    }

    const QStringList ids = KxDocSaveMany(ctx, kKxRefunding, master, detail);
    QHash<QString, QString> idOfKey;
    for (qsizetype i = 0; i < master.size(); ++i)
        idOfKey.insert(master[i].values.value(QStringLiteral("md5_key")).toString().trimmed(), ids[i]);
    QHash<QString, QVariantList> byReceipt;
    for (const TMarked& r : refunds)
        byReceipt[idOfKey.value(r.key)] << r.refundId;
    for (auto it = byReceipt.constBegin(); it != byReceipt.constEnd(); ++it)
        KxExec(ctx.db, QStringLiteral("UPDATE kx_refund SET dbstatus = 'REFUNDINGED', refundingid = ? WHERE nickid = ? AND refund_id IN (%1)")
                           .arg(placeholders(it.value().size(), QStringLiteral("?"))),
               QVariantList{it.key(), ctx.nickid} + it.value());
    KxDocAnswerHeaders(ctx, kKxRefunding, QStringLiteral("xmlmaster"), ids);
    KxDocAnswerLines(ctx, kKxRefunding, QStringLiteral("xmldetail"), ids);
}

THandler gReceiptUpdate = nullptr;   // the engine's save of a return receipt

// A receipt saved by hand keeps the refunds' marks as generation does: a line that names a
// refund takes it (it must be in the books, finished and in no other receipt), and a refund
// whose line left an unaudited receipt is free again.
void updateReceipt(TContext& ctx)
{
    QStringList named;
    QSet<QString> touched;
    for (const TDeltaChange& ch : KxDocDelta(ctx, QStringLiteral("deltadetail"))) {
        if (ch.kind == TDeltaChange::Insert) {
            const QString id = ch.values.value(QStringLiteral("refund_id")).toString().trimmed();
            if (!id.isEmpty() && !named.contains(id))
                named << id.left(40);
        } else {
            const QString receipt = ch.original.value(QStringLiteral("refundingid")).toString().trimmed();
            if (!receipt.isEmpty())
                touched.insert(receipt);
        }
    }
    gReceiptUpdate(ctx);

    for (const QString& receipt : touched)
        KxExec(ctx.db, QStringLiteral("UPDATE kx_refund SET dbstatus = 'NOT_REFUNDING', refundingid = '' WHERE nickid = ? AND refundingid = ?"
                                      " AND NOT EXISTS (SELECT 1 FROM kx_refunding_line l WHERE l.nickid = kx_refund.nickid"
                                      " AND l.refundingid = kx_refund.refundingid AND l.refund_id = kx_refund.refund_id)"),
               {ctx.nickid, receipt});
    if (named.isEmpty())
        return;
    const QString in = placeholders(named.size(), QStringLiteral("?"));
    QVariantList args{ctx.nickid};
    for (const QString& id : named)
        args << id;
    QHash<QString, QStringList> holders;   // refund → the receipt of each line naming it
    QSqlQuery l = KxExec(ctx.db, QStringLiteral("SELECT refund_id, refundingid FROM kx_refunding_line WHERE nickid = ? AND refund_id IN (%1)"
                                                " ORDER BY refundingid").arg(in), args);
    while (l.next())
        holders[l.value(0).toString()] << l.value(1).toString();
    l.finish();
    struct TBooks {
        QString status, refundingid;
    };
    QHash<QString, TBooks> books;
    QSqlQuery r = KxExec(ctx.db, QStringLiteral("SELECT refund_id, status, refundingid FROM kx_refund WHERE nickid = ? AND refund_id IN (%1)").arg(in), args);
    while (r.next())
        books.insert(r.value(0).toString(), {r.value(1).toString(), r.value(2).toString()});
    r.finish();
    QStringList taken;
    for (const QString& id : named) {
        const auto b = books.constFind(id);
        if (b == books.constEnd())
            throw TServiceError(kxRefused, QStringLiteral("退款【%1】不存在，请刷新退款单").arg(id));
        if (b->status != QLatin1String("SUCCESS"))
            throw TServiceError(kxRefused, QStringLiteral("退款【%1】尚未退款成功，不能生成退款单").arg(id));
        const QStringList lines = holders.value(id);
        if (lines.size() > 1 && lines.first() == lines.last())
            throw TServiceError(kxRefused, QStringLiteral("退款【%1】在退款单中出现了两次").arg(id));
        // A refund belongs to one receipt: the one already recorded on it wins.
        if (!b->refundingid.isEmpty() && (lines.size() > 1 || b->refundingid != lines.value(0)))
            taken << QStringLiteral("%1（退款单 %2）").arg(id, b->refundingid);
        else if (lines.size() > 1)
            taken << QStringLiteral("%1（退款单 %2）").arg(id, lines.join(QStringLiteral("、")));
    }
    if (!taken.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("以下退款已生成退款单，请刷新退款单：%1").arg(taken.join(QStringLiteral("，"))));
    for (const QString& id : named)
        KxExec(ctx.db, QStringLiteral("UPDATE kx_refund SET dbstatus = 'REFUNDINGED', refundingid = ? WHERE nickid = ? AND refund_id = ?"),
               {holders.value(id).value(0), ctx.nickid, id});
}
}

const std::vector<TMethodDef>& KxRefundMethods()
{
    static const std::vector<TMethodDef> methods = [] {
        std::vector<TMethodDef> m = KxDocMethods<kKxRefunding>("Refunding");
        for (TMethodDef& d : m)
            if (qstrcmp(d.name, "Refunding.Update") == 0) {
                gReceiptUpdate = d.handler;
                d.handler = updateReceipt;
            }
        m.push_back({"Refund.Search", EAccess::Module, ETx::Read, search});
        m.push_back({"Lookup.GoodStatus", EAccess::Module, ETx::Read, goodStatus});
        m.push_back({"Lookup.CsStatus", EAccess::Module, ETx::Read, csStatus});
        m.push_back({"Refund.SearchRefunding", EAccess::Module, ETx::Read, searchRefunding});
        m.push_back({"Refund.UpdateRefunding", EAccess::Module, ETx::Write, updateRefunding});
        return m;
    }();
    return methods;
}
