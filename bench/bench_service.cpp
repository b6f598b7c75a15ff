// Service throughput and latency (small calls before and after login, a 1,000-row page),
// each beside a same-run baseline: a bare cpp-httplib handler that returns a fixed answer.
// Prints BENCH lines; asserts nothing.
#include "BenchClient.h"
#include "KxService.h"
#include "store/Database.h"
#include "uAnswerCodec.h"
#include "uConfig.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double pageMs(int port, const TBenchBody& b, int rounds)
{
    httplib::Client cli("127.0.0.1", port);
    cli.set_tcp_nodelay(true);
    cli.set_keep_alive(true);
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        const auto t0 = Clock::now();
        auto res = cli.Post("/Service.aspx", b.body, b.contentType.c_str());
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        if (!res || res->status != 200)
            std::fprintf(stderr, "page call failed\n");
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// `suffix` ends the names of the lines: "" on SQLite, "_pg" on PostgreSQL.
void runService(const QString& db, const char* suffix, double seconds, double bareRate)
{
    QTemporaryDir dir;
    TServiceOptions o;
    o.port = 0;
    o.db = db.isEmpty() ? QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("bench.db")) : db;
    o.logFile = dir.filePath(QStringLiteral("service.log"));
    TKxService svc(o);
    svc.prepare();
    {
        // 1,000 more brands, and a logged-in operator for the page.
        QSqlDatabase c = svc.store().connection();
        TTransaction t(svc.store(), c, true);
        for (int i = 0; i < 1000; ++i)
            KxExec(c, QStringLiteral("INSERT INTO kx_brand (nickid, brand_id, brand_name, md5_key) VALUES ('1001', ?, ?, ?)"),
                   {QStringLiteral("P%1").arg(i, 5, 10, QLatin1Char('0')), QStringLiteral("测试品牌 %1").arg(i),
                    QStringLiteral("%1").arg(i, 32, 16, QLatin1Char('0'))});
        t.commit();
    }
    svc.store().releaseThreadConnection();
    svc.start();
    const TBenchRate small = KxHammer(svc.port(), KxBenchBody(QStringLiteral("1001"), QString(), QString(), QStringLiteral("PowerMger.Shop")), 8, seconds);
    {
        httplib::Client cli("127.0.0.1", svc.port());
        const TBenchBody login = KxBenchBody(QStringLiteral("1001"), QString(), QString(), QStringLiteral("PowerMger.Login"),
                                 {{QStringLiteral("shopcode"), QStringLiteral("S01")}, {QStringLiteral("usercode"), QStringLiteral("admin")},
                                  {QStringLiteral("password"), QStringLiteral("admin888")}});
        auto res = cli.Post("/Service.aspx", login.body, login.contentType.c_str());
        // The operator's calls below carry the session key (THttpWeb adds gSessionKey).
        TResponse answer;
        try {
            if (res && answer.DataReceive(QByteArray(res->body.data(), qsizetype(res->body.size()))))
                gSessionKey = answer.GetParam(QStringLiteral("sessionkey"));
        } catch (const EKXServiceError& e) {
            std::fprintf(stderr, "login failed: %s\n", qPrintable(e.Message));
        }
    }
    // A small call as a logged-in client makes most: session and rights checked, a short lookup.
    const TBenchRate module = KxHammer(svc.port(), KxBenchBody(QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01"),
                                                 QStringLiteral("Lookup.Storage")), 8, seconds);
    const TBenchBody page = KxBenchBody(QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01"), QStringLiteral("Brand.Search"),
                            {{QStringLiteral("curpage"), QStringLiteral("1")}, {QStringLiteral("pagesize"), QStringLiteral("1000")}});
    const double ms = pageMs(svc.port(), page, 40);
    gSessionKey.clear();
    svc.stop();
    std::printf("BENCH service_small_calls%s clients=8 calls_s=%.0f ratio_to_bare=%.2f p99_ms=%.2f errors=%d\n", suffix,
                small.callsPerSec, small.callsPerSec / bareRate, small.p99ms, small.errors);
    std::printf("BENCH service_module_calls%s clients=8 calls_s=%.0f ratio_to_bare=%.2f p99_ms=%.2f errors=%d\n", suffix,
                module.callsPerSec, module.callsPerSec / bareRate, module.p99ms, module.errors);
    std::printf("BENCH service_page%s rows=1000 ms=%.2f\n", suffix, ms);
    std::fflush(stdout);
}
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = qEnvironmentVariableIntValue("KX_BENCH_SECONDS") > 0 ? qEnvironmentVariableIntValue("KX_BENCH_SECONDS") : 10;

    // The baseline: the same transport settings, a fixed answer, no work.
    httplib::Server bare;
    bare.set_tcp_nodelay(true);
    bare.set_keep_alive_max_count(100000);
    const QByteArray fixed = KxEncodeAnswer("<?xml version=\"1.0\" encoding=\"UTF-8\"?><response><xmldata>x</xmldata></response>");
    bare.Post("/Service.aspx", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(fixed.constData(), size_t(fixed.size()), "application/octet-stream");
    });
    const int barePort = bare.bind_to_any_port("127.0.0.1");
    std::thread bt([&] { bare.listen_after_bind(); });
    while (!bare.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const TBenchRate b = KxHammer(barePort, KxBenchBody(QStringLiteral("1001"), QString(), QString(), QStringLiteral("PowerMger.Shop")), 8, seconds);
    bare.stop();
    bt.join();
    std::printf("BENCH bare_httplib clients=8 calls_s=%.0f p99_ms=%.2f\n", b.callsPerSec, b.p99ms);

    runService(QString(), "", seconds, b.callsPerSec);
    const QString pg = qEnvironmentVariable("KX_PG_URL");
    if (!pg.isEmpty()) {
        const QString schema = QStringLiteral("kxbench_") + QString::number(QCoreApplication::applicationPid());
        runService(pg + QStringLiteral("?schema=") + schema, "_pg", seconds, b.callsPerSec);
        // The run's schema goes with it, so repeated runs do not pile up in the database.
        TDbUrl url;
        QString error;
        if (TDbUrl::parse(pg, url, error)) {
            TDatabase plain(url);
            {
                QSqlDatabase c = plain.connection();
                KxExec(c, QStringLiteral("DROP SCHEMA IF EXISTS \"%1\" CASCADE").arg(schema));
            }
            plain.releaseThreadConnection();
        }
    }
    return 0;
}
