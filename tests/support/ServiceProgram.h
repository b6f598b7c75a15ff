#pragma once
// Runs the kxservice program (its administration commands) and keeps what it said.
#include <QProcess>
#include <QStringList>

struct TRun {
    int code = -1; // -1: did not finish in time
    QString out, err;
};

inline TRun kxservice(const QStringList& args, int timeoutMs = 120000)
{
    QProcess p;
    p.start(qEnvironmentVariable("KX_BIN_DIR") + "/kxservice", args);
    TRun r;
    if (!p.waitForFinished(timeoutMs))
        return r;
    r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
