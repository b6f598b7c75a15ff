#include "DocSql.h"

#include <optional>

namespace KxDoc {

QString placeholders(qsizetype count, const QString& one)
{
    return QStringList(count, one).join(QStringLiteral(", "));
}

// Inserts rows of `width` values each, many to a statement: `head` + "(?, ...), (?, ...)".
void insertRows(QSqlDatabase& db, const QString& head, int width, const QVariantList& values)
{
    const qsizetype perStatement = std::clamp<qsizetype>(kValuesPerInsert / width, 1, kRowsPerInsert);
    const qsizetype rows = values.size() / width;
    const QString row = QLatin1Char('(') + placeholders(width, QStringLiteral("?")) + QLatin1Char(')');
    std::optional<TPrepared> full;
    for (qsizetype i = 0; i < rows; i += perStatement) {
        const qsizetype n = std::min(rows - i, perStatement);
        const QVariantList args = values.mid(i * width, n * width);
        if (n < perStatement) {
            TPrepared(db, head + placeholders(n, row)).exec(args);
            continue;
        }
        if (!full)
            full.emplace(db, head + placeholders(perStatement, row));
        full->exec(args);
    }
}

// Inserts rows into `table` that share the leading values `shared` (of `sharedColumns`): those
// are bound once per statement, the rest per row, cast to `rowTypes` (both engines name the
// columns of a VALUES list column1, column2, ...). `tail` follows the statement.
void insertShared(QSqlDatabase& db, const QString& table, const QStringList& sharedColumns, const QVariantList& shared,
                  const QStringList& rowColumns, const QStringList& rowTypes, const QVariantList& values, const QString& tail)
{
    const int width = int(rowColumns.size());
    const qsizetype perStatement = std::max<qsizetype>(1, (kValuesPerInsert - shared.size()) / width);
    const qsizetype rows = values.size() / width;
    QStringList select(shared.size(), QStringLiteral("?"));
    for (int i = 0; i < width; ++i)
        select << QStringLiteral("CAST(v.column%1 AS %2)").arg(i + 1).arg(rowTypes[i]);
    const QString head = QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM (VALUES ")
                             .arg(table, (sharedColumns + rowColumns).join(QStringLiteral(", ")), select.join(QStringLiteral(", ")));
    // "WHERE" keeps SQLite from reading an ON CONFLICT tail as a join's ON.
    const QString end = QStringLiteral(") v WHERE 1 = 1") + tail;
    const QString row = QLatin1Char('(') + placeholders(width, QStringLiteral("?")) + QLatin1Char(')');
    std::optional<TPrepared> full;
    for (qsizetype i = 0; i < rows; i += perStatement) {
        const qsizetype n = std::min(rows - i, perStatement);
        const QVariantList args = shared + values.mid(i * width, n * width);
        if (n < perStatement) {
            TPrepared(db, head + placeholders(n, row) + end).exec(args);
            continue;
        }
        if (!full)
            full.emplace(db, head + placeholders(perStatement, row) + end);
        full->exec(args);
    }
}

} // namespace KxDoc
