#pragma once
// The service's local time as text, for business stamps and the log. Turning a moment into
// local time consults the time zone: unless TZ names it, the C library looks at /etc/localtime
// again on every conversion (a stat, and a new read when it changed). Each thread therefore
// converts at most once a second, and the program pins the zone at start.
#include <QByteArray>
#include <QString>

// Now as "yyyy-MM-dd HH:mm:ss", local time.
QString KxLocalNowText();
// Now as "yyyy-MM-dd HH:mm:ss.zzz", local time (the log's stamp).
QByteArray KxLocalNowMillis();
// When TZ is not set, sets it to the system's zone file, so that the C library reads the zone
// once instead of looking at it on every conversion; a changed zone then takes effect when the
// service restarts. Call before any other thread runs (setenv is not safe beside getenv).
void KxPinTimeZone();
