#include "LocalClock.h"

#include <QDateTime>

#include <cstdlib>

namespace {
// The current second, converted once per thread and second.
struct TSecondText {
    qint64 second = -1;
    QString text;        // yyyy-MM-dd HH:mm:ss
    QByteArray latin1;   // the same, as bytes

    void at(qint64 ms)
    {
        if (ms / 1000 == second)
            return;
        second = ms / 1000;
        text = QDateTime::fromSecsSinceEpoch(second).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        latin1 = text.toLatin1();
    }
};

TSecondText& current(qint64 ms)
{
    thread_local TSecondText t;
    t.at(ms);
    return t;
}
}

QString KxLocalNowText()
{
    return current(QDateTime::currentMSecsSinceEpoch()).text;
}

QByteArray KxLocalNowMillis()
{
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    const QByteArray& prefix = current(ms).latin1;
    const int milli = int(ms % 1000);
    QByteArray out;
    out.reserve(prefix.size() + 4);
    out += prefix;
    out += '.';
    out += char('0' + milli / 100);
    out += char('0' + milli / 10 % 10);
    out += char('0' + milli % 10);
    return out;
}

void KxPinTimeZone()
{
    if (!std::getenv("TZ"))
        ::setenv("TZ", ":/etc/localtime", 0);
}
