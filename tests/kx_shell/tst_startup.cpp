// Start-up against a scripted service: the master nick, the nick dialog, the directory call,
// package loading, the login dialog's lists, its checks, and the exact requests of each step.
#include "FakeService.h"
#include "ScriptedUi.h"
#include "ShellTestUtil.h"
#include "uFrmClient.h"
#include "uFrmLogon.h"
#include "uFrmNick.h"
#include "uShell.h"
#include "ufrmBase.h"

#include <QComboBox>
#include <QLabel>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

namespace {

// Runs the login dialog for real when the start-up shows it, with the test's actions.
class TDrivingUi : public TScriptedUi {
public:
    std::function<void(TFrmLogon*)> atLogon;
    int ShowModal(QWidget* window) override
    {
        auto* logon = qobject_cast<TFrmLogon*>(window);
        if (!logon)
            return TScriptedUi::ShowModal(window);
        modalWindows.append(window);
        QPointer<TFrmLogon> guard(logon);
        logon->show();
        if (guard && guard->isVisible() && atLogon)
            atLogon(logon);
        return guard ? guard->ModalResult() : int(mrCancel);
    }
};

void answerDirectory(TFakeService& svc)
{
    svc.answer("PowerMger.Module", Answer({{"nickid", "N100"}, {"nickname", "demoseller"},
                                           {"moduletitle", "VarnoqERP 演示"}, {"loadlib", "Power.LoadLib"},
                                           {"shop", "Power.Shop"}, {"operator", "Power.Oper"},
                                           {"subnick", "Power.SubNick"}, {"loginsys", "Power.Login"},
                                           {"modifypsw", "Power.ModifyPsw"}}));
    svc.answer("Power.LoadLib", Answer({{"xmldata", Packet({"libname"}, {{"kx_absent.so"}, {"kx_broken.so"}})}}));
    svc.answer("Power.Shop", Answer({{"xmldata", Packet({"shopcode", "shopname"}, {{"S01", "旗舰店"}, {"S02", "二店"}})}}));
    svc.answer("Power.Oper", Answer({{"xmldata", Packet({"operid", "opername"}, {{"zhang", "张三"}})}}));
    svc.answer("Power.SubNick", Answer({{"xmldata", Packet({"nick"}, {{"sub1"}, {"sub2"}})}}));
    svc.answer("Power.Login", Answer({{"shopname", "旗舰店"}, {"username", "张三"}}));
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
    int terminations = 0;

private Q_SLOTS:
    void init()
    {
        terminations = 0;
        KxSetTerminateHandler([this] { ++terminations; });
        gNickId.clear();
        gOperId.clear();
        gShopId.clear();
        gSubNicks.clear();
        KxDirectory().Response()->Clear();
    }

    void nickFromUrl_data()
    {
        QTest::addColumn<QString>("arg");
        QTest::addColumn<QString>("nick");
        QTest::newRow("scheme, nick, slash") << "korvadex://shopA/" << "shopA";
        QTest::newRow("slashes inside are removed") << "korvadex://a/b/" << "ab";
        QTest::newRow("prefix is case sensitive") << "Korvadex://x/" << "Korvadex:x";
        QTest::newRow("Chinese nick") << "korvadex://小店/" << "小店";
    }
    void nickFromUrl()
    {
        QFETCH(QString, arg);
        QFETCH(QString, nick);
        QCOMPARE(KxNickFromUrl(arg), nick);
    }

    void masterNickPrefersTheFile()
    {
        QTemporaryDir dir;
        QCOMPARE(KxReadMasterNick(dir.path(), {}), QString());
        QCOMPARE(KxReadMasterNick(dir.path(), {"korvadex://fromurl/"}), QString("fromurl"));
        writeFile(dir.filePath("nick.dll"), " \tfromfile\r\n");
        QCOMPARE(KxReadMasterNick(dir.path(), {"korvadex://fromurl/"}), QString("fromfile"));
    }

    // The file in UTF-8, with a byte order mark, or in the local GB encoding of older clients.
    void masterNickFileEncodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("utf-8") << QString("瓦诺克旗舰\n").toUtf8();
        QTest::newRow("utf-8 with bom") << QByteArray("\xEF\xBB\xBF") + QString("瓦诺克旗舰\r\n").toUtf8();
        QTest::newRow("utf-16 with bom") << QByteArray("\xFF\xFE") + QByteArray(reinterpret_cast<const char*>(u"瓦诺克旗舰"), 10);
        QTest::newRow("gb18030") << QStringEncoder("GB18030")(QString("瓦诺克旗舰\n")).operator QByteArray();
    }
    void masterNickFileEncodings()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        writeFile(dir.filePath("nick.dll"), bytes);
        QCOMPARE(KxReadMasterNick(dir.path(), {}), QString("瓦诺克旗舰"));
    }

    void nickDialogChecksTheNickAndSavesIt()
    {
        TScriptedUi ui;
        TFakeService svc;
        QTemporaryDir dir;
        svc.answer("PowerMger.SETNICK", Answer({{"masternick", "shopA"}}));
        TFrmNick dlg(dir.path());
        dlg.NickEdit->setText("  shopA ");
        dlg.BitBtn1->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        const auto calls = svc.calls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls[0].names(), QStringList({"nickid", "operid", "shopid", "module", "masternick"}));
        QCOMPARE(calls[0].value("nickid"), QString());
        QCOMPARE(calls[0].value("masternick"), QString("shopA"));
        QFile f(dir.filePath("nick.dll"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("shopA\n"));
    }

    void nickDialogStaysOpenWhenRefused()
    {
        TScriptedUi ui;
        TFakeService svc;
        QTemporaryDir dir;
        svc.fail("PowerMger.SETNICK", 12, "主帐号不存在");
        TFrmNick dlg(dir.path());
        dlg.NickEdit->setText("nobody");
        dlg.BitBtn1->click();
        QCOMPARE(dlg.result(), 0);
        QVERIFY(!QFile::exists(dir.filePath("nick.dll")));
        QCOMPARE(ui.messages.size(), 1);
    }

    void startUpToLoginSendsExactlyThis()
    {
        TDrivingUi ui;
        TFakeService svc;
        answerDirectory(svc);
        const QString bpl = KxProgramDir() + "/bpl";
        QDir().mkpath(bpl);
        writeFile(bpl + "/kx_broken.so", "not a library");
        writeFile(KxProgramDir() + "/nick.dll", "demoseller\n");
        ui.atLogon = [](TFrmLogon* logon) {
            logon->cxTextEdit1->setText("pw 1");
            logon->cxButton2->click();
        };
        std::unique_ptr<TFrmClient> client(KxStartClient({"korvadex://ignored/"}));
        QFile::remove(KxProgramDir() + "/nick.dll");
        QFile::remove(bpl + "/kx_broken.so");
        QVERIFY(client);
        QCOMPARE(terminations, 0);

        const auto calls = svc.calls();
        QCOMPARE(svc.modules(), QStringList({"PowerMger.Module", "Power.LoadLib", "Power.Shop", "Power.Oper",
                                             "Power.SubNick", "Power.Login"}));
        QCOMPARE(calls[0].names(), QStringList({"nickid", "operid", "shopid", "module", "masternick"}));
        QCOMPARE(calls[0].value("masternick"), QString("demoseller")); // the file wins over the URL
        QCOMPARE(calls[0].value("nickid"), QString());
        for (int i = 1; i <= 4; ++i) {
            QCOMPARE(calls[i].value("nickid"), QString("N100"));
            QCOMPARE(calls[i].value("operid"), QString()); // nobody is logged in yet
        }
        QCOMPARE(calls[5].names(), QStringList({"nickid", "operid", "shopid", "module", "shopcode", "usercode", "password"}));
        QCOMPARE(calls[5].value("shopcode"), QString("S01"));
        QCOMPARE(calls[5].value("usercode"), QString("zhang"));
        QCOMPARE(calls[5].value("password"), QString("pw 1")); // as typed
        QCOMPARE(calls[5].value("operid"), QString());

        // Missing package skipped silently; the broken one reported with the loader's text.
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages[0].caption, QString("系统提示"));
        QCOMPARE(ui.messages[0].icon, TMsgIcon::Error);
        QVERIFY(ui.messages[0].text.contains("kx_broken.so"));

        QCOMPARE(gNickId, QString("N100"));
        QCOMPARE(gNickName, QString("demoseller"));
        QCOMPARE(gShopId, QString("S01"));
        QCOMPARE(gShopName, QString("旗舰店"));
        QCOMPARE(gOperId, QString("zhang"));
        QCOMPARE(gOperName, QString("张三"));
        QCOMPARE(gSubNicks, QStringList({"sub1", "sub2"}));
        QCOMPARE(client->BaseCaption(), QString("VarnoqERP 演示"));
        QCOMPARE(client->StatusPanels[1]->text(), QString("    门店:[S01] 旗舰店"));
        QCOMPARE(client->StatusPanels[2]->text(), QString("  操作员:[zhang] 张三"));
    }

    void failedDirectoryCallEndsTheProgram()
    {
        TDrivingUi ui;
        TFakeService svc;
        svc.fail("PowerMger.Module", 3, "主帐号未开通");
        std::unique_ptr<TFrmClient> client(KxStartClient({"korvadex://shopA/"}));
        QVERIFY(!client);
        QCOMPARE(svc.modules(), QStringList({"PowerMger.Module"}));
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY(ui.modalWindows.isEmpty());
    }

    void cancelledNickDialogEndsTheProgram()
    {
        TDrivingUi ui;
        TFakeService svc;
        ui.modalResults.enqueue(mrCancel);
        QVERIFY(!KxStartClient({}));
        QVERIFY(svc.calls().isEmpty());
        QCOMPARE(ui.modalWindows.size(), 1); // the nick dialog, nothing after it
    }

    void emptyListsGiveTheDefaults()
    {
        TScriptedUi ui;
        TFakeService svc;
        answerDirectory(svc);
        QVERIFY(KxDirectoryCall(KxProgramDir(), {"korvadex://shopA/"}));
        svc.answer("Power.Shop", Answer({{"xmldata", Packet({"shopcode", "shopname"}, {})}}));
        svc.answer("Power.Oper", Answer({{"xmldata", Packet({"operid", "opername"}, {})}}));
        TFrmClient client;
        TFrmLogon logon;
        logon.show();
        QCOMPARE(logon.cxComboBox1->count(), 1);
        QCOMPARE(logon.cxComboBox1->currentText(), QString("总店"));
        QCOMPARE(logon.cxComboBox1->currentData().toString(), QString("coreshop"));
        QVERIFY(!logon.cxComboBox1->isEnabled());
        QCOMPARE(logon.cxComboBox2->currentText(), QString("老板"));
        QCOMPARE(logon.cxComboBox2->currentData().toString(), QString("admin"));
        QVERIFY(!logon.cxComboBox2->isEnabled());
        QVERIFY(ui.messages.isEmpty());
    }

    void failingListCallTerminates()
    {
        TScriptedUi ui;
        TFakeService svc;
        answerDirectory(svc);
        QVERIFY(KxDirectoryCall(KxProgramDir(), {"korvadex://shopA/"}));
        svc.clearCalls();
        svc.fail("Power.Oper", 5, "无法读取操作员");
        TFrmLogon logon;
        logon.show();
        QCOMPARE(terminations, 1);
        QCOMPARE(svc.modules(), QStringList({"Power.Shop", "Power.Oper"})); // the chain stops
        QVERIFY(!logon.isVisible());
    }

    void loginChecks_data()
    {
        QTest::addColumn<int>("emptyBox");
        QTest::addColumn<QString>("message");
        QTest::newRow("no shop") << 1 << "门店编码不能为空！";
        QTest::newRow("no operator") << 2 << "操作员编码不能为空！";
    }
    void loginChecks()
    {
        QFETCH(int, emptyBox);
        QFETCH(QString, message);
        TScriptedUi ui;
        TFakeService svc;
        answerDirectory(svc);
        QVERIFY(KxDirectoryCall(KxProgramDir(), {"korvadex://shopA/"}));
        TFrmClient client;
        TFrmLogon logon;
        logon.show();
        svc.clearCalls();
        (emptyBox == 1 ? logon.cxComboBox1 : logon.cxComboBox2)->setCurrentIndex(-1);
        logon.cxButton2->click();
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages[0].text, message);
        QCOMPARE(ui.messages[0].caption, QString("错误提示"));
        QCOMPARE(ui.messages[0].icon, TMsgIcon::Error);
        QVERIFY(svc.calls().isEmpty());
    }

    void wrongPasswordKeepsTheDialogOpen()
    {
        TScriptedUi ui;
        TFakeService svc;
        answerDirectory(svc);
        QVERIFY(KxDirectoryCall(KxProgramDir(), {"korvadex://shopA/"}));
        svc.fail("Power.Login", 21, "密码错误");
        TFrmClient client;
        TFrmLogon logon;
        logon.show();
        logon.cxTextEdit1->setText("wrong");
        QTest::keyClick(logon.cxTextEdit1, Qt::Key_Return); // Enter logs in too
        QCOMPARE(svc.modules().last(), QString("Power.Login"));
        QVERIFY(logon.isVisible());
        QCOMPARE(logon.cxTextEdit1->text(), QString("wrong"));
        // Selected, so typing replaces it; Tab goes on to "登   录".
        QCOMPARE(logon.cxTextEdit1->selectedText(), QString("wrong"));
        QCOMPARE(logon.cxTextEdit1->nextInFocusChain(), logon.cxButton2);
        QCOMPARE(gOperId, QString());
        QCOMPARE(terminations, 0);
        logon.close(); // closing without a login ends the program
        QCOMPARE(terminations, 1);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
