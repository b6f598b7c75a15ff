#pragma once

// Column storage of the data set: one typed vector per field, text in one UTF-8 arena per
// column, a null bitmap.

#include "CdsTypes.h"

#include <string>
#include <string_view>
#include <vector>

namespace kxcds {

constexpr quint32 kNoRow = 0xFFFFFFFFu;

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

} // namespace kxcds
