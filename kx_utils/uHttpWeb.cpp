#include "uHttpWeb.h"
#include "uUiHooks.h"
#include "wire/uConfig.h"
#include "wire/uIdMultipartFormData.h"

#include <QApplication>
#include <QBuffer>
#include <QThread>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <QUrl>
#include <httplib.h>
#include <map>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// What went wrong on the way, in the operator's words (the library's own text is English).
QString transportFailure(httplib::Error error)
{
    switch (error) {
    case httplib::Error::Connection:
        return QStringLiteral("连接被拒绝，服务可能没有启动或地址有误");
    case httplib::Error::ConnectionTimeout:
        return QStringLiteral("连接超时，请检查网络");
    case httplib::Error::Read:
        return QStringLiteral("读取服务应答时连接中断");
    case httplib::Error::Write:
        return QStringLiteral("发送请求时连接中断");
    case httplib::Error::SSLConnection:
    case httplib::Error::SSLLoadingCerts:
        return QStringLiteral("无法建立安全连接");
    case httplib::Error::SSLServerVerification:
        return QStringLiteral("服务的证书无法验证");
    case httplib::Error::Canceled:
        return QStringLiteral("请求已取消");
    default:
        return QStringLiteral("网络错误（代码 %1）").arg(int(error));
    }
}

// One kept-alive connection per service address and thread: a call per THttpWeb is the
// program's rhythm, and reconnecting (or a TLS handshake) for each would dominate small calls.
std::map<std::string, std::unique_ptr<httplib::Client>>& pool()
{
    thread_local std::map<std::string, std::unique_ptr<httplib::Client>> clients;
    return clients;
}

struct Target {
    std::string base; // scheme://host:port
    std::string path;
};

Target splitUrl(const QUrl& u)
{
    const int defPort = u.scheme() == u"https" ? 443 : 80;
    Target t;
    t.base = (u.scheme() + QStringLiteral("://") + u.host(QUrl::FullyEncoded) + u':' + QString::number(u.port(defPort))).toStdString();
    t.path = u.path(QUrl::FullyEncoded).toStdString();
    if (t.path.empty())
        t.path = "/";
    if (u.hasQuery())
        t.path += "?" + u.query(QUrl::FullyEncoded).toStdString();
    return t;
}

void configure(httplib::Client& c, const QUrl& url)
{
    c.set_tcp_nodelay(true);
    c.set_connection_timeout(10, 0);
    c.set_write_timeout(60, 0);
    c.enable_server_certificate_verification(true);
    const TKxProxy proxy = KxSystemProxy(url.toString());
    if (!proxy.host.isEmpty()) {
        c.set_proxy(proxy.host.toStdString(), proxy.port);
        if (!proxy.user.isEmpty())
            c.set_proxy_basic_auth(proxy.user.toStdString(), proxy.password.toStdString());
    }
}

httplib::Client& transport(const QUrl& url, const Target& t)
{
    auto& c = pool()[t.base];
    if (!c) {
        c = std::make_unique<httplib::Client>(t.base);
        configure(*c, url);
        c->set_keep_alive(true);
        c->set_read_timeout(300, 0);
    }
    return *c;
}

bool isLoopback(const QString& host)
{
    // QUrl::host() gives IPv6 addresses without brackets.
    return host.compare(u"localhost", Qt::CaseInsensitive) == 0 || host.startsWith(u"127.") || host == u"::1";
}

bool bypassed(const QString& host, const QString& noProxy)
{
    for (QString entry : noProxy.split(u',', Qt::SkipEmptyParts)) {
        entry = entry.trimmed().toLower();
        if (entry == u"*")
            return true;
        const qsizetype colon = entry.lastIndexOf(u':');
        if (colon > 0 && !entry.contains(u"]") && entry.count(u':') == 1)
            entry.truncate(colon);
        if (entry.startsWith(u'.'))
            entry.remove(0, 1);
        const QString h = host.toLower();
        if (h == entry || h.endsWith(u'.' + entry))
            return true;
    }
    return false;
}

QString env(const char* lower, const char* upper)
{
    QString v = qEnvironmentVariable(lower);
    return v.isEmpty() ? qEnvironmentVariable(upper) : v;
}

} // namespace

TKxProxy KxSystemProxy(const QString& urlText)
{
    TKxProxy p;
    const QUrl url(urlText);
    if (isLoopback(url.host()))
        return p;
#ifdef _WIN32
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0,
                        nullptr, 0, KEY_READ, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return p;
    DWORD enable = 0, size = sizeof enable;
    if (RegQueryValueExW(key, L"ProxyEnable", nullptr, nullptr, reinterpret_cast<BYTE*>(&enable), &size) == ERROR_SUCCESS
        && enable == 1) {
        wchar_t server[1024];
        DWORD bytes = sizeof server - sizeof(wchar_t);
        if (RegQueryValueExW(key, L"ProxyServer", nullptr, nullptr, reinterpret_cast<BYTE*>(server), &bytes) == ERROR_SUCCESS) {
            server[bytes / sizeof(wchar_t)] = 0;
            const QString s = QString::fromWCharArray(server);
            const qsizetype colon = s.indexOf(u':');
            bool ok = false;
            const int port = colon >= 0 ? s.mid(colon + 1, 10).toInt(&ok) : 0;
            if (ok) {
                p.host = s.left(colon);
                p.port = port;
            }
        }
    }
    RegCloseKey(key);
#else
    if (bypassed(url.host(), env("no_proxy", "NO_PROXY")))
        return p;
    const QString raw = url.scheme() == u"https" ? env("https_proxy", "HTTPS_PROXY") : env("http_proxy", "HTTP_PROXY");
    if (raw.trimmed().isEmpty())
        return p;
    const QUrl proxy = QUrl::fromUserInput(raw.trimmed());
    if (proxy.host().isEmpty())
        return p;
    p.host = proxy.host();
    p.port = proxy.port(proxy.scheme() == u"https" ? 443 : 8080);
    p.user = proxy.userName();
    p.password = proxy.password();
#endif
    return p;
}

void KxResetTransport()
{
    pool().clear();
}

namespace {
std::function<void()>& sessionExpiredHandler()
{
    static std::function<void()> handler;
    return handler;
}

bool reloginPending = false;

// Runs the handler from the event loop once no modal window is open: logging in closes the
// module tabs, and with them any dialog a module is showing.
void runReloginWhenIdle()
{
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(200, qApp, runReloginWhenIdle);
        return;
    }
    const std::function<void()> handler = sessionExpiredHandler();
    if (handler)
        handler();
    reloginPending = false;
}

// The session is gone: forget its key (the calls of the login dialog need none) and let the
// shell log in again once the failed call's caller has stopped (logging in closes module
// tabs, perhaps the one whose call failed). Calls failing meanwhile add nothing.
void sessionExpired()
{
    gSessionKey.clear();
    QCoreApplication* app = QCoreApplication::instance();
    if (reloginPending || !sessionExpiredHandler() || !app || QThread::currentThread() != app->thread())
        return;
    reloginPending = true;
    QMetaObject::invokeMethod(app, runReloginWhenIdle, Qt::QueuedConnection);
}
}

void KxSetSessionExpiredHandler(std::function<void()> handler)
{
    sessionExpiredHandler() = std::move(handler);
}

THttpWeb::THttpWeb(QObject* owner) : QObject(owner)
{
    setNickid(gNickId);
    setOperid(gOperId);
    setShopid(gShopId);
    // After login every call names its session; before it there is none to name.
    if (!gSessionKey.isEmpty())
        m_request.AddParams(QStringLiteral("sessionkey"), gSessionKey);
}

THttpWeb::~THttpWeb() = default;

void THttpWeb::Clear()
{
    m_request.Clear();
    m_response.Clear();
}

namespace {
std::unique_ptr<TIdMultiPartFormDataStream> buildBody(const TRequest& request,
                                                      std::vector<std::unique_ptr<QObject>>& parts)
{
    auto body = std::make_unique<TIdMultiPartFormDataStream>();
    for (const auto& p : request.Params())
        body->AddFormField(p->Name, p->Value);
    body->AddFormField(QStringLiteral("sign"), request.GetSign());
    body->AddFormField(QStringLiteral("end"), QString());
    for (const auto& f : request.Files()) {
        auto* buffer = new QBuffer;
        buffer->setData(f->Content);
        buffer->open(QIODevice::ReadOnly);
        parts.emplace_back(buffer);
        body->AddObject(f->Name, QStringLiteral("text/plain"), f->Name, buffer);
    }
    return body;
}
}

QByteArray THttpWeb::BuildBody(QString* contentType) const
{
    std::vector<std::unique_ptr<QObject>> parts;
    auto body = buildBody(m_request, parts);
    if (contentType)
        *contentType = body->RequestContentType();
    return body->ReadAll();
}

bool THttpWeb::SendData()
{
    QString failure;
    int code = 0;
    try {
        std::vector<std::unique_ptr<QObject>> parts;
        auto body = buildBody(m_request, parts);

        const QUrl url(KxServiceUrl());
        if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https"))
            throw EKXServiceError(QStringLiteral("服务地址无效：%1").arg(KxServiceUrl()));
        const Target target = splitUrl(url);
        httplib::Client& cli = transport(url, target);

        const qint64 length = body->Size();
        body->Seek(0, TIdMultiPartFormDataStream::soBeginning);
        auto provider = [&body](size_t, size_t length, httplib::DataSink& sink) {
            char chunk[65536];
            const qint64 got = body->Read(chunk, std::min<qint64>(qint64(sizeof chunk), qint64(length)));
            if (got <= 0)
                return false;
            sink.write(chunk, size_t(got));
            return true;
        };
        const std::string contentType = body->RequestContentType().toStdString();
        httplib::Result res = cli.Post(target.path.c_str(), httplib::Headers{}, size_t(length), provider, contentType.c_str());
        if (!res)
            throw EKXServiceError(QStringLiteral("无法连接服务 %1：%2").arg(KxServiceUrl(), transportFailure(res.error())));
        if (res->status != 200)
            throw EKXServiceError(QStringLiteral("服务返回 HTTP 错误 %1").arg(res->status));
        const QByteArray wire = QByteArray::fromRawData(res->body.data(), qsizetype(res->body.size()));
        return m_response.DataReceive(wire);
    } catch (const EKXServiceError& e) {
        failure = e.Message;
        code = e.Code;
    } catch (const EIdException& e) {
        failure = e.Message;
    } catch (const std::exception& e) {
        failure = QString::fromLocal8Bit(e.what());
    }
    pool().erase(splitUrl(QUrl(KxServiceUrl())).base);
    KxShowError(failure);
    const QString url = KxTrimLow(gcallurl);
    if (!url.isEmpty() && KxIsWebUrl(url))
        KxUi().OpenUrl(url);
    if (code == kKxSessionExpired)
        sessionExpired();
    return false;
}

void KxSendQuietly(std::unique_ptr<THttpWeb> web, QObject* context,
                   std::function<void(THttpWeb& web, const QString& failure)> done)
{
    // The pool's threads are not the receiver's: answers go back through the event loop.
    // The body is made here, where the session's values live; the worker only posts it.
    QString contentType;
    const QByteArray body = web->BuildBody(&contentType);
    const QString serviceUrl = KxServiceUrl();
    std::shared_ptr<THttpWeb> call(std::move(web));
    QPointer<QObject> receiver(context);
    QObject* app = QCoreApplication::instance();
    QThreadPool::globalInstance()->start([call, receiver, app, done = std::move(done), body, contentType, serviceUrl]() mutable {
        QString failure;
        std::string answer;
        const QUrl url(serviceUrl);
        if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https")) {
            failure = QStringLiteral("服务地址无效：%1").arg(serviceUrl);
        } else {
            // A client of its own: the kept-alive ones belong to the threads that made them.
            const Target target = splitUrl(url);
            httplib::Client cli(target.base);
            configure(cli, url);
            cli.set_read_timeout(30, 0);
            httplib::Result res = cli.Post(target.path.c_str(), body.constData(), size_t(body.size()), contentType.toStdString().c_str());
            if (!res)
                failure = QStringLiteral("无法连接服务 %1：%2").arg(serviceUrl, transportFailure(res.error()));
            else if (res->status != 200)
                failure = QStringLiteral("服务返回 HTTP 错误 %1").arg(res->status);
            else
                answer = std::move(res->body);
        }
        // Handed over through the application object, which outlives the pool's tasks; the
        // receiver is looked at on its own thread only.
        QMetaObject::invokeMethod(
            app,
            // The call is let go on the receiver's thread, where it was made.
            [call = std::move(call), receiver, done = std::move(done), failure, answer = std::move(answer)]() mutable {
                if (!receiver)
                    return;
                // The answer is read on the receiver's thread, where the session's values live.
                if (failure.isEmpty()) {
                    try {
                        call->Response()->DataReceive(QByteArray::fromStdString(answer));
                    } catch (const EKXServiceError& e) {
                        failure = e.Message;
                    } catch (const std::exception& e) {
                        failure = QString::fromLocal8Bit(e.what());
                    }
                }
                done(*call, failure);
            },
            Qt::QueuedConnection);
    });
}
