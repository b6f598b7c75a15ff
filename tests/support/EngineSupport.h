#pragma once
// The two storage engines a service test runs on: SQLite always, PostgreSQL when KX_PG_URL
// names a database. A test program whose cases run on both adds KxEngineRows() as its global
// data and starts each case with KX_FETCH_ENGINE(kind).
#include "store/Database.h"

#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

// Global data rows "sqlite" and "postgresql", in a column named "db".
inline void KxEngineRows()
{
    QTest::addColumn<QString>("db");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
    QTest::newRow("postgresql") << QStringLiteral("postgresql");
}

inline bool KxEngineAvailable(const QString& kind)
{
    return kind != QLatin1String("postgresql") || !qEnvironmentVariableIsEmpty("KX_PG_URL");
}

// In init(): the running row's engine into `kind`; the case is skipped where it cannot run.
#define KX_FETCH_ENGINE(kind)                                                                    \
    do {                                                                                         \
        QFETCH_GLOBAL(QString, db);                                                              \
        kind = db;                                                                               \
        if (!KxEngineAvailable(kind))                                                            \
            QSKIP("KX_PG_URL is not set: no PostgreSQL database to run against");               \
    } while (false)

// A database of its own for one fixture: a SQLite file in a temporary folder, or a fresh
// schema in KX_PG_URL's database (named `prefix` + random), dropped with its contents at the end.
class TScratchDatabase {
public:
    explicit TScratchDatabase(const QString& kind, const QString& prefix = QStringLiteral("kxt_"))
    {
        if (kind != QLatin1String("postgresql")) {
            m_url = QStringLiteral("sqlite:") + m_dir.filePath(QUuid::createUuid().toString(QUuid::Id128) + QStringLiteral(".db"));
            return;
        }
        m_schema = prefix + QUuid::createUuid().toString(QUuid::Id128).left(12);
        m_url = qEnvironmentVariable("KX_PG_URL") + QStringLiteral("?schema=") + m_schema;
        onServer(QStringLiteral("CREATE SCHEMA \"%1\"").arg(m_schema));
    }
    ~TScratchDatabase()
    {
        if (!m_schema.isEmpty())
            onServer(QStringLiteral("DROP SCHEMA IF EXISTS \"%1\" CASCADE").arg(m_schema));
    }
    TScratchDatabase(const TScratchDatabase&) = delete;
    TScratchDatabase& operator=(const TScratchDatabase&) = delete;

    // "sqlite:PATH" or "postgresql://…?schema=NAME", as the service's --db takes it.
    QString url() const { return m_url; }
    QString schema() const { return m_schema; }

private:
    // One statement on the PostgreSQL database itself, outside the schema.
    static void onServer(const QString& sql)
    {
        TDbUrl u;
        QString err;
        TDbUrl::parse(qEnvironmentVariable("KX_PG_URL"), u, err);
        TDatabase plain(u);
        {
            QSqlDatabase db = plain.connection();
            KxExec(db, sql);
        }
        plain.releaseThreadConnection();
    }

    QTemporaryDir m_dir;
    QString m_url, m_schema;
};
