// KxExec keeps statements prepared per connection. These are the ways a kept statement could
// go wrong: reused after a failure, reused while its own result is still being read, holding
// a SQLite snapshot after being dropped half read, crossing threads or outliving its
// connection, and running after another connection rebuilt its table. And SQLite's optimistic
// write transactions: reads beside another writer, a write after it refused. SQLite and, when
// KX_PG_URL names a database, PostgreSQL.
#include "EngineSupport.h"
#include "store/Database.h"

#include <QtTest>

#include <optional>
#include <thread>

namespace {
const QString kInsert = QStringLiteral("INSERT INTO kv (k, v) VALUES (?, ?)");
const QString kRead = QStringLiteral("SELECT v FROM kv WHERE k = ?");
const QString kFrom = QStringLiteral("SELECT k, v FROM kv WHERE k >= ? ORDER BY k");
}

class TestStore : public QObject {
    Q_OBJECT
    std::unique_ptr<TScratchDatabase> m_scratch;
    TDbUrl m_url;
    // Two stores on one database: a second connection from the same thread.
    std::unique_ptr<TDatabase> m_a, m_b;

    QSqlDatabase a() { return m_a->connection(); }
    QSqlDatabase b() { return m_b->connection(); }

private Q_SLOTS:
    void initTestCase_data() { KxEngineRows(); }
    void init()
    {
        QString kind, error;
        KX_FETCH_ENGINE(kind);
        m_scratch = std::make_unique<TScratchDatabase>(kind, QStringLiteral("kxs_"));
        QVERIFY2(TDbUrl::parse(m_scratch->url(), m_url, error), qPrintable(error));
        m_a = std::make_unique<TDatabase>(m_url);
        m_b = std::make_unique<TDatabase>(m_url);
        QSqlDatabase c = a();
        KxExec(c, QStringLiteral("CREATE TABLE kv (k INTEGER NOT NULL PRIMARY KEY, v TEXT NOT NULL)"));
        for (int k = 1; k <= 3; ++k)
            KxExec(c, kInsert, {k, QString(QChar(char16_t(u'a' + k - 1)))});
    }
    void cleanup()
    {
        if (!m_a)
            return;
        m_a->releaseThreadConnection();
        m_b->releaseThreadConnection();
        m_a.reset();
        m_b.reset();
        m_scratch.reset();
    }

    void runsAgainAfterAFailure_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<bool>("inTransaction"); // on PostgreSQL a failure aborts the transaction
        for (bool tx : {false, true}) {
            const char* where = tx ? " in a transaction" : "";
            QTest::addRow("same insert, duplicate key%s", where) << kInsert << QVariantList{1, QStringLiteral("x")} << tx;
            QTest::addRow("another statement, unknown column%s", where)
                << QStringLiteral("SELECT v FROM kv WHERE nosuch = ?") << QVariantList{1} << tx;
        }
    }
    void runsAgainAfterAFailure()
    {
        QFETCH(QString, failing);
        QFETCH(QVariantList, args);
        QFETCH(bool, inTransaction);
        QSqlDatabase c = a();
        QCOMPARE(KxScalar(c, kRead, {1}).toString(), QStringLiteral("a"));
        {
            std::optional<TTransaction> t;
            if (inTransaction)
                t.emplace(*m_a, c, true);
            QVERIFY_THROWS_EXCEPTION(TDbError, KxExec(c, failing, args));
        }
        TTransaction t(*m_a, c, true);
        KxExec(c, kInsert, {4, QStringLiteral("d")});
        QCOMPARE(KxScalar(c, kRead, {4}).toString(), QStringLiteral("d"));
        QCOMPARE(KxScalar(c, kRead, {1}).toString(), QStringLiteral("a"));
        t.commit();
        QCOMPARE(KxScalar(c, QStringLiteral("SELECT COUNT(*) FROM kv")).toInt(), 4);
    }

    // An optimistic write transaction reads while another connection holds the write lock or
    // commits; its first write then fails as a conflict (it must not wait: what it read is out
    // of date, or will be), nothing of it stays, and the work run again without optimism
    // takes the lock at BEGIN and succeeds.
    void optimisticWriteAfterAnotherWriter_data()
    {
        QTest::addColumn<bool>("otherCommits");
        QTest::newRow("the other writer holds the lock") << false;
        QTest::newRow("the other writer committed since the snapshot") << true;
    }
    void optimisticWriteAfterAnotherWriter()
    {
        QFETCH(bool, otherCommits);
        if (!m_a->isSqlite())
            QSKIP("PostgreSQL locks rows: write transactions begin as before");
        QSqlDatabase c = a(), other = b();
        {
            TOptimisticWrites optimistic;
            TTransaction t(*m_a, c, true);
            QCOMPARE(KxScalar(c, kRead, {1}).toString(), QStringLiteral("a"));
            KxExec(other, QStringLiteral("BEGIN IMMEDIATE")); // would wait for `t` if it held the lock
            KxExec(other, QStringLiteral("UPDATE kv SET v = ? WHERE k = ?"), {QStringLiteral("b2"), 2});
            if (otherCommits)
                KxExec(other, QStringLiteral("COMMIT"));
            QCOMPARE(KxScalar(c, kRead, {2}).toString(), QStringLiteral("b")); // its snapshot
            QVERIFY_THROWS_EXCEPTION(TDbWriteConflict, KxExec(c, kInsert, {4, QStringLiteral("d")}));
            if (!otherCommits)
                KxExec(other, QStringLiteral("ROLLBACK"));
            QVERIFY(!optimistic.committed());
        }
        TTransaction t(*m_a, c, true);
        KxExec(c, kInsert, {4, QStringLiteral("d")});
        t.commit();
        QCOMPARE(KxScalar(c, QStringLiteral("SELECT COUNT(*) FROM kv")).toInt(), 4);
        QCOMPARE(KxScalar(c, kRead, {2}).toString(), otherCommits ? QStringLiteral("b2") : QStringLiteral("b"));
        // Without optimism a busy database is no conflict: a failure of another kind stays what it was.
        QVERIFY_THROWS_EXCEPTION(TDbError, KxExec(c, kInsert, {4, QStringLiteral("again")}));
    }

    void sameStatementWhileItsResultIsRead()
    {
        QSqlDatabase c = a();
        QSqlQuery outer = KxExec(c, kFrom, {1});
        QStringList seen;
        while (outer.next()) {
            QSqlQuery inner = KxExec(c, kFrom, {outer.value(0)});
            int rows = 0;
            while (inner.next())
                ++rows;
            seen << QStringLiteral("%1:%2").arg(outer.value(1).toString()).arg(rows);
        }
        QCOMPARE(seen, (QStringList{"a:3", "b:2", "c:1"}));
    }

    void returnedQueryRunsOtherSql()
    {
        QSqlDatabase c = a();
        QSqlQuery q = KxExec(c, kRead, {1});
        QVERIFY(q.next());
        QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM kv")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 3);
        QVERIFY(q.prepare(QStringLiteral("SELECT v FROM kv WHERE k > ? ORDER BY k")));
        q.addBindValue(1);
        QVERIFY(q.exec());
        QStringList rest;
        while (q.next())
            rest << q.value(0).toString();
        QCOMPARE(rest, (QStringList{"b", "c"}));
        QCOMPARE(KxScalar(c, kRead, {3}).toString(), QStringLiteral("c"));
    }

    void halfReadResultHoldsNoSnapshot_data()
    {
        QTest::addColumn<bool>("inTransaction");
        QTest::newRow("on its own") << false;
        QTest::newRow("in a transaction") << true; // as in a call: read, commit, next call
    }
    void halfReadResultHoldsNoSnapshot()
    {
        QFETCH(bool, inTransaction);
        QSqlDatabase c = a();
        {
            std::optional<TTransaction> t;
            if (inTransaction)
                t.emplace(*m_a, c, false);
            QSqlQuery q = KxExec(c, kFrom, {1});
            QVERIFY(q.next());
            QCOMPARE(q.value(1).toString(), QStringLiteral("a"));
            if (t)
                t->commit();
        }
        QSqlDatabase other = b();
        KxExec(other, QStringLiteral("UPDATE kv SET v = ? WHERE k = ?"), {QStringLiteral("new"), 2});
        QCOMPARE(KxScalar(c, kRead, {2}).toString(), QStringLiteral("new"));
        QSqlQuery q = KxExec(c, kFrom, {2});
        QVERIFY(q.next());
        QCOMPARE(q.value(1).toString(), QStringLiteral("new"));
    }

    void statementsStayWithTheirThreadAndConnection()
    {
        // Each thread reads its own row. Every text runs twice in a row (the second time on
        // the kept statement), one-off texts push the connection past what it keeps, and half
        // way through the thread gets a new connection.
        constexpr int kThreads = 4, kTexts = 40, kOneOff = 20, kRounds = 3;
        QSqlDatabase c = a();
        for (int t = 0; t < kThreads; ++t)
            KxExec(c, kInsert, {10 + t, QStringLiteral("t%1").arg(t)});
        std::vector<QString> problems(kThreads);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&, t] {
                const auto expect = [&](QSqlDatabase& db, const QString& suffix) {
                    const QString got = KxScalar(db, QStringLiteral("SELECT v || '-%1' FROM kv WHERE k = ?").arg(suffix), {10 + t}).toString();
                    if (got != QStringLiteral("t%1-%2").arg(t).arg(suffix))
                        throw std::runtime_error(QStringLiteral("%1: %2").arg(suffix, got).toStdString());
                };
                try {
                    for (int round = 0; round < kRounds; ++round) {
                        {
                            QSqlDatabase mine = m_a->connection();
                            for (int i = 0; i < kTexts; ++i) {
                                expect(mine, QString::number(i));
                                expect(mine, QString::number(i));
                            }
                            for (int i = 0; i < kOneOff; ++i)
                                expect(mine, QStringLiteral("r%1o%2").arg(round).arg(i));
                        }
                        if (round == 1)
                            m_a->releaseThreadConnection();
                    }
                } catch (const std::exception& e) {
                    problems[size_t(t)] = QString::fromStdString(e.what());
                }
                m_a->releaseThreadConnection();
            });
        for (auto& th : threads)
            th.join();
        for (const QString& p : problems)
            QVERIFY2(p.isEmpty(), qPrintable(p));
    }

    void runsAfterAnotherConnectionRebuiltTheTable_data()
    {
        QTest::addColumn<QString>("columnType");
        QTest::newRow("same columns") << QStringLiteral("TEXT");
        QTest::newRow("another column type") << QStringLiteral("VARCHAR(20)"); // PostgreSQL: another result type
    }
    void runsAfterAnotherConnectionRebuiltTheTable()
    {
        QFETCH(QString, columnType);
        QSqlDatabase c = a();
        QCOMPARE(KxScalar(c, kRead, {1}).toString(), QStringLiteral("a"));
        QSqlDatabase other = b();
        for (const QString& s : {QStringLiteral("CREATE TABLE kv2 (k INTEGER NOT NULL PRIMARY KEY, v %1 NOT NULL)").arg(columnType),
                                 QStringLiteral("INSERT INTO kv2 (k, v) SELECT k, v || '2' FROM kv"),
                                 QStringLiteral("DROP TABLE kv"), QStringLiteral("ALTER TABLE kv2 RENAME TO kv")})
            KxExec(other, s);
        QCOMPARE(KxScalar(c, kRead, {1}).toString(), QStringLiteral("a2"));
        TTransaction t(*m_a, c, false);
        QCOMPARE(KxScalar(c, kRead, {3}).toString(), QStringLiteral("c2"));
        t.commit();
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
