// A database written at an older schema version, brought up to date by a starting service:
// every row of every old table intact, the seller's documents served; a database from a
// newer program refused; the health answer needs no login.
#include "ReceiptSeed.h"
#include "ServiceFixture.h"
#include "store/Migrations.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QSqlRecord>
#include <httplib.h>

namespace {
constexpr int kOldVersion = 8;

// The tables a database at `version` has, from the migrations' own statements.
QStringList tablesAt(int version)
{
    QStringList out;
    const QRegularExpression create(QStringLiteral("^CREATE TABLE (\\w+)"));
    for (const TMigration& m : KxMigrations())
        if (m.version <= version)
            for (const QString& s : m.statements)
                if (const auto match = create.match(s); match.hasMatch() && !out.contains(match.captured(1)))
                    out << match.captured(1);
    return out;
}

// Every row of a table as text, in a fixed order; `columns` empty: all of them (and filled).
QStringList rowsOf(QSqlDatabase& db, const QString& table, QStringList& columns)
{
    QSqlQuery q = KxExec(db, QStringLiteral("SELECT %1 FROM %2").arg(columns.isEmpty() ? QStringLiteral("*") : columns.join(u','), table));
    if (columns.isEmpty())
        for (int i = 0; i < q.record().count(); ++i)
            columns << q.record().fieldName(i);
    QStringList rows;
    while (q.next()) {
        QStringList row;
        for (int i = 0; i < columns.size(); ++i)
            row << (q.isNull(i) ? QStringLiteral("<null>") : q.value(i).toString());
        rows << row.join(u'\x1f');
    }
    rows.sort();
    return rows;
}

QString dbUrlFor(const QString& kind, QTemporaryDir& dir, QString& schema)
{
    if (kind == QLatin1String("sqlite"))
        return QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("old.db"));
    schema = QStringLiteral("kxu_") + QUuid::createUuid().toString(QUuid::Id128).left(12);
    return qEnvironmentVariable("KX_PG_URL") + QStringLiteral("?schema=") + schema;
}

void dropSchema(const QString& schema)
{
    if (schema.isEmpty())
        return;
    TDbUrl u;
    QString err;
    TDbUrl::parse(qEnvironmentVariable("KX_PG_URL"), u, err);
    TDatabase plain(u);
    QSqlDatabase db = plain.connection();
    KxExec(db, QStringLiteral("DROP SCHEMA IF EXISTS \"%1\" CASCADE").arg(schema));
    plain.releaseThreadConnection();
}
}

class TestUpgrade : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void engines_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("sqlite") << "sqlite";
        if (!qEnvironmentVariableIsEmpty("KX_PG_URL"))
            QTest::newRow("postgresql") << "postgresql";
    }

    void oldDatabaseBroughtUpToDate_data() { engines_data(); }
    void oldDatabaseBroughtUpToDate()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QString schema;
        const QString url = dbUrlFor(kind, dir, schema);
        auto cleanup = qScopeGuard([&] { dropSchema(schema); });

        // The old database: the schema up to kOldVersion, the demo seller, saved receipts.
        std::map<QString, std::pair<QStringList, QStringList>> before; // table: columns, rows
        {
            TDbUrl u;
            QString err;
            QVERIFY(TDbUrl::parse(url, u, err));
            TDatabase old(u);
            old.migrate(kOldVersion);
            QCOMPARE(old.schemaVersion(), kOldVersion);
            QJsonObject demo = KxSeedFile(QStringLiteral("demo.json"));
            demo.remove(QLatin1String("market"));
            QVERIFY(KxSeedSeller(old, demo));
            KxSeedReceipts(old.connection(), QStringLiteral("1001"), 40, 3);
            QSqlDatabase db = old.connection();
            for (const QString& t : tablesAt(kOldVersion)) {
                auto& [columns, rows] = before[t];
                rows = rowsOf(db, t, columns);
            }
            QVERIFY(before.at(QStringLiteral("kx_receive_line")).second.size() == 120);
            old.releaseThreadConnection();
        }

        TServiceOptions o;
        o.port = 0;
        o.db = url;
        o.seed = QStringLiteral("none");
        o.logFile = dir.filePath(QStringLiteral("service.log"));
        TKxService service(o);
        service.prepare();
        QCOMPARE(service.store().schemaVersion(), KxNewestSchemaVersion());
        {
            QSqlDatabase db = service.store().connection();
            // Columns the goods schema renamed, and the marketplace ids products no longer carry
            // (the demo's were empty: its market is left out above).
            const QMap<QString, QString> renamed{{"kx_goods.unit", "units"}, {"kx_commodity.minnum", "minstock"}, {"kx_commodity.maxnum", "maxstock"},
                                                 {"kx_vipcard.mobile", "phone"}};
            const QStringList dropped{"kx_commodity.num_iid", "kx_commodity.sku_id"};
            for (auto& [table, old] : before) {
                QStringList columns;
                QList<int> kept;
                for (int i = 0; i < old.first.size(); ++i) {
                    const QString at = table + u'.' + old.first[i];
                    if (dropped.contains(at))
                        continue;
                    kept << i;
                    columns << renamed.value(at, old.first[i]);
                }
                QStringList rows;
                for (const QString& r : old.second) {
                    const QStringList cells = r.split(u'\x1f');
                    QStringList k;
                    for (int i : kept)
                        k << cells.value(i);
                    rows << k.join(u'\x1f');
                }
                rows.sort();
                QCOMPARE(rowsOf(db, table, columns), rows);
            }
            service.store().releaseThreadConnection();
        }

        // The upgraded seller logs in and reads an old receipt's lines through the client.
        service.start();
        KxSetServiceUrl(service.url());
        TScriptedUi ui;
        THttpWeb login;
        login.setNickid(QStringLiteral("1001"));
        login.setOperid(QString());
        login.setModule(QStringLiteral("PowerMger.Login"));
        login.Request()->AddParams(QStringLiteral("shopcode"), QStringLiteral("S01"));
        login.Request()->AddParams(QStringLiteral("usercode"), QStringLiteral("admin"));
        login.Request()->AddParams(QStringLiteral("password"), QStringLiteral("admin888"));
        QVERIFY2(login.SendData(), qPrintable(ui.last()));
        gSessionKey = login.Response()->GetParam(QStringLiteral("sessionkey"));
        gNickId = QStringLiteral("1001");
        gOperId = QStringLiteral("admin");
        gShopId = QStringLiteral("S01");
        const QString someId = before.at(QStringLiteral("kx_receive")).second.first().split(u'\x1f')
                                   .at(before.at(QStringLiteral("kx_receive")).first.indexOf(QStringLiteral("receiveid")));
        THttpWeb lines;
        lines.setModule(QStringLiteral("Receive.ListDetail"));
        lines.Request()->AddParams(QStringLiteral("receiveid"), someId);
        QVERIFY2(lines.SendData(), qPrintable(ui.last()));
        QCOMPARE(KxColumn(lines.Response()->GetParam(QStringLiteral("xmldata")), QStringLiteral("seq")),
                 QStringList({"1", "2", "3"}));
        gSessionKey.clear();
        gNickId.clear();
        gOperId.clear();
        gShopId.clear();
        KxResetTransport();
        KxSetServiceUrl(QString());
    }

    // An older program must not run on (and perhaps damage) what a newer one wrote.
    void newerDatabaseRefused()
    {
        QTemporaryDir dir;
        const QString url = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("new.db"));
        {
            TDbUrl u;
            QString err;
            QVERIFY(TDbUrl::parse(url, u, err));
            TDatabase db(u);
            db.migrate();
            QSqlDatabase c = db.connection();
            KxExec(c, QStringLiteral("INSERT INTO kx_schema_version (version, name, applied_at) VALUES (?, 'later', '')"),
                   {KxNewestSchemaVersion() + 1});
            db.releaseThreadConnection();
        }
        TServiceOptions o;
        o.port = 0;
        o.db = url;
        o.seed = QStringLiteral("none");
        o.logFile = dir.filePath(QStringLiteral("service.log"));
        TKxService service(o);
        try {
            service.prepare();
            QFAIL("a newer database was opened");
        } catch (const std::runtime_error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("newer than this program")), e.what());
        }
    }

    void healthNeedsNoLogin()
    {
        TServiceFixture fx(QStringLiteral("sqlite"));
        httplib::Client cli(fx.url().section(u'/', 0, 2).toStdString());
        const auto res = cli.Get("/health");
        QVERIFY(res);
        QCOMPARE(res->status, 200);
        const QJsonObject h = QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).object();
        QCOMPARE(h.value("status").toString(), QString("ok"));
        QCOMPARE(h.value("database").toString(), QString("sqlite"));
        QCOMPARE(h.value("schema").toInt(), KxNewestSchemaVersion());
        // Another path under GET stays refused as before.
        const auto other = cli.Get("/status");
        QVERIFY(other);
        QVERIFY(other->get_header_value("Content-Type") != "application/json");
    }
};

QTEST_MAIN(TestUpgrade)
#include "tst_upgrade.moc"
