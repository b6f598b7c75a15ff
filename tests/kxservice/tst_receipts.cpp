// Purchase receipts through the service's methods, as the list and edit forms call them:
// numbering, saving header and lines together, audit posting to stock and the ledger, the
// status rules the service enforces itself, refused input that writes nothing, edits of a long
// document, concurrent saves (first ones and of one document) and isolation between sellers.
// SQLite, and PostgreSQL when KX_PG_URL is set.
#include "ReceiptSeed.h"
#include "Deltas.h"
#include "ServiceFixture.h"

#include <QDate>
#include <QSet>
#include <QUuid>
#include <algorithm>
#include <thread>

namespace {
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
const TCaller kBossB{QStringLiteral("2002"), QStringLiteral("bossb"), QStringLiteral("S01")};

// One document as the edit form holds it: the structures the load answers, changed locally.
struct TDoc {
    TPClientDataSet master, detail;
    QString key = QUuid::createUuid().toString(QUuid::Id128);

    void create(const QString& supplier, const QString& storage)
    {
        master.Append();
        master.FieldByName("md5_key")->SetAsString(key);
        master.FieldByName("shopcode")->SetAsString("S01");
        master.FieldByName("suppliercode")->SetAsString(supplier);
        master.FieldByName("storageid")->SetAsString(storage);
        master.FieldByName("status")->SetAsInteger(0);
        master.Post();
    }
    void addLine(const QString& code, int quantity)
    {
        const int seq = detail.RecordCount() + 1;
        detail.Append();
        detail.FieldByName("md5_key")->SetAsString(key);
        detail.FieldByName("receiveid")->SetAsString(master.FieldByName("receiveid")->AsString());
        detail.FieldByName("seq")->SetAsInteger(seq);
        detail.FieldByName("commoditycode")->SetAsString(code);
        detail.FieldByName("receivenum")->SetAsInteger(quantity);
        detail.Post();
    }
    QList<QPair<QString, QString>> deltas() const
    {
        QList<QPair<QString, QString>> files;
        if (master.ChangeCount() > 0)
            files.append({"deltamaster", master.GetKXXMLDelta()});
        if (detail.ChangeCount() > 0)
            files.append({"deltadetail", detail.GetKXXMLDelta()});
        return files;
    }
    // The answer replaces what is held: header and every line come back with their keys.
    void take(const TCallResult& r)
    {
        master.SetKXXMLData(r.value("xmlmaster"));
        if (!r.value("xmldetail").isEmpty())
            detail.SetKXXMLData(r.value("xmldetail"));
    }
    QString id() const { return master.FieldByName("receiveid")->AsString(); }
};
}

class TestReceipts : public QObject {
    Q_OBJECT
    TLoggedInServices m_fixtures{{{kAdmin, QStringLiteral("admin888")}, {kBossB, QStringLiteral("bossb888")}}};
    QString m_kind;

    TServiceFixture& fx() { return m_fixtures.of(m_kind); }
    std::unique_ptr<TDoc> open(const TCaller& who, const QString& id)
    {
        const TCallResult r = fx().call(who, "Receive.Load", {{"receiveid", id}});
        if (!r.ok)
            return nullptr;
        auto d = std::make_unique<TDoc>();
        d->take(r);
        if (!d->id().isEmpty())
            d->key = d->master.FieldByName("md5_key")->AsString();
        return d;
    }
    TCallResult save(TDoc& d, const TCaller& who = kAdmin)
    {
        const TCallResult r = fx().call(who, "Receive.Update", {}, d.deltas());
        if (r.ok)
            d.take(r);
        return r;
    }
    TCallResult audit(TDoc& d)
    {
        d.master.Edit();
        d.master.FieldByName("status")->SetAsInteger(2);
        d.master.FieldByName("auditren")->SetAsString("[admin]管理员");
        d.master.Post();
        const TCallResult r = fx().call(kAdmin, "Receive.Audit", {}, {{"deltamaster", d.master.GetKXXMLDelta()}});
        if (r.ok)
            d.take(r);
        else
            d.master.CancelUpdates();
        return r;
    }
    int stock(const QString& storage, const QString& code, const QString& nick = "1001")
    {
        return fx().scalar("SELECT stocknum FROM kx_stock WHERE nickid = ? AND storageid = ? AND commoditycode = ?", {nick, storage, code}).toInt();
    }
    int count(const QString& table, const QString& nick = "1001")
    {
        return fx().scalar("SELECT COUNT(*) FROM " + table + " WHERE nickid = ?", {nick}).toInt();
    }
    static QString money(double v) { return QString::number(v, 'f', 2); }
    // The stored lines of a document, "seq code quantity costprice".
    QStringList storedLines(const QString& id)
    {
        QStringList out;
        QSqlDatabase db = fx().db();
        QSqlQuery q = KxExec(db, "SELECT seq, commoditycode, receivenum, costprice FROM kx_receive_line WHERE nickid = '1001' AND receiveid = ? ORDER BY seq", {id});
        while (q.next())
            out << QStringLiteral("%1 %2 %3 %4").arg(q.value(0).toInt()).arg(q.value(1).toString()).arg(q.value(2).toDouble()).arg(money(q.value(3).toDouble()));
        return out;
    }
    QString productCost(const QString& code)
    {
        return money(fx().scalar("SELECT costprice FROM kx_commodity WHERE nickid = '1001' AND commoditycode = ?", {code}).toDouble());
    }
    // A seller of its own, seeded from the demo file as the fixture's second one is; its
    // operator "boss" logs in (the answer is returned).
    TCallResult ownSeller(const QString& nick)
    {
        QJsonObject file = KxSeedFile(QStringLiteral("demo.json"));
        QJsonObject seller = file.value(QLatin1String("seller")).toObject();
        seller[QLatin1String("nickid")] = nick;
        seller[QLatin1String("masternick")] = QStringLiteral("seller_") + nick;
        file[QLatin1String("seller")] = seller;
        file[QLatin1String("operators")] = QJsonArray{QJsonObject{{"operid", "boss"}, {"opername", "老板"}, {"password", "boss888"}, {"rights", "all"}}};
        file.remove(QLatin1String("market"));
        KxSeedSeller(fx().service->store(), file);
        return fx().call({nick, QString(), QString()}, "PowerMger.Login", {{"shopcode", "S01"}, {"usercode", "boss"}, {"password", "boss888"}});
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

    // Create, number, change, audit; the stock rises by the quantities; the audited document
    // can be neither changed nor audited again, and nothing moves when that is tried.
    void lifecycle()
    {
        auto d = open(kAdmin, QString());
        QVERIFY(d);
        QCOMPARE(d->master.RecordCount(), 0);
        QVERIFY(d->detail.FieldCount() > 0);
        d->create("GY001", "CK01");
        d->addLine("G100101", 5);
        d->addLine("G100102", 3);
        d->addLine("G100103", 4);
        TCallResult r = save(*d);
        QVERIFY2(r.ok, qPrintable(r.error));
        const QString id = d->id();
        QVERIFY2(id.startsWith("RK" + QDate::currentDate().toString("yyyyMMdd")), qPrintable(id));
        QCOMPARE(d->master.FieldByName("status")->AsInteger(), 1);
        QCOMPARE(d->master.FieldByName("md5_key")->AsString(), d->key);
        QCOMPARE(d->master.FieldByName("suppliername")->AsString().isEmpty(), false);
        QCOMPARE(d->master.FieldByName("inputren")->AsString(), fx().scalar("SELECT '[admin]' || opername FROM kx_operator WHERE nickid = '1001' AND operid = 'admin'").toString());
        QCOMPARE(KxColumn(r.value("xmldetail"), "seq"), QStringList({"1", "2", "3"}));
        const double cost1 = fx().scalar("SELECT costprice FROM kx_commodity WHERE nickid = '1001' AND commoditycode = 'G100101'").toDouble();
        QCOMPARE(d->detail.FieldByName("costprice")->AsFloat(), cost1);

        // Line 2 of 3 deleted and the rest renumbered, the first line's quantity changed.
        d->detail.SetRecNo(2);
        d->detail.Delete();
        d->detail.SetRecNo(2);
        d->detail.Edit();
        d->detail.FieldByName("seq")->SetAsInteger(2);
        d->detail.Post();
        d->detail.First();
        d->detail.Edit();
        d->detail.FieldByName("receivenum")->SetAsInteger(7);
        d->detail.Post();
        r = save(*d);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(d->id(), id);
        QCOMPARE(KxColumn(r.value("xmldetail"), "commoditycode"), QStringList({"G100101", "G100103"}));
        d->detail.First();
        QCOMPARE(d->detail.FieldByName("receivenum")->AsInteger(), 7);
        d->detail.Last();
        QCOMPARE(d->detail.FieldByName("receivenum")->AsInteger(), 4);
        const double cost3 = fx().scalar("SELECT costprice FROM kx_commodity WHERE nickid = '1001' AND commoditycode = 'G100103'").toDouble();
        QCOMPARE(d->master.FieldByName("receivemoney")->AsFloat(), 7 * cost1 + 4 * cost3);

        // The list and the lines of the focused document.
        r = fx().call(kAdmin, "Receive.Search", {{"receiveid", id}, {"curpage", "1"}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(KxColumn(r.value("xmldata"), "receiveid"), QStringList{id});
        QCOMPARE(KxColumn(r.value("xmldata"), "storagename"), QStringList{"杭州发货仓"});
        r = fx().call(kAdmin, "Receive.ListDetail", {{"receiveid", id}});
        QCOMPARE(KxColumn(r.value("xmldata"), "seq"), QStringList({"1", "2"}));

        const int before1 = stock("CK01", "G100101"), before3 = stock("CK01", "G100103"), ledger = count("kx_stock_ledger");
        r = audit(*d);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(d->master.FieldByName("status")->AsInteger(), 2);
        QVERIFY(d->master.FieldByName("auditren")->AsString().startsWith("[admin]"));
        QVERIFY(!d->master.FieldByName("audittime")->AsString().isEmpty());
        QCOMPARE(stock("CK01", "G100101"), before1 + 7);
        QCOMPARE(stock("CK01", "G100103"), before3 + 4);
        QCOMPARE(count("kx_stock_ledger"), ledger + 2);
        QCOMPARE(fx().scalar("SELECT stockafter FROM kx_stock_ledger WHERE nickid = '1001' AND docid = ? AND docseq = 1", {id}).toInt(), before1 + 7);

        // A second client still holding status 1 cannot change or audit it.
        auto stale = open(kAdmin, id);
        QVERIFY(stale);
        stale->master.Edit();
        stale->master.FieldByName("memo")->SetAsString("改了");
        stale->master.FieldByName("status")->SetAsInteger(1);
        stale->master.Post();
        stale->addLine("G100102", 9);
        r = save(*stale);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("已审核"), qPrintable(r.error));
        QCOMPARE(fx().scalar("SELECT memo FROM kx_receive WHERE nickid = '1001' AND receiveid = ?", {id}).toString(), QString());
        QCOMPARE(fx().scalar("SELECT COUNT(*) FROM kx_receive_line WHERE nickid = '1001' AND receiveid = ?", {id}).toInt(), 2);

        auto again = open(kAdmin, id);
        again->master.Edit();
        again->master.FieldByName("status")->SetAsInteger(1);
        again->master.Post();
        again->master.MergeChangeLog();
        r = audit(*again);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("不能重复审核"), qPrintable(r.error));
        QCOMPARE(stock("CK01", "G100101"), before1 + 7);
        QCOMPARE(count("kx_stock_ledger"), ledger + 2);
    }

    void auditRefusals_data()
    {
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QString>("message");
        QTest::newRow("never saved") << false << "请先保存";
        QTest::newRow("unsaved edits") << true << "请保存后再提交审核";
    }
    void auditRefusals()
    {
        QFETCH(bool, saved);
        QFETCH(QString, message);
        auto d = open(kAdmin, QString());
        d->create("GY001", "CK01");
        d->addLine("G100101", 2);
        if (saved) {
            QVERIFY(save(*d).ok);
            d->master.Edit();
            d->master.FieldByName("memo")->SetAsString("未保存");
            d->master.Post();
        }
        const int before = stock("CK01", "G100101");
        const TCallResult r = audit(*d);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(message), qPrintable(r.error));
        QCOMPARE(stock("CK01", "G100101"), before);
        if (saved)
            QCOMPARE(fx().scalar("SELECT status FROM kx_receive WHERE nickid = '1001' AND md5_key = ?", {d->key}).toInt(), 1);
    }

    void badInputWritesNothing_data()
    {
        QTest::addColumn<QStringList>("header");   // suppliercode, storageid
        QTest::addColumn<QList<QStringList>>("lines");  // seq, commoditycode, receivenum
        QTest::addColumn<QString>("message");
        const QList<QStringList> good{{"1", "G100101", "3"}};
        QTest::newRow("unknown supplier") << QStringList{"NOPE", "CK01"} << good << "供应商【NOPE】不存在";
        QTest::newRow("no supplier") << QStringList{"", "CK01"} << good << "供应商信息不能为空";
        QTest::newRow("storage not for receipts") << QStringList{"GY001", "CK03"} << good << "仓库【CK03】";
        QTest::newRow("unknown product after a good line") << QStringList{"GY001", "CK01"}
            << QList<QStringList>{{"1", "G100101", "3"}, {"2", "NOPE01", "1"}} << "第 2 行的商品【NOPE01】不存在";
        QTest::newRow("line without product") << QStringList{"GY001", "CK01"} << QList<QStringList>{{"1", "", "3"}} << "商品编码不能为空";
        QTest::newRow("quantity not a number") << QStringList{"GY001", "CK01"} << QList<QStringList>{{"1", "G100101", "abc"}} << "数量【abc】无效";
        QTest::newRow("fractional quantity") << QStringList{"GY001", "CK01"} << QList<QStringList>{{"1", "G100101", "2.5"}} << "数量【2.5】无效";
        QTest::newRow("negative quantity") << QStringList{"GY001", "CK01"} << QList<QStringList>{{"1", "G100101", "-1"}} << "数量【-1】无效";
        QTest::newRow("quantity 0, named by its line") << QStringList{"GY001", "CK01"}
            << QList<QStringList>{{"1", "G100101", "3"}, {"2", "G100102", "0"}} << "第 2 行的数量不能为 0";
        QTest::newRow("quantity past the range") << QStringList{"GY001", "CK01"} << QList<QStringList>{{"1", "G100101", "9223372036854775807"}}
            << "超出范围";
    }
    void badInputWritesNothing()
    {
        QFETCH(QStringList, header);
        QFETCH(QList<QStringList>, lines);
        QFETCH(QString, message);
        const QString key = QUuid::createUuid().toString(QUuid::Id128);
        QList<QStringList> rows;
        for (const QStringList& l : lines)
            rows.append(QStringList{key} + l);
        const int headers = count("kx_receive"), saved = count("kx_receive_line");
        const QVariant counter = fx().scalar("SELECT SUM(value) FROM kx_counter WHERE nickid = '1001'");
        const TCallResult r = fx().call(kAdmin, "Receive.Update", {},
            {{"deltamaster", KxTextDelta({"md5_key", "suppliercode", "storageid"}, {QStringList{key} + header}, 64)},
             {"deltadetail", KxTextDelta({"md5_key", "seq", "commoditycode", "receivenum"}, rows, 64)}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(message), qPrintable(r.error));
        QCOMPARE(count("kx_receive"), headers);
        QCOMPARE(count("kx_receive_line"), saved);
        QCOMPARE(fx().scalar("SELECT SUM(value) FROM kx_counter WHERE nickid = '1001'"), counter);
    }

    void concurrentFirstSavesGetTheirOwnNumbers()
    {
        TServiceFixture& f = fx();
        constexpr int kThreads = 8;
        std::vector<QString> ids(kThreads), problems(kThreads);
        std::vector<std::thread> threads;
        const QString url = f.url();
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                KxSetServiceUrl(url);
                const QString key = QUuid::createUuid().toString(QUuid::Id128);
                const TCallResult r = f.call(kAdmin, "Receive.Update", {},
                    {{"deltamaster", KxTextDelta({"md5_key", "suppliercode", "storageid"}, {{key, "GY002", "CK02"}}, 64)},
                     {"deltadetail", KxTextDelta({"md5_key", "seq", "commoditycode", "receivenum"}, {{key, "1", "G100201", "1"}}, 64)}});
                if (r.ok)
                    ids[size_t(t)] = KxColumn(r.value("xmlmaster"), "receiveid").value(0);
                else
                    problems[size_t(t)] = r.error;
                KxResetTransport();
            });
        for (auto& th : threads)
            th.join();
        KxSetServiceUrl(url);
        for (const QString& p : problems)
            QVERIFY2(p.isEmpty(), qPrintable(p));
        const QSet<QString> distinct(ids.begin(), ids.end());
        QCOMPARE(distinct.size(), kThreads);
        QVERIFY(!distinct.contains(QString()));
    }

    // A long document edited as the form edits it. Every save leaves exactly the form's lines
    // in the form's order, numbered 1..n; a line keeps its price unless it is new or its product
    // changed; the total follows the lines; a refused edit changes nothing.
    void editsOfALongDocument_data()
    {
        // "qty SEQ N", "code SEQ CODE" (@SEQ: that line's product), "del SEQ", "ins SEQ CODE N"
        // (the form numbers the lines from there on one higher), "cost SEQ" (the product of
        // that line costs 1 more from now on).
        QTest::addColumn<QStringList>("edits");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("quantities") << QStringList{"qty 1 9", "qty 150 40", "qty 300 4"} << "";
        QTest::newRow("quantity 0 among good edits") << QStringList{"qty 1 9", "qty 300 0"} << "第 300 行的数量不能为 0";
        QTest::newRow("products") << QStringList{"code 2 G100101", "code 299 G100102"} << "";
        QTest::newRow("deleted in the middle and at the end") << QStringList{"del 10", "del 11", "del 300"} << "";
        QTest::newRow("inserted in the middle") << QStringList{"ins 6 G100101 2"} << "";
        QTest::newRow("price changed since the save") << QStringList{"cost 8", "qty 8 5", "code 9 @8"} << "";
        QTest::newRow("all at once") << QStringList{"del 3", "ins 100 G100103 7", "qty 200 1", "code 250 G100101", "del 299"} << "";
        QTest::newRow("unknown product among good edits") << QStringList{"qty 1 9", "code 200 NOPE01"} << "第 200 行的商品【NOPE01】不存在";
    }
    void editsOfALongDocument()
    {
        QFETCH(QStringList, edits);
        QFETCH(QString, refusal);
        // 300 different products: more than one query's worth of codes, several inserts' worth of lines.
        QStringList codes;
        QSqlDatabase db = fx().db();
        QSqlQuery q = KxExec(db, "SELECT commoditycode FROM kx_commodity WHERE nickid = '1001' ORDER BY commoditycode");
        while (q.next())
            codes << q.value(0).toString();
        codes = codes.mid(20, 300);
        QCOMPARE(codes.size(), 300);
        auto d = open(kAdmin, QString());
        d->create("GY001", "CK01");
        for (int i = 0; i < codes.size(); ++i)
            d->addLine(codes[i], i % 7 + 1);
        TCallResult r = save(*d);
        QVERIFY2(r.ok, qPrintable(r.error));
        const QString id = d->id();
        QCOMPARE(storedLines(id).size(), 300);
        QCOMPARE(storedLines(id).value(299), QStringLiteral("300 %1 %2 %3").arg(codes[299]).arg(299 % 7 + 1).arg(productCost(codes[299])));

        const auto line = [&](int seq) {
            for (d->detail.First(); !d->detail.Eof(); d->detail.Next())
                if (d->detail.FieldByName("seq")->AsInteger() == seq)
                    return true;
            return false;
        };
        const auto setProduct = [&](const QString& code) {
            d->detail.FieldByName("commoditycode")->SetAsString(code);
            d->detail.FieldByName("costprice")->SetAsString(productCost(code));
        };
        for (const QString& e : edits) {
            const QStringList a = e.split(' ');
            const int seq = a.value(1).toInt();
            if (a[0] == "ins") {
                for (d->detail.First(); !d->detail.Eof(); d->detail.Next())
                    if (d->detail.FieldByName("seq")->AsInteger() >= seq) {
                        d->detail.Edit();
                        d->detail.FieldByName("seq")->SetAsInteger(d->detail.FieldByName("seq")->AsInteger() + 1);
                        d->detail.Post();
                    }
                d->detail.Append();
                d->detail.FieldByName("md5_key")->SetAsString(d->key);
                d->detail.FieldByName("receiveid")->SetAsString(id);
                d->detail.FieldByName("seq")->SetAsInteger(seq);
                setProduct(a[2]);
                d->detail.FieldByName("receivenum")->SetAsInteger(a[3].toInt());
                d->detail.Post();
                continue;
            }
            QVERIFY2(line(seq), qPrintable(e));
            if (a[0] == "del") {
                d->detail.Delete();
            } else if (a[0] == "cost") {
                fx().exec("UPDATE kx_commodity SET costprice = costprice + 1 WHERE nickid = '1001' AND commoditycode = ?",
                          {d->detail.FieldByName("commoditycode")->AsString()});
            } else {
                QString value = a[2];
                if (value.startsWith('@')) {
                    QVERIFY(line(value.mid(1).toInt()));
                    value = d->detail.FieldByName("commoditycode")->AsString();
                    QVERIFY(line(seq));
                }
                d->detail.Edit();
                if (a[0] == "qty")
                    d->detail.FieldByName("receivenum")->SetAsInteger(value.toInt());
                else
                    setProduct(value);
                d->detail.Post();
            }
        }
        // The form's lines in their order, as they should now be stored.
        struct TExpected { int seq; QString code; int quantity; QString cost; };
        std::vector<TExpected> form;
        for (d->detail.First(); !d->detail.Eof(); d->detail.Next())
            form.push_back({d->detail.FieldByName("seq")->AsInteger(), d->detail.FieldByName("commoditycode")->AsString(),
                            d->detail.FieldByName("receivenum")->AsInteger(), money(d->detail.FieldByName("costprice")->AsFloat())});
        std::stable_sort(form.begin(), form.end(), [](const TExpected& x, const TExpected& y) { return x.seq < y.seq; });
        QStringList expected, expectedCodes;
        double total = 0;
        for (size_t i = 0; i < form.size(); ++i) {
            expected << QStringLiteral("%1 %2 %3 %4").arg(i + 1).arg(form[i].code).arg(form[i].quantity).arg(form[i].cost);
            expectedCodes << form[i].code;
            total += form[i].quantity * form[i].cost.toDouble();
        }

        const QStringList before = storedLines(id);
        const QString moneyBefore = fx().scalar("SELECT receivemoney FROM kx_receive WHERE nickid = '1001' AND receiveid = ?", {id}).toString();
        r = save(*d);
        if (!refusal.isEmpty()) {
            QVERIFY(!r.ok);
            QVERIFY2(r.error.contains(refusal), qPrintable(r.error));
            QCOMPARE(storedLines(id), before);
            QCOMPARE(fx().scalar("SELECT receivemoney FROM kx_receive WHERE nickid = '1001' AND receiveid = ?", {id}).toString(), moneyBefore);
            return;
        }
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(storedLines(id), expected);
        QCOMPARE(KxColumn(r.value("xmldetail"), "commoditycode"), expectedCodes);
        QCOMPARE(money(fx().scalar("SELECT receivemoney FROM kx_receive WHERE nickid = '1001' AND receiveid = ?", {id}).toDouble()), money(total));
    }

    // Saves of one document at once, each adding a line to what its client holds: every line
    // is kept and none of the saves fails.
    void concurrentSavesOfOneDocumentKeepEveryLine()
    {
        TServiceFixture& f = fx();
        auto d = open(kAdmin, QString());
        d->create("GY001", "CK01");
        d->addLine("G100101", 1);
        QVERIFY(save(*d).ok);
        const QString key = d->key;
        constexpr int kThreads = 6;
        std::vector<QString> problems(kThreads);
        std::vector<std::thread> threads;
        const QString url = f.url();
        QStringList expected{"G100101"};
        for (int t = 0; t < kThreads; ++t) {
            const QString code = QStringLiteral("G10020%1").arg(t + 1);
            expected << code;
            threads.emplace_back([&, t, code] {
                KxSetServiceUrl(url);
                const TCallResult r = f.call(kAdmin, "Receive.Update", {},
                    {{"deltadetail", KxTextDelta({"md5_key", "seq", "commoditycode", "receivenum"}, {{key, "2", code, "1"}}, 64)}});
                if (!r.ok)
                    problems[size_t(t)] = r.error;
                KxResetTransport();
            });
        }
        for (auto& th : threads)
            th.join();
        KxSetServiceUrl(url);
        for (const QString& p : problems)
            QVERIFY2(p.isEmpty(), qPrintable(p));
        QStringList codes, seqs;
        for (const QString& l : storedLines(d->id())) {
            seqs << l.section(' ', 0, 0);
            codes << l.section(' ', 1, 1);
        }
        codes.sort();
        QCOMPARE(codes, expected);
        QCOMPARE(seqs, QStringList({"1", "2", "3", "4", "5", "6", "7"}));
    }

    // Receipts written by the seeding helper behave as saved ones: listed page by page, loaded
    // with their lines and a total that matches them, edited, and numbered apart from new ones.
    void seededReceiptsAreOrdinaryDocuments()
    {
        // A seller of its own, so that the seeded documents touch no other test.
        const TCaller seller{QStringLiteral("3003"), QStringLiteral("boss"), QStringLiteral("S01")};
        const TCallResult login = ownSeller(seller.nick);
        QVERIFY2(login.ok, qPrintable(login.error));
        KxSeedReceipts(fx().db(), seller.nick, 50, 3);
        QSet<QString> listed;
        for (int page = 1; page <= 3; ++page) {
            // Dated before today: apart from the numbers the service gives today's documents.
            const TCallResult r = fx().call(seller, "Receive.Search", {{"dateto", QDate::currentDate().addDays(-1).toString("yyyy-MM-dd")},
                                                                       {"curpage", QString::number(page)}, {"pagesize", "20"}});
            QVERIFY2(r.ok, qPrintable(r.error));
            QCOMPARE(r.value("recordcount").toInt(), 50);
            QCOMPARE(r.value("pagecount").toInt(), 3);
            const QStringList ids = KxColumn(r.value("xmldata"), "receiveid");
            QCOMPARE(ids.size(), page < 3 ? 20 : 10);
            for (const QString& id : ids)
                listed.insert(id);
        }
        QCOMPARE(listed.size(), 50);

        const QString id = *std::min_element(listed.begin(), listed.end());
        auto d = open(seller, id);
        QVERIFY(d);
        QCOMPARE(d->master.FieldByName("status")->AsInteger(), 1);
        QVERIFY(!d->master.FieldByName("storagename")->AsString().isEmpty());
        QStringList seqs;
        double total = 0;
        for (d->detail.First(); !d->detail.Eof(); d->detail.Next()) {
            seqs << d->detail.FieldByName("seq")->AsString();
            total += d->detail.FieldByName("receivenum")->AsInteger() * d->detail.FieldByName("costprice")->AsFloat();
        }
        QCOMPARE(seqs, QStringList({"1", "2", "3"}));
        QCOMPARE(money(d->master.FieldByName("receivemoney")->AsFloat()), money(total));

        d->detail.First();
        d->detail.Edit();
        d->detail.FieldByName("receivenum")->SetAsInteger(d->detail.FieldByName("receivenum")->AsInteger() + 1);
        d->detail.Post();
        TCallResult r = save(*d, seller);
        QVERIFY2(r.ok, qPrintable(r.error));
        d->detail.First();
        QCOMPARE(money(d->master.FieldByName("receivemoney")->AsFloat()), money(total + d->detail.FieldByName("costprice")->AsFloat()));

        auto fresh = open(seller, QString());
        fresh->create("GY001", "CK01");
        fresh->addLine("G100101", 1);
        r = save(*fresh, seller);
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(!listed.contains(fresh->id()));
        QCOMPARE(count("kx_receive", seller.nick), 51);
    }

    void sellersSeeOnlyTheirOwn()
    {
        auto d = open(kAdmin, QString());
        d->create("GY001", "CK01");
        d->addLine("G100101", 1);
        QVERIFY(save(*d).ok);
        const QString id = d->id();

        TCallResult r = fx().call(kBossB, "Receive.Search", {{"curpage", "0"}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QVERIFY(!KxColumn(r.value("xmldata"), "receiveid").contains(id));
        r = fx().call(kBossB, "Receive.Load", {{"receiveid", id}});
        QVERIFY(!r.ok);
        r = fx().call(kBossB, "Receive.ListDetail", {{"receiveid", id}});
        QCOMPARE(KxColumn(r.value("xmldata"), "seq"), QStringList());

        // The other seller cannot reach the document by its row key either.
        d->master.Edit();
        d->master.FieldByName("memo")->SetAsString("乙改的");
        d->master.Post();
        r = fx().call(kBossB, "Receive.Update", {}, d->deltas());
        QVERIFY(!r.ok);
        QCOMPARE(fx().scalar("SELECT memo FROM kx_receive WHERE nickid = '1001' AND receiveid = ?", {id}).toString(), QString());
        QCOMPARE(count("kx_receive", "2002"), 0);
    }

    void searchConditions_data()
    {
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<int>("expected");   // documents of the fixed set below
        QTest::newRow("supplier") << QStringList{"suppliercode=GY003"} << 2;
        QTest::newRow("supplier and storage") << QStringList{"suppliercode=GY003", "storageid=CK02"} << 1;
        QTest::newRow("status") << QStringList{"suppliercode=GY003", "status=2"} << 1;
        QTest::newRow("today") << QStringList{"suppliercode=GY003", "datefrom=" + QDate::currentDate().toString("yyyy-MM-dd"), "dateto=" + QDate::currentDate().toString("yyyy-MM-dd")} << 2;
        QTest::newRow("before today") << QStringList{"suppliercode=GY003", "dateto=" + QDate::currentDate().addDays(-1).toString("yyyy-MM-dd")} << 0;
    }
    void searchConditions()
    {
        QFETCH(QStringList, params);
        QFETCH(int, expected);
        if (fx().scalar("SELECT COUNT(*) FROM kx_receive WHERE nickid = '1001' AND suppliercode = 'GY003'").toInt() == 0) {
            for (const char* storage : {"CK01", "CK02"}) {
                auto d = open(kAdmin, QString());
                d->create("GY003", storage);
                d->addLine("G100101", 1);
                QVERIFY(save(*d).ok);
                if (QLatin1String(storage) == QLatin1String("CK01"))
                    QVERIFY(audit(*d).ok);
            }
        }
        QList<QPair<QString, QString>> p;
        for (const QString& s : params)
            p.append({s.section('=', 0, 0), s.section('=', 1)});
        p.append(qMakePair(QStringLiteral("curpage"), QStringLiteral("1")));
        const TCallResult r = fx().call(kAdmin, "Receive.Search", p);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(r.value("recordcount").toInt(), expected);
    }

    // Read page after page, the list is the seller's documents that meet the conditions,
    // newest first and by number within one time, with the same count on every page and none
    // past the last. Whole days share one time, so equal times straddle page boundaries, and
    // some documents sit at the last second of a day or at midnight of the next.
    void pagesReadInTurnAreTheList_data()
    {
        QTest::addColumn<QStringList>("params");
        const QString first = QDate::currentDate().addDays(-3).toString("yyyy-MM-dd");
        const QString second = QDate::currentDate().addDays(-2).toString("yyyy-MM-dd");
        QTest::newRow("all") << QStringList{};
        QTest::newRow("storage") << QStringList{"storageid=CK02"};
        QTest::newRow("supplier and status") << QStringList{"suppliercode=GY002", "status=2"};
        QTest::newRow("part of the supplier's name") << QStringList{"suppliername=印染"};
        QTest::newRow("part of the number") << QStringList{"receiveid=" + QString(second).remove('-') + "0"};
        QTest::newRow("memo part with a wildcard") << QStringList{"memo=0%"};
        QTest::newRow("up to a day's last second") << QStringList{"dateto=" + first};
        QTest::newRow("from a day's midnight") << QStringList{"datefrom=" + second};
        QTest::newRow("one day") << QStringList{"datefrom=" + second, "dateto=" + second};
        QTest::newRow("no document") << QStringList{"memo=没有"};
    }
    void pagesReadInTurnAreTheList()
    {
        QFETCH(QStringList, params);
        const TCaller seller{QStringLiteral("3004"), QStringLiteral("boss"), QStringLiteral("S01")};
        const QString first = QDate::currentDate().addDays(-3).toString("yyyyMMdd");
        const QString second = QDate::currentDate().addDays(-2).toString("yyyyMMdd");
        if (count("kx_receive", seller.nick) == 0) {
            QVERIFY(ownSeller(seller.nick).ok);
            KxSeedReceipts(fx().db(), seller.nick, 250, 1);
            fx().exec("UPDATE kx_receive SET inputtime = substr(inputtime, 1, 10) || ' 12:00:00' WHERE nickid = ?", {seller.nick});
            fx().exec("UPDATE kx_receive SET inputtime = substr(inputtime, 1, 10) || ' 23:59:59' WHERE nickid = ? AND receiveid LIKE ?",
                      {seller.nick, "RK" + first + "%1"});
            fx().exec("UPDATE kx_receive SET inputtime = substr(inputtime, 1, 10) || ' 00:00:00' WHERE nickid = ? AND receiveid LIKE ?",
                      {seller.nick, "RK" + second + "%2"});
            fx().exec("UPDATE kx_receive SET status = 2 WHERE nickid = ? AND (receiveid LIKE '%3' OR receiveid LIKE '%6')", {seller.nick});
            fx().exec("UPDATE kx_receive SET memo = '50%折' WHERE nickid = ? AND receiveid LIKE '%4'", {seller.nick});
            fx().exec("UPDATE kx_receive SET memo = '500折' WHERE nickid = ? AND receiveid LIKE '%5'", {seller.nick});
            for (const char* time : {"% 23:59:59", "% 00:00:00"})
                QCOMPARE(fx().scalar("SELECT COUNT(*) FROM kx_receive WHERE nickid = ? AND inputtime LIKE ?", {seller.nick, time}).toInt(), 10);
        }

        // The expected list, from the stored rows.
        QMap<QString, QString> param;
        for (const QString& p : params)
            param.insert(p.section('=', 0, 0), p.section('=', 1));
        QMap<QString, QString> storageNames;
        QSqlDatabase db = fx().db();
        QSqlQuery st = KxExec(db, "SELECT storageid, storagename FROM kx_storage WHERE nickid = ?", {seller.nick});
        while (st.next())
            storageNames.insert(st.value(0).toString(), st.value(1).toString());
        QList<QStringList> docs;   // inputtime, receiveid, storageid, storagename, status
        QSqlQuery q = KxExec(db, "SELECT inputtime, receiveid, storageid, status, suppliercode, suppliername, memo FROM kx_receive WHERE nickid = ?",
                             {seller.nick});
        while (q.next()) {
            const auto is = [&](const char* name, int column) {
                return !param.contains(name) || q.value(column).toString() == param[name];
            };
            const auto has = [&](const char* name, int column) {
                return !param.contains(name) || q.value(column).toString().contains(param[name]);
            };
            const QString day = q.value(0).toString().left(10);
            if (has("receiveid", 1) && is("storageid", 2) && is("status", 3) && is("suppliercode", 4) && has("suppliername", 5)
                && has("memo", 6) && day >= param.value("datefrom", day) && day <= param.value("dateto", day))
                docs.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                             storageNames.value(q.value(2).toString()), q.value(3).toString()});
        }
        std::sort(docs.begin(), docs.end(), [](const QStringList& a, const QStringList& b) {
            return a[0] != b[0] ? a[0] > b[0] : a[1] > b[1];
        });
        QStringList expected;
        for (const QStringList& d : docs)
            expected << d.join('|');

        const int pageSize = 25, pages = std::max<int>(1, (expected.size() + pageSize - 1) / pageSize);
        const auto list = [&](const QString& page, QStringList* rows) {
            QList<QPair<QString, QString>> p;
            for (auto it = param.cbegin(); it != param.cend(); ++it)
                p.append({it.key(), it.value()});
            p.append({"curpage", page});
            p.append({"pagesize", QString::number(pageSize)});
            const TCallResult r = fx().call(seller, "Receive.Search", p);
            if (!r.ok)
                return QStringLiteral("error: ") + r.error;
            auto ds = KxDataSet(r.value("xmldata"));
            if (!ds)
                return QStringLiteral("not a data packet");
            for (ds->First(); !ds->Eof(); ds->Next()) {
                QStringList f;
                for (const char* name : {"inputtime", "receiveid", "storageid", "storagename", "status"})
                    f << ds->FieldByName(name)->AsString();
                *rows << f.join('|');
            }
            return r.value("recordcount") + " " + r.value("pagecount");
        };
        const QString counts = QStringLiteral("%1 %2").arg(expected.size()).arg(pages);
        QStringList read;
        for (int page = 1; page <= pages + 1; ++page) {
            const qsizetype before = read.size();
            QCOMPARE(list(QString::number(page), &read), counts);
            QCOMPARE(read.size() - before, std::clamp<qsizetype>(expected.size() - qsizetype(page - 1) * pageSize, 0, pageSize));
        }
        QCOMPARE(read, expected);

        QStringList opening, all;
        QCOMPARE(list("-1", &opening), counts);
        QCOMPARE(opening, expected.mid(0, pageSize));
        QCOMPARE(list("0", &all), QStringLiteral("%1 1").arg(expected.size()));
        QCOMPARE(all, expected);
    }

    // The module descriptions name exactly the methods the service implements.
    void modulesNameTheirMethods_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QStringList>("expected");   // name=value
        QTest::newRow("list") << "Receive.Module" << QStringList{"search=Receive.Search", "listdetail=Receive.ListDetail",
            "status=Lookup.DocStatus", "storage=Lookup.Storage", "module=Receive.Edit", "rmf=caigoudan.rmf"};
        QTest::newRow("edit") << "Receive.Edit" << QStringList{"search=Receive.Load", "update=Receive.Update",
            "audit=Receive.Audit", "status=Lookup.DocStatus", "rmf=caigoudan.rmf"};
    }
    void modulesNameTheirMethods()
    {
        QFETCH(QString, module);
        QFETCH(QStringList, expected);
        const TCallResult d = fx().call(kAdmin, module);
        QVERIFY2(d.ok, qPrintable(d.error));
        for (const QString& e : expected)
            QCOMPARE(d.value(e.section('=', 0, 0)), e.section('=', 1));
        QVERIFY(d.value("masterlabels").contains("receiveid="));
        QVERIFY(d.value("detaillabels").contains("receivenum="));
    }

    void statusList()
    {
        const TCallResult r = fx().call(kAdmin, "Lookup.DocStatus");
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(KxColumn(r.value("xmldata"), "status"), QStringList({"0", "1", "2"}));
    }
};

QTEST_MAIN(TestReceipts)
#include "tst_receipts.moc"
