// Deleting categories through the tree dialog against the real service: the question names
// the sub-categories that go with a category, a category that goods, products, suppliers or
// member cards still use is refused (naming how many) and stays everywhere, the refused change
// does not ride along with the next save, and an unused subtree goes whole.
#include "ServiceFixture.h"
#include "ScriptedUi.h"

#include "uCallModule.h"
#include "uFrmTree.h"
#include "uFrmTreeEdit.h"
#include "uUtils.h"

#include <QLineEdit>
#include <QTreeWidget>

namespace {
const TCaller kSeller{QStringLiteral("1001"), QStringLiteral(""), QStringLiteral("")};
const TCaller kAdmin{QStringLiteral("1001"), QStringLiteral("admin"), QStringLiteral("S01")};

// Answers the category name dialog with the next queued name.
class TTreeUi : public TScriptedUi {
public:
    QStringList names;
    int ShowModal(QWidget* window) override
    {
        if (auto* edit = qobject_cast<TFrmTreeEdit*>(window)) {
            edit->NameEdit()->setText(names.takeFirst());
            return mrOk;
        }
        return TScriptedUi::ShowModal(window);
    }
};

QTreeWidgetItem* node(QTreeWidget* tree, const QString& text)
{
    return tree->findItems(text, Qt::MatchRecursive | Qt::MatchExactly).value(0);
}

std::unique_ptr<TFrmTree> openTree(const QString& module)
{
    std::unique_ptr<TfrmBase> frm(CallModule(nullptr, module));
    auto* tree = qobject_cast<TFrmTree*>(frm.get());
    if (!tree)
        return nullptr;
    frm.release();
    tree->show();
    return std::unique_ptr<TFrmTree>(tree);
}
} // namespace

class TestServiceCategory : public QObject {
    Q_OBJECT

    std::unique_ptr<TServiceFixture> fx;
    std::unique_ptr<TTreeUi> ui;

    int categories()
    {
        return fx->scalar(QStringLiteral("SELECT COUNT(*) FROM kx_category WHERE nickid = '1001'")).toInt();
    }

private slots:
    void initTestCase()
    {
        fx = std::make_unique<TServiceFixture>(QStringLiteral("sqlite"));
        KxSetServiceUrl(fx->url());
        const TCallResult login = fx->call(kSeller, QStringLiteral("PowerMger.Login"),
                                           {{"shopcode", "S01"}, {"usercode", "admin"}, {"password", "admin888"}});
        QVERIFY2(login.ok, qPrintable(login.error));
        gNickId = kAdmin.nick;
        gOperId = kAdmin.oper;
        gShopId = kAdmin.shop;
        ui = std::make_unique<TTreeUi>();
    }
    void cleanupTestCase()
    {
        ui.reset();
        KxSetServiceUrl(QString());
        fx.reset();
    }
    void init() { ui->clear(); }

    void deleteInUseIsRefused_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("category");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("goods and products below a category")
            << "Category.Module" << "上装" << "分类【上装】下的 4 个子分类将一并删除，真的删除记录吗？"
            << "分类【上装】及其下级分类正被 26 个货品、174 个商品使用，不能删除";
        QTest::newRow("suppliers") << "Category.Supplier" << "面料供应商" << "真的删除记录吗？"
                                   << "分类【面料供应商】及其下级分类正被 2 个供应商使用，不能删除";
        QTest::newRow("member cards") << "Category.Vipcard" << "金卡会员" << "真的删除记录吗？"
                                      << "分类【金卡会员】及其下级分类正被 4 张会员卡使用，不能删除";
    }
    void deleteInUseIsRefused()
    {
        QFETCH(QString, module);
        QFETCH(QString, category);
        QFETCH(QString, question);
        QFETCH(QString, refusal);
        std::unique_ptr<TFrmTree> tree = openTree(module);
        QVERIFY(tree);
        QTreeWidget* view = tree->Tree();
        const int before = categories();
        QTreeWidgetItem* item = node(view, category);
        QVERIFY(item);
        const int children = item->childCount();

        view->setCurrentItem(item);
        tree->actDeleteClick();
        QCOMPARE(ui->messages.size(), 2);
        QCOMPARE(ui->messages[0].text, question);
        QVERIFY2(ui->messages[1].text.contains(refusal), qPrintable(ui->messages[1].text));
        QCOMPARE(categories(), before);
        QCOMPARE(node(view, category), item);
        QCOMPARE(item->childCount(), children);
        QVERIFY(tree->DataSet()->GetEmptyDelta());

        // The refused delete does not go with the next change of the same window.
        ui->clear();
        view->setCurrentItem(view->topLevelItem(0));
        ui->names << category + QStringLiteral("之后");
        tree->actAddClick();
        QCOMPARE(ui->lastText(), QStringLiteral("数据提交成功！"));
        QCOMPARE(categories(), before + 1);
        QVERIFY(node(view, category));
    }

    void unusedSubtreeGoesWhole()
    {
        std::unique_ptr<TFrmTree> tree = openTree(QStringLiteral("Category.Module"));
        QVERIFY(tree);
        QTreeWidget* view = tree->Tree();
        view->setCurrentItem(view->topLevelItem(0));
        ui->names << QStringLiteral("空类") << QStringLiteral("空子类") << QStringLiteral("空孙类");
        tree->actAddClick();
        tree->actAddClick();
        tree->actAddClick();
        QCOMPARE(node(view, QStringLiteral("空孙类"))->parent(), node(view, QStringLiteral("空子类")));
        const int before = categories();

        ui->clear();
        view->setCurrentItem(node(view, QStringLiteral("空类")));
        tree->actDeleteClick();
        QCOMPARE(ui->messages.value(0).text, QStringLiteral("分类【空类】下的 2 个子分类将一并删除，真的删除记录吗？"));
        QCOMPARE(ui->lastText(), QStringLiteral("数据提交成功！"));
        QCOMPARE(categories(), before - 3);
        QVERIFY(!node(view, QStringLiteral("空孙类")));
    }
};

QTEST_MAIN(TestServiceCategory)
#include "tst_category.moc"
