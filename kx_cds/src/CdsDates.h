#pragma once

// Dates and times of the cells, held as milliseconds of the wall clock.

#include "CdsTypes.h"

#include <QDateTime>

#include <string>

namespace kxcds {

constexpr qint64 kMsPerDay = 86400000;

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

} // namespace kxcds
