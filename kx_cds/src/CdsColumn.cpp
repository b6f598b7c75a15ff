// Column storage: typed cell vectors, the text arena, the null bitmap.

#include "CdsColumn.h"

#include <algorithm>
#include <cstring>

namespace kxcds {

Storage storageOf(TFieldType type)
{
    switch (type) {
    case ftInteger:
        return Storage::I32;
    case ftLargeint:
    case ftDecimal:
    case ftDate:
    case ftTime:
    case ftDateTime:
        return Storage::I64;
    case ftFloat:
        return Storage::F64;
    case ftBoolean:
        return Storage::U8;
    default:
        return Storage::Text;
    }
}

// ---------------------------------------------------------------------------------------
// Column

void Column::init(TFieldType t, int sc)
{
    *this = Column();
    type = t;
    scale = sc;
    storage = storageOf(t);
    if (storage == Storage::Text)
        arena.assign(1, '\0');   // offset 0: the empty text
}

static quint32 rowCount(const Column& c)
{
    switch (c.storage) {
    case Storage::Text: return quint32(c.off.size());
    case Storage::I32: return quint32(c.i32.size());
    case Storage::I64: return quint32(c.i64.size());
    case Storage::F64: return quint32(c.f64.size());
    case Storage::U8: return quint32(c.u8.size());
    }
    return 0;
}

void Column::resize(quint32 rows)
{
    const quint32 old = rowCount(*this);
    if (rows <= old)
        return;
    switch (storage) {
    case Storage::Text: off.resize(rows, 0); break;
    case Storage::I32: i32.resize(rows, 0); break;
    case Storage::I64: i64.resize(rows, 0); break;
    case Storage::F64: f64.resize(rows, 0.0); break;
    case Storage::U8: u8.resize(rows, 0); break;
    }
    const size_t oldWords = nulls.size();
    nulls.resize((size_t(rows) + 63) / 64, ~quint64(0));
    if (old & 63 && oldWords)
        nulls[old >> 6] |= ~quint64(0) << (old & 63);
}

void Column::reserve(quint32 rows)
{
    switch (storage) {
    case Storage::Text: off.reserve(rows); break;
    case Storage::I32: i32.reserve(rows); break;
    case Storage::I64: i64.reserve(rows); break;
    case Storage::F64: f64.reserve(rows); break;
    case Storage::U8: u8.reserve(rows); break;
    }
    nulls.reserve((size_t(rows) + 63) / 64);
}

void Column::shrink()
{
    // Only worth a copy when a good part of the capacity is unused.
    auto fit = [](auto& v) {
        if (v.capacity() > v.size() + v.size() / 8)
            v.shrink_to_fit();
    };
    fit(nulls);
    fit(i32);
    fit(i64);
    fit(f64);
    fit(u8);
    fit(off);
    fit(arena);
}

size_t Column::memoryUsage() const
{
    return sizeof(Column) + nulls.capacity() * 8 + i32.capacity() * 4 + i64.capacity() * 8
        + f64.capacity() * 8 + u8.capacity() + off.capacity() * 4 + arena.capacity();
}

std::string_view Column::text(quint32 r) const
{
    const auto* p = reinterpret_cast<const unsigned char*>(arena.data()) + off[r];
    size_t len = 0;
    int shift = 0;
    for (;;) {
        const unsigned char b = *p++;
        len |= size_t(b & 0x7f) << shift;
        if (!(b & 0x80))
            break;
        shift += 7;
    }
    return std::string_view(reinterpret_cast<const char*>(p), len);
}

bool Column::setText(quint32 r, std::string_view s)
{
    if (s.empty()) {
        off[r] = 0;
        clearNull(r);
        return true;
    }
    const size_t at = arena.size();
    if (at + s.size() + 10 > std::numeric_limits<quint32>::max())
        return false;
    char len[10];
    int n = 0;
    size_t v = s.size();
    do {
        len[n] = char(v & 0x7f);
        v >>= 7;
        if (v)
            len[n] |= char(0x80);
        ++n;
    } while (v);
    arena.append(len, size_t(n));
    arena.append(s.data(), s.size());
    off[r] = quint32(at);
    clearNull(r);
    return true;
}

void Column::copyCell(quint32 from, quint32 to)
{
    switch (storage) {
    case Storage::Text: off[to] = off[from]; break;
    case Storage::I32: i32[to] = i32[from]; break;
    case Storage::I64: i64[to] = i64[from]; break;
    case Storage::F64: f64[to] = f64[from]; break;
    case Storage::U8: u8[to] = u8[from]; break;
    }
    if (isNull(from))
        setNull(to);
    else
        clearNull(to);
}

bool Column::cellEquals(quint32 a, quint32 b) const
{
    const bool na = isNull(a);
    if (na != isNull(b))
        return false;
    if (na)
        return true;
    switch (storage) {
    case Storage::Text: return off[a] == off[b] || text(a) == text(b);
    case Storage::I32: return i32[a] == i32[b];
    case Storage::I64: return i64[a] == i64[b];
    case Storage::F64: return f64[a] == f64[b] || (std::isnan(f64[a]) && std::isnan(f64[b]));
    case Storage::U8: return u8[a] == u8[b];
    }
    return false;
}

bool Column::appendRows(const Column& src, quint32 at, quint32 rows)
{
    if (storage == Storage::Text && arena.size() + src.arena.size() > std::numeric_limits<quint32>::max())
        return false;
    resize(at + rows);
    switch (storage) {
    case Storage::Text: {
        const quint32 base = quint32(arena.size()) - 1;   // src offsets count its leading 0
        arena.append(src.arena, 1);
        for (quint32 i = 0; i < rows; ++i)
            off[at + i] = src.off[i] ? src.off[i] + base : 0;
        break;
    }
    case Storage::I32: std::copy_n(src.i32.begin(), rows, i32.begin() + at); break;
    case Storage::I64: std::copy_n(src.i64.begin(), rows, i64.begin() + at); break;
    case Storage::F64: std::copy_n(src.f64.begin(), rows, f64.begin() + at); break;
    case Storage::U8: std::copy_n(src.u8.begin(), rows, u8.begin() + at); break;
    }
    for (quint32 i = 0; i < rows; ++i)
        if (!src.isNull(i))
            clearNull(at + i);
    return true;
}

} // namespace kxcds
