// Cells to and from the text of data packet attributes.

#include "CdsWire.h"

#include "CdsDates.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace kxcds {

// ---------------------------------------------------------------------------------------
// Wire text

namespace {

bool equalsNoCase(const char* s, size_t n, const char* lower)
{
    if (std::strlen(lower) != n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if ((s[i] | 0x20) != lower[i])
            return false;
    return true;
}

} // namespace

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

} // namespace kxcds
