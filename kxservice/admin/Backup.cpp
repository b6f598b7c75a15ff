#include "Backup.h"

#include "Sellers.h"
#include "store/Database.h"
#include "store/Migrations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QUrl>

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace {
const char* const kUsePgTools =
    "PostgreSQL databases are backed up with pg_dump and restored with pg_restore (see the README)";

struct TSqliteCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using TSqlite = std::unique_ptr<sqlite3, TSqliteCloser>;

TSqlite openSqlite(const QString& path, int flags, const QString& what)
{
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, flags | SQLITE_OPEN_URI, nullptr);
    TSqlite db(raw);
    if (rc != SQLITE_OK)
        throw TAdminError(QStringLiteral("cannot open %1 %2: %3").arg(what, path, QString::fromUtf8(raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc))));
    sqlite3_busy_timeout(raw, 15000);
    return db;
}

QString errorOf(sqlite3* db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

// The first column of the first row as text; empty without a row. Throws with `what`.
QString scalar(sqlite3* db, const char* sql, const QString& what)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK)
        throw TAdminError(what + QStringLiteral(": ") + errorOf(db));
    QString out;
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW && sqlite3_column_type(st, 0) != SQLITE_NULL)
        out = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        throw TAdminError(what + QStringLiteral(": ") + errorOf(db));
    return out;
}

// Copies every page of `from` into `to` in one step: one read snapshot of the source, one
// write transaction on the destination (rolled back when the copy fails).
void copyAll(sqlite3* from, sqlite3* to, const QString& what)
{
    sqlite3_backup* b = sqlite3_backup_init(to, "main", from, "main");
    if (!b)
        throw TAdminError(what + QStringLiteral(": ") + errorOf(to));
    const int rc = sqlite3_backup_step(b, -1);
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE)
        throw TAdminError(what + QStringLiteral(": ") + QString::fromUtf8(sqlite3_errstr(rc)));
}

TBackupFile describe(sqlite3* db, const QString& path)
{
    if (scalar(db, "PRAGMA quick_check", path) != QLatin1String("ok"))
        throw TAdminError(QStringLiteral("%1 is damaged (SQLite's check fails)").arg(path));
    if (scalar(db, "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name IN ('kx_schema_version', 'kx_nick')", path)
        != QLatin1String("2"))
        throw TAdminError(QStringLiteral("%1 is not a kxservice database").arg(path));
    TBackupFile f;
    f.schema = scalar(db, "SELECT MAX(version) FROM kx_schema_version", path).toInt();
    f.sellers = scalar(db, "SELECT COUNT(*) FROM kx_nick", path).toInt();
    f.bytes = QFileInfo(path).size();
    if (f.schema > KxNewestSchemaVersion())
        throw TAdminError(QStringLiteral("%1 was written by a newer kxservice (schema version %2; this program knows up to %3)")
                              .arg(path).arg(f.schema).arg(KxNewestSchemaVersion()));
    return f;
}

void syncPath(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void needSqlite(const TDbUrl& url)
{
    if (url.kind != TDbUrl::Sqlite)
        throw TAdminError(QString::fromLatin1(kUsePgTools));
}
}

TBackupFile KxCheckBackup(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw TAdminError(QStringLiteral("cannot read %1: %2").arg(path, f.errorString()));
    if (f.read(16) != QByteArray("SQLite format 3\0", 16))
        throw TAdminError(QStringLiteral("%1 is not a kxservice database (not even SQLite)").arg(path));
    f.close();
    // Read only, and as a file nobody else changes: the check leaves no journal or WAL beside it.
    const QString uri = QStringLiteral("file:%1?mode=ro&immutable=1").arg(QString::fromUtf8(QUrl::toPercentEncoding(QFileInfo(path).absoluteFilePath(), "/")));
    TSqlite db = openSqlite(uri, SQLITE_OPEN_READONLY, QStringLiteral("the backup"));
    return describe(db.get(), path);
}

TBackupFile KxBackup(const TDbUrl& url, const QString& target)
{
    needSqlite(url);
    if (QFileInfo::exists(target))
        throw TAdminError(QStringLiteral("%1 exists already; give a new file name").arg(target));
    if (!QFileInfo::exists(url.path))
        throw TAdminError(QStringLiteral("there is no database at %1").arg(url.path));
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part); // what a killed earlier run left
    {
        QFile probe(part);
        if (!probe.open(QIODevice::WriteOnly))
            throw TAdminError(QStringLiteral("cannot write the backup to %1: %2").arg(target, probe.errorString()));
    }
    auto dropPart = qScopeGuard([&] { QFile::remove(part); });
    TSqlite from = openSqlite(url.path, SQLITE_OPEN_READWRITE, QStringLiteral("the database"));
    TBackupFile done;
    {
        TSqlite to = openSqlite(part, SQLITE_OPEN_READWRITE, QStringLiteral("the backup"));
        copyAll(from.get(), to.get(), QStringLiteral("the backup failed"));
        // One self-contained file: no WAL beside it.
        scalar(to.get(), "PRAGMA journal_mode = DELETE", part);
        done = describe(to.get(), part);
    }
    syncPath(part, O_RDONLY);
    if (::rename(QFile::encodeName(part).constData(), QFile::encodeName(target).constData()) != 0)
        throw TAdminError(QStringLiteral("cannot write the backup to %1: %2").arg(target, QString::fromLocal8Bit(std::strerror(errno))));
    dropPart.dismiss();
    syncPath(QFileInfo(target).absolutePath(), O_RDONLY | O_DIRECTORY);
    done.bytes = QFileInfo(target).size();
    return done;
}

TBackupFile KxRestore(const TDbUrl& url, const QString& source)
{
    needSqlite(url);
    const TBackupFile file = KxCheckBackup(source);
    QDir().mkpath(QFileInfo(url.path).absolutePath());
    {
        TSqlite from = openSqlite(source, SQLITE_OPEN_READONLY, QStringLiteral("the backup"));
        TSqlite to = openSqlite(url.path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, QStringLiteral("the database"));
        copyAll(from.get(), to.get(), QStringLiteral("the restore failed (the database is as it was)"));
        scalar(to.get(), "PRAGMA journal_mode = WAL", url.path);
    }
    TDatabase store(url);
    store.migrate();
    store.releaseThreadConnection();
    return file;
}
