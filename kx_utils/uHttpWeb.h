#pragma once
// The service client: one signed multipart POST per call, the answer inflated and parsed.
// Failures are shown to the operator here; callers only test the result.
#include "wire/uRequest.h"
#include "wire/uResponse.h"

#include <QObject>
#include <functional>
#include <memory>

class THttpWeb : public QObject {
    Q_OBJECT
public:
    explicit THttpWeb(QObject* owner = nullptr);
    ~THttpWeb() override;

    TRequest* Request() { return &m_request; }
    TResponse* Response() { return &m_response; }

    void setModule(const QString& v) { m_request.AddParams(QStringLiteral("module"), v); }
    void setNickid(const QString& v) { m_request.AddParams(QStringLiteral("nickid"), v); }
    void setOperid(const QString& v) { m_request.AddParams(QStringLiteral("operid"), v); }
    void setShopid(const QString& v) { m_request.AddParams(QStringLiteral("shopid"), v); }
    QString getModule() const { return m_request.ParamValue(QStringLiteral("module")); }
    QString getNickid() const { return m_request.ParamValue(QStringLiteral("nickid")); }
    QString getOperid() const { return m_request.ParamValue(QStringLiteral("operid")); }
    QString getShopid() const { return m_request.ParamValue(QStringLiteral("shopid")); }

    // One service call. True: Response() holds the answer. False: the failure was shown.
    bool SendData();
    void Clear();

    // The body SendData would post (tests, tools).
    QByteArray BuildBody(QString* contentType) const;

private:
    TRequest m_request;
    TResponse m_response;
};

// Posts the call on a worker thread and hands the outcome to `done` on the thread of
// `context`; nothing when `context` is gone by then. Nothing is shown to the operator: a
// failure (transport or the service's error answer) comes back as its text. For what a window
// refreshes on its own, which must neither block it nor interrupt the operator.
void KxSendQuietly(std::unique_ptr<THttpWeb> web, QObject* context,
                   std::function<void(THttpWeb& web, const QString& failure)> done);

// Proxy for a URL from the system settings: the environment (http_proxy, https_proxy,
// no_proxy) on Unix, the user's Internet Settings on Windows. Loopback never goes through
// a proxy. Empty host: direct.
struct TKxProxy {
    QString host;
    int port = 0;
    QString user, password;
};
TKxProxy KxSystemProxy(const QString& url);

// Closes the kept-alive connections of this thread (after a failure, and in tests).
void KxResetTransport();

// What to do when the service answers that the session is gone (expired, or replaced by
// another login): the shell opens its login dialog again. Runs from the event loop of the
// user-interface thread after the failed call's caller has returned and no modal window is
// open any more; one at a time. Empty: nothing.
void KxSetSessionExpiredHandler(std::function<void()> handler);
