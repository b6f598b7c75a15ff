#include "NetShop.h"

#include "market/LiveMarket.h"
#include "market/Simulator.h"
#include "market/TradeBooks.h"
#include "store/DownloadRun.h"
#include "store/Statistics.h"

namespace {
void downTrades(TContext& ctx);
void downTrade(TContext& ctx);
void tradeRate(TContext& ctx);
}

const std::vector<TMethodDef>& KxNetShopMethods()
{
    static const std::vector<TMethodDef> methods = {
        {"NetShop.DownTrades", EAccess::Module, ETx::Write, downTrades},
        {"NetShop.DownTrade", EAccess::Module, ETx::Write, downTrade},
        {"NetShop.TradeRate", EAccess::Module, ETx::Write, tradeRate},
    };
    return methods;
}

namespace {
// Orders of one state of one account, in runs (store/DownloadRun.h), by (modified, tid).
void downTrades(TContext& ctx)
{
    const QString account = KxShopAccount(ctx, QStringLiteral("detailnick"));
    const QString status = ctx.need(QStringLiteral("status")).trimmed();
    const TDownloadPage paging = KxDownloadPage(ctx);
    TMarketSimulator market(ctx.db, ctx.nickid);
    TDownloadRun run(ctx, QStringLiteral("kx_trade_sync"), QStringLiteral("run_tid"), account, status, paging);
    const bool starting = run.starts();
    if (starting) {
        // The run ends where the marketplace stands once it has caught up with its clock.
        run.start(TLiveMarket(ctx.db, ctx.nickid, market).catchUp());
    } else if (run.answeredEnded(QStringLiteral("订单下载"))) {
        return;
    }
    const TMarketSimulator::TTradeQuery q{account, status, run.createdFrom(), run.doneUntil(), run.until()};
    if (starting)
        run.total = market.countTrades(q);

    QSqlQuery page = market.trades(q, run.lastModified, run.lastKey, int(paging.pageSize));
    TTradeBooks books(ctx.db, ctx.nickid, market);
    int fetched = 0;
    while (page.next()) {
        books.store(page);
        run.lastModified = page.value(11).toString();
        run.lastKey = page.value(0).toString();
        ++fetched;
    }
    page.finish();
    bool more = fetched == paging.pageSize;
    if (more) {
        QSqlQuery next = market.trades(q, run.lastModified, run.lastKey, 1);
        more = next.next();
    }
    // A big download is a bulk fill: the order list's first pages plan on fresh statistics.
    if (!more && run.total >= 500)
        KxAnalyse(ctx.db, {QStringLiteral("kx_trade"), QStringLiteral("kx_trade_order")});
    run.finish(more, fetched);
}

void downTrade(TContext& ctx)
{
    const QString account = KxShopAccount(ctx, QStringLiteral("detailnick"));
    const QString tid = ctx.need(QStringLiteral("tid")).trimmed();
    TMarketSimulator market(ctx.db, ctx.nickid);
    TLiveMarket(ctx.db, ctx.nickid, market).catchUp();
    QSqlQuery t = market.trade(account, tid);
    if (!t.next())
        throw TServiceError(kxRefused, QStringLiteral("网店【%1】没有订单 %2").arg(account, tid.left(40)));
    TTradeBooks(ctx.db, ctx.nickid, market).store(t);
}

void tradeRate(TContext& ctx)
{
    const QString account = KxShopAccount(ctx, QStringLiteral("detailnick"));
    const QString tid = ctx.need(QStringLiteral("tid")).trimmed();
    const QString result = ctx.need(QStringLiteral("result")).trimmed();
    const QString content = ctx.param(QStringLiteral("content")).trimmed();
    if (result != QLatin1String("good") && result != QLatin1String("neutral") && result != QLatin1String("bad"))
        throw TServiceError(kxBadParam, QStringLiteral("评价结果应为 good、neutral 或 bad：%1").arg(result.left(20)));
    if (content.size() > 500)
        throw TServiceError(kxBadParam, QStringLiteral("评价内容不能超过 500 个字"));
    if (!KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_trade WHERE nickid = ? AND tid = ? AND seller_nick = ?"), {ctx.nickid, tid, account}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("订单 %1 不是网店【%2】的订单").arg(tid.left(40), account));
    TMarketSimulator(ctx.db, ctx.nickid).rate(tid, result, content);
    KxExec(ctx.db, QStringLiteral("UPDATE kx_trade SET seller_rate = 1, seller_can_rate = 0 WHERE nickid = ? AND tid = ?"), {ctx.nickid, tid});
}
}


QString KxShopAccount(const TContext& ctx, const QString& param)
{
    const QString nick = ctx.need(param).trimmed();
    QSqlDatabase& db = ctx.db;
    // The windows name the main account as the client knows it (the seller's name from the
    // directory call); at the marketplace it is the master nick.
    const QVariant main = KxScalar(db, QStringLiteral("SELECT masternick FROM kx_nick WHERE nickid = ? AND (masternick = ? OR nickname = ?)"),
                                   {ctx.nickid, nick, nick});
    if (main.isValid())
        return main.toString();
    if (!KxScalar(db, QStringLiteral("SELECT 1 FROM kx_subnick WHERE nickid = ? AND nick = ?"), {ctx.nickid, nick}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("【%1】不是本店的掌柜账号").arg(nick.left(40)));
    return nick;
}
