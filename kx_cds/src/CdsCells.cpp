// One cell read or written the way a field getter or setter does, with the conversions.

#include "CdsCells.h"

#include "CdsDates.h"
#include "CdsWire.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace kxcds {

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
