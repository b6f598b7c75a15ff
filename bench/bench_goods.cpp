// Goods at the service. goods_down: the shop holds 10,000 items with 50,000 SKUs at the
// marketplace and the download dialog's calls fetch them all (the one-item probe, then pages
// of 50, for both listing states). commodity_list: 50,000 products in the books; the first
// page as the product list opens, and every page in turn. The service's share is its own
// figure from the access log. SQLite, and PostgreSQL (names ending in "_pg") when KX_PG_URL is set.
#include "BenchEngines.h"
#include "ServiceFixture.h"
#include "market/Simulator.h"
#include "store/Statistics.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

namespace {
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};

int run(const TBenchEngine& engine)
{
    TServiceFixture fx(engine.kind);
    KxSetServiceUrl(fx.url());
    if (!fx.call({kAdmin.nick, QString(), QString()}, "PowerMger.Login",
                 {{"shopcode", kAdmin.shop}, {"usercode", kAdmin.oper}, {"password", "admin888"}}).ok)
        return 1;
    const QString log = fx.dir.filePath(QStringLiteral("service.log"));
    {
        QSqlDatabase db = fx.db();
        TTransaction tx(fx.service->store(), db, true);
        TMarketSimulator(db, QStringLiteral("1001")).listItems(11, 10000, 6);
        tx.commit();
    }
    const int items = fx.scalar("SELECT COUNT(*) FROM kx_mk_item WHERE nickid = '1001' AND num_iid LIKE '53%'").toInt();
    const int skus = fx.scalar("SELECT COUNT(*) FROM kx_mk_sku WHERE nickid = '1001' AND num_iid LIKE '53%'").toInt();

    const qint64 logFrom = QFileInfo(log).size();
    QElapsedTimer t;
    t.start();
    int calls = 0;
    bool ok = fx.call(kAdmin, "NetShop.DownCategory", {{"detailnick", "varnoq_demo"}}).ok;
    for (const char* status : {"onsale", "instock"}) {
        const auto page = [&](int no, int n) {
            ++calls;
            return fx.call(kAdmin, "NetShop.DownGoods", {{"detailnick", "varnoq_demo"}, {"status", status},
                                                          {"page_no", QString::number(no)}, {"page_size", QString::number(n)}});
        };
        const TCallResult probe = page(1, 1);
        ok = ok && probe.ok;
        const int total = probe.value("total_results").toInt();
        for (int p = 1; ok && p <= (total + 49) / 50; ++p)
            ok = page(p, 50).ok;
    }
    const qint64 ms = t.elapsed();
    const qint64 serviceMs = KxServiceMs(log, logFrom, QStringLiteral("NetShop.DownGoods"));
    const int stored = fx.scalar("SELECT COUNT(*) FROM kx_goods_sku WHERE nickid = '1001' AND num_iid LIKE '53%'").toInt();
    std::printf("BENCH goods_down%s items=%d skus=%d calls=%d ms=%lld service_ms=%lld ok=%d\n", engine.suffix, items, skus, calls, ms,
                serviceMs, ok && stored == skus ? 1 : 0);

    // 50,000 products: the downloaded SKUs become products of their goods.
    fx.exec("INSERT INTO kx_commodity (nickid, commoditycode, goodscode, barcode, commodityname, propcolor, propsize, saleprice, md5_key)"
            " SELECT s.nickid, 'P' || s.sku_id, s.goodscode, '7' || s.sku_id, g.goodsname, s.propcolor, s.propsize, s.price, s.sku_id"
            " FROM kx_goods_sku s JOIN kx_goods g ON g.nickid = s.nickid AND g.goodscode = s.goodscode WHERE s.nickid = '1001'"
            " AND s.num_iid LIKE '53%'");
    {
        QSqlDatabase db = fx.db();
        KxAnalyse(db, {QStringLiteral("kx_commodity")});
    }
    const int rows = fx.scalar("SELECT COUNT(*) FROM kx_commodity WHERE nickid = '1001'").toInt();
    QElapsedTimer o;
    o.start();
    const TCallResult first = fx.call(kAdmin, "Commodity.Search", {{"curpage", "-1"}});
    const qint64 openMs = o.elapsed();
    const int pages = first.value("pagecount").toInt();
    o.restart();
    bool all = first.ok;
    for (int p = 2; all && p <= pages; ++p)
        all = fx.call(kAdmin, "Commodity.Search", {{"curpage", QString::number(p)}}).ok;
    const qint64 allMs = o.elapsed();
    std::printf("BENCH commodity_list%s rows=%d open_ms=%lld all_pages_ms=%lld pages=%d ok=%d\n", engine.suffix, rows, openMs, allMs, pages,
                all && first.value("recordcount").toInt() == rows ? 1 : 0);
    return ok && all ? 0 : 1;
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int rc = 0;
    for (const TBenchEngine& e : KxBenchEngines())
        rc |= run(e);
    return rc;
}
