// https:// service addresses: the certificate is checked against the system's trust store.
#include "ScriptedUi.h"
#include "uAnswerCodec.h"
#include "uConfig.h"
#include "uHttpWeb.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <httplib.h>
#include <thread>

class TestHttps : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    std::unique_ptr<httplib::SSLServer> server;
    std::thread thread;
    int port = 0;

    QString path(const char* name) const { return dir.filePath(name); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QProcess openssl;
        openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=127.0.0.1",
                                  "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", path("key.pem"), "-out", path("cert.pem")});
        QVERIFY(openssl.waitForFinished(60000));
        QCOMPARE(openssl.exitCode(), 0);
        server = std::make_unique<httplib::SSLServer>(path("cert.pem").toLocal8Bit().constData(),
                                                      path("key.pem").toLocal8Bit().constData());
        QVERIFY(server->is_valid());
        server->Post("/Service.aspx", [](const httplib::Request&, httplib::Response& res) {
            const QByteArray w = KxEncodeAnswer("<r><ok>yes</ok></r>");
            res.set_content(std::string(w.constData(), size_t(w.size())), "application/octet-stream");
        });
        port = server->bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server->listen_after_bind(); });
        while (!server->is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        KxSetServiceUrl(QString("https://127.0.0.1:%1/Service.aspx").arg(port));
    }
    void cleanupTestCase()
    {
        KxResetTransport();
        KxSetServiceUrl(QString());
        server->stop();
        thread.join();
    }

    void untrustedCertificateIsRefused()
    {
        qunsetenv("SSL_CERT_FILE");
        KxResetTransport();
        TScriptedUi ui;
        THttpWeb web;
        QVERIFY(!web.SendData());
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY2(ui.lastText().contains(u"无法连接服务"), qPrintable(ui.lastText()));
    }

    void trustedCertificateWorks()
    {
        qputenv("SSL_CERT_FILE", path("cert.pem").toLocal8Bit());
        KxResetTransport();
        TScriptedUi ui;
        THttpWeb web;
        QVERIFY(web.SendData());
        QCOMPARE(web.Response()->GetParam("ok"), QString("yes"));
        QVERIFY(ui.messages.isEmpty());
        qunsetenv("SSL_CERT_FILE");
    }
};

QTEST_GUILESS_MAIN(TestHttps)
#include "tst_https.moc"
