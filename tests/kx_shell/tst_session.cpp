// The session key against a scripted service: taken from the login answer, sent with every
// later call, and, when the service says the session is gone, a new login through the
// service's login module instead of calls failing until the program restarts.
#include "FakeService.h"
#include "ScriptedUi.h"
#include "ShellTestUtil.h"
#include "uFrmClient.h"
#include "uFrmLogon.h"
#include "uShell.h"

#include <QComboBox>
#include <QLineEdit>
#include <QtTest>

namespace {
QByteArray loginAnswer(const QString& key)
{
    return Answer({{"shopname", "旗舰店"}, {"username", "张三"}, {"sessionkey", key},
                   {"kx_module", Packet({"mod_id:int", "mod_name"}, {{"1", "Mod.Tab"}})}});
}
}

class TestSession : public QObject {
    Q_OBJECT
    std::unique_ptr<TFakeService> svc;
    std::unique_ptr<TScriptedUi> ui;
    std::unique_ptr<TFrmClient> client;
    bool terminated = false;

    // Logs in through the login dialog the shell opens, as an operator would.
    void loginInTheDialog(const QString& password)
    {
        ui->onModal = [password](QWidget* w) {
            auto* logon = qobject_cast<TFrmLogon*>(w);
            if (!logon)
                return int(mrCancel);
            logon->show(); // fills the lists from the service
            logon->cxTextEdit1->setText(password);
            logon->cxButton2Click();
            const int result = logon->ModalResult();
            logon->hide();
            return result;
        };
    }

private Q_SLOTS:
    void init()
    {
        terminated = false;
        KxSetTerminateHandler([this] { terminated = true; });
        gOperId.clear();
        gSessionKey.clear();
        ui = std::make_unique<TScriptedUi>();
        svc = std::make_unique<TFakeService>();
        svc->answer("PowerMger.Module", Answer({{"nickid", "N100"}, {"moduletitle", "VarnoqERP"}, {"loginsys", "Power.Login"},
                                               {"shop", "Power.Shop"}, {"operator", "Power.Operator"}, {"subnick", "Power.SubNick"}}));
        svc->answer("Power.Shop", Answer({{"xmldata", Packet({"shopcode", "shopname"}, {{"S01", "旗舰店"}})}}));
        svc->answer("Power.Operator", Answer({{"xmldata", Packet({"operid", "opername"}, {{"zhang", "张三"}})}}));
        svc->answer("Power.SubNick", Answer({{"xmldata", Packet({"nick"}, {})}}));
        svc->answer("Power.Login", loginAnswer("K1"));
        svc->answer("Mod.Tab", Answer({{"moduleclass", "TfrmNotRegistered"}, {"moduletitle", "订单"}}));
        svc->answer("System.Logon", Answer({{"moduleclass", "TFrmLogon"}, {"moduletitle", "操作员登陆"}, {"modal", "true"}}));
        QVERIFY(KxDirectoryCall(KxProgramDir(), {"korvadex://shopA/"}));
        client = std::make_unique<TFrmClient>();
        QVERIFY(client->Login("S01", "zhang", "pw"));
        svc->clearCalls();
        ui->messages.clear();
    }
    void cleanup()
    {
        client.reset();
        svc.reset();
        ui.reset();
        gSessionKey.clear();
        KxSetTerminateHandler({});
    }

    void everyCallAfterLoginCarriesTheKey()
    {
        QCOMPARE(gSessionKey, QString("K1"));
        client->OpenModule(1);
        const auto call = svc->calls().last();
        QCOMPARE(call.names(), QStringList({"nickid", "operid", "shopid", "sessionkey", "module"}));
        QCOMPARE(call.value("sessionkey"), QString("K1"));
    }

    void expiredSessionOpensTheLoginAgain()
    {
        svc->fail("Mod.Tab", 14, "登录已过期，请重新登录");
        svc->answer("Power.Login", loginAnswer("K2"));
        loginInTheDialog("pw");
        client->OpenModule(1);
        client->OpenModule(1); // a second failing call before the dialog opens adds no second one
        QCOMPARE(ui->messages.size(), 2);
        QVERIFY(ui->messages[0].text.contains("登录已过期，请重新登录"));
        QTRY_COMPARE(ui->modalWindows.size(), 1);
        QTRY_COMPARE(gSessionKey, QString("K2"));
        QVERIFY(!terminated);

        QStringList modules;
        for (const auto& c : svc->calls())
            modules << c.module();
        QCOMPARE(modules, QStringList({"Mod.Tab", "Mod.Tab", "System.Logon", "Power.Shop", "Power.Operator", "Power.SubNick", "Power.Login"}));
        // The dead key is not sent again: the login dialog's calls go without one.
        const auto calls = svc->calls();
        QCOMPARE(calls[0].value("sessionkey"), QString("K1"));
        QCOMPARE(calls[2].value("sessionkey"), QString("<absent>"));
        QCOMPARE(calls[6].value("usercode"), QString("zhang"));

        svc->answer("Mod.Tab", Answer({{"moduleclass", "TfrmNotRegistered"}, {"moduletitle", "订单"}}));
        client->OpenModule(1);
        QCOMPARE(svc->calls().last().value("sessionkey"), QString("K2"));
    }

    void closingTheLoginAgainEndsTheProgram()
    {
        svc->fail("Mod.Tab", 14, "登录已过期，请重新登录");
        ui->onModal = [](QWidget*) { return int(mrCancel); };
        client->OpenModule(1);
        QTRY_COMPARE(ui->modalWindows.size(), 1);
        QTRY_VERIFY(terminated);
    }

    void otherFailuresDoNotOpenTheLogin()
    {
        svc->fail("Mod.Tab", 13, "请先登录");
        client->OpenModule(1);
        QTest::qWait(50);
        QVERIFY(ui->modalWindows.isEmpty());
        QCOMPARE(gSessionKey, QString("K1"));
    }
};

QTEST_MAIN(TestSession)
#include "tst_session.moc"
