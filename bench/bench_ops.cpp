// Running the service for real: a backup of 100,000 receipts while a writer keeps writing
// (the copy's time and the writer's longest wait), and small calls over TLS beside the same
// calls over plain HTTP, both on kept-alive connections. Prints BENCH lines; asserts nothing.
#include "KxService.h"
#include "ReceiptSeed.h"
#include "admin/Backup.h"
#include "store/Seeder.h"
#include "uHttpWeb.h"

#include <httplib.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

void backupBench(int documents)
{
    QTemporaryDir dir;
    TDbUrl url;
    QString err;
    TDbUrl::parse(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("kx.db")), url, err);
    TDatabase store(url);
    store.migrate();
    QJsonObject demo = KxSeedFile(QStringLiteral("demo.json"));
    demo.remove(QLatin1String("market"));
    KxSeedSeller(store, demo);
    KxSeedReceipts(store.connection(), QStringLiteral("1001"), documents, 3);
    store.releaseThreadConnection();

    // A writer of small transactions, as saves are, timing each from BEGIN to COMMIT.
    std::atomic<bool> stop{false}, copying{false};
    std::atomic<qint64> worstUs{0};
    std::atomic<int> writes{0};
    std::thread writer([&] {
        for (int i = 0; !stop; ++i) {
            QSqlDatabase c = store.connection();
            const auto t0 = Clock::now();
            {
                TTransaction t(store, c, true);
                KxExec(c, QStringLiteral("UPDATE kx_counter SET value = value + 1 WHERE nickid = '1001' AND name = 'bench'"));
                if (i == 0)
                    KxExec(c, QStringLiteral("INSERT INTO kx_counter (nickid, name, value) VALUES ('1001', 'bench', 0) ON CONFLICT DO NOTHING"));
                t.commit();
            }
            const qint64 us = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t0).count();
            if (copying) {
                worstUs = std::max<qint64>(worstUs, us);
                ++writes;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        store.releaseThreadConnection();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    copying = true;
    QElapsedTimer t;
    t.start();
    const TBackupFile f = KxBackup(url, dir.filePath(QStringLiteral("copy.kxdb")));
    const qint64 ms = t.elapsed();
    copying = false;
    stop = true;
    writer.join();
    std::printf("BENCH backup documents=%d ms=%lld writer_stall_ms=%.1f writes_during=%d mb=%.0f\n", documents, qint64(ms),
                double(worstUs) / 1000.0, writes.load(), double(f.bytes) / 1e6);
}

struct TRate {
    double callsPerSec = 0;
    int errors = 0;
};

// `clients` threads, each on one kept-alive connection, posting the same small call.
template <class Client>
TRate hammer(const std::string& base, const std::string& body, const std::string& type, int clients, double seconds)
{
    std::atomic<bool> stop{false};
    std::atomic<int> errors{0}, calls{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&] {
            Client cli(base);
            cli.set_keep_alive(true);
            cli.set_tcp_nodelay(true);
            if constexpr (std::is_same_v<Client, httplib::Client>)
                cli.enable_server_certificate_verification(false);
            while (!stop.load(std::memory_order_relaxed)) {
                auto res = cli.Post("/Service.aspx", body, type.c_str());
                if (!res || res->status != 200)
                    ++errors;
                ++calls;
            }
        });
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop = true;
    for (auto& t : threads)
        t.join();
    return {double(calls) / seconds, errors};
}

double smallCalls(const QString& cert, const QString& key, double seconds)
{
    QTemporaryDir dir;
    TServiceOptions o;
    o.port = 0;
    o.db = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("bench.db"));
    o.logFile = dir.filePath(QStringLiteral("service.log"));
    o.tlsCert = cert;
    o.tlsKey = key;
    TKxService svc(o);
    svc.prepare();
    svc.start();
    THttpWeb web;
    web.setNickid(QStringLiteral("1001"));
    web.setOperid(QString());
    web.setModule(QStringLiteral("PowerMger.Shop"));
    QString type;
    const std::string body = web.BuildBody(&type).toStdString();
    const std::string base = svc.url().section(u'/', 0, 2).toStdString();
    const TRate r = hammer<httplib::Client>(base, body, type.toStdString(), 8, seconds);
    if (r.errors)
        std::fprintf(stderr, "%d failed calls\n", r.errors);
    svc.stop();
    return r.callsPerSec;
}

void tlsBench(double seconds)
{
    QTemporaryDir pki;
    QProcess p;
    p.setWorkingDirectory(pki.path());
    p.start(QStringLiteral("openssl"), {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                                        "-keyout", "k.pem", "-out", "c.pem", "-days", "1", "-subj", "/CN=127.0.0.1"});
    if (!p.waitForFinished() || p.exitCode() != 0) {
        std::fprintf(stderr, "openssl failed: no TLS figures\n");
        return;
    }
    // Alternated and the best of each kept: the machine's other load moves both alike.
    double plain = 0, tls = 0;
    for (int round = 0; round < 2; ++round) {
        plain = std::max(plain, smallCalls({}, {}, seconds));
        tls = std::max(tls, smallCalls(pki.filePath(QStringLiteral("c.pem")), pki.filePath(QStringLiteral("k.pem")), seconds));
    }
    std::printf("BENCH service_small_calls_tls clients=8 calls_s=%.0f plain_calls_s=%.0f ratio_to_plain=%.2f\n", tls, plain,
                plain > 0 ? tls / plain : 0.0);
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = qEnvironmentVariableIntValue("KX_BENCH_SECONDS") > 0 ? qEnvironmentVariableIntValue("KX_BENCH_SECONDS") : 5;
    tlsBench(seconds);
    backupBench(100000);
    return 0;
}
