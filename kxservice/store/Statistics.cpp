#include "Statistics.h"

#include "Database.h"

#include <QSqlDriver>
#include <QSqlQuery>

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
    if (tables.isEmpty() || !postgres(db))
        return;
    // A database still at an older schema lacks the newer tables; VACUUM would refuse them all.
    QSqlQuery q = KxExec(db, QStringLiteral("SELECT t FROM unnest(string_to_array(?, ',')) AS t WHERE to_regclass(t) IS NOT NULL"),
                         {tables.join(QLatin1Char(','))});
    QStringList present;
    while (q.next())
        present << q.value(0).toString();
    if (!present.isEmpty())
        KxExec(db, QStringLiteral("VACUUM (ANALYZE) ") + present.join(QStringLiteral(", ")));
}
