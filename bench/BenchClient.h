#pragma once
// The client side of the HTTP benchmarks: a call's body as the client builds it, and several
// clients, each on one kept-alive connection, posting it for a while.
#include "uHttpWeb.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

struct TBenchBody {
    std::string body, contentType;
};

inline TBenchBody KxBenchBody(const QString& nick, const QString& oper, const QString& shop, const QString& method,
                              const QList<QPair<QString, QString>>& params = {})
{
    THttpWeb web;
    web.setNickid(nick);
    web.setOperid(oper);
    web.setShopid(shop);
    web.setModule(method);
    for (const auto& p : params)
        web.Request()->AddParams(p.first, p.second);
    QString ct;
    const QByteArray b = web.BuildBody(&ct);
    return {b.toStdString(), ct.toStdString()};
}

struct TBenchRate {
    double callsPerSec = 0, p99ms = 0;
    int errors = 0;
};

// `clients` threads, each on one kept-alive connection, posting `b` for `seconds`.
inline TBenchRate KxHammer(int port, const TBenchBody& b, int clients, double seconds)
{
    using Clock = std::chrono::steady_clock;
    std::atomic<bool> stop{false};
    std::atomic<int> errors{0};
    std::vector<std::vector<double>> lat{size_t(clients)};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&, c] {
            httplib::Client cli("127.0.0.1", port);
            cli.set_tcp_nodelay(true);
            cli.set_keep_alive(true);
            while (!stop.load(std::memory_order_relaxed)) {
                const auto t0 = Clock::now();
                auto res = cli.Post("/Service.aspx", b.body, b.contentType.c_str());
                const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
                if (!res || res->status != 200 || res->body.size() < 5)
                    ++errors;
                lat[size_t(c)].push_back(ms);
            }
        });
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop = true;
    for (auto& t : threads)
        t.join();
    std::vector<double> all;
    for (auto& l : lat)
        all.insert(all.end(), l.begin(), l.end());
    std::sort(all.begin(), all.end());
    TBenchRate r;
    r.callsPerSec = double(all.size()) / seconds;
    r.p99ms = all.empty() ? 0 : all[size_t(double(all.size() - 1) * 0.99)];
    r.errors = errors;
    return r;
}
