#pragma once
// The service log: one access line per call, and the internals of failures (never sent to
// clients). Thread-safe.
//
// Every line is in the file when the call that wrote it returns (the access line is written
// before the answer is sent), so whoever reads the log after a call sees that call's line,
// and a stopped or killed service loses nothing. A line is one append (one write(2)), not a
// buffered stream and its flush; the time stamp's local date and time are worked out once a
// second rather than per line.
#include <QByteArray>
#include <QString>
#include <mutex>

// Appends UTF-8 text with its control characters escaped: backslash, \n, \r, \t as C-style
// escapes, other C0 controls and DEL as \xNN, and NEL, U+2028 and U+2029 as \uNNNN.
void KxAppendLogEscaped(QByteArray& out, const QByteArray& utf8);

class TServiceLog {
public:
    explicit TServiceLog(const QString& path = {}); // empty: standard error
    ~TServiceLog();
    TServiceLog(const TServiceLog&) = delete;
    TServiceLog& operator=(const TServiceLog&) = delete;

    void access(const QString& method, const QString& nick, const QString& oper, const QString& addr,
                qint64 ms, int errorCode);
    void error(const QString& text);
    void info(const QString& text);

private:
    void write(const QByteArray& text);
    int m_fd = 2;
    std::mutex m_stderrTurn;
};
