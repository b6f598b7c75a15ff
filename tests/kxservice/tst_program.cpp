// The kxservice program itself: starts on an empty data folder with the demo seller, serves
// the client, logs each call and stops cleanly on SIGTERM.
#include "ScriptedUi.h"
#include "uConfig.h"
#include "uHttpWeb.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

class TestProgram : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startsServesAndStops()
    {
        QTemporaryDir dir;
        QProcess p;
        const QString log = dir.filePath("service.log");
        p.start(qEnvironmentVariable("KX_BIN_DIR") + "/kxservice",
                {"--listen", "127.0.0.1:0", "--db", "sqlite:" + dir.filePath("data/kx.db"), "--log", log});
        QVERIFY(p.waitForStarted());
        QString url;
        const QRegularExpression serving("serving (http://\\S+)");
        for (int i = 0; i < 100 && url.isEmpty(); ++i) {
            p.waitForReadyRead(200);
            const auto m = serving.match(QString::fromUtf8(p.readAllStandardOutput()));
            if (m.hasMatch())
                url = m.captured(1);
        }
        QVERIFY2(!url.isEmpty(), qPrintable(p.readAllStandardError()));
        KxSetServiceUrl(url);
        TScriptedUi ui;
        {
            THttpWeb web;
            web.setNickid("");
            web.setOperid("");
            web.setModule("PowerMger.Module");
            web.Request()->AddParams("masternick", "varnoq_demo");
            QVERIFY2(web.SendData(), qPrintable(ui.lastText()));
            QCOMPARE(web.Response()->GetParam("nickid"), QString("1001"));
        }
        {
            THttpWeb web;
            web.setNickid("1001");
            web.setOperid("");
            web.setModule("PowerMger.Login");
            web.Request()->AddParams("shopcode", "S01");
            web.Request()->AddParams("usercode", "admin");
            web.Request()->AddParams("password", "admin888");
            QVERIFY2(web.SendData(), qPrintable(ui.lastText()));
            QCOMPARE(web.Response()->GetParam("username"), QString("管理员"));
        }
        KxResetTransport();
        ::kill(pid_t(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        QFile f(log);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY2(text.contains(QRegularExpression("call PowerMger.Module nick=- oper=- from=127.0.0.1 ms=\\d+ ok")), qPrintable(text));
        QVERIFY(text.contains("call PowerMger.Login nick=1001"));
        KxSetServiceUrl(QString());
    }

    void refusesABadDatabaseUrl()
    {
        QProcess p;
        p.start(qEnvironmentVariable("KX_BIN_DIR") + "/kxservice", {"--listen", "127.0.0.1:0", "--db", "mysql://x"});
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(p.readAllStandardError().contains("unknown database URL"));
    }
};

QTEST_MAIN(TestProgram)
#include "tst_program.moc"
