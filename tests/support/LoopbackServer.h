#pragma once
// A cpp-httplib server on a free loopback port, run on its own thread for one test.
#include <httplib.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

class TLoopbackServer {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    explicit TLoopbackServer(Handler handler, const std::string& path = "/Service.aspx")
    {
        m_server.set_tcp_nodelay(true);
        m_server.Post(path, std::move(handler));
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~TLoopbackServer()
    {
        m_server.stop();
        m_thread.join();
    }
    int port() const { return m_port; }
    std::string url(const std::string& path = "/Service.aspx") const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
};
