#include "HttpFront.h"

#include "dispatch/Dispatcher.h"
#include "protocol/Call.h"
#include "uAnswerCodec.h"

#include <httplib.h>

#include <QDir>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {
// A fixed pool like cpp-httplib's own, with a hook on each thread's way out: database
// connections belong to their thread and are closed there.
class TWorkerPool : public httplib::TaskQueue {
public:
    TWorkerPool(int n, std::function<void()> onExit) : m_onExit(std::move(onExit))
    {
        for (int i = 0; i < n; ++i)
            m_threads.emplace_back([this] { work(); });
    }
    void enqueue(std::function<void()> fn) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_jobs.push_back(std::move(fn));
        }
        m_cond.notify_one();
    }
    void shutdown() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_shutdown = true;
        }
        m_cond.notify_all();
        for (auto& t : m_threads)
            t.join();
        m_threads.clear();
    }

private:
    void work()
    {
        for (;;) {
            std::function<void()> fn;
            {
                std::unique_lock lock(m_mutex);
                m_cond.wait(lock, [this] { return m_shutdown || !m_jobs.empty(); });
                if (m_jobs.empty())
                    break;
                fn = std::move(m_jobs.front());
                m_jobs.pop_front();
            }
            fn();
        }
        if (m_onExit)
            m_onExit();
    }

    std::function<void()> m_onExit;
    std::vector<std::thread> m_threads;
    std::deque<std::function<void()>> m_jobs;
    std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_shutdown = false;
};

void answer(httplib::Response& res, const QByteArray& xml)
{
    const QByteArray wire = KxEncodeAnswer(xml, 1);
    res.status = 200;
    res.set_content(wire.constData(), size_t(wire.size()), "application/octet-stream");
}

QString addr(const httplib::Request& req)
{
    return QString::fromStdString(req.remote_addr);
}
}

THttpFront::THttpFront(const TServiceOptions& options, TDispatcher& dispatcher, std::function<void()> onWorkerExit)
    : m_options(options), m_dispatcher(dispatcher), m_onWorkerExit(std::move(onWorkerExit)),
      m_server(std::make_unique<httplib::Server>())
{
    httplib::Server& s = *m_server;
    // Without TCP_NODELAY and a generous keep-alive count every small answer waits for the
    // peer's delayed ACK (about 40 ms) or for a new connection.
    s.set_tcp_nodelay(true);
    s.set_keep_alive_max_count(100000);
    s.set_keep_alive_timeout(30);
    s.set_read_timeout(m_options.readTimeoutSec, 0);
    s.set_write_timeout(m_options.writeTimeoutSec, 0);
    // Bodies above the limit are still read (and dropped) up to four times the limit so that
    // the client, still sending, gets the answer; beyond that the connection is cut.
    s.set_payload_max_length(size_t(m_options.maxBodyBytes) * 4);
    const int workers = m_options.workers > 0 ? m_options.workers : 16;
    s.new_task_queue = [this, workers] { return new TWorkerPool(workers, m_onWorkerExit); };

    s.Post("/Service.aspx", [this](const httplib::Request& req, httplib::Response& res,
                                   const httplib::ContentReader& reader) {
        const size_t maxBody = size_t(m_options.maxBodyBytes);
        const size_t maxParts = size_t(m_options.maxParts);
        size_t total = 0;
        bool tooBig = false, tooMany = false;
        if (!req.is_multipart_form_data()) {
            reader([&](const char*, size_t n) { total += n; return true; });
            answer(res, m_dispatcher.refuse(kxBadRequest, QStringLiteral("请求格式错误：需要 multipart/form-data 请求体"), addr(req)));
            return;
        }
        std::vector<TRawPart> parts;
        const bool read = reader(
            [&](const httplib::MultipartFormData& h) {
                if (parts.size() >= maxParts)
                    tooMany = true;
                else if (!tooBig)
                    parts.push_back({h.name, h.filename, {}});
                return true;
            },
            [&](const char* data, size_t n) {
                total += n;
                if (total > maxBody)
                    tooBig = true;
                if (!tooBig && !tooMany && !parts.empty())
                    parts.back().content.append(data, n);
                return true;
            });
        if (tooBig || (!read && res.status == 413)) {
            res.set_header("Connection", "close");
            answer(res, m_dispatcher.refuse(kxBadRequest, QStringLiteral("请求太大：超过 %1 MB 的上限").arg(maxBody >> 20), addr(req)));
            return;
        }
        if (!read) {
            res.set_header("Connection", "close");
            answer(res, m_dispatcher.refuse(kxBadRequest, QStringLiteral("请求格式错误：无法读取 multipart 请求体"), addr(req)));
            return;
        }
        if (tooMany) {
            answer(res, m_dispatcher.refuse(kxBadRequest, QStringLiteral("请求格式错误：字段超过 %1 个").arg(maxParts), addr(req)));
            return;
        }
        QByteArray xml;
        try {
            const TCall call = TCall::fromParts(std::move(parts), addr(req));
            xml = m_dispatcher.handle(call);
        } catch (const TServiceError& e) {
            xml = m_dispatcher.refuse(e.Code, e.Msg, addr(req));
        }
        answer(res, xml);
    });

    // Every other path, method or transport failure: still an answer the client can show.
    s.set_error_handler(httplib::Server::HandlerWithResponse([this](const httplib::Request& req, httplib::Response& res) {
        const int status = res.status;
        QString msg;
        if (status == 404 || status == 405)
            msg = QStringLiteral("服务地址错误：%1 %2").arg(QString::fromStdString(req.method), QString::fromStdString(req.path).left(100));
        else if (status == 413)
            msg = QStringLiteral("请求太大：超过 %1 MB 的上限").arg(m_options.maxBodyBytes >> 20);
        else
            msg = QStringLiteral("请求格式错误（HTTP %1）").arg(status);
        answer(res, m_dispatcher.refuse(kxBadRequest, msg, addr(req)));
        return httplib::Server::HandlerResponse::Handled;
    }));
    s.set_exception_handler([this](const httplib::Request& req, httplib::Response& res, std::exception_ptr) {
        answer(res, m_dispatcher.refuse(kxInternal, QStringLiteral("服务内部错误，请稍后重试或联系管理员"), addr(req)));
    });
}

THttpFront::~THttpFront()
{
    stop();
}

namespace {
// cpp-httplib listens with a backlog of 5, fixed when the library was built: a burst of
// clients connecting at once overflows it and some of them stall or fail. Listening again on
// the bound socket raises the backlog; the socket is found by its port.
void widenBacklog(int port)
{
    QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& entry : fds.entryList(QDir::NoDotAndDotDot | QDir::System | QDir::Files | QDir::AllEntries)) {
        bool ok = false;
        const int fd = entry.toInt(&ok);
        if (!ok)
            continue;
        int listening = 0;
        socklen_t len = sizeof listening;
        if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &len) != 0 || !listening)
            continue;
        sockaddr_storage addr{};
        socklen_t alen = sizeof addr;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &alen) != 0)
            continue;
        int p = -1;
        if (addr.ss_family == AF_INET)
            p = ntohs(reinterpret_cast<sockaddr_in*>(&addr)->sin_port);
        else if (addr.ss_family == AF_INET6)
            p = ntohs(reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port);
        if (p == port)
            ::listen(fd, 1024);
    }
}
}

int THttpFront::bind()
{
    const std::string host = m_options.host.toStdString();
    const int port = m_options.port == 0 ? m_server->bind_to_any_port(host)
                                         : (m_server->bind_to_port(host, m_options.port) ? m_options.port : -1);
    if (port > 0)
        widenBacklog(port);
    return port;
}

bool THttpFront::listen()
{
    return m_server->listen_after_bind();
}

bool THttpFront::isRunning() const
{
    return m_server->is_running();
}

void THttpFront::stop()
{
    if (m_server)
        m_server->stop();
}
