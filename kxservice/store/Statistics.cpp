#include "Statistics.h"

#include "Database.h"

#include <QSqlDriver>

void KxAnalyse(QSqlDatabase& db, const QStringList& tables)
{
    if (tables.isEmpty() || !db.driver() || db.driver()->dbmsType() != QSqlDriver::PostgreSQL)
        return;
    KxExec(db, QStringLiteral("ANALYZE ") + tables.join(QStringLiteral(", ")));
}
