#pragma once
// The service log: one access line per call, and the internals of failures (never sent to
// clients). Thread-safe.
#include <QFile>
#include <QString>
#include <mutex>

class TServiceLog {
public:
    explicit TServiceLog(const QString& path = {}); // empty: standard error
    void access(const QString& method, const QString& nick, const QString& oper, const QString& addr,
                qint64 ms, int errorCode);
    void error(const QString& text);
    void info(const QString& text);

private:
    void write(const QString& line);
    std::mutex m_mutex;
    QFile m_file;
};
