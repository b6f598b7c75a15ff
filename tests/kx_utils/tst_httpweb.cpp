// The service client against a real HTTP server on loopback: what goes out, what comes
// back, and what the operator is shown when a call fails.
#include "LoopbackServer.h"
#include "ScriptedUi.h"
#include "uAnswerCodec.h"
#include "uConfig.h"
#include "uHttpWeb.h"

#include <QtTest>
#include <mutex>

namespace {
struct Seen {
    std::mutex m;
    std::multimap<std::string, httplib::MultipartFormData> files;
    std::string contentType;
    int calls = 0;
};

std::string wire(const QByteArray& xml)
{
    const QByteArray w = KxEncodeAnswer(xml);
    return std::string(w.constData(), size_t(w.size()));
}
}

class TestHttpWeb : public QObject {
    Q_OBJECT
private:
    Seen seen;
    std::string answer;
    int status = 200;
    std::unique_ptr<TLoopbackServer> server;

private Q_SLOTS:
    void initTestCase()
    {
        server = std::make_unique<TLoopbackServer>([this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(seen.m);
            seen.files = req.files;
            seen.contentType = req.get_header_value("Content-Type");
            ++seen.calls;
            res.status = status;
            res.set_content(answer, "application/octet-stream");
        });
        KxSetServiceUrl(QString::fromStdString(server->url()));
    }
    void init()
    {
        gNickId = "nick1";
        gOperId = "op1";
        gShopId = "shop1";
        gcallurl.clear();
        status = 200;
    }
    void cleanupTestCase()
    {
        KxResetTransport();
        server.reset();
        KxSetServiceUrl(QString());
    }

    void sessionParametersComeFirst()
    {
        THttpWeb web;
        web.setModule("Receive.Search");
        web.Request()->AddParams("curpage", "0");
        const auto& p = web.Request()->Params();
        QStringList names;
        for (const auto& e : p)
            names << e->Name;
        QCOMPARE(names, QStringList({"nickid", "operid", "shopid", "module", "curpage"}));
        QCOMPARE(web.getNickid(), QString("nick1"));
        QCOMPARE(web.getModule(), QString("Receive.Search"));
        web.Clear();
        QCOMPARE(web.getNickid(), QString()); // Clear drops the session parameters too
    }

    void successCallCarriesSignedFieldsAndAttachments()
    {
        TScriptedUi ui;
        answer = wire("<response><xmldata><![CDATA[<datapacket/>]]></xmldata><recordcount>3</recordcount></response>");
        THttpWeb web;
        web.setModule("Receive.Update");
        web.Request()->AddParams("memo", "中文");
        web.Request()->AddFiles("deltamaster", "<delta/>");
        QVERIFY(web.SendData());
        QVERIFY(ui.messages.isEmpty());
        QCOMPARE(web.Response()->GetParam("xmldata"), QString("<datapacket/>"));
        QCOMPARE(web.Response()->GetParam("recordcount"), QString("3"));

        std::lock_guard lock(seen.m);
        QVERIFY(seen.contentType.rfind("multipart/form-data; boundary=--------", 0) == 0);
        auto field = [&](const char* n) {
            auto it = seen.files.find(n);
            return it == seen.files.end() ? QString("<absent>") : QString::fromStdString(it->second.content);
        };
        QCOMPARE(field("nickid"), QString("nick1"));
        QCOMPARE(field("memo"), QString("中文"));
        QCOMPARE(field("end"), QString());
        QCOMPARE(field("sign"), web.Request()->GetSign());
        // The last part ends with the body's closing empty line.
        QCOMPARE(field("deltamaster"), QString("<delta/>\r\n"));
        QCOMPARE(QString::fromStdString(seen.files.find("deltamaster")->second.filename), QString("deltamaster"));
        QCOMPARE(QString::fromStdString(seen.files.find("deltamaster")->second.content_type), QString("text/plain"));
    }

    void failuresAreShownAndReturnFalse_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("expected"); // exact text, or a fragment after "~"
        QTest::newRow("error answer")
            << KxEncodeAnswer("<error_response><code>27</code><msg>没有权限</msg></error_response>") << 200
            << QString("错误号：27\n\r\n\r错误信息：没有权限");
        QTest::newRow("HTML error page") << QByteArray("<html>oops</html>") << 200 << QString("~解压缩");
        QTest::newRow("HTTP status") << KxEncodeAnswer("<r/>") << 500 << QString("~500");
    }
    void failuresAreShownAndReturnFalse()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QString, expected);
        TScriptedUi ui;
        answer.assign(body.constData(), size_t(body.size()));
        this->status = status;
        THttpWeb web;
        web.setModule("X.Y");
        QVERIFY(!web.SendData());
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages[0].caption, QString("系统提示"));
        QCOMPARE(ui.messages[0].icon, TMsgIcon::Error);
        if (expected.startsWith('~'))
            QVERIFY2(ui.messages[0].text.contains(expected.mid(1)), qPrintable(ui.messages[0].text));
        else
            QCOMPARE(ui.messages[0].text, expected);
        QVERIFY(ui.openedUrls.isEmpty());
    }

    void callurlIsReopenedOnLaterFailuresUntilCleared()
    {
        TScriptedUi ui;
        answer = wire("<error_response><code>9</code><callurl>https://example.com/pay</callurl></error_response>");
        QVERIFY(!THttpWeb().SendData());
        QCOMPARE(ui.openedUrls, QStringList{"https://example.com/pay"});

        // A later failure of another kind opens it again.
        answer = "not an answer";
        QVERIFY(!THttpWeb().SendData());
        QCOMPARE(ui.openedUrls.size(), 2);

        // An error answer without callurl clears it.
        answer = wire("<error_response><code>1</code></error_response>");
        QVERIFY(!THttpWeb().SendData());
        QCOMPARE(ui.openedUrls.size(), 2);
        QVERIFY(gcallurl.isEmpty());
    }

    void callurlWithOtherSchemesIsNotOpened_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("file") << "file:///etc/passwd";
        QTest::newRow("javascript") << "javascript:alert(1)";
        QTest::newRow("program path") << "/usr/bin/xterm";
        QTest::newRow("smb") << "smb://host/share";
    }
    void callurlWithOtherSchemesIsNotOpened()
    {
        QFETCH(QString, url);
        TScriptedUi ui;
        answer = wire("<error_response><code>1</code><callurl>" + url.toUtf8() + "</callurl></error_response>");
        QVERIFY(!THttpWeb().SendData());
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY(ui.openedUrls.isEmpty());
    }

    void serviceDownIsAClearMessage()
    {
        TScriptedUi ui;
        TLoopbackServer* gone = new TLoopbackServer([](const httplib::Request&, httplib::Response&) {});
        const QString url = QString::fromStdString(gone->url());
        delete gone; // nothing listens on that port any more
        KxSetServiceUrl(url);
        QVERIFY(!THttpWeb().SendData());
        KxSetServiceUrl(QString::fromStdString(server->url()));
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY2(ui.lastText().contains("无法连接服务"), qPrintable(ui.lastText()));
        // The next call to a live service works again.
        answer = wire("<r><ok>1</ok></r>");
        THttpWeb web;
        QVERIFY(web.SendData());
        QCOMPARE(web.Response()->GetParam("ok"), QString("1"));
    }

    void badFieldNameIsRefusedBeforeSending()
    {
        TScriptedUi ui;
        const int before = seen.calls;
        THttpWeb web;
        web.Request()->AddParams("bad\"name", "1");
        QVERIFY(!web.SendData());
        QCOMPARE(seen.calls, before);
        QCOMPARE(ui.messages.size(), 1);
    }

    void proxyFromEnvironment_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("httpProxy");
        QTest::addColumn<QString>("noProxy");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("proxy used") << "http://erp.example.com/Service.aspx" << "http://proxy.lan:3128" << "" << "proxy.lan" << 3128;
        QTest::newRow("no_proxy suffix") << "http://erp.example.com/Service.aspx" << "http://proxy.lan:3128" << ".example.com" << "" << 0;
        QTest::newRow("no_proxy star") << "http://erp.example.com/Service.aspx" << "proxy.lan:3128" << "*" << "" << 0;
        QTest::newRow("loopback is direct") << "http://127.0.0.1:18080/Service.aspx" << "http://proxy.lan:3128" << "" << "" << 0;
        QTest::newRow("no proxy set") << "http://erp.example.com/Service.aspx" << "" << "" << "" << 0;
    }
    void proxyFromEnvironment()
    {
        QFETCH(QString, url);
        QFETCH(QString, httpProxy);
        QFETCH(QString, noProxy);
        QFETCH(QString, host);
        QFETCH(int, port);
        qputenv("http_proxy", httpProxy.toUtf8());
        qputenv("no_proxy", noProxy.toUtf8());
        qunsetenv("HTTP_PROXY");
        qunsetenv("NO_PROXY");
        const TKxProxy p = KxSystemProxy(url);
        qunsetenv("http_proxy");
        qunsetenv("no_proxy");
        QCOMPARE(p.host, host);
        QCOMPARE(p.port, port);
    }
};

QTEST_MAIN(TestHttpWeb)
#include "tst_httpweb.moc"
