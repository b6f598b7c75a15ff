// Waybill templates at the service: the seeded list, saves that keep every template's file
// stem a plain file name of its own, and the files kept for every workstation (stored only
// for a template that exists, the layout leaving with its template). SQLite, and PostgreSQL
// when KX_PG_URL is set.
#include "ServiceFixture.h"

namespace {
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};
const TCaller kOther{QStringLiteral("2002"), QStringLiteral("bossb"), QStringLiteral("S01")};
using TParams = QList<QPair<QString, QString>>;
}

class TestExpress : public QObject {
    Q_OBJECT
    TLoggedInServices m_fixtures{{{kAdmin, QStringLiteral("admin888")}, {kOther, QStringLiteral("bossb888")}}};
    QString m_kind;

    TServiceFixture& fx() { return m_fixtures.of(m_kind); }
    // A delta adding a template, or changing the one with `id` in the list given.
    QString addDelta(const QString& name, const QString& file, const QString& code = QStringLiteral("SF"))
    {
        const TCallResult r = fx().call(kAdmin, "Express.Search", {{"express_id", "NONE"}});
        auto ds = KxDataSet(r.value("xmldata"));
        if (!ds)
            return QStringLiteral("<no list: %1>").arg(r.error);
        ds->Append();
        ds->FieldByName("express_name")->SetAsString(name);
        ds->FieldByName("express_file")->SetAsString(file);
        ds->FieldByName("logistics_code")->SetAsString(code);
        ds->FieldByName("is_use")->SetAsBoolean(true);
        ds->FieldByName("md5_key")->SetAsString(QUuid::createUuid().toString(QUuid::Id128));
        ds->Post();
        return ds->GetKXXMLDelta();
    }
    TCallResult put(const TCaller& who, const QString& file, const QString& ext, const QByteArray& bytes)
    {
        return fx().call(who, "Express.FilePut", {{"express_file", file}, {"ext", ext}}, {{"filedata", QString::fromLatin1(bytes.toBase64())}});
    }
    TCallResult get(const TCaller& who, const QString& file, const QString& ext)
    {
        return fx().call(who, "Express.FileGet", {{"express_file", file}, {"ext", ext}});
    }

private Q_SLOTS:
    void initTestCase_data() { KxEngineRows(); }
    void init()
    {
        KX_FETCH_ENGINE(m_kind);
        // Each engine's service has its own scripted UI: the one of the running row shows.
        KxSetServiceUrl(fx().url());
        KxSetUi(&fx().ui);
    }

    void seededTemplatesInUse()
    {
        const TCallResult r = fx().call(kAdmin, "Express.Search", {{"is_use", "1"}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(KxColumn(r.value("xmldata"), "express_file"),
                 (QStringList{"顺风速运_顺风标准单", "圆通快运_圆通标准单", "中通快运_中通标准单", "韵达快运_韵达标准单"}));
        QCOMPARE(KxColumn(fx().call(kAdmin, "Express.Search", {{"express_id", "E02"}}).value("xmldata"), "logistics_code"), QStringList{"YTO"});
    }

    void savesKeepFileNamesSafeAndOwn_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("parent folder") << "../rmf/caigoudan" << "快递模板文件名不正确";
        QTest::newRow("separator") << "SF/x" << "快递模板文件名不正确";
        QTest::newRow("backslash") << "SF\\x" << "快递模板文件名不正确";
        QTest::newRow("drive") << "C:x" << "快递模板文件名不正确";
        QTest::newRow("another template's") << "顺风速运_顺风标准单" << "快递模板【顺风速运_顺风标准单】已存在";
    }
    void savesKeepFileNamesSafeAndOwn()
    {
        QFETCH(QString, file);
        QFETCH(QString, message);
        const int before = fx().scalar("SELECT COUNT(*) FROM kx_express WHERE nickid = '1001'").toInt();
        const TCallResult r = fx().call(kAdmin, "Express.Update", {}, {{"delta", addDelta("x", file)}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(message), qPrintable(r.error));
        QCOMPARE(fx().scalar("SELECT COUNT(*) FROM kx_express WHERE nickid = '1001'").toInt(), before);
    }

    void filesTravelWithTheirTemplate()
    {
        const QString stem = "顺风速运_退货单" + m_kind;
        // No file for a template that does not exist.
        TCallResult r = put(kAdmin, stem, "des", "layout");
        QVERIFY(!r.ok && r.error.contains("不存在"));
        r = fx().call(kAdmin, "Express.Update", {}, {{"delta", addDelta("退货单" + m_kind, stem)}});
        QVERIFY2(r.ok, qPrintable(r.error));
        const QString id = KxColumn(r.value("xmldata"), "express_id").value(0);
        QVERIFY(id.startsWith('E'));

        QCOMPARE(get(kAdmin, stem, "des").value("exists"), QStringLiteral("0"));
        const QByteArray layout("TPF0\x01\x02 layout", 14), report("\0\0\0\x01 report", 11);
        QVERIFY(put(kAdmin, stem, "des", layout).ok);
        QVERIFY(put(kAdmin, stem, "ref", report).ok);
        QVERIFY(put(kAdmin, stem, "des", layout + "2").ok); // replaced
        r = get(kAdmin, stem, "ref");
        QCOMPARE(r.value("exists"), QStringLiteral("1"));
        QCOMPARE(QByteArray::fromBase64(r.value("filedata").toLatin1()), report);
        QCOMPARE(QByteArray::fromBase64(get(kAdmin, stem, "des").value("filedata").toLatin1()), layout + "2");
        // Another seller sees none of it.
        QCOMPARE(get(kOther, stem, "des").value("exists"), QStringLiteral("0"));
        QVERIFY(!put(kAdmin, stem, "exe", layout).ok);
        QVERIFY(!put(kAdmin, "../" + stem, "des", layout).ok);

        // Deleting the template takes its layout; the printable report stays.
        auto list = KxDataSet(fx().call(kAdmin, "Express.Search", {{"express_id", id}}).value("xmldata"));
        QVERIFY(list->Locate("express_id", id));
        list->Delete();
        r = fx().call(kAdmin, "Express.Update", {}, {{"delta", list->GetKXXMLDelta()}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(get(kAdmin, stem, "des").value("exists"), QStringLiteral("0"));
        QCOMPARE(get(kAdmin, stem, "ref").value("exists"), QStringLiteral("1"));
    }
};

QTEST_MAIN(TestExpress)
#include "tst_express.moc"
