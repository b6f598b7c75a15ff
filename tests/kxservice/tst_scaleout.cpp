// Two service programs over one PostgreSQL database behind nginx as a load balancer: an
// operator logs in through one instance and works through the other, because sessions are
// rows found by their key. Runs when KX_PG_URL names a database.
#include "ScriptedUi.h"
#include "store/Database.h"
#include "uConfig.h"
#include "uHttpWeb.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

#include <arpa/inet.h>
#include <csignal>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
sockaddr_in loopback(int port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(quint16(port));
    return a;
}

int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = loopback(0);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

bool accepts(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in a = loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

// A kxservice program; stopped (SIGTERM) when destroyed.
struct TInstance {
    QProcess process;
    QString url, log;
    ~TInstance()
    {
        if (process.state() != QProcess::NotRunning) {
            ::kill(pid_t(process.processId()), SIGTERM);
            process.waitForFinished(10000);
        }
    }
    bool start(const QString& db, const QString& logPath)
    {
        log = logPath;
        process.start(qEnvironmentVariable("KX_BIN_DIR") + "/kxservice",
                      {"--listen", "127.0.0.1:0", "--db", db, "--log", log, "--workers", "4"});
        if (!process.waitForStarted())
            return false;
        const QRegularExpression serving("serving (http://\\S+)");
        QString out;
        for (int i = 0; i < 150 && url.isEmpty(); ++i) {
            process.waitForReadyRead(200);
            out += QString::fromUtf8(process.readAllStandardOutput());
            const auto m = serving.match(out);
            if (m.hasMatch())
                url = m.captured(1);
        }
        return !url.isEmpty();
    }
    int port() const { return QUrl(url).port(); }
    QString logText() const
    {
        QFile f(log);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
};

// nginx with a private configuration on loopback, in the foreground, as a child process.
struct TBalancer {
    QProcess process;
    int port = 0;
    ~TBalancer()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            process.waitForFinished(10000);
        }
    }
    bool start(const QString& dir, const QList<int>& upstreams)
    {
        const QString nginx = QStandardPaths::findExecutable("nginx", {"/usr/sbin", "/usr/local/sbin", "/usr/bin"});
        if (nginx.isEmpty())
            return false;
        port = freePort();
        QString servers;
        for (int p : upstreams)
            servers += QStringLiteral("    server 127.0.0.1:%1;\n").arg(p);
        const QString conf = QStringLiteral(
            "%1"
            "daemon off;\nworker_processes 1;\npid %2/nginx.pid;\nerror_log %2/error.log;\n"
            "events { worker_connections 64; }\n"
            "http {\n  access_log off;\n"
            "  client_body_temp_path %2/body; proxy_temp_path %2/proxy; fastcgi_temp_path %2/fastcgi;\n"
            "  uwsgi_temp_path %2/uwsgi; scgi_temp_path %2/scgi;\n"
            "  upstream kx {\n%3  }\n"
            "  server {\n    listen 127.0.0.1:%4;\n    client_max_body_size 64m;\n"
            "    location / {\n      proxy_pass http://kx;\n"
            // What a proxy in front of clients would say; the services are not told to trust it.
            "      proxy_set_header X-Forwarded-For 192.0.2.44;\n    }\n  }\n}\n")
            .arg(::geteuid() == 0 ? QStringLiteral("user root;\n") : QString(), dir, servers).arg(port);
        QFile f(dir + "/nginx.conf");
        if (!f.open(QIODevice::WriteOnly) || f.write(conf.toUtf8()) < 0)
            return false;
        f.close();
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(nginx, {"-p", dir + "/", "-c", dir + "/nginx.conf", "-e", dir + "/error.log"});
        if (!process.waitForStarted())
            return false;
        for (int i = 0; i < 100; ++i) {
            if (accepts(port))
                return true;
            if (process.state() == QProcess::NotRunning)
                return false;
            QTest::qWait(50);
        }
        return false;
    }
};

bool call(THttpWeb& web, TScriptedUi& ui, QString* shown)
{
    const bool ok = web.SendData();
    if (!ok && shown)
        *shown = ui.messages.isEmpty() ? QString() : ui.messages.last().text;
    return ok;
}
}

class TestScaleOut : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void loginThroughOneInstanceWorkThroughTheOther()
    {
        const QString pg = qEnvironmentVariable("KX_PG_URL");
        if (pg.isEmpty())
            QSKIP("KX_PG_URL is not set: no PostgreSQL database to share");
        const QString schema = QStringLiteral("kxs_") + QUuid::createUuid().toString(QUuid::Id128).left(12);
        const QString db = pg + QStringLiteral("?schema=") + schema;
        QTemporaryDir dir;
        {
            TInstance a, b;
            QVERIFY(a.start(db, dir.filePath("a.log")));
            QVERIFY(b.start(db, dir.filePath("b.log")));
            TBalancer lb;
            QVERIFY2(lb.start(dir.path(), {a.port(), b.port()}), "nginx did not start (is the nginx package installed?)");
            KxSetServiceUrl(QStringLiteral("http://127.0.0.1:%1/Service.aspx").arg(lb.port));
            TScriptedUi ui;
            QString shown;
            {
                THttpWeb web;
                web.setNickid("1001");
                web.setOperid("");
                web.setModule("PowerMger.Login");
                web.Request()->AddParams("shopcode", "S01");
                web.Request()->AddParams("usercode", "admin");
                web.Request()->AddParams("password", "admin888");
                QVERIFY2(call(web, ui, &shown), qPrintable(shown));
                gNickId = "1001";
                gOperId = "admin";
                gShopId = "S01";
                gSessionKey = web.Response()->GetParam("sessionkey");
            }
            // nginx takes turns: of four calls at least one goes to the instance that did not
            // see the login.
            for (int i = 0; i < 4; ++i) {
                THttpWeb web;
                web.setModule("Brand.Search");
                web.Request()->AddParams("curpage", "0");
                QVERIFY2(call(web, ui, &shown), qPrintable(shown));
            }
            KxResetTransport();
            const QString logA = a.logText(), logB = b.logText();
            const bool loginOnA = logA.contains("call PowerMger.Login nick=1001 oper=- from=127.0.0.1");
            QVERIFY(loginOnA != logB.contains("call PowerMger.Login nick=1001 oper=- from=127.0.0.1"));
            const QRegularExpression worked("call Brand\\.Search nick=1001 oper=admin from=127\\.0\\.0\\.1 ms=\\d+ ok");
            QVERIFY2((loginOnA ? logB : logA).contains(worked), qPrintable(logA + logB));
            // Not told to trust the proxy: its header is not taken for the client's address.
            QVERIFY(!(logA + logB).contains("192.0.2.44"));
        }
        gSessionKey.clear();
        gNickId.clear();
        gOperId.clear();
        gShopId.clear();
        KxSetServiceUrl(QString());
        TDbUrl u;
        QString err;
        QVERIFY(TDbUrl::parse(pg, u, err));
        TDatabase plain(u);
        {
            QSqlDatabase c = plain.connection();
            KxExec(c, QStringLiteral("DROP SCHEMA IF EXISTS \"%1\" CASCADE").arg(schema));
        }
        plain.releaseThreadConnection();
    }
};

QTEST_MAIN(TestScaleOut)
#include "tst_scaleout.moc"
