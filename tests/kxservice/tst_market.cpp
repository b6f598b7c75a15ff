// The marketplace simulator: the same seed gives the same marketplace, every order and
// refund status is present, and the seller's actions follow the marketplace's rules.
#include "market/Simulator.h"
#include "protocol/ServiceError.h"
#include "store/Database.h"
#include "store/Seeder.h"

#include <QTemporaryDir>
#include <QtTest>

class TestMarket : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    std::unique_ptr<TDatabase> store;

    QStringList column(const QString& sql, const QVariantList& args = {})
    {
        QSqlDatabase db = store->connection();
        QSqlQuery q = KxExec(db, sql, args);
        QStringList out;
        while (q.next())
            out << q.value(0).toString();
        return out;
    }

private Q_SLOTS:
    void initTestCase()
    {
        TDbUrl u;
        QString err;
        QVERIFY(TDbUrl::parse("sqlite:" + dir.filePath("m.db"), u, err));
        store = std::make_unique<TDatabase>(u);
        store->migrate();
        QVERIFY(KxSeedSeller(*store, KxSeedFile("demo.json")));
        QJsonObject twin = KxSeedFile("demo.json");
        QJsonObject s = twin["seller"].toObject();
        s["nickid"] = "3003";
        s["masternick"] = "twin";
        twin["seller"] = s;
        QVERIFY(KxSeedSeller(*store, twin));
        QVERIFY(!KxSeedSeller(*store, twin)); // a seller is created once
    }
    void cleanupTestCase()
    {
        store->releaseThreadConnection();
    }

    void sameSeedSameMarketplace()
    {
        const QString trades = "SELECT tid || status || total_fee || buyer_nick FROM kx_mk_trade WHERE nickid = ? ORDER BY tid";
        QCOMPARE(column(trades, {"1001"}), column(trades, {"3003"}));
        QCOMPARE(column(trades, {"1001"}).size(), 160);
    }

    void everyStatusIsPresent()
    {
        QCOMPARE(column("SELECT DISTINCT status FROM kx_mk_trade WHERE nickid = '1001' ORDER BY status"),
                 QStringList({"TRADE_CLOSED", "TRADE_FINISHED", "WAIT_BUYER_CONFIRM_GOODS", "WAIT_BUYER_PAY", "WAIT_SELLER_SEND_GOODS"}));
        QCOMPARE(column("SELECT DISTINCT status FROM kx_mk_refund WHERE nickid = '1001' ORDER BY status").size(), 6);
        // Every order line names a SKU of the seller's listing, bound to one of its products.
        QCOMPARE(column("SELECT COUNT(*) FROM kx_mk_order o LEFT JOIN kx_mk_sku s ON s.nickid = o.nickid AND s.sku_id = o.sku_id"
                        " LEFT JOIN kx_commodity c ON c.nickid = o.nickid AND c.commoditycode = s.outer_id"
                        " WHERE o.nickid = '1001' AND c.commoditycode IS NULL"), QStringList{"0"});
    }

    void actionsFollowTheRules()
    {
        QSqlDatabase db = store->connection();
        TMarketSimulator m(db, "1001");
        const QString waiting = column("SELECT tid FROM kx_mk_trade WHERE nickid = '1001' AND status = 'WAIT_SELLER_SEND_GOODS' ORDER BY tid").first();
        const QString unpaid = column("SELECT tid FROM kx_mk_trade WHERE nickid = '1001' AND status = 'WAIT_BUYER_PAY' ORDER BY tid").first();
        QVERIFY_THROWS_EXCEPTION(TServiceError, m.ship(waiting, "YTO", ""));  // no waybill number
        QVERIFY_THROWS_EXCEPTION(TServiceError, m.ship(unpaid, "YTO", "YT1"));
        m.ship(waiting, "YTO", "YT123");
        QCOMPARE(column("SELECT status || out_sid FROM kx_mk_trade WHERE nickid = '1001' AND tid = ?", {waiting}),
                 QStringList{"WAIT_BUYER_CONFIRM_GOODS" "YT123"});
        QVERIFY_THROWS_EXCEPTION(TServiceError, m.ship(waiting, "YTO", "YT124")); // shipped once
        const QString sku = column("SELECT sku_id FROM kx_mk_sku WHERE nickid = '1001' ORDER BY sku_id").first();
        m.pushStock(sku, 7);
        QVERIFY_THROWS_EXCEPTION(TServiceError, m.pushStock(sku, -1));
        QVERIFY_THROWS_EXCEPTION(TServiceError, m.pushPrice(sku, "abc"));
        QCOMPARE(column("SELECT kind || ':' || target FROM kx_mk_event WHERE nickid = '1001' ORDER BY seq"),
                 QStringList({"ship:" + waiting, "stock:" + sku}));
        QVERIFY(column("SELECT kind FROM kx_mk_event WHERE nickid = '3003'").isEmpty());
    }
};

QTEST_MAIN(TestMarket)
#include "tst_market.moc"
