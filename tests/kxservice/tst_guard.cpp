// The service against hostile and careless input: out-of-range numbers, oversized and
// malformed text, forged log lines, stale saves from two clients, password guessing, and
// whose address the log names behind a proxy. Each refusal leaves the database unchanged.
#include "Deltas.h"
#include "ServiceFixture.h"
#include "ServiceLog.h"
#include "dispatch/Dispatcher.h"
#include "handlers/PowerMger.h"
#include "uRequest.h"

#include <QFile>
#include <QRegularExpression>
#include <httplib.h>

namespace {
const TCaller kSeller{QStringLiteral("1001"), QString(), QString()};
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};

QList<QPair<QString, QString>> loginParams(const QString& oper, const QString& password)
{
    return {{QStringLiteral("shopcode"), QStringLiteral("S01")}, {QStringLiteral("usercode"), oper},
            {QStringLiteral("password"), password}};
}

// A delta inserting one storage whose type is a 64-bit value.
QString storageInsert(qint64 type)
{
    TFieldDefs defs;
    defs.Add(QStringLiteral("storageid"), ftString, 20);
    defs.Add(QStringLiteral("storagename"), ftString, 100);
    defs.Add(QStringLiteral("storagetype"), ftLargeint);
    defs.Add(QStringLiteral("md5_key"), ftString, 32);
    return KxInsertDelta(defs, {QStringLiteral("storagename=超大仓"), QStringLiteral("storagetype=%1").arg(type),
                                QStringLiteral("md5_key=0123456789abcdef0123456789abcdef")});
}

QString brandInsert(const QString& name)
{
    TFieldDefs defs;
    defs.Add(QStringLiteral("brand_id"), ftString, 20);
    defs.Add(QStringLiteral("brand_name"), ftString, 100);
    defs.Add(QStringLiteral("md5_key"), ftString, 32);
    return KxInsertDelta(defs, {QStringLiteral("brand_name=") + name});
}

// One call through the client with a delta given as raw bytes (the client itself always sends UTF-8).
QString callWithRawDelta(const QString& key, const QString& method, const QByteArray& delta)
{
    THttpWeb web;
    web.setNickid(QStringLiteral("1001"));
    web.setOperid(QStringLiteral("admin"));
    web.setShopid(QStringLiteral("S01"));
    web.Request()->AddParams(QStringLiteral("sessionkey"), key);
    web.setModule(method);
    web.Request()->AddFiles(QStringLiteral("delta"), QString());
    web.Request()->GetFile(QStringLiteral("delta"))->Content = delta;
    QString contentType;
    const QByteArray body = web.BuildBody(&contentType);
    const QUrl u(KxServiceUrl());
    httplib::Client c(u.host().toStdString(), u.port());
    auto res = c.Post(u.path().toStdString(), std::string(body.constData(), size_t(body.size())), contentType.toStdString().c_str());
    if (!res)
        return QStringLiteral("<transport error>");
    TResponse r;
    try {
        r.DataReceive(QByteArray(res->body.data(), qsizetype(res->body.size())));
        return QStringLiteral("<ok>");
    } catch (const EKXServiceError& e) {
        return e.Message;
    }
}

// A body posted as it is; returns the answer's error text as raw UTF-8 bytes.
QByteArray rawAnswer(const QString& url, const QByteArray& body, const std::string& contentType)
{
    const QUrl u(url);
    httplib::Client c(u.host().toStdString(), u.port());
    auto res = c.Post(u.path().toStdString(), std::string(body.constData(), size_t(body.size())), contentType.c_str());
    if (!res)
        return "<transport error>";
    TResponse r;
    try {
        r.DataReceive(QByteArray(res->body.data(), qsizetype(res->body.size())));
    } catch (const EKXServiceError&) {
    }
    return r.Body();
}
}

class TestGuard : public QObject {
    Q_OBJECT
    TLoggedInServices m_fixtures;
    QString m_kind;

    TServiceFixture& fx() { return m_fixtures.of(m_kind); }
    void login(TServiceFixture& f, const QString& oper, const QString& password)
    {
        const TCallResult r = f.call(kSeller, QStringLiteral("PowerMger.Login"), loginParams(oper, password));
        QVERIFY2(r.ok, qPrintable(r.error));
    }
    // What a refused call must leave as it was.
    QString snapshot(TServiceFixture& f)
    {
        QStringList parts;
        for (const char* sql : {"SELECT COUNT(*) FROM kx_brand", "SELECT COUNT(*) FROM kx_storage", "SELECT COUNT(*) FROM kx_operator",
                                "SELECT COUNT(*) FROM kx_logistics", "SELECT COALESCE(SUM(value), 0) FROM kx_counter",
                                "SELECT MIN(brand_name) FROM kx_brand WHERE brand_id = 'B01'"})
            parts << f.scalar(QString::fromLatin1(sql)).toString();
        return parts.join(u'|');
    }
    QString logText(TServiceFixture& f)
    {
        QFile log(f.dir.filePath(QStringLiteral("service.log")));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
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

    void refusals_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QStringList>("params"); // name=value
        QTest::addColumn<QString>("delta");      // sent as "delta" when not empty
        QTest::addColumn<QString>("expected");
        const QString huge = QStringLiteral("9223372036854775807");
        QTest::newRow("curpage 2^63-1") << "Brand.Search" << QStringList{"curpage=" + huge} << "" << "参数 curpage 超出范围";
        QTest::newRow("curpage past any table") << "Brand.Search" << QStringList{"curpage=2147483647"} << "" << "参数 curpage 应在 -1 到 400000 之间";
        QTest::newRow("pagesize 2^63-1") << "Brand.Search" << QStringList{"pagesize=" + huge} << "" << "参数 pagesize 超出范围";
        QTest::newRow("storage type condition 2^63-1") << "Lookup.Storage" << QStringList{"storagetype=" + huge} << "" << "参数 storagetype 超出范围";
        QTest::newRow("storage type 2^63-1 saved") << "Storage.Update" << QStringList() << storageInsert(std::numeric_limits<qint64>::max())
                                                   << "仓库类型超出范围";
        QTest::newRow("storage type 2^31 saved") << "Storage.Update" << QStringList() << storageInsert(qint64(1) << 31) << "仓库类型超出范围";
        QTest::newRow("1 MB search text") << "Brand.Search" << QStringList{"brand_name=" + QString(1 << 20, u'字')} << ""
                                          << "参数 brand_name 太长：最多 4000 个字符";
        QTest::newRow("1 MB carrier search text") << "Logistics.SearchMger" << QStringList{"logistics_name=" + QString(1 << 20, u'%')} << ""
                                                  << "参数 logistics_name 太长";
        QTest::newRow("second delta root") << "Brand.Update" << QStringList() << brandInsert("甲") + brandInsert("乙")
                                           << "只能有一个 <delta> 根元素";
    }
    void refusals()
    {
        QFETCH(QString, method);
        QFETCH(QStringList, params);
        QFETCH(QString, delta);
        QFETCH(QString, expected);
        TServiceFixture& f = fx();
        login(f, "admin", "admin888");
        const QString before = snapshot(f);
        QList<QPair<QString, QString>> p;
        for (const QString& line : params)
            p.append({line.section(u'=', 0, 0), line.section(u'=', 1)});
        QList<QPair<QString, QString>> files;
        if (!delta.isEmpty())
            files.append({QStringLiteral("delta"), delta});
        const TCallResult r = f.call(kAdmin, method, p, files);
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains(expected), qPrintable(r.error.left(300)));
        QVERIFY2(!r.error.contains("错误号：99"), qPrintable(r.error.left(300)));
        QCOMPARE(snapshot(f), before);
    }

    // Bytes that are not UTF-8 are refused, not stored as U+FFFD, and the refusal itself is
    // readable text.
    void invalidUtf8IsRefusedReadably()
    {
        TServiceFixture& f = fx();
        login(f, "admin", "admin888");
        const QString before = snapshot(f);
        QByteArray delta = brandInsert(QStringLiteral("好品牌")).toUtf8();
        delta.replace(QStringLiteral("好").toUtf8(), QByteArray("\xBA\xC3")); // GBK
        const QString shown = callWithRawDelta(f.sessionKey("1001", "admin"), QStringLiteral("Brand.Update"), delta);
        QVERIFY2(shown.contains("不是有效的 UTF-8"), qPrintable(shown));
        QCOMPARE(snapshot(f), before);

        const QByteArray body = "--b\r\nContent-Disposition: form-data; name=\"module\"\r\n\r\nPowerMger.Shop\r\n"
                                "--b\r\nContent-Disposition: form-data; name=\"nick\xBA\xC3\"\r\n\r\n\xBA\xC3\r\n--b--\r\n";
        const QByteArray xml = rawAnswer(f.url(), body, "multipart/form-data; boundary=b");
        QVERIFY2(QByteArrayView(xml).isValidUtf8(), xml.constData());
        const QString text = QString::fromUtf8(xml);
        QVERIFY2(text.contains("请求格式错误：字段名 nick\\xba\\xc3 不是有效的 UTF-8 文本"), qPrintable(text));
    }

    void carrierSearchTakesWildcardsLiterally_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("rows");
        QTest::newRow("percent") << "%" << 0;
        QTest::newRow("underscore") << "_" << 0;
        QTest::newRow("percent inside") << "顺%运" << 0;
        QTest::newRow("plain text") << "快运" << 4;
        QTest::newRow("longest text accepted") << QString(4000, u'%') << 0;
    }
    void carrierSearchTakesWildcardsLiterally()
    {
        QFETCH(QString, name);
        QFETCH(int, rows);
        TServiceFixture& f = fx();
        login(f, "admin", "admin888");
        const TCallResult r = f.call(kAdmin, "Logistics.SearchMger", {{"logistics_name", name}, {"curpage", "0"}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(KxColumn(r.value("xmldata"), "logistics_code").size(), rows);
    }

    // Control characters in any logged value cannot make a line of their own.
    void logLinesCannotBeForged()
    {
        TServiceFixture& f = fx();
        const QString fake = QStringLiteral("2026-01-01 00:00:00.000 call PowerMger.Login nick=1001 oper=admin from=10.0.0.1 ms=1 ok");
        f.call({"1001\r\n" + fake, "", ""}, "PowerMger.Shop");
        f.call(kSeller, "Brand.Search\n" + fake + "\x7f");
        const QString log = logText(f);
        for (const QString& line : log.split(u'\n'))
            QVERIFY2(!line.startsWith(fake.left(10)), qPrintable(line));
        QVERIFY2(log.contains("Brand.Search\\n2026-01-01"), qPrintable(log.right(600)));
        QVERIFY2(log.contains("nick=1001\\r\\n2026-01-01"), qPrintable(log.right(600)));
        QVERIFY2(log.contains("ok\\x7f"), qPrintable(log.right(600)));
    }

    // Two clients load the same rows; the second saves from its stale copy, together with a
    // new row: the whole save is refused.
    void staleSaveIsRefused_data()
    {
        QTest::addColumn<QString>("area");     // Brand / Category
        QTest::addColumn<QString>("keyField");
        QTest::addColumn<QString>("nameField");
        QTest::addColumn<QString>("second");   // what the stale client does with the row
        QTest::addColumn<QString>("expected"); // %1: the row's key
        const QString brand = QStringLiteral("记录【%1】的数据已被他人修改，请刷新后再保存！");
        const QString category = QStringLiteral("分类【%1】的数据已被他人修改，请刷新后再保存！");
        QTest::newRow("brand edited meanwhile, edited") << "Brand" << "brand_id" << "brand_name" << "edit" << brand;
        QTest::newRow("brand edited meanwhile, deleted") << "Brand" << "brand_id" << "brand_name" << "delete" << brand;
        QTest::newRow("category renamed meanwhile, renamed") << "Category" << "child_id" << "child_name" << "edit" << category;
        QTest::newRow("category renamed meanwhile, deleted") << "Category" << "child_id" << "child_name" << "delete" << category;
    }
    void staleSaveIsRefused()
    {
        QFETCH(QString, area);
        QFETCH(QString, keyField);
        QFETCH(QString, nameField);
        QFETCH(QString, second);
        QFETCH(QString, expected);
        TServiceFixture& f = fx();
        login(f, "admin", "admin888");
        const bool brand = area == "Brand";
        const QString key = brand ? QStringLiteral("B02")
                                  : f.scalar("SELECT catid FROM kx_category WHERE nickid = '1001' AND catname = '衬衫'").toString();
        const auto stored = [&] {
            return brand ? f.scalar("SELECT brand_name FROM kx_brand WHERE nickid = '1001' AND brand_id = 'B02'").toString()
                         : f.scalar("SELECT catname FROM kx_category WHERE nickid = '1001' AND catid = ?", {key.toLongLong()}).toString();
        };
        const TCallResult loaded = f.call(kAdmin, area + ".Search", {{"curpage", "0"}});
        QVERIFY2(loaded.ok, qPrintable(loaded.error));
        TPClientDataSet a, b;
        QVERIFY(a.SetKXXMLData(loaded.value("xmldata")));
        QVERIFY(b.SetKXXMLData(loaded.value("xmldata")));
        QVERIFY(a.Locate(keyField, key) && b.Locate(keyField, key));
        const QString original = a.FieldByName(nameField)->AsString();

        a.Edit();
        a.FieldByName(nameField)->SetAsString(original + "·甲");
        QVERIFY(a.Post());
        const TCallResult first = f.call(kAdmin, area + ".Update", {}, {{"delta", a.GetKXXMLDelta()}});
        QVERIFY2(first.ok, qPrintable(first.error));

        if (second == "edit") {
            b.Edit();
            b.FieldByName(nameField)->SetAsString(original + "·乙");
            QVERIFY(b.Post());
        } else {
            b.Delete();
        }
        b.Append();
        b.FieldByName(nameField)->SetAsString("新的一行");
        QVERIFY(b.Post());
        const QString before = snapshot(f);
        const int categories = f.scalar("SELECT COUNT(*) FROM kx_category").toInt();
        const TCallResult stale = f.call(kAdmin, area + ".Update", {}, {{"delta", b.GetKXXMLDelta()}});
        QVERIFY(!stale.ok);
        QVERIFY2(stale.error.contains(expected.arg(key)), qPrintable(stale.error));
        QCOMPARE(snapshot(f), before);
        QCOMPARE(f.scalar("SELECT COUNT(*) FROM kx_category").toInt(), categories);
        QCOMPARE(stored(), original + "·甲");

        // Back to the seed for the next row.
        if (brand)
            f.exec("UPDATE kx_brand SET brand_name = ? WHERE nickid = '1001' AND brand_id = 'B02'", {original});
        else
            f.exec("UPDATE kx_category SET catname = ? WHERE nickid = '1001' AND catid = ?", {original, key.toLongLong()});
    }
};

// Password guessing, on a service whose back-off and lock are short enough to see.
class TestLoginGuard : public QObject {
    Q_OBJECT

    static TCallResult login(TServiceFixture& f, const QString& oper, const QString& password)
    {
        KxSetServiceUrl(f.url());
        return f.call(kSeller, QStringLiteral("PowerMger.Login"), loginParams(oper, password));
    }

    static QString kind()
    {
        QFETCH_GLOBAL(QString, db);
        return db;
    }

private Q_SLOTS:
    void initTestCase_data() { KxEngineRows(); }
    void init()
    {
        if (!KxEngineAvailable(kind()))
            QSKIP("KX_PG_URL is not set: no PostgreSQL database to run against");
    }

    void failuresBackOff()
    {
        TServiceFixture f(kind(), qint64(4) << 20, [](TServiceOptions& o) { o.loginBackoffMs = 20'000; });
        KxSetServiceUrl(f.url());
        for (int i = 0; i < 3; ++i)
            QVERIFY(login(f, "clerk", "guess").error.contains("密码错误"));
        // The right password now has to wait too; another operator from the same address does not.
        const TCallResult r = login(f, "clerk", "clerk888");
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("错误号：15") && r.error.contains("请 20 秒后再试"), qPrintable(r.error));
        QVERIFY2(login(f, "admin", "admin888").ok, "admin locked out by clerk's failures");
    }

    void lockHoldsUntilAnAdministratorLiftsIt()
    {
        TServiceFixture f(kind(), qint64(4) << 20, [](TServiceOptions& o) {
            o.loginBackoffMs = 0;
            o.loginLockAfter = 5;
        });
        for (int i = 0; i < 5; ++i)
            QVERIFY(login(f, "clerk", QStringLiteral("guess%1").arg(i)).error.contains("密码错误"));
        TCallResult r = login(f, "clerk", "clerk888");
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("操作员【clerk】已暂时锁定，请 15 分钟后再试或请管理员解锁"), qPrintable(r.error));

        QFile logFile(f.dir.filePath(QStringLiteral("service.log")));
        QVERIFY(logFile.open(QIODevice::ReadOnly));
        const QString log = QString::fromUtf8(logFile.readAll());
        QCOMPARE(log.count(QRegularExpression("login failed nick=1001 oper=clerk from=127.0.0.1 failures=\\d")), 5);
        QVERIFY2(log.contains("login locked nick=1001 oper=clerk for 900 s"), qPrintable(log.right(400)));

        // The administrator gives the clerk a new password: the lock goes with the old one.
        QVERIFY(login(f, "admin", "admin888").ok);
        const TCallResult ops = f.call(kAdmin, "Operator.Search", {{"curpage", "0"}});
        TPClientDataSet ds;
        QVERIFY(ds.SetKXXMLData(ops.value("xmldata")));
        QVERIFY(ds.Locate("operid", "clerk"));
        ds.Edit();
        ds.FieldByName("operpsw")->SetAsString("fresh-start-1");
        QVERIFY(ds.Post());
        r = f.call(kAdmin, "Operator.Update", {}, {{"delta", ds.GetKXXMLDelta()}});
        QVERIFY2(r.ok, qPrintable(r.error));
        r = login(f, "clerk", "fresh-start-1");
        QVERIFY2(r.ok, qPrintable(r.error));
    }
};

// The address behind a proxy: believed only from the proxy the service was told to trust.
class TestProxyAddress : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void clientAddressFromTrustedProxyOnly_data()
    {
        QTest::addColumn<QString>("trusted");
        QTest::addColumn<QString>("peer");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("logged");
        QTest::newRow("no proxy trusted") << "" << "10.1.1.1" << "203.0.113.9" << "10.1.1.1";
        QTest::newRow("from the trusted proxy") << "10.1.1.1" << "10.1.1.1" << "198.51.100.1, 203.0.113.9" << "203.0.113.9";
        QTest::newRow("from elsewhere") << "10.1.1.1" << "10.2.2.2" << "203.0.113.9" << "10.2.2.2";
        QTest::newRow("trusted proxy without header") << "10.1.1.1" << "10.1.1.1" << "" << "10.1.1.1";
    }
    void clientAddressFromTrustedProxyOnly()
    {
        QFETCH(QString, trusted);
        QFETCH(QString, peer);
        QFETCH(QString, header);
        QFETCH(QString, logged);
        QTemporaryDir dir;
        TDbUrl url;
        QString err;
        QVERIFY(TDbUrl::parse(QStringLiteral("sqlite:") + dir.filePath("a.db"), url, err));
        TDatabase store(url);
        store.migrate();
        TServiceOptions o;
        o.trustedProxy = trusted;
        const QString logPath = dir.filePath(QStringLiteral("a.log"));
        {
            TServiceLog log(logPath);
            TDispatcher d(store, o, log);
            d.add(KxPowerMgerMethods());
            std::vector<TRawPart> parts;
            const QList<QPair<QString, QString>> fields{{"module", "PowerMger.Module"}, {"masternick", "nobody"}};
            for (const auto& p : fields)
                parts.push_back({p.first.toStdString(), {}, p.second.toUtf8()});
            parts.push_back({"sign", {}, KxSignature(fields, Secret).toUtf8()});
            TCall call = TCall::fromParts(std::move(parts), peer);
            call.setForwardedFor(header);
            d.handle(call);
        }
        store.releaseThreadConnection();
        QFile f(logPath);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY2(text.contains(" from=" + logged + " "), qPrintable(text));
    }
};

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int status = 0;
    {
        TestGuard t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        TestLoginGuard t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        TestProxyAddress t;
        status |= QTest::qExec(&t, argc, argv);
    }
    return status;
}

#include "tst_guard.moc"
