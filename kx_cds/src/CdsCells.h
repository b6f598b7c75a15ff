#pragma once

// Reading and writing one cell as the typed getters and setters of a field do, with the
// conversions between types; stand-alone typed values and their comparison.

#include "CdsColumn.h"
#include "TDecimal.h"

#include <QDateTime>
#include <QVariant>

namespace kxcds {

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
