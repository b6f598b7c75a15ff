#pragma once

// Column storage of the data set: one typed vector per field, text in one UTF-8 arena per
// column, a null bitmap. Internal to kx_cds.

#include "CdsTypes.h"
#include "TDecimal.h"

#include <QDateTime>
#include <QVariant>

#include <string>
#include <string_view>
#include <vector>

namespace kxcds {

constexpr quint32 kNoRow = 0xFFFFFFFFu;
constexpr qint64 kMsPerDay = 86400000;

enum class Storage : quint8 { Text, I32, I64, F64, U8 };
Storage storageOf(TFieldType type);
inline bool isTextType(TFieldType t) { return t == ftString || t == ftMemo; }
inline bool isDateType(TFieldType t) { return t == ftDate || t == ftTime || t == ftDateTime; }

// One field's cells. Integer: i32. Largeint, decimal mantissa (at `scale`), date, time,
// datetime (ms since 1970-01-01 of the wall clock; time: ms since midnight): i64.
// Float: f64. Boolean: u8. Text: a 32-bit offset per cell into `arena`, where each entry is
// a varint length followed by the bytes. Entries are never changed in place: an edit appends
// a new entry, so copying a cell (snapshots, undo) is copying an offset. Offset 0 is the
// empty text.
struct Column
{
    TFieldType type = ftString;
    int scale = 0;
    Storage storage = Storage::Text;
    std::vector<quint64> nulls;   // bit set: null
    std::vector<qint32> i32;
    std::vector<qint64> i64;
    std::vector<double> f64;
    std::vector<quint8> u8;
    std::vector<quint32> off;
    std::string arena;

    void init(TFieldType t, int sc);
    void resize(quint32 rows);   // added rows are null
    void reserve(quint32 rows);
    void shrink();
    size_t memoryUsage() const;

    bool isNull(quint32 r) const { return (nulls[r >> 6] >> (r & 63)) & 1u; }
    void setNull(quint32 r) { nulls[r >> 6] |= quint64(1) << (r & 63); }
    void clearNull(quint32 r) { nulls[r >> 6] &= ~(quint64(1) << (r & 63)); }

    std::string_view text(quint32 r) const;
    // false when the arena would pass 4 GiB
    bool setText(quint32 r, std::string_view s);

    void copyCell(quint32 from, quint32 to);
    bool cellEquals(quint32 a, quint32 b) const;
    // Appends the first `rows` cells of `src` (same type) after `at` existing rows.
    bool appendRows(const Column& src, quint32 at, quint32 rows);
};

// Wire text of a cell (data packet attribute value) to storage. Empty text of a non-text
// field is null. false when the text is not a valid value of the type.
bool parseWire(Column& c, quint32 r, const char* s, size_t n);
// Appends the wire text of a non-null cell, unescaped.
void appendWire(const Column& c, quint32 r, std::string& out);

// Date and time: ms of the wall clock since 1970-01-01; no time zone is involved.
qint64 daysFromCivil(int y, int m, int d);
void civilFromDays(qint64 days, int& y, int& m, int& d);
// "yyyy-MM-dd", "yyyy-MM-dd[T ]hh:mm[:ss[.zzz]]", and for ftTime also "hh:mm[:ss[.zzz]]".
// A date field keeps the date part, a time field the time of day.
bool parseDateTimeText(TFieldType type, const char* s, size_t n, qint64& ms);
// wire: "yyyy-MM-ddThh:mm:ss[.zzz]"; display: a space instead of the T.
void formatDateTime(TFieldType type, qint64 ms, bool wire, std::string& out);
QDateTime toQDateTime(TFieldType type, qint64 ms);
qint64 fromQDateTime(TFieldType type, const QDateTime& dt);

// Reading a cell the way a field getter does. Conversions that cannot be made
// (text "abc" as integer) set ok = false and give 0.
QString cellString(const Column& c, quint32 r);
QVariant cellVariant(const Column& c, quint32 r);
qint64 cellInt(const Column& c, quint32 r, bool& ok);
double cellFloat(const Column& c, quint32 r, bool& ok);
TDecimal cellDecimal(const Column& c, quint32 r, bool& ok);
bool cellBool(const Column& c, quint32 r, bool& ok);
QDateTime cellDateTime(const Column& c, quint32 r, bool& ok);

// Writing a cell the way a field setter does. On false the cell is unchanged and `why`
// says what was wrong with the value.
bool assignString(Column& c, quint32 r, QStringView v, QString& why);
bool assignInt(Column& c, quint32 r, qint64 v, QString& why);
bool assignFloat(Column& c, quint32 r, double v, QString& why);
bool assignDecimal(Column& c, quint32 r, const TDecimal& v, QString& why);
bool assignBool(Column& c, quint32 r, bool v, QString& why);
bool assignDateTime(Column& c, quint32 r, const QDateTime& v, QString& why);
bool assignVariant(Column& c, quint32 r, const QVariant& v, QString& why);

// A stand-alone value with a column's type, for Locate, Lookup and filter constants.
struct Key
{
    Column col;   // one cell
    bool set(TFieldType type, int scale, const QVariant& v, QString& why);
    bool isNull() const { return col.isNull(0); }
};
int compareCells(const Column& a, quint32 ra, const Column& b, quint32 rb);

} // namespace kxcds
