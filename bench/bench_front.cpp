// The HTTP front under waiting connections and big saves. Prints BENCH lines; asserts nothing.
//
// service_idle_conns: 8 clients' small calls without and with 500 idle and 50 slowloris
// connections held open (reopened whenever the service closes them, as an attacker would).
// big_delta: a 30 MB delta saved by a logged-in operator against the kxservice program: the
// service's peak and kept memory (resident set of its process), and how long another
// writer's one-row save waits meanwhile; beside it the same body sent to a method that does
// not read it (unparsed_*: what the front and the call's checks cost).
#include "BenchClient.h"
#include "KxService.h"
#include "uConfig.h"
#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "uUiHooks.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUuid>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

// Failures are printed, never shown.
class TPrintUi : public IKxUi {
public:
    TPrintUi() { KxSetUi(this); }
    ~TPrintUi() override { KxSetUi(nullptr); }
    int MessageBox(const QString&, const QString& text, TMsgIcon, int) override
    {
        std::lock_guard lock(m_mutex);
        std::fprintf(stderr, "shown: %s\n", qPrintable(text.left(300)));
        return mrOk;
    }
    bool OpenUrl(const QString&) override { return false; }
    QString GetOpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString GetSaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    int ShowModal(QWidget*) override { return mrCancel; }

private:
    std::mutex m_mutex;
};

TBenchBody shopCall()
{
    return KxBenchBody(QStringLiteral("1001"), QString(), QString(), QStringLiteral("PowerMger.Shop"));
}

// Connections that never make a call: idle ones send nothing, slowloris ones trickle a byte a
// second into headers that never end or a body that never comes. Whatever the service closes
// is opened again at once.
class TAttackers {
public:
    TAttackers(int port, int idle, int slow, const std::string& contentType) : m_port(port)
    {
        for (int i = 0; i < idle + slow; ++i) {
            TConn c;
            // 20 connections per loopback address, under the per-address cap.
            c.from = "127.0." + std::to_string(10 + i / 5100) + "." + std::to_string(1 + (i / 20) % 250);
            c.kind = i < idle ? 0 : (i % 2 ? 1 : 2);
            m_conns.push_back(c);
        }
        m_opening[1] = "POST /Service.aspx HTTP/1.1\r\nHost: 127.0.0.1\r\n";
        m_opening[2] = m_opening[1] + "Content-Type: " + contentType + "\r\nContent-Length: 1000000\r\n\r\n";
        for (auto& c : m_conns)
            open(c);
        m_thread = std::thread([this] { run(); });
    }
    ~TAttackers()
    {
        m_stop = true;
        m_thread.join();
        for (auto& c : m_conns)
            if (c.fd >= 0)
                ::close(c.fd);
    }
    int reopened() const { return m_reopened; }
    int open() const
    {
        return int(std::count_if(m_conns.begin(), m_conns.end(), [](const TConn& c) { return c.fd >= 0; }));
    }

private:
    struct TConn {
        std::string from;
        int kind = 0; // 0 idle, 1 header trickle, 2 body trickle
        int fd = -1;
    };

    void open(TConn& c)
    {
        c.fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, c.from.c_str(), &a.sin_addr);
        ::bind(c.fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(quint16(m_port));
        ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
        if (::connect(c.fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
            ::close(c.fd);
            c.fd = -1;
            return;
        }
        if (c.kind)
            ::send(c.fd, m_opening[c.kind].data(), m_opening[c.kind].size(), MSG_NOSIGNAL);
    }

    void run()
    {
        auto lastTrickle = Clock::now();
        std::vector<pollfd> fds;
        while (!m_stop) {
            fds.clear();
            for (auto& c : m_conns)
                fds.push_back({c.fd, POLLIN, 0});
            ::poll(fds.data(), fds.size(), 50);
            for (size_t i = 0; i < fds.size(); ++i) {
                TConn& c = m_conns[i];
                if (c.fd < 0) {
                    open(c);
                    continue;
                }
                if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                char buf[4096];
                if (::recv(c.fd, buf, sizeof buf, MSG_DONTWAIT) <= 0) {
                    ::close(c.fd);
                    c.fd = -1;
                    ++m_reopened;
                    open(c);
                }
            }
            if (Clock::now() - lastTrickle > std::chrono::seconds(1)) {
                lastTrickle = Clock::now();
                for (auto& c : m_conns)
                    if (c.kind && c.fd >= 0)
                        ::send(c.fd, c.kind == 1 ? "X" : "-", 1, MSG_NOSIGNAL);
            }
        }
    }

    int m_port;
    std::vector<TConn> m_conns;
    std::string m_opening[3];
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_reopened{0};
    std::thread m_thread;
};

void idleConnections(double seconds)
{
    QTemporaryDir dir;
    TServiceOptions o;
    o.port = 0;
    o.db = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("bench.db"));
    o.logFile = dir.filePath(QStringLiteral("service.log"));
    TKxService svc(o);
    svc.prepare();
    svc.start();
    const TBenchBody b = shopCall();
    const TBenchRate quiet = KxHammer(svc.port(), b, 8, seconds);
    TBenchRate loaded;
    int held = 0, reopened = 0;
    {
        TAttackers attackers(svc.port(), 500, 50, b.contentType);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        held = attackers.open();
        loaded = KxHammer(svc.port(), b, 8, seconds);
        reopened = attackers.reopened();
    }
    svc.stop();
    std::printf("BENCH service_idle_conns idle=500 slowloris=50 calls_s=%.0f p99_ms=%.2f errors=%d quiet_calls_s=%.0f quiet_p99_ms=%.2f"
                " kept=%.2f held=%d reopened=%d\n",
                loaded.callsPerSec, loaded.p99ms, loaded.errors, quiet.callsPerSec, quiet.p99ms,
                loaded.callsPerSec / quiet.callsPerSec, held, reopened);
    std::fflush(stdout);
}

// The resident set of a process now and at its peak since the peak was last reset, in MB.
double statusMb(qint64 pid, const char* key)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

void resetPeak(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/clear_refs").arg(pid));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

// A delta inserting `rows` brands with long names.
QString brandDelta(int rows, const QString& tag)
{
    TPClientDataSet ds;
    ds.FieldDefs().Add(QStringLiteral("brand_id"), ftString, 20);
    ds.FieldDefs().Add(QStringLiteral("brand_name"), ftString, 100);
    ds.FieldDefs().Add(QStringLiteral("md5_key"), ftString, 32);
    ds.CreateDataSet();
    const QString name = QString(60, QChar(0x54c1)); // 60 CJK characters, 180 bytes
    for (int i = 0; i < rows; ++i) {
        ds.Append();
        ds.FieldByName(QStringLiteral("brand_name"))->SetAsString(name + tag + QString::number(i));
        ds.FieldByName(QStringLiteral("md5_key"))->SetAsString(QUuid::createUuid().toString(QUuid::Id128));
        ds.Post();
    }
    return ds.GetKXXMLDelta();
}

bool save(const QString& delta, const QString& method = QStringLiteral("Brand.Update"))
{
    THttpWeb web;
    web.setNickid(QStringLiteral("1001"));
    web.setOperid(QStringLiteral("admin"));
    web.setShopid(QStringLiteral("S01"));
    web.setModule(method);
    web.Request()->AddFiles(QStringLiteral("delta"), delta);
    return web.SendData();
}

void bigDelta(int mb)
{
    QTemporaryDir dir;
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/kxservice"),
            {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--db"),
             QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("big.db")), QStringLiteral("--log"), dir.filePath(QStringLiteral("service.log"))});
    if (!p.waitForStarted()) {
        std::fprintf(stderr, "big_delta: kxservice did not start\n");
        return;
    }
    QString url;
    const QRegularExpression serving(QStringLiteral("serving (http://\\S+)"));
    for (int i = 0; i < 300 && url.isEmpty(); ++i) {
        p.waitForReadyRead(100);
        const auto m = serving.match(QString::fromUtf8(p.readAllStandardOutput()));
        if (m.hasMatch())
            url = m.captured(1);
    }
    if (url.isEmpty()) {
        std::fprintf(stderr, "big_delta: kxservice did not serve\n");
        return;
    }
    KxSetServiceUrl(url);
    {
        THttpWeb web;
        web.setNickid(QStringLiteral("1001"));
        web.setOperid(QString());
        web.setModule(QStringLiteral("PowerMger.Login"));
        web.Request()->AddParams(QStringLiteral("shopcode"), QStringLiteral("S01"));
        web.Request()->AddParams(QStringLiteral("usercode"), QStringLiteral("admin"));
        web.Request()->AddParams(QStringLiteral("password"), QStringLiteral("admin888"));
        if (!web.SendData())
            return;
        gSessionKey = web.Response()->GetParam(QStringLiteral("sessionkey"));
    }
    // About 270 bytes of delta a row.
    const QString big = brandDelta(int((qint64(mb) << 20) / 270), QStringLiteral("b"));
    const double mbSent = double(big.toUtf8().size()) / (1 << 20);
    save(brandDelta(1, QStringLiteral("warm")));

    // What the front and the call's checks cost: the same body to a method that ignores it.
    const qint64 pid = p.processId();
    resetPeak(pid);
    const double frontBefore = statusMb(pid, "VmRSS:");
    save(big, QStringLiteral("Lookup.Storage"));
    const double frontPeak = statusMb(pid, "VmHWM:") - frontBefore;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const double frontKept = statusMb(pid, "VmRSS:") - frontBefore;

    resetPeak(pid);
    const double before = statusMb(pid, "VmRSS:");
    std::atomic<bool> done{false};
    std::vector<double> writerMs;
    std::thread writer([&] {
        int i = 0;
        while (!done) {
            const QString one = brandDelta(1, QStringLiteral("w%1_").arg(i++));
            const auto t0 = Clock::now();
            save(one);
            if (!done)
                writerMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const auto t0 = Clock::now();
    const bool ok = save(big);
    const double bigMs = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    done = true;
    writer.join();
    const double peak = statusMb(pid, "VmHWM:");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double after = statusMb(pid, "VmRSS:");
    KxResetTransport();
    p.terminate();
    p.waitForFinished(10000);
    std::printf("BENCH big_delta mb=%.0f peak_mb=%.0f kept_mb=%.0f writer_wait_ms=%.0f writes_during=%zu save_ms=%.0f ok=%d"
                " unparsed_peak_mb=%.0f unparsed_kept_mb=%.0f\n", mbSent,
                peak - before, after - before, writerMs.empty() ? 0.0 : *std::max_element(writerMs.begin(), writerMs.end()),
                writerMs.size(), bigMs, ok ? 1 : 0, frontPeak, frontKept);
    std::fflush(stdout);
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = qEnvironmentVariableIntValue("KX_BENCH_SECONDS") > 0 ? qEnvironmentVariableIntValue("KX_BENCH_SECONDS") : 10;
    TPrintUi ui;
    // The attackers' 550 sockets and the service's 550 share this process.
    rlimit lim{};
    if (::getrlimit(RLIMIT_NOFILE, &lim) == 0) {
        lim.rlim_cur = lim.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &lim);
    }
    idleConnections(seconds);
    bigDelta(30);
    return 0;
}
