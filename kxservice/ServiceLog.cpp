#include "ServiceLog.h"

#include "LocalClock.h"

#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
// "yyyy-MM-dd HH:mm:ss.zzz " for now.
QByteArray stamp()
{
    return KxLocalNowMillis() + ' ';
}

QByteArray orDash(const QString& s)
{
    return s.isEmpty() ? QByteArrayLiteral("-") : s.toUtf8();
}
}

void KxAppendLogEscaped(QByteArray& out, const QByteArray& utf8)
{
    static const char digits[] = "0123456789abcdef";
    const char* p = utf8.constData();
    const qsizetype n = utf8.size();
    for (qsizetype i = 0; i < n; ++i) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 15];
        } else if (c == 0xC2 && i + 1 < n && static_cast<unsigned char>(p[i + 1]) == 0x85) {
            out += "\\u0085"; // NEL
            ++i;
        } else if (c == 0xE2 && i + 2 < n && static_cast<unsigned char>(p[i + 1]) == 0x80
                   && (static_cast<unsigned char>(p[i + 2]) == 0xA8 || static_cast<unsigned char>(p[i + 2]) == 0xA9)) {
            out += static_cast<unsigned char>(p[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029"; // line, paragraph separator
            i += 2;
        } else {
            out += char(c);
        }
    }
}

TServiceLog::TServiceLog(const QString& path)
{
    if (path.isEmpty())
        return;
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        std::fprintf(stderr, "kxservice: cannot open log %s, logging to standard error\n", qPrintable(path));
    else
        m_fd = fd;
}

TServiceLog::~TServiceLog()
{
    if (m_fd > 2)
        ::close(m_fd);
}

void TServiceLog::write(const QByteArray& text)
{
    // Every value a caller sent may hold line breaks or other control characters; escaped,
    // none of them can start a line of its own or hide part of one.
    QByteArray line = stamp();
    line.reserve(line.size() + text.size() + 1);
    KxAppendLogEscaped(line, text);
    line += '\n';
    // One write of the whole line with O_APPEND: the kernel puts it at the end of the file in
    // one piece, so threads need no lock of their own (only a write cut short, a full disk,
    // goes on in a second piece). Standard error may be a pipe or a terminal, which keep only
    // short writes whole: there the lines take turns.
    std::unique_lock<std::mutex> turn(m_stderrTurn, std::defer_lock);
    if (m_fd == 2)
        turn.lock();
    const char* p = line.constData();
    qsizetype left = line.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return; // nowhere to log that the log failed
        p += n;
        left -= n;
    }
}

void TServiceLog::access(const QString& method, const QString& nick, const QString& oper, const QString& addr,
                         qint64 ms, int errorCode)
{
    QByteArray s;
    s.reserve(96 + method.size() + nick.size() + oper.size() + addr.size());
    s += "call ";
    s += orDash(method);
    s += " nick=";
    s += orDash(nick);
    s += " oper=";
    s += orDash(oper);
    s += " from=";
    s += addr.toUtf8();
    s += " ms=";
    s += QByteArray::number(ms);
    if (errorCode) {
        s += " error=";
        s += QByteArray::number(errorCode);
    } else {
        s += " ok";
    }
    write(s);
}

void TServiceLog::error(const QString& text)
{
    write("ERROR " + text.toUtf8());
}

void TServiceLog::info(const QString& text)
{
    write(text.toUtf8());
}
