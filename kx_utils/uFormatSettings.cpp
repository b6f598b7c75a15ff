#include "uFormatSettings.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
QString shortDate = QStringLiteral("yyyy-MM-dd");
QString longTime = QStringLiteral("HH:mm:ss");
}

QString KxShortDateFormat()
{
    return shortDate;
}

QString KxLongTimeFormat()
{
    return longTime;
}

void KxApplyFormatSettings(const QString& date, const QString& time)
{
    shortDate = date;
    longTime = time;
#ifdef _WIN32
    // The user's locale carries Windows' own pictures for the same formats.
    QString winDate = date;
    QString winTime = time;
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, reinterpret_cast<LPCWSTR>(winDate.utf16()));
    SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, reinterpret_cast<LPCWSTR>(winTime.utf16()));
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, 0, SMTO_ABORTIFHUNG, 10, &result);
#endif
}

QString KxDateTimeText(const QDateTime& dt)
{
    return dt.toString(shortDate + u' ' + longTime);
}
