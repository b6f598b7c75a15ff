#include "Packet.h"

#include "DataPacket.h"
#include "protocol/ServiceError.h"

#include <QSqlRecord>

QByteArray KxQueryPacket(QSqlQuery& query, const QList<TPacketColumn>& columns, int* rowCount)
{
    TQueryPacket packet(columns);
    packet.add(query);
    return packet.finish(rowCount);
}

TQueryPacket::TQueryPacket(const QList<TPacketColumn>& columns) : m_columns(columns), m_writer(std::make_unique<TDataPacketWriter>())
{
    TDataPacketWriter& w = *m_writer;
    for (const TPacketColumn& c : columns) {
        bool ok = false;
        switch (c.kind) {
        case TPacketColumn::Text: ok = w.AddField(c.name, ftString, c.size); break;
        case TPacketColumn::Integer: ok = w.AddField(c.name, ftLargeint); break;
        case TPacketColumn::Boolean: ok = w.AddField(c.name, ftBoolean); break;
        case TPacketColumn::Decimal: ok = w.AddField(c.name, ftDecimal, 0, 18, c.scale); break;
        case TPacketColumn::DateTime: ok = w.AddField(c.name, ftDateTime); break;
        }
        if (!ok)
            throw std::runtime_error("packet field " + c.name.toStdString() + ": " + w.LastError().toStdString());
    }
}

TQueryPacket::~TQueryPacket() = default;

void TQueryPacket::add(QSqlQuery& query)
{
    TDataPacketWriter& w = *m_writer;
    const int n = int(m_columns.size());
    while (query.next()) {
        w.BeginRow();
        for (int i = 0; i < n; ++i) {
            const QVariant v = query.value(i);
            if (v.isNull())
                continue;
            bool ok = true;
            switch (m_columns[i].kind) {
            case TPacketColumn::Text: ok = w.SetText(i, v.toString()); break;
            case TPacketColumn::Integer: ok = w.SetInteger(i, v.toLongLong()); break;
            case TPacketColumn::Boolean: ok = w.SetBoolean(i, v.toLongLong() != 0); break;
            case TPacketColumn::Decimal: ok = w.SetText(i, v.toString()); break;
            case TPacketColumn::DateTime:
                // Stored as "yyyy-MM-dd HH:mm:ss" text; an empty stamp is no value.
                if (!v.toString().isEmpty())
                    ok = w.SetText(i, v.toString());
                break;
            }
            if (!ok)
                throw std::runtime_error("packet value of " + m_columns[i].name.toStdString() + ": " + w.LastError().toStdString());
        }
        w.EndRow();
    }
}

QByteArray TQueryPacket::finish(int* rowCount)
{
    if (rowCount)
        *rowCount = m_writer->RowCount();
    return m_writer->Finish();
}

namespace {
// The data-packet reader takes the first root element and ignores anything after it; a
// delta holding a second <delta> is a forged or broken document, not two saves.
bool hasSecondRoot(const QByteArray& delta)
{
    const auto startsElement = [&](qsizetype at) {
        const qsizetype after = at + 6;
        if (after >= delta.size())
            return true;
        const char c = delta[after];
        return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
    };
    qsizetype at = delta.indexOf("<delta");
    int roots = 0;
    while (at >= 0) {
        if (startsElement(at) && ++roots > 1)
            return true;
        at = delta.indexOf("<delta", at + 6);
    }
    return false;
}
}

struct TDeltaData {
    TDeltaReader reader;
    QStringList names;   // lower case, in field order

    int field(const QString& name) const { return reader.FieldIndex(name); }
};

struct TDeltaChanges {
    static QList<TDeltaChange> of(const std::shared_ptr<const TDeltaData>& data)
    {
        QList<TDeltaChange> out;
        out.reserve(data->reader.Count());
        for (int c = 0; c < data->reader.Count(); ++c) {
            TDeltaChange ch;
            switch (data->reader.Kind(c)) {
            case ukInsert: ch.kind = TDeltaChange::Insert; break;
            case ukModify: ch.kind = TDeltaChange::Update; break;
            case ukDelete: ch.kind = TDeltaChange::Delete; break;
            }
            ch.values.m_data = ch.original.m_data = ch.changed.m_data = data.get();
            ch.values.m_change = ch.original.m_change = ch.changed.m_change = c;
            ch.values.m_new = true;
            ch.m_data = data;
            out << ch;
        }
        return out;
    }
};

bool TDeltaSide::isValid() const
{
    if (!m_data)
        return false;
    const TUpdateKind k = m_data->reader.Kind(m_change);
    return m_new ? k != ukDelete : k != ukInsert;
}

bool TDeltaSide::contains(const QString& field) const
{
    return isValid() && m_data->field(field) >= 0;
}

QVariant TDeltaSide::value(const QString& field) const
{
    if (!isValid())
        return QVariant();
    const int f = m_data->field(field);
    if (f < 0)
        return QVariant();
    return (m_new ? m_data->reader.NewRow(m_change) : m_data->reader.OldRow(m_change)).Value(f);
}

bool TDeltaChangedFields::contains(const QString& field) const
{
    return m_data && m_data->reader.FieldChanged(m_change, m_data->field(field));
}

TDeltaChangedFields::const_iterator::const_iterator(const TDeltaChangedFields* of, int field) : m_of(of), m_field(field)
{
    skip();
}

void TDeltaChangedFields::const_iterator::skip()
{
    const TDeltaData* d = m_of->m_data;
    const int n = d ? int(d->names.size()) : 0;
    while (m_field < n && !d->reader.FieldChanged(m_of->m_change, m_field))
        ++m_field;
    if (m_field > n)
        m_field = n;
}

const QString& TDeltaChangedFields::const_iterator::operator*() const
{
    return m_of->m_data->names[m_field];
}

TDeltaChangedFields::const_iterator& TDeltaChangedFields::const_iterator::operator++()
{
    ++m_field;
    skip();
    return *this;
}

TDeltaChangedFields::const_iterator TDeltaChangedFields::begin() const
{
    return const_iterator(this, 0);
}

TDeltaChangedFields::const_iterator TDeltaChangedFields::end() const
{
    return const_iterator(this, m_data ? int(m_data->names.size()) : 0);
}

QList<TDeltaChange> KxReadDelta(const QByteArray& delta)
{
    return KxReadDelta(QByteArray(delta));
}

QList<TDeltaChange> KxReadDelta(QByteArray&& delta)
{
    // Invalid bytes would be read as U+FFFD and stored so: refused instead.
    if (!QByteArrayView(delta).isValidUtf8())
        throw TServiceError(kxBadDelta, QStringLiteral("提交的修改记录不是有效的 UTF-8 文本"));
    if (hasSecondRoot(delta))
        throw TServiceError(kxBadDelta, QStringLiteral("提交的修改记录只能有一个 <delta> 根元素"));
    auto data = std::make_shared<TDeltaData>();
    TDeltaReader& r = data->reader;
    if (!r.Load(std::move(delta)))
        throw TServiceError(kxBadDelta, QStringLiteral("提交的数据不是有效的修改记录：%1").arg(r.LastError().left(200)));
    for (int f = 0; f < r.FieldDefs().Count(); ++f)
        data->names << r.FieldDefs()[f].Name.toLower();
    return TDeltaChanges::of(data);
}
