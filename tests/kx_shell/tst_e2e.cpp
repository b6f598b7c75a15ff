// Start-up to the logged-in main window against the real service program with its demo
// seller: the nick, the directory, the login dialog's lists, a refused and an accepted
// password, and the navigation the service's tables build.
#include "ScriptedUi.h"
#include "uConfig.h"
#include "uFrmClient.h"
#include "uFrmLogon.h"
#include "uPackages.h"
#include "ufrmBase.h"
#include "uPClientDataSet.h"
#include "uHttpWeb.h"
#include "uRibbon.h"
#include "uShell.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <csignal>

namespace {
class TLoginUi : public TScriptedUi {
public:
    QStringList passwords; // tried in order
    QStringList operatorsSeen;
    int ShowModal(QWidget* window) override
    {
        auto* logon = qobject_cast<TFrmLogon*>(window);
        if (!logon)
            return TScriptedUi::ShowModal(window);
        modalWindows.append(window);
        QPointer<TFrmLogon> guard(logon);
        logon->show();
        for (int i = 0; i < logon->cxComboBox2->count(); ++i)
            operatorsSeen << logon->cxComboBox2->itemData(i).toString();
        logon->cxComboBox2->setCurrentIndex(logon->cxComboBox2->findData("admin"));
        for (const QString& pw : passwords) {
            if (!guard || !guard->isVisible())
                break;
            logon->cxTextEdit1->setText(pw);
            logon->cxButton2->click();
        }
        return guard ? guard->ModalResult() : int(mrCancel);
    }
};
}

class TestEndToEnd : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QProcess service;

private Q_SLOTS:
    void initTestCase()
    {
        KxSetTerminateHandler([] {});
        service.start(qEnvironmentVariable("KX_BIN_DIR") + "/kxservice",
                      {"--listen", "127.0.0.1:0", "--db", "sqlite:" + dir.filePath("kx.db"), "--seed", "demo",
                       "--log", dir.filePath("service.log")});
        QVERIFY(service.waitForStarted());
        QString url;
        const QRegularExpression serving("serving (http://\\S+)");
        QString out;
        for (int i = 0; i < 150 && url.isEmpty(); ++i) {
            service.waitForReadyRead(200);
            out += QString::fromUtf8(service.readAllStandardOutput());
            const auto m = serving.match(out);
            if (m.hasMatch())
                url = m.captured(1);
        }
        QVERIFY2(!url.isEmpty(), qPrintable(service.readAllStandardError()));
        KxSetServiceUrl(url);
    }
    void cleanupTestCase()
    {
        KxResetTransport();
        KxSetServiceUrl(QString());
        ::kill(pid_t(service.processId()), SIGTERM);
        service.waitForFinished(10000);
    }

    void startUpLogsInAndBuildsNavigation()
    {
        TLoginUi ui;
        ui.passwords = {"wrong", "admin888"};
        std::unique_ptr<TFrmClient> client(KxStartClient({"korvadex://varnoq_demo/"}));
        QVERIFY2(client, qPrintable(ui.lastText()));

        // The wrong password was refused by the service and shown; the second one passed.
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages[0].caption, QString("系统提示"));
        QVERIFY(ui.operatorsSeen.contains("admin"));
        QVERIFY(ui.operatorsSeen.contains("clerk"));

        QCOMPARE(gNickId, QString("1001"));
        QCOMPARE(gOperId, QString("admin"));
        QCOMPARE(gShopId, QString("S01"));
        QVERIFY(!gOperName.isEmpty());
        QVERIFY(client->StatusPanels[2]->text().contains("[admin]"));

        // The service's menu, ribbon and start menu made it into the window.
        QTreeWidgetItem* root = client->cxTreeView1->topLevelItem(0);
        QVERIFY(root);
        QCOMPARE(root->text(0), QString("系统菜单"));
        QVERIFY(root->childCount() > 3);
        QVERIFY(client->dxRibbon1->TabCount() > 0);
        QVERIFY(client->StartToolBar);

        // A logged-in client can call methods that need the operator's session.
        THttpWeb web;
        web.setModule("PowerMger.Operator");
        QVERIFY2(web.SendData(), qPrintable(ui.lastText()));

        // A document module comes from its package (built beside the programs, not beside this
        // test): the receipt list docks in a tab.
        const TKxPackageResult package = KxLoadPackage(qEnvironmentVariable("KX_BIN_DIR") + "/bpl", "kx_scrips.so");
        QVERIFY2(package.ok(), qPrintable(package.message));
        QVERIFY(client->cds_module->Locate("mod_name", QString("Receive.Module")));
        const int tabs = client->cxPageControl1->count();
        client->OpenModule(client->cds_module->FieldByName("mod_id")->AsInteger());
        QVERIFY2(client->cxPageControl1->count() == tabs + 1, qPrintable(ui.lastText()));
        const QWidget* tab = client->cxPageControl1->currentWidget();
        const auto* form = tab->findChild<TfrmBase*>();
        QVERIFY(form);
        QCOMPARE(form->metaObject()->className(), "TfrmReceive");
        QCOMPARE(client->cxPageControl1->tabText(client->cxPageControl1->currentIndex()).trimmed(), QString("采购入库单"));
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
