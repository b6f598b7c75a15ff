#include "BulkWrite.h"

#include <algorithm>

namespace {
// Values bound per statement stay under 999, the lowest limit a SQLite build may have.
constexpr qsizetype kKeysPerStatement = 250;
constexpr qsizetype kValuesPerInsert = 900;
constexpr qsizetype kRowsPerInsert = 100;

QString marks(qsizetype count, const QString& one)
{
    return QStringList(count, one).join(QStringLiteral(", "));
}
}

void KxForKeys(QSqlDatabase& db, const QString& sql, const QVariantList& args, const QStringList& keys,
               const std::function<void(QSqlQuery&, qsizetype, qsizetype)>& each)
{
    if (keys.isEmpty())
        return;
    const qsizetype chunk = std::min(kKeysPerStatement, keys.size());
    const QString text = sql.arg(marks(chunk, QStringLiteral("?")));
    QVariantList a = args;
    for (qsizetype i = 0; i < keys.size(); i += chunk) {
        a.resize(args.size());
        for (qsizetype k = 0; k < chunk; ++k)
            a << keys[std::min(i + k, keys.size() - 1)];
        QSqlQuery q = KxExec(db, text, a);
        each(q, i, std::min(chunk, keys.size() - i));
    }
}

QSet<QString> KxExistingKeys(QSqlDatabase& db, const QString& table, const QString& keyColumn, const QString& nickid,
                             const QStringList& keys)
{
    QSet<QString> found;
    KxForKeys(db, QStringLiteral("SELECT %1 FROM %2 WHERE nickid = ? AND %1 IN (%3)").arg(keyColumn, table, QStringLiteral("%1")),
              {nickid}, keys, [&](QSqlQuery& q, qsizetype, qsizetype) {
                  while (q.next())
                      found.insert(q.value(0).toString());
              });
    return found;
}

void TBulkInsert::add(const QVariantMap& row)
{
    bool same = row.size() == m_columns.size();
    qsizetype i = 0;
    for (auto it = row.keyBegin(); same && it != row.keyEnd(); ++it)
        same = *it == m_columns[i++];
    if (!same) {
        flush();
        m_columns = row.keys();
        m_perStatement = std::clamp<qsizetype>(kValuesPerInsert / qMax<qsizetype>(1, m_columns.size()), 1, kRowsPerInsert);
        m_full.clear();
    }
    for (const QVariant& v : row)
        m_values << v;
    if (m_values.size() >= m_perStatement * m_columns.size())
        write(m_perStatement);
}

void TBulkInsert::flush()
{
    if (!m_columns.isEmpty() && !m_values.isEmpty())
        write(m_values.size() / m_columns.size());
}

void TBulkInsert::write(qsizetype rows)
{
    QString partial;
    QString& sql = rows == m_perStatement ? m_full : partial;
    if (sql.isEmpty()) {
        const QString row = QLatin1Char('(') + marks(m_columns.size(), QStringLiteral("?")) + QLatin1Char(')');
        sql = QStringLiteral("INSERT INTO %1 (%2) VALUES %3").arg(m_table, m_columns.join(QStringLiteral(", ")), marks(rows, row));
    }
    KxExec(m_db, sql, m_values);
    m_values.clear();
}

QStringList KxNextCodes(QSqlDatabase& db, const QString& nickid, const QString& series, const QString& prefix,
                        const QString& table, const QString& keyColumn, int count, const QSet<QString>& taken, int width)
{
    QStringList codes;
    if (count <= 0)
        return codes;
    KxExec(db, QStringLiteral("INSERT INTO kx_counter (nickid, name, value) VALUES (?, ?, 0) ON CONFLICT DO NOTHING"), {nickid, series});
    while (codes.size() < count) {
        // Moving the counter first locks its row (PostgreSQL): a concurrent save waits here.
        const qint64 need = count - codes.size();
        KxExec(db, QStringLiteral("UPDATE kx_counter SET value = value + ? WHERE nickid = ? AND name = ?"), {need, nickid, series});
        const qint64 last = KxScalar(db, QStringLiteral("SELECT value FROM kx_counter WHERE nickid = ? AND name = ?"), {nickid, series})
                                .toLongLong();
        QStringList candidates;
        candidates.reserve(need);
        for (qint64 n = last - need + 1; n <= last; ++n)
            candidates << prefix + QStringLiteral("%1").arg(n, width, 10, QLatin1Char('0'));
        // Codes typed by hand may already use numbers of the series: those are skipped.
        const QSet<QString> used = KxExistingKeys(db, table, keyColumn, nickid, candidates);
        for (const QString& c : candidates)
            if (!used.contains(c) && !taken.contains(c))
                codes << c;
    }
    return codes;
}
