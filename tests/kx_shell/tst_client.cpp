// The main window with modules from a scripted service: tabs, modal modules, self-closing
// modules, the home tab, captions, re-login, password change and the home links.
#include "FakeService.h"
#include "ScriptedUi.h"
#include "ShellTestUtil.h"
#include "uCallModule.h"
#include "uFrmClient.h"
#include "uFrmModifyPsw.h"
#include "uHomeQueues.h"
#include "uHttpWeb.h"
#include "uRibbon.h"
#include "uShell.h"
#include "ufrmBase.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>

#include <functional>

class TfrmTabProbe : public TfrmBase {
    Q_OBJECT
public:
    using TfrmBase::TfrmBase;
};
KX_REGISTER_CLASS(TfrmTabProbe)

// A module window holding unsaved changes: asks before it lets itself be closed.
class TfrmChangedProbe : public TfrmBase {
    Q_OBJECT
public:
    using TfrmBase::TfrmBase;

protected:
    void FormClose(QCloseEvent* event) override
    {
        if (!KxAskOkCancel(QStringLiteral("单据有未保存的修改，确定不保存就退出吗？")))
            event->ignore();
    }
};
KX_REGISTER_CLASS(TfrmChangedProbe)

namespace {

QString module(const QString& cls, const QString& title, const QString& modal = {})
{
    return QString::fromUtf8(Answer({{"moduleclass", cls}, {"moduletitle", title}, {"modal", modal}}));
}

QByteArray navigation(const QList<QStringList>& menu)
{
    return Answer({{"kx_module", Packet({"mod_id:int", "mod_name"},
                                        {{"1", "Mod.Tab"}, {"2", "Mod.Modal"}, {"3", "Mod.Psw"}, {"4", "Mod.Gone"}, {"5", "Mod.Changed"}})},
                   {"kx_menu", Packet({"menu_id:int", "parent_id:int", "menu_title", "mod_id:int"}, menu)}});
}

QStringList treeTexts(QTreeWidget* tree)
{
    QStringList out;
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* i) {
        out << i->text(0);
        for (int c = 0; c < i->childCount(); ++c)
            walk(i->child(c));
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i));
    return out;
}

void answerSession(TFakeService& svc)
{
    svc.answer("PowerMger.Module", Answer({{"nickid", "N100"}, {"moduletitle", "VarnoqERP"}, {"loginsys", "Power.Login"},
                                           {"modifypsw", "Power.ModifyPsw"}, {"navigation", "Power.Navigation"},
                                           {"help", "https://help.example.com/"},
                                           {"qq", "file:///etc/passwd"}}));
    svc.answer("Power.Login",
               Answer({{"shopname", "旗舰店"}, {"username", "张三"},
                       {"kx_module", Packet({"mod_id:int", "mod_name"},
                                            {{"1", "Mod.Tab"}, {"2", "Mod.Modal"}, {"3", "Mod.Psw"}, {"4", "Mod.Gone"},
                                             {"5", "Mod.Changed"}})},
                       {"kx_menu", Packet({"menu_id:int", "parent_id:int", "menu_title", "mod_id:int"},
                                          {{"1", "0", "订单", "1"}})}}));
    svc.answer("Mod.Tab", module("TfrmTabProbe", "订单管理").toUtf8());
    svc.answer("Mod.Modal", module("TfrmTabProbe", "选择商品", "true").toUtf8());
    svc.answer("Mod.Psw", module("TFrmModifyPsw", "修改密码", "true").toUtf8());
    svc.answer("Mod.Changed", module("TfrmChangedProbe", "采购入库单").toUtf8());
    svc.answer("Mod.Gone", module("TfrmNotInAnyPackage", "x").toUtf8());
    svc.answer("Power.ModifyPsw", "<response><result>ok</result></response>");
}

} // namespace

class TestClient : public QObject {
    Q_OBJECT
    std::unique_ptr<TFakeService> svc;
    std::unique_ptr<TScriptedUi> ui;
    std::unique_ptr<TFrmClient> client;

private Q_SLOTS:
    void init()
    {
        KxSetTerminateHandler([] {});
        gOperId.clear();
        ui = std::make_unique<TScriptedUi>();
        svc = std::make_unique<TFakeService>();
        answerSession(*svc);
        QVERIFY(KxDirectoryCall(KxProgramDir(), {"korvadex://shopA/"}));
        client = std::make_unique<TFrmClient>();
        QVERIFY(client->Login("S01", "zhang", "pw"));
        svc->clearCalls();
    }
    void cleanup()
    {
        client.reset();
        svc.reset();
        ui.reset();
    }

    void sameEntryTwiceMakesOneCall()
    {
        QTabWidget* tabs = client->cxPageControl1;
        client->OpenModule(1);
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(tabs->tabText(1), QString(" 订单管理 "));
        QCOMPARE(tabs->widget(1)->property("tag").toInt(), 1);
        QCOMPARE(client->windowTitle(), QString("VarnoqERP --- 订单管理"));
        tabs->setCurrentIndex(0);
        QCOMPARE(client->windowTitle(), QString("VarnoqERP --- 主页"));
        client->OpenModule(1);
        QCOMPARE(tabs->currentIndex(), 1);
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(svc->modules(), QStringList({"Mod.Tab"}));
        QCOMPARE(svc->calls()[0].value("operid"), QString("zhang"));
    }

    // Enter on a menu entry opens its module as a double click does; the tree shows the
    // longest entry whole.
    void menuEntryOpensOnEnter()
    {
        client->show();
        client->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(client.get()));
        QTreeWidget* tree = client->cxTreeView1;
        QTreeWidgetItem* entry = tree->topLevelItem(0)->child(0);
        QVERIFY(entry);
        QCOMPARE(entry->text(0), QString("订单"));
        QVERIFY(tree->width() >= tree->visualItemRect(entry).left() + tree->fontMetrics().horizontalAdvance(entry->text(0)));
        tree->setCurrentItem(entry);
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_Return);
        QCOMPARE(client->cxPageControl1->count(), 2);
        QCOMPARE(client->cxPageControl1->tabText(1), QString(" 订单管理 "));
        QCOMPARE(svc->modules(), QStringList({"Mod.Tab"}));
    }

    void unknownIdsAndUnregisteredClasses()
    {
        client->OpenModule(77); // not in the module table: nothing at all
        QVERIFY(svc->calls().isEmpty());
        QVERIFY(ui->messages.isEmpty());
        client->OpenModule(4);
        QCOMPARE(ui->lastText(), QString("【TfrmNotInAnyPackage】此模块视图没有注册!"));
        QCOMPARE(client->cxPageControl1->count(), 1);
    }

    void modalModuleGetsNoTab()
    {
        ui->modalResults.enqueue(mrOk);
        client->OpenModule(2);
        QCOMPARE(ui->modalWindows.size(), 1);
        QCOMPARE(client->cxPageControl1->count(), 1);
        auto* frm = qobject_cast<TfrmTabProbe*>(ui->modalWindows[0]);
        QVERIFY(frm);
        QCOMPARE(frm->parent(), client.get()); // stays owned by the main window
        QVERIFY(!frm->isVisible());
    }

    void selfClosingModuleLosesItsTab()
    {
        client->OpenModule(1);
        QTabWidget* tabs = client->cxPageControl1;
        auto* frm = tabs->widget(1)->findChild<TfrmBase*>();
        QVERIFY(frm);
        QPointer<TfrmBase> guard(frm);
        frm->close();
        QTRY_VERIFY(guard.isNull());
        QTRY_COMPARE_WITH_TIMEOUT(tabs->count(), 1, 1000);
    }

    void homeTabCannotBeClosed()
    {
        QTabWidget* tabs = client->cxPageControl1;
        client->OpenModule(1);
        tabs->setCurrentIndex(0);
        QVERIFY(!client->CloseTab(0));
        emit tabs->tabBar()->tabBarDoubleClicked(0);
        QCOMPARE(tabs->count(), 2);
        QVERIFY(!tabs->tabBar()->tabButton(0, QTabBar::RightSide));
        tabs->setCurrentIndex(1);
        emit tabs->tabBar()->tabBarDoubleClicked(1);
        QCOMPARE(tabs->count(), 1);
        QCOMPARE(tabs->widget(0), client->TabSheetHome);
    }

    // Closing the main window (or a tab) lets each module window ask about its unsaved
    // changes; "取消" keeps the program and the document open.
    void closingAsksChangedDocuments_data()
    {
        QTest::addColumn<bool>("mainWindow");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("tabsLeft");
        QTest::addColumn<int>("shownTag"); // the tab shown afterwards (-1 home)
        QTest::newRow("main window, discard") << true << int(mrOk) << true << 1 << -1;
        QTest::newRow("main window, keep") << true << int(mrCancel) << false << 2 << 5;
        QTest::newRow("tab, keep") << false << int(mrCancel) << false << 3 << 1;
    }
    void closingAsksChangedDocuments()
    {
        QFETCH(bool, mainWindow);
        QFETCH(int, answer);
        QFETCH(bool, closed);
        QFETCH(int, tabsLeft);
        QFETCH(int, shownTag);
        QTabWidget* tabs = client->cxPageControl1;
        client->OpenModule(5);
        client->OpenModule(1);
        QCOMPARE(tabs->count(), 3);
        ui->answers.enqueue(answer);
        const bool done = mainWindow ? client->close() : client->CloseTab(1);
        QCOMPARE(done, closed);
        QCOMPARE(ui->messages.size(), 1);
        QCOMPARE(ui->lastText(), QString("单据有未保存的修改，确定不保存就退出吗？"));
        QCOMPARE(tabs->count(), tabsLeft);
        QCOMPARE(tabs->currentWidget()->property("tag").toInt(), shownTag);
    }

    // Rights changed after the login: the menu follows without logging in again, the open
    // module tabs stay; the same navigation rebuilds nothing; a failed quiet ask shows nothing.
    void navigationFollowsRightsWithoutRelogin()
    {
        client->OpenModule(1);
        QCOMPARE(client->cxPageControl1->count(), 2);
        svc->answer("Power.Navigation", navigation({{"1", "0", "订单", "1"}}));
        svc->clearCalls();
        QVERIFY(!client->RefreshNavigation());
        QCOMPARE(svc->modules(), QStringList{"Power.Navigation"});
        QVERIFY(!treeTexts(client->cxTreeView1).contains("采购入库单"));

        svc->answer("Power.Navigation", navigation({{"1", "0", "订单", "1"}, {"2", "0", "采购入库单", "5"}}));
        QVERIFY(client->RefreshNavigation());
        QVERIFY2(treeTexts(client->cxTreeView1).contains("采购入库单"), qPrintable(treeTexts(client->cxTreeView1).join(',')));
        QCOMPARE(client->cxPageControl1->count(), 2);

        svc->fail("Power.Navigation", 27, "服务忙");
        ui->texts.clear();
        QVERIFY(!client->RefreshNavigation(true));
        QVERIFY(ui->texts.isEmpty());
        QVERIFY(treeTexts(client->cxTreeView1).contains("采购入库单"));
    }

    void reloginRebuildsAndClosesModuleTabs()
    {
        client->OpenModule(1);
        QCOMPARE(client->cxPageControl1->count(), 2);
        QVERIFY(client->Login("S02", "li", "pw2"));
        QCOMPARE(client->cxPageControl1->count(), 1);
        const auto call = svc->calls().last();
        QCOMPARE(call.value("operid"), QString("zhang")); // the operator still logged in
        QCOMPARE(call.value("usercode"), QString("li"));
        QCOMPARE(gOperId, QString("li"));
        QCOMPARE(client->dxRibbon1->TabCount(), 0);
    }

    void passwordChange()
    {
        gOperName = "张三";
        QPointer<TFrmModifyPsw> dlg = new TFrmModifyPsw(client.get());
        dlg->show();
        QCOMPARE(dlg->LabelOperName->text(), QString("张三"));
        dlg->cxTextEdit1->setText("old");
        dlg->cxTextEdit2->setText("new1");
        dlg->cxTextEdit3->setText("new2");
        dlg->cxButton1->click();
        QCOMPARE(ui->lastText(), QString("新密码与确认密码必须相同！"));
        QCOMPARE(ui->messages.last().caption, QString("错误提示"));
        QVERIFY(svc->calls().isEmpty());

        svc->fail("Power.ModifyPsw", 31, "旧密码错误");
        dlg->cxTextEdit3->setText("new1");
        dlg->cxButton1->click();
        QVERIFY(dlg && dlg->isVisible()); // the service's word was shown; try again

        svc->answer("Power.ModifyPsw", "<response/>");
        ui->clear();
        dlg->cxButton1->click();
        QCOMPARE(ui->messages.size(), 1);
        QCOMPARE(ui->messages[0].text, QString("密码修改成功！"));
        QCOMPARE(ui->messages[0].icon, TMsgIcon::Information);
        const auto call = svc->calls().last();
        QCOMPARE(call.names(), QStringList({"nickid", "operid", "shopid", "module", "oldpassword", "newpassword"}));
        QCOMPARE(call.value("operid"), QString("zhang"));
        QCOMPARE(call.value("oldpassword"), QString("old"));
        QCOMPARE(call.value("newpassword"), QString("new1"));
        QTRY_VERIFY(dlg.isNull()); // closing frees it
    }

    void passwordModuleOpensFromTheMenu()
    {
        client->OpenModule(3);
        QCOMPARE(ui->modalWindows.size(), 1);
        QVERIFY(qobject_cast<TFrmModifyPsw*>(ui->modalWindows[0]));
    }

    // A module opened on fixed conditions gets them; the same conditions again bring its tab
    // forward, others open a tab of their own, and the menu's plain opening finds a tab.
    void modulesOpenOnFixedConditions()
    {
        QTabWidget* tabs = client->cxPageControl1;
        const QStringList waiting{"dbstatus=NOT_PICKING", "refund=0", "tab=未拣货"};
        client->OpenModule(1, waiting);
        QCOMPARE(tabs->count(), 2);
        auto* first = tabs->widget(1)->findChild<TfrmBase*>();
        QVERIFY(first);
        QCOMPARE(first->FixedConditions(), waiting);
        client->OpenModule(1, {"seller_nick=shopA"});
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->widget(2)->findChild<TfrmBase*>()->FixedConditions(), QStringList({"seller_nick=shopA"}));
        client->OpenModule(1, waiting);
        QCOMPARE(tabs->currentIndex(), 1);
        client->OpenModule(1);
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(svc->modules(), QStringList({"Mod.Tab", "Mod.Tab"}));
    }

    // A click on a queue opens its module through the shell with the figure's conditions; a
    // figure of a module missing from the operator's module table is not shown at all.
    void homeQueueClickOpensItsModule()
    {
        TKxHomeQueues* queues = client->HomeQueues;
        TResponse answer;
        QVERIFY(answer.ParseXml(Answer({{"xmldata", Packet({"queue", "caption", "seller_nick", "num:int", "amount", "mod_id:int", "mod_name", "conditions"},
                                                            {{"topick", "待拣货", "", "7", "0", "1", "Mod.Tab", "dbstatus=NOT_PICKING\ntab=未拣货"},
                                                             {"belowmin", "低于库存下限", "", "3", "0", "9", "Mod.Stock", "belowmin=1"}})}})));
        queues->ApplyAnswer(answer);
        QCOMPARE(queues->Shown().size(), 1);
        QCOMPARE(queues->Shown()[0].caption, QString("待拣货"));
        const auto numbers = queues->findChildren<QLabel*>("queueNumber");
        QCOMPARE(numbers.size(), 1);
        QCOMPARE(numbers[0]->text(), QString("7"));
        QTest::mouseClick(numbers[0]->parentWidget(), Qt::LeftButton);
        QCOMPARE(client->cxPageControl1->count(), 2);
        QCOMPARE(client->cxPageControl1->widget(1)->findChild<TfrmBase*>()->FixedConditions(),
                 QStringList({"dbstatus=NOT_PICKING", "tab=未拣货"}));
        QVERIFY(ui->texts.isEmpty());
    }

    void homeLinksOpenOnlyWebLinks()
    {
        const auto pictures = client->TabSheetHome->findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
        QCOMPARE(pictures.size(), 2);
        QCOMPARE(pictures[0]->toolTip(), QString("查看帮助！！"));
        QTest::mouseClick(pictures[0], Qt::LeftButton);
        QTest::mouseClick(pictures[1], Qt::LeftButton); // a file: link from the service is refused
        QCOMPARE(ui->openedUrls, QStringList({"https://help.example.com/"}));
    }
};

QTEST_MAIN(TestClient)
#include "tst_client.moc"
