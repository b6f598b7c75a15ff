// Marketplace orders against the real service (SQLite, and PostgreSQL with "_pg" names when
// KX_PG_URL is set). trade_down: the marketplace holds 10,000 orders of the last ten weeks and
// the download dialog fetches them all ("全部状态", "最后三月"), its progress bar following. trade_list: 100,000 orders in the books, one line
// or two each; a page's service time (first, middle and last pages) and every page in turn.
// The service's share is its own figure from the access log.
#include "BenchEngines.h"
#include "ServiceFixture.h"
#include "market/Simulator.h"
#include "store/Statistics.h"

#include "uConfig.h"
#include "ufrmTradeDown.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QListWidget>
#include <QProgressBar>
#include <algorithm>
#include <cstdio>

namespace {
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};

// `suffix` ends the lines' names: "" on SQLite, "_pg" on PostgreSQL.
int run(const QString& kind, const char* suffix)
{
    TServiceFixture fx(kind);
    const bool sqlite = fx.service->store().isSqlite();
    KxSetServiceUrl(fx.url());
    const TCallResult login = fx.call({kAdmin.nick, QString(), QString()}, "PowerMger.Login",
                                      {{"shopcode", kAdmin.shop}, {"usercode", kAdmin.oper}, {"password", "admin888"}});
    if (!login.ok) {
        std::fprintf(stderr, "login failed: %s\n", qPrintable(login.error));
        return 1;
    }
    const QString log = fx.dir.filePath(QStringLiteral("service.log"));
    gNickId = QStringLiteral("1001");
    gOperId = QStringLiteral("admin");
    gOperName = QStringLiteral("管理员");
    gShopId = QStringLiteral("S01");

    // ---- trade_down
    constexpr int kDown = 10000;
    {
        QSqlDatabase db = fx.db();
        for (const char* t : {"kx_mk_trade", "kx_mk_order", "kx_mk_refund", "kx_mk_item", "kx_mk_sku", "kx_trade", "kx_trade_order", "kx_trade_sync"})
            KxExec(db, QStringLiteral("DELETE FROM %1 WHERE nickid = '1001'").arg(QLatin1String(t)));
        TTransaction t(fx.service->store(), db, true);
        // Ten weeks of orders, all of them with the main account.
        KxExec(db, QStringLiteral("DELETE FROM kx_subnick WHERE nickid = '1001'"));
        TMarketSimulator(db, QStringLiteral("1001")).populate(7, kDown, QDate::currentDate().addDays(-70), QStringLiteral("varnoq_demo"), 600);
        t.commit();
        KxVacuumAnalyse(db, {QStringLiteral("kx_mk_trade"), QStringLiteral("kx_mk_order"), QStringLiteral("kx_mk_refund"), QStringLiteral("kx_mk_item"),
                       QStringLiteral("kx_mk_sku")});
    }
    gNickName = QStringLiteral("varnoq_demo");
    gSubNicks.clear();
    TfrmTradeDown down;
    down.NickList()->item(0)->setCheckState(Qt::Checked);
    down.StateBox(QStringLiteral("全部状态"))->setChecked(true);
    down.DayBox()->setCurrentIndex(4);
    qint64 from = QFileInfo(log).size();
    QElapsedTimer timer;
    timer.start();
    down.btnDownClick();
    const qint64 downMs = timer.elapsed();
    int pages = 0;
    const qint64 downService = KxServiceMs(log, from, QStringLiteral("NetShop.DownTrades"), &pages);
    const int stored = fx.scalar("SELECT COUNT(*) FROM kx_trade WHERE nickid = '1001'").toInt();
    if (stored != kDown || down.Progress()->value() != 100) {
        std::fprintf(stderr, "downloaded %d of %d orders, progress %d\n", stored, kDown, down.Progress()->value());
        return 1;
    }
    std::printf("BENCH trade_down%s orders=%d calls=%d ms=%lld service_ms=%lld\n", suffix, kDown, pages, downMs, downService);
    std::fflush(stdout);

    // ---- trade_list
    constexpr int kOrders = 100000;
    {
        QSqlDatabase db = fx.db();
        TTransaction t(fx.service->store(), db, true);
        KxExec(db, QStringLiteral("DELETE FROM kx_trade WHERE nickid = '1001'"));
        KxExec(db, QStringLiteral("DELETE FROM kx_trade_order WHERE nickid = '1001'"));
        // Every five minutes from 2025-01-01 on, as text stamps; each engine has its own date arithmetic.
        const auto at = [&](const char* seconds) {
            return sqlite ? QStringLiteral("datetime('2025-01-01', '+' || (%1) || ' seconds')").arg(QLatin1String(seconds))
                          : QStringLiteral("to_char(TIMESTAMP '2025-01-01' + (%1) * INTERVAL '1 second', 'YYYY-MM-DD HH24:MI:SS')").arg(QLatin1String(seconds));
        };
        KxExec(db, QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?)"
            " INSERT INTO kx_trade (nickid, tid, seller_nick, buyer_nick, trade_type, status, payment, post_fee, created, modified,"
            " pay_time, receiver_name, receiver_state, receiver_city, receiver_district, address, receiver_mobile, buyer_message, downloaded)"
            " SELECT '1001', CAST(4000000000000 + i AS TEXT), 'varnoq_demo', 'buyer_' || (i % 5000), 'fixed',"
            " CASE i % 5 WHEN 0 THEN 'WAIT_BUYER_PAY' WHEN 1 THEN 'WAIT_SELLER_SEND_GOODS' WHEN 2 THEN 'WAIT_BUYER_CONFIRM_GOODS'"
            " WHEN 3 THEN 'TRADE_FINISHED' ELSE 'TRADE_CLOSED' END, 128.50, 8, %1, %1, %2,"
            " '张伟', '浙江省', '杭州市', '西湖区', '幸福路' || (i % 300) || '号', '13700000000', '请尽快发货🚚', '2026-01-01 00:00:00'"
            " FROM n").arg(at("i * 300"), at("i * 300 + 600")), {kOrders});
        KxExec(db, QStringLiteral(
            "INSERT INTO kx_trade_order (nickid, oid, tid, num_iid, sku_id, sku_properties_name, title, price, num, total_fee, payment, commoditycode, status)"
            " SELECT nickid, tid || '1', tid, '520000000001', '4200000000101', '颜色分类:红;尺码:M', '纯棉T恤', 64.25, 2, 128.50, 128.50, '', status FROM kx_trade WHERE nickid = '1001'"));
        KxExec(db, QStringLiteral(
            "INSERT INTO kx_trade_order (nickid, oid, tid, num_iid, sku_id, sku_properties_name, title, price, num, total_fee, payment, commoditycode, status)"
            " SELECT nickid, tid || '2', tid, '520000000002', '4200000000201', '颜色分类:蓝;尺码:L', '休闲裤', 99.00, 1, 99.00, 99.00, '', status"
            " FROM kx_trade WHERE nickid = '1001' AND CAST(tid AS BIGINT) % 2 = 0"));
        t.commit();
        KxVacuumAnalyse(db, {QStringLiteral("kx_trade"), QStringLiteral("kx_trade_order")});
    }
    const auto page = [&](int p) {
        return fx.call(kAdmin, "Trade.Search", {{"curpage", QString::number(p)}});
    };
    const int pageCount = page(1).value("pagecount").toInt();
    std::vector<qint64> pageMs;
    for (int p : {1, pageCount / 2, pageCount}) {
        from = QFileInfo(log).size();
        if (!page(p).ok)
            return 1;
        pageMs.push_back(KxServiceMs(log, from, QStringLiteral("Trade.Search")));
    }
    from = QFileInfo(log).size();
    timer.restart();
    for (int p = 1; p <= pageCount; ++p)
        if (!page(p).ok)
            return 1;
    const qint64 allMs = timer.elapsed();
    const qint64 allService = KxServiceMs(log, from, QStringLiteral("Trade.Search"));
    std::printf("BENCH trade_list%s orders=%d pages=%d page_ms=%lld middle_page_ms=%lld last_page_ms=%lld all_pages_ms=%lld service_ms=%lld\n",
                suffix, kOrders, pageCount, pageMs[0], pageMs[1], pageMs[2], allMs, allService);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int rc = 0;
    for (const TBenchEngine& e : KxBenchEngines())
        rc |= run(e.kind, e.suffix);
    return rc;
}
