// Dates and times as milliseconds of the wall clock: reading and writing their text.

#include "CdsDates.h"

#include <charconv>
#include <cstring>

namespace kxcds {

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

} // namespace kxcds
