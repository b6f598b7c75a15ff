// The service over TLS: the client's own calls (login, lists, a big save) against a
// certificate from a throwaway CA the test makes with openssl; a certificate the client
// cannot verify is refused; a key that is not the certificate's is refused at start.
#include "ServiceFixture.h"

#include <QProcess>
#include <httplib.h>

namespace {
const TCaller kAdmin{"1001", "admin", "S01"};

bool openssl(const QStringList& args, const QString& dir)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.start("openssl", args);
    return p.waitForFinished(60000) && p.exitCode() == 0;
}
}

class TestTls : public QObject {
    Q_OBJECT
    QTemporaryDir pki;
    QString file(const char* name) const { return pki.filePath(QString::fromLatin1(name)); }

    // A certificate for `name` (CN and subjectAltName) signed by the test CA.
    bool issue(const char* stem, const QString& altName)
    {
        const QString ext = pki.filePath(QStringLiteral("%1.ext").arg(stem));
        QFile f(ext);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        f.write("subjectAltName=" + altName.toLatin1() + "\n");
        f.close();
        const QString s = QString::fromLatin1(stem);
        return openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", s + ".key",
                        "-out", s + ".csr", "-subj", "/CN=kx test " + s}, pki.path())
            && openssl({"x509", "-req", "-in", s + ".csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial", "-days", "2",
                        "-out", s + ".pem", "-extfile", ext}, pki.path());
    }

    std::unique_ptr<TServiceFixture> serve(const char* stem)
    {
        const QString cert = file(stem) + ".pem", key = file(stem) + ".key";
        return std::make_unique<TServiceFixture>("sqlite", qint64(4) << 20, [cert, key](TServiceOptions& o) {
            o.tlsCert = cert;
            o.tlsKey = key;
        });
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", "ca.key",
                         "-out", "ca.pem", "-days", "2", "-subj", "/CN=kx throwaway test CA"}, pki.path()));
        QVERIFY(issue("server", "IP:127.0.0.1,DNS:localhost"));
        QVERIFY(issue("elsewhere", "DNS:shop.example.com"));
        QVERIFY(openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", "self.key",
                         "-out", "self.pem", "-days", "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"}, pki.path()));
        // The client trusts the system's store; here that is the throwaway CA alone.
        qputenv("SSL_CERT_FILE", file("ca.pem").toLocal8Bit());
        qputenv("SSL_CERT_DIR", pki.filePath("none").toLocal8Bit());
    }

    void clientCallsOverTls()
    {
        auto fx = serve("server");
        QVERIFY(fx->url().startsWith("https://127.0.0.1:"));
        KxSetServiceUrl(fx->url());
        TCallResult r = fx->call({"", "", ""}, "PowerMger.Module", {{"masternick", "varnoq_demo"}});
        QVERIFY2(r.ok, qPrintable(r.error));
        r = fx->call({"1001", "", ""}, "PowerMger.Login", {{"shopcode", "S01"}, {"usercode", "admin"}, {"password", "admin888"}});
        QVERIFY2(r.ok, qPrintable(r.error));
        // Kept-alive calls on the one connection, then a body past the small-call size that
        // the front reads into the memory budget.
        for (int i = 0; i < 20; ++i) {
            r = fx->call(kAdmin, "Receive.Search", {{"curpage", "1"}});
            QVERIFY2(r.ok, qPrintable(r.error));
        }
        r = fx->call(kAdmin, "Receive.Search", {{"curpage", "1"}}, {{"padding", QString(300000, u'x')}});
        QVERIFY2(r.ok, qPrintable(r.error));
        r = fx->call(kAdmin, "PowerMger.Operator");
        QVERIFY2(r.ok, qPrintable(r.error));

        httplib::Client health(fx->url().section(u'/', 0, 2).toStdString());
        health.set_ca_cert_path(file("ca.pem").toStdString());
        health.enable_server_certificate_verification(true);
        const auto res = health.Get("/health");
        QVERIFY(res);
        QCOMPARE(res->status, 200);

        // Plain HTTP to the TLS port gets no answer it could take for the service's.
        httplib::Client plain(fx->url().section(u'/', 0, 2).replace("https://", "http://").toStdString());
        plain.set_read_timeout(3, 0);
        const auto clear = plain.Get("/health");
        QVERIFY(!clear || clear->status != 200);
        KxResetTransport();
    }

    void unverifiableCertificateRefused_data()
    {
        QTest::addColumn<QString>("stem");
        QTest::newRow("self-signed") << "self";
        QTest::newRow("another name") << "elsewhere";
    }
    void unverifiableCertificateRefused()
    {
        QFETCH(QString, stem);
        auto fx = serve(stem == "self" ? "self" : "elsewhere");
        KxSetServiceUrl(fx->url());
        const TCallResult r = fx->call({"", "", ""}, "PowerMger.Module", {{"masternick", "varnoq_demo"}});
        QVERIFY(!r.ok);
        QVERIFY2(r.error.contains("证书无法验证") || r.error.contains("无法建立安全连接"), qPrintable(r.error));
        KxResetTransport();
    }

    void badCertificateOrKeyRefusedAtStart_data()
    {
        QTest::addColumn<QString>("cert");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("message");
        QTest::newRow("key of another certificate") << "server.pem" << "self.key" << "does not match the certificate";
        QTest::newRow("no such certificate") << "missing.pem" << "server.key" << "--tls-cert: cannot read";
        QTest::newRow("certificate is a key") << "server.key" << "server.key" << "not a PEM certificate";
        QTest::newRow("key is a certificate") << "server.pem" << "server.pem" << "not a PEM private key";
        QTest::newRow("key without certificate") << "" << "server.key" << "go together";
    }
    void badCertificateOrKeyRefusedAtStart()
    {
        QFETCH(QString, cert);
        QFETCH(QString, key);
        QFETCH(QString, message);
        QTemporaryDir dir;
        TServiceOptions o;
        o.port = 0;
        o.db = "sqlite:" + dir.filePath("kx.db");
        o.logFile = dir.filePath("service.log");
        o.tlsCert = cert.isEmpty() ? QString() : pki.filePath(cert);
        o.tlsKey = pki.filePath(key);
        TKxService service(o);
        try {
            service.prepare();
            QFAIL("started with a bad certificate or key");
        } catch (const std::runtime_error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(message), e.what());
        }
        QVERIFY(!QFile::exists(dir.filePath("kx.db"))); // refused before the database was touched
    }
};

QTEST_MAIN(TestTls)
#include "tst_tls.moc"
