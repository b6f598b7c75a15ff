#include "CdsStore.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

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

// ---------------------------------------------------------------------------------------
// Dates (days from civil: the proleptic Gregorian calendar, H. Hinnant's algorithm)

qint64 daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = unsigned((153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1);
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

void civilFromDays(qint64 z, int& y, int& m, int& d)
{
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(qint64(yoe) + era * 400 + (m <= 2));
}

namespace {

int daysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m == 2 && ((y % 4 == 0 && y % 100 != 0) || y % 400 == 0))
        return 29;
    return days[m - 1];
}

// Reads min..max digits.
bool digits(const char*& p, const char* end, int minN, int maxN, int& out)
{
    int n = 0;
    out = 0;
    while (p < end && n < maxN && *p >= '0' && *p <= '9') {
        out = out * 10 + (*p++ - '0');
        ++n;
    }
    return n >= minN;
}

bool parseTimeOfDay(const char*& p, const char* end, qint64& ms)
{
    int h = 0, mi = 0, s = 0, frac = 0;
    if (!digits(p, end, 1, 2, h) || p >= end || *p++ != ':' || !digits(p, end, 2, 2, mi))
        return false;
    if (p < end && *p == ':') {
        ++p;
        if (!digits(p, end, 2, 2, s))
            return false;
        if (p < end && *p == '.') {
            ++p;
            int n = 0;
            while (p < end && *p >= '0' && *p <= '9') {
                if (n < 3)
                    frac = frac * 10 + (*p - '0');
                ++n;
                ++p;
            }
            if (n == 0 || n > 9)
                return false;
            for (int i = n; i < 3; ++i)
                frac *= 10;
        }
    }
    if (h > 23 || mi > 59 || s > 59)
        return false;
    ms = ((qint64(h) * 60 + mi) * 60 + s) * 1000 + frac;
    return true;
}

} // namespace

bool parseDateTimeText(TFieldType type, const char* s, size_t n, qint64& ms)
{
    const char* p = s;
    const char* end = s + n;
    if (type == ftTime && n >= 3 && (s[1] == ':' || s[2] == ':'))
        return parseTimeOfDay(p, end, ms) && p == end;

    int y = 0, m = 0, d = 0;
    if (!digits(p, end, 4, 4, y) || p >= end || *p++ != '-' || !digits(p, end, 1, 2, m)
        || p >= end || *p++ != '-' || !digits(p, end, 1, 2, d))
        return false;
    if (y < 1 || m < 1 || m > 12 || d < 1 || d > daysInMonth(y, m))
        return false;
    qint64 tod = 0;
    if (p < end) {
        if (*p != 'T' && *p != ' ')
            return false;
        ++p;
        if (!parseTimeOfDay(p, end, tod) || p != end)
            return false;
    }
    const qint64 days = daysFromCivil(y, m, d);
    switch (type) {
    case ftDate: ms = days * kMsPerDay; break;
    case ftTime: ms = tod; break;
    default: ms = days * kMsPerDay + tod; break;
    }
    return true;
}

static void put2(std::string& out, int v)
{
    out.push_back(char('0' + v / 10));
    out.push_back(char('0' + v % 10));
}

void formatDateTime(TFieldType type, qint64 ms, bool wire, std::string& out)
{
    qint64 days = ms / kMsPerDay;
    qint64 tod = ms % kMsPerDay;
    if (tod < 0) {
        tod += kMsPerDay;
        --days;
    }
    if (type != ftTime) {
        int y, m, d;
        civilFromDays(days, y, m, d);
        char buf[16];
        const auto r = std::to_chars(buf, buf + sizeof buf, y);
        for (auto w = r.ptr - buf; w < 4; ++w)
            out.push_back('0');
        out.append(buf, size_t(r.ptr - buf));
        out.push_back('-');
        put2(out, m);
        out.push_back('-');
        put2(out, d);
        if (type == ftDate)
            return;
        out.push_back(wire ? 'T' : ' ');
    }
    const int frac = int(tod % 1000);
    const qint64 secs = tod / 1000;
    put2(out, int(secs / 3600));
    out.push_back(':');
    put2(out, int(secs / 60 % 60));
    out.push_back(':');
    put2(out, int(secs % 60));
    if (frac) {
        out.push_back('.');
        out.push_back(char('0' + frac / 100));
        put2(out, frac % 100);
    }
}

QDateTime toQDateTime(TFieldType type, qint64 ms)
{
    qint64 days = ms / kMsPerDay;
    qint64 tod = ms % kMsPerDay;
    if (tod < 0) {
        tod += kMsPerDay;
        --days;
    }
    QDate date(1899, 12, 30);   // the day a bare time of day belongs to
    if (type != ftTime) {
        int y, m, d;
        civilFromDays(days, y, m, d);
        date = QDate(y, m, d);
    }
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(tod)));
}

qint64 fromQDateTime(TFieldType type, const QDateTime& dt)
{
    const QDate d = dt.date();
    const qint64 tod = dt.time().isValid() ? dt.time().msecsSinceStartOfDay() : 0;
    const qint64 days = daysFromCivil(d.year(), d.month(), d.day());
    switch (type) {
    case ftDate: return days * kMsPerDay;
    case ftTime: return tod;
    default: return days * kMsPerDay + tod;
    }
}

// ---------------------------------------------------------------------------------------
// Wire text

namespace {

template<typename T>
bool parseInt(const char* s, const char* end, T& out)
{
    bool neg = false;
    if (s < end && (*s == '-' || *s == '+')) {
        neg = *s == '-';
        ++s;
    }
    if (s == end)
        return false;
    quint64 v = 0;
    const quint64 limit = neg ? quint64(std::numeric_limits<T>::max()) + 1 : quint64(std::numeric_limits<T>::max());
    for (; s < end; ++s) {
        const unsigned dgt = unsigned(*s - '0');
        if (dgt > 9 || v > (limit - dgt) / 10)
            return false;
        v = v * 10 + dgt;
    }
    out = neg ? T(0 - v) : T(v);
    return true;
}

bool equalsNoCase(const char* s, size_t n, const char* lower)
{
    if (std::strlen(lower) != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if ((s[i] | 0x20) != lower[i])
            return false;
    return true;
}

bool parseBoolText(const char* s, size_t n, bool& out)
{
    if (n == 1 && (*s == '1' || *s == '0')) {
        out = *s == '1';
        return true;
    }
    if (equalsNoCase(s, n, "true")) {
        out = true;
        return true;
    }
    if (equalsNoCase(s, n, "false")) {
        out = false;
        return true;
    }
    return false;
}

} // namespace

bool parseWire(Column& c, quint32 r, const char* s, size_t n)
{
    if (c.storage == Storage::Text)
        return c.setText(r, std::string_view(s, n));
    if (n == 0)
        return true;   // stays null
    const char* end = s + n;
    switch (c.type) {
    case ftInteger:
        if (!parseInt<qint32>(s, end, c.i32[r]))
            return false;
        break;
    case ftLargeint:
        if (!parseInt<qint64>(s, end, c.i64[r]))
            return false;
        break;
    case ftDecimal: {
        const auto d = TDecimal::Parse(std::string_view(s, n), c.scale);
        if (!d)
            return false;
        c.i64[r] = d->Mantissa();
        break;
    }
    case ftFloat: {
        const char* b = (*s == '+') ? s + 1 : s;
        const auto res = std::from_chars(b, end, c.f64[r]);
        if (res.ec != std::errc() || res.ptr != end)
            return false;
        break;
    }
    case ftBoolean: {
        bool v = false;
        if (!parseBoolText(s, n, v))
            return false;
        c.u8[r] = v;
        break;
    }
    case ftDate:
    case ftTime:
    case ftDateTime:
        if (!parseDateTimeText(c.type, s, n, c.i64[r]))
            return false;
        break;
    default:
        return false;
    }
    c.clearNull(r);
    return true;
}

void appendWire(const Column& c, quint32 r, std::string& out)
{
    char buf[64];
    switch (c.type) {
    case ftString:
    case ftMemo: {
        const auto t = c.text(r);
        out.append(t.data(), t.size());
        break;
    }
    case ftInteger: {
        const auto res = std::to_chars(buf, buf + sizeof buf, c.i32[r]);
        out.append(buf, size_t(res.ptr - buf));
        break;
    }
    case ftLargeint: {
        const auto res = std::to_chars(buf, buf + sizeof buf, c.i64[r]);
        out.append(buf, size_t(res.ptr - buf));
        break;
    }
    case ftDecimal:
        TDecimal::FromMantissa(c.i64[r], c.scale).AppendTo(out);
        break;
    case ftFloat: {
        const auto res = std::to_chars(buf, buf + sizeof buf, c.f64[r]);
        out.append(buf, size_t(res.ptr - buf));
        break;
    }
    case ftBoolean:
        out.push_back(c.u8[r] ? '1' : '0');
        break;
    case ftDate:
    case ftTime:
    case ftDateTime:
        formatDateTime(c.type, c.i64[r], true, out);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------------------
// Field getters

QString cellString(const Column& c, quint32 r)
{
    if (c.isNull(r))
        return QString();
    if (c.storage == Storage::Text) {
        const auto t = c.text(r);
        return QString::fromUtf8(t.data(), qsizetype(t.size()));
    }
    if (c.type == ftBoolean)
        return c.u8[r] ? QStringLiteral("True") : QStringLiteral("False");
    std::string s;
    if (isDateType(c.type))
        formatDateTime(c.type, c.i64[r], false, s);
    else
        appendWire(c, r, s);
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

QVariant cellVariant(const Column& c, quint32 r)
{
    if (c.isNull(r))
        return QVariant();
    switch (c.type) {
    case ftInteger: return QVariant(c.i32[r]);
    case ftLargeint: return QVariant(qlonglong(c.i64[r]));
    case ftDecimal: return QVariant::fromValue(TDecimal::FromMantissa(c.i64[r], c.scale));
    case ftFloat: return QVariant(c.f64[r]);
    case ftBoolean: return QVariant(bool(c.u8[r]));
    case ftDate: return QVariant(toQDateTime(c.type, c.i64[r]).date());
    case ftTime: return QVariant(toQDateTime(c.type, c.i64[r]).time());
    case ftDateTime: return QVariant(toQDateTime(c.type, c.i64[r]));
    default: return QVariant(cellString(c, r));
    }
}

static std::string trimmedUtf8(QStringView v)
{
    return v.trimmed().toUtf8().toStdString();
}

qint64 cellInt(const Column& c, quint32 r, bool& ok)
{
    ok = true;
    if (c.isNull(r))
        return 0;
    switch (c.type) {
    case ftInteger: return c.i32[r];
    case ftLargeint: return c.i64[r];
    case ftBoolean: return c.u8[r];
    case ftDecimal: {
        const auto d = TDecimal::FromMantissa(c.i64[r], c.scale).Rescaled(0);
        return d->Mantissa();   // fewer digits: cannot overflow
    }
    case ftFloat: {
        const double v = std::round(c.f64[r]);
        if (v >= -9.2e18 && v <= 9.2e18)
            return qint64(v);
        break;
    }
    case ftString:
    case ftMemo: {
        const auto t = trimmedUtf8(cellString(c, r));
        qint64 v = 0;
        if (parseInt<qint64>(t.data(), t.data() + t.size(), v))
            return v;
        break;
    }
    default:
        break;
    }
    ok = false;
    return 0;
}

double cellFloat(const Column& c, quint32 r, bool& ok)
{
    ok = true;
    if (c.isNull(r))
        return 0;
    switch (c.type) {
    case ftInteger: return c.i32[r];
    case ftLargeint: return double(c.i64[r]);
    case ftBoolean: return c.u8[r];
    case ftDecimal: return TDecimal::FromMantissa(c.i64[r], c.scale).ToDouble();
    case ftFloat: return c.f64[r];
    case ftString:
    case ftMemo: {
        const auto t = trimmedUtf8(cellString(c, r));
        double v = 0;
        const auto res = std::from_chars(t.data(), t.data() + t.size(), v);
        if (!t.empty() && res.ec == std::errc() && res.ptr == t.data() + t.size())
            return v;
        break;
    }
    default:
        break;
    }
    ok = false;
    return 0;
}

TDecimal cellDecimal(const Column& c, quint32 r, bool& ok)
{
    ok = true;
    if (c.isNull(r))
        return TDecimal();
    switch (c.type) {
    case ftInteger: return TDecimal::FromInteger(c.i32[r]);
    case ftLargeint: return TDecimal::FromInteger(c.i64[r]);
    case ftBoolean: return TDecimal::FromInteger(c.u8[r]);
    case ftDecimal: return TDecimal::FromMantissa(c.i64[r], c.scale);
    case ftFloat:
        if (const auto d = TDecimal::FromDouble(c.f64[r], -1))
            return *d;
        break;
    case ftString:
    case ftMemo:
        if (const auto d = TDecimal::Parse(trimmedUtf8(cellString(c, r))))
            return *d;
        break;
    default:
        break;
    }
    ok = false;
    return TDecimal();
}

bool cellBool(const Column& c, quint32 r, bool& ok)
{
    ok = true;
    if (c.isNull(r))
        return false;
    switch (c.type) {
    case ftBoolean: return c.u8[r];
    case ftInteger: return c.i32[r] != 0;
    case ftLargeint:
    case ftDecimal: return c.i64[r] != 0;
    case ftFloat: return c.f64[r] != 0;
    case ftString:
    case ftMemo: {
        const auto t = trimmedUtf8(cellString(c, r));
        bool v = false;
        if (parseBoolText(t.data(), t.size(), v))
            return v;
        break;
    }
    default:
        break;
    }
    ok = false;
    return false;
}

QDateTime cellDateTime(const Column& c, quint32 r, bool& ok)
{
    ok = true;
    if (c.isNull(r))
        return QDateTime();
    if (isDateType(c.type))
        return toQDateTime(c.type, c.i64[r]);
    if (c.storage == Storage::Text) {
        const auto t = trimmedUtf8(cellString(c, r));
        qint64 ms = 0;
        if (parseDateTimeText(ftDateTime, t.data(), t.size(), ms))
            return toQDateTime(ftDateTime, ms);
    }
    ok = false;
    return QDateTime();
}

// ---------------------------------------------------------------------------------------
// Field setters

static QString typeWord(TFieldType t)
{
    return FieldTypeName(t);
}

static bool notFor(const Column& c, const char* what, QString& why)
{
    why = QStringLiteral("a %1 value cannot be stored in a %2 field").arg(QLatin1StringView(what), typeWord(c.type));
    return false;
}

static bool setTextChecked(Column& c, quint32 r, std::string_view s, QString& why)
{
    if (c.setText(r, s))
        return true;
    why = QStringLiteral("the text column is full (4 GiB)");
    return false;
}

bool assignString(Column& c, quint32 r, QStringView v, QString& why)
{
    if (c.storage == Storage::Text) {
        const QByteArray u = v.toUtf8();
        return setTextChecked(c, r, std::string_view(u.constData(), size_t(u.size())), why);
    }
    const std::string t = trimmedUtf8(v);
    if (t.empty()) {
        c.setNull(r);
        return true;
    }
    // Parse into a scratch cell first, so a bad value leaves the cell as it was.
    Column tmp;
    tmp.init(c.type, c.scale);
    tmp.resize(1);
    if (!parseWire(tmp, 0, t.data(), t.size())) {
        why = QStringLiteral("'%1' is not a valid %2 value").arg(v.toString(), typeWord(c.type));
        return false;
    }
    switch (c.storage) {
    case Storage::I32: c.i32[r] = tmp.i32[0]; break;
    case Storage::I64: c.i64[r] = tmp.i64[0]; break;
    case Storage::F64: c.f64[r] = tmp.f64[0]; break;
    case Storage::U8: c.u8[r] = tmp.u8[0]; break;
    case Storage::Text: break;
    }
    c.clearNull(r);
    return true;
}

bool assignInt(Column& c, quint32 r, qint64 v, QString& why)
{
    switch (c.type) {
    case ftInteger:
        if (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max()) {
            why = QStringLiteral("%1 is out of the range of an integer field").arg(v);
            return false;
        }
        c.i32[r] = qint32(v);
        break;
    case ftLargeint: c.i64[r] = v; break;
    case ftDecimal: {
        const auto d = TDecimal::FromInteger(v).Rescaled(c.scale);
        if (!d) {
            why = QStringLiteral("%1 is out of the range of the decimal field").arg(v);
            return false;
        }
        c.i64[r] = d->Mantissa();
        break;
    }
    case ftFloat: c.f64[r] = double(v); break;
    case ftBoolean: c.u8[r] = v != 0; break;
    case ftString:
    case ftMemo: return setTextChecked(c, r, std::to_string(v), why);
    default: return notFor(c, "number", why);
    }
    c.clearNull(r);
    return true;
}

bool assignFloat(Column& c, quint32 r, double v, QString& why)
{
    if (!std::isfinite(v) && c.type != ftFloat && !isTextType(c.type)) {
        why = QStringLiteral("%1 is not a finite number").arg(v);
        return false;
    }
    switch (c.type) {
    case ftInteger:
    case ftLargeint: {
        const double rv = std::round(v);
        if (rv < -9.2e18 || rv > 9.2e18) {
            why = QStringLiteral("%1 is out of the range of an integer field").arg(v);
            return false;
        }
        return assignInt(c, r, qint64(rv), why);
    }
    case ftDecimal: {
        const auto d = TDecimal::FromDouble(v, c.scale);
        if (!d) {
            why = QStringLiteral("%1 is out of the range of the decimal field").arg(v);
            return false;
        }
        c.i64[r] = d->Mantissa();
        break;
    }
    case ftFloat: c.f64[r] = v; break;
    case ftBoolean: c.u8[r] = v != 0; break;
    case ftString:
    case ftMemo: {
        char buf[64];
        const auto res = std::to_chars(buf, buf + sizeof buf, v);
        return setTextChecked(c, r, std::string_view(buf, size_t(res.ptr - buf)), why);
    }
    default: return notFor(c, "number", why);
    }
    c.clearNull(r);
    return true;
}

bool assignDecimal(Column& c, quint32 r, const TDecimal& v, QString& why)
{
    switch (c.type) {
    case ftInteger:
    case ftLargeint: return assignInt(c, r, v.Rescaled(0)->Mantissa(), why);
    case ftDecimal: {
        const auto d = v.Rescaled(c.scale);
        if (!d) {
            why = QStringLiteral("%1 is out of the range of the decimal field").arg(v.ToString());
            return false;
        }
        c.i64[r] = d->Mantissa();
        break;
    }
    case ftFloat: c.f64[r] = v.ToDouble(); break;
    case ftBoolean: c.u8[r] = !v.IsZero(); break;
    case ftString:
    case ftMemo: {
        std::string s;
        v.AppendTo(s);
        return setTextChecked(c, r, s, why);
    }
    default: return notFor(c, "number", why);
    }
    c.clearNull(r);
    return true;
}

bool assignBool(Column& c, quint32 r, bool v, QString& why)
{
    switch (c.type) {
    case ftBoolean:
        c.u8[r] = v;
        c.clearNull(r);
        return true;
    case ftString:
    case ftMemo: return setTextChecked(c, r, v ? "True" : "False", why);
    case ftInteger:
    case ftLargeint:
    case ftDecimal:
    case ftFloat: return assignInt(c, r, v ? 1 : 0, why);
    default: return notFor(c, "Boolean", why);
    }
}

bool assignDateTime(Column& c, quint32 r, const QDateTime& v, QString& why)
{
    if (!v.isValid()) {
        c.setNull(r);
        return true;
    }
    if (isDateType(c.type)) {
        c.i64[r] = fromQDateTime(c.type, v);
        c.clearNull(r);
        return true;
    }
    if (isTextType(c.type)) {
        std::string s;
        formatDateTime(ftDateTime, fromQDateTime(ftDateTime, v), false, s);
        return setTextChecked(c, r, s, why);
    }
    return notFor(c, "date-time", why);
}

bool assignVariant(Column& c, quint32 r, const QVariant& v, QString& why)
{
    if (!v.isValid() || v.isNull()) {
        c.setNull(r);
        return true;
    }
    switch (v.typeId()) {
    case QMetaType::QString: return assignString(c, r, v.toString(), why);
    case QMetaType::QByteArray: return assignString(c, r, QString::fromUtf8(v.toByteArray()), why);
    case QMetaType::Bool: return assignBool(c, r, v.toBool(), why);
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Long:
        return assignInt(c, r, v.toLongLong(), why);
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong u = v.toULongLong();
        if (u > qulonglong(std::numeric_limits<qint64>::max())) {
            why = QStringLiteral("%1 is out of range").arg(u);
            return false;
        }
        return assignInt(c, r, qint64(u), why);
    }
    case QMetaType::Double:
    case QMetaType::Float: return assignFloat(c, r, v.toDouble(), why);
    case QMetaType::QDate: return assignDateTime(c, r, QDateTime(v.toDate(), QTime(0, 0)), why);
    case QMetaType::QTime: return assignDateTime(c, r, QDateTime(QDate(1899, 12, 30), v.toTime()), why);
    case QMetaType::QDateTime: return assignDateTime(c, r, v.toDateTime(), why);
    default:
        break;
    }
    if (v.metaType() == QMetaType::fromType<TDecimal>())
        return assignDecimal(c, r, v.value<TDecimal>(), why);
    if (v.canConvert<QString>())
        return assignString(c, r, v.toString(), why);
    why = QStringLiteral("a value of type %1 cannot be stored").arg(QLatin1StringView(v.typeName()));
    return false;
}

bool Key::set(TFieldType type, int scale, const QVariant& v, QString& why)
{
    col.init(type, scale);
    col.resize(1);
    return assignVariant(col, 0, v, why);
}

int compareCells(const Column& a, quint32 ra, const Column& b, quint32 rb)
{
    const bool na = a.isNull(ra), nb = b.isNull(rb);
    if (na || nb)
        return int(nb) - int(na);
    auto cmp = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    switch (a.storage) {
    case Storage::Text: {
        const int c = a.text(ra).compare(b.text(rb));
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case Storage::I32: return cmp(a.i32[ra], b.i32[rb]);
    case Storage::F64: return cmp(a.f64[ra], b.f64[rb]);
    case Storage::U8: return cmp(a.u8[ra], b.u8[rb]);
    case Storage::I64:
        if (a.type == ftDecimal && a.scale != b.scale)
            return TDecimal::FromMantissa(a.i64[ra], a.scale).Compare(TDecimal::FromMantissa(b.i64[rb], b.scale));
        return cmp(a.i64[ra], b.i64[rb]);
    }
    return 0;
}

} // namespace kxcds
