// The pick dialogs and category trees against the real service: every select module's list
// and conditions, a product pick with the stock of one storage, lookups that find, miss or
// fail, and the tree dialog adding, renaming and deleting a category with grandchildren.
#include "ServiceFixture.h"
#include "codec/uPanelStream.h"
#include "codec/uPanelText.h"
#include "ScriptedUi.h"

#include "uCallModule.h"
#include "uFrmSelect.h"
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

std::unique_ptr<TPClientDataSet> picked(TfrmBase& frm)
{
    auto ds = std::make_unique<TPClientDataSet>();
    frm.ResultStream()->seek(0);
    ds->LoadFromStream(frm.ResultStream());
    return ds;
}

QTreeWidgetItem* node(QTreeWidget* tree, const QString& text)
{
    return tree->findItems(text, Qt::MatchRecursive | Qt::MatchExactly).value(0);
}
} // namespace

class TestServiceSelect : public QObject {
    Q_OBJECT

    std::unique_ptr<TServiceFixture> fx;
    std::unique_ptr<TTreeUi> ui;

    QString categoryCount(const QString& where)
    {
        return fx->scalar(QStringLiteral("SELECT COUNT(*) FROM kx_category WHERE nickid = '1001' AND ") + where).toString();
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

    void selectLists_data()
    {
        QTest::addColumn<QString>("method");
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("where"); // the rows expected, counted in the database
        QTest::newRow("goods") << "Select.GoodsSearch" << QStringList{} << "goodscode" << "SELECT COUNT(*) FROM kx_goods WHERE nickid = '1001'";
        QTest::newRow("goods by part of the name") << "Select.GoodsSearch" << QStringList{"goodsname=T恤"} << "goodsname"
                                                   << "SELECT COUNT(*) FROM kx_goods WHERE nickid = '1001' AND goodsname LIKE '%T恤%'";
        QTest::newRow("products not packed, not deleted") << "Select.CommoditySearch" << QStringList{"is_del=0", "is_pack=0"} << "commoditycode"
                                                          << "SELECT COUNT(*) FROM kx_commodity WHERE nickid = '1001' AND is_del = 0 AND is_pack = 0";
        QTest::newRow("suppliers in use") << "Select.SupplierSearch" << QStringList{"status=1"} << "suppliercode"
                                          << "SELECT COUNT(*) FROM kx_supplier WHERE nickid = '1001' AND status = 1";
        QTest::newRow("colours") << "Select.PropColorSearch" << QStringList{"isuse=1"} << "propid"
                                 << "SELECT COUNT(*) FROM kx_prop WHERE nickid = '1001' AND proptype = 'color' AND isuse = 1";
        QTest::newRow("sizes") << "Select.PropSizeSearch" << QStringList{} << "propid"
                               << "SELECT COUNT(*) FROM kx_prop WHERE nickid = '1001' AND proptype = 'size'";
        QTest::newRow("member cards") << "Select.VipcardSearch" << QStringList{"isuse=1"} << "vipid"
                                      << "SELECT COUNT(*) FROM kx_vipcard WHERE nickid = '1001' AND is_use = 1";
        QTest::newRow("senders") << "Select.RefundRenSearch" << QStringList{} << "renid" << "SELECT COUNT(*) FROM kx_sendren WHERE nickid = '1001'";
        QTest::newRow("product by its code") << "Select.CommoditySearch" << QStringList{"commoditycode=G100101"} << "commoditycode"
                                             << "SELECT COUNT(*) FROM kx_commodity WHERE nickid = '1001' AND commoditycode = 'G100101'";
        QTest::newRow("product by its scanned barcode") << "Select.CommoditySearch" << QStringList{"commoditycode=6910000014"} << "commoditycode"
                                                        << "SELECT COUNT(*) FROM kx_commodity WHERE nickid = '1001' AND barcode = '6910000014'";
        QTest::newRow("a quote matches nothing") << "Select.GoodsSearch" << QStringList{"goodsname=' OR '1'='1"} << "goodscode" << "SELECT 0";
    }
    void selectLists()
    {
        QFETCH(QString, method);
        QFETCH(QStringList, params);
        QFETCH(QString, field);
        QFETCH(QString, where);
        QList<QPair<QString, QString>> p;
        for (const QString& line : params)
            p << qMakePair(line.section(u'=', 0, 0), line.section(u'=', 1));
        p << qMakePair(QStringLiteral("curpage"), QStringLiteral("0"));
        const TCallResult r = fx->call(kAdmin, method, p);
        QVERIFY2(r.ok, qPrintable(r.error));
        const int expected = fx->scalar(where).toInt();
        QCOMPARE(KxColumn(r.value("xmldata"), field).size(), expected);
        QCOMPARE(r.value("recordcount").toInt(), expected);
        QCOMPARE(r.value("pagecount"), QStringLiteral("1"));
    }

    // "curpage": 0 every row, -1 and 1 the first page, 2 the next; "pagecount" counts pages.
    void paging_data()
    {
        QTest::addColumn<QString>("curpage");
        QTest::addColumn<int>("rows");
        QTest::newRow("all") << "0" << -1;
        QTest::newRow("opening") << "-1" << 5;
        QTest::newRow("first") << "1" << 5;
        QTest::newRow("past the end") << "999" << 0;
    }
    void paging()
    {
        QFETCH(QString, curpage);
        QFETCH(int, rows);
        const int total = fx->scalar(QStringLiteral("SELECT COUNT(*) FROM kx_commodity WHERE nickid = '1001'")).toInt();
        const TCallResult r = fx->call(kAdmin, QStringLiteral("Select.CommoditySearch"), {{"curpage", curpage}, {"pagesize", "5"}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(KxColumn(r.value("xmldata"), "commoditycode").size(), rows < 0 ? total : rows);
        QCOMPARE(r.value("recordcount").toInt(), total);
        QCOMPARE(r.value("pagecount").toInt(), curpage == u"0" ? 1 : (total + 4) / 5);
    }

    void productPickCarriesStockOfStorage()
    {
        const QString code = fx->scalar(QStringLiteral("SELECT MIN(commoditycode) FROM kx_stock WHERE nickid = '1001' AND storageid = 'CK01'")).toString();
        const int stock = fx->scalar(QStringLiteral("SELECT stocknum FROM kx_stock WHERE nickid = '1001' AND storageid = 'CK01' AND commoditycode = ?"), {code}).toInt();
        std::unique_ptr<TfrmBase> frm(CallModule(nullptr, QStringLiteral("Select.Commodity")));
        QVERIFY(frm);
        auto* select = qobject_cast<TFrmSelect*>(frm.get());
        QVERIFY(select);
        select->FixedConditions() << QStringLiteral("storageid=CK01") << QStringLiteral("is_del=0");
        select->show();
        QVERIFY(ui->messages.isEmpty());
        QVERIFY(select->TreePanel()->isVisibleTo(select)); // goods categories
        const QStringList conditions{QStringLiteral("commoditycode=") + code};
        QVERIFY(select->Search(&conditions, 1));
        select->btnSelectClick();
        auto row = picked(*select);
        QCOMPARE(row->RecordCount(), 1);
        QCOMPARE(row->FieldByName(QStringLiteral("commoditycode"))->AsString(), code);
        QCOMPARE(row->FieldByName(QStringLiteral("stocknum"))->AsInteger(), stock);
    }

    // Seeded search panels reach the client as "searchfile" texts its codec reads back.
    void seededSearchPanelsDecode_data()
    {
        QTest::addColumn<QString>("module");
        QTest::addColumn<QString>("field");
        QTest::newRow("products") << "Select.Commodity" << "barcode";
        QTest::newRow("styles") << "Select.Goods" << "goodsname";
        QTest::newRow("suppliers") << "Select.Supplier" << "suppliername";
        QTest::newRow("colours") << "Select.PropColor" << "propname";
        QTest::newRow("sizes") << "Select.PropSize" << "propid";
        QTest::newRow("member cards") << "Select.Vipcard" << "mobile";
        QTest::newRow("returners") << "Select.RefundRen" << "sender_name";
    }
    void seededSearchPanelsDecode()
    {
        QFETCH(QString, module);
        QFETCH(QString, field);
        std::unique_ptr<TfrmBase> frm(CallModule(nullptr, module));
        QVERIFY(frm);
        TKxPanelText panel;
        QList<TKxComponentRecord> records;
        QString error;
        QVERIFY2(KxReadPanelText(frm->GetParam(QStringLiteral("searchfile")).toLatin1(), &panel, &error)
                     && KxReadComponents(panel.Module, &records, &error),
                 qPrintable(error));
        QStringList names;
        for (const TKxComponentRecord& r : records)
            for (const auto& [prop, value] : r.Properties)
                if (prop == QLatin1String("KXName"))
                    names << value.toString();
        QVERIFY2(names.contains(field), qPrintable(names.join(u',')));
    }

    // A caller's line filled from a lookup: a failed call must leave it as it was.
    void lookupFillsOrKeepsLine_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("name"); // of the line afterwards
        QTest::newRow("found") << QStringList{"colorcode"} << int(TKxLookupResult::Found) << "<found>";
        QTest::newRow("not found clears") << QStringList{"propid=NOSUCH"} << int(TKxLookupResult::NotFound) << "";
        QTest::newRow("failed keeps") << QStringList{"isuse=maybe"} << int(TKxLookupResult::Failed) << "原来的颜色";
    }
    void lookupFillsOrKeepsLine()
    {
        QFETCH(QStringList, lines);
        QFETCH(int, result);
        QFETCH(QString, name);
        const QString propid = fx->scalar(QStringLiteral("SELECT MIN(propid) FROM kx_prop WHERE nickid = '1001' AND proptype = 'color'")).toString();
        if (lines == QStringList{"colorcode"})
            lines = {QStringLiteral("propid=") + propid};
        if (name == u"<found>")
            name = fx->scalar(QStringLiteral("SELECT propname FROM kx_prop WHERE nickid = '1001' AND propid = ?"), {propid}).toString();
        QString line = QStringLiteral("原来的颜色");
        TPClientDataSet rows;
        const TKxLookupResult r = KxLookup(nullptr, QStringLiteral("Select.PropColor"), lines, &rows);
        QCOMPARE(int(r), result);
        if (r == TKxLookupResult::Found)
            line = rows.FieldByName(QStringLiteral("propname"))->AsString();
        else if (r == TKxLookupResult::NotFound)
            line.clear();
        QCOMPARE(line, name);
        QCOMPARE(ui->messages.size(), r == TKxLookupResult::Failed ? 1 : 0);
    }

    void treeAddRenameDeleteWithGrandchildren()
    {
        std::unique_ptr<TfrmBase> frm(CallModule(nullptr, QStringLiteral("Category.Module")));
        auto* tree = qobject_cast<TFrmTree*>(frm.get());
        QVERIFY(tree);
        tree->show();
        QTreeWidget* view = tree->Tree();
        QVERIFY(node(view, QStringLiteral("T恤")));
        QCOMPARE(tree->MenuActions().size(), 3);

        // A top category: the service gives it an id, and the tree node carries it.
        view->setCurrentItem(view->topLevelItem(0));
        ui->names << QStringLiteral("测试类");
        tree->actAddClick();
        QCOMPARE(ui->lastText(), QStringLiteral("数据提交成功！"));
        QTreeWidgetItem* added = node(view, QStringLiteral("测试类"));
        QVERIFY(added);
        const qint64 id = added->data(0, KxTreeIdRole).toLongLong();
        QVERIFY(id > 0);
        QCOMPARE(fx->scalar(QStringLiteral("SELECT parentid FROM kx_category WHERE nickid = '1001' AND catid = ? AND catname = '测试类'"), {id}).toInt(), 0);
        QVERIFY(tree->DataSet()->GetEmptyDelta());

        // A child under it, then a rename of the child.
        ui->names << QStringLiteral("子类") << QStringLiteral("改名子类");
        tree->actAddClick();
        QTreeWidgetItem* child = node(view, QStringLiteral("子类"));
        QCOMPARE(child->parent(), added);
        tree->actEditClick();
        QCOMPARE(child->text(0), QStringLiteral("改名子类"));
        QCOMPARE(categoryCount(QStringLiteral("catname = '改名子类' AND parentid = %1").arg(id)), QStringLiteral("1"));

        // "服装" has children and grandchildren: the whole subtree goes, once no goods use it.
        fx->exec(QStringLiteral("UPDATE kx_goods SET catid = (SELECT catid FROM kx_category WHERE nickid = '1001' AND catname = '鞋')"
                                " WHERE nickid = '1001'"));
        const int before = categoryCount(QStringLiteral("cattype = 'goods'")).toInt();
        view->setCurrentItem(node(view, QStringLiteral("服装")));
        tree->actDeleteClick();
        QCOMPARE(categoryCount(QStringLiteral("catname IN ('服装', '上装', '下装', 'T恤', '牛仔裤')")), QStringLiteral("0"));
        QCOMPARE(categoryCount(QStringLiteral("cattype = 'goods'")).toInt(), before - 10);
        QVERIFY(!node(view, QStringLiteral("T恤")));
        QVERIFY(node(view, QStringLiteral("鞋包配饰")));

        // The tree read again shows what the service kept.
        tree->LoadTree();
        QVERIFY(node(view, QStringLiteral("改名子类")));
        QVERIFY(!node(view, QStringLiteral("上装")));
    }

    void categoryTreesAreSeparate()
    {
        const TCallResult r = fx->call(kAdmin, QStringLiteral("Category.SupplierSearch"), {{"curpage", "0"}});
        QVERIFY2(r.ok, qPrintable(r.error));
        QCOMPARE(KxColumn(r.value("xmldata"), "child_name"), (QStringList{"面料供应商", "辅料供应商"}));
    }
};

QTEST_MAIN(TestServiceSelect)
#include "tst_select.moc"
