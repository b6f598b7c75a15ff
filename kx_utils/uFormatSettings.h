#pragma once
// The date and time formats the whole program shows and reads: fixed at start-up, read by
// grids, editors and reports.
#include <QDateTime>
#include <QString>

QString KxShortDateFormat(); // "yyyy-MM-dd" once the shell has started
QString KxLongTimeFormat();  // "HH:mm:ss"
// Sets both; on Windows they are written into the user's locale as well.
void KxApplyFormatSettings(const QString& shortDate, const QString& longTime);
// A date-time as the program shows it: short date, a blank, time.
QString KxDateTimeText(const QDateTime& dt);
