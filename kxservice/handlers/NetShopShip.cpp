#include "NetShopShip.h"

#include "LocalClock.h"
#include "market/LiveMarket.h"
#include "market/Simulator.h"
#include "store/DocGenerated.h"
#include "store/DocSql.h"

namespace {
void pickingSend(TContext& ctx);
}

const std::vector<TMethodDef>& KxNetShopShipMethods()
{
    static const std::vector<TMethodDef> methods = {
        {"NetShop.PickingSend", EAccess::Module, ETx::Write, pickingSend},
    };
    return methods;
}

namespace {
// Reports one picking shipped: each marketplace order on it moves to "waiting for the buyer's
// confirmation" with the carrier and number. An order the marketplace refuses (closed, shipped
// already, a refund running) refuses the whole picking with the marketplace's reason, and
// nothing of it is shipped. A picking reported before is not reported again.
void pickingSend(TContext& ctx)
{
    const QString id = ctx.need(QStringLiteral("pickingid")).trimmed();
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT status, issend, company_code, out_sid, sendtime FROM kx_picking WHERE nickid = ? AND pickingid = ?")
                                     + KxDoc::forUpdate(ctx.db), {ctx.nickid, id});
    if (!q.next())
        throw TServiceError(kxRefused, QStringLiteral("拣货单【%1】不存在").arg(id.left(40)));
    const int status = q.value(0).toInt();
    const bool shipped = q.value(1).toInt() != 0;
    const QString company = q.value(2).toString().trimmed(), number = q.value(3).toString().trimmed(), sent = q.value(4).toString();
    q.finish();
    if (shipped) {
        ctx.answer.add(QStringLiteral("issend"), qint64(1));
        ctx.answer.add(QStringLiteral("sendtime"), sent);
        ctx.answer.add(QStringLiteral("skipped"), qint64(1));
        return;
    }
    if (status != 2)
        throw TServiceError(kxRefused, QStringLiteral("拣货单【%1】尚未审核，不能发货！").arg(id));
    if (company.isEmpty() || number.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("拣货单【%1】没有物流公司或运单号，不能发货！").arg(id));

    QStringList tids;
    QSqlQuery t = KxExec(ctx.db, QStringLiteral("SELECT DISTINCT tid FROM kx_picking_line WHERE nickid = ? AND pickingid = ? AND tid <> '' ORDER BY tid"),
                         {ctx.nickid, id});
    while (t.next())
        tids << t.value(0).toString();
    t.finish();
    if (!tids.isEmpty()) {
        TMarketSimulator market(ctx.db, ctx.nickid);
        // The buyers have gone on meanwhile: an order may have been closed or a refund opened.
        TLiveMarket(ctx.db, ctx.nickid, market).catchUp();
        for (const QString& tid : tids) {
            try {
                market.ship(tid, company, number);
            } catch (const TServiceError& e) {
                throw TServiceError(e.Code, QStringLiteral("拣货单【%1】发货失败：%2").arg(id, e.Msg));
            }
        }
    }
    const QString when = KxLocalNowText();
    KxExec(ctx.db, QStringLiteral("UPDATE kx_picking SET issend = 1, sendtime = ?, sendren = ? WHERE nickid = ? AND pickingid = ?"),
           {when, KxOperatorStamp(ctx), ctx.nickid, id});
    ctx.answer.add(QStringLiteral("issend"), qint64(1));
    ctx.answer.add(QStringLiteral("sendtime"), when);
}
}
