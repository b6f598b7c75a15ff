#pragma once
// What one service instance is started with.
#include <QString>

// What one call may cost, in multiples of its body: the body (parsed in place), the delta's
// typed rows, the answer. Measured: a 30 MB delta of 116,000 new brands saved through a
// master-data update peaks at about 4 times (121 MB over the service's resident set).
inline constexpr int kKxCallMemoryFactor = 5;

struct TServiceOptions {
    QString host = QStringLiteral("127.0.0.1");
    int port = 18080;                 // 0: any free port (tests)
    QString db;                       // sqlite:PATH or postgresql://...; empty: the default file
    QString seed = QStringLiteral("demo"); // "demo" or "none"
    QString secret;                   // empty: the secret built into the client
    QString logFile;                  // empty: standard error
    // PEM files: with both the service speaks https:// only (see http/TlsContext.h).
    QString tlsCert, tlsKey;
    int workers = 16;
    qint64 maxBodyBytes = qint64(32) * 1024 * 1024;
    int maxParts = 256;
    // Waiting connections cost no worker, but each has its time: a request's headers from its
    // first byte (or from the connection's start), its whole body however slowly it comes,
    // the answer's writing, and an idle kept-alive connection between calls.
    int headerTimeoutSec = 5;
    int bodyTimeoutSec = 60;
    int writeTimeoutSec = 30;
    int keepAliveSec = 60;
    int maxConnsPerAddr = 256;        // open connections from one client address (a shop behind one NAT address shares it)
    int maxConnections = 4096;        // in all (lowered to what the descriptor limit allows)
    // Calls being read or run reserve kKxCallMemoryFactor times their body from this budget;
    // a call that does not fit waits up to callMemoryWaitSec, then is refused as busy.
    qint64 callMemoryBytes = qint64(512) << 20;
    int callMemoryWaitSec = 20;
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
