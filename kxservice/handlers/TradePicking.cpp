#include "TradePicking.h"

#include "store/DocEngine.h"
#include "store/DocKinds.h"
#include "store/DocSql.h"
#include "store/DocValues.h"

#include <QSet>

namespace {
void searchPicking(TContext& ctx);
void updatePicking(TContext& ctx);
}

const std::vector<TMethodDef>& KxTradePickingMethods()
{
    static const std::vector<TMethodDef> methods = [] {
        std::vector<TMethodDef> m = KxDocMethods<kKxPicking>("Picking");
        m.push_back({"Trade.SearchPicking", EAccess::Module, ETx::Read, searchPicking});
        m.push_back({"Trade.UpdatePicking", EAccess::Module, ETx::Write, updatePicking});
        return m;
    }();
    return methods;
}

namespace {
using KxDoc::placeholders;

// Order fields a picking list copies: an order whose values changed since the client listed it
// would be picked for the wrong consignee or goods.
const char* const kCopiedFields[] = {"seller_nick", "buyer_nick", "status", "receiver_name", "receiver_state", "receiver_city",
                                     "receiver_district", "address", "receiver_zip", "receiver_mobile", "receiver_phone"};

struct TOrderLine {
    QString oid;
    QVariant num;
};

struct TOrder {
    QString tid;
    TDeltaSide loaded;             // the values the client listed (the call holds its delta)
    std::vector<TOrderLine> lines; // the picking lines made of it
};

QString joined(const QStringList& tids)
{
    return tids.join(QStringLiteral("，"));
}

// The orders the client marks picked ("delta") with the picking lines made of each, in the
// order the client sent them; refused when the two do not name the same orders.
std::vector<TOrder> ordersOf(const QList<TDeltaChange>& marks, const QList<TDeltaChange>& lines)
{
    std::vector<TOrder> orders;
    QHash<QString, size_t> at;
    for (const TDeltaChange& ch : marks) {
        const QString tid = ch.original.value(QStringLiteral("tid")).toString().trimmed();
        if (ch.kind != TDeltaChange::Update || tid.isEmpty()
            || ch.values.value(QStringLiteral("dbstatus")).toString() != QLatin1String("PICKINGED"))
            throw TServiceError(kxRefused, QStringLiteral("订单的修改记录只能把订单标记为已拣货（PICKINGED）"));
        if (at.contains(tid))
            continue;
        at.insert(tid, orders.size());
        orders.push_back({tid, ch.original, {}});
    }
    for (const TDeltaChange& ch : lines) {
        if (ch.kind != TDeltaChange::Insert)
            throw TServiceError(kxRefused, QStringLiteral("生成拣货单只能提交新的拣货单"));
        const QString tid = ch.values.value(QStringLiteral("tid")).toString().trimmed();
        const auto it = at.constFind(tid);
        if (it == at.constEnd())
            throw TServiceError(kxRefused, tid.isEmpty() ? QStringLiteral("拣货单明细缺少订单号")
                                                         : QStringLiteral("订单【%1】没有标记为已拣货，请刷新订单").arg(tid.left(40)));
        orders[*it].lines.push_back({ch.values.value(QStringLiteral("oid")).toString().trimmed(),
                                     ch.values.value(QStringLiteral("num"))});
    }
    for (const TOrder& o : orders)
        if (o.lines.empty())
            throw TServiceError(kxRefused, QStringLiteral("订单【%1】没有拣货明细").arg(o.tid));
    return orders;
}

// Every order may still be picked, as the client listed it. The orders' rows are locked as
// they are read (SQLite's write transaction holds the whole database already), so that of two
// operators picking the same orders one waits for the other and then finds them picked.
void checkOrders(TContext& ctx, const std::vector<TOrder>& orders)
{
    QVariantList args{ctx.nickid};
    for (const TOrder& o : orders)
        args << o.tid;
    const QString in = placeholders(qsizetype(orders.size()), QStringLiteral("?"));
    const QString lock = ctx.db.driverName() == QLatin1String("QSQLITE") ? QString() : QStringLiteral(" FOR UPDATE");

    QStringList fields;
    for (const char* f : kCopiedFields)
        fields << QLatin1String(f);
    QHash<QString, QVariantMap> now;
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT tid, dbstatus, %1 FROM kx_trade WHERE nickid = ? AND tid IN (%2)%3").arg(fields.join(QStringLiteral(", ")), in, lock), args);
    while (q.next()) {
        QVariantMap row{{QStringLiteral("dbstatus"), q.value(1)}};
        for (int i = 0; i < fields.size(); ++i)
            row.insert(fields[i], q.value(2 + i));
        now.insert(q.value(0).toString(), row);
    }
    q.finish();
    QHash<QString, QHash<QString, QVariant>> linesNow;
    QSet<QString> refunding;
    QSqlQuery l = KxExec(ctx.db, QStringLiteral("SELECT tid, oid, num, refund_status FROM kx_trade_order WHERE nickid = ? AND tid IN (%1)").arg(in), args);
    while (l.next()) {
        linesNow[l.value(0).toString()].insert(l.value(1).toString(), l.value(2));
        const QString refund = l.value(3).toString();
        if (refund == QLatin1String("WAIT_SELLER_AGREE") || refund == QLatin1String("WAIT_BUYER_RETURN_GOODS")
            || refund == QLatin1String("WAIT_SELLER_CONFIRM_GOODS"))
            refunding.insert(l.value(0).toString());
    }
    l.finish();

    QStringList picked;
    for (const TOrder& o : orders) {
        const auto it = now.constFind(o.tid);
        if (it == now.constEnd())
            throw TServiceError(kxRefused, QStringLiteral("订单【%1】不存在，请刷新订单").arg(o.tid.left(40)));
        if (it->value(QStringLiteral("dbstatus")).toString() == QLatin1String("PICKINGED"))
            picked << o.tid;
    }
    if (!picked.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("以下订单已生成拣货单，请刷新订单：%1").arg(joined(picked)));
    for (const TOrder& o : orders) {
        const QVariantMap& row = now[o.tid];
        const QString status = row.value(QStringLiteral("status")).toString();
        if (status == QLatin1String("TRADE_CLOSED") || status == QLatin1String("TRADE_CLOSED_BY_TAOBAO"))
            throw TServiceError(kxRefused, QStringLiteral("订单【%1】已关闭，不能生成拣货单").arg(o.tid));
        if (status == QLatin1String("WAIT_BUYER_PAY"))
            throw TServiceError(kxRefused, QStringLiteral("订单【%1】买家尚未付款，不能生成拣货单").arg(o.tid));
        if (refunding.contains(o.tid))
            throw TServiceError(kxRefused, QStringLiteral("订单【%1】有退款正在处理，不能生成拣货单").arg(o.tid));
        bool changed = false;
        for (const char* f : kCopiedFields) {
            const QVariant loaded = o.loaded.value(QLatin1String(f));
            changed = changed || (loaded.isValid() && loaded.toString().trimmed() != row.value(QLatin1String(f)).toString().trimmed());
        }
        // The picking holds exactly the order's lines, in their quantities.
        const QHash<QString, QVariant>& current = linesNow[o.tid];
        QSet<QString> seen;
        for (const TOrderLine& line : o.lines) {
            changed = changed || !current.contains(line.oid) || !KxDoc::sameDecimal(current.value(line.oid), line.num) || seen.contains(line.oid);
            seen.insert(line.oid);
        }
        changed = changed || seen.size() != current.size();
        if (changed)
            throw TServiceError(kxRefused, QStringLiteral("订单【%1】在网店已有变动，请刷新订单后再生成拣货单").arg(o.tid));
    }
}

// The picking lists made of the marked orders ("deltamaster", "deltadetail") and the orders
// marked picked ("delta"), all in this call's transaction: any refusal saves nothing.
void updatePicking(TContext& ctx)
{
    const QList<TDeltaChange> marks = KxDocDelta(ctx, QStringLiteral("delta"));
    const QList<TDeltaChange> master = KxDocDelta(ctx, QStringLiteral("deltamaster"));
    const QList<TDeltaChange> detail = KxDocDelta(ctx, QStringLiteral("deltadetail"));
    if (marks.isEmpty() || master.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("没有选择需要生成拣货单的订单"));
    for (const TDeltaChange& m : master)
        if (m.kind != TDeltaChange::Insert)
            throw TServiceError(kxRefused, QStringLiteral("生成拣货单只能提交新的拣货单"));
    const std::vector<TOrder> orders = ordersOf(marks, detail);
    checkOrders(ctx, orders);
    const QStringList ids = KxDocSaveMany(ctx, kKxPicking, master, detail);
    QVariantList args{ctx.nickid};
    for (const TOrder& o : orders)
        args << o.tid;
    KxExec(ctx.db, QStringLiteral("UPDATE kx_trade SET dbstatus = 'PICKINGED' WHERE nickid = ? AND tid IN (%1)")
                       .arg(placeholders(qsizetype(orders.size()), QStringLiteral("?"))), args);
    KxDocAnswerHeaders(ctx, kKxPicking, QStringLiteral("xmlmaster"), ids);
    KxDocAnswerLines(ctx, kKxPicking, QStringLiteral("xmldetail"), ids);
}

// The picking list `pickingid`; without one the empty structures the orders window fills.
void searchPicking(TContext& ctx)
{
    KxDocLoad(ctx, kKxPicking);
}
}
