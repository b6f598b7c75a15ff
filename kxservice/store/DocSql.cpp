#include "DocSql.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <optional>

namespace KxDoc {

QString placeholders(qsizetype count, const QString& one)
{
    return QStringList(count, one).join(QStringLiteral(", "));
}

// Inserts rows of `width` values each, many to a statement: `head` + "(?, ...), (?, ...)".
namespace {
bool postgres(const QSqlDatabase& db)
{
    return db.driverName() == QLatin1String("QPSQL");
}
}

namespace {
// PostgreSQL: the rows as one JSON array, turned into the table's row type at the server. The
// statement's text does not depend on the number of rows, so it stays prepared between chunks
// and calls, and the server takes each value through the column's own type. A VALUES list
// of 500 rows of eight values took the server 80 ms to parse and plan, every time.
bool insertJson(QSqlDatabase& db, const QString& head, int width, const QVariantList& values)
{
    static const QRegularExpression shape(QStringLiteral("^INSERT INTO (\\w+) \\(([\\w, ]+)\\) VALUES\\s*$"));
    const QRegularExpressionMatch m = shape.match(head);
    if (!m.hasMatch())
        return false;
    const QString table = m.captured(1), columns = m.captured(2);
    const QStringList names = columns.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (names.size() != width)
        return false;
    QList<QString> keys;
    for (const QString& n : names)
        keys << n.trimmed();
    const QString sql = QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM json_populate_recordset(NULL::%1, CAST(? AS json))").arg(table, columns);
    const qsizetype rows = values.size() / width;
    for (qsizetype first = 0; first < rows; first += kPgRowsPerInsert) {
        const qsizetype end = std::min(rows, first + kPgRowsPerInsert);
        QJsonArray array;
        for (qsizetype r = first; r < end; ++r) {
            QJsonObject row;
            for (int c = 0; c < width; ++c) {
                const QVariant& v = values[r * width + c];
                // As the bound values: an invalid QVariant is NULL, a null text empty text.
                if (!v.isValid())
                    row.insert(keys[c], QJsonValue::Null);
                else if (v.metaType().id() == QMetaType::QString)
                    row.insert(keys[c], v.toString().isNull() ? QStringLiteral("") : v.toString());
                else
                    row.insert(keys[c], QJsonValue::fromVariant(v));
            }
            array.append(row);
        }
        KxExec(db, sql, {QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact))});
    }
    return true;
}
}

namespace {
// Runs `head` + rows + `end` over `values` (`width` values a row, `shared` first in every
// statement): statements of `perStatement` rows, the rest in halving sizes. So one table's
// inserts use a few texts, and they stay prepared on the connection (KxExec): preparing a
// long statement costs much, as Qt's SQLite driver names every "?" and SQLite looks each name
// up among the ones before it.
void insertInChunks(QSqlDatabase& db, const QString& head, const QString& row, const QString& end, int width, qsizetype perStatement,
                    const QVariantList& shared, const QVariantList& values, const std::function<void(QSqlQuery&)>& each)
{
    const qsizetype rows = values.size() / width;
    qsizetype n = perStatement;
    for (qsizetype i = 0; i < rows; i += n) {
        while (n > rows - i)
            n /= 2;
        QSqlQuery q = KxExec(db, head + placeholders(n, row) + end, shared + values.mid(i * width, n * width));
        if (each)
            each(q);
    }
}
}

void insertRows(QSqlDatabase& db, const QString& head, int width, const QVariantList& values)
{
    if (values.isEmpty() || (postgres(db) && insertJson(db, head, width, values)))
        return;
    const qsizetype perStatement = std::clamp<qsizetype>(kValuesPerInsert / width, 1, kRowsPerInsert);
    const QString row = QLatin1Char('(') + placeholders(width, QStringLiteral("?")) + QLatin1Char(')');
    insertInChunks(db, head, row, QString(), width, perStatement, {}, values, nullptr);
}

namespace {
// One column of the rows [first, end) (value indexes) as a PostgreSQL array literal: every
// element quoted (the server reads a quoted "12" as a number where the array's type is a
// number), an invalid QVariant NULL.
QString arrayLiteral(const QVariantList& values, int width, int column, qsizetype first, qsizetype end)
{
    QString out(QLatin1Char('{'));
    for (qsizetype i = first + column; i < end; i += width) {
        if (i > first + column)
            out += QLatin1Char(',');
        const QVariant& v = values[i];
        if (!v.isValid()) {
            out += QLatin1String("NULL");
            continue;
        }
        out += QLatin1Char('"');
        for (const QChar c : v.toString()) {
            if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
                out += QLatin1Char('\\');
            out += c;
        }
        out += QLatin1Char('"');
    }
    return out + QLatin1Char('}');
}

// PostgreSQL: up to kPgRowsPerInsert rows to a statement, a column to a parameter (an array),
// unnested at the server. The text does not depend on the number of rows, so it stays
// prepared between chunks and calls; a VALUES list of a thousand rows would be prepared,
// parsed and planned anew every time.
void insertUnnested(QSqlDatabase& db, const QString& table, const QStringList& sharedColumns, const QVariantList& shared,
                    const QStringList& rowColumns, const QStringList& rowTypes, const QVariantList& values, const QString& tail,
                    const std::function<void(QSqlQuery&)>& each)
{
    const int width = int(rowColumns.size());
    QStringList select(shared.size(), QStringLiteral("?")), arrays, names;
    for (int i = 0; i < width; ++i) {
        select << QStringLiteral("u.c%1").arg(i + 1);
        arrays << QStringLiteral("CAST(? AS %1[])").arg(rowTypes[i]);
        names << QStringLiteral("c%1").arg(i + 1);
    }
    const QString sql = QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM unnest(%4) AS u(%5)")
                            .arg(table, (sharedColumns + rowColumns).join(QStringLiteral(", ")), select.join(QStringLiteral(", ")),
                                 arrays.join(QStringLiteral(", ")), names.join(QStringLiteral(", ")))
        + tail;
    const qsizetype chunk = kPgRowsPerInsert * width;
    for (qsizetype first = 0; first < values.size(); first += chunk) {
        const qsizetype end = std::min(values.size(), first + chunk);
        QVariantList args = shared;
        for (int i = 0; i < width; ++i)
            args << arrayLiteral(values, width, i, first, end);
        QSqlQuery q = KxExec(db, sql, args);
        if (each)
            each(q);
    }
}
}

// Inserts rows into `table` that share the leading values `shared` (of `sharedColumns`): those
// are bound once per statement, the rest per row, cast to `rowTypes` (both engines name the
// columns of a VALUES list column1, column2, ...). `tail` follows the statement.
void insertShared(QSqlDatabase& db, const QString& table, const QStringList& sharedColumns, const QVariantList& shared,
                  const QStringList& rowColumns, const QStringList& rowTypes, const QVariantList& values, const QString& tail,
                  const std::function<void(QSqlQuery&)>& each)
{
    const int width = int(rowColumns.size());
    if (values.isEmpty())
        return;
    if (postgres(db))
        return insertUnnested(db, table, sharedColumns, shared, rowColumns, rowTypes, values, tail, each);
    const qsizetype perStatement = std::max<qsizetype>(1, (kValuesPerInsert - shared.size()) / width);
    QStringList select(shared.size(), QStringLiteral("?"));
    for (int i = 0; i < width; ++i)
        select << QStringLiteral("CAST(v.column%1 AS %2)").arg(i + 1).arg(rowTypes[i]);
    const QString head = QStringLiteral("INSERT INTO %1 (%2) SELECT %3 FROM (VALUES ")
                             .arg(table, (sharedColumns + rowColumns).join(QStringLiteral(", ")), select.join(QStringLiteral(", ")));
    // "WHERE" keeps SQLite from reading an ON CONFLICT tail as a join's ON.
    const QString end = QStringLiteral(") v WHERE 1 = 1") + tail;
    const QString row = QLatin1Char('(') + placeholders(width, QStringLiteral("?")) + QLatin1Char(')');
    insertInChunks(db, head, row, end, width, perStatement, shared, values, each);
}

QString forUpdate(const QSqlDatabase& db)
{
    return db.driverName() == QLatin1String("QSQLITE") ? QString() : QStringLiteral(" FOR UPDATE");
}

} // namespace KxDoc
