#pragma once
// Planner statistics of tables just filled in bulk (seeding, imports, downloads).
#include <QSqlDatabase>
#include <QStringList>

// Gathers PostgreSQL's statistics of `tables`, so that the first queries on rows loaded a
// moment ago are not planned as if the tables were empty: a join planned on no statistics can
// read a whole table once per row. Table names come from code only. SQLite plans without
// statistics as it always has, so there it does nothing. Throws TDbError.
void KxAnalyse(QSqlDatabase& db, const QStringList& tables);

// The same, outside any transaction only, and the tables vacuumed too: that marks their pages
// all-visible, so counts and index-only scans over the new rows need not visit every row.
// Tables the database does not have (yet) are left out.
void KxVacuumAnalyse(QSqlDatabase& db, const QStringList& tables);
