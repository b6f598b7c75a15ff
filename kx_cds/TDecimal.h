#pragma once

#include "kxcds_global.h"

#include <QMetaType>
#include <QString>

#include <compare>
#include <optional>
#include <string>
#include <string_view>

// An exact decimal number: a 64-bit mantissa and a scale (digits after the point), so that
// money never passes through binary floating point. 12.50 is {1250, 2}.
// Values compare by their number, not their scale: 1.5 == 1.50.
// Rounding, where a result has more digits than asked for, is half away from zero.
class KXCDS_EXPORT TDecimal
{
public:
    static constexpr int MaxScale = 18;

    constexpr TDecimal() = default;
    static constexpr TDecimal FromMantissa(qint64 mantissa, int scale)
    {
        TDecimal d;
        d.m_mantissa = mantissa;
        d.m_scale = scale < 0 ? 0 : (scale > MaxScale ? MaxScale : scale);
        return d;
    }
    static constexpr TDecimal FromInteger(qint64 value) { return FromMantissa(value, 0); }

    // "-12.50", "+3", ".5", "7." — no exponent, no spaces, no group separators.
    // The scale of the result is the number of digits written after the point (at most
    // MaxScale; further digits are rounded). nullopt when the text is not a number or too large.
    static std::optional<TDecimal> Parse(std::string_view text);
    static std::optional<TDecimal> Parse(QStringView text);
    // Parses straight into the given scale, rounding surplus digits.
    static std::optional<TDecimal> Parse(std::string_view text, int scale);
    // The shortest decimal text that reads back as the same double, rounded to `scale`
    // (scale < 0: as many digits as that text has, at most MaxScale).
    static std::optional<TDecimal> FromDouble(double value, int scale);

    constexpr qint64 Mantissa() const { return m_mantissa; }
    constexpr int Scale() const { return m_scale; }
    constexpr bool IsZero() const { return m_mantissa == 0; }

    std::optional<TDecimal> Rescaled(int scale) const;
    double ToDouble() const;
    QString ToString() const;
    void AppendTo(std::string& out) const;

    std::optional<TDecimal> Add(const TDecimal& other) const;
    std::optional<TDecimal> Sub(const TDecimal& other) const;
    // The exact product; its scale is the sum of both scales (rounded to MaxScale).
    std::optional<TDecimal> Mul(const TDecimal& other) const;
    // The quotient rounded to `scale`; nullopt when dividing by zero or out of range.
    std::optional<TDecimal> Div(const TDecimal& other, int scale) const;

    // Operators throw std::overflow_error where the checked forms above give nullopt.
    TDecimal operator+(const TDecimal& o) const;
    TDecimal operator-(const TDecimal& o) const;
    TDecimal operator*(const TDecimal& o) const;
    TDecimal operator-() const;

    int Compare(const TDecimal& other) const;
    bool operator==(const TDecimal& o) const { return Compare(o) == 0; }
    std::strong_ordering operator<=>(const TDecimal& o) const { return Compare(o) <=> 0; }

private:
    qint64 m_mantissa = 0;
    int m_scale = 0;
};

Q_DECLARE_METATYPE(TDecimal)
