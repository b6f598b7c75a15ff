#include "NetShop.h"

#include "market/LiveMarket.h"
#include "market/Simulator.h"
#include "market/TradeBooks.h"
#include "store/Statistics.h"

namespace {
const QString kStamp = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// One state of one account, downloaded in pages. The first page (page_no 1) starts a run: the
// marketplace's time now is its end, and it takes every order changed since the last completed
// run. Pages go on from where the previous page stopped, by (modified, tid), so orders that
// change while the run goes on are neither skipped nor repeated; they come with the next run.
// When the last page is in, the run's end becomes where the next run starts. A run that is
// left half way leaves the books consistent (each order is stored whole) and the next run
// fetches everything again from the last completed one, storing what changed.
void downTrades(TContext& ctx)
{
    const QString account = KxShopAccount(ctx, QStringLiteral("detailnick"));
    const QString status = ctx.need(QStringLiteral("status")).trimmed();
    const qint64 daynum = ctx.intParam(QStringLiteral("daynum"), 1);
    const qint64 pageNo = ctx.intParam(QStringLiteral("page_no"), 1);
    const qint64 pageSize = ctx.intParam(QStringLiteral("page_size"), 50);
    if (daynum < 1 || daynum > 366)
        throw TServiceError(kxBadParam, QStringLiteral("参数 daynum 应在 1 到 366 之间"));
    if (pageNo < 1)
        throw TServiceError(kxBadParam, QStringLiteral("参数 page_no 应大于零"));
    if (pageSize < 1 || pageSize > 100)
        throw TServiceError(kxBadParam, QStringLiteral("参数 page_size 应在 1 到 100 之间"));

    TMarketSimulator market(ctx.db, ctx.nickid);
    const QVariantList key{ctx.nickid, account, status, daynum};
    KxExec(ctx.db, QStringLiteral("INSERT INTO kx_trade_sync (nickid, seller_nick, status, daynum) VALUES (?, ?, ?, ?)"
                                  " ON CONFLICT (nickid, seller_nick, status, daynum) DO NOTHING"), key);
    QSqlQuery s = KxExec(ctx.db, QStringLiteral("SELECT done_until, run_until, run_modified, run_tid, run_from, run_total, run_page, run_size"
                                                " FROM kx_trade_sync WHERE nickid = ? AND seller_nick = ? AND status = ? AND daynum = ?"), key);
    s.next();
    const QString doneUntil = s.value(0).toString();
    QString until = s.value(1).toString(), lastModified = s.value(2).toString(), lastTid = s.value(3).toString(), from = s.value(4).toString();
    qint64 total = s.value(5).toLongLong();
    const qint64 runPage = s.value(6).toLongLong(), runSize = s.value(7).toLongLong();
    s.finish();

    TMarketSimulator::TTradeQuery q{account, status, from, doneUntil, until};
    // A first page starts a new run, unless it follows the run's one-order probe.
    const bool continuesProbe = pageNo == 1 && runPage == 1 && runSize == 1 && pageSize > 1 && !until.isEmpty();
    if (pageNo == 1 && !continuesProbe) {
        // The run ends where the marketplace stands once it has caught up with its clock.
        const QDateTime now = TLiveMarket(ctx.db, ctx.nickid, market).catchUp();
        q.until = until = now.toString(kStamp);
        q.createdFrom = from = now.addDays(-daynum).toString(kStamp);
        lastModified.clear();
        lastTid.clear();
        total = market.countTrades(q);
    } else if (until.isEmpty() && !doneUntil.isEmpty()) {
        // The run has ended: the dialog counts its pages from the total, and the probe's order
        // went with the probe, so a total of one more than whole pages asks for one page more.
        ctx.answer.add(QStringLiteral("total_results"), 0);
        ctx.answer.add(QStringLiteral("fetched"), 0);
        return;
    } else if (until.isEmpty()) {
        throw TServiceError(kxRefused, QStringLiteral("【%1】订单下载没有开始，请重新下载").arg(account));
    }

    QSqlQuery page = market.trades(q, lastModified, lastTid, int(pageSize));
    TTradeBooks books(ctx.db, ctx.nickid, market);
    int fetched = 0;
    while (page.next()) {
        books.store(page);
        lastModified = page.value(11).toString();
        lastTid = page.value(0).toString();
        ++fetched;
    }
    page.finish();
    bool more = fetched == pageSize;
    if (more) {
        QSqlQuery next = market.trades(q, lastModified, lastTid, 1);
        more = next.next();
    }
    if (more) {
        KxExec(ctx.db, QStringLiteral("UPDATE kx_trade_sync SET run_until = ?, run_modified = ?, run_tid = ?, run_from = ?, run_total = ?,"
                                      " run_page = ?, run_size = ? WHERE nickid = ? AND seller_nick = ? AND status = ? AND daynum = ?"),
               QVariantList{until, lastModified, lastTid, from, total, pageNo, pageSize} + key);
    } else {
        KxExec(ctx.db, QStringLiteral("UPDATE kx_trade_sync SET done_until = ?, run_until = '', run_modified = '', run_tid = '', run_from = '',"
                                      " run_total = 0, run_page = 0, run_size = 0 WHERE nickid = ? AND seller_nick = ? AND status = ? AND daynum = ?"),
               QVariantList{until} + key);
        // A big download is a bulk fill: the order list's first pages plan on fresh statistics.
        if (total >= 500)
            KxAnalyse(ctx.db, {QStringLiteral("kx_trade"), QStringLiteral("kx_trade_order")});
    }
    ctx.answer.add(QStringLiteral("total_results"), total);
    ctx.answer.add(QStringLiteral("fetched"), fetched);
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

const std::vector<TMethodDef>& KxNetShopMethods()
{
    static const std::vector<TMethodDef> methods = {
        {"NetShop.DownTrades", EAccess::Module, ETx::Write, downTrades},
        {"NetShop.DownTrade", EAccess::Module, ETx::Write, downTrade},
        {"NetShop.TradeRate", EAccess::Module, ETx::Write, tradeRate},
    };
    return methods;
}
