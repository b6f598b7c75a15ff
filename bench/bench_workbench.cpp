// The home tab's figures against the real service: 100,000 orders (a tenth waiting for a
// picking list, a few hundred of today), 20,000 picking lists (saved, audited, shipped),
// 5,000 refunds and 5,000 products with minimums, all counted by the one figures call. The
// service's share is its own figure from the access log, the mean of several calls. SQLite,
// and PostgreSQL (names ending in "_pg") when KX_PG_URL is set.
#include "BenchEngines.h"
#include "ServiceFixture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

namespace {
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
constexpr int kOrders = 100000, kPickings = 20000, kRefunds = 5000, kProducts = 5000, kCalls = 9;

// Rows 1..n, for INSERT ... SELECT on both engines.
QString numbers(int n)
{
    return QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) ").arg(n);
}

int run(const QString& kind, const char* suffix)
{
    TServiceFixture fx(kind);
    KxSetServiceUrl(fx.url());
    const TCallResult login = fx.call({kAdmin.nick, QString(), QString()}, "PowerMger.Login",
                                      {{"shopcode", kAdmin.shop}, {"usercode", kAdmin.oper}, {"password", "admin888"}});
    if (!login.ok) {
        std::fprintf(stderr, "login failed: %s\n", qPrintable(login.error));
        return 1;
    }
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    {
        QSqlDatabase db = fx.db();
        TTransaction t(fx.service->store(), db, true);
        for (const char* table : {"kx_trade", "kx_trade_order", "kx_picking", "kx_picking_line", "kx_refund"})
            KxExec(db, QStringLiteral("DELETE FROM %1 WHERE nickid = '1001'").arg(QLatin1String(table)));
        // Orders over 200 days, the last few hundred today; one in ten not picked yet.
        KxExec(db, QStringLiteral("INSERT INTO kx_trade (nickid, tid, seller_nick, buyer_nick, status, payment, created, modified,"
                                  " downloaded, dbstatus, refund) ") + numbers(kOrders)
                       + QStringLiteral("SELECT '1001', 'B' || (1000000 + i), CASE WHEN i % 3 = 0 THEN 'varnoq_sub' ELSE 'varnoq_demo' END,"
                                        " 'buyer' || (i % 3000), CASE i % 5 WHEN 0 THEN 'WAIT_BUYER_PAY' WHEN 1 THEN 'WAIT_SELLER_SEND_GOODS'"
                                        " WHEN 2 THEN 'WAIT_BUYER_CONFIRM_GOODS' WHEN 3 THEN 'TRADE_FINISHED' ELSE 'TRADE_CLOSED' END,"
                                        " 10 + i % 90, CASE WHEN i > %1 THEN '%2 08:00:00' ELSE '2026-01-01 00:00:00' END, '2026-01-01 00:00:00',"
                                        " '2026-01-01 00:00:00', CASE WHEN i % 10 = 1 THEN 'NOT_PICKING' ELSE 'PICKINGED' END,"
                                        " CASE WHEN i % 97 = 0 THEN 1 ELSE 0 END FROM n").arg(kOrders - 400).arg(today));
        KxExec(db, QStringLiteral("INSERT INTO kx_picking (nickid, pickingid, md5_key, shopcode, status, issend, inputtime) ") + numbers(kPickings)
                       + QStringLiteral("SELECT '1001', 'JH' || (1000000 + i), 'k' || i, 'S01', CASE WHEN i % 4 = 0 THEN 1 ELSE 2 END,"
                                        " CASE WHEN i % 4 = 1 THEN 0 ELSE 1 END, '2026-01-01 00:00:00' FROM n"));
        KxExec(db, QStringLiteral("INSERT INTO kx_refund (nickid, refund_id, status, timeout, created) ") + numbers(kRefunds)
                       + QStringLiteral("SELECT '1001', 'R' || i, CASE WHEN i % 5 = 0 THEN 'WAIT_SELLER_AGREE' ELSE 'SUCCESS' END,"
                                        " CASE WHEN i % 5 = 0 THEN '%1 23:00:00' ELSE '' END, '2026-01-01 00:00:00' FROM n").arg(today));
        KxExec(db, QStringLiteral("INSERT INTO kx_commodity (nickid, commoditycode, goodscode, barcode, commodityname, minstock, md5_key) ") + numbers(kProducts)
                       + QStringLiteral("SELECT '1001', 'WB' || i, 'WBG', 'WB' || i, '商品' || i, i % 20, 'wb' || i FROM n"));
        t.commit();
    }
    if (kind == u"postgresql") {
        // What autovacuum does soon after a bulk load: statistics, and the visibility map
        // that lets a count read an index alone.
        QSqlDatabase db = fx.db();
        for (const char* table : {"kx_trade", "kx_picking", "kx_refund", "kx_commodity"})
            KxExec(db, QStringLiteral("VACUUM ANALYZE %1").arg(QLatin1String(table)));
    }
    const QString log = fx.dir.filePath(QStringLiteral("service.log"));
    const qint64 from = QFileInfo(log).size();
    QElapsedTimer timer;
    timer.start();
    TCallResult r;
    for (int i = 0; i < kCalls; ++i) {
        r = fx.call(kAdmin, "Workbench.Search");
        if (!r.ok) {
            std::fprintf(stderr, "figures refused: %s\n", qPrintable(r.error));
            return 1;
        }
    }
    const qint64 wholeMs = timer.elapsed() / kCalls;
    int calls = 0;
    const qint64 serviceMs = KxServiceMs(log, from, QStringLiteral("Workbench.Search"), &calls);
    const auto figures = KxDataSet(r.value("xmldata"));
    QString topick;
    for (figures->First(); !figures->Eof(); figures->Next())
        if (figures->FieldByName("queue")->AsString() == u"topick")
            topick = figures->FieldByName("num")->AsString();
    std::printf("BENCH workbench%s orders=%d pickings=%d service_ms=%.1f ms=%lld topick=%s\n", suffix, kOrders, kPickings,
                calls ? double(serviceMs) / calls : -1.0, wholeMs, qPrintable(topick));
    std::fflush(stdout);
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    for (const TBenchEngine& e : KxBenchEngines())
        if (int rc = run(e.kind, e.suffix))
            return rc;
    return 0;
}
