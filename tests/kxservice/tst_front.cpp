// The service's HTTP front on loopback: idle and slow connections cost no worker and are
// closed in time, the per-address cap, kept-alive clients, the memory budget of calls, and
// the multipart bodies the client writes. Every wait here is bounded; the test stops by
// itself within seconds.
#include "KxService.h"
#include "ScriptedUi.h"
#include "http/Multipart.h"
#include "http/WorkerPool.h"
#include "protocol/ServiceError.h"
#include "uConfig.h"
#include "uHttpWeb.h"
#include "uResponse.h"

#include <httplib.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <memory>
#include <set>
#include <thread>

namespace {
// A service on a free loopback port with two workers, short limits and its own database.
struct TFront {
    explicit TFront(std::function<void(TServiceOptions&)> adjust = {})
    {
        TServiceOptions o;
        o.port = 0;
        o.db = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("front.db"));
        o.logFile = dir.filePath(QStringLiteral("service.log"));
        o.workers = 2;
        o.headerTimeoutSec = 1;
        o.bodyTimeoutSec = 2;
        o.keepAliveSec = 3;
        if (adjust)
            adjust(o);
        service = std::make_unique<TKxService>(o);
        service->prepare();
        service->start();
    }
    ~TFront() { KxResetTransport(); }
    int port() const { return service->port(); }

    QTemporaryDir dir;
    std::unique_ptr<TKxService> service;
};

struct TBody {
    QByteArray bytes, contentType;
};

// A call of the seller's shop list as the client writes it, with an optional padding field.
TBody shopCall(qsizetype padding = 0)
{
    THttpWeb web;
    web.setNickid(QStringLiteral("1001"));
    web.setOperid(QString());
    web.setShopid(QString());
    web.setModule(QStringLiteral("PowerMger.Shop"));
    if (padding)
        web.Request()->AddFiles(QStringLiteral("note"), QString(padding, QLatin1Char('x')));
    QString ct;
    TBody b;
    b.bytes = web.BuildBody(&ct);
    b.contentType = ct.toUtf8();
    return b;
}

QByteArray request(const TBody& b)
{
    return "POST /Service.aspx HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " + b.contentType
         + "\r\nContent-Length: " + QByteArray::number(b.bytes.size()) + "\r\n\r\n" + b.bytes;
}

// A socket connected to the service from the given loopback address (all of 127/8 is local).
class TSocket {
public:
    TSocket(int port, const char* from = "127.0.0.1")
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &a.sin_addr);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(quint16(port));
        ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
    }
    ~TSocket() { close(); }
    TSocket(const TSocket&) = delete;
    TSocket& operator=(const TSocket&) = delete;

    bool connected() const { return m_connected; }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    bool send(const QByteArray& bytes) { return ::send(m_fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) == bytes.size(); }

    // Everything the service sends until it closes the connection or `ms` pass; `closed`
    // tells which.
    QByteArray readUntilClosed(int ms, bool* closed)
    {
        QByteArray got;
        *closed = false;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms) {
            if (!waitReadable(int(ms - t.elapsed())))
                break;
            char buf[4096];
            const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0) {
                *closed = true;
                break;
            }
            got.append(buf, n);
        }
        return got;
    }

    // One HTTP answer on this connection; what the client would show, or "<ok>".
    QString call(const TBody& b, int ms = 5000)
    {
        if (!send(request(b)))
            return QStringLiteral("<send failed>");
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms && waitReadable(int(ms - t.elapsed()))) {
            char buf[4096];
            const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            got.append(buf, n);
            const qsizetype end = got.indexOf("\r\n\r\n");
            if (end < 0)
                continue;
            const qsizetype at = got.toLower().indexOf("content-length:");
            const qsizetype length = got.mid(at + 15, got.indexOf("\r\n", at) - at - 15).trimmed().toLongLong();
            if (got.size() - end - 4 >= length)
                return decode(got.mid(end + 4, length));
        }
        return QStringLiteral("<no answer: %1>").arg(QString::fromLatin1(got.left(80)));
    }

    static QString decode(const QByteArray& wire)
    {
        TResponse r;
        try {
            r.DataReceive(wire);
            return QStringLiteral("<ok>");
        } catch (const EKXServiceError& e) {
            return e.Message;
        }
    }

private:
    bool waitReadable(int ms)
    {
        pollfd p{m_fd, POLLIN, 0};
        return ::poll(&p, 1, std::max(ms, 0)) > 0;
    }
    int m_fd = -1;
    bool m_connected = false;
};

// A real client call over cpp-httplib with a bounded wait.
QString clientCall(httplib::Client& c, const TBody& b)
{
    auto res = c.Post("/Service.aspx", b.bytes.toStdString(), b.contentType.constData());
    if (!res)
        return QStringLiteral("<transport error %1>").arg(int(res.error()));
    return TSocket::decode(QByteArray::fromStdString(res->body));
}

const QByteArray kHeaderStart = "POST /Service.aspx HTTP/1.1\r\nHost: 127.0.0.1\r\n";
}

class TestFront : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // With far more waiting connections than workers, a real client is still answered.
    void callsAreAnsweredWhileIdleAndSlowConnectionsWait()
    {
        TFront f([](TServiceOptions& o) {
            o.headerTimeoutSec = 4;
            o.bodyTimeoutSec = 4;
        });
        const TBody b = shopCall();
        std::vector<std::unique_ptr<TSocket>> waiting;
        for (int i = 0; i < 30; ++i) {
            const QByteArray from = "127.0.1." + QByteArray::number(i % 10 + 1);
            waiting.push_back(std::make_unique<TSocket>(f.port(), from.constData()));
            QVERIFY(waiting.back()->connected());
            if (i % 3 == 1) // headers that never end
                waiting.back()->send(kHeaderStart + "X-Slow: ");
            else if (i % 3 == 2) // a body that never comes
                waiting.back()->send(kHeaderStart + "Content-Type: " + b.contentType + "\r\nContent-Length: 100000\r\n\r\n--");
        }
        httplib::Client keep("127.0.0.1", f.port());
        keep.set_keep_alive(true);
        keep.set_read_timeout(3, 0);
        httplib::Client fresh("127.0.0.1", f.port());
        fresh.set_read_timeout(3, 0);
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(clientCall(keep, b), QStringLiteral("<ok>"));
            QCOMPARE(clientCall(fresh, b), QStringLiteral("<ok>"));
        }
    }

    // Each kind of waiting connection is closed once its time is up, however it trickles.
    void slowConnectionsAreClosedInTime_data()
    {
        QTest::addColumn<QByteArray>("opening");
        QTest::addColumn<QByteArray>("trickle");   // sent every 200 ms until closed
        QTest::addColumn<bool>("callFirst");
        const TBody b = shopCall();
        QTest::newRow("silent") << QByteArray() << QByteArray() << false;
        QTest::newRow("headers trickling") << kHeaderStart << QByteArray("X") << false;
        QTest::newRow("body trickling") << kHeaderStart + "Content-Type: " + b.contentType + "\r\nContent-Length: 100000\r\n\r\n"
                                        << QByteArray("x") << false;
        QTest::newRow("idle after a call") << QByteArray() << QByteArray() << true;
    }
    void slowConnectionsAreClosedInTime()
    {
        QFETCH(QByteArray, opening);
        QFETCH(QByteArray, trickle);
        QFETCH(bool, callFirst);
        TFront f;
        TSocket s(f.port());
        QVERIFY(s.connected());
        if (callFirst)
            QCOMPARE(s.call(shopCall()), QStringLiteral("<ok>"));
        if (!opening.isEmpty())
            QVERIFY(s.send(opening));
        bool closed = false;
        QElapsedTimer t;
        t.start();
        while (!closed && t.elapsed() < 8000) {
            s.readUntilClosed(200, &closed);
            if (!trickle.isEmpty() && !closed)
                s.send(trickle);
        }
        QVERIFY2(closed, "still open after 8 s");
        // The service goes on serving.
        TSocket next(f.port());
        QCOMPARE(next.call(shopCall()), QStringLiteral("<ok>"));
    }

    // Requests that never become a call are answered with what is wrong, then closed.
    void requestsRefusedBeforeACall_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("expected");
        QTest::newRow("not HTTP") << QByteArray("HELLO\r\n\r\n") << QStringLiteral("无法读取 HTTP 请求");
        QTest::newRow("headers too large") << kHeaderStart + "X-Big: " + QByteArray(20000, 'a') + "\r\n\r\n"
                                           << QStringLiteral("请求头太大");
        QTest::newRow("chunked body") << kHeaderStart + "Transfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\n\r\n"
                                      << QStringLiteral("需要 Content-Length");
        QTest::newRow("GET") << QByteArray("GET /Service.aspx HTTP/1.1\r\nHost: x\r\n\r\n") << QStringLiteral("服务地址错误：GET /Service.aspx");
    }
    void requestsRefusedBeforeACall()
    {
        QFETCH(QByteArray, request);
        QFETCH(QString, expected);
        TFront f;
        TSocket s(f.port());
        QVERIFY(s.send(request));
        bool closed = false;
        const QByteArray got = s.readUntilClosed(5000, &closed);
        QVERIFY(closed);
        const qsizetype body = got.indexOf("\r\n\r\n");
        QVERIFY2(body > 0, got.left(100).constData());
        const QString shown = TSocket::decode(got.mid(body + 4));
        QVERIFY2(shown.contains(expected), qPrintable(shown));
    }

    // A client that asks before sending its body is told to go on.
    void expectContinueIsAnswered()
    {
        TFront f;
        TSocket s(f.port());
        const TBody b = shopCall();
        QVERIFY(s.send(kHeaderStart + "Content-Type: " + b.contentType + "\r\nContent-Length: " + QByteArray::number(b.bytes.size())
                       + "\r\nExpect: 100-continue\r\n\r\n"));
        bool closed = false;
        QCOMPARE(s.readUntilClosed(500, &closed), QByteArray("HTTP/1.1 100 Continue\r\n\r\n"));
        QVERIFY(!closed);
        QVERIFY(s.send(b.bytes));
        const QByteArray got = s.readUntilClosed(1000, &closed);
        QVERIFY2(got.startsWith("HTTP/1.1 200"), got.left(100).constData());
        QCOMPARE(TSocket::decode(got.mid(got.indexOf("\r\n\r\n") + 4)), QStringLiteral("<ok>"));
    }

    // A connection beyond the cap of its address is refused with a message; other addresses
    // and freed places are not affected.
    void connectionsPerAddressAreCapped()
    {
        TFront f([](TServiceOptions& o) {
            o.maxConnsPerAddr = 3;
            o.headerTimeoutSec = 30; // the held places stay held for the whole test
        });
        std::vector<std::unique_ptr<TSocket>> held;
        for (int i = 0; i < 3; ++i) {
            held.push_back(std::make_unique<TSocket>(f.port(), "127.0.2.1"));
            QVERIFY(held.back()->connected());
        }
        QCOMPARE(held[0]->call(shopCall()), QStringLiteral("<ok>")); // a held place still serves

        TSocket extra(f.port(), "127.0.2.1");
        const QString refused = extra.call(shopCall());
        QVERIFY2(refused.contains(QStringLiteral("连接太多：同一地址最多 3 个连接")), qPrintable(refused));
        bool closed = false;
        extra.readUntilClosed(3000, &closed);
        QVERIFY(closed);

        TSocket other(f.port(), "127.0.2.2");
        QCOMPARE(other.call(shopCall()), QStringLiteral("<ok>"));

        held.pop_back();
        QString again;
        for (int i = 0; i < 20 && again != QLatin1String("<ok>"); ++i) { // the close reaches the service
            QTest::qWait(50);
            TSocket s(f.port(), "127.0.2.1");
            again = s.call(shopCall());
        }
        QCOMPARE(again, QStringLiteral("<ok>"));
    }

    // The desktop client keeps its connection between calls, and finds its way back when the
    // service has closed it after the idle limit.
    void keptAliveClientsKeepWorking()
    {
        TFront f;
        TSocket s(f.port());
        QCOMPARE(s.call(shopCall()), QStringLiteral("<ok>"));
        QTest::qWait(1500); // past the header limit, within the idle limit
        QCOMPARE(s.call(shopCall(3 << 20)), QStringLiteral("<ok>")); // a body of megabytes too
        QCOMPARE(s.call(shopCall()), QStringLiteral("<ok>"));

        KxSetServiceUrl(f.service->url());
        TScriptedUi ui;
        for (int round = 0; round < 2; ++round) {
            THttpWeb web;
            web.setNickid(QStringLiteral("1001"));
            web.setModule(QStringLiteral("PowerMger.Shop"));
            QVERIFY2(web.SendData(), qPrintable(ui.messages.isEmpty() ? QString() : ui.messages.last().text));
            if (round == 0)
                QTest::qWait(3500); // past the idle limit: the service has closed the connection
        }
        KxSetServiceUrl(QString());
    }

    // The marketplace's item pictures are read by anyone, without a call; the connection goes
    // on to serve calls. Anything else under the address is not found, and the address takes
    // no calls.
    void itemPicturesAreServed()
    {
        TFront f;
        httplib::Client c("127.0.0.1", f.port());
        c.set_keep_alive(true);
        auto res = c.Get("/market/pic/520000000003.jpg_120x120.jpg");
        QVERIFY(res);
        QCOMPARE(res->status, 200);
        QCOMPARE(QString::fromStdString(res->get_header_value("Content-Type")), QStringLiteral("image/png"));
        QVERIFY(QByteArray::fromStdString(res->body).startsWith("\x89PNG"));
        QCOMPARE(clientCall(c, shopCall()), QStringLiteral("<ok>"));
        res = c.Head("/market/pic/520000000003.jpg");
        QVERIFY(res);
        QCOMPARE(res->status, 200);
        QVERIFY(res->body.empty());
        for (const char* missing : {"/market/pic/520000000003.gif", "/market/pic/x.jpg", "/market/pic/"}) {
            res = c.Get(missing);
            QVERIFY(res);
            QCOMPARE(res->status, 404);
        }
        res = c.Post("/market/pic/520000000003.jpg", shopCall().bytes.toStdString(), shopCall().contentType.constData());
        QVERIFY(res);
        QVERIFY(TSocket::decode(QByteArray::fromStdString(res->body)).contains(QStringLiteral("服务地址错误")));
    }

    // Calls whose bodies do not fit in the memory budget wait, then are refused as busy;
    // small calls pass even when the budget is all taken, and the big one passes once it is
    // free.
    void callsBeyondTheMemoryBudgetWaitThenAreRefused()
    {
        // Room for 250 KB of bodies: the holder announces more, and takes it all.
        TFront f([](TServiceOptions& o) {
            o.callMemoryBytes = qint64(kKxCallMemoryFactor) * 250 * 1024;
            o.callMemoryWaitSec = 1;
            o.bodyTimeoutSec = 30;
        });
        const TBody small = shopCall(), big = shopCall(100 << 10);
        TSocket holder(f.port(), "127.0.3.1"); // announces 400 KB, sends nothing of it
        QVERIFY(holder.send(kHeaderStart + "Content-Type: " + small.contentType + "\r\nContent-Length: 409600\r\n\r\n"));
        QTest::qWait(100);

        TSocket bigCaller(f.port());
        const QString busy = bigCaller.call(big);
        QVERIFY2(busy.contains(QStringLiteral("服务繁忙")), qPrintable(busy));
        TSocket smallCaller(f.port());
        QCOMPARE(smallCaller.call(small), QStringLiteral("<ok>"));

        holder.close();
        QString later;
        for (int i = 0; i < 20 && later != QLatin1String("<ok>"); ++i) {
            QTest::qWait(50);
            TSocket s(f.port());
            later = s.call(big);
        }
        QCOMPARE(later, QStringLiteral("<ok>"));
    }

    void multipartBodies_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("parts");  // name|filename|content
        QTest::addColumn<QString>("error");      // a fragment of the refusal; empty: accepted
        const QByteArray ct = "multipart/form-data; boundary=XyZ";
        QTest::newRow("fields and a file")
            << ct << QByteArray("--XyZ\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n"
                                "--XyZ\r\nContent-Disposition: form-data; name=\"delta\"; filename=\"delta\"\r\nContent-Type: text/plain\r\n\r\n<d/>\r\n\r\n--XyZ--\r\n")
            << QStringList{"a||1", "delta|delta|<d/>\r\n"} << QString();
        QTest::newRow("quoted boundary, preamble, epilogue, empty value")
            << QByteArray("Multipart/Form-Data; charset=utf-8; boundary=\"XyZ\"")
            << QByteArray("preamble\r\n--XyZ\r\ncontent-disposition: form-data; name=\"e\"\r\n\r\n\r\n--XyZ--\r\nepilogue")
            << QStringList{"e||"} << QString();
        QTest::newRow("boundary-like text inside a value")
            << ct << QByteArray("--XyZ\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx--XyZ\r\n--XyZy\r\n--XyZ--")
            << QStringList() << QStringLiteral("无法读取 multipart");
        QTest::newRow("no closing delimiter")
            << ct << QByteArray("--XyZ\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n--XyZ-")
            << QStringList() << QStringLiteral("无法读取 multipart");
        QTest::newRow("part without a name")
            << ct << QByteArray("--XyZ\r\nContent-Disposition: form-data\r\n\r\n1\r\n--XyZ--")
            << QStringList() << QStringLiteral("无法读取 multipart");
        QTest::newRow("no boundary") << QByteArray("multipart/form-data") << QByteArray("--XyZ--") << QStringList()
                                     << QStringLiteral("无法读取 multipart");
        QByteArray many;
        for (int i = 0; i < 5; ++i)
            many += "--XyZ\r\nContent-Disposition: form-data; name=\"f" + QByteArray::number(i) + "\"\r\n\r\nv\r\n";
        QTest::newRow("too many parts") << ct << many + "--XyZ--" << QStringList() << QStringLiteral("字段超过 4 个");
    }
    void multipartBodies()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, body);
        QFETCH(QStringList, parts);
        QFETCH(QString, error);
        QStringList got;
        QString refusal;
        try {
            for (const TRawPart& p : KxSplitMultipart(std::move(body), KxMultipartBoundary(contentType.toStdString()), 4))
                got << QString::fromStdString(p.name + "|" + p.filename + "|") + QString::fromUtf8(p.content);
        } catch (const TServiceError& e) {
            refusal = e.Msg;
        }
        if (error.isEmpty()) {
            QVERIFY2(refusal.isEmpty(), qPrintable(refusal));
            QCOMPARE(got, parts);
        } else {
            QVERIFY2(refusal.contains(error), qPrintable(refusal));
        }
    }

    // A big attachment is the body's own buffer, not a copy of it.
    void aBigAttachmentKeepsTheBodyBuffer()
    {
        const QByteArray delta(1 << 20, 'd');
        QByteArray body = "--B\r\nContent-Disposition: form-data; name=\"module\"\r\n\r\nBrand.Update\r\n"
                          "--B\r\nContent-Disposition: form-data; name=\"delta\"; filename=\"delta\"\r\n\r\n"
                        + delta + "\r\n--B--\r\n";
        const char* start = body.constData();
        const char* content = start + body.indexOf(delta);
        const std::vector<TRawPart> parts = KxSplitMultipart(std::move(body), "B", 256);
        QCOMPARE(parts.size(), size_t(2));
        QCOMPARE(parts[1].content.constData(), content);
        QCOMPARE(parts[1].content, delta);
        QCOMPARE(parts[0].content, QByteArray("Brand.Update"));
    }

    // Calls one after another run on the thread that finished last, whose connection and
    // statements are warm; calls beyond the idle threads wait, and shutting down runs them.
    void workerPoolReusesTheLastIdleThread()
    {
        std::atomic<int> exits{0};
        TWorkerPool pool(8, [&] { ++exits; });
        std::mutex m;
        std::set<std::thread::id> seen;
        for (int i = 0; i < 50; ++i) {
            std::promise<void> done;
            pool.enqueue([&] {
                { std::lock_guard lock(m); seen.insert(std::this_thread::get_id()); }
                done.set_value();
            });
            done.get_future().wait();
            QTest::qWait(5); // the thread goes back to idle
        }
        // Handed round the pool, 50 calls would have used all 8 threads; a thread scheduled
        // late on a loaded machine may let one other take a call.
        QVERIFY2(seen.size() <= 3, qPrintable(QString::number(seen.size())));

        std::promise<void> release;
        std::shared_future<void> gate = release.get_future().share();
        std::atomic<int> ran{0};
        for (int i = 0; i < 20; ++i)
            pool.enqueue([&, gate] { gate.wait(); ++ran; });
        release.set_value();
        pool.shutdown();
        QCOMPARE(ran.load(), 20);
        QCOMPARE(exits.load(), 8);
        pool.enqueue([&] { ++ran; }); // after shutdown: dropped
        QCOMPARE(ran.load(), 20);
    }
};

QTEST_GUILESS_MAIN(TestFront)
#include "tst_front.moc"
