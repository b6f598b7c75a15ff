#pragma once
// What the service benchmarks share: the engines each figure is measured on (SQLite, and
// PostgreSQL when KX_PG_URL names a database, its lines named with "_pg"), and the service's
// own milliseconds for a method, read from its access log.
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QtGlobal>

#include <vector>

struct TBenchEngine {
    QString kind;    // as TServiceFixture takes it
    const char* suffix;
};

inline std::vector<TBenchEngine> KxBenchEngines()
{
    std::vector<TBenchEngine> e{{QStringLiteral("sqlite"), ""}};
    if (!qEnvironmentVariableIsEmpty("KX_PG_URL"))
        e.push_back({QStringLiteral("postgresql"), "_pg"});
    return e;
}

// The milliseconds the service logged for the calls of `method` since the log had `from`
// bytes, added up (-1 when there was none); `calls` gets how many there were.
inline qint64 KxServiceMs(const QString& log, qint64 from, const QString& method, int* calls = nullptr)
{
    QFile f(log);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(from))
        return -1;
    static const QRegularExpression re(QStringLiteral("call (\\S+) .* ms=(\\d+) ok"));
    qint64 ms = 0;
    int n = 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QRegularExpressionMatch m = re.match(QString::fromUtf8(line));
        if (m.hasMatch() && m.captured(1) == method) {
            ms += m.captured(2).toLongLong();
            ++n;
        }
    }
    if (calls)
        *calls = n;
    return n ? ms : -1;
}
