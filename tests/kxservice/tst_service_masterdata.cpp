// The simple master tables through the service's methods: conditions of the paged searches,
// what a save refuses (nothing of the delta is written then), saves beside another writer, and
// operator passwords that never leave the service.
#include "ServiceFixture.h"

#include <QSet>
#include <chrono>
#include <thread>
#include <QUuid>

namespace {
const TCaller kSeller{QStringLiteral("1001"), QString(), QString()};
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};

struct TRowDef {
    QString op;        // "insert" or "delete"
    QStringList values; // field=value
};

// A delta over the given fields (all text but the typed ones named "name:type").
QString delta(const QStringList& fields, const QList<TRowDef>& rows, const QString& packet = QString())
{
    TPClientDataSet ds;
    if (!packet.isEmpty()) {
        ds.SetKXXMLData(packet);
    } else {
        for (const QString& f : fields) {
            const QString type = f.section(':', 1);
            ds.FieldDefs().Add(f.section(':', 0, 0), type == "int" ? ftInteger : type == "bool" ? ftBoolean : type == "dec" ? ftDecimal : ftString, type.isEmpty() ? 100 : 0);
        }
        ds.FieldDefs().Add("md5_key", ftString, 32);
        ds.CreateDataSet();
    }
    for (const TRowDef& r : rows) {
        if (r.op == "delete") {
            const QString v = r.values.first();
            if (ds.Locate(v.section('=', 0, 0), v.section('=', 1)))
                ds.Delete();
            continue;
        }
        ds.Append();
        for (const QString& v : r.values)
            ds.FieldByName(v.section('=', 0, 0))->SetAsString(v.section('=', 1));
        ds.FieldByName("md5_key")->SetAsString(QUuid::createUuid().toString(QUuid::Id128));
        ds.Post();
    }
    return ds.GetKXXMLDelta();
}
}

class TestServiceMasterData : public QObject {
    Q_OBJECT
    std::unique_ptr<TServiceFixture> m_fx;

    TCallResult save(const QString& method, const QString& d) { return m_fx->call(kAdmin, method, {}, {{"delta", d}}); }
    int count(const QString& table) { return m_fx->scalar("SELECT COUNT(*) FROM " + table + " WHERE nickid = '1001'").toInt(); }

private Q_SLOTS:
    void initTestCase()
    {
        m_fx = std::make_unique<TServiceFixture>(QStringLiteral("sqlite"));
        KxSetServiceUrl(m_fx->url());
        QVERIFY(m_fx->call(kSeller, "PowerMger.Login", {{"shopcode", "S01"}, {"usercode", "admin"}, {"password", "admin888"}}).ok);
    }
    void cleanupTestCase()
    {
        m_fx.reset();
        KxSetServiceUrl(QString());
    }

    void searchConditions_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("storages of one type") << "Storage.Search" << QStringList{"storagetype=2"} << "storageid" << QStringList{"CK03"};
        QTest::newRow("name contains") << "Storage.Search" << QStringList{"storagename=发货"} << "storageid" << QStringList{"CK01", "CK02"};
        QTest::newRow("LIKE wildcards are plain text") << "Storage.Search" << QStringList{"storagename=%"} << "storageid" << QStringList{};
        QTest::newRow("key exactly") << "Brand.Search" << QStringList{"brand_id=B02"} << "brand_id" << QStringList{"B02"};
        QTest::newRow("the shops' coreshop parameter is no condition") << "Shop.Search" << QStringList{"coreshop=coreshop", "shopcode=S01"} << "shopcode" << QStringList{"S01"};
        QTest::newRow("carrier companies marked when used") << "Logistics.SearchMger" << QStringList{"logistics_code=SF"} << "nicklogistics_code" << QStringList{"SF"};
        QTest::newRow("the shop's carriers, all at once") << "Logistics.Search" << QStringList{"nick=nick", "curpage=0"} << "logistics_code" << QStringList{"SF", "YTO", "YUNDA", "ZTO"};
    }
    void searchConditions()
    {
        QFETCH(QString, method);
        QFETCH(QStringList, params);
        QFETCH(QString, field);
        QFETCH(QStringList, expected);
        QList<QPair<QString, QString>> p;
        for (const QString& s : params)
            p.append({s.section('=', 0, 0), s.section('=', 1)});
        const TCallResult r = m_fx->call(kAdmin, method, p);
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(KxColumn(r.value("xmldata"), field), expected);
        QCOMPARE(r.value("recordcount").toInt(), expected.size());
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("delta");
        QTest::addColumn<QString>("message");
        const QString ok = QStringLiteral("brand_name=好的");
        QTest::newRow("empty name, after a good row") << "Brand.Update" << "kx_brand"
            << delta({"brand_id", "brand_name"}, {{"insert", {ok}}, {"insert", {"brand_name= "}}}) << "品牌名称不能为空";
        QTest::newRow("duplicate code") << "Brand.Update" << "kx_brand"
            << delta({"brand_id", "brand_name"}, {{"insert", {ok}}, {"insert", {"brand_id=B01", "brand_name=重复"}}}) << "品牌编码【B01】已存在";
        QTest::newRow("unknown storage type") << "Storage.Update" << "kx_storage"
            << delta({"storageid", "storagename", "storagetype:int"}, {{"insert", {"storagename=新仓", "storagetype=9"}}}) << "仓库类型 9 不存在";
        // A storage goods were received into, though none of them is left there.
        const QString storages = QStringLiteral("storageid,storagename,storagetype:int");
        QVERIFY(save("Storage.Update", delta(storages.split(','), {{"insert", {"storageid=CK09", "storagename=收货仓", "storagetype=1"}}})).ok);
        QVERIFY(m_fx->call(kAdmin, "Receive.Update", {}, {{"deltamaster", delta({"suppliercode", "storageid"}, {{"insert", {"suppliercode=GY001", "storageid=CK09"}}})}}).ok);
        const QString storageList = m_fx->call(kAdmin, "Storage.Search", {{"curpage", "0"}}).value("xmldata");
        QTest::newRow("storage holding stock") << "Storage.Update" << "kx_storage"
            << delta({}, {{"delete", {"storageid=CK01"}}}, storageList) << "仓库【CK01】还有库存，不能删除";
        QTest::newRow("storage used by purchase receipts") << "Storage.Update" << "kx_storage"
            << delta({}, {{"delete", {"storageid=CK09"}}}, storageList) << "仓库【CK09】已有采购入库单使用，不能删除";
        QTest::newRow("property kind") << "Prop.Update" << "kx_prop"
            << delta({"propid", "propname", "proptype"}, {{"insert", {"propname=红", "proptype=weight"}}}) << "属性类型";
        QTest::newRow("operator without password") << "Operator.Update" << "kx_operator"
            << delta({"operid", "opername", "operpsw", "isuse:bool"}, {{"insert", {"opername=某人"}}}) << "密码不能为空";
        QTest::newRow("carrier not offered") << "Logistics.Update" << "kx_logistics"
            << delta({"logistics_code", "logistics_name", "logistics_fee:dec"}, {{"insert", {"logistics_code=NOPE", "logistics_fee=1"}}}) << "物流公司【NOPE】不存在";
        QTest::newRow("carrier without code") << "Logistics.Update" << "kx_logistics"
            << delta({"logistics_code", "logistics_name", "logistics_fee:dec"}, {{"insert", {"logistics_fee=1"}}}) << "物流编码不能为空";
        QTest::newRow("negative fee") << "Logistics.Update" << "kx_logistics"
            << delta({"logistics_code", "logistics_name", "logistics_fee:dec"}, {{"insert", {"logistics_code=EMS", "logistics_fee=-1"}}}) << "默认费用不能小于零";
    }
    void refusals()
    {
        QFETCH(QString, method);
        QFETCH(QString, table);
        QFETCH(QString, delta);
        QFETCH(QString, message);
        const int before = count(table);
        const TCallResult r = save(method, delta);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(message), qPrintable(r.error));
        QCOMPARE(count(table), before);
    }

    void savedRowsComeBackWithTheirKeys()
    {
        const TCallResult r = save("Prop.Update", delta({"propid", "propname", "isuse:bool", "proptype"},
                                                        {{"insert", {"propname=天蓝", "isuse=1"}}, {"insert", {"propname=XXL", "proptype=size"}}}));
        QVERIFY2(r.ok, qPrintable(r.error));
        auto ds = KxDataSet(r.value("xmldata"));
        QVERIFY(ds);
        QCOMPARE(ds->RecordCount(), 2);
        for (ds->First(); !ds->Eof(); ds->Next()) {
            QVERIFY(ds->FieldByName("propid")->AsString().startsWith("P"));
            QCOMPARE(ds->FieldByName("md5_key")->AsString().size(), 32);
        }
        // A row made in the grid, which does not show the kind, is a colour.
        QCOMPARE(m_fx->scalar("SELECT proptype FROM kx_prop WHERE nickid = '1001' AND propname = '天蓝'").toString(), QStringLiteral("color"));
        QCOMPARE(m_fx->scalar("SELECT proptype FROM kx_prop WHERE nickid = '1001' AND propname = 'XXL'").toString(), QStringLiteral("size"));
    }

    void passwordsNeverLeaveTheService()
    {
        const TCallResult saved = save("Operator.Update", delta({"operid", "opername", "operpsw", "isuse:bool"},
                                                                {{"insert", {"opername=收银", "operpsw=s3cret!", "isuse=1"}}}));
        QVERIFY2(saved.ok, qPrintable(saved.error));
        const TCallResult list = m_fx->call(kAdmin, "Operator.Search", {{"curpage", "0"}});
        QVERIFY(list.ok);
        for (const TCallResult* r : {&saved, &list}) {
            const QString xml = r->value("xmldata");
            QVERIFY(!xml.contains("argon2"));
            QVERIFY(!xml.contains("s3cret"));
            QVERIFY(KxColumn(xml, "operpsw").join("").isEmpty());
        }
        QVERIFY(KxColumn(list.value("xmldata"), "operid").contains("clerk"));
        const QString operid = KxColumn(saved.value("xmldata"), "operid").value(0);
        QVERIFY(m_fx->call(kSeller, "PowerMger.Login", {{"shopcode", "S01"}, {"usercode", operid}, {"password", "s3cret!"}}).ok);
    }

    // A save of more rows than one statement reads or writes: codes from the series skip the
    // one typed in the same save, every row comes back, and a code deleted and typed again is
    // a new row.
    void manyRowsInOneSave()
    {
        QList<TRowDef> rows{{"insert", {"brand_id=B600", "brand_name=手写编码"}}};
        for (int i = 0; i < 700; ++i)
            rows.append({"insert", {QStringLiteral("brand_name=批量 %1").arg(i)}});
        const int before = count("kx_brand");
        const TCallResult r = save("Brand.Update", delta({"brand_id", "brand_name"}, rows));
        QVERIFY2(r.ok, qPrintable(r.error));
        const QStringList ids = KxColumn(r.value("xmldata"), "brand_id");
        QCOMPARE(ids.size(), 701);
        QCOMPARE(QSet<QString>(ids.begin(), ids.end()).size(), 701);
        QCOMPARE(count("kx_brand"), before + 701);
        QCOMPARE(m_fx->scalar("SELECT brand_name FROM kx_brand WHERE nickid = '1001' AND brand_id = 'B600'").toString(), QStringLiteral("手写编码"));

        const QString list = m_fx->call(kAdmin, "Brand.Search", {{"curpage", "0"}}).value("xmldata");
        const TCallResult again = save("Brand.Update", delta({}, {{"delete", {"brand_id=B600"}}, {"insert", {"brand_id=B600", "brand_name=重新录入"}}}, list));
        QVERIFY2(again.ok, qPrintable(again.error));
        QCOMPARE(m_fx->scalar("SELECT brand_name FROM kx_brand WHERE nickid = '1001' AND brand_id = 'B600'").toString(), QStringLiteral("重新录入"));
    }

    // One stale row among hundreds refuses the whole save, however late in the delta it comes.
    void staleRowInABigSave()
    {
        const QString list = m_fx->call(kAdmin, "Brand.Search", {{"curpage", "0"}}).value("xmldata");
        TPClientDataSet other, stale;
        QVERIFY(other.SetKXXMLData(list) && stale.SetKXXMLData(list));
        QVERIFY(stale.RecordCount() > 600);
        stale.Last();
        const QString last = stale.FieldByName("brand_id")->AsString();
        QVERIFY(other.Locate("brand_id", last));
        other.Edit();
        other.FieldByName("brand_name")->SetAsString("别人改过");
        QVERIFY(other.Post());
        QVERIFY(save("Brand.Update", other.GetKXXMLDelta()).ok);

        for (stale.First(); !stale.Eof(); stale.Next()) {
            stale.Edit();
            stale.FieldByName("brand_name")->SetAsString(stale.FieldByName("brand_name")->AsString() + "·改");
            stale.Post();
        }
        const TCallResult r = save("Brand.Update", stale.GetKXXMLDelta());
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(QStringLiteral("记录【%1】的数据已被他人修改，请刷新后再保存！").arg(last)), qPrintable(r.error));
        QCOMPARE(m_fx->scalar("SELECT COUNT(*) FROM kx_brand WHERE nickid = '1001' AND brand_name LIKE '%·改'").toInt(), 0);
    }

    // Another connection holds SQLite's write lock. A save its checks refuse is answered with
    // its refusal, never asking for the lock (before, it waited the busy timeout out and was
    // answered "busy"), as is a list whose session's time of use is due; a save that writes
    // waits for the lock and then goes through.
    void callsBesideAnotherWriter()
    {
        QSqlDatabase db = m_fx->db();
        m_fx->exec("UPDATE kx_session SET last_seen = last_seen - 120 WHERE nickid = '1001' AND operid = 'admin'");
        const qint64 due = m_fx->scalar("SELECT MAX(last_seen) FROM kx_session WHERE nickid = '1001' AND operid = 'admin'").toLongLong();
        const QString gone = QStringLiteral("<delta><fields><field name=\"brand_id\" type=\"string\" size=\"20\"/>"
                                            "<field name=\"brand_name\" type=\"string\" size=\"100\"/></fields><changes>"
                                            "<update><old brand_id=\"ZZ404\" brand_name=\"旧\"/><new brand_id=\"ZZ404\" brand_name=\"新\"/></update>"
                                            "</changes></delta>");
        const int before = count("kx_brand");
        KxExec(db, "BEGIN IMMEDIATE");
        const TCallResult listed = m_fx->call(kAdmin, "Brand.Search", {{"curpage", "1"}});
        const TCallResult refused = save("Brand.Update", gone);
        TCallResult saved;
        std::thread writer([&] { saved = save("Brand.Update", delta({"brand_id", "brand_name"}, {{"insert", {"brand_id=B777", "brand_name=等锁"}}})); });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        KxExec(db, "ROLLBACK");
        writer.join();
        QVERIFY2(listed.ok, qPrintable(listed.error));
        QVERIFY(!refused.ok);
        QVERIFY2(refused.error.contains(QStringLiteral("要修改的记录【ZZ404】已不存在，请刷新后再试")), qPrintable(refused.error));
        // The time of use the lock kept back is written by a later call.
        QVERIFY(m_fx->call(kAdmin, "Brand.Search", {{"curpage", "1"}}).ok);
        QVERIFY(m_fx->scalar("SELECT MAX(last_seen) FROM kx_session WHERE nickid = '1001' AND operid = 'admin'").toLongLong() > due);
        QVERIFY2(saved.ok, qPrintable(saved.error));
        QCOMPARE(KxColumn(saved.value("xmldata"), "brand_id"), QStringList{"B777"});
        QCOMPARE(count("kx_brand"), before + 1);
    }

    // A delta the grid never makes: one stored row changed twice, or deleted twice.
    void rowNamedTwiceIsRefused_data()
    {
        QTest::addColumn<QString>("changes");
        const QString up = QStringLiteral("<update><old brand_id=\"B01\" brand_name=\"%1\"/><new brand_id=\"B01\" brand_name=\"%2\"/></update>");
        const QString del = QStringLiteral("<delete><old brand_id=\"B01\" brand_name=\"%1\"/></delete>");
        QTest::newRow("updated twice") << up.arg("%1", "甲") + up.arg("%1", "乙");
        QTest::newRow("updated, then deleted") << up.arg("%1", "甲") + del;
        QTest::newRow("deleted twice") << del + del;
    }
    void rowNamedTwiceIsRefused()
    {
        QFETCH(QString, changes);
        const QString name = m_fx->scalar("SELECT brand_name FROM kx_brand WHERE nickid = '1001' AND brand_id = 'B01'").toString();
        const QString d = QStringLiteral("<delta><fields><field name=\"brand_id\" type=\"string\" size=\"20\"/>"
                                         "<field name=\"brand_name\" type=\"string\" size=\"100\"/></fields><changes>%1</changes></delta>")
                              .arg(QString(changes).replace("%1", name));
        const TCallResult r = save("Brand.Update", d);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(QStringLiteral("记录【B01】在提交的修改中出现了多次")), qPrintable(r.error));
        QCOMPARE(m_fx->scalar("SELECT brand_name FROM kx_brand WHERE nickid = '1001' AND brand_id = 'B01'").toString(), name);
    }

    void deletingAnOperatorTakesItsRights()
    {
        QVERIFY(m_fx->scalar("SELECT COUNT(*) FROM kx_power WHERE nickid = '1001' AND operid = 'clerk'").toInt() > 0);
        const QString list = m_fx->call(kAdmin, "Operator.Search", {{"curpage", "0"}}).value("xmldata");
        const TCallResult r = save("Operator.Update", delta({}, {{"delete", {"operid=clerk"}}}, list));
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(m_fx->scalar("SELECT COUNT(*) FROM kx_power WHERE nickid = '1001' AND operid = 'clerk'").toInt(), 0);
        QVERIFY(!m_fx->call(kSeller, "PowerMger.Login", {{"shopcode", "S01"}, {"usercode", "clerk"}, {"password", "clerk888"}}).ok);
    }
};

QTEST_MAIN(TestServiceMasterData)
#include "tst_service_masterdata.moc"
