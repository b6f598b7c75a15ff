#pragma once
// The one seam between the service and the data packet format: query results become data
// packets, deltas become row changes. The format itself belongs to kx_cds.
#include <QByteArray>
#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <memory>

class TDataPacketWriter;

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

// One data packet from the rows of several queries of the same columns, in turn (rows read
// in chunks of keys).
class TQueryPacket {
public:
    explicit TQueryPacket(const QList<TPacketColumn>& columns);
    ~TQueryPacket();
    void add(QSqlQuery& query);   // its remaining rows
    QByteArray finish(int* rowCount = nullptr);

private:
    QList<TPacketColumn> m_columns;
    std::unique_ptr<TDataPacketWriter> m_writer;
};

// A delta as read: its typed rows, which every change of it refers to; and what makes the
// changes over them.
struct TDeltaData;
struct TDeltaChanges;

// One side of a change (the values after it, or before it), read from the delta's typed rows
// where they lie: no copy of its values. Field names are looked up in lower case.
class TDeltaSide {
public:
    // Whether the change has this side (an insert has no old values, a delete no new ones).
    bool isValid() const;
    // Whether the side carries the field: the delta has it (a null cell counts).
    bool contains(const QString& field) const;
    // Typed as the delta's field; invalid for a null cell, a field the delta lacks, or no side.
    QVariant value(const QString& field) const;

private:
    friend struct TDeltaChanges;
    const TDeltaData* m_data = nullptr;
    int m_change = -1;
    bool m_new = false;
};

// The fields an update changed (lower case), in field order; empty for other changes.
class TDeltaChangedFields {
public:
    bool contains(const QString& field) const;
    bool isEmpty() const { return begin() == end(); }

    class const_iterator {
    public:
        const QString& operator*() const;
        const_iterator& operator++();
        bool operator==(const const_iterator& o) const { return m_field == o.m_field; }

    private:
        friend class TDeltaChangedFields;
        const_iterator(const TDeltaChangedFields* of, int field);
        void skip();
        const TDeltaChangedFields* m_of;
        int m_field;
    };
    const_iterator begin() const;
    const_iterator end() const;

private:
    friend struct TDeltaChanges;
    const TDeltaData* m_data = nullptr;
    int m_change = -1;
};

// One changed row of a delta: the values after the change (insert, update) and before it
// (update, delete). A change keeps its delta's rows alive however it is copied.
struct TDeltaChange {
    enum Kind { Insert, Update, Delete };
    Kind kind = Insert;
    TDeltaSide values;
    TDeltaSide original;
    TDeltaChangedFields changed;   // update: the fields whose value changed

private:
    friend struct TDeltaChanges;
    std::shared_ptr<const TDeltaData> m_data;
};

// Reads a delta document; field names in lower case. Throws TServiceError(kxBadDelta)
// when it is not one. The buffer is parsed in place and freed: hand over the call's own.
QList<TDeltaChange> KxReadDelta(QByteArray&& delta);
QList<TDeltaChange> KxReadDelta(const QByteArray& delta);
