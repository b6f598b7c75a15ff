#include "uClock.h"

namespace {
std::function<QDateTime()>& clockFn()
{
    static std::function<QDateTime()> fn;
    return fn;
}
}

QDateTime KxNow()
{
    const auto& fn = clockFn();
    return fn ? fn() : QDateTime::currentDateTime();
}

void KxSetClock(std::function<QDateTime()> clock)
{
    clockFn() = std::move(clock);
}
