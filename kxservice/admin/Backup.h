#pragma once
// Backups of a SQLite service database and their restoring. PostgreSQL databases are backed
// up with its own tools (pg_dump / pg_restore, see the README); these refuse them, saying so.
#include <QString>

struct TDbUrl;

struct TBackupFile {
    int schema = 0;       // the schema version it was written at
    int sellers = 0;
    qint64 bytes = 0;
};

// A consistent copy of the live database in `target` while the service keeps serving: SQLite's
// online backup in one read snapshot (in WAL mode writers carry on meanwhile), written beside
// the target under a temporary name, checked, and renamed only when whole. An existing target
// is refused. Throws TAdminError.
TBackupFile KxBackup(const TDbUrl& url, const QString& target);
// What a file is as a backup: refused (TAdminError) unless it is a whole SQLite database of
// this service at a schema version this program knows.
TBackupFile KxCheckBackup(const QString& path);
// Checks `source`, puts its content in place of the database's (one transaction: all or
// nothing) and brings it up to the program's schema version. Stop the service first.
TBackupFile KxRestore(const TDbUrl& url, const QString& source);
