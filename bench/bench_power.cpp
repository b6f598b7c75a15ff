// Pushes and rights saves. stock_push: 10,000 marketplace SKUs, each mapped to a product of
// its own, pushed from the stock view's run over every row (the rows back to back: the
// window's 100 ms between rows would make it 1,000 s of waiting), through the service into
// the simulated marketplace. power_save: 50 operators, each given a whole set of rights over
// every module the rights form shows, one save each; the service's own milliseconds per save.
// SQLite, and PostgreSQL (names ending in "_pg") when KX_PG_URL is set.
#include "BenchEngines.h"
#include "ServiceFixture.h"
#include "market/Simulator.h"
#include "store/Statistics.h"
#include "ufrmCommodityStock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProgressBar>
#include <QTimer>
#include <cstdio>

namespace {
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};

int stockPush(TServiceFixture& fx, const TBenchEngine& engine)
{
    const QString log = fx.dir.filePath(QStringLiteral("service.log"));
    {
        QSqlDatabase db = fx.db();
        TTransaction tx(fx.service->store(), db, true);
        TMarketSimulator(db, QStringLiteral("1001")).listItems(5, 2000, 6);
        tx.commit();
    }
    // 10,000 SKUs, each mapped to a product of its own, with stock in a dispatch storage.
    fx.exec("DELETE FROM kx_sku_bind WHERE nickid = '1001'");
    fx.exec("INSERT INTO kx_sku_bind (nickid, num_iid, sku_id, commoditycode, operid, bound_at)"
            " SELECT nickid, num_iid, sku_id, 'P' || sku_id, 'admin', '' FROM kx_mk_sku WHERE nickid = '1001' AND num_iid LIKE '53%'"
            " ORDER BY sku_id LIMIT 10000");
    fx.exec("INSERT INTO kx_commodity (nickid, commoditycode, goodscode, barcode, commodityname, saleprice, md5_key)"
            " SELECT s.nickid, b.commoditycode, 'G', '8' || s.sku_id, s.properties_name, s.price, s.sku_id FROM kx_sku_bind b"
            " JOIN kx_mk_sku s ON s.nickid = b.nickid AND s.sku_id = b.sku_id WHERE b.nickid = '1001'");
    fx.exec("INSERT INTO kx_stock (nickid, storageid, commoditycode, stocknum) SELECT nickid, 'CK01', commoditycode, 7 FROM kx_commodity"
            " WHERE nickid = '1001' AND commoditycode LIKE 'P53%'");
    {
        QSqlDatabase db = fx.db();
        KxAnalyse(db, {QStringLiteral("kx_commodity"), QStringLiteral("kx_sku_bind"), QStringLiteral("kx_stock")});
    }
    const int skus = fx.scalar("SELECT COUNT(*) FROM kx_sku_bind WHERE nickid = '1001' AND commoditycode LIKE 'P53%'").toInt();

    TfrmCommodityStock form;
    form.InitModule(QStringLiteral("<response><moduletitle>库存同步</moduletitle><modulepower>isaudit=True;issearch=True;</modulepower>"
                                   "<search>CommodityStock.Search</search></response>"));
    const TCallResult rows = fx.call(kAdmin, "CommodityStock.Search", {{"commoditycode", ""}, {"curpage", "0"}});
    if (!rows.ok || !form.ListData()->SetKXXMLData(rows.value("xmldata")))
        return 1;
    // Only the benchmark's products (the demo's own have no mappings now).
    TPClientDataSet* list = form.ListData();
    for (list->First(); !list->Eof();) {
        if (list->FieldByName(QStringLiteral("commoditycode"))->AsString().startsWith(QLatin1String("P53")))
            list->Next();
        else
            list->Delete();
    }
    list->MergeChangeLog();
    const int products = form.ListData()->RecordCount();
    form.SetPushInterval(0);
    const qint64 logFrom = QFileInfo(log).size();
    QElapsedTimer t;
    t.start();
    form.PushAllClick();
    while (form.PushTimer()->isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 ms = t.elapsed();
    int calls = 0;
    const qint64 serviceMs = KxServiceMs(log, logFrom, QStringLiteral("NetShop.UpdateStock"), &calls);
    const int reached = fx.scalar("SELECT COUNT(*) FROM kx_mk_sku s JOIN kx_sku_bind b ON b.nickid = s.nickid AND b.sku_id = s.sku_id"
                                  " WHERE s.nickid = '1001' AND s.quantity = 7").toInt();
    std::printf("BENCH stock_push%s skus=%d products=%d calls=%d ms=%lld service_ms=%lld progress=%d ok=%d\n", engine.suffix, skus, products,
                calls, ms, serviceMs, form.Progress()->value(), reached == skus ? 1 : 0);
    return reached == skus ? 0 : 1;
}

int powerSave(TServiceFixture& fx, const TBenchEngine& engine)
{
    const QString log = fx.dir.filePath(QStringLiteral("service.log"));
    const QString hash = fx.scalar("SELECT pwhash FROM kx_operator WHERE nickid = '1001' AND operid = 'clerk'").toString();
    for (int i = 1; i <= 50; ++i)
        fx.exec("INSERT INTO kx_operator (nickid, operid, opername, pwhash, isuse) VALUES ('1001', ?, ?, ?, 1)",
                {QStringLiteral("op%1").arg(i, 2, 10, QLatin1Char('0')), QStringLiteral("操作员%1").arg(i), hash});
    // The catalogue's modules and more of the kind, to 90.
    const int have = fx.scalar("SELECT COUNT(*) FROM kx_module WHERE nickid = '1001' AND ispublic = 0").toInt();
    const int top = fx.scalar("SELECT MAX(mod_id) FROM kx_module WHERE nickid = '1001'").toInt();
    for (int i = 1; i <= 90 - have; ++i)
        fx.exec("INSERT INTO kx_module (nickid, mod_id, mod_name, moduleclass, moduletitle) VALUES ('1001', ?, ?, 'TfrmBench', ?)",
                {top + i, QStringLiteral("Bench.M%1").arg(i), QStringLiteral("模块%1").arg(i)});
    int modules = 0;
    bool ok = true;
    const qint64 logFrom = QFileInfo(log).size();
    QElapsedTimer t;
    t.start();
    for (int i = 1; i <= 50 && ok; ++i) {
        const QString operid = QStringLiteral("op%1").arg(i, 2, 10, QLatin1Char('0'));
        // As the rights form does it: the rows shown, the stored set, everything replaced.
        const TCallResult shown = fx.call(kAdmin, "Power.Show", {{"curoperid", operid}, {"curpage", "0"}});
        const TCallResult stored = fx.call(kAdmin, "Power.Search", {{"curoperid", operid}, {"curpage", "0"}});
        auto grid = KxDataSet(shown.value("xmldata"));
        TPClientDataSet set;
        ok = shown.ok && stored.ok && grid && set.SetKXXMLData(stored.value("xmldata"));
        if (!ok)
            break;
        while (!set.IsEmpty()) {
            set.First();
            set.Delete();
        }
        modules = grid->RecordCount();
        for (grid->First(); !grid->Eof(); grid->Next()) {
            set.Append();
            set.FieldByName("operid")->SetAsString(operid);
            set.FieldByName("mod_id")->SetAsInteger(grid->FieldByName("pmod_id")->AsInteger());
            for (const char* r : {"isupdate", "isaudit", "issearch", "isprint", "isoutput", "iscolumn"})
                set.FieldByName(r)->SetAsBoolean((grid->RecNo() + i) % 3 != 0);
            set.Post();
        }
        ok = fx.call(kAdmin, "Power.Update", {}, {{"delta", set.GetKXXMLDelta()}}).ok;
    }
    const qint64 ms = t.elapsed();
    int calls = 0;
    const qint64 serviceMs = KxServiceMs(log, logFrom, QStringLiteral("Power.Update"), &calls);
    const int rows = fx.scalar("SELECT COUNT(*) FROM kx_power WHERE nickid = '1001' AND operid LIKE 'op%'").toInt();
    std::printf("BENCH power_save%s operators=50 modules=%d service_ms=%.1f saves=%d whole_ms=%lld rows=%d ok=%d\n", engine.suffix, modules,
                calls ? double(serviceMs) / calls : -1.0, calls, ms, rows, ok && rows == 50 * modules ? 1 : 0);
    return ok ? 0 : 1;
}

int run(const TBenchEngine& engine)
{
    TServiceFixture fx(engine.kind);
    KxSetServiceUrl(fx.url());
    if (!fx.call({kAdmin.nick, QString(), QString()}, "PowerMger.Login",
                 {{"shopcode", kAdmin.shop}, {"usercode", kAdmin.oper}, {"password", "admin888"}}).ok)
        return 1;
    gNickId = kAdmin.nick;
    gOperId = kAdmin.oper;
    gShopId = kAdmin.shop;
    return powerSave(fx, engine) | stockPush(fx, engine);
}
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int rc = 0;
    for (const TBenchEngine& e : KxBenchEngines())
        rc |= run(e);
    return rc;
}
