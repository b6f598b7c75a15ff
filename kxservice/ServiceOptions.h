#pragma once
// What one service instance is started with.
#include <QString>

struct TServiceOptions {
    QString host = QStringLiteral("127.0.0.1");
    int port = 18080;                 // 0: any free port (tests)
    QString db;                       // sqlite:PATH or postgresql://...; empty: the default file
    QString seed = QStringLiteral("demo"); // "demo" or "none"
    QString secret;                   // empty: the secret built into the client
    QString logFile;                  // empty: standard error
    int workers = 16;
    qint64 maxBodyBytes = qint64(32) * 1024 * 1024;
    int maxParts = 256;
    int readTimeoutSec = 30;
    int writeTimeoutSec = 30;
    int sessionIdleSec = 12 * 3600;
    // The proxy (load balancer) whose X-Forwarded-For is believed: calls from that address
    // are logged and guarded under the client address it names. Empty: none.
    QString trustedProxy;
    // Failed logins (see dispatch/LoginGuard.h): the first wait after repeated failures, and
    // how many failures of an operator lock it, for how long.
    int loginBackoffMs = 1000;
    int loginLockAfter = 10;
    int loginLockSec = 15 * 60;
};
