#pragma once

// Data packets and deltas without a TPClientDataSet: what the service uses to answer with
// rows and to read the changes a client sends. Formats: docs/datapacket.md.

#include "CdsTypes.h"
#include "TDecimal.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <string>
#include <string_view>

// Writes a data packet row by row. Declare the fields first, then for each row BeginRow,
// the non-null cells in any order (a cell not set is null), EndRow; Finish gives the packet.
// Values are written in the field's type: SetInteger(…, 12) on a decimal field of scale 2
// writes "12.00"; text given to a typed field is parsed and refused when it does not fit.
class KXCDS_EXPORT TDataPacketWriter
{
public:
    TDataPacketWriter();
    explicit TDataPacketWriter(const TFieldDefs& fields);
    ~TDataPacketWriter();
    TDataPacketWriter(const TDataPacketWriter&) = delete;
    TDataPacketWriter& operator=(const TDataPacketWriter&) = delete;

    // Before the first row. false for a bad or duplicate definition (see LastError).
    bool AddField(const TFieldDef& def);
    bool AddField(const QString& name, TFieldType type, int size = 0, int precision = 0, int scale = 0);
    int FieldCount() const;
    int FieldIndex(const QString& name) const;   // without regard to letter case; -1 when absent

    void BeginRow();
    bool SetText(int field, QStringView value);
    bool SetUtf8(int field, std::string_view value);
    bool SetInteger(int field, qint64 value);
    bool SetFloat(int field, double value);
    bool SetDecimal(int field, const TDecimal& value);
    bool SetBoolean(int field, bool value);
    bool SetDateTime(int field, const QDateTime& value);
    bool SetValue(int field, const QVariant& value);   // an invalid/null QVariant leaves it null
    void EndRow();
    int RowCount() const;

    // The complete packet (UTF-8). The writer starts over, fields kept, for the next one.
    QByteArray Finish();
    QString LastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

class TDeltaReader;
namespace kxcds { struct Column; }

// The values of one side (old or new) of a change, by field name or index.
class KXCDS_EXPORT TDeltaRow
{
public:
    bool IsValid() const { return m_reader != nullptr; }
    bool IsNull(const QString& field) const;
    QString AsString(const QString& field) const;
    qint64 AsInteger(const QString& field) const;
    double AsFloat(const QString& field) const;
    TDecimal AsDecimal(const QString& field) const;
    bool AsBoolean(const QString& field) const;
    QDateTime AsDateTime(const QString& field) const;
    QVariant Value(const QString& field) const;   // typed as the field; invalid for null
    QVariant Value(int field) const;

private:
    friend class TDeltaReader;
    TDeltaRow(const TDeltaReader* reader, quint32 row) : m_reader(reader), m_row(row) {}
    TDeltaRow() = default;
    const kxcds::Column* column(const QString& field) const;
    template<typename T, typename Get> T convert(const QString& field, Get get, const char* what) const;
    const TDeltaReader* m_reader = nullptr;
    quint32 m_row = 0;
};

// Reads a <delta> document: its fields and its changes in the order they were made.
class KXCDS_EXPORT TDeltaReader
{
public:
    TDeltaReader();
    ~TDeltaReader();
    TDeltaReader(const TDeltaReader&) = delete;
    TDeltaReader& operator=(const TDeltaReader&) = delete;

    // Parses `utf8` in place: the buffer is taken (copied only when it is shared) and freed
    // once its values are read, so a big delta costs its typed rows, not a second copy.
    bool Load(QByteArray&& utf8);
    bool Load(const QByteArray& utf8);
    bool Load(const QString& xml);
    QString LastError() const;

    const TFieldDefs& FieldDefs() const;
    int FieldIndex(const QString& name) const;   // without regard to letter case; -1 when absent
    int Count() const;
    TUpdateKind Kind(int change) const;
    TDeltaRow OldRow(int change) const;   // invalid for an insert
    TDeltaRow NewRow(int change) const;   // invalid for a delete
    // For an update: the fields whose new value differs from the old one.
    QStringList ChangedFields(int change) const;
    // For an update: whether field `field` (an index) differs; false for other changes.
    bool FieldChanged(int change, int field) const;

private:
    friend class TDeltaRow;
    struct Impl;
    std::unique_ptr<Impl> d;
};
