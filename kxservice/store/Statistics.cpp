#include "Statistics.h"

#include "Database.h"

#include <QSqlDriver>

namespace {
bool postgres(const QSqlDatabase& db)
{
    return db.driver() && db.driver()->dbmsType() == QSqlDriver::PostgreSQL;
}
}

void KxAnalyse(QSqlDatabase& db, const QStringList& tables)
{
    if (!tables.isEmpty() && postgres(db))
        KxExec(db, QStringLiteral("ANALYZE ") + tables.join(QStringLiteral(", ")));
}

void KxVacuumAnalyse(QSqlDatabase& db, const QStringList& tables)
{
    if (!tables.isEmpty() && postgres(db))
        KxExec(db, QStringLiteral("VACUUM (ANALYZE) ") + tables.join(QStringLiteral(", ")));
}
