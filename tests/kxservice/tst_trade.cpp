// Marketplace orders at the service: downloads from the simulated marketplace that are
// incremental, idempotent and complete after an interruption; the paged order list with the
// lines of its orders; binding a line's SKU to a product, remembered for later orders; ratings
// the marketplace records or refuses; orders placed while the service runs. SQLite, and
// PostgreSQL when KX_PG_URL is set.
#include "ServiceFixture.h"
#include "market/LiveMarket.h"
#include "market/Simulator.h"
#include "uClock.h"

#include <QScopeGuard>

namespace {
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
const QString kMain = QStringLiteral("varnoq_demo");
}

class TestTrade : public QObject {
    Q_OBJECT
    TLoggedInServices m_fixtures{kAdmin, QStringLiteral("admin888")};
    QString m_kind;

    TServiceFixture& fx() { return m_fixtures.of(m_kind); }
    void advance(qint64 seconds)
    {
        QSqlDatabase db = fx().db();
        TMarketSimulator(db, QStringLiteral("1001")).advance(seconds);
    }
    // One state of one account as the download dialog fetches it: a one-order probe for the
    // total, then pages of `size` until the total is covered (or `pages` of them). Returns the
    // total, or -1 when a call failed.
    int download(const QString& account, const QString& status, int daynum, int size = 50, int pages = -1)
    {
        const auto page = [&](int no, int n) {
            return fx().call(kAdmin, "NetShop.DownTrades", {{"detailnick", account}, {"status", status}, {"daynum", QString::number(daynum)},
                                                            {"page_no", QString::number(no)}, {"page_size", QString::number(n)}});
        };
        TCallResult r = page(1, 1);
        if (!r.ok)
            return -1;
        const int total = r.value("total_results").trimmed().toInt();
        for (int p = 1; p <= (total + size - 1) / size && p != pages + 1; ++p)
            if (!page(p, size).ok)
                return -1;
        return total;
    }
    QString books(const QString& sql, const QVariantList& args = {}) { return fx().scalar(sql, args).toString(); }
    // Every order of the account at the marketplace against the books, field by field.
    void sameAsMarketplace(const QString& account)
    {
        const QString mk = "SELECT COUNT(*) || '/' || SUM(CASE WHEN status = 'TRADE_FINISHED' THEN 1 ELSE 0 END) FROM kx_mk_trade WHERE nickid = '1001' AND seller_nick = ?";
        const QString bk = "SELECT COUNT(*) || '/' || SUM(CASE WHEN status = 'TRADE_FINISHED' THEN 1 ELSE 0 END) FROM kx_trade WHERE nickid = '1001' AND seller_nick = ?";
        QCOMPARE(books(bk, {account}), books(mk, {account}));
        QCOMPARE(books("SELECT COUNT(*) FROM kx_trade_order o JOIN kx_trade t ON t.nickid = o.nickid AND t.tid = o.tid WHERE o.nickid = '1001' AND t.seller_nick = ?", {account}),
                 books("SELECT COUNT(*) FROM kx_mk_order o JOIN kx_mk_trade t ON t.nickid = o.nickid AND t.tid = o.tid WHERE o.nickid = '1001' AND t.seller_nick = ?", {account}));
        QCOMPARE(books("SELECT COUNT(*) FROM kx_trade b JOIN kx_mk_trade m ON m.nickid = b.nickid AND m.tid = b.tid"
                       " WHERE b.nickid = '1001' AND b.seller_nick = ? AND (b.status <> m.status OR b.buyer_message <> m.buyer_message OR b.modified <> m.modified)", {account}),
                 QStringLiteral("0"));
    }

private Q_SLOTS:
    void initTestCase_data() { KxEngineRows(); }
    void init()
    {
        KX_FETCH_ENGINE(m_kind);
        KxSetServiceUrl(fx().url());
        KxSetUi(&fx().ui);
    }
    void cleanupTestCase()
    {
        m_fixtures.clear();
        KxSetServiceUrl(QString());
    }

    // A download half way, then a whole one, then one after the marketplace moved on: the
    // books end up as the marketplace is, with no order twice, and a repeated download fetches
    // only what changed.
    void downloadsAreIncrementalAndIdempotent()
    {
        fx().exec("DELETE FROM kx_trade WHERE nickid = '1001'");
        fx().exec("DELETE FROM kx_trade_order WHERE nickid = '1001'");
        fx().exec("DELETE FROM kx_trade_sync WHERE nickid = '1001'");
        const int all = fx().scalar("SELECT COUNT(*) FROM kx_mk_trade WHERE nickid = '1001' AND seller_nick = ?", {kMain}).toInt();
        QVERIFY(all > 60);

        // Interrupted after two pages of ten: what is stored is whole orders with their lines.
        QCOMPARE(download(kMain, "TRADE_ALL", 90, 10, 2), all);
        QCOMPARE(books("SELECT COUNT(*) FROM kx_trade WHERE nickid = '1001'"), QString::number(21));
        QCOMPARE(books("SELECT COUNT(*) FROM kx_trade t WHERE nickid = '1001' AND NOT EXISTS"
                       " (SELECT 1 FROM kx_trade_order o WHERE o.nickid = t.nickid AND o.tid = t.tid)"), QStringLiteral("0"));
        // The next download fetches everything since the last completed one.
        QCOMPARE(download(kMain, "TRADE_ALL", 90), all);
        sameAsMarketplace(kMain);
        // Nothing changed: nothing to fetch.
        QCOMPARE(download(kMain, "TRADE_ALL", 90), 0);

        // Time passes; the seller ships one order and a finished one is rated at the marketplace.
        advance(3600);
        const QString waiting = books("SELECT MIN(tid) FROM kx_mk_trade t WHERE nickid = '1001' AND seller_nick = ? AND status = 'WAIT_SELLER_SEND_GOODS'"
                                      " AND NOT EXISTS (SELECT 1 FROM kx_mk_order o WHERE o.nickid = t.nickid AND o.tid = t.tid AND o.refund_status <> 'NO_REFUND')",
                                      {kMain});
        {
            QSqlDatabase db = fx().db();
            TMarketSimulator(db, "1001").ship(waiting, "YTO", "YT000123");
        }
        fx().exec("UPDATE kx_trade SET dbstatus = 'PICKINGED' WHERE nickid = '1001' AND tid = ?", {waiting});
        QCOMPARE(download(kMain, "TRADE_ALL", 90), 1);
        sameAsMarketplace(kMain);
        // The marketplace's state is taken, the seller's own stays.
        QCOMPARE(books("SELECT status || ' ' || dbstatus FROM kx_trade WHERE nickid = '1001' AND tid = ?", {waiting}),
                 QStringLiteral("WAIT_BUYER_CONFIRM_GOODS PICKINGED"));
    }

    // The states the download dialog sends pick the orders they name; a sub-account has its own.
    void statesSelectTheirOrders_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("marketplace");
        QTest::newRow("awaiting payment") << "WAIT_BUYER_PAY" << "status = 'WAIT_BUYER_PAY'";
        QTest::newRow("awaiting shipment") << "WAIT_SELLER_SEND_GOODS" << "status = 'WAIT_SELLER_SEND_GOODS'";
        QTest::newRow("not rated by the seller") << "RATE_UNSELLER" << "status = 'TRADE_FINISHED' AND seller_rate = 0";
        QTest::newRow("closed") << "TRADE_CLOSED" << "status = 'TRADE_CLOSED'";
    }
    void statesSelectTheirOrders()
    {
        QFETCH(QString, status);
        QFETCH(QString, marketplace);
        const QString account = QStringLiteral("varnoq_demo:客服小美");
        fx().exec("DELETE FROM kx_trade_sync WHERE nickid = '1001'");
        const int expected = fx().scalar("SELECT COUNT(*) FROM kx_mk_trade WHERE nickid = '1001' AND seller_nick = ? AND " + marketplace, {account}).toInt();
        QVERIFY(expected > 0);
        QCOMPARE(download(account, status, 90), expected);
        QCOMPARE(download(account, status, 90), 0);   // nothing changed since
    }

    // The download dialog names the main account as the directory call gave it: the seller's
    // name. It is the master nick's account.
    void theSellersNameIsTheMainAccount()
    {
        fx().exec("DELETE FROM kx_trade_sync WHERE nickid = '1001'");
        const QString name = books("SELECT nickname FROM kx_nick WHERE nickid = '1001'");
        QVERIFY(name != kMain);
        QCOMPARE(download(name, "WAIT_BUYER_PAY", 90),
                 fx().scalar("SELECT COUNT(*) FROM kx_mk_trade WHERE nickid = '1001' AND seller_nick = ? AND status = 'WAIT_BUYER_PAY'", {kMain}).toInt());
        QCOMPARE(download(kMain, "WAIT_BUYER_PAY", 90), 0);   // the same account, nothing new
    }

    // The probe, then pages of any size up to the total: every page is there, whatever the
    // total leaves for the last one (one order more than whole pages included).
    void pagesCoverTheTotal()
    {
        const int n = fx().scalar("SELECT COUNT(*) FROM kx_mk_trade WHERE nickid = '1001' AND seller_nick = ? AND status = 'WAIT_BUYER_PAY'", {kMain}).toInt();
        QVERIFY(n > 3);
        for (int size : {n - 1, n, n + 1, 2}) {
            fx().exec("DELETE FROM kx_trade_sync WHERE nickid = '1001'");
            QCOMPARE(download(kMain, "WAIT_BUYER_PAY", 90, size), n);
            QCOMPARE(download(kMain, "WAIT_BUYER_PAY", 90, size), 0);
        }
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<QString>("message");
        QTest::newRow("another seller's account") << "NetShop.DownTrades" << QStringList{"detailnick=other_seller", "status=TRADE_ALL", "daynum=1", "page_no=1", "page_size=1"} << "不是本店的掌柜账号";
        QTest::newRow("unknown state") << "NetShop.DownTrades" << QStringList{"detailnick=varnoq_demo", "status=TRADE_ANY", "daynum=1", "page_no=1", "page_size=1"} << "TRADE_ANY";
        QTest::newRow("page too large") << "NetShop.DownTrades" << QStringList{"detailnick=varnoq_demo", "status=TRADE_ALL", "daynum=1", "page_no=1", "page_size=500"} << "page_size";
        QTest::newRow("order not at the marketplace") << "NetShop.DownTrade" << QStringList{"detailnick=varnoq_demo", "tid=999"} << "没有订单 999";
        QTest::newRow("bad rating") << "NetShop.TradeRate" << QStringList{"detailnick=varnoq_demo", "tid=1", "result=great"} << "great";
        QTest::newRow("line not in the books") << "Trade.UpdateCommoditySku" << QStringList{"oid=1", "commoditycode=x"} << "订单明细 1 不存在";
    }
    void refusals()
    {
        QFETCH(QString, method);
        QFETCH(QStringList, params);
        QFETCH(QString, message);
        QList<QPair<QString, QString>> p;
        for (const QString& s : params)
            p.append({s.section('=', 0, 0), s.section('=', 1)});
        const TCallResult r = fx().call(kAdmin, method, p);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(message), qPrintable(r.error));
    }

    // Pages newest first, each with the lines of exactly its orders; conditions narrow; the
    // buyers' texts arrive as they were written.
    void listPagesOrdersWithTheirLines()
    {
        QVERIFY(download(kMain, "TRADE_ALL", 90) >= 0);
        const int total = fx().scalar("SELECT COUNT(*) FROM kx_trade WHERE nickid = '1001'").toInt();
        const TCallResult first = fx().call(kAdmin, "Trade.Search", {{"curpage", "-1"}, {"pagesize", "20"}});
        QVERIFY2(first.ok, qPrintable(first.error));
        QCOMPARE(first.value("recordcount").toInt(), total);
        QCOMPARE(first.value("pagecount").toInt(), (total + 19) / 20);
        const QStringList tids = KxColumn(first.value("xmlmaster"), "tid");
        QCOMPARE(tids.size(), 20);
        QStringList lineTids = KxColumn(first.value("xmldetail"), "tid");
        lineTids.removeDuplicates();
        QCOMPARE(QSet<QString>(lineTids.begin(), lineTids.end()), QSet<QString>(tids.begin(), tids.end()));
        const QStringList created = KxColumn(first.value("xmlmaster"), "created");
        QVERIFY(std::is_sorted(created.rbegin(), created.rend()));

        const TCallResult second = fx().call(kAdmin, "Trade.Search", {{"curpage", "2"}, {"pagesize", "20"}});
        const QStringList next = KxColumn(second.value("xmlmaster"), "tid");
        QCOMPARE(next.size(), 20);
        QVERIFY(!QSet<QString>(tids.begin(), tids.end()).intersects(QSet<QString>(next.begin(), next.end())));

        // A page past the end is empty and still counts.
        const TCallResult beyond = fx().call(kAdmin, "Trade.Search", {{"curpage", "999"}, {"pagesize", "20"}});
        QVERIFY2(beyond.ok, qPrintable(beyond.error));
        QCOMPARE(KxColumn(beyond.value("xmlmaster"), "tid"), QStringList());
        QCOMPARE(beyond.value("recordcount").toInt(), total);

        // A fixed condition and "curpage" 0: every match in one answer.
        const QString emoji = books("SELECT MIN(tid) FROM kx_mk_trade WHERE nickid = '1001' AND seller_nick = ? AND buyer_message LIKE '%🎁%'", {kMain});
        QVERIFY(!emoji.isEmpty());
        const TCallResult one = fx().call(kAdmin, "Trade.Search", {{"tid", emoji}, {"curpage", "0"}});
        QCOMPARE(KxColumn(one.value("xmlmaster"), "tid"), QStringList{emoji});
        QCOMPARE(KxColumn(one.value("xmlmaster"), "buyer_message").value(0), books("SELECT buyer_message FROM kx_mk_trade WHERE nickid = '1001' AND tid = ?", {emoji}));
        QCOMPARE(one.value("pagecount"), QStringLiteral("1"));
        const TCallResult shipping = fx().call(kAdmin, "Trade.Search", {{"status", "WAIT_SELLER_SEND_GOODS"}, {"curpage", "0"}});
        QCOMPARE(KxColumn(shipping.value("xmlmaster"), "tid").size(),
                 fx().scalar("SELECT COUNT(*) FROM kx_trade WHERE nickid = '1001' AND status = 'WAIT_SELLER_SEND_GOODS'").toInt());
    }

    // An unbound line bound by code: refused for a code that does not exist, then bound, and the
    // same SKU on an order downloaded later comes bound.
    void bindingIsRemembered()
    {
        const QString sku = books("SELECT MIN(o.sku_id) FROM kx_mk_order o JOIN kx_mk_trade t ON t.nickid = o.nickid AND t.tid = o.tid"
                                  " WHERE o.nickid = '1001' AND t.seller_nick = ? GROUP BY o.sku_id HAVING COUNT(*) > 1 ORDER BY COUNT(*) DESC LIMIT 1", {kMain});
        QVERIFY(!sku.isEmpty());
        fx().exec("DELETE FROM kx_sku_bind WHERE nickid = '1001' AND sku_id = ?", {sku});
        fx().exec("DELETE FROM kx_trade_order WHERE nickid = '1001' AND sku_id = ?", {sku});
        fx().exec("DELETE FROM kx_trade_sync WHERE nickid = '1001'");
        QVERIFY(download(kMain, "TRADE_ALL", 90) > 0);
        const QStringList oids = fx().scalar("SELECT COUNT(*) FROM kx_trade_order WHERE nickid = '1001' AND sku_id = ? AND commoditycode = ''", {sku}).toInt() > 1
                                     ? QStringList() : QStringList{"<too few unbound lines>"};
        QCOMPARE(oids, QStringList());
        const QString oid = books("SELECT MIN(oid) FROM kx_trade_order WHERE nickid = '1001' AND sku_id = ?", {sku});
        const QString later = books("SELECT MAX(tid) FROM kx_trade_order WHERE nickid = '1001' AND sku_id = ?", {sku});

        TCallResult r = fx().call(kAdmin, "Trade.UpdateCommoditySku", {{"oid", oid}, {"commoditycode", "NOPE"}, {"detailnick", kMain}});
        QVERIFY(!r.ok);
        QCOMPARE(books("SELECT commoditycode FROM kx_trade_order WHERE nickid = '1001' AND oid = ?", {oid}), QString());
        const QString code = books("SELECT MIN(commoditycode) FROM kx_commodity WHERE nickid = '1001' AND is_del = 0");
        r = fx().call(kAdmin, "Trade.UpdateCommoditySku", {{"oid", oid}, {"commoditycode", code}, {"detailnick", kMain}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.value("commoditycode"), code);
        QCOMPARE(r.value("stocknum"), books("SELECT SUM(stocknum) FROM kx_stock WHERE nickid = '1001' AND commoditycode = ?", {code}));
        // The mapping names the item as the order line does, for the mappings window.
        QCOMPARE(books("SELECT b.nick || '|' || b.title || '|' || b.sku_properties_name || '|' || b.pic_path FROM kx_sku_bind b"
                       " WHERE b.nickid = '1001' AND b.sku_id = ?", {sku}),
                 books("SELECT t.seller_nick || '|' || o.title || '|' || o.sku_properties_name || '|' || o.pic_path FROM kx_trade_order o"
                       " JOIN kx_trade t ON t.nickid = o.nickid AND t.tid = o.tid WHERE o.nickid = '1001' AND o.oid = ?", {oid}));

        // A later order of that SKU, fetched again from the marketplace as new.
        fx().exec("DELETE FROM kx_trade_order WHERE nickid = '1001' AND tid = ?", {later});
        fx().exec("DELETE FROM kx_trade WHERE nickid = '1001' AND tid = ?", {later});
        r = fx().call(kAdmin, "NetShop.DownTrade", {{"detailnick", kMain}, {"tid", later}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(books("SELECT MIN(commoditycode) || MAX(commoditycode) FROM kx_trade_order WHERE nickid = '1001' AND tid = ? AND sku_id = ?", {later, sku}), code + code);
    }

    // Finished orders rated: the marketplace records each rating; one it refuses is named and
    // changes nothing.
    void ratingsAreRecordedOrRefused()
    {
        QVERIFY(download(kMain, "TRADE_ALL", 90) >= 0);
        const QString tid = books("SELECT MIN(tid) FROM kx_trade WHERE nickid = '1001' AND seller_nick = ? AND seller_can_rate = 1", {kMain});
        QVERIFY(!tid.isEmpty());
        TCallResult r = fx().call(kAdmin, "NetShop.TradeRate", {{"detailnick", kMain}, {"tid", tid}, {"result", "good"}, {"content", "谢谢惠顾😊"}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(books("SELECT detail FROM kx_mk_event WHERE nickid = '1001' AND kind = 'rate' AND target = ?", {tid}), QStringLiteral("good:谢谢惠顾😊"));
        QCOMPARE(books("SELECT CAST(seller_rate AS TEXT) || CAST(seller_can_rate AS TEXT) FROM kx_trade WHERE nickid = '1001' AND tid = ?", {tid}), QStringLiteral("10"));
        const QString events = books("SELECT COUNT(*) FROM kx_mk_event WHERE nickid = '1001'");
        r = fx().call(kAdmin, "NetShop.TradeRate", {{"detailnick", kMain}, {"tid", tid}, {"result", "good"}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(tid), qPrintable(r.error));
        QCOMPARE(books("SELECT COUNT(*) FROM kx_mk_event WHERE nickid = '1001'"), events);
    }

    // Orders buyers place while the service runs come with the next download, and so do their
    // payments, closings and refunds; a download with nothing new fetches nothing. The lines
    // name the item pictures the service serves.
    void liveOrdersComeWithTheNextDownload()
    {
        // Only the marketplace's own clock moves: no real second passes there meanwhile.
        const QDateTime fixed = QDateTime::currentDateTime();
        KxSetClock([fixed] { return fixed; });
        const auto restore = qScopeGuard([this] {
            fx().exec("DELETE FROM kx_mk_live WHERE nickid = '1001'");
            KxSetClock({});
        });
        {
            QSqlDatabase db = fx().db();
            TMarketSimulator m(db, "1001");
            TLiveMarket(db, "1001", m).start(20240601, 240, m.clock());
        }
        const QString live = "SELECT COUNT(*) FROM %1 WHERE nickid = '1001' AND seller_nick = ? AND tid LIKE '33%'";
        QVERIFY(download(kMain, "TRADE_ALL", 3) >= 0);
        QCOMPARE(books(live.arg("kx_mk_trade"), {kMain}), QStringLiteral("0"));

        advance(8 * 3600);
        QVERIFY(download(kMain, "TRADE_ALL", 90) >= 0);   // the older orders as they are now
        const int arrived = download(kMain, "TRADE_ALL", 3, 20);
        QVERIFY2(arrived > 20, qPrintable(QString::number(arrived)));
        QCOMPARE(books(live.arg("kx_trade"), {kMain}), QString::number(arrived));
        sameAsMarketplace(kMain);
        QCOMPARE(download(kMain, "TRADE_ALL", 3), 0);

        // Two days on: paid, closed unpaid, refunds asked for; exactly what changed since comes.
        advance(2 * 86400);
        const QString sync = "SELECT done_until FROM kx_trade_sync WHERE nickid = '1001' AND seller_nick = ? AND status = 'TRADE_ALL' AND daynum = 3";
        const QString since = books(sync, {kMain});
        const int changed = download(kMain, "TRADE_ALL", 3);
        const QString end = books(sync, {kMain});
        QCOMPARE(QString::number(changed), books("SELECT COUNT(*) FROM kx_mk_trade WHERE nickid = '1001' AND seller_nick = ? AND modified > ? AND modified <= ?"
                                                 " AND created >= ?", {kMain, since, end, QDateTime::fromString(end, "yyyy-MM-dd HH:mm:ss").addDays(-3).toString("yyyy-MM-dd HH:mm:ss")}));
        QVERIFY(changed > arrived / 2);
        sameAsMarketplace(kMain);
        QCOMPARE(download(kMain, "TRADE_ALL", 3), 0);
        QCOMPARE(books("SELECT COUNT(*) FROM kx_trade b JOIN kx_mk_trade m ON m.nickid = b.nickid AND m.tid = b.tid"
                       " WHERE b.nickid = '1001' AND b.tid LIKE '33%' AND (b.pay_time <> m.pay_time OR b.end_time <> m.end_time)"), QStringLiteral("0"));
        QVERIFY(books("SELECT COUNT(*) FROM kx_trade WHERE nickid = '1001' AND tid LIKE '33%' AND status = 'TRADE_CLOSED'").toInt() > 0);
        QCOMPARE(books("SELECT COUNT(*) FROM kx_trade t WHERE t.nickid = '1001' AND t.tid LIKE '33%' AND t.refund = 1"),
                 books("SELECT COUNT(DISTINCT r.tid) FROM kx_mk_refund r JOIN kx_mk_trade t ON t.nickid = r.nickid AND t.tid = r.tid"
                       " WHERE r.nickid = '1001' AND r.tid LIKE '33%' AND r.status = 'WAIT_SELLER_AGREE' AND t.seller_nick = ?", {kMain}));
        QVERIFY(books("SELECT COUNT(*) FROM kx_trade_order o JOIN kx_mk_refund r ON r.nickid = o.nickid AND r.oid = o.oid"
                      " WHERE o.nickid = '1001' AND o.refund_id = r.refund_id AND o.refund_status = 'WAIT_SELLER_AGREE'").toInt() > 0);
        QCOMPARE(books("SELECT COUNT(*) FROM kx_trade_order WHERE nickid = '1001' AND tid LIKE '33%' AND pic_path <> '/market/pic/' || num_iid || '.jpg'"),
                 QStringLiteral("0"));
    }
};

QTEST_MAIN(TestTrade)
#include "tst_trade.moc"
