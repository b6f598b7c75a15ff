#include "DataPacket.h"

#include "CdsCells.h"
#include "CdsDates.h"
#include "CdsWire.h"
#include "CdsXml.h"

#include <QHash>

using namespace kxcds;

// ===========================================================================================
// TDataPacketWriter

struct TDataPacketWriter::Impl
{
    std::vector<TFieldDef> defs;
    std::vector<std::string> names;
    QHash<QString, int> index;     // lower-case name
    std::vector<Column> scratch;   // one cell per field: values are formatted through it
    std::vector<quint32> seen;
    quint32 stamp = 0;
    std::string out;
    bool started = false;
    bool inRow = false;
    int rows = 0;
    QString lastError;

    bool fail(const QString& msg)
    {
        return failWith(lastError, msg);
    }

    void start()
    {
        if (started)
            return;
        out = "<datapacket>";
        writeFields(out, defs);
        out += "<rows>";
        started = true;
    }

    bool claim(int field)
    {
        if (!inRow)
            return fail(QStringLiteral("TDataPacketWriter: a value outside BeginRow/EndRow"));
        if (field < 0 || field >= int(defs.size()))
            return fail(QStringLiteral("TDataPacketWriter: there is no field %1").arg(field));
        if (seen[size_t(field)] == stamp)
            return fail(QStringLiteral("TDataPacketWriter: field '%1' set twice in row %2").arg(defs[size_t(field)].Name).arg(rows + 1));
        return true;
    }

    void open(int field)
    {
        seen[size_t(field)] = stamp;
        out += ' ';
        out += names[size_t(field)];
        out += "=\"";
    }

    // Formats through the field's scratch cell, so every setter writes the field's own type.
    template<typename Assign>
    bool typed(int field, Assign assign)
    {
        if (!claim(field))
            return false;
        Column& c = scratch[size_t(field)];
        if (c.storage == Storage::Text)
            c.arena.resize(1);
        c.setNull(0);
        QString why;
        if (!assign(c, why))
            return fail(QStringLiteral("TDataPacketWriter: field '%1': %2").arg(defs[size_t(field)].Name, why));
        if (c.isNull(0))
            return true;
        open(field);
        if (c.storage == Storage::Text)
            appendEscaped(out, c.text(0));
        else
            appendWire(c, 0, out);
        out += '"';
        return true;
    }
};

TDataPacketWriter::TDataPacketWriter() : d(std::make_unique<Impl>()) {}

TDataPacketWriter::TDataPacketWriter(const TFieldDefs& fields) : TDataPacketWriter()
{
    for (const auto& def : fields.List())
        AddField(def);
}

TDataPacketWriter::~TDataPacketWriter() = default;

bool TDataPacketWriter::AddField(const TFieldDef& def)
{
    if (d->started)
        return d->fail(QStringLiteral("TDataPacketWriter: fields are added before the first row"));
    QString err;
    if (!checkFieldDef(def, err))
        return d->fail(QStringLiteral("TDataPacketWriter: ") + err);
    if (d->index.contains(def.Name.toLower()))
        return d->fail(QStringLiteral("TDataPacketWriter: the field name '%1' appears twice").arg(def.Name));
    if (int(d->defs.size()) >= kMaxFields)
        return d->fail(QStringLiteral("TDataPacketWriter: more than %1 fields").arg(kMaxFields));
    d->index.insert(def.Name.toLower(), int(d->defs.size()));
    d->defs.push_back(def);
    d->names.push_back(def.Name.toStdString());
    Column c;
    c.init(def.DataType, def.Scale);
    c.resize(1);
    d->scratch.push_back(std::move(c));
    d->seen.push_back(0);
    return true;
}

bool TDataPacketWriter::AddField(const QString& name, TFieldType type, int size, int precision, int scale)
{
    return AddField(TFieldDef{name, type, size, precision, scale});
}

int TDataPacketWriter::FieldCount() const
{
    return int(d->defs.size());
}

int TDataPacketWriter::FieldIndex(const QString& name) const
{
    return d->index.value(name.toLower(), -1);
}

void TDataPacketWriter::BeginRow()
{
    d->start();
    if (d->inRow)
        EndRow();
    d->out += "<row";
    d->inRow = true;
    ++d->stamp;
}

void TDataPacketWriter::EndRow()
{
    if (!d->inRow)
        return;
    d->out += "/>";
    d->inRow = false;
    ++d->rows;
}

int TDataPacketWriter::RowCount() const
{
    return d->rows;
}

bool TDataPacketWriter::SetUtf8(int field, std::string_view value)
{
    if (field >= 0 && field < FieldCount() && isTextType(d->defs[size_t(field)].DataType)) {
        if (!d->claim(field))
            return false;
        d->open(field);
        appendEscaped(d->out, value);
        d->out += '"';
        return true;
    }
    // Typed fields take the wire form ("12.50", "2026-11-09 08:30:00") straight, no QString.
    return d->typed(field, [&](Column& c, QString& why) {
        if (parseWire(c, 0, value.data(), value.size()))
            return true;
        why = QStringLiteral("'%1' is not a valid %2").arg(QString::fromUtf8(value.data(), qsizetype(value.size())), FieldTypeName(c.type));
        return false;
    });
}

bool TDataPacketWriter::SetText(int field, QStringView value)
{
    if (field >= 0 && field < FieldCount() && isTextType(d->defs[size_t(field)].DataType)) {
        const QByteArray u = value.toUtf8();
        return SetUtf8(field, std::string_view(u.constData(), size_t(u.size())));
    }
    return d->typed(field, [&](Column& c, QString& why) { return assignString(c, 0, value, why); });
}

bool TDataPacketWriter::SetInteger(int field, qint64 value)
{
    return d->typed(field, [&](Column& c, QString& why) { return assignInt(c, 0, value, why); });
}

bool TDataPacketWriter::SetFloat(int field, double value)
{
    return d->typed(field, [&](Column& c, QString& why) { return assignFloat(c, 0, value, why); });
}

bool TDataPacketWriter::SetDecimal(int field, const TDecimal& value)
{
    return d->typed(field, [&](Column& c, QString& why) { return assignDecimal(c, 0, value, why); });
}

bool TDataPacketWriter::SetBoolean(int field, bool value)
{
    return d->typed(field, [&](Column& c, QString& why) { return assignBool(c, 0, value, why); });
}

bool TDataPacketWriter::SetDateTime(int field, const QDateTime& value)
{
    return d->typed(field, [&](Column& c, QString& why) { return assignDateTime(c, 0, value, why); });
}

bool TDataPacketWriter::SetValue(int field, const QVariant& value)
{
    return d->typed(field, [&](Column& c, QString& why) { return assignVariant(c, 0, value, why); });
}

QByteArray TDataPacketWriter::Finish()
{
    d->start();
    EndRow();
    d->out += "</rows></datapacket>";
    QByteArray result(d->out.data(), qsizetype(d->out.size()));
    std::string().swap(d->out);   // a big packet's buffer goes now, not with the writer
    d->started = false;
    d->rows = 0;
    return result;
}

QString TDataPacketWriter::LastError() const
{
    return d->lastError;
}

// ===========================================================================================
// TDeltaReader

struct TDeltaReader::Impl
{
    Packet packet;
    TFieldDefs defs;
    QHash<QString, int> index;
    QString lastError;

    bool fail(const QString& msg)
    {
        return failWith(lastError, msg);
    }
};

TDeltaReader::TDeltaReader() : d(std::make_unique<Impl>()) {}
TDeltaReader::~TDeltaReader() = default;

bool TDeltaReader::Load(const QString& xml)
{
    return Load(utf8ForParse(xml));
}

bool TDeltaReader::Load(const QByteArray& utf8)
{
    return Load(QByteArray(utf8.constData(), utf8.size()));
}

bool TDeltaReader::Load(QByteArray&& utf8)
{
    QByteArray buf = std::move(utf8);
    Packet p;
    QString err;
    const bool parsed = parsePacket(buf.data(), size_t(buf.size()), RootKind::Delta, nullptr, true, p, err);
    buf = QByteArray();
    if (!parsed)
        return d->fail(QStringLiteral("Delta: ") + err);
    for (size_t i = 0; i < p.changes.size(); ++i) {
        const ParsedChange& c = p.changes[i];
        const bool needOld = c.kind != ukInsert, needNew = c.kind != ukDelete;
        if ((c.oldRow != kNoRow) != needOld || (c.newRow != kNoRow) != needNew)
            return d->fail(QStringLiteral("Delta: change %1 must have %2").arg(i + 1).arg(
                c.kind == ukInsert ? QStringLiteral("<new> only") : c.kind == ukDelete ? QStringLiteral("<old> only") : QStringLiteral("<old> and <new>")));
    }
    d->packet = std::move(p);
    d->defs.Clear();
    d->index.clear();
    for (const auto& def : d->packet.fields) {
        d->index.insert(def.Name.toLower(), d->defs.Count());
        d->defs.Add(def.Name, def.DataType, def.Size, def.Precision, def.Scale);
    }
    return true;
}

QString TDeltaReader::LastError() const
{
    return d->lastError;
}

const TFieldDefs& TDeltaReader::FieldDefs() const
{
    return d->defs;
}

int TDeltaReader::FieldIndex(const QString& name) const
{
    // Callers mostly name fields in lower case already: no lower-cased copy for them.
    const auto it = d->index.constFind(name);
    return it != d->index.constEnd() ? it.value() : d->index.value(name.toLower(), -1);
}

int TDeltaReader::Count() const
{
    return int(d->packet.changes.size());
}

TUpdateKind TDeltaReader::Kind(int change) const
{
    return d->packet.changes.at(size_t(change)).kind;
}

TDeltaRow TDeltaReader::OldRow(int change) const
{
    const quint32 r = d->packet.changes.at(size_t(change)).oldRow;
    return r == kNoRow ? TDeltaRow() : TDeltaRow(this, r);
}

TDeltaRow TDeltaReader::NewRow(int change) const
{
    const quint32 r = d->packet.changes.at(size_t(change)).newRow;
    return r == kNoRow ? TDeltaRow() : TDeltaRow(this, r);
}

QStringList TDeltaReader::ChangedFields(int change) const
{
    const ParsedChange& c = d->packet.changes.at(size_t(change));
    QStringList out;
    if (c.kind != ukModify)
        return out;
    for (size_t i = 0; i < d->packet.fields.size(); ++i)
        if (!d->packet.table.cols[i].cellEquals(c.oldRow, c.newRow))
            out << d->packet.fields[i].Name;
    return out;
}

bool TDeltaReader::FieldChanged(int change, int field) const
{
    const ParsedChange& c = d->packet.changes.at(size_t(change));
    return c.kind == ukModify && field >= 0 && size_t(field) < d->packet.fields.size()
        && !d->packet.table.cols[size_t(field)].cellEquals(c.oldRow, c.newRow);
}

// ===========================================================================================
// TDeltaRow

const Column* TDeltaRow::column(const QString& field) const
{
    if (!m_reader)
        return nullptr;
    const int i = m_reader->FieldIndex(field);
    if (i < 0) {
        KxReportDataSetError(QStringLiteral("Delta: there is no field '%1'").arg(field));
        return nullptr;
    }
    return &m_reader->d->packet.table.cols[size_t(i)];
}

template<typename T, typename Get>
T TDeltaRow::convert(const QString& field, Get get, const char* what) const
{
    const Column* c = column(field);
    if (!c)
        return T();
    bool ok = true;
    const T v = get(*c, m_row, ok);
    if (!ok)
        KxReportDataSetError(QStringLiteral("Delta: field '%1': '%2' cannot be read as %3").arg(field, cellString(*c, m_row), QLatin1StringView(what)));
    return v;
}

bool TDeltaRow::IsNull(const QString& field) const
{
    const Column* c = column(field);
    return !c || c->isNull(m_row);
}

QString TDeltaRow::AsString(const QString& field) const
{
    const Column* c = column(field);
    return c ? cellString(*c, m_row) : QString();
}

qint64 TDeltaRow::AsInteger(const QString& field) const
{
    return convert<qint64>(field, cellInt, "an integer");
}

double TDeltaRow::AsFloat(const QString& field) const
{
    return convert<double>(field, cellFloat, "a number");
}

TDecimal TDeltaRow::AsDecimal(const QString& field) const
{
    return convert<TDecimal>(field, cellDecimal, "a decimal");
}

bool TDeltaRow::AsBoolean(const QString& field) const
{
    return convert<bool>(field, cellBool, "a Boolean");
}

QDateTime TDeltaRow::AsDateTime(const QString& field) const
{
    return convert<QDateTime>(field, cellDateTime, "a date-time");
}

QVariant TDeltaRow::Value(const QString& field) const
{
    const Column* c = column(field);
    return c ? cellVariant(*c, m_row) : QVariant();
}

QVariant TDeltaRow::Value(int field) const
{
    if (!m_reader || field < 0 || field >= m_reader->FieldDefs().Count())
        return QVariant();
    return cellVariant(m_reader->d->packet.table.cols[size_t(field)], m_row);
}
