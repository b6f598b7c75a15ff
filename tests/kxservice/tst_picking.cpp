// Picking lists at the service: the kind's texts and amounts on header and lines, a line from
// an order kept to its order, audits (one or a batch) that take the goods out of the storage;
// carriers and waybill numbers, unique per carrier; shipping reported to the marketplace and
// what it refuses; orders turned into picking lists
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

    // The audit the list sends for the ticked pickings `ids`: one delta, every header at status 2.
    TCallResult auditPickings(const QStringList& ids)
    {
        TPClientDataSet headers;
        for (const QString& id : ids) {
            const TCallResult loaded = fx().call(kAdmin, "Picking.Load", {{"pickingid", id}});
            if (!loaded.ok)
                return loaded;
            if (!headers.Active())
                headers.SetKXXMLData(loaded.value("xmlmaster"));
            else
                headers.KXAppendData(loaded.value("xmlmaster").toUtf8());
        }
        headers.MergeChangeLog();
        for (headers.First(); !headers.Eof(); headers.Next()) {
            headers.Edit();
            headers.FieldByName("status")->SetAsInteger(2);
            headers.Post();
        }
        return fx().call(kAdmin, "Picking.Audit", {}, {{"deltamaster", headers.GetKXXMLDelta()}});
    }

    // Picking lists made of `n` orders whose lines are all bound, one list each; their numbers.
    QStringList boundPickings(int n)
    {
        const QStringList tids = pickable(n, "NOT EXISTS (SELECT 1 FROM kx_trade_order u WHERE u.nickid = t.nickid AND u.tid = t.tid AND u.commoditycode = '')");
        if (tids.size() != n)
            return {};
        const TCallResult r = fx().call(kAdmin, "Trade.UpdatePicking", {}, pickingCall(tids));
        return r.ok ? KxColumn(r.value("xmlmaster"), "pickingid") : QStringList{};
    }

    // The shipping rows of `ids` as the dialog holds them, given `numbers` (carrier, number).
    TCallResult giveNumbers(const QStringList& ids, const QList<QPair<QString, QString>>& numbers)
    {
        const TCallResult shape = fx().call(kAdmin, "PickingSend.Search", {{"pickingid", ids.join(',')}});
        if (!shape.ok)
            return shape;
        TPClientDataSet rows;
        rows.SetKXXMLData(shape.value("xmldata"));
        for (int i = 0; i < numbers.size(); ++i) {
            if (!rows.Locate("pickingid", ids[i]))
                return {};
            rows.Edit();
            rows.FieldByName("company_code")->SetAsString(numbers[i].first);
            rows.FieldByName("out_sid")->SetAsString(numbers[i].second);
            rows.FieldByName("out_fee")->SetAsString("8");
            rows.Post();
        }
        return fx().call(kAdmin, "PickingSend.Update", {}, {{"delta", rows.GetKXXMLDelta()}});
    }
    QString tidOf(const QString& pickingid)
    {
        return books("SELECT MIN(tid) FROM kx_picking_line WHERE nickid = '1001' AND pickingid = ?", {pickingid});
    }
    QString marketStatus(const QString& tid) { return books("SELECT status FROM kx_mk_trade WHERE nickid = '1001' AND tid = ?", {tid}); }

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

        // The audit takes the goods out of the picking storage; a line still without its
        // product stops it, naming the line, and nothing is posted.
        const auto stockOf = [&] {
            return books("SELECT stocknum FROM kx_stock WHERE nickid = '1001' AND storageid = 'CK01' AND commoditycode = ?", {code}).toInt();
        };
        const int before = stockOf();
        r = auditPickings({id});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(id) && r.error.contains("第2行没有商品编码"), qPrintable(r.error));
        QCOMPARE(books("SELECT status FROM kx_picking WHERE nickid = '1001' AND pickingid = ?", {id}), QStringLiteral("1"));
        loaded = fx().call(kAdmin, "Picking.Load", {{"pickingid", id}});
        TPClientDataSet m3, l3;
        QVERIFY(m3.SetKXXMLData(loaded.value("xmlmaster")) && l3.SetKXXMLData(loaded.value("xmldetail")));
        l3.Last();
        l3.Edit();
        set(l3, "commoditycode", code);
        set(l3, "num", "2");
        l3.Post();
        r = fx().call(kAdmin, "Picking.Update", {}, {{"deltadetail", l3.GetKXXMLDelta()}});
        QVERIFY2(r.ok, qPrintable(r.error));
        r = auditPickings({id});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(KxColumn(r.value("xmlmaster"), "status"), QStringList{"2"});
        QCOMPARE(stockOf(), before - 3);
        QCOMPARE(books("SELECT COUNT(*) || ':' || SUM(quantity) FROM kx_stock_ledger WHERE nickid = '1001' AND doctype = 'picking' AND docid = ?", {id}),
                 QStringLiteral("2:-3"));
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
        const QString taken = series + QStringLiteral("%1").arg(counter + 2, 6, 10, QLatin1Char('0'));
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

    // Ticked pickings are audited in one call: the stock of every line falls; one that cannot be
    // audited (a line without its product) refuses the whole batch by its number and nothing
    // is posted.
    void batchAuditTakesTheGoodsOut()
    {
        const QStringList ids = boundPickings(3);
        QCOMPARE(ids.size(), 3);
        const QString stock = "SELECT COALESCE(SUM(stocknum), 0) FROM kx_stock WHERE nickid = '1001' AND storageid = 'CK01'";
        const int before = fx().scalar(stock).toInt();
        const int pieces = fx().scalar("SELECT CAST(SUM(num) AS INTEGER) FROM kx_picking_line WHERE nickid = '1001' AND pickingid IN (?, ?, ?)", {ids[0], ids[1], ids[2]}).toInt();
        const QString line = "SELECT commoditycode FROM kx_picking_line WHERE nickid = '1001' AND pickingid = ? AND seq = 1";
        const QString code = books(line, {ids[2]});
        fx().exec("UPDATE kx_picking_line SET commoditycode = '' WHERE nickid = '1001' AND pickingid = ? AND seq = 1", {ids[2]});
        TCallResult r = auditPickings(ids);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(ids[2]), qPrintable(r.error));
        QCOMPARE(fx().scalar(stock).toInt(), before);
        QCOMPARE(books("SELECT status FROM kx_picking WHERE nickid = '1001' AND pickingid = ?", {ids[0]}), QStringLiteral("1"));
        fx().exec("UPDATE kx_picking_line SET commoditycode = ? WHERE nickid = '1001' AND pickingid = ? AND seq = 1", {code, ids[2]});
        r = auditPickings(ids);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(KxColumn(r.value("xmlmaster"), "pickingid"), ids);
        QCOMPARE(KxColumn(r.value("xmlmaster"), "status"), (QStringList{"2", "2", "2"}));
        QCOMPARE(fx().scalar(stock).toInt(), before - pieces);
        QCOMPARE(fx().scalar("SELECT COUNT(*) FROM kx_stock_ledger WHERE nickid = '1001' AND doctype = 'picking' AND docid IN (?, ?, ?)", {ids[0], ids[1], ids[2]}).toInt(),
                 fx().scalar("SELECT COUNT(*) FROM kx_picking_line WHERE nickid = '1001' AND pickingid IN (?, ?, ?)", {ids[0], ids[1], ids[2]}).toInt());
    }

    // A carrier and waybill number are kept per picking; one number of a carrier on two
    // pickings is refused, in one save and against another picking, by the list's save and
    // by the edit window's; a stale row is refused; a number moving between two pickings of
    // one save is taken.
    void waybillNumbersAreUnique()
    {
        const QStringList ids = boundPickings(3);
        QCOMPARE(ids.size(), 3);
        const QString stem = "U" + m_kind.left(2).toUpper() + QString::number(QDateTime::currentMSecsSinceEpoch() % 100000000);
        TCallResult r = giveNumbers(ids, {{"YTO", stem + "1"}, {"YTO", stem + "2"}, {"ZTO", stem + "1"}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(KxColumn(r.value("xmldata"), "out_sid"), (QStringList{stem + "1", stem + "2", stem + "1"}));
        QCOMPARE(KxColumn(r.value("xmldata"), "out_fee"), (QStringList{"8.00", "8.00", "8.00"}));

        r = giveNumbers({ids[0], ids[1]}, {{"YTO", stem + "7"}, {"YTO", stem + "7"}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("不能重复"), qPrintable(r.error));
        r = giveNumbers({ids[2]}, {{"YTO", stem + "2"}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(ids[1]), qPrintable(r.error));
        r = giveNumbers({ids[0], ids[1]}, {{"YTO", stem + "2"}, {"YTO", stem + "1"}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(books("SELECT out_sid FROM kx_picking WHERE nickid = '1001' AND pickingid = ?", {ids[0]}), stem + "2");

        // The edit window's save is held to the same rule.
        const TCallResult loaded = fx().call(kAdmin, "Picking.Load", {{"pickingid", ids[2]}});
        TPClientDataSet m;
        QVERIFY(m.SetKXXMLData(loaded.value("xmlmaster")));
        m.Edit();
        set(m, "company_code", "YTO");
        set(m, "out_sid", stem + "1");
        m.Post();
        r = fx().call(kAdmin, "Picking.Update", {}, {{"deltamaster", m.GetKXXMLDelta()}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("不能重复"), qPrintable(r.error));

        // A row changed meanwhile by someone else.
        const TCallResult listed = fx().call(kAdmin, "PickingSend.Search", {{"pickingid", ids[2]}});
        TPClientDataSet rows;
        QVERIFY(rows.SetKXXMLData(listed.value("xmldata")));
        fx().exec("UPDATE kx_picking SET out_sid = 'OTHER' WHERE nickid = '1001' AND pickingid = ?", {ids[2]});
        rows.Edit();
        set(rows, "out_sid", stem + "9");
        rows.Post();
        r = fx().call(kAdmin, "PickingSend.Update", {}, {{"delta", rows.GetKXXMLDelta()}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("已被他人修改"), qPrintable(r.error));
    }

    // What a picking needs to be shipped, and what the marketplace refuses with its reason:
    // nothing of a refused picking is shipped.
    void shippingIsRefused_data()
    {
        QTest::addColumn<bool>("audit");
        QTest::addColumn<bool>("number");
        QTest::addColumn<QString>("market");
        QTest::addColumn<QString>("message");
        QTest::newRow("not audited") << false << true << "" << "尚未审核";
        QTest::newRow("no waybill number") << true << false << "" << "没有物流公司或运单号";
        QTest::newRow("a refund opened on the order")
            << true << true << "UPDATE kx_mk_order SET refund_status = 'WAIT_SELLER_AGREE' WHERE nickid = '1001' AND tid = ?" << "有退款正在处理";
        QTest::newRow("closed at the marketplace meanwhile")
            << true << true << "UPDATE kx_mk_trade SET status = 'TRADE_CLOSED' WHERE nickid = '1001' AND tid = ?" << "已关闭";
        QTest::newRow("shipped at the marketplace already")
            << true << true << "UPDATE kx_mk_trade SET status = 'WAIT_BUYER_CONFIRM_GOODS' WHERE nickid = '1001' AND tid = ?" << "已发货";
    }
    void shippingIsRefused()
    {
        QFETCH(bool, audit);
        QFETCH(bool, number);
        QFETCH(QString, market);
        QFETCH(QString, message);
        const QStringList ids = boundPickings(1);
        QCOMPARE(ids.size(), 1);
        if (number)
            QVERIFY(giveNumbers(ids, {{"SF", "R" + ids[0]}}).ok);
        if (audit)
            QVERIFY(auditPickings(ids).ok);
        const QString tid = tidOf(ids[0]);
        if (!market.isEmpty())
            fx().exec(market, {tid});
        const QString status = marketStatus(tid);
        const TCallResult r = fx().call(kAdmin, "NetShop.PickingSend", {{"pickingid", ids[0]}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(message) && r.error.contains(ids[0]), qPrintable(r.error));
        QCOMPARE(marketStatus(tid), status);
        QCOMPARE(books("SELECT issend FROM kx_picking WHERE nickid = '1001' AND pickingid = ?", {ids[0]}), QStringLiteral("0"));
    }

    // Shipped: the marketplace order waits for the buyer with the carrier and number, the
    // picking is marked; reported again (a second run after an interruption) it is skipped.
    // The print and ship list names the orders, carrier, consignee and sender of each.
    void shippedOnceAndListed()
    {
        const QStringList ids = boundPickings(2);
        QCOMPARE(ids.size(), 2);
        QVERIFY(giveNumbers(ids, {{"SF", "S" + ids[0]}, {"SF", "S" + ids[1]}}).ok);
        QVERIFY(auditPickings(ids).ok);
        const QString events = "SELECT COUNT(*) FROM kx_mk_event WHERE nickid = '1001' AND kind = 'ship' AND target = ?";
        TCallResult r = fx().call(kAdmin, "NetShop.PickingSend", {{"pickingid", ids[0]}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(marketStatus(tidOf(ids[0])), QStringLiteral("WAIT_BUYER_CONFIRM_GOODS"));
        QCOMPARE(books("SELECT company_code || ':' || out_sid FROM kx_mk_trade WHERE nickid = '1001' AND tid = ?", {tidOf(ids[0])}), "SF:S" + ids[0]);
        r = fx().call(kAdmin, "NetShop.PickingSend", {{"pickingid", ids[0]}});
        QVERIFY2(r.ok && r.value("skipped") == "1", qPrintable(r.error));
        QCOMPARE(fx().scalar(events, {tidOf(ids[0])}).toInt(), 1);

        r = fx().call(kAdmin, "PickingSend.Search", {{"pickingid", ids.join(',')}, {"renid", "nobody"}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(KxColumn(r.value("xmldata"), "pickingid"), ids);
        QCOMPARE(KxColumn(r.value("xmldata"), "issend"), (QStringList{"True", "False"}));
        QCOMPARE(KxColumn(r.value("xmldata"), "tids"), (QStringList{tidOf(ids[0]), tidOf(ids[1])}));
        QCOMPARE(KxColumn(r.value("xmldata"), "logistics_name").value(0), books("SELECT logistics_name FROM kx_logistics WHERE nickid = '1001' AND logistics_code = 'SF'"));
        QCOMPARE(KxColumn(r.value("xmldata"), "sender_name").value(0), books("SELECT sender_name FROM kx_sendren WHERE nickid = '1001' ORDER BY renid LIMIT 1"));
        QCOMPARE(KxColumn(r.value("xmldata"), "receiver_name").value(1), books("SELECT receiver_name FROM kx_picking WHERE nickid = '1001' AND pickingid = ?", {ids[1]}));
        r = fx().call(kAdmin, "PickingSend.Search", {{"pickingid1", ids[0]}, {"pickingid2", ids[1]}, {"issend", "0"}});
        QCOMPARE(KxColumn(r.value("xmldata"), "pickingid"), QStringList{ids[1]});
    }

    // Numbers past 999 of a day keep their order as text: in the list and in a range.
    void numbersPast999KeepTheirOrder()
    {
        const QString series = "JH" + QDate::currentDate().toString("yyyyMMdd");
        fx().exec("INSERT INTO kx_counter (nickid, name, value) VALUES ('1001', ?, 0) ON CONFLICT DO NOTHING", {series});
        fx().exec("UPDATE kx_counter SET value = 998 WHERE nickid = '1001' AND name = ? AND value < 998", {series});
        const QStringList ids = boundPickings(3);
        QCOMPARE(ids.size(), 3);
        QStringList sorted = ids;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(ids, sorted);
        QVERIFY(ids.last().size() == series.size() + 6);
        const TCallResult r = fx().call(kAdmin, "Picking.Search", {{"pickingid1", ids.first()}, {"pickingid2", ids.last()}, {"curpage", "0"}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(KxColumn(r.value("xmldata"), "pickingid"), (QStringList{ids[2], ids[1], ids[0]}));
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
