// The marketplace simulator: the same seed gives the same marketplace, every order and
// refund status is present, and the seller's actions follow the marketplace's rules. Live, its
// buyers order and act on their orders, the same however often the marketplace is looked at.
#include "market/ItemPicture.h"
#include "market/LiveMarket.h"
#include "market/Simulator.h"
#include "protocol/ServiceError.h"
#include "store/Database.h"
#include "market/MarketOpen.h"
#include "store/Seeder.h"
#include "uClock.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QImage>
#include <QtTest>

class TestMarket : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    std::unique_ptr<TDatabase> store;

    QString one(const QString& sql, const QVariantList& args = {}) { return column(sql, args).value(0); }
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
        QVERIFY(KxSeedSeller(*store, KxSeedFile("demo.json"), KxOpenMarket));
        QJsonObject twin = KxSeedFile("demo.json");
        QJsonObject s = twin["seller"].toObject();
        s["nickid"] = "3003";
        s["masternick"] = "twin";
        twin["seller"] = s;
        QVERIFY(KxSeedSeller(*store, twin, KxOpenMarket));
        QVERIFY(!KxSeedSeller(*store, twin, KxOpenMarket)); // a seller is created once
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
        const QString refunding = " EXISTS (SELECT 1 FROM kx_mk_order o WHERE o.nickid = t.nickid AND o.tid = t.tid AND o.refund_status = 'WAIT_SELLER_AGREE')";
        const QString waiting = column("SELECT tid FROM kx_mk_trade t WHERE nickid = '1001' AND status = 'WAIT_SELLER_SEND_GOODS' AND NOT" + refunding + " ORDER BY tid").first();
        const QString unpaid = column("SELECT tid FROM kx_mk_trade WHERE nickid = '1001' AND status = 'WAIT_BUYER_PAY' ORDER BY tid").first();
        const QString asksBack = column("SELECT tid FROM kx_mk_trade t WHERE nickid = '1001' AND status = 'WAIT_SELLER_SEND_GOODS' AND" + refunding + " ORDER BY tid").first();
        QVERIFY_THROWS_EXCEPTION(TServiceError, m.ship(waiting, "YTO", ""));  // no waybill number
        QVERIFY_THROWS_EXCEPTION(TServiceError, m.ship(unpaid, "YTO", "YT1"));
        QVERIFY_THROWS_EXCEPTION(TServiceError, m.ship(asksBack, "YTO", "YT2")); // the buyer wants the money back
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

    // Two sellers with one seed, both live from the same moment: one looked at every few
    // hours, the other once in a while. Their marketplaces stay the same, buyers order at the
    // rate and the hours they should, and go on with their orders as buyers do.
    void liveMarketplaceMovesOnItsClock()
    {
        QSqlDatabase db = store->connection();
        const QDateTime t0(QDate(2026, 3, 2), QTime(0, 0));
        QDateTime now = t0;
        KxSetClock([&now] { return now; });
        const auto restore = qScopeGuard([] { KxSetClock({}); });
        const QStringList sellers{"1001", "3003"};
        for (const QString& nick : sellers) {
            KxExec(db, "DELETE FROM kx_mk_clock WHERE nickid = ?", {nick});
            TMarketSimulator m(db, nick);
            TLiveMarket(db, nick, m).start(20240601, 240, t0);
        }
        // As a download looks at it: in one transaction.
        const auto lookAt = [&](const QString& nick) {
            TTransaction t(*store, db, true);
            TMarketSimulator m(db, nick);
            QCOMPARE(TLiveMarket(db, nick, m).catchUp(), now);
            t.commit();
        };
        const auto sameMarketplaces = [&] {
            for (const char* sql : {"SELECT t.tid || CASE WHEN t.seller_nick = n.masternick THEN 'main' ELSE t.seller_nick END || t.buyer_nick"
                                    " || t.status || t.modified || t.pay_time || t.end_time || t.receiver_address || t.payment || t.buyer_message"
                                    " FROM kx_mk_trade t JOIN kx_nick n ON n.nickid = t.nickid WHERE t.nickid = ? AND t.tid LIKE '33%' ORDER BY t.tid",
                                    "SELECT oid || sku_id || num || status || refund_status FROM kx_mk_order WHERE nickid = ? AND tid LIKE '33%' ORDER BY oid",
                                    "SELECT refund_id || oid || status || modified FROM kx_mk_refund WHERE nickid = ? AND tid LIKE '33%' ORDER BY refund_id"})
                QCOMPARE(column(sql, {"1001"}), column(sql, {"3003"}));
        };
        const auto live = [&](const QString& where) {
            return one("SELECT COUNT(*) FROM kx_mk_trade WHERE nickid = '1001' AND tid LIKE '33%' AND " + where).toInt();
        };
        for (int hours = 3; hours <= 72; hours += 3) {
            now = t0.addSecs(hours * 3600);
            lookAt("1001");
        }
        lookAt("3003");
        sameMarketplaces();

        // About 240 a day for the main account, half for each sub-account, most in the evening.
        QVERIFY2(live("seller_nick = 'varnoq_demo'") > 3 * 180 && live("seller_nick = 'varnoq_demo'") < 3 * 300, qPrintable(QString::number(live("1 = 1"))));
        QVERIFY(live("seller_nick = 'varnoq_demo:客服小美'") > 3 * 80 && live("seller_nick = 'varnoq_demo:客服小美'") < 3 * 160);
        QVERIFY(live("substr(created, 12, 2) IN ('20', '21', '22')") > 4 * live("substr(created, 12, 2) IN ('02', '03', '04')"));
        // Buyers: across the country, some ordering twice to one address, some paying on delivery.
        QVERIFY(one("SELECT COUNT(DISTINCT receiver_state) FROM kx_mk_trade WHERE nickid = '1001' AND tid LIKE '33%'").toInt() >= 15);
        QVERIFY(one("SELECT COUNT(*) FROM (SELECT 1 FROM kx_mk_trade WHERE nickid = '1001' AND tid LIKE '33%'"
                    " GROUP BY seller_nick, buyer_nick, receiver_address HAVING COUNT(*) > 1) x").toInt() > 5);
        QVERIFY(live("trade_type = 'cod' AND status = 'WAIT_SELLER_SEND_GOODS' AND cod_status = 'NEW_CREATED'") > 0);
        // Most paid; the rest closed after a day; none older than that still waits for payment.
        QVERIFY(live("status = 'WAIT_SELLER_SEND_GOODS' AND pay_time > created") > live("1 = 1") / 2);
        QVERIFY(live("status = 'TRADE_CLOSED' AND pay_time = '' AND end_time > created") > 0);
        QCOMPARE(live("status = 'WAIT_BUYER_PAY' AND created < '2026-03-04 00:00:00'"), 0);
        // Refunds asked for on a line, shown on that line.
        QVERIFY(one("SELECT COUNT(*) FROM kx_mk_refund r JOIN kx_mk_order o ON o.nickid = r.nickid AND o.oid = r.oid"
                    " WHERE r.nickid = '1001' AND r.tid LIKE '33%' AND r.status = 'WAIT_SELLER_AGREE' AND o.refund_status = r.status").toInt() > 0);

        // The seller ships an order and agrees to a refund, at both marketplaces alike.
        const QString tid = one("SELECT MIN(tid) FROM kx_mk_trade t WHERE nickid = '1001' AND tid LIKE '33%' AND status = 'WAIT_SELLER_SEND_GOODS'"
                                " AND NOT EXISTS (SELECT 1 FROM kx_mk_order o WHERE o.nickid = t.nickid AND o.tid = t.tid AND o.refund_status <> 'NO_REFUND')");
        const QString refund = one("SELECT MIN(refund_id) FROM kx_mk_refund WHERE nickid = '1001' AND tid LIKE '33%' AND status = 'WAIT_SELLER_AGREE'");
        for (const QString& nick : sellers) {
            TMarketSimulator m(db, nick);
            m.ship(tid, "YTO", "YT1");
            m.agreeRefund(refund);
        }
        // The decision shows on the line and is a change of the order, after what was listed. The
        // order was not shipped, so the refund is money only: agreed, it is refunded at once.
        QCOMPARE(one("SELECT o.refund_status || ' ' || CAST(t.modified = r.modified AS TEXT) || ' ' || CAST(r.modified > ? AS TEXT) FROM kx_mk_refund r"
                     " JOIN kx_mk_order o ON o.nickid = r.nickid AND o.oid = r.oid JOIN kx_mk_trade t ON t.nickid = r.nickid AND t.tid = r.tid"
                     " WHERE r.nickid = '1001' AND r.refund_id = ?", {now.toString("yyyy-MM-dd HH:mm:ss"), refund}),
                 QStringLiteral("SUCCESS 1 1"));
        const QDateTime shipped = QDateTime::fromString(one("SELECT consign_time FROM kx_mk_trade WHERE nickid = '1001' AND tid = ?", {tid}), "yyyy-MM-dd HH:mm:ss");
        const QDateTime lastLook = now;
        for (int hours = 6; hours <= 12 * 24; hours += 6) {
            now = lastLook.addSecs(hours * 3600);
            lookAt("1001");
        }
        lookAt("3003");
        sameMarketplaces();
        // Received some days after shipping.
        QCOMPARE(one("SELECT status FROM kx_mk_trade WHERE nickid = '1001' AND tid = ?", {tid}), QStringLiteral("TRADE_FINISHED"));
        const QDateTime received = QDateTime::fromString(one("SELECT end_time FROM kx_mk_trade WHERE nickid = '1001' AND tid = ?", {tid}), "yyyy-MM-dd HH:mm:ss");
        QVERIFY(received >= shipped.addDays(3) && received <= shipped.addDays(10));
        QCOMPARE(one("SELECT MIN(status) || MAX(status) FROM kx_mk_order WHERE nickid = '1001' AND tid = ?", {tid}), QStringLiteral("TRADE_FINISHED" "TRADE_FINISHED"));
        // A seller who never started the live part keeps the marketplace it had.
        const QString before = one("SELECT COUNT(*) FROM kx_mk_trade WHERE nickid = '1001'");
        KxExec(db, "DELETE FROM kx_mk_live WHERE nickid = '1001'");
        now = now.addDays(1);
        lookAt("1001");
        QCOMPARE(one("SELECT COUNT(*) FROM kx_mk_trade WHERE nickid = '1001'"), before);
    }

    // Every item has its picture, the same each time, at the sizes the marketplace names.
    void itemPicturesAreServedByAddress_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("size");   // 0: no picture
        QTest::newRow("full") << KxItemPicturePath("520000000001") << 310;
        QTest::newRow("thumbnail") << KxItemPicturePath("520000000001") + "_120x120.jpg" << 120;
        QTest::newRow("too large") << KxItemPicturePath("520000000001") + "_9999x9999.jpg" << 400;
        QTest::newRow("not a number") << "/market/pic/abc.jpg" << 0;
        QTest::newRow("climbing out") << "/market/pic/../../etc/passwd" << 0;
        QTest::newRow("other suffix") << KxItemPicturePath("520000000001") + ".png" << 0;
    }
    void itemPicturesAreServedByAddress()
    {
        QFETCH(QString, path);
        QFETCH(int, size);
        const QByteArray png = KxItemPictureAt(path);
        if (size == 0) {
            QVERIFY(png.isEmpty());
            return;
        }
        const QImage image = QImage::fromData(png, "PNG");
        QCOMPARE(image.size(), QSize(size, size));
        QVERIFY(image.pixelColor(size / 2, size / 2) != image.pixelColor(1, 1));   // the goods stand out
        QCOMPARE(KxItemPictureAt(path), png);
        QVERIFY(KxItemPictureAt(KxItemPicturePath("520000000002")) != KxItemPictureAt(KxItemPicturePath("520000000001")));
    }
};

QTEST_MAIN(TestMarket)
#include "tst_market.moc"
