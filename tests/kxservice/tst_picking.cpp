// Picking lists at the service: the kind's texts and amounts on header and lines, a line from
// an order kept to its order, an audit that moves no stock; orders turned into picking lists
// and marked picked in one call, refused whole (naming the order) when an order is closed,
// has a refund running, changed since it was listed or was picked meanwhile; two operators
// picking the same orders at once. SQLite, and PostgreSQL when KX_PG_URL is set.
#include "ServiceFixture.h"

#include <latch>
#include <thread>

namespace {
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
const TCaller kClerk{QStringLiteral("1001"), QStringLiteral("clerk"), QStringLiteral("S01")};
using TFiles = QList<QPair<QString, QString>>;

void set(TPClientDataSet& ds, const QString& field, const QString& value)
{
    QVERIFY2(ds.FindField(field), qPrintable(field));
    ds.FieldByName(field)->SetAsString(value);
}
}

class TestPicking : public QObject {
    Q_OBJECT
    TLoggedInServices m_fixtures{kAdmin, QStringLiteral("admin888")};
    QString m_kind;

    TServiceFixture& fx() { return m_fixtures.of(m_kind); }
    QString books(const QString& sql, const QVariantList& args = {}) { return fx().scalar(sql, args).toString(); }

    // Orders the "未拣货" tab offers: paid, not picked, no refund running; `n` of them.
    QStringList pickable(int n, const QString& where = QStringLiteral("1 = 1"))
    {
        QStringList tids;
        QSqlDatabase db = fx().db();
        QSqlQuery q = KxExec(db, "SELECT t.tid FROM kx_trade t WHERE t.nickid = '1001' AND t.dbstatus = 'NOT_PICKING' AND t.refund = 0"
                                 " AND t.status = 'WAIT_SELLER_SEND_GOODS' AND EXISTS (SELECT 1 FROM kx_trade_order o WHERE o.nickid = t.nickid AND o.tid = t.tid)"
                                 " AND NOT EXISTS (SELECT 1 FROM kx_trade_order r WHERE r.nickid = t.nickid AND r.tid = t.tid AND r.refund_status <> 'NO_REFUND')"
                                 " AND " + where + " ORDER BY t.tid LIMIT " + QString::number(n));
        while (q.next())
            tids << q.value(0).toString();
        return tids;
    }

    // The call the orders window makes for `tids` as they are listed now: the orders marked
    // picked ("delta"), one picking list per order with its lines.
    TFiles pickingCall(const QStringList& tids)
    {
        const TCallResult list = fx().call(kAdmin, "Trade.Search", {{"curpage", "0"}});
        const TCallResult shape = fx().call(kAdmin, "Trade.SearchPicking", {{"pickingid", ""}});
        if (!list.ok || !shape.ok)
            return {};
        TPClientDataSet orders, lines, master, detail;
        orders.SetKXXMLData(list.value("xmlmaster"));
        lines.SetKXXMLData(list.value("xmldetail"));
        master.SetKXXMLData(shape.value("xmlmaster"));
        detail.SetKXXMLData(shape.value("xmldetail"));
        for (const QString& tid : tids) {
            if (!orders.Locate("tid", tid))
                return {};
            orders.Edit();
            orders.FieldByName("dbstatus")->SetAsString("PICKINGED");
            orders.Post();
            const QString key = QUuid::createUuid().toString(QUuid::Id128);
            master.Append();
            set(master, "md5_key", key);
            set(master, "storageid", "CK01");
            for (const char* f : {"buyer_nick", "seller_nick", "receiver_name", "receiver_mobile"})
                set(master, QLatin1String(f), orders.FieldByName(QLatin1String(f))->AsString());
            set(master, "receiver_address", orders.FieldByName("address")->AsString());
            master.Post();
            int seq = 0;
            for (lines.First(); !lines.Eof(); lines.Next()) {
                if (lines.FieldByName("tid")->AsString() != tid)
                    continue;
                detail.Append();
                set(detail, "md5_key", key);
                detail.FieldByName("seq")->SetAsInteger(++seq);
                for (const char* f : {"tid", "oid", "commoditycode", "title", "num", "price", "total_fee", "num_iid", "sku_id"})
                    set(detail, QLatin1String(f), lines.FieldByName(QLatin1String(f))->AsString());
                detail.Post();
            }
        }
        return {{"delta", orders.GetKXXMLDelta()}, {"deltamaster", master.GetKXXMLDelta()}, {"deltadetail", detail.GetKXXMLDelta()}};
    }
    QString picked(const QStringList& tids)
    {
        QStringList out;
        for (const QString& t : tids)
            out << books("SELECT dbstatus FROM kx_trade WHERE nickid = '1001' AND tid = ?", {t});
        return out.join(',');
    }
    int pickings() { return fx().scalar("SELECT COUNT(*) FROM kx_picking WHERE nickid = '1001'").toInt(); }

private Q_SLOTS:
    void initTestCase_data()
    {
        QTest::addColumn<QString>("db");
        QTest::newRow("sqlite") << QStringLiteral("sqlite");
        QTest::newRow("postgresql") << QStringLiteral("postgresql");
    }
    void init()
    {
        QFETCH_GLOBAL(QString, db);
        m_kind = db;
        if (m_kind == QLatin1String("postgresql") && qEnvironmentVariableIsEmpty("KX_PG_URL"))
            QSKIP("KX_PG_URL is not set: no PostgreSQL database to run against");
        KxSetServiceUrl(fx().url());
        KxSetUi(&fx().ui);
        if (fx().scalar("SELECT COUNT(*) FROM kx_trade WHERE nickid = '1001'").toInt() == 0) {
            // As the download dialog does: a probe for the total, then the pages.
            const auto page = [&](int no, int size) {
                return fx().call(kAdmin, "NetShop.DownTrades", {{"detailnick", "varnoq_demo"}, {"status", "TRADE_ALL"}, {"daynum", "90"},
                                                                {"page_no", QString::number(no)}, {"page_size", QString::number(size)}});
            };
            const TCallResult probe = page(1, 1);
            QVERIFY2(probe.ok, qPrintable(probe.error));
            const int total = probe.value("total_results").trimmed().toInt();
            for (int p = 1; p <= (total + 49) / 50; ++p)
                QVERIFY(page(p, 50).ok);
        }
    }
    void cleanupTestCase()
    {
        m_fixtures.clear();
        KxSetServiceUrl(QString());
    }

    // A picking list typed in: the consignee and amounts stay as given, an unbound line is
    // kept, the total is the lines' sum; a line's order numbers and the header's shop account
    // stay as created while the rest changes; the audit moves no stock.
    void pickingKeepsItsTexts()
    {
        const TCallResult empty = fx().call(kAdmin, "Picking.Load", {{"pickingid", ""}});
        QVERIFY2(empty.ok, qPrintable(empty.error));
        TPClientDataSet master, lines;
        QVERIFY(master.SetKXXMLData(empty.value("xmlmaster")));
        QVERIFY(lines.SetKXXMLData(empty.value("xmldetail")));
        master.Append();
        set(master, "md5_key", "pick-texts-" + m_kind);
        set(master, "storageid", "CK01");
        set(master, "buyer_nick", "买家😊");
        set(master, "seller_nick", "varnoq_demo");
        set(master, "receiver_address", "浙江省杭州市西湖区 <b>1</b> 号 'A'");
        set(master, "buyer_message", "第一单\n\r第二单");
        set(master, "seller_cod_fee", "3.5");
        master.Post();
        const QString code = books("SELECT MIN(commoditycode) FROM kx_commodity WHERE nickid = '1001'");
        for (const auto& [c, tid, total] : {std::tuple{code, "T1", "25.00"}, std::tuple{QString(), "T1", "10.50"}}) {
            lines.Append();
            set(lines, "md5_key", "pick-texts-" + m_kind);
            set(lines, "commoditycode", c);
            set(lines, "num", "1");
            set(lines, "total_fee", total);
            set(lines, "tid", tid);
            set(lines, "oid", QString(tid) + "-" + total);
            set(lines, "title", "宝贝");
            lines.Post();
        }
        TCallResult r = fx().call(kAdmin, "Picking.Update", {}, {{"deltamaster", master.GetKXXMLDelta()}, {"deltadetail", lines.GetKXXMLDelta()}});
        QVERIFY2(r.ok, qPrintable(r.error));
        const QString id = KxColumn(r.value("xmlmaster"), "pickingid").value(0);
        QVERIFY(id.startsWith("JH"));
        QCOMPARE(KxColumn(r.value("xmlmaster"), "receiver_address"), QStringList{"浙江省杭州市西湖区 <b>1</b> 号 'A'"});
        QCOMPARE(KxColumn(r.value("xmlmaster"), "buyer_message"), QStringList{"第一单\n\r第二单"});
        QCOMPARE(KxColumn(r.value("xmlmaster"), "seller_cod_fee"), QStringList{"3.50"});
        QCOMPARE(KxColumn(r.value("xmlmaster"), "pickingmoney"), QStringList{"35.50"});
        QCOMPARE(KxColumn(r.value("xmldetail"), "commoditycode"), (QStringList{code, ""}));
        QCOMPARE(KxColumn(r.value("xmldetail"), "stocknum").value(0), books("SELECT SUM(stocknum) FROM kx_stock WHERE nickid = '1001' AND commoditycode = ?", {code}));

        // Changed from what was loaded: the order numbers and the account stay, the rest is taken.
        TCallResult loaded = fx().call(kAdmin, "Picking.Load", {{"pickingid", id}});
        TPClientDataSet m2, l2;
        QVERIFY(m2.SetKXXMLData(loaded.value("xmlmaster")) && l2.SetKXXMLData(loaded.value("xmldetail")));
        m2.Edit();
        set(m2, "seller_nick", "someone_else");
        set(m2, "receiver_name", "李四");
        m2.Post();
        l2.First();
        l2.Edit();
        set(l2, "tid", "FORGED");
        set(l2, "title", "新名称");
        l2.Post();
        r = fx().call(kAdmin, "Picking.Update", {}, {{"deltamaster", m2.GetKXXMLDelta()}, {"deltadetail", l2.GetKXXMLDelta()}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(KxColumn(r.value("xmlmaster"), "seller_nick"), QStringList{"varnoq_demo"});
        QCOMPARE(KxColumn(r.value("xmlmaster"), "receiver_name"), QStringList{"李四"});
        QCOMPARE(KxColumn(r.value("xmldetail"), "tid"), (QStringList{"T1", "T1"}));
        QCOMPARE(KxColumn(r.value("xmldetail"), "title"), (QStringList{"新名称", "宝贝"}));

        // Audited: no stock moves, nothing is posted.
        const QString stock = books("SELECT SUM(stocknum) FROM kx_stock WHERE nickid = '1001'");
        loaded = fx().call(kAdmin, "Picking.Load", {{"pickingid", id}});
        TPClientDataSet m3;
        QVERIFY(m3.SetKXXMLData(loaded.value("xmlmaster")));
        m3.Edit();
        m3.FieldByName("status")->SetAsInteger(2);
        m3.Post();
        r = fx().call(kAdmin, "Picking.Audit", {}, {{"deltamaster", m3.GetKXXMLDelta()}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(KxColumn(r.value("xmlmaster"), "status"), QStringList{"2"});
        QCOMPARE(books("SELECT SUM(stocknum) FROM kx_stock WHERE nickid = '1001'"), stock);
        QCOMPARE(books("SELECT COUNT(*) FROM kx_stock_ledger WHERE nickid = '1001' AND doctype = 'picking'"), QStringLiteral("0"));
    }

    // Values out of range are refused, naming the field; nothing is saved.
    void badValuesAreRefused_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("lineField");
        QTest::addColumn<QString>("message");
        QTest::newRow("consignee name too long") << "receiver_name" << QString(51, QChar(u'名')) << "" << "receiver_name不能超过 50 个字符";
        QTest::newRow("negative freight") << "out_fee" << "-1" << "" << "out_fee";
        QTest::newRow("postage too large") << "post_fee" << "100000000" << "" << "post_fee";
        QTest::newRow("title too long") << "" << "" << "title" << "【title】不能超过 200 个字符";
    }
    void badValuesAreRefused()
    {
        QFETCH(QString, header);
        QFETCH(QString, value);
        QFETCH(QString, lineField);
        QFETCH(QString, message);
        const TCallResult empty = fx().call(kAdmin, "Picking.Load", {{"pickingid", ""}});
        TPClientDataSet master, lines;
        QVERIFY(master.SetKXXMLData(empty.value("xmlmaster")) && lines.SetKXXMLData(empty.value("xmldetail")));
        const QString key = QUuid::createUuid().toString(QUuid::Id128);
        master.Append();
        set(master, "md5_key", key);
        set(master, "storageid", "CK01");
        if (!header.isEmpty())
            set(master, header, value);
        master.Post();
        lines.Append();
        set(lines, "md5_key", key);
        set(lines, "num", "1");
        if (!lineField.isEmpty())
            set(lines, lineField, QString(201, QChar(u'长')));
        lines.Post();
        const int before = pickings();
        const TCallResult r = fx().call(kAdmin, "Picking.Update", {}, {{"deltamaster", master.GetKXXMLDelta()}, {"deltadetail", lines.GetKXXMLDelta()}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(message), qPrintable(r.error));
        QCOMPARE(pickings(), before);
    }

    // Orders that may not be picked as listed: the whole call is refused naming the order, and
    // neither a picking list nor a mark stays.
    void ordersThatMayNotBePicked_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("message");
        QTest::newRow("closed meanwhile") << "UPDATE kx_trade SET status = 'TRADE_CLOSED' WHERE nickid = '1001' AND tid = ?" << "已关闭";
        QTest::newRow("a refund opened on a line")
            << "UPDATE kx_trade_order SET refund_status = 'WAIT_SELLER_AGREE' WHERE nickid = '1001' AND tid = ?" << "有退款正在处理";
        QTest::newRow("the consignee changed at the marketplace")
            << "UPDATE kx_trade SET address = address || '（改）' WHERE nickid = '1001' AND tid = ?" << "在网店已有变动";
        QTest::newRow("a line added at the marketplace")
            << "INSERT INTO kx_trade_order (nickid, oid, tid, num) VALUES ('1001', ? || '-9', ?, 1)" << "在网店已有变动";
        QTest::newRow("gone from the books") << "DELETE FROM kx_trade WHERE nickid = '1001' AND tid = ?" << "不存在";
    }
    void ordersThatMayNotBePicked()
    {
        QFETCH(QString, change);
        QFETCH(QString, message);
        const QStringList tids = pickable(2);
        QCOMPARE(tids.size(), 2);
        const TFiles files = pickingCall(tids);
        QVERIFY(!files.isEmpty());
        fx().exec(change, change.count('?') == 2 ? QVariantList{tids[1], tids[1]} : QVariantList{tids[1]});
        const int before = pickings();
        const TCallResult r = fx().call(kAdmin, "Trade.UpdatePicking", {}, files);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(message) && r.error.contains(tids[1]), qPrintable(r.error));
        QCOMPARE(pickings(), before);
        QCOMPARE(books("SELECT dbstatus FROM kx_trade WHERE nickid = '1001' AND tid = ?", {tids[0]}), QStringLiteral("NOT_PICKING"));
    }

    // Nothing selected, or picking lines that name orders the call does not mark.
    void requestsThatPickNothing()
    {
        TCallResult r = fx().call(kAdmin, "Trade.UpdatePicking");
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("没有选择需要生成拣货单的订单"), qPrintable(r.error));
        const QStringList tids = pickable(1);
        TFiles files = pickingCall(tids);
        files.removeFirst();   // the lines without the orders' marks
        r = fx().call(kAdmin, "Trade.UpdatePicking", {}, files);
        QVERIFY(!r.ok);
        QCOMPARE(picked(tids), QStringLiteral("NOT_PICKING"));
    }

    // Lists made together are numbered in turn from the day's counter, past a number already
    // taken; repeating the save once it went through is refused as picked.
    void listsAreNumberedInTurn()
    {
        const QString series = "JH" + QDate::currentDate().toString("yyyyMMdd");
        const qint64 counter = fx().scalar("SELECT value FROM kx_counter WHERE nickid = '1001' AND name = ?", {series}).toLongLong();
        const QString taken = series + QStringLiteral("%1").arg(counter + 2, 3, 10, QLatin1Char('0'));
        fx().exec("INSERT INTO kx_picking (nickid, pickingid, md5_key) VALUES ('1001', ?, ?)", {taken, "typed-" + taken});
        const QStringList tids = pickable(3);
        const TFiles files = pickingCall(tids);
        const TCallResult r = fx().call(kAdmin, "Trade.UpdatePicking", {}, files);
        QVERIFY2(r.ok, qPrintable(r.error));
        QStringList numbers = KxColumn(r.value("xmlmaster"), "pickingid");
        QCOMPARE(numbers.size(), 3);
        QVERIFY(!numbers.contains(taken));
        numbers.removeDuplicates();
        QCOMPARE(numbers.size(), 3);
        const TCallResult again = fx().call(kAdmin, "Trade.UpdatePicking", {}, files);
        QVERIFY(!again.ok);
        QVERIFY2(again.error.contains("已生成拣货单"), qPrintable(again.error));
    }

    // Two operators make picking lists of the same orders at once: one wins, the other is told
    // which orders were picked, and each order is in one picking list only.
    void twoOperatorsPickTheSameOrders()
    {
        fx().exec("UPDATE kx_power SET isupdate = 1 WHERE nickid = '1001' AND operid = 'clerk'"
                  " AND mod_id = (SELECT mod_id FROM kx_module WHERE nickid = '1001' AND mod_name = 'Trade.Module')");
        QVERIFY(fx().call({"1001", "", ""}, "PowerMger.Login", {{"shopcode", "S01"}, {"usercode", "clerk"}, {"password", "clerk888"}}).ok);
        const QStringList tids = pickable(3);
        QCOMPARE(tids.size(), 3);
        const TFiles first = pickingCall(tids), second = pickingCall(tids);
        const int before = pickings();
        TCallResult results[2];
        std::latch start(2);
        std::thread a([&] { start.arrive_and_wait(); results[0] = fx().call(kAdmin, "Trade.UpdatePicking", {}, first); });
        std::thread b([&] { start.arrive_and_wait(); results[1] = fx().call(kClerk, "Trade.UpdatePicking", {}, second); });
        a.join();
        b.join();
        QCOMPARE(int(results[0].ok) + int(results[1].ok), 1);
        const TCallResult& lost = results[0].ok ? results[1] : results[0];
        QVERIFY2(lost.error.contains("已生成拣货单") && lost.error.contains(tids.join("，")), qPrintable(lost.error));
        QCOMPARE(pickings(), before + 3);
        QCOMPARE(picked(tids), QStringLiteral("PICKINGED,PICKINGED,PICKINGED"));
        const TCallResult& won = results[0].ok ? results[0] : results[1];
        QStringList lineTids = KxColumn(won.value("xmldetail"), "tid");
        lineTids.removeDuplicates();
        QCOMPARE(lineTids, tids);
        QCOMPARE(books("SELECT COUNT(DISTINCT pickingid) FROM kx_picking_line WHERE nickid = '1001' AND tid IN (?, ?, ?)", {tids[0], tids[1], tids[2]}),
                 QStringLiteral("3"));
    }
};

QTEST_MAIN(TestPicking)
#include "tst_picking.moc"
