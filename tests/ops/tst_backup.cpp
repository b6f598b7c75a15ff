// Backups while the service works: a burst of receipt saves and audits from several clients
// runs while `kxservice backup` copies the database; the copy, restored by `kxservice
// restore`, holds every document acknowledged before the backup began, each one whole, and
// stock equal to the ledger. Files that are not backups, and targets that cannot be written,
// are refused with nothing changed.
#include "ServiceFixture.h"
#include "ServiceProgram.h"
#include "store/Migrations.h"

#include <QElapsedTimer>
#include <QThread>
#include <QProcess>
#include <atomic>
#include <thread>

namespace {
const TCaller kAdmin{"1001", "admin", "S01"};

// What a client was told was done, and when (ms since the burst began).
struct TAcked {
    QString id;
    int lines = 0;
    qint64 savedAt = 0, auditedAt = -1;
};

// A new receipt saved with `lines` lines, then audited when `audit`. The answers' ids and
// times go into `acked`.
bool saveReceipt(TServiceFixture& fx, const QStringList& products, int lines, bool audit, const QElapsedTimer& clock, TAcked& acked)
{
    TCallResult r = fx.call(kAdmin, "Receive.Load", {{"receiveid", ""}});
    if (!r.ok)
        return false;
    TPClientDataSet master, detail;
    master.SetKXXMLData(r.value("xmlmaster"));
    detail.SetKXXMLData(r.value("xmldetail"));
    const QString key = QUuid::createUuid().toString(QUuid::Id128);
    master.Append();
    master.FieldByName("md5_key")->SetAsString(key);
    master.FieldByName("shopcode")->SetAsString("S01");
    master.FieldByName("suppliercode")->SetAsString("GY001");
    master.FieldByName("storageid")->SetAsString("CK01");
    master.FieldByName("status")->SetAsInteger(0);
    master.Post();
    for (int i = 0; i < lines; ++i) {
        detail.Append();
        detail.FieldByName("md5_key")->SetAsString(key);
        detail.FieldByName("seq")->SetAsInteger(i + 1);
        detail.FieldByName("commoditycode")->SetAsString(products.at(i % products.size()));
        detail.FieldByName("receivenum")->SetAsInteger(1 + i);
        detail.Post();
    }
    r = fx.call(kAdmin, "Receive.Update", {}, {{"deltamaster", master.GetKXXMLDelta()}, {"deltadetail", detail.GetKXXMLDelta()}});
    if (!r.ok)
        return false;
    acked.savedAt = clock.elapsed();
    master.SetKXXMLData(r.value("xmlmaster"));
    acked.id = master.FieldByName("receiveid")->AsString();
    acked.lines = lines;
    if (!audit)
        return true;
    master.Edit();
    master.FieldByName("status")->SetAsInteger(2);
    master.Post();
    if (!fx.call(kAdmin, "Receive.Audit", {}, {{"deltamaster", master.GetKXXMLDelta()}}).ok)
        return false;
    acked.auditedAt = clock.elapsed();
    return true;
}

int count(TDatabase& db, const QString& sql, const QVariantList& args = {})
{
    QSqlDatabase c = db.connection();
    return KxScalar(c, sql, args).toInt();
}

TDatabase* openSqlite(const QString& path)
{
    TDbUrl u;
    QString err;
    TDbUrl::parse("sqlite:" + path, u, err);
    return new TDatabase(u);
}
}

class TestBackup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void backupDuringABurstRestoresWhole()
    {
        TServiceFixture fx("sqlite");
        KxSetServiceUrl(fx.url());
        QVERIFY(fx.call({"1001", "", ""}, "PowerMger.Login", {{"shopcode", "S01"}, {"usercode", "admin"}, {"password", "admin888"}}).ok);
        QStringList products;
        {
            QSqlDatabase c = fx.db();
            QSqlQuery q = KxExec(c, "SELECT commoditycode FROM kx_commodity WHERE nickid = '1001' ORDER BY commoditycode LIMIT 6");
            while (q.next())
                products << q.value(0).toString();
        }
        QCOMPARE(products.size(), 6);

        QElapsedTimer clock;
        clock.start();
        std::atomic<bool> stop{false};
        std::atomic<int> failures{0};
        std::mutex m;
        std::vector<TAcked> acked;
        std::vector<std::thread> writers;
        for (int w = 0; w < 3; ++w)
            writers.emplace_back([&, w] {
                for (int i = 0; !stop; ++i) {
                    TAcked a;
                    if (!saveReceipt(fx, products, 1 + (i + w) % 4, i % 2 == 0, clock, a)) {
                        ++failures;
                        continue;
                    }
                    std::lock_guard lock(m);
                    acked.push_back(a);
                }
                KxResetTransport();
            });
        const auto stopWriters = [&] {
            stop = true;
            for (auto& t : writers)
                if (t.joinable())
                    t.join();
        };
        auto joinWriters = qScopeGuard(stopWriters); // also when a check below fails
        const auto ackedSoFar = [&] {
            std::lock_guard lock(m);
            return acked.size();
        };
        QTRY_VERIFY_WITH_TIMEOUT(ackedSoFar() >= 10, 60000);
        // A save stamped in the very millisecond the backup begins counts as neither before nor
        // after it; let the clock pass the last acknowledged one.
        QThread::msleep(2);
        const QString backup = fx.dir.filePath("backup.kxdb");
        const qint64 began = clock.elapsed();
        const TRun b = kxservice({"backup", "--db", fx.database.url(), "--to", backup});
        const qint64 ended = clock.elapsed();
        const size_t atEnd = ackedSoFar();
        QTRY_VERIFY_WITH_TIMEOUT(ackedSoFar() >= atEnd + 3, 60000);
        stopWriters();
        QVERIFY2(b.code == 0, qPrintable(b.err));
        QVERIFY2(b.out.contains("backup written"), qPrintable(b.out));
        QCOMPARE(failures.load(), 0);
        QVERIFY(!QFile::exists(backup + ".part"));
        const auto before = std::count_if(acked.begin(), acked.end(), [&](const TAcked& a) { return a.savedAt < began; });
        const auto after = std::count_if(acked.begin(), acked.end(), [&](const TAcked& a) { return a.savedAt > ended; });
        QVERIFY2(before >= 10 && after > 0, qPrintable(QString("%1 before, %2 after").arg(before).arg(after)));

        // Restored as on a second machine: a fresh database file.
        const QString restoredPath = fx.dir.filePath("second/kx.db");
        const TRun r = kxservice({"restore", "--db", "sqlite:" + restoredPath, "--from", backup});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        std::unique_ptr<TDatabase> restored(openSqlite(restoredPath));
        QCOMPARE(restored->schemaVersion(), KxNewestSchemaVersion());
        for (const TAcked& a : acked) {
            const int lines = count(*restored, "SELECT COUNT(*) FROM kx_receive_line WHERE nickid = '1001' AND receiveid = ?", {a.id});
            const int status = count(*restored, "SELECT status FROM kx_receive WHERE nickid = '1001' AND receiveid = ?", {a.id});
            if (a.savedAt < began)
                QVERIFY2(status > 0, qPrintable(a.id + " acknowledged before the backup is missing"));
            if (a.auditedAt >= 0 && a.auditedAt < began)
                QVERIFY2(status == 2, qPrintable(a.id + " audited before the backup is not audited"));
            // Whatever made it into the copy is whole: all its lines, none of another's.
            if (status > 0)
                QVERIFY2(lines == a.lines, qPrintable(QString("%1: %2 of %3 lines").arg(a.id).arg(lines).arg(a.lines)));
        }
        // Stock is what the ledger's last movement left, everywhere the ledger touched.
        QCOMPARE(count(*restored, "SELECT COUNT(*) FROM kx_stock s JOIN kx_stock_ledger l ON l.nickid = s.nickid"
                                  " AND l.storageid = s.storageid AND l.commoditycode = s.commoditycode"
                                  " WHERE l.seq = (SELECT MAX(seq) FROM kx_stock_ledger x WHERE x.nickid = s.nickid"
                                  " AND x.storageid = s.storageid AND x.commoditycode = s.commoditycode) AND l.stockafter <> s.stocknum"),
                 0);
        QVERIFY(count(*restored, "SELECT COUNT(*) FROM kx_stock_ledger") > 0);
        // Every audited document posted each of its lines once.
        QCOMPARE(count(*restored, "SELECT COUNT(*) FROM kx_receive_line l JOIN kx_receive h ON h.nickid = l.nickid"
                                  " AND h.receiveid = l.receiveid WHERE h.status = 2 AND NOT EXISTS (SELECT 1 FROM kx_stock_ledger g"
                                  " WHERE g.nickid = l.nickid AND g.docid = l.receiveid AND g.docseq = l.seq)"),
                 0);
        restored->releaseThreadConnection();
        KxResetTransport();
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("file");     // what --to / --from names (made by the test)
        QTest::addColumn<QString>("message");
        QTest::newRow("restore: a text file") << "restore" << "text" << "not a kxservice database (not even SQLite)";
        QTest::newRow("restore: another SQLite database") << "restore" << "foreign" << "is not a kxservice database";
        QTest::newRow("restore: from a newer program") << "restore" << "newer" << "written by a newer kxservice";
        QTest::newRow("restore: cut short") << "restore" << "truncated" << "truncated"; // the file named, whatever SQLite calls its fault
        QTest::newRow("restore: missing") << "restore" << "missing" << "cannot read";
        QTest::newRow("backup: folder not writable") << "backup" << "unwritable" << "cannot write the backup";
        QTest::newRow("backup: target exists") << "backup" << "exists" << "exists already";
    }
    void refusals()
    {
        QFETCH(QString, command);
        QFETCH(QString, file);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString dbPath = dir.filePath("kx.db");
        const QString db = "sqlite:" + dbPath;
        const QString good = dir.filePath("good.kxdb");
        QCOMPARE(kxservice({"admin", "create-seller", "--db", db, "--nick", "first_seller", "--password", "Sturdy-9x"}).code, 0);
        QCOMPARE(kxservice({"backup", "--db", db, "--to", good}).code, 0);
        QCOMPARE(kxservice({"admin", "create-seller", "--db", db, "--nick", "second_seller", "--password", "Sturdy-9x"}).code, 0);

        QString path = dir.filePath(file);
        if (file == "text") {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("nickid,masternick\n1001,varnoq_demo\n");
        } else if (file == "foreign") {
            std::unique_ptr<TDatabase> other(openSqlite(path));
            QSqlDatabase c = other->connection();
            KxExec(c, "CREATE TABLE notes (body TEXT)");
            other->releaseThreadConnection();
        } else if (file == "newer" || file == "truncated") {
            QVERIFY(QFile::copy(good, path));
            if (file == "newer") {
                std::unique_ptr<TDatabase> newer(openSqlite(path));
                QSqlDatabase c = newer->connection();
                KxExec(c, "INSERT INTO kx_schema_version (version, name, applied_at) VALUES (?, 'later', '')", {KxNewestSchemaVersion() + 1});
                KxExec(c, "PRAGMA journal_mode = DELETE");
                newer->releaseThreadConnection();
            } else {
                QFile f(path);
                QVERIFY(f.resize(f.size() / 2));
            }
        } else if (file == "unwritable") {
            QFile blocker(dir.filePath("blocker"));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            path = dir.filePath("blocker/backup.kxdb"); // a folder that is a file: not even root writes there
        } else if (file == "exists") {
            path = good;
        }
        const qint64 goodSize = QFileInfo(good).size();
        const TRun r = kxservice({command, "--db", db, command == "backup" ? "--to" : "--from", path});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        // Nothing half-done: the database keeps both sellers, the existing file its size.
        QVERIFY(kxservice({"admin", "list-sellers", "--db", db}).out.contains("second_seller"));
        QCOMPARE(QFileInfo(good).size(), goodSize);
        QVERIFY(QDir(dir.path()).entryList({"*.part"}).isEmpty());
    }

    void postgresqlPointsToItsTools()
    {
        const TRun r = kxservice({"backup", "--db", "postgresql://kx@127.0.0.1:1/kx", "--to", "/tmp/never.kxdb"});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("pg_dump"), qPrintable(r.err));
    }
};

QTEST_MAIN(TestBackup)
#include "tst_backup.moc"
