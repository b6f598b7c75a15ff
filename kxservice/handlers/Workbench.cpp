#include "Workbench.h"

#include "StockPush.h"
#include "store/DocKinds.h"
#include "store/Packet.h"
#include "uClock.h"

#include <QDate>
#include <QHash>

namespace {
using Col = TPacketColumn;

// One figure as answered. `conditions` are name=value lines, one a line.
struct TFigure {
    QString queue, caption, sellerNick;
    qint64 num = 0;
    QString amount = QStringLiteral("0");
    QString module;
    QStringList conditions;
};

// The modules the operator may open, by name: public ones and those the operator holds a
// rights row for (the navigation tables follow the same rule).
QHash<QString, int> openableModules(TContext& ctx)
{
    QHash<QString, int> mods;
    QSqlQuery q = KxExec(ctx.db, QStringLiteral(
        "SELECT m.mod_name, m.mod_id FROM kx_module m WHERE m.nickid = ? AND (m.ispublic = 1 OR EXISTS"
        " (SELECT 1 FROM kx_power w WHERE w.nickid = m.nickid AND w.mod_id = m.mod_id AND w.operid = ?))"),
                         {ctx.nickid, ctx.operid});
    while (q.next())
        mods.insert(q.value(0).toString(), q.value(1).toInt());
    return mods;
}

qint64 count(TContext& ctx, const QString& sql, const QVariantList& args)
{
    return KxScalar(ctx.db, sql, args).toLongLong();
}

// The stock documents whose saved, unaudited headers are counted per kind. Picking lists have
// their own figure; count sheets belong to their stocktake.
struct TDocQueue {
    const TDocKind* kind;
    const char* module;
    bool shopList; // the list window shows the logged-in shop's documents only
};
const TDocQueue kDocQueues[] = {
    {&kKxReceive, "Receive.Module", false},         {&kKxOutput, "Output.Module", false},
    {&kKxWhole, "Whole.Module", true},              {&kKxResult, "Result.Module", false},
    {&kKxAllocate, "Allocate.Module", false},       {&kKxAdjust, "Adjust.Module", false},
    {&kKxAdjustCost, "AdjustCost.Module", false},   {&kKxAdjustPrice, "AdjustPrice.Module", false},
    {&kKxAdjustItemCost, "AdjustItemCost.Module", false}, {&kKxAdjustItemPrice, "AdjustItemPrice.Module", false},
    {&kKxRefunding, "Refunding.Module", false},
};

void search(TContext& ctx)
{
    const QHash<QString, int> mods = openableModules(ctx);
    const QDate today = KxNow().date();
    const QString day = today.toString(QStringLiteral("yyyy-MM-dd"));
    const QString tomorrow = today.addDays(1).toString(QStringLiteral("yyyy-MM-dd"));
    const QString yesterday = today.addDays(-1).toString(QStringLiteral("yyyy-MM-dd"));
    QList<TFigure> figures;
    auto may = [&](const char* module) { return mods.contains(QLatin1String(module)); };

    if (may("Trade.Module")) {
        // What the orders window shows on its "未拣货" tab.
        figures.append({"topick", "待拣货", {},
                        count(ctx, QStringLiteral("SELECT COUNT(*) FROM kx_trade WHERE nickid = ? AND dbstatus = 'NOT_PICKING' AND refund = 0"
                                                  " AND status IN ('WAIT_SELLER_SEND_GOODS', 'WAIT_BUYER_CONFIRM_GOODS', 'TRADE_FINISHED')"),
                              {ctx.nickid}),
                        "0", "Trade.Module", {"dbstatus=NOT_PICKING", "refund=0", "tab=未拣货"}});
        // Today's orders per shop account; sales are what the buyers paid on the orders not
        // waiting for payment and not closed.
        QSqlQuery q = KxExec(ctx.db, QStringLiteral(
            "SELECT seller_nick, COUNT(*), SUM(CASE WHEN status IN ('WAIT_BUYER_PAY', 'TRADE_CLOSED') THEN 0 ELSE payment END)"
            " FROM kx_trade WHERE nickid = ? AND created >= ? AND created < ? GROUP BY seller_nick ORDER BY seller_nick"),
                             {ctx.nickid, day, tomorrow});
        while (q.next()) {
            const QString nick = q.value(0).toString();
            figures.append({"today", "今日订单", nick, q.value(1).toLongLong(), q.value(2).toString(), "Trade.Module",
                            {"seller_nick=" + nick, "datefrom=" + day, "dateto=" + day, "tab=所有订单"}});
        }
    }
    if (may("Picking.Module"))
        // The picking list window shows the logged-in shop's lists.
        figures.append({"pickaudit", "拣货单待审核", {},
                        count(ctx, QStringLiteral("SELECT COUNT(*) FROM kx_picking WHERE nickid = ? AND status = 1 AND shopcode = ?"),
                              {ctx.nickid, ctx.shopcode}),
                        "0", "Picking.Module", {"status=1"}});
    if (may("PickingSend.Module"))
        figures.append({"picksend", "待发货", {},
                        count(ctx, QStringLiteral("SELECT COUNT(*) FROM kx_picking WHERE nickid = ? AND status = 2 AND issend = 0"), {ctx.nickid}),
                        "0", "PickingSend.Module", {"status=2", "issend=0"}});
    if (may("Refund.Module")) {
        figures.append({"refund", "退款待处理", {},
                        count(ctx, QStringLiteral("SELECT COUNT(*) FROM kx_refund WHERE nickid = ? AND status = 'WAIT_SELLER_AGREE'"), {ctx.nickid}),
                        "0", "Refund.Module", {"status=WAIT_SELLER_AGREE", "tab=申请的"}});
        // Of them, those whose deadline falls today (or passed while the books still wait).
        figures.append({"refunddue", "今日到期退款", {},
                        count(ctx, QStringLiteral("SELECT COUNT(*) FROM kx_refund WHERE nickid = ? AND status = 'WAIT_SELLER_AGREE'"
                                                  " AND timeout <> '' AND timeout < ?"), {ctx.nickid, tomorrow}),
                        "0", "Refund.Module", {"status=WAIT_SELLER_AGREE", "timeoutto=" + day, "tab=申请的"}});
    }
    if (may("CommodityStock.Module"))
        figures.append({"belowmin", "低于库存下限", {},
                        count(ctx, QStringLiteral("SELECT COUNT(*) FROM kx_commodity t WHERE t.nickid = ? AND t.is_del = 0 AND t.is_pack = 0 AND ")
                                       + QLatin1String(kKxBelowMinimumStock), {ctx.nickid}),
                        "0", "CommodityStock.Module", {"belowmin=1", "is_del=0", "is_pack=0"}});
    // Documents saved on an earlier day and still not audited, per kind that has any.
    for (const TDocQueue& d : kDocQueues) {
        if (!may(d.module))
            continue;
        QString sql = QStringLiteral("SELECT COUNT(*) FROM %1 WHERE nickid = ? AND status = 1 AND inputtime < ?").arg(QLatin1String(d.kind->table));
        QVariantList args{ctx.nickid, day};
        if (d.shopList) {
            sql += QStringLiteral(" AND shopcode = ?");
            args << ctx.shopcode;
        }
        const qint64 n = count(ctx, sql, args);
        if (n > 0)
            figures.append({"unaudited", QString::fromUtf8(d.kind->title), {}, n, "0", d.module, {"status=1", "dateto=" + yesterday}});
    }

    QStringList selects;
    QVariantList args;
    for (const TFigure& f : figures) {
        selects << QStringLiteral("SELECT ?, ?, ?, ?, ?, ?, ?, ?");
        args << f.queue << f.caption << f.sellerNick << f.num << f.amount << mods.value(f.module) << f.module
             << f.conditions.join(QLatin1Char('\n'));
    }
    const QList<Col> cols{{"queue", Col::Text, 20},      {"caption", Col::Text, 50}, {"seller_nick", Col::Text, 50},
                          {"num", Col::Integer},        {"amount", Col::Decimal},   {"mod_id", Col::Integer},
                          {"mod_name", Col::Text, 50},  {"conditions", Col::Text, 500}};
    if (selects.isEmpty()) {
        // No figure the operator may see: the structure alone.
        selects << QStringLiteral("SELECT '', '', '', 0, 0, 0, '', '' WHERE 1 = 0");
    }
    QSqlQuery q = KxExec(ctx.db, selects.join(QStringLiteral(" UNION ALL ")), args);
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, cols));
    ctx.answer.add(QStringLiteral("today"), day);
}
}

const std::vector<TMethodDef>& KxWorkbenchMethods()
{
    static const std::vector<TMethodDef> methods = {
        {"Workbench.Search", EAccess::Operator, ETx::Read, search},
    };
    return methods;
}
