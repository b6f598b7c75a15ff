#pragma once
// The one clock behind time stamps, row keys and multipart boundaries; tests replace it.
#include <QDateTime>
#include <functional>

QDateTime KxNow();
void KxSetClock(std::function<QDateTime()> clock); // empty function restores the system clock
