#pragma once
// Saves of many rows of one seller's table while the write lock is held: rows found by key in
// IN lists, many rows to an INSERT, codes of a series taken many at once. Every statement text
// is one of a few shapes, so KxExec keeps each prepared; values are always bound.
#include "Database.h"

#include <QSet>
#include <QStringList>
#include <functional>

// Runs `sql`, whose "%1" is an IN list, after the leading `args` for all of `keys`, in chunks
// padded with their last key to one length (one statement text for every chunk), in the order
// of `keys`. Calls `each` with every chunk's query and the range of `keys` it was run for.
void KxForKeys(QSqlDatabase& db, const QString& sql, const QVariantList& args, const QStringList& keys,
               const std::function<void(QSqlQuery& rows, qsizetype first, qsizetype count)>& each);

// Which of `keys` are rows of the seller's `table` (by `keyColumn`).
QSet<QString> KxExistingKeys(QSqlDatabase& db, const QString& table, const QString& keyColumn, const QString& nickid,
                             const QStringList& keys);

// Inserts rows into one table, many to a statement. Each row is its values by column name;
// consecutive rows with the same columns share statements, written whenever enough have
// gathered and at flush(). Nothing is written at destruction: a refused save rolls its
// transaction back anyway.
class TBulkInsert {
public:
    TBulkInsert(QSqlDatabase& db, const QString& table) : m_db(db), m_table(table) {}
    void add(const QVariantMap& row);
    void flush();

private:
    void write(qsizetype rows);

    QSqlDatabase& m_db;
    QString m_table;
    QStringList m_columns;   // of the rows gathered
    qsizetype m_perStatement = 0;
    QString m_full;          // the statement for m_perStatement rows
    QVariantList m_values;
};

// The next `count` codes of the seller's series `series` (the prefix and at least `width`
// digits: "B001", "B002", …) in order, skipping codes already used in `table`.`keyColumn` and those in
// `taken` (codes typed in the same save). The counter row is updated in the caller's write
// transaction, so concurrent saves never get the same code.
QStringList KxNextCodes(QSqlDatabase& db, const QString& nickid, const QString& series, const QString& prefix,
                        const QString& table, const QString& keyColumn, int count, const QSet<QString>& taken = {},
                        int width = 3);
