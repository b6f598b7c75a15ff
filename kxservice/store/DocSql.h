#pragma once
// Statements of the document engine run for many rows at once: prepared once and run again,
// IN lists in chunks, many rows to an INSERT. Values are always bound.
#include "Database.h"

#include <QSqlError>
#include <QStringList>
#include <algorithm>
#include <functional>

namespace KxDoc {

// One statement prepared once and run for many sets of values: a 500-line document would
// otherwise prepare (and on PostgreSQL also deallocate) a statement per line.
class TPrepared {
public:
    TPrepared(QSqlDatabase& db, const QString& sql) : m_q(db), m_sql(sql)
    {
        m_q.setForwardOnly(db.driverName() == QLatin1String("QSQLITE"));
        m_q.setNumericalPrecisionPolicy(QSql::HighPrecision);
        if (!m_q.prepare(sql))
            throw TDbError(sql + QStringLiteral(" -- ") + m_q.lastError().text());
    }
    QSqlQuery& exec(const QVariantList& args)
    {
        for (qsizetype i = 0; i < args.size(); ++i) {
            // As KxExec: a null text binds as empty text, only an invalid QVariant as NULL.
            const QVariant& v = args[i];
            m_q.bindValue(int(i), v.metaType().id() == QMetaType::QString && v.toString().isNull() ? QVariant(QStringLiteral("")) : v);
        }
        if (!m_q.exec())
            throw TDbError(m_sql + QStringLiteral(" -- ") + m_q.lastError().text());
        return m_q;
    }

private:
    QSqlQuery m_q;
    QString m_sql;
};

// "?, ?, ?" (`count` times `one`).
QString placeholders(qsizetype count, const QString& one);
// " FOR UPDATE" on PostgreSQL, where rows read to be changed are locked; nothing on SQLite,
// whose write transaction holds them all.
QString forUpdate(const QSqlDatabase& db);

// Values bound per statement stay under 999 on SQLite, the lowest limit a build may have.
// On PostgreSQL every statement is a round trip to the server: many more rows go to one, as
// arrays or JSON bound to one statement whose text does not depend on the number of rows.
constexpr qsizetype kInListSize = 250;
constexpr qsizetype kValuesPerInsert = 900;
constexpr qsizetype kRowsPerInsert = 100;   // a round number of lines fills whole statements
constexpr qsizetype kPgRowsPerInsert = 1000;

// Runs `sql`, whose "%1" is an IN list, after the leading `args` for `items` in chunks. Every
// chunk is padded to the same length with its last item, so one prepared statement serves all.
template <typename F>
void inChunks(QSqlDatabase& db, const QString& sql, const QVariantList& args, const QVariantList& items, F&& each)
{
    if (items.isEmpty())
        return;
    const qsizetype chunk = std::min(kInListSize, items.size());
    TPrepared q(db, sql.arg(placeholders(chunk, QStringLiteral("?"))));
    for (qsizetype i = 0; i < items.size(); i += chunk) {
        QVariantList a = args;
        for (qsizetype k = 0; k < chunk; ++k)
            a << items[std::min(i + k, items.size() - 1)];
        each(q.exec(a));
    }
}

// Inserts rows of `width` values each, many to a statement: `head` + "(?, ...), (?, ...)".
void insertRows(QSqlDatabase& db, const QString& head, int width, const QVariantList& values);
// Inserts rows into `table` that share the leading values `shared` (of `sharedColumns`): those
// are bound once per statement, the rest per row, cast to `rowTypes`. `tail` follows the
// statement; when it returns rows (RETURNING), `each` reads them after every statement. On
// PostgreSQL a thousand rows go to a statement that stays prepared: each column is one array.
void insertShared(QSqlDatabase& db, const QString& table, const QStringList& sharedColumns, const QVariantList& shared,
                  const QStringList& rowColumns, const QStringList& rowTypes, const QVariantList& values, const QString& tail = QString(),
                  const std::function<void(QSqlQuery&)>& each = {});

} // namespace KxDoc
