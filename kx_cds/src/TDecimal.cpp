#include "TDecimal.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

using i128 = __int128;

constexpr i128 pow10i(int n)
{
    i128 r = 1;
    while (n-- > 0)
        r *= 10;
    return r;
}

bool fitsInt64(i128 v)
{
    return v >= std::numeric_limits<qint64>::min() && v <= std::numeric_limits<qint64>::max();
}

// Divides by 10^drop, rounding half away from zero.
i128 roundDrop(i128 v, int drop)
{
    if (drop <= 0)
        return v;
    const i128 p = pow10i(drop);
    i128 q = v / p;
    const i128 r = v % p;
    if ((r < 0 ? -r : r) * 2 >= p)
        q += v < 0 ? -1 : 1;
    return q;
}

// Shared parser: `scale` < 0 keeps the written number of fraction digits.
bool parseCore(const char* s, const char* end, int scale, qint64& mantissa, int& outScale)
{
    bool neg = false;
    if (s < end && (*s == '-' || *s == '+')) {
        neg = *s == '-';
        ++s;
    }
    i128 intPart = 0;
    int intDigits = 0;
    while (s < end && *s >= '0' && *s <= '9') {
        if (intPart > pow10i(19))
            return false;   // beyond 64 bits whatever the scale; keeps the i128 below exact
        intPart = intPart * 10 + (*s - '0');
        ++s;
        ++intDigits;
    }
    const char* frac = nullptr;
    const char* fracEnd = nullptr;
    if (s < end && *s == '.') {
        frac = ++s;
        while (s < end && *s >= '0' && *s <= '9')
            ++s;
        fracEnd = s;
    }
    const int fracDigits = frac ? int(fracEnd - frac) : 0;
    if (s != end || intDigits + fracDigits == 0)
        return false;
    if (scale < 0)
        scale = fracDigits < TDecimal::MaxScale ? fracDigits : TDecimal::MaxScale;

    i128 v = intPart;
    for (int i = 0; i < scale; ++i)
        v = v * 10 + (i < fracDigits ? frac[i] - '0' : 0);
    if (fracDigits > scale && frac[scale] >= '5')
        v += 1;
    if (neg)
        v = -v;
    if (!fitsInt64(v))
        return false;
    mantissa = qint64(v);
    outScale = scale;
    return true;
}

} // namespace

std::optional<TDecimal> TDecimal::Parse(std::string_view text)
{
    qint64 m = 0;
    int sc = 0;
    if (!parseCore(text.data(), text.data() + text.size(), -1, m, sc))
        return std::nullopt;
    return FromMantissa(m, sc);
}

std::optional<TDecimal> TDecimal::Parse(std::string_view text, int scale)
{
    qint64 m = 0;
    int sc = 0;
    if (scale < 0 || scale > MaxScale || !parseCore(text.data(), text.data() + text.size(), scale, m, sc))
        return std::nullopt;
    return FromMantissa(m, sc);
}

std::optional<TDecimal> TDecimal::Parse(QStringView text)
{
    // Only ASCII can be part of a number; anything else fails the parse below.
    std::string ascii;
    ascii.reserve(size_t(text.size()));
    for (QChar c : text)
        ascii.push_back(c.unicode() < 128 ? char(c.unicode()) : '?');
    return Parse(std::string_view(ascii));
}

std::optional<TDecimal> TDecimal::FromDouble(double value, int scale)
{
    if (!std::isfinite(value))
        return std::nullopt;
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (res.ec != std::errc())
        return std::nullopt;
    const std::string_view text(buf, size_t(res.ptr - buf));
    return scale < 0 ? Parse(text) : Parse(text, scale);
}

std::optional<TDecimal> TDecimal::Rescaled(int scale) const
{
    if (scale < 0 || scale > MaxScale)
        return std::nullopt;
    i128 v = m_mantissa;
    if (scale >= m_scale)
        v *= pow10i(scale - m_scale);
    else
        v = roundDrop(v, m_scale - scale);
    if (!fitsInt64(v))
        return std::nullopt;
    return FromMantissa(qint64(v), scale);
}

double TDecimal::ToDouble() const
{
    // Through the text form, so that 0.1 becomes the double nearest to 0.1.
    std::string s;
    AppendTo(s);
    double d = 0;
    std::from_chars(s.data(), s.data() + s.size(), d);
    return d;
}

void TDecimal::AppendTo(std::string& out) const
{
    char digits[24];
    quint64 u = m_mantissa < 0 ? quint64(0) - quint64(m_mantissa) : quint64(m_mantissa);
    int n = 0;
    do {
        digits[n++] = char('0' + u % 10);
        u /= 10;
    } while (u);
    while (n <= m_scale)
        digits[n++] = '0';
    if (m_mantissa < 0)
        out.push_back('-');
    for (int i = n - 1; i >= 0; --i) {
        out.push_back(digits[i]);
        if (i == m_scale && i > 0)
            out.push_back('.');
    }
}

QString TDecimal::ToString() const
{
    std::string s;
    AppendTo(s);
    return QString::fromLatin1(s.data(), qsizetype(s.size()));
}

int TDecimal::Compare(const TDecimal& other) const
{
    const int sc = m_scale > other.m_scale ? m_scale : other.m_scale;
    const i128 a = i128(m_mantissa) * pow10i(sc - m_scale);
    const i128 b = i128(other.m_mantissa) * pow10i(sc - other.m_scale);
    return a < b ? -1 : (a > b ? 1 : 0);
}

std::optional<TDecimal> TDecimal::Add(const TDecimal& o) const
{
    const int sc = m_scale > o.m_scale ? m_scale : o.m_scale;
    const i128 v = i128(m_mantissa) * pow10i(sc - m_scale) + i128(o.m_mantissa) * pow10i(sc - o.m_scale);
    if (!fitsInt64(v))
        return std::nullopt;
    return FromMantissa(qint64(v), sc);
}

std::optional<TDecimal> TDecimal::Sub(const TDecimal& o) const
{
    if (o.m_mantissa == std::numeric_limits<qint64>::min())
        return std::nullopt;
    return Add(FromMantissa(-o.m_mantissa, o.m_scale));
}

std::optional<TDecimal> TDecimal::Mul(const TDecimal& o) const
{
    i128 v = i128(m_mantissa) * i128(o.m_mantissa);
    int sc = m_scale + o.m_scale;
    if (sc > MaxScale) {
        v = roundDrop(v, sc - MaxScale);
        sc = MaxScale;
    }
    if (!fitsInt64(v))
        return std::nullopt;
    return FromMantissa(qint64(v), sc);
}

std::optional<TDecimal> TDecimal::Div(const TDecimal& o, int scale) const
{
    if (o.m_mantissa == 0 || scale < 0 || scale > MaxScale)
        return std::nullopt;
    // a/b at `scale`: a.m * 10^(scale - a.s + b.s) / b.m
    const int e = scale - m_scale + o.m_scale;
    i128 num = m_mantissa;
    i128 den = o.m_mantissa;
    if (e >= 0) {
        if (e > 38)
            return std::nullopt;
        const i128 p = pow10i(e);
        const i128 limit = i128(~static_cast<unsigned __int128>(0) >> 1) / p;
        if (num > limit || -num > limit)
            return std::nullopt;
        num *= p;
    } else {
        den *= pow10i(-e);
    }
    i128 q = num / den;
    const i128 r = num % den;
    const i128 ar = r < 0 ? -r : r;
    const i128 ad = den < 0 ? -den : den;
    if (ar * 2 >= ad)
        q += ((num < 0) != (den < 0)) ? -1 : 1;
    if (!fitsInt64(q))
        return std::nullopt;
    return FromMantissa(qint64(q), scale);
}

static TDecimal orThrow(std::optional<TDecimal> v)
{
    if (!v)
        throw std::overflow_error("decimal overflow");
    return *v;
}

TDecimal TDecimal::operator+(const TDecimal& o) const { return orThrow(Add(o)); }
TDecimal TDecimal::operator-(const TDecimal& o) const { return orThrow(Sub(o)); }
TDecimal TDecimal::operator*(const TDecimal& o) const { return orThrow(Mul(o)); }
TDecimal TDecimal::operator-() const { return orThrow(FromInteger(0).Sub(*this)); }
