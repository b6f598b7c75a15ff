#pragma once
// Saved purchase receipts written straight into a service database, for lists and benchmarks
// that need many documents: one transaction, statements prepared once and run for many rows.
#include "TDecimal.h"
#include "store/Database.h"
#include "store/Statistics.h"

#include <QDate>
#include <QSqlError>
#include <QStringList>
#include <QUuid>

#include <map>
#include <optional>

namespace kxseed_detail {
// Rows collected and written by multi-row INSERTs, each statement prepared once.
class TBulkInsert {
public:
    TBulkInsert(QSqlDatabase& db, const QString& head, int columns, int rowsPerStatement)
        : m_db(db), m_head(head), m_columns(columns), m_rows(rowsPerStatement) {}
    void add(const QVariantList& row)
    {
        m_pending += row;
        if (m_pending.size() == qsizetype(m_columns) * m_rows)
            flush();
    }
    void flush()
    {
        if (m_pending.isEmpty())
            return;
        const int rows = int(m_pending.size() / m_columns);
        auto it = m_prepared.find(rows);
        if (it == m_prepared.end()) {
            const QString row = QLatin1Char('(') + QStringList(m_columns, QStringLiteral("?")).join(QStringLiteral(", ")) + QLatin1Char(')');
            it = m_prepared.emplace(rows, QSqlQuery(m_db)).first;
            if (!it->second.prepare(m_head + QStringList(rows, row).join(QStringLiteral(", "))))
                throw TDbError(m_head + QStringLiteral(" -- ") + it->second.lastError().text());
        }
        for (qsizetype i = 0; i < m_pending.size(); ++i)
            it->second.bindValue(int(i), m_pending[i]);
        if (!it->second.exec())
            throw TDbError(m_head + QStringLiteral(" -- ") + it->second.lastError().text());
        m_pending.clear();
    }

private:
    QSqlDatabase& m_db;
    QString m_head;
    int m_columns, m_rows;
    QVariantList m_pending;
    std::map<int, QSqlQuery> m_prepared;
};

inline QVariantList column(QSqlDatabase& db, const QString& sql, const QString& nickid, int width = 1)
{
    QVariantList out;
    QSqlQuery q = KxExec(db, sql, {nickid});
    while (q.next())
        for (int i = 0; i < width; ++i)
            out << q.value(i);
    return out;
}
}

// `documents` saved (status 1) receipts of `linesEach` lines for the seller, with its own
// suppliers, storages of type 1, products and prices, and receivemoney the sum of quantity ×
// cost price as a save computes it. Documents are dated on the days before today, 100 a day,
// numbered "RK" + day + running number: the service numbers today's documents only, so its
// later numbers never meet these. Throws TDbError (nothing written) when a statement fails.
inline void KxSeedReceipts(QSqlDatabase db, const QString& nickid, int documents, int linesEach)
{
    using namespace kxseed_detail;
    const QVariantList suppliers = column(db, QStringLiteral("SELECT suppliercode, suppliername FROM kx_supplier WHERE nickid = ? ORDER BY suppliercode"), nickid, 2);
    const QVariantList storages = column(db, QStringLiteral("SELECT storageid FROM kx_storage WHERE nickid = ? AND storagetype = 1 ORDER BY storageid"), nickid);
    const QVariantList products = column(db, QStringLiteral("SELECT commoditycode, costprice, saleprice FROM kx_commodity WHERE nickid = ? AND is_del = 0 ORDER BY commoditycode"), nickid, 3);
    if (suppliers.isEmpty() || storages.isEmpty() || products.isEmpty())
        throw TDbError(QStringLiteral("KxSeedReceipts: seller %1 has no suppliers, receiving storages or products").arg(nickid));
    const QString shop = KxScalar(db, QStringLiteral("SELECT shopcode FROM kx_shop WHERE nickid = ? ORDER BY shopcode"), {nickid}).toString();
    const QVariantList oper = column(db, QStringLiteral("SELECT operid, opername FROM kx_operator WHERE nickid = ? ORDER BY operid"), nickid, 2);
    const QString inputren = oper.isEmpty() ? QStringLiteral("") : QLatin1Char('[') + oper[0].toString() + QLatin1Char(']') + oper[1].toString();
    const qsizetype productCount = products.size() / 3, supplierCount = suppliers.size() / 2;
    constexpr int kPerDay = 100;
    const QDate today = QDate::currentDate();

    if (!db.transaction())
        throw TDbError(QStringLiteral("KxSeedReceipts: BEGIN -- ") + db.lastError().text());
    try {
        TBulkInsert headers(db, QStringLiteral("INSERT INTO kx_receive (nickid, receiveid, md5_key, shopcode, suppliercode, suppliername, storageid,"
                                               " receivemoney, inputren, inputtime, auditren, audittime, status, memo) VALUES "), 14, 50);
        TBulkInsert lines(db, QStringLiteral("INSERT INTO kx_receive_line (nickid, receiveid, seq, md5_key, commoditycode, receivenum,"
                                             " costprice, saleprice) VALUES "), 8, 100);
        const int days = (documents + kPerDay - 1) / kPerDay;
        for (int d = 0; d < documents; ++d) {
            // The oldest day first; numbers and times rise together, as the service's do.
            const QDate day = today.addDays(d / kPerDay - days);
            const int nth = d % kPerDay + 1;
            const QString id = QStringLiteral("RK") + day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral("%1").arg(nth, 3, 10, QLatin1Char('0'));
            const QString when = day.toString(QStringLiteral("yyyy-MM-dd"))
                + QStringLiteral(" %1:%2:00").arg(8 + nth * 5 / 60, 2, 10, QLatin1Char('0')).arg(nth * 5 % 60, 2, 10, QLatin1Char('0'));
            const QString key = QUuid::createUuid().toString(QUuid::Id128);
            TDecimal money = TDecimal::FromInteger(0);
            for (int l = 0; l < linesEach; ++l) {
                const qsizetype p = (qsizetype(d) * linesEach + l) % productCount;
                const qint64 quantity = 1 + (d + l) % 20;
                const QString cost = products[p * 3 + 1].toString();
                if (const std::optional<TDecimal> c = TDecimal::Parse(cost))
                    money = money + *c * TDecimal::FromInteger(quantity);
                lines.add({nickid, id, l + 1, key, products[p * 3], quantity, cost, products[p * 3 + 2].toString()});
            }
            const qsizetype s = d % supplierCount;
            headers.add({nickid, id, key, shop, suppliers[s * 2], suppliers[s * 2 + 1], storages[d % storages.size()],
                         money.Rescaled(2) ? money.Rescaled(2)->ToString() : money.ToString(), inputren, when,
                         QStringLiteral(""), QStringLiteral(""), 1, QStringLiteral("")});
        }
        headers.flush();
        lines.flush();
    } catch (...) {
        db.rollback();
        throw;
    }
    if (!db.commit())
        throw TDbError(QStringLiteral("KxSeedReceipts: COMMIT -- ") + db.lastError().text());
    KxVacuumAnalyse(db, {QStringLiteral("kx_receive"), QStringLiteral("kx_receive_line")});
}
