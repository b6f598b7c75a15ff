#pragma once
// The one seam between the service and the data packet format: query results become data
// packets, deltas become row changes. The format itself belongs to kx_cds.
#include <QByteArray>
#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

// A column of a packet written from a query, in select order.
struct TPacketColumn {
    enum Kind { Text, Integer, Boolean, Decimal, DateTime };
    QString name;
    Kind kind = Text;
    int size = 0;   // text: length hint
    int scale = 2;  // decimal: digits after the point
};

// Writes every remaining row of the query as one data packet (UTF-8 XML). The query's
// columns are taken in order and named by `columns`.
QByteArray KxQueryPacket(QSqlQuery& query, const QList<TPacketColumn>& columns, int* rowCount = nullptr);

// One changed row of a delta: the values after the change (insert, update) and before it
// (update, delete), by field name. Absent names were not sent.
struct TDeltaChange {
    enum Kind { Insert, Update, Delete };
    Kind kind = Insert;
    QVariantMap values;     // typed as the delta's fields; a null value is an invalid QVariant
    QVariantMap original;
    QStringList changed;    // update: the fields whose value changed
};

// Reads a delta document; field names in lower case. Throws TServiceError(kxBadDelta)
// when it is not one.
QList<TDeltaChange> KxReadDelta(const QByteArray& delta);
