#include "HttpFront.h"

#include "CallBudget.h"
#include "Multipart.h"
#include "TlsContext.h"
#include "WorkerPool.h"
#include "dispatch/Dispatcher.h"
#include "market/ItemPicture.h"
#include "protocol/Call.h"
#include "protocol/ServiceError.h"
#include "uAnswerCodec.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>

#include <malloc.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/resource.h>

#include <array>
#include <atomic>
#include <limits>
#include <unordered_map>
#include <unordered_set>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using beast::error_code;

namespace {
constexpr size_t kHeaderLimit = 16 * 1024;
constexpr qint64 kTrimAfterBytes = qint64(1) << 20; // bodies above this hand freed memory back
constexpr std::chrono::seconds kLinger{2};          // reading what a closed connection still sends
constexpr size_t kKeepBuffer = 64 * 1024;           // a larger read buffer is dropped between calls
constexpr qint64 kSmallBody = 64 * 1024;            // bodies up to this take nothing from the budget

QString tooBig(qint64 max)
{
    return QStringLiteral("请求太大：超过 %1 MB 的上限").arg(max >> 20);
}

std::string addressText(const asio::ip::address& a)
{
    if (a.is_v6() && a.to_v6().is_v4_mapped())
        return asio::ip::make_address_v4(asio::ip::v4_mapped, a.to_v6()).to_string();
    return a.to_string();
}

class TConnection;

// A connection's bytes: plain TCP, or TLS over it. Asio's and Beast's algorithms take it as
// any stream; the deadlines are the TCP stream's either way.
class TFrontStream {
public:
    using executor_type = beast::tcp_stream::executor_type;
    TFrontStream(tcp::socket s, asio::ssl::context* tls)
    {
        if (tls)
            m_tls.emplace(beast::tcp_stream(std::move(s)), *tls);
        else
            m_plain.emplace(std::move(s));
    }
    bool isTls() const { return m_tls.has_value(); }
    beast::tcp_stream& lowest() { return m_tls ? m_tls->next_layer() : *m_plain; }
    executor_type get_executor() { return lowest().get_executor(); }
    tcp::socket& socket() { return lowest().socket(); }
    template <class Duration>
    void expires_after(Duration d) { lowest().expires_after(d); }
    void expires_never() { lowest().expires_never(); }
    void close() { lowest().close(); }

    template <class Buffers, class Handler>
    void async_read_some(const Buffers& b, Handler&& h)
    {
        if (m_tls)
            m_tls->async_read_some(b, std::forward<Handler>(h));
        else
            m_plain->async_read_some(b, std::forward<Handler>(h));
    }
    template <class Buffers, class Handler>
    void async_write_some(const Buffers& b, Handler&& h)
    {
        if (m_tls)
            m_tls->async_write_some(b, std::forward<Handler>(h));
        else
            m_plain->async_write_some(b, std::forward<Handler>(h));
    }
    template <class Handler>
    void async_handshake(Handler&& h) { m_tls->async_handshake(asio::ssl::stream_base::server, std::forward<Handler>(h)); }

private:
    std::optional<beast::tcp_stream> m_plain;
    std::optional<beast::ssl_stream<beast::tcp_stream>> m_tls;
};
}

struct THttpFront::TImpl {
    TImpl(const TServiceOptions& o, TDispatcher& disp, std::function<void()> onWorkerExit)
        : options(o), dispatcher(disp), tls(KxTlsContext(o)), budget(o.callMemoryBytes),
          pool(o.workers > 0 ? o.workers : 16, std::move(onWorkerExit))
    {
    }

    void accept();
    void admit(tcp::socket s);
    // On a worker: the body becomes a call, the call an answer (compressed, ready to send).
    QByteArray runCall(QByteArray&& body, const std::string& boundary, const QString& addr, const QString& forwardedFor);
    std::chrono::seconds seconds(int s) const { return std::chrono::seconds(s > 0 ? s : 1); }

    const TServiceOptions& options;
    TDispatcher& dispatcher;
    std::function<THttpFront::THealth()> health;
    std::shared_ptr<asio::ssl::context> tls; // null: plain HTTP
    // Touched on the network thread only. Declared before the io context: connections still
    // queued in it unregister here when it is destroyed.
    std::unordered_set<TConnection*> live;
    std::unordered_map<std::string, int> perAddress;
    int maxConnections = 0;
    TCallBudget budget;
    std::array<char, 64 * 1024> scratch{}; // what is read only to be dropped
    std::atomic<bool> running{false};
    std::atomic<bool> stopped{false};

    asio::io_context io{1};
    asio::executor_work_guard<asio::io_context::executor_type> guard{io.get_executor()};
    tcp::acceptor acceptor{io};
    asio::steady_timer acceptRetry{io};
    TWorkerPool pool; // last: joined first, while everything its calls use still exists
};

namespace {
// One client connection, on the network thread. Its state lives as long as an operation,
// a timer, the memory budget or a worker holds it; when none does, the socket closes.
class TConnection : public std::enable_shared_from_this<TConnection> {
public:
    TConnection(THttpFront::TImpl& front, tcp::socket socket, std::string addr, bool counted)
        : m_front(front), m_stream(std::move(socket), front.tls.get()), m_addr(std::move(addr)),
          m_qaddr(QString::fromStdString(m_addr)), m_counted(counted)
    {
        m_front.live.insert(this);
    }
    ~TConnection()
    {
        m_front.live.erase(this);
        if (m_reserved)
            m_front.budget.give(m_reserved);
        if (m_counted) {
            auto it = m_front.perAddress.find(m_addr);
            if (it != m_front.perAddress.end() && --it->second <= 0)
                m_front.perAddress.erase(it);
        }
    }

    void start()
    {
        handshakeThen([this] { readHeader(); });
    }

    // Too many connections from this address: the refusal, then the connection ends.
    void refuseAtOnce(const QString& msg)
    {
        handshakeThen([this, msg] { answerNow(kxBusy, msg); });
    }

    void abort()
    {
        const auto keep = shared_from_this(); // cancelling the wait may drop the last other owner
        if (m_inCall) {
            m_aborted = true; // a worker may be writing to the socket; closed when it is done
            return;
        }
        if (m_ticket) {
            m_front.budget.cancel(m_ticket);
            m_ticket = 0;
        }
        if (m_budgetTimer)
            m_budgetTimer->cancel();
        m_stream.close();
    }

private:
    // Over TLS the handshake comes first, within the time a request's headers have.
    void handshakeThen(std::function<void()> next)
    {
        if (!m_stream.isTls())
            return next();
        m_stream.expires_after(m_front.seconds(m_front.options.headerTimeoutSec));
        m_stream.async_handshake([self = shared_from_this(), next = std::move(next)](error_code ec) {
            if (!ec)
                next();
        });
    }

    void readHeader()
    {
        m_parser.emplace();
        m_parser->header_limit(kHeaderLimit);
        // The front reads bodies and checks their size itself. (No limit must be the largest
        // one: Boost 1.74 compares the length with an empty limit and refuses every body.)
        m_parser->body_limit(std::numeric_limits<std::uint64_t>::max());
        m_stream.expires_after(m_front.seconds(m_front.options.headerTimeoutSec));
        http::async_read_header(m_stream, m_buf, *m_parser,
                                [self = shared_from_this()](error_code ec, size_t) { self->onHeader(ec); });
    }

    // Between calls a kept-alive connection may idle longer than a request may take to come.
    void waitForNextRequest()
    {
        if (m_buf.size() > 0)
            return readHeader();
        if (m_buf.capacity() > kKeepBuffer)
            m_buf.shrink_to_fit();
        m_stream.expires_after(m_front.seconds(m_front.options.keepAliveSec));
        m_stream.async_read_some(m_buf.prepare(512), [self = shared_from_this()](error_code ec, size_t n) {
            if (ec)
                return;
            self->m_buf.commit(n);
            self->readHeader();
        });
    }

    void onHeader(error_code ec)
    {
        if (ec) {
            // A peer that went away or ran out of time is just closed; a request that is not
            // HTTP still gets an answer it can show.
            if (ec.category() != http::make_error_code(http::error::bad_method).category()
                || ec == http::error::end_of_stream || ec == http::error::partial_message)
                return;
            answerNow(kxBadRequest, ec == http::error::header_limit ? QStringLiteral("请求格式错误：请求头太大")
                                                                     : QStringLiteral("请求格式错误：无法读取 HTTP 请求"));
            return;
        }
        const auto& req = m_parser->get();
        m_keepAlive = m_parser->keep_alive();
        const auto expect = req[http::field::expect];
        m_continue = beast::iequals(expect, "100-continue");
        const std::string_view target(req.target().data(), req.target().size());
        const std::string_view path = target.substr(0, target.find('?'));
        if (req.method() == http::verb::get && path == "/health" && m_front.health)
            return runHealth();
        if ((req.method() == http::verb::get || req.method() == http::verb::head) && path.starts_with("/market/pic/"))
            return answerPicture(path, req.method() == http::verb::head);
        if (req.method() != http::verb::post || path != "/Service.aspx") {
            const auto method = req.method_string();
            return refuseAfterBody(kxBadRequest, QStringLiteral("服务地址错误：%1 %2")
                                                     .arg(QString::fromUtf8(method.data(), qsizetype(method.size())),
                                                          QString::fromUtf8(path.data(), qsizetype(path.size())).left(100)));
        }
        if (m_parser->chunked())
            return answerNow(kxBadRequest, QStringLiteral("请求格式错误：需要 Content-Length 请求头"));
        m_length = qint64(m_parser->content_length().value_or(0));
        const qint64 max = m_front.options.maxBodyBytes;
        // Bodies above the limit are still read (and dropped) up to four times the limit so
        // that the client, still sending, gets the answer; beyond that the connection is cut.
        if (m_length > max * 4 || m_length < 0)
            return answerNow(kxBadRequest, tooBig(max));
        if (m_length > max)
            return refuseAfterBody(kxBadRequest, tooBig(max));
        const auto type = req[http::field::content_type];
        const std::string_view contentType(type.data(), type.size());
        if (!beast::iequals(type.substr(0, 19), "multipart/form-data"))
            return refuseAfterBody(kxBadRequest, QStringLiteral("请求格式错误：需要 multipart/form-data 请求体"));
        m_boundary = KxMultipartBoundary(contentType);
        // Kept as sent; the dispatcher believes it only from a proxy it was told to trust.
        const auto forwarded = req["X-Forwarded-For"];
        m_forwardedFor = QString::fromUtf8(forwarded.data(), qsizetype(std::min<size_t>(forwarded.size(), 200)));
        if (m_boundary.empty())
            return refuseAfterBody(kxBadRequest, QStringLiteral("请求格式错误：无法读取 multipart 请求体"));
        m_parser.reset();
        reserve();
    }

    // The call's share of the memory budget, before a byte of its body is held. Small bodies
    // take none: what they hold is bounded by the connections and the workers, and a budget
    // taken by a few big bodies trickling in must not stop logins and lookups.
    void reserve()
    {
        if (m_length <= kSmallBody)
            return readBody();
        const qint64 share = m_front.budget.share(m_length * kKxCallMemoryFactor);
        auto self = shared_from_this();
        m_ticket = m_front.budget.take(share, [self, share] {
            self->m_ticket = 0;
            self->m_reserved = share;
            if (self->m_budgetTimer)
                self->m_budgetTimer->cancel();
            self->readBody();
        });
        if (!m_ticket) {
            m_reserved = share;
            return readBody();
        }
        m_budgetTimer.emplace(m_front.io);
        m_budgetTimer->expires_after(m_front.seconds(m_front.options.callMemoryWaitSec));
        m_budgetTimer->async_wait([self](error_code ec) {
            if (ec || !self->m_ticket)
                return;
            self->m_front.budget.cancel(self->m_ticket);
            self->m_ticket = 0;
            self->refuseAfterBody(kxBusy, QStringLiteral("服务繁忙：同时提交的数据太多，请稍后重试"));
        });
    }

    // The body goes straight from the socket into the one buffer that becomes the call.
    void readBody()
    {
        withContinue([this] {
            m_body = QByteArray(qsizetype(m_length), Qt::Uninitialized);
            const size_t have = std::min(m_buf.size(), size_t(m_length));
            asio::buffer_copy(asio::buffer(m_body.data(), have), m_buf.data());
            m_buf.consume(have);
            m_stream.expires_after(m_front.seconds(m_front.options.bodyTimeoutSec));
            asio::async_read(m_stream, asio::buffer(m_body.data() + have, size_t(m_length) - have),
                             [self = shared_from_this()](error_code ec, size_t) {
                                 if (ec)
                                     return;
                                 self->m_stream.expires_never();
                                 self->run();
                             });
        });
    }

    // While the worker has the call, the network thread leaves the connection alone: the
    // worker sends what the socket takes at once (no hop back before the client has its
    // answer), the network thread writes the rest.
    void run()
    {
        m_inCall = true;
        m_front.pool.enqueue([self = shared_from_this(), body = std::move(m_body)]() mutable {
            self->setAnswer(self->m_front.runCall(std::move(body), self->m_boundary, self->m_qaddr, self->m_forwardedFor), self->m_keepAlive);
            self->answerFromWorker();
        });
    }

    void runHealth()
    {
        m_parser.reset();
        m_inCall = true;
        m_front.pool.enqueue([self = shared_from_this()] {
            const THttpFront::THealth h = self->m_front.health();
            self->setAnswer(QByteArray::fromStdString(h.json), self->m_keepAlive,
                            h.ok ? "200 OK" : "503 Service Unavailable", "application/json");
            self->answerFromWorker();
        });
    }

    // On the worker that made the answer: what the socket takes now, the rest from the
    // network thread.
    void answerFromWorker()
    {
        const size_t sent = sendNow();
        asio::post(m_front.io, [self = shared_from_this(), sent] {
            self->m_inCall = false;
            self->m_front.budget.give(self->m_reserved);
            self->m_reserved = 0;
            if (self->m_aborted)
                return self->m_stream.close();
            self->writeFrom(sent);
        });
    }

    // TLS records are written by the network thread only.
    size_t sendNow()
    {
        if (m_stream.isTls())
            return 0;
        iovec parts[2] = {{m_head.data(), m_head.size()}, {m_wire.data(), size_t(m_wire.size())}};
        msghdr msg{};
        msg.msg_iov = parts;
        msg.msg_iovlen = 2;
        const ssize_t n = ::sendmsg(m_stream.socket().native_handle(), &msg, MSG_DONTWAIT | MSG_NOSIGNAL);
        return n > 0 ? size_t(n) : 0; // a failure shows again in the write that follows
    }

    // Reads the announced body and drops it, so that a client still sending gets the answer.
    void refuseAfterBody(int code, const QString& msg)
    {
        m_parser.reset();
        withContinue([this, code, msg] {
            m_drainLeft = size_t(std::max<qint64>(m_length, 0));
            m_stream.expires_after(m_front.seconds(m_front.options.bodyTimeoutSec));
            drain([self = shared_from_this(), code, msg] { self->answerNow(code, msg); });
        });
    }

    void drain(std::function<void()> then)
    {
        const size_t have = std::min(m_buf.size(), m_drainLeft);
        m_buf.consume(have);
        m_drainLeft -= have;
        if (m_drainLeft == 0)
            return then();
        m_stream.async_read_some(asio::buffer(m_front.scratch.data(), std::min(m_front.scratch.size(), m_drainLeft)),
                                 [self = shared_from_this(), then = std::move(then)](error_code ec, size_t n) mutable {
                                     if (ec)
                                         return;
                                     self->m_drainLeft -= n;
                                     self->drain(std::move(then));
                                 });
    }

    // A client that announced "Expect: 100-continue" waits for this before it sends the body.
    void withContinue(std::function<void()> next)
    {
        if (!m_continue)
            return next();
        m_continue = false;
        static const char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
        m_stream.expires_after(m_front.seconds(m_front.options.writeTimeoutSec));
        asio::async_write(m_stream, asio::buffer(kContinue, sizeof kContinue - 1),
                          [self = shared_from_this(), next = std::move(next)](error_code ec, size_t) {
                              if (!ec)
                                  next();
                          });
    }

    // The marketplace's item pictures: read-only, open to anyone, no call behind them. A
    // request with a body is answered and the connection closed.
    void answerPicture(std::string_view path, bool headOnly)
    {
        const bool keepAlive = m_keepAlive && m_parser->content_length().value_or(0) == 0 && !m_parser->chunked();
        const QByteArray png = KxItemPictureAt(QString::fromUtf8(path.data(), qsizetype(path.size())));
        m_parser.reset();   // the path lies in its buffer
        const std::string connection = keepAlive ? "\r\nConnection: keep-alive\r\n\r\n" : "\r\nConnection: close\r\n\r\n";
        m_answerKeepsAlive = keepAlive;
        if (png.isEmpty()) {
            m_wire = QByteArray();
            m_head = "HTTP/1.1 404 Not Found\r\nContent-Length: 0" + connection;
        } else {
            m_wire = headOnly ? QByteArray() : png;
            m_head = "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nCache-Control: public, max-age=86400\r\nContent-Length: "
                     + std::to_string(png.size()) + connection;
        }
        writeFrom(0);
    }

    // A refusal before any call exists; the connection ends after it.
    void answerNow(int code, const QString& msg)
    {
        send(KxEncodeAnswer(m_front.dispatcher.refuse(code, msg, m_qaddr), 1), false);
    }

    void send(QByteArray wire, bool keepAlive)
    {
        setAnswer(std::move(wire), keepAlive);
        writeFrom(0);
    }

    void setAnswer(QByteArray wire, bool keepAlive, const char* status = "200 OK", const char* type = "application/octet-stream")
    {
        m_wire = std::move(wire);
        m_answerKeepsAlive = keepAlive;
        m_head = std::string("HTTP/1.1 ") + status + "\r\nContent-Type: " + type + "\r\nContent-Length: " + std::to_string(m_wire.size())
               + (keepAlive ? "\r\nConnection: keep-alive\r\n\r\n" : "\r\nConnection: close\r\n\r\n");
    }

    // Writes the answer from byte `sent` of head and body on.
    void writeFrom(size_t sent)
    {
        const size_t head = m_head.size(), total = head + size_t(m_wire.size());
        if (sent >= total)
            return answered();
        const std::array<asio::const_buffer, 2> buffers{asio::buffer(m_head) + std::min(sent, head),
                                                        asio::buffer(m_wire.constData(), size_t(m_wire.size())) + (sent > head ? sent - head : 0)};
        m_stream.expires_after(m_front.seconds(m_front.options.writeTimeoutSec));
        asio::async_write(m_stream, buffers, [self = shared_from_this()](error_code ec, size_t) {
            if (!ec)
                self->answered();
        });
    }

    void answered()
    {
        m_wire = QByteArray();
        if (m_answerKeepsAlive)
            waitForNextRequest();
        else
            lingerClose();
    }

    // Closing with unread input would reset the connection and could destroy the answer on
    // its way: stop sending, read whatever still comes for a moment, then close.
    void lingerClose()
    {
        error_code ec;
        m_stream.socket().shutdown(tcp::socket::shutdown_send, ec);
        if (ec)
            return;
        m_stream.expires_after(kLinger);
        discard();
    }

    void discard()
    {
        m_stream.async_read_some(asio::buffer(m_front.scratch), [self = shared_from_this()](error_code ec, size_t) {
            if (!ec)
                self->discard();
        });
    }

    THttpFront::TImpl& m_front;
    TFrontStream m_stream;
    beast::flat_buffer m_buf;
    std::optional<http::request_parser<http::empty_body>> m_parser;
    const std::string m_addr;
    const QString m_qaddr;
    const bool m_counted;
    bool m_keepAlive = true;
    bool m_answerKeepsAlive = true;
    bool m_continue = false;
    bool m_inCall = false;
    bool m_aborted = false;
    qint64 m_length = 0;
    size_t m_drainLeft = 0;
    std::string m_boundary;
    QString m_forwardedFor;
    QByteArray m_body;
    qint64 m_reserved = 0;
    TCallBudget::TTicket m_ticket = 0;
    std::optional<asio::steady_timer> m_budgetTimer;
    std::string m_head;
    QByteArray m_wire;
};
}

void THttpFront::TImpl::accept()
{
    acceptor.async_accept([this](error_code ec, tcp::socket s) {
        if (!acceptor.is_open())
            return;
        if (ec) {
            // Out of descriptors or a connection reset while queued: try again shortly
            // rather than spinning.
            acceptRetry.expires_after(std::chrono::milliseconds(50));
            acceptRetry.async_wait([this](error_code e) {
                if (!e)
                    accept();
            });
            return;
        }
        admit(std::move(s));
        accept();
    });
}

void THttpFront::TImpl::admit(tcp::socket s)
{
    error_code ec;
    const tcp::endpoint peer = s.remote_endpoint(ec);
    if (ec || int(live.size()) >= maxConnections)
        return; // closed as it goes
    s.set_option(tcp::no_delay(true), ec);
    std::string addr = addressText(peer.address());
    const auto it = perAddress.find(addr);
    if (it != perAddress.end() && it->second >= options.maxConnsPerAddr) {
        std::make_shared<TConnection>(*this, std::move(s), std::move(addr), false)
            ->refuseAtOnce(QStringLiteral("连接太多：同一地址最多 %1 个连接，请稍后重试").arg(options.maxConnsPerAddr));
        return;
    }
    ++perAddress[addr];
    std::make_shared<TConnection>(*this, std::move(s), std::move(addr), true)->start();
}

QByteArray THttpFront::TImpl::runCall(QByteArray&& body, const std::string& boundary, const QString& addr,
                                      const QString& forwardedFor)
{
    const bool big = body.size() > kTrimAfterBytes;
    QByteArray wire;
    {
        QByteArray xml;
        try {
            TCall call = TCall::fromParts(KxSplitMultipart(std::move(body), boundary, options.maxParts), addr);
            call.setForwardedFor(forwardedFor);
            xml = dispatcher.handle(std::move(call));
        } catch (const TServiceError& e) {
            xml = dispatcher.refuse(e.Code, e.Msg, addr);
        } catch (const std::exception&) {
            xml = dispatcher.refuse(kxInternal, QStringLiteral("服务内部错误，请稍后重试或联系管理员"), addr);
        }
        body = QByteArray();
        wire = KxEncodeAnswer(xml, 1);
    }
    // What a big call freed goes back to the system now, not when some later call reuses it.
    if (big)
        ::malloc_trim(0);
    return wire;
}

THttpFront::THttpFront(const TServiceOptions& options, TDispatcher& dispatcher, std::function<void()> onWorkerExit)
    : d(std::make_unique<TImpl>(options, dispatcher, std::move(onWorkerExit)))
{
    // Bodies, deltas and answers of big calls are single large buffers. glibc would raise its
    // mmap threshold after the first is freed and put the next ones in a worker's heap, where
    // freed memory stays; a fixed threshold keeps them mapped and returned on free.
    ::mallopt(M_MMAP_THRESHOLD, 256 * 1024);
}

THttpFront::~THttpFront()
{
    stop();
}

void THttpFront::setHealthProbe(std::function<THealth()> probe)
{
    d->health = std::move(probe);
}

int THttpFront::bind()
{
    // Every connection is a descriptor: take what the system allows, keep some for the
    // database and the log.
    rlimit lim{};
    if (::getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur < lim.rlim_max) {
        lim.rlim_cur = lim.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &lim);
        ::getrlimit(RLIMIT_NOFILE, &lim);
    }
    const qint64 fds = lim.rlim_cur == RLIM_INFINITY ? qint64(1) << 20 : qint64(lim.rlim_cur);
    d->maxConnections = int(std::clamp<qint64>(std::min<qint64>(d->options.maxConnections, fds - 128), 16, 1 << 20));

    error_code ec;
    tcp::resolver resolver(d->io);
    const auto endpoints = resolver.resolve(d->options.host.toStdString(), std::to_string(d->options.port),
                                            tcp::resolver::passive | tcp::resolver::numeric_service, ec);
    if (ec)
        return -1;
    for (const auto& e : endpoints) {
        tcp::acceptor& a = d->acceptor;
        a.open(e.endpoint().protocol(), ec);
        if (ec)
            continue;
        a.set_option(asio::socket_base::reuse_address(true), ec);
        a.bind(e.endpoint(), ec);
        if (!ec)
            a.listen(asio::socket_base::max_listen_connections, ec);
        if (!ec)
            return a.local_endpoint().port();
        a.close(ec);
    }
    return -1;
}

bool THttpFront::listen()
{
    if (!d->acceptor.is_open() || d->stopped)
        return false;
    d->accept();
    d->running = true;
    d->io.run();
    d->running = false;
    return true;
}

bool THttpFront::isRunning() const
{
    return d->running;
}

void THttpFront::stop()
{
    if (d->stopped.exchange(true))
        return;
    asio::post(d->io, [impl = d.get()] {
        error_code ec;
        impl->acceptor.close(ec);
        impl->acceptRetry.cancel();
        const std::vector<TConnection*> open(impl->live.begin(), impl->live.end());
        for (TConnection* c : open)
            c->abort();
    });
    // Calls in hand finish; their answers meet closed sockets. Then the network thread runs
    // out of work and listen() returns.
    d->pool.shutdown();
    d->guard.reset();
}
