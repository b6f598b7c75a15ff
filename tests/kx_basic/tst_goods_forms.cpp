// The catalogue windows against a scripted service: the master-data list's tree, side lists,
// edit dialog and pop-up menu (on the goods list), and what each window adds: listing, the
// download with its progress, product fills and stock colours, SKU mappings and the item
// pickers, bundles with their shares and their one-request save.
#include "FakeService.h"
#include "Packets.h"
#include "ScriptedUi.h"

#include "DataPacket.h"
#include "uConfig.h"
#include "uFrmSelect.h"
#include "uGridView.h"
#include "uKxCategoryTree.h"
#include "uPClientDataSet.h"
#include "ufrmCommodity.h"
#include "ufrmCommodityEdit.h"
#include "ufrmCommodityItem.h"
#include "ufrmCommodityItemProp.h"
#include "ufrmCommoditySku.h"
#include "ufrmCommoditySkuEdit.h"
#include "ufrmGoods.h"
#include "ufrmGoodsDown.h"
#include "ufrmGoodsEdit.h"
#include "ufrmPackCommodity.h"
#include "ufrmPackCommodityEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {
const QString kAll = QStringLiteral("isupdate=True;issearch=True;isprint=True;isoutput=True;iscolumn=True;");

QByteArray listAnswer(const QString& packetXml, int pages = 1)
{
    return "<response><xmldata><![CDATA[" + packetXml.toUtf8() + "]]></xmldata><recordcount>-</recordcount><pagecount>"
           + QByteArray::number(pages) + "</pagecount></response>";
}

QString moduleXml(const QString& title, const QMap<QString, QString>& params, const QString& power = kAll)
{
    QString xml = QStringLiteral("<response><moduletitle>%1</moduletitle><modulepower>%2</modulepower>").arg(title, power);
    for (auto it = params.begin(); it != params.end(); ++it)
        xml += QStringLiteral("<%1>%2</%1>").arg(it.key(), it.value().toHtmlEscaped());
    return xml + QStringLiteral("</response>");
}

template<class T>
std::unique_ptr<T> openForm(const QString& xml)
{
    auto form = std::make_unique<T>();
    form->InitModule(xml);
    form->show();
    return form;
}

// The changes of a delta as kind letter and one field's value: "I:x", "U:x", "D:x".
QStringList changes(const QString& delta, const QString& field)
{
    TDeltaReader r;
    if (!r.Load(delta))
        return {QStringLiteral("<not a delta>")};
    QStringList out;
    for (int i = 0; i < r.Count(); ++i) {
        const TUpdateKind k = r.Kind(i);
        const TDeltaRow row = k == ukDelete ? r.OldRow(i) : r.NewRow(i);
        out << QStringLiteral("%1:%2").arg(k == ukInsert ? "I" : k == ukDelete ? "D" : "U", row.AsString(field));
    }
    return out;
}

// A call's fields without the session's own.
QStringList params(const TFakeCall& call)
{
    QStringList out;
    for (const auto& f : call.fields)
        if (f.first != u"nickid" && f.first != u"operid" && f.first != u"shopid")
            out << f.first + QLatin1Char('=') + f.second;
    return out;
}

const QString kCategoryFields = QStringLiteral("parent_id:integer,child_id:integer,child_name:string,md5_key:string");
const QStringList kCategories{R"(parent_id="0" child_id="1" child_name="上装")", R"(parent_id="1" child_id="2" child_name="T恤")",
                              R"(parent_id="0" child_id="3" child_name="裤装")"};
const QString kBrandFields = QStringLiteral("brand_id:string,brand_name:string");
const QString kGoodsFields = QStringLiteral(
    "goodscode:string,goodsname:string,brand_id:string,listingstatus:string,norms:string,units:string,propstyle:string,"
    "memo:string,saleprice:decimal,wholesale:decimal,costprice:decimal,is_del:boolean,catid:integer,md5_key:string");
const QStringList kGoods{R"(goodscode="G1" goodsname="纯棉T恤" brand_id="B1" listingstatus="已上架" catid="2" md5_key="k1")",
                         R"(goodscode="G2" goodsname="牛仔裤" brand_id="B2" listingstatus="已下架" catid="3" md5_key="k2")",
                         R"(goodscode="G3" goodsname="短袖T恤" brand_id="B1" listingstatus="已上架" catid="2" md5_key="k3")"};
const QString kProductFields = QStringLiteral(
    "goodscode:string,commoditycode:string,barcode:string,commodityname:string,brand_id:string,propstyle:string,"
    "propcolor:string,propsize:string,saleprice:decimal,wholesale:decimal,costprice:decimal,presell:decimal,"
    "stocknum:decimal,stockmoney:decimal,maxstock:decimal,minstock:decimal,is_pack:boolean,is_del:boolean,catid:integer,"
    "md5_key:string");

QMap<QString, QString> goodsParams()
{
    return {{"search", "Goods.Search"},       {"update", "Goods.Update"},  {"grouptree", "Category.Search"},
            {"brand", "Brand.Search"},        {"filterfield", "catid"},    {"searchfile", "x"},
            {"fieldlabels", "goodscode=商品编码;goodsname=商品名称;brand_id=品牌;child_id=类别;is_del=删除"}};
}

// Typing as the operator does, for texts the key simulation cannot type (Chinese).
void type(QLineEdit* edit, const QString& text)
{
    edit->setText(edit->text() + text);
    emit edit->textEdited(edit->text());
}

QPushButton* buttonOf(QWidget* w, const QString& text)
{
    for (QPushButton* b : w->findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}
}

class TestGoodsForms : public QObject {
    Q_OBJECT
    std::unique_ptr<TFakeService> m_svc;
    std::unique_ptr<TScriptedUi> m_ui;

private Q_SLOTS:
    void init()
    {
        m_svc = std::make_unique<TFakeService>();
        m_ui = std::make_unique<TScriptedUi>();
        gNickName = QStringLiteral("varnoq_shop");
        gSubNicks = QStringList{QStringLiteral("varnoq_sub")};
        m_svc->answer("Category.Search", listAnswer(packet(kCategoryFields, kCategories)));
        m_svc->answer("Brand.Search", listAnswer(packet(kBrandFields, {R"(brand_id="B1" brand_name="北极")", R"(brand_id="B2" brand_name="南山")"})));
        m_svc->answer("Goods.Search", listAnswer(packet(kGoodsFields, kGoods)));
        m_svc->answer("Goods.Update", listAnswer(packet(kGoodsFields, {})));
    }
    void cleanup()
    {
        m_ui.reset();
        m_svc.reset();
    }

    // --- The master-data list base, on the goods list ---------------------------------------

    void treeNarrowsTheRowsAndNewRowsTakeTheCategory()
    {
        auto form = openForm<TfrmGoods>(moduleXml("网店商品", goodsParams()));
        QCOMPARE(m_svc->modules(), (QStringList{"Category.Search", "Brand.Search", "Goods.Search"}));
        QCOMPARE(params(m_svc->calls()[0]), (QStringList{"module=Category.Search", "curpage=0"}));
        QCOMPARE(params(m_svc->calls()[1]), (QStringList{"module=Brand.Search", "curpage=0"}));
        QVERIFY(form->CategoryTree()->isVisibleTo(form.get()));
        QTreeWidget* tree = form->CategoryTree()->Tree();
        QTreeWidgetItem* tee = tree->findItems("T恤", Qt::MatchRecursive).value(0);
        QVERIFY(tee);
        QCOMPARE(tee->parent()->text(0), QStringLiteral("上装"));

        form->tvGroupClick(tee);
        QCOMPARE(form->ListData()->RecordCount(), 2);
        form->tvGroupClick(tree->topLevelItem(0));
        QCOMPARE(form->ListData()->RecordCount(), 3);

        // "保   存" in the dialog keeps the new row; its category is the selected node's.
        m_ui->onModal = [](QWidget* w) {
            auto* edit = qobject_cast<TfrmGoodsEdit*>(w);
            edit->btnSaveClick();
            return edit->ModalResult();
        };
        for (const auto& [node, expected] : {std::pair{"T恤", 2}, {"所有类别", 0}}) {
            tree->setCurrentItem(tree->findItems(QString::fromUtf8(node), Qt::MatchRecursive).value(0));
            form->dxBL_NewClick();
            QCOMPARE(form->ListData()->FieldByName("catid")->AsInteger(), expected);
            QCOMPARE(form->ListData()->FieldByName("md5_key")->AsString().size(), 32);
        }
        QCOMPARE(form->ListData()->ChangeCount(), 2);
    }

    void withoutFilterFieldThereIsNoTree()
    {
        QMap<QString, QString> p = goodsParams();
        p.remove("filterfield");
        p.remove("brand");
        auto form = openForm<TfrmGoods>(moduleXml("网店商品", p));
        QCOMPARE(m_svc->modules(), QStringList{"Goods.Search"});
        QVERIFY(!form->CategoryTree()->isVisibleTo(form.get()));
        form->dxBL_NewClick();
        QCOMPARE(form->ListData()->FieldByName("catid")->AsString(), QString()); // no category preset
    }

    void sideListsComeBackBeforeRefreshButNotForLaterPages()
    {
        m_svc->answer("Goods.Search", listAnswer(packet(kGoodsFields, kGoods), 3));
        auto form = openForm<TfrmGoods>(moduleXml("网店商品", goodsParams()));
        QCOMPARE(form->Grid()->GridModel()->CellText(0, form->Grid()->ColumnByField("brand_id")), QStringLiteral("北极"));
        m_svc->clearCalls();
        form->btnNextClick();
        form->dxBL_RefreshClick();
        QCOMPARE(m_svc->modules(), (QStringList{"Goods.Search", "Brand.Search", "Goods.Search"}));
    }

    void editDialogOpensOnTheRowAndCancelTakesItBack()
    {
        auto form = openForm<TfrmGoods>(moduleXml("网店商品", goodsParams()));
        QStringList seen;
        QString action = "cancel";
        m_ui->onModal = [&](QWidget* w) {
            auto* edit = qobject_cast<TfrmGoodsEdit*>(w);
            seen << edit->windowTitle() + "|" + edit->Edit("goodscode")->text();
            edit->Edit("goodsname")->setText(QString());
            type(edit->Edit("goodsname"), "新名");
            QTest::keyClicks(edit->Edit("saleprice"), "12.5");
            edit->DeletedBox()->click();
            if (action == "cancel")
                edit->btnCancelClick();
            else
                edit->btnSaveClick();
            return edit->ModalResult();
        };
        form->dxBL_NewClick();
        QCOMPARE(form->ListData()->RecordCount(), 3); // the appended row is gone
        form->ListData()->SetRecNo(2);
        form->dxBL_EditClick();
        QCOMPARE(form->ListData()->ChangeCount(), 0);
        action = "save";
        emit form->Grid()->doubleClicked(form->Grid()->model()->index(1, 1));
        QCOMPARE(seen, (QStringList{"网店商品_编辑|", "网店商品_编辑|G2", "网店商品_编辑|G2"}));
        QCOMPARE(form->ListData()->FieldByName("goodsname")->AsString(), QStringLiteral("新名"));
        QCOMPARE(form->ListData()->FieldByName("saleprice")->AsString(), QStringLiteral("12.50"));
        QVERIFY(form->ListData()->FieldByName("is_del")->AsBoolean());
        QCOMPARE(form->ListData()->ChangeCount(), 1);

        // Without the right to change, a double-click opens nothing.
        auto readOnly = openForm<TfrmGoods>(moduleXml("网店商品", goodsParams(), "issearch=True;"));
        m_ui->modalWindows.clear();
        emit readOnly->Grid()->doubleClicked(readOnly->Grid()->model()->index(0, 1));
        QVERIFY(m_ui->modalWindows.isEmpty());
    }

    void editDialogCaptionsAndDropDowns()
    {
        auto form = openForm<TfrmGoods>(moduleXml("网店商品", goodsParams()));
        form->ListData()->SetRecNo(1);
        TfrmGoodsEdit edit(form.get());
        edit.Attach(form.get());
        QCOMPARE(edit.findChild<QLabel*>("goodsname")->text(), QStringLiteral("商品名称："));
        QCOMPARE(edit.findChild<QLabel*>("child_id")->text(), QStringLiteral("类别："));
        QCOMPARE(edit.DeletedBox()->text(), QStringLiteral("删除"));
        QCOMPARE(edit.BrandBox()->currentText(), QStringLiteral("北极"));
        QCOMPARE(edit.CategoryBox()->currentText(), QStringLiteral("T恤"));
        // The category drop-down writes the list's category field.
        edit.CategoryBox()->setCurrentIndex(edit.CategoryBox()->findText("裤装"));
        emit edit.CategoryBox()->activated(edit.CategoryBox()->currentIndex());
        QCOMPARE(form->ListData()->FieldByName("catid")->AsInteger(), 3);
    }

    void continuingKeepsTheBrandOnly()
    {
        auto form = openForm<TfrmGoods>(moduleXml("网店商品", goodsParams()));
        m_ui->onModal = [](QWidget* w) {
            auto* edit = qobject_cast<TfrmGoodsEdit*>(w);
            edit->ContinueBox()->setChecked(true);
            type(edit->Edit("goodsname"), "甲");
            edit->BrandBox()->setCurrentIndex(1);
            emit edit->BrandBox()->activated(1);
            edit->btnSaveClick();
            type(edit->Edit("goodsname"), "乙");
            edit->btnSaveClick();
            edit->btnCancelClick(); // the third, still empty, is dropped
            return edit->ModalResult();
        };
        form->dxBL_NewClick();
        QCOMPARE(form->ListData()->RecordCount(), 5);
        form->ListData()->Last();
        QCOMPARE(form->ListData()->FieldByName("goodsname")->AsString(), QStringLiteral("乙"));
        QCOMPARE(form->ListData()->FieldByName("brand_id")->AsString(), QStringLiteral("B2"));
    }

    void menuEntriesOnlyOverRows()
    {
        m_svc->answer("Goods.Search", listAnswer(packet(kGoodsFields, {})));
        auto form = openForm<TfrmGoods>(moduleXml("网店商品", goodsParams()));
        QTest::mousePress(form->Grid()->viewport(), Qt::RightButton, {}, QPoint(5, 5));
        QVERIFY(!form->ListingAction()->isVisible());
        QVERIFY(!form->DelistingAction()->isVisible());
        m_svc->answer("Goods.Search", listAnswer(packet(kGoodsFields, kGoods)));
        form->dxBL_RefreshClick();
        QTest::mousePress(form->Grid()->viewport(), Qt::RightButton, {}, QPoint(5, 5));
        QVERIFY(form->ListingAction()->isVisible());
        QCOMPARE(form->GridMenu()->actions().size(), 2);
    }

    // --- Goods ------------------------------------------------------------------------------

    void listingChangesTheRowAndTheNextSaveSendsIt_data()
    {
        QTest::addColumn<bool>("listed");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("message");
        QTest::newRow("list") << true << "NetShop.UpdateListing" << "已上架" << "数据提交上架成功！";
        QTest::newRow("delist") << false << "NetShop.UpdateDelisting" << "已下架" << "数据提交下架成功！";
    }
    void listingChangesTheRowAndTheNextSaveSendsIt()
    {
        QFETCH(bool, listed);
        QFETCH(QString, method);
        QFETCH(QString, state);
        QFETCH(QString, message);
        auto form = openForm<TfrmGoods>(moduleXml("网店商品", goodsParams()));
        form->ListData()->SetRecNo(listed ? 2 : 1);
        const QString before = form->ListData()->FieldByName("listingstatus")->AsString();
        // Refused at the marketplace: the row stays.
        m_svc->fail(method, 7, "宝贝状态不能变更");
        m_svc->clearCalls();
        (listed ? form->ListingAction() : form->DelistingAction())->trigger();
        QCOMPARE(params(m_svc->calls().value(0)), (QStringList{"module=" + method, "goodscode=" + QString(listed ? "G2" : "G1")}));
        QCOMPARE(form->ListData()->FieldByName("listingstatus")->AsString(), before);
        QCOMPARE(form->ListData()->ChangeCount(), 0);

        m_svc->answer(method, "<response><result>1</result></response>");
        (listed ? form->ListingAction() : form->DelistingAction())->trigger();
        QCOMPARE(form->ListData()->FieldByName("listingstatus")->AsString(), state);
        QCOMPARE(m_ui->lastText(), message);
        m_svc->clearCalls();
        form->dxBL_SaveClick();
        QCOMPARE(m_svc->modules(), QStringList{"Goods.Update"});
        QCOMPARE(changes(m_svc->calls()[0].files.value("delta"), "listingstatus"), QStringList{"U:" + state});
    }

    void anItemNotOnSaleIsPaintedRed()
    {
        auto form = openForm<TfrmGoods>(moduleXml("网店商品", goodsParams()));
        TGridView* grid = form->Grid();
        const int column = grid->IndexOfColumn(grid->ColumnByField("listingstatus"));
        for (const auto& [row, red] : {std::pair{0, false}, {1, true}}) {
            QStyleOptionViewItem option;
            const QModelIndex at = grid->model()->index(row, column);
            option.text = at.data().toString();
            grid->OnCustomDrawCell()(at, grid->ColumnByField("listingstatus"), option);
            QCOMPARE(option.font.bold(), red);
            QCOMPARE(option.palette.color(QPalette::Text) == QColor(Qt::red), red);
        }
    }

    // --- Download ---------------------------------------------------------------------------

    void itemDownloadGoesByPagesOfFifty_data()
    {
        QTest::addColumn<QString>("total");
        QTest::addColumn<QStringList>("pages");   // page_no/page_size of every call
        QTest::addColumn<QList<int>>("progress"); // the positions the bar moved to
        QTest::addColumn<QString>("label");
        QTest::newRow("120 items") << "120" << QStringList{"1/1", "1/50", "2/50", "3/50"} << QList<int>{41, 83, 100}
                                   << "出售中的商品下载完成！";
        QTest::newRow("none") << " " << QStringList{"1/1"} << QList<int>{100} << "出售中的商品下载完成！";
        QTest::newRow("one") << "1" << QStringList{"1/1", "1/50"} << QList<int>{100} << "出售中的商品下载完成！";
        QTest::newRow("not a number") << "many" << QStringList{"1/1"} << QList<int>{} << "出售中的商品下载失败！";
    }
    void itemDownloadGoesByPagesOfFifty()
    {
        QFETCH(QString, total);
        QFETCH(QStringList, pages);
        QFETCH(QList<int>, progress);
        QFETCH(QString, label);
        m_svc->answer("NetShop.DownGoods", "<response><total_results>" + total.toUtf8() + "</total_results></response>");
        TfrmGoodsDown down;
        QCOMPARE(down.windowTitle(), QStringLiteral("信息下载"));
        QList<int> moved;
        connect(down.Progress(), &QProgressBar::valueChanged, this, [&](int v) { moved << v; });
        down.OnSaleBox()->setChecked(true);
        down.btnDownClick();
        QStringList sent;
        for (const TFakeCall& c : m_svc->calls()) {
            QCOMPARE(c.value("detailnick"), QStringLiteral("varnoq_shop"));
            QCOMPARE(c.value("status"), QStringLiteral("onsale"));
            sent << c.value("page_no") + "/" + c.value("page_size");
        }
        QCOMPARE(sent, pages);
        QCOMPARE(moved, progress);
        QCOMPARE(down.StatusLabel()->text(), label);
        QCOMPARE(m_ui->messages.size(), total == "many" ? 1 : 0);
    }

    void downloadKindsRunInOrderAndStopAtTheFirstFailure()
    {
        m_svc->answer("NetShop.DownCategory", "<response><result>1</result></response>");
        m_svc->answer("NetShop.DownGoods", "<response><total_results>0</total_results></response>");
        TfrmGoodsDown down;
        down.btnDownClick(); // nothing ticked
        QVERIFY(m_svc->calls().isEmpty());

        for (QCheckBox* box : {down.CategoryBox(), down.OnSaleBox(), down.InStockBox()})
            box->setChecked(true);
        down.btnDownClick();
        QStringList sent;
        for (const TFakeCall& c : m_svc->calls())
            sent << c.module() + ":" + c.value("status");
        QCOMPARE(sent, (QStringList{"NetShop.DownCategory:<absent>", "NetShop.DownGoods:onsale", "NetShop.DownGoods:instock"}));
        QCOMPARE(m_svc->calls()[0].value("detailnick"), QStringLiteral("varnoq_shop"));
        QCOMPARE(down.StatusLabel()->text(), QStringLiteral("库存中的商品下载完成！"));

        m_svc->clearCalls();
        m_svc->fail("NetShop.DownCategory", 27, "授权已过期");
        down.btnDownClick();
        QCOMPARE(m_svc->modules(), QStringList{"NetShop.DownCategory"});
        QCOMPARE(down.StatusLabel()->text(), QStringLiteral("类目下载失败！"));
    }

    void oneItemIsFetchedByItsCode()
    {
        m_svc->answer("NetShop.DownGood", "<response><result>1</result></response>");
        TfrmGoodsDown down;
        down.ItemEdit()->setText(" 10086 ");
        buttonOf(down.ItemEdit()->parentWidget(), "下  载")->click();
        QCOMPARE(params(m_svc->calls().value(0)), (QStringList{"module=NetShop.DownGood", "detailnick=varnoq_shop", "num_iid=10086"}));
        QCOMPARE(m_ui->lastText(), QStringLiteral("宝贝下载成功！"));
    }

    // --- Products ---------------------------------------------------------------------------

    void stockIsColouredAgainstBothLimits_data()
    {
        QTest::addColumn<double>("stock");
        QTest::addColumn<double>("upper");
        QTest::addColumn<double>("lower");
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("above") << 150.0 << 100.0 << 10.0 << false << QColor(Qt::red);
        QTest::newRow("below") << 5.0 << 100.0 << 10.0 << false << QColor(0x80, 0, 0x80);
        QTest::newRow("within") << 50.0 << 100.0 << 10.0 << false << QColor(Qt::darkGreen);
        QTest::newRow("within, selected") << 50.0 << 100.0 << 10.0 << true << QColor(Qt::white);
        QTest::newRow("at the upper limit") << 100.0 << 100.0 << 10.0 << false << QColor(Qt::darkGreen);
        QTest::newRow("no lower limit") << 150.0 << 100.0 << 0.0 << false << QColor();
        QTest::newRow("no upper limit") << 5.0 << 0.0 << 10.0 << false << QColor();
    }
    void stockIsColouredAgainstBothLimits()
    {
        QFETCH(double, stock);
        QFETCH(double, upper);
        QFETCH(double, lower);
        QFETCH(bool, selected);
        QFETCH(QColor, colour);
        QCOMPARE(TfrmCommodity::StockColor(stock, upper, lower, selected), colour);
    }

    void productStockCellIsPaintedBold()
    {
        m_svc->answer("Commodity.Search", listAnswer(packet(kProductFields,
            {R"(commoditycode="P1" stocknum="150" maxstock="100" minstock="10" md5_key="a")",
             R"(commoditycode="P2" stocknum="150" maxstock="100" minstock="0" md5_key="b")"})));
        auto form = openForm<TfrmCommodity>(moduleXml("商品管理", {{"search", "Commodity.Search"}}));
        TGridView* grid = form->Grid();
        TGridColumn* stock = grid->ColumnByField("stocknum");
        for (const auto& [row, bold] : {std::pair{0, true}, {1, false}}) {
            QStyleOptionViewItem option;
            option.text = QStringLiteral("150.00");
            grid->OnCustomDrawCell()(grid->model()->index(row, grid->IndexOfColumn(stock)), stock, option);
            QCOMPARE(option.font.bold(), bold);
        }
    }

    void productEditFillsFromTheGoods()
    {
        m_svc->answer("Commodity.Search", listAnswer(packet(kProductFields,
            {R"(goodscode="" commoditycode="" commodityname="自有名" md5_key="a")",
             R"(goodscode="G9" commoditycode="P2" commodityname="" md5_key="b")"})));
        m_svc->answer("Select.Goods", "<response><moduleclass>TFrmSelect</moduleclass><search>Select.GoodsSearch</search></response>");
        m_svc->answer("Select.GoodsSearch", listAnswer(packet(QStringLiteral("goodscode:string,goodsname:string,brand_id:string,propstyle:string,saleprice:decimal,wholesale:decimal,costprice:decimal"),
            {R"(goodscode="G1" goodsname="纯棉T恤" brand_id="B1" propstyle="K01" saleprice="99" wholesale="60" costprice="40")"})));
        auto form = openForm<TfrmCommodity>(moduleXml("商品管理", {{"search", "Commodity.Search"}}));
        TfrmCommodityEdit edit(form.get());
        edit.Attach(form.get());
        QVERIFY(edit.Edit("goodscode")->isEnabled());
        m_svc->clearCalls();
        edit.Edit("goodscode")->setText(" G1 ");
        edit.GoodsCodeEntered();
        QCOMPARE(params(m_svc->calls().value(1)),
                 (QStringList{"module=Select.GoodsSearch", "is_del=0", "goodscode=G1", "curpage=0"}));
        TPClientDataSet* row = form->ListData();
        QCOMPARE(row->FieldByName("goodscode")->AsString(), QStringLiteral("G1"));
        QCOMPARE(row->FieldByName("propstyle")->AsString(), QStringLiteral("K01"));
        QCOMPARE(row->FieldByName("costprice")->AsString(), QStringLiteral("40.00"));
        QCOMPARE(row->FieldByName("commodityname")->AsString(), QStringLiteral("自有名")); // a name is kept
        QCOMPARE(edit.Edit("saleprice")->text(), QStringLiteral("99.00"));

        // A code that finds nothing leaves the row.
        m_svc->answer("Select.GoodsSearch", listAnswer(packet(QStringLiteral("goodscode:string"), {})));
        edit.Edit("goodscode")->setText("NONE");
        edit.GoodsCodeEntered();
        QCOMPARE(row->FieldByName("goodscode")->AsString(), QStringLiteral("G1"));

        // An existing product keeps its goods; a blank name takes the goods' name.
        row->Post();
        row->SetRecNo(2);
        QVERIFY(!edit.Edit("goodscode")->isEnabled());
        TPClientDataSet goods;
        goods.SetKXXMLData(packet(QStringLiteral("goodscode:string,goodsname:string"), {R"(goodscode="G9" goodsname="牛仔裤")"}));
        edit.FillFromGoods(&goods);
        QCOMPARE(row->FieldByName("commodityname")->AsString(), QStringLiteral("牛仔裤"));
    }

    void productContinuesWithTheSameGoods()
    {
        m_svc->answer("Commodity.Search", listAnswer(packet(kProductFields, {})));
        auto form = openForm<TfrmCommodity>(moduleXml("商品管理", {{"search", "Commodity.Search"}}));
        m_ui->onModal = [](QWidget* w) {
            auto* edit = qobject_cast<TfrmCommodityEdit*>(w);
            TPClientDataSet* row = edit->Data();
            for (const char* f : {"goodscode=G1", "brand_id=B1", "commodityname=纯棉T恤", "propstyle=K01", "costprice=40",
                                  "saleprice=99", "wholesale=60", "maxstock=100", "minstock=10", "commoditycode=P1",
                                  "barcode=690001", "propcolor=红", "propsize=XL"})
                row->FieldByName(QString::fromUtf8(f).section('=', 0, 0))->SetAsString(QString::fromUtf8(f).section('=', 1));
            edit->ContinueBox()->setChecked(true);
            edit->btnSaveClick();
            edit->ContinueBox()->setChecked(false);
            edit->btnSaveClick();
            return edit->ModalResult();
        };
        form->dxBL_NewClick();
        TPClientDataSet* row = form->ListData();
        QCOMPARE(row->RecordCount(), 2);
        row->Last();
        for (const char* f : {"goodscode", "brand_id", "commodityname", "propstyle", "costprice", "saleprice", "wholesale",
                              "maxstock", "minstock"}) {
            row->First();
            const QString first = row->FieldByName(f)->AsString();
            row->Last();
            QCOMPARE(row->FieldByName(f)->AsString(), first);
        }
        for (const char* f : {"commoditycode", "barcode", "propcolor", "propsize"})
            QCOMPARE(row->FieldByName(f)->AsString(), QString());
        QVERIFY(!row->FieldByName("is_pack")->AsBoolean() && !row->FieldByName("is_pack")->IsNull());
        QVERIFY(!row->FieldByName("is_del")->IsNull());
        QCOMPARE(row->FieldByName("md5_key")->AsString().size(), 32);
    }

    // --- SKU mappings and the pickers -------------------------------------------------------

    void mappingsAreLoadedAddedAndSaved()
    {
        const QString mapFields = QStringLiteral("commoditycode:string,commodityname:string,nick:string,num_iid:string,sku_id:string,"
                                                 "num_iidsku:string,title:string,sku_properties_name:string,pic_path:string,md5_key:string");
        m_svc->answer("CommoditySku.Search", listAnswer(packet(mapFields, {R"(commoditycode="P1" commodityname="纯棉T恤 红" md5_key="m0")"})));
        m_svc->answer("CommoditySku.Load", listAnswer(packet(mapFields, {})));
        m_svc->answer("CommoditySku.Update", listAnswer(packet(mapFields, {})));
        m_svc->answer("NetShop.SearchItems", listAnswer(packet(QStringLiteral("num_iid:string,title:string,nick:string,pic_url:string"),
            {R"(num_iid="1001" title="纯棉T恤" nick="varnoq_shop" pic_url="/pic/1001.jpg")"})));
        m_svc->answer("NetShop.SearchSkus", listAnswer(packet(QStringLiteral("sku_id:string,propcolor:string,propsize:string,price:decimal"),
            {R"(sku_id="1001" propcolor="" propsize="" price="99")"})));
        auto form = openForm<TfrmCommoditySku>(moduleXml("商品与网店宝贝对应",
            {{"listsearch", "CommoditySku.Search"}, {"search", "CommoditySku.Load"}, {"update", "CommoditySku.Update"}}));
        QCOMPARE(m_svc->modules(), QStringList{"CommoditySku.Search"});
        QVERIFY(form->Tool(KxTool::Delete)->isHidden());
        QVERIFY(form->Tool(KxTool::Save)->isHidden());

        m_svc->clearCalls();
        m_ui->onModal = [&](QWidget* w) {
            if (auto* picker = qobject_cast<TfrmCommodityItem*>(w)) {
                picker->AccountBox()->setEditText("varnoq_shop");
                picker->KeywordEdit()->setText("T恤");
                picker->btnSearchClick();
                picker->btnSelectClick();
                return picker->ModalResult();
            }
            auto* edit = qobject_cast<TfrmCommoditySkuEdit*>(w);
            edit->show();
            edit->btnAddClick();
            edit->btnSaveClick();
            edit->close();
            return int(mrOk);
        };
        form->dxBL_NewClick();
        QCOMPARE(m_svc->modules(), (QStringList{"CommoditySku.Load", "NetShop.SearchItems", "NetShop.SearchSkus", "CommoditySku.Update"}));
        QCOMPARE(params(m_svc->calls()[0]), (QStringList{"module=CommoditySku.Load", "commoditycode=P1", "curpage=0"}));
        QCOMPARE(params(m_svc->calls()[2]), (QStringList{"module=NetShop.SearchSkus", "detailnick=varnoq_shop", "num_iid=1001"}));
        // An item without SKUs maps as item id "/" item id.
        const QString delta = m_svc->calls()[3].files.value("delta");
        QCOMPARE(changes(delta, "num_iidsku"), QStringList{"I:1001/1001"});
        QCOMPARE(changes(delta, "commoditycode"), QStringList{"I:P1"});
        QCOMPARE(changes(delta, "pic_path"), QStringList{"I:/pic/1001.jpg"});
    }

    void itemPickerChecksItsBoxesAndOffersTheSkus()
    {
        m_svc->answer("NetShop.SearchItems", listAnswer(packet(QStringLiteral("num_iid:string,title:string,nick:string,pic_url:string"),
            {R"(num_iid="1001" title="纯棉T恤" nick="varnoq_sub" pic_url="p")"})));
        TfrmCommodityItem picker;
        QCOMPARE(picker.AccountBox()->count(), 2);
        QCOMPARE(picker.AccountBox()->currentText(), QString());
        picker.btnSearchClick();
        picker.AccountBox()->setCurrentIndex(1);
        picker.btnSearchClick();
        QCOMPARE(m_ui->texts, (QStringList{"子店铺帐号不能为空！", "检索关键字不能为空！"}));
        QVERIFY(m_svc->calls().isEmpty());
        picker.KeywordEdit()->setText(" T恤 ");
        picker.btnSearchClick();
        QCOMPARE(params(m_svc->calls().value(0)), (QStringList{"module=NetShop.SearchItems", "detailnick=varnoq_sub", "q=T恤"}));

        // A failed SKU request leaves the picker open with nothing picked.
        m_svc->fail("NetShop.SearchSkus", 5, "宝贝不存在");
        picker.btnSelectClick();
        QVERIFY(picker.Picked().isEmpty());
        QVERIFY(m_ui->modalWindows.isEmpty());

        m_svc->answer("NetShop.SearchSkus", listAnswer(packet(QStringLiteral("sku_id:string,propcolor:string,propsize:string,price:decimal"),
            {R"(sku_id="5001" propcolor="红色" propsize="L" price="99")", R"(sku_id="5002" propcolor="红色" propsize="XL" price="109")"})));
        QString title;
        m_ui->onModal = [&title](QWidget* w) {
            auto* skus = qobject_cast<TfrmCommodityItemProp*>(w);
            title = skus->windowTitle();
            skus->Skus()->SetRecNo(2);
            skus->btnSelectClick();
            return skus->ModalResult();
        };
        picker.btnSelectClick();
        QCOMPARE(title, QStringLiteral("宝贝属性"));
        QCOMPARE(picker.Picked().size(), 1);
        const TKxPickedSku sku = picker.Picked().value(0);
        QCOMPARE(QStringList({sku.numIid, sku.skuId, sku.properties, sku.nick, sku.picPath, sku.title}),
                 (QStringList{"1001", "5002", "红色XL", "varnoq_sub", "p", "纯棉T恤"}));
        QCOMPARE(picker.ModalResult(), int(mrOk));
    }

    // --- Bundles ----------------------------------------------------------------------------

    void bundleSharesFollowValue_data()
    {
        QTest::addColumn<QStringList>("lines"); // sale price*quantity*wholesale
        QTest::addColumn<QStringList>("shares"); // salerate/wholerate
        QTest::newRow("30 and 70") << QStringList{"30*1*10", "35*2*0"} << QStringList{"0.3000/1.0000", "0.7000/0.0000"};
        QTest::newRow("a free component") << QStringList{"0*1*0", "50*2*0"} << QStringList{"0.0000/0.0000", "1.0000/0.0000"};
        QTest::newRow("thirds") << QStringList{"10*1*1", "10*1*1", "10*1*1"} << QStringList{"0.3333/0.3333", "0.3333/0.3333", "0.3333/0.3333"};
    }
    void bundleSharesFollowValue()
    {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, shares);
        auto [list, edit] = openBundle();
        for (const QString& l : lines) {
            edit->btnInsertClick();
            TPClientDataSet* d = edit->Components();
            d->Edit();
            d->FieldByName("subsaleprice")->SetAsString(l.section('*', 0, 0));
            d->FieldByName("num")->SetAsString(l.section('*', 1, 1));
            d->FieldByName("subwholesale")->SetAsString(l.section('*', 2, 2));
            d->Post();
        }
        QVERIFY(edit->ComputeShares());
        QStringList got;
        for (int r = 1; r <= edit->Components()->RecordCount(); ++r) {
            edit->Components()->SetRecNo(r);
            got << edit->Components()->FieldByName("salerate")->AsDecimal().Rescaled(4)->ToString() + "/"
                       + edit->Components()->FieldByName("wholerate")->AsDecimal().Rescaled(4)->ToString();
        }
        QCOMPARE(got, shares);
    }

    void bundleSaveSendsBothDeltasOnceAndRefusesZeroQuantities()
    {
        auto [list, edit] = openBundle();
        QCOMPARE(edit->windowTitle(), QStringLiteral("组装商品_编辑"));
        QCOMPARE(params(m_svc->calls().last()), (QStringList{"module=PackCommodity.Load", "commoditycode="}));
        type(edit->Edit("commodityname"), "套装");
        QVERIFY(edit->Master()->FieldByName("is_pack")->AsBoolean());
        const QString key = edit->Master()->FieldByName("md5_key")->AsString();
        QCOMPARE(key.size(), 32);
        edit->btnInsertClick();
        QCOMPARE(edit->Components()->FieldByName("md5_key")->AsString(), key);
        QCOMPARE(edit->Components()->FieldByName("num")->AsInteger(), 1);
        edit->Components()->Edit();
        edit->Components()->FieldByName("num")->SetAsInteger(0);
        edit->Components()->Post();
        m_svc->clearCalls();
        edit->btnSaveClick();
        QCOMPARE(m_ui->lastText(), QStringLiteral("组装数量不能小于零！"));
        QVERIFY(m_svc->calls().isEmpty());

        edit->Components()->Edit();
        edit->Components()->FieldByName("num")->SetAsInteger(2);
        edit->Components()->Post();
        edit->btnSaveClick();
        QCOMPARE(m_svc->modules(), QStringList{"PackCommodity.Update"});
        const TFakeCall save = m_svc->calls()[0];
        QCOMPARE(save.files.keys(), (QStringList{"deltadetail", "deltamaster"}));
        QCOMPARE(changes(save.files["deltamaster"], "commodityname"), QStringList{"I:套装"});
        QCOMPARE(changes(save.files["deltadetail"], "md5_key"), QStringList{"I:" + key});
        QCOMPARE(m_ui->lastText(), QStringLiteral("数据提交成功！"));

        // Nothing changed since: nothing is sent, nothing said.
        m_svc->clearCalls();
        m_ui->clear();
        edit->btnSaveClick();
        QVERIFY(m_svc->calls().isEmpty());
        QVERIFY(m_ui->messages.isEmpty());

        // Without components the bundle goes.
        edit->btnDeleteClick();
        edit->btnSaveClick();
        const TFakeCall removal = m_svc->calls().value(0);
        QCOMPARE(changes(removal.files["deltamaster"], "commodityname"), QStringList{"D:套装"});
        QCOMPARE(changes(removal.files["deltadetail"], "md5_key"), QStringList{"D:" + key});
    }

    void componentsComeFromPickedOrTypedProducts()
    {
        auto [list, edit] = openBundle();
        m_svc->answer("Select.Commodity", "<response><moduleclass>TFrmSelect</moduleclass><modal>true</modal><multiselect>true</multiselect>"
                                          "<search>Select.CommoditySearch</search></response>");
        m_svc->answer("Select.CommoditySearch", listAnswer(packet(kProductFields,
            {R"(commoditycode="P1" commodityname="T恤 红" propcolor="红" saleprice="99" wholesale="60" costprice="40")",
             R"(commoditycode="P2" commodityname="裤 蓝" propcolor="蓝" saleprice="120" wholesale="80" costprice="50")"})));
        QStringList fixed;
        bool multi = false;
        m_ui->onModal = [&](QWidget* w) {
            auto* select = qobject_cast<TFrmSelect*>(w);
            fixed = select->FixedConditions();
            multi = select->MultiSelect();
            select->Search(nullptr, 1);
            select->btnAllSelectClick();
            select->btnSelectClick();
            return select->ModalResult();
        };
        edit->btnInsertClick();
        edit->ComponentButtonClick(0);
        QCOMPARE(fixed, (QStringList{"is_del=0", "is_pack=0"}));
        QVERIFY(multi);
        TPClientDataSet* d = edit->Components();
        QCOMPARE(d->RecordCount(), 2);
        QStringList got;
        for (d->First(); !d->Eof(); d->Next())
            got << d->FieldByName("subcommoditycode")->AsString() + "|" + d->FieldByName("subcommodityname")->AsString() + "|"
                       + d->FieldByName("subpropcolor")->AsString() + "|" + d->FieldByName("subcostprice")->AsString() + "|"
                       + QString::number(d->FieldByName("num")->AsInteger());
        QCOMPARE(got, (QStringList{"P1|T恤 红|红|40.00|1", "P2|裤 蓝|蓝|50.00|1"}));

        // A typed code that finds nothing empties the line and says so.
        m_svc->answer("Select.CommoditySearch", listAnswer(packet(kProductFields, {})));
        d->SetRecNo(2);
        d->Edit();
        d->FieldByName("subcommoditycode")->SetAsString("NOPE");
        d->Post();
        m_svc->clearCalls();
        edit->ComponentCodeEntered(1);
        QCOMPARE(params(m_svc->calls().value(1)),
                 (QStringList{"module=Select.CommoditySearch", "is_del=0", "is_pack=0", "commoditycode=NOPE", "curpage=0"}));
        QCOMPARE(m_ui->lastText(), QStringLiteral("此信息不存在,请重新输入！"));
        QCOMPARE(d->FieldByName("subcommoditycode")->AsString(), QString());
        QCOMPARE(d->FieldByName("subsaleprice")->AsString(), QString());

        // A quantity on the last line opens the next.
        edit->QuantityEntered(1);
        QCOMPARE(d->RecordCount(), 3);
    }

    void bundleListOpensTheBundleAndForgetsDeletedRows()
    {
        m_svc->answer("PackCommodity.Search", listAnswer(packet(QStringLiteral("commoditycode:string,subcommoditycode:string,num:decimal"),
            {R"(commoditycode="Z1" subcommoditycode="P1" num="1")", R"(commoditycode="Z1" subcommoditycode="P2" num="2")"})));
        m_svc->fail("PackCommodity.Load", 8, "组装商品不存在");
        auto list = openForm<TfrmPackCommodity>(moduleXml("组装商品", packParams()));
        QVERIFY(list->Tool(KxTool::Save)->isHidden());
        m_svc->clearCalls();
        list->ListData()->SetRecNo(2);
        list->dxBL_EditClick();
        QCOMPARE(params(m_svc->calls().value(0)), (QStringList{"module=PackCommodity.Load", "commoditycode=Z1"}));
        QVERIFY(m_ui->modalWindows.isEmpty()); // a failed load shows no dialog
        list->dxBL_DeleteClick();
        QCOMPARE(list->ListData()->RecordCount(), 1);
        QVERIFY(!list->HasUnsavedChanges());
    }

private:
    static QMap<QString, QString> packParams()
    {
        return {{"search", "PackCommodity.Search"}, {"detailsearch", "PackCommodity.Load"}, {"update", "PackCommodity.Update"}};
    }
    struct TBundle {
        std::unique_ptr<TfrmPackCommodity> list;
        std::unique_ptr<TfrmPackCommodityEdit> edit;
    };
    TBundle openBundle()
    {
        const QString master = QStringLiteral("goodscode:string,commoditycode:string,commodityname:string,propstyle:string,propcolor:string,"
                                              "propsize:string,saleprice:decimal,wholesale:decimal,is_pack:boolean,md5_key:string");
        const QString detail = QStringLiteral("md5_key:string,commoditycode:string,subcommoditycode:string,subcommodityname:string,"
                                              "num:decimal,subpropstyle:string,subpropcolor:string,subpropsize:string,"
                                              "subsaleprice:decimal,subwholesale:decimal,subcostprice:decimal,salerate:decimal:4,wholerate:decimal:4");
        m_svc->answer("PackCommodity.Search", listAnswer(packet(QStringLiteral("commoditycode:string"), {})));
        m_svc->answer("PackCommodity.Load", "<response><xmlmaster><![CDATA[" + packet(master, {}).toUtf8() + "]]></xmlmaster><xmldetail><![CDATA["
                                                + packet(detail, {}).toUtf8() + "]]></xmldetail></response>");
        m_svc->answer("PackCommodity.Update", "<response><xmlmaster><![CDATA[" + packet(master, {}).toUtf8() + "]]></xmlmaster><xmldetail><![CDATA["
                                                  + packet(detail, {}).toUtf8() + "]]></xmldetail></response>");
        TBundle b;
        b.list = openForm<TfrmPackCommodity>(moduleXml("组装商品", packParams()));
        b.edit = std::make_unique<TfrmPackCommodityEdit>(b.list.get());
        [&] { QVERIFY(b.edit->LoadBundle(QString())); }();
        return b;
    }
};

QTEST_MAIN(TestGoodsForms)
#include "tst_goods_forms.moc"
