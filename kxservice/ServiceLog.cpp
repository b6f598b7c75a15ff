#include "ServiceLog.h"

#include <QDateTime>
#include <cstdio>

TServiceLog::TServiceLog(const QString& path)
{
    if (!path.isEmpty()) {
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::Append | QIODevice::Text))
            std::fprintf(stderr, "kxservice: cannot open log %s, logging to standard error\n", qPrintable(path));
    }
}

void TServiceLog::write(const QString& line)
{
    const QByteArray bytes = (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz "))
                              + line + QLatin1Char('\n')).toUtf8();
    std::lock_guard lock(m_mutex);
    if (m_file.isOpen()) {
        m_file.write(bytes);
        m_file.flush();
    } else {
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    }
}

void TServiceLog::access(const QString& method, const QString& nick, const QString& oper, const QString& addr,
                         qint64 ms, int errorCode)
{
    write(QStringLiteral("call %1 nick=%2 oper=%3 from=%4 ms=%5 %6")
              .arg(method.isEmpty() ? QStringLiteral("-") : method, nick.isEmpty() ? QStringLiteral("-") : nick,
                   oper.isEmpty() ? QStringLiteral("-") : oper, addr)
              .arg(ms)
              .arg(errorCode ? QStringLiteral("error=%1").arg(errorCode) : QStringLiteral("ok")));
}

void TServiceLog::error(const QString& text)
{
    write(QStringLiteral("ERROR ") + text);
}

void TServiceLog::info(const QString& text)
{
    write(text);
}
