// Navigation built from the login tables: menu pruning and tree order, ribbon tabs, groups
// and buttons, start menu, pictures.
#include "ScriptedUi.h"
#include "ShellTestUtil.h"
#include "uFrmClient.h"
#include "uRibbon.h"
#include "uResponse.h"
#include "ufrmBase.h"

#include <QDir>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

Q_DECLARE_METATYPE(QList<TMenuEntry>)

namespace {

const QStringList kMenuFields{"menu_id:int", "parent_id:int", "menu_title", "mod_id:int"};
const QStringList kModuleFields{"mod_id:int", "mod_name"};

struct Tables {
    QList<QStringList> menu, module, nav, bar, but, start;
};

TResponse answerOf(const Tables& t, bool withStart = true)
{
    TResponse r;
    r.AddParams("kx_menu", Packet(kMenuFields, t.menu));
    r.AddParams("kx_module", Packet(kModuleFields, t.module));
    r.AddParams("kx_nav", Packet({"nav_id:int", "nav_name"}, t.nav));
    r.AddParams("kx_nav_bar", Packet({"nav_id:int", "bar_id:int", "bar_name"}, t.bar));
    r.AddParams("kx_nav_but", Packet({"bar_id:int", "but_id:int", "mod_id:int", "but_name", "but_image"}, t.but));
    if (withStart)
        r.AddParams("kx_start_but", Packet({"but_name", "mod_id:int", "but_image"}, t.start));
    return r;
}

// The tree as text: one line per node, indented by depth.
QStringList treeLines(QTreeWidget* tree)
{
    QStringList lines;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* item, int depth) {
        lines << QString(depth * 2, u' ') + item->text(0);
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i), depth + 1);
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i), 0);
    return lines;
}

} // namespace

class TestNavigation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void arrangeMenu_data()
    {
        QTest::addColumn<QList<TMenuEntry>>("in");
        QTest::addColumn<QList<int>>("order");
        auto e = [](int parent, int id) { return TMenuEntry{parent, id, QString::number(id), 0}; };
        QTest::newRow("children follow their parent") << QList<TMenuEntry>{e(0, 1), e(0, 2), e(1, 3), e(2, 4), e(1, 5)}
                                                      << QList<int>{1, 3, 5, 2, 4};
        QTest::newRow("child before its parent stays") << QList<TMenuEntry>{e(1, 2), e(0, 1), e(1, 3)}
                                                       << QList<int>{2, 1, 3};
        QTest::newRow("grandchildren") << QList<TMenuEntry>{e(0, 1), e(2, 3), e(1, 2)} << QList<int>{1, 2, 3};
        QTest::newRow("single") << QList<TMenuEntry>{e(0, 1)} << QList<int>{1};
        QTest::newRow("empty") << QList<TMenuEntry>{} << QList<int>{};
    }
    void arrangeMenu()
    {
        QFETCH(QList<TMenuEntry>, in);
        QFETCH(QList<int>, order);
        ArrangeMenu(in);
        QList<int> ids;
        for (const auto& e : in)
            ids << e.MenuId;
        QCOMPARE(ids, order);
    }

    void treeIsPrunedAndOrdered()
    {
        TScriptedUi ui;
        TFrmClient client;
        Tables t;
        t.module = {{"11", "Stock.Receive"}, {"12", "Stock.Out"}, {"13", "Sys.Psw"}};
        t.menu = {
            {"1", "0", "库存", "0"},      // holds only folders: pruned
            {"2", "1", "入库", "0"},      // holds a module: stays, hangs at the root
            {"3", "2", "采购入库", "11"},
            {"9", "8", "孤儿", "12"},     // listed before its parent
            {"8", "0", "系统", "0"},
            {"10", "8", "修改密码", "13"},
            {"20", "0", "空文件夹", "0"}, // empty folder: pruned
        };
        client.BuildNavigation(answerOf(t));
        QCOMPARE(treeLines(client.cxTreeView1),
                 QStringList({"系统菜单", "  入库", "    采购入库", "  孤儿", "  系统", "    修改密码"}));
        QVERIFY(!client.cxTreeView1->isHidden());
        QTreeWidgetItem* root = client.cxTreeView1->topLevelItem(0);
        QVERIFY(root->isExpanded());
        QVERIFY(!root->data(0, Qt::UserRole).isValid());
        QCOMPARE(root->child(0)->data(0, Qt::UserRole).toInt(), 2);
    }

    void emptyMenuHidesTheTree()
    {
        TScriptedUi ui;
        TFrmClient client;
        Tables t;
        t.module = {{"11", "M"}};
        t.menu = {{"1", "0", "只有文件夹", "0"}};
        client.BuildNavigation(answerOf(t));
        QVERIFY(client.cxTreeView1->isHidden());
        QVERIFY(ui.messages.isEmpty());
    }

    void ribbonKeepsOnlyWhatLeadsToAModule()
    {
        TScriptedUi ui;
        TFrmClient client;
        Tables t;
        t.module = {{"11", "M11"}, {"12", "M12"}};
        t.nav = {{"1", "销售"}, {"2", "库存"}, {"3", "空"}};
        t.bar = {{"1", "10", "订单"}, {"1", "11", "无按钮"}, {"2", "20", "入库"}, {"3", "30", "只有缺失模块"},
                 {"7", "70", "没有分组"}};
        t.but = {{"10", "1", "11", "订单管理", "trade.png"}, {"10", "2", "12", "发货", "missing.png"},
                 {"20", "3", "12", "采购入库", "../etc/x.png"}, {"30", "4", "99", "不存在", "x.png"},
                 {"99", "5", "11", "悬空按钮", "x.png"}};
        // A picture beside the program is used; a missing one leaves the button without.
        QDir().mkpath(KxProgramDir() + "/image");
        QImage(32, 32, QImage::Format_ARGB32).save(KxProgramDir() + "/image/trade.png");
        client.BuildNavigation(answerOf(t));
        QFile::remove(KxProgramDir() + "/image/trade.png");

        TKxRibbon* r = client.dxRibbon1;
        QCOMPARE(r->TabCount(), 2);
        QCOMPARE(r->TabCaption(0), QString("销售"));
        QCOMPARE(r->TabCaption(1), QString("库存"));
        const auto sales = r->Groups(0);
        QCOMPARE(sales.size(), 1);
        QCOMPARE(sales[0]->Caption(), QString("订单"));
        const auto buttons = sales[0]->Buttons();
        QCOMPARE(buttons.size(), 2);
        QCOMPARE(buttons[0]->text(), QString("订单管理"));
        QVERIFY(!buttons[0]->icon().isNull());
        QVERIFY(buttons[1]->icon().isNull());
        QVERIFY(r->Groups(1)[0]->Buttons()[0]->icon().isNull()); // a path is never followed
        QVERIFY(ui.messages.isEmpty());
    }

    void startMenu()
    {
        TScriptedUi ui;
        TFrmClient client;
        Tables t;
        t.module = {{"11", "M11"}, {"12", "M12"}};
        t.start = {{"订单", "11", "trade.png"}, {"-", "0", ""}, {"无此模块", "99", ""}, {"入库", "12", ""}};
        client.BuildNavigation(answerOf(t));
        QVERIFY(client.StartToolBar);
        auto* drop = client.StartToolBar->findChild<QToolButton*>("startMenuButton");
        QVERIFY(drop);
        QCOMPARE(drop->text(), QString("开始菜单"));
        QStringList entries;
        for (QAction* a : drop->menu()->actions())
            entries << (a->isSeparator() ? "-" : a->text());
        QCOMPARE(entries, QStringList({"订单", "-", "入库"}));

        Tables none = t;
        none.start.clear();
        TFrmClient other;
        other.BuildNavigation(answerOf(none, false));
        QVERIFY(!other.StartToolBar);
        TFrmClient empty;
        empty.BuildNavigation(answerOf(none));
        QVERIFY(!empty.StartToolBar);
        QVERIFY(ui.messages.isEmpty());
    }
};

QTEST_MAIN(TestNavigation)
#include "tst_navigation.moc"
