// Suppliers, the goods each supplier delivers and member cards against a scripted service:
// the exact requests of the supplier box (picked, typed, not found), "插 入" with the goods
// picker, and the edit dialogs' presets and what "保存后继续添加新记录！" keeps.
#include "FakeService.h"
#include "Packets.h"
#include "ScriptedUi.h"

#include "uFrmSelect.h"
#include "uGridView.h"
#include "uKxCategoryTree.h"
#include "uPClientDataSet.h"
#include "ufrmSupplier.h"
#include "ufrmSupplierEdit.h"
#include "ufrmSupplierGoods.h"
#include "ufrmVipcard.h"
#include "ufrmVipcardEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {
const QString kAll = QStringLiteral("isupdate=True;issearch=True;isprint=True;isoutput=True;iscolumn=True;");

QByteArray listAnswer(const QString& packetXml)
{
    return "<response><xmldata><![CDATA[" + packetXml.toUtf8() + "]]></xmldata><recordcount>-</recordcount><pagecount>1</pagecount></response>";
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

// A call's fields without the session's own.
QStringList params(const TFakeCall& call)
{
    QStringList out;
    for (const auto& f : call.fields)
        if (f.first != u"nickid" && f.first != u"operid" && f.first != u"shopid")
            out << f.first + QLatin1Char('=') + f.second;
    return out;
}

QStringList column(TPClientDataSet* ds, const QString& field)
{
    QStringList out;
    for (ds->First(); !ds->Eof(); ds->Next())
        out << ds->FieldByName(field)->AsString();
    return out;
}

void type(QLineEdit* edit, const QString& text)
{
    edit->setText(edit->text() + text);
    emit edit->textEdited(edit->text());
}

void choose(QComboBox* box, const QString& text)
{
    box->setCurrentIndex(box->findText(text));
    emit box->activated(box->currentIndex());
}

const QString kCategoryFields = QStringLiteral("parent_id:integer,child_id:integer,child_name:string,md5_key:string");
const QStringList kCategories{R"(parent_id="0" child_id="7" child_name="面料供应商")", R"(parent_id="0" child_id="8" child_name="辅料供应商")"};
const QString kSupplierFields = QStringLiteral("suppliercode:string,suppliername:string,status:boolean,catid:integer,md5_key:string");
const QString kPickFields = QStringLiteral("suppliercode:string,suppliername:string,status:integer");
const QString kSupplierGoodsFields = QStringLiteral(
    "suppliergoods:string,suppliercode:string,goodscode:string,goodsname:string,norms:string,units:string,propstyle:string,md5_key:string");
const QString kCardFields = QStringLiteral(
    "vipid:string,vipname:string,sex:string,birthday:string,inentno:string,tel:string,phone:string,address:string,"
    "is_use:boolean,email:string,memo:string,catid:integer,md5_key:string");

QMap<QString, QString> treeParams(const QString& area, const QString& labels)
{
    return {{"search", area + ".Search"}, {"update", area + ".Update"}, {"grouptree", "Category." + area + "Search"},
            {"filterfield", "catid"}, {"fieldlabels", labels}};
}
}

class TestSupplierForms : public QObject {
    Q_OBJECT
    std::unique_ptr<TFakeService> m_svc;
    std::unique_ptr<TScriptedUi> m_ui;

    std::unique_ptr<TfrmSupplierGoods> openGoods(const QString& power = kAll)
    {
        return openForm<TfrmSupplierGoods>(moduleXml("供应商商品", {{"search", "SupplierGoods.Search"}, {"update", "SupplierGoods.Update"}}, power));
    }

private Q_SLOTS:
    void init()
    {
        m_svc = std::make_unique<TFakeService>();
        m_ui = std::make_unique<TScriptedUi>();
        for (const char* area : {"Category.SupplierSearch", "Category.VipcardSearch"})
            m_svc->answer(area, listAnswer(packet(kCategoryFields, kCategories)));
        m_svc->answer("Supplier.Search", listAnswer(packet(kSupplierFields,
            {R"(suppliercode="GY001" suppliername="杭州织造" status="true" catid="7" md5_key="k1")"})));
        m_svc->answer("Select.Supplier", "<response><moduleclass>TFrmSelect</moduleclass><search>Select.SupplierSearch</search></response>");
        m_svc->answer("Select.SupplierSearch", listAnswer(packet(kPickFields, {})));
        m_svc->answerWhen("Select.SupplierSearch", "suppliercode", "GY001",
                          listAnswer(packet(kPickFields, {R"(suppliercode="GY001" suppliername="杭州织造" status="1")"})));
        m_svc->answer("SupplierGoods.Search", listAnswer(packet(kSupplierGoodsFields, {})));
        m_svc->answerWhen("SupplierGoods.Search", "suppliercode", "GY001", listAnswer(packet(kSupplierGoodsFields,
            {R"(suppliergoods="GY001/G1" suppliercode="GY001" goodscode="G1" goodsname="纯棉T恤" md5_key="s1")"})));
        m_svc->answer("Vipcard.Search", listAnswer(packet(kCardFields,
            {R"(vipid="V00001" vipname="张伟" sex="男" birthday="1981-02-03" is_use="true" catid="7" md5_key="v1")"})));
    }
    void cleanup()
    {
        m_ui.reset();
        m_svc.reset();
    }

    // --- Suppliers -------------------------------------------------------------------------

    void newSupplierTakesTheCategoryAndIsInUse()
    {
        auto form = openForm<TfrmSupplier>(moduleXml("供应商管理", treeParams("Supplier", "suppliername=供应商名称;child_id=供应商类别;status=在用")));
        QCOMPARE(m_svc->modules(), (QStringList{"Category.SupplierSearch", "Supplier.Search"}));
        QTreeWidget* tree = form->CategoryTree()->Tree();
        tree->setCurrentItem(tree->findItems("辅料供应商", Qt::MatchRecursive).value(0));
        QStringList seen;
        m_ui->onModal = [&](QWidget* w) {
            auto* edit = qobject_cast<TfrmSupplierEdit*>(w);
            seen << edit->windowTitle() << edit->findChild<QLabel*>("suppliername")->text() << edit->StatusBox()->text()
                 << edit->CategoryBox()->currentText() << QString::number(edit->StatusBox()->isChecked());
            edit->ContinueBox()->setChecked(true);
            type(edit->NameEdit(), "广州辅料城");
            edit->btnSaveClick();
            seen << edit->CategoryBox()->currentText() + "|" + edit->NameEdit()->text();
            type(edit->NameEdit(), "温州鞋业");
            choose(edit->CategoryBox(), "面料供应商");
            edit->btnSaveClick();
            edit->btnCancelClick(); // the third, still empty, is dropped
            return edit->ModalResult();
        };
        form->dxBL_NewClick();
        QCOMPARE(seen, (QStringList{"供应商管理_编辑", "供应商名称：", "在用", "辅料供应商", "1", "辅料供应商|"}));
        TPClientDataSet* rows = form->ListData();
        QCOMPARE(column(rows, "suppliername"), (QStringList{"杭州织造", "广州辅料城", "温州鞋业"}));
        QCOMPARE(column(rows, "catid"), (QStringList{"7", "8", "7"}));
        QCOMPARE(column(rows, "status"), (QStringList{"True", "True", "True"}));
        QCOMPARE(rows->ChangeCount(), 2);
    }

    // --- Supplier goods --------------------------------------------------------------------

    void supplierBoxLooksTheCodeUpAndSearchesAgain_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("rows");
        QTest::newRow("found") << " GY001 " << "GY001" << "杭州织造" << 1;
        QTest::newRow("not found empties the box") << "GY999" << "" << "" << 0;
    }
    void supplierBoxLooksTheCodeUpAndSearchesAgain()
    {
        QFETCH(QString, typed);
        QFETCH(QString, code);
        QFETCH(QString, name);
        QFETCH(int, rows);
        auto form = openGoods();
        QCOMPARE(params(m_svc->calls().value(0)), (QStringList{"module=SupplierGoods.Search", "suppliercode=", "curpage=1"}));
        form->SupplierNameLabel()->setText("上一个");
        m_svc->clearCalls();
        form->SupplierEdit()->setText(typed);
        form->SupplierEntered();
        QCOMPARE(m_svc->modules(), (QStringList{"Select.Supplier", "Select.SupplierSearch", "SupplierGoods.Search"}));
        QCOMPARE(params(m_svc->calls()[1]),
                 (QStringList{"module=Select.SupplierSearch", "status=1", "suppliercode=" + typed.trimmed(), "curpage=0"}));
        QCOMPARE(params(m_svc->calls()[2]), (QStringList{"module=SupplierGoods.Search", "suppliercode=" + code, "curpage=1"}));
        QCOMPARE(form->SupplierEdit()->text(), code);
        QCOMPARE(form->SupplierNameLabel()->text(), name);
        QCOMPARE(form->ListData()->RecordCount(), rows);
    }

    void pickedSupplierAndItsCodeAfterTheConditions()
    {
        auto form = openGoods();
        m_svc->answer("Select.SupplierSearch", listAnswer(packet(kPickFields, {R"(suppliercode="GY001" suppliername="杭州织造" status="1")"})));
        QStringList fixed;
        m_ui->onModal = [&](QWidget* w) {
            auto* select = qobject_cast<TFrmSelect*>(w);
            fixed = select->FixedConditions();
            select->Search(nullptr, 1);
            select->btnSelectClick();
            return select->ModalResult();
        };
        form->SupplierButton()->click();
        QCOMPARE(fixed, QStringList{"status=1"});
        QCOMPARE(form->SupplierEdit()->text(), QStringLiteral("GY001"));
        QCOMPARE(form->SupplierNameLabel()->text(), QStringLiteral("杭州织造"));
        QCOMPARE(form->ListData()->RecordCount(), 1);
        // Paging keeps the search's conditions; the supplier goes between them and the fixed ones.
        form->FixedConditions() << "is_del=0";
        m_svc->clearCalls();
        const QStringList conditions{"goodsname=T恤"};
        form->Search(&conditions, 1);
        QCOMPARE(params(m_svc->calls().value(0)),
                 (QStringList{"module=SupplierGoods.Search", "goodsname=T恤", "suppliercode=GY001", "is_del=0", "curpage=1"}));
    }

    void insertFillsRowsFromThePickedGoods()
    {
        auto form = openGoods();
        form->SupplierEdit()->setText("GY001");
        form->SupplierEntered();
        QVERIFY(!form->Tool(KxTool::New)->isVisibleTo(form.get()));
        QVERIFY(form->Tool(KxTool::Insert)->isEnabled());
        m_svc->answer("Select.Goods", "<response><moduleclass>TFrmSelect</moduleclass><multiselect>true</multiselect><search>Select.GoodsSearch</search></response>");
        m_svc->answer("Select.GoodsSearch", listAnswer(packet("goodscode:string,goodsname:string,norms:string,unit:string,propstyle:string",
            {R"(goodscode="G2" goodsname="牛仔裤" norms="L" unit="条" propstyle="K2")", R"(goodscode="G3" goodsname="短袖" unit="件")"})));
        QStringList fixed;
        bool picked = false;
        m_ui->onModal = [&](QWidget* w) {
            auto* select = qobject_cast<TFrmSelect*>(w);
            fixed = select->FixedConditions();
            if (!picked)
                return int(mrCancel);
            select->Search(nullptr, 1);
            select->btnAllSelectClick();
            select->btnSelectClick();
            return select->ModalResult();
        };
        m_svc->clearCalls();
        // Cancelled: one appended row, carrying the supplier's code.
        form->dxBL_InsertClick();
        QCOMPARE(fixed, QStringList{"is_del=0"});
        QCOMPARE(params(m_svc->calls().value(0)), (QStringList{"module=Select.Goods", "multiselect=true"}));
        TPClientDataSet* rows = form->ListData();
        QCOMPARE(rows->RecordCount(), 2);
        QCOMPARE(rows->FieldByName("suppliercode")->AsString(), QStringLiteral("GY001"));
        QCOMPARE(rows->FieldByName("goodscode")->AsString(), QString());
        QCOMPARE(rows->FieldByName("md5_key")->AsString().size(), 32);
        rows->Cancel();

        picked = true;
        form->dxBL_InsertClick();
        QCOMPARE(column(rows, "goodscode"), (QStringList{"G1", "G2", "G3"}));
        QCOMPARE(column(rows, "units"), (QStringList{"", "条", "件"}));
        QCOMPARE(column(rows, "suppliercode"), (QStringList{"GY001", "GY001", "GY001"}));
        QCOMPARE(rows->ChangeCount(), 2);

        // Another supplier would replace the unsaved rows: asked first, Cancel keeps everything.
        m_ui->answers.enqueue(mrCancel);
        m_svc->clearCalls();
        form->SupplierEdit()->setText("GY999");
        form->SupplierEntered();
        QCOMPARE(m_ui->last(), QStringLiteral("数据有未保存的修改，确定不保存就刷新吗？"));
        QCOMPARE(m_svc->modules(), (QStringList{"Select.Supplier", "Select.SupplierSearch"}));
        QCOMPARE(rows->ChangeCount(), 2);
    }

    void withoutTheRightToChangeNothingIsInserted()
    {
        auto form = openGoods("issearch=True;");
        QVERIFY(!form->Tool(KxTool::Insert)->isEnabled());
        QVERIFY(!form->Tool(KxTool::Save)->isEnabled());
    }

    // --- Member cards ----------------------------------------------------------------------

    void cardsInARowKeepOnlyTheSex()
    {
        auto form = openForm<TfrmVipcard>(moduleXml("会员卡管理", treeParams("Vipcard", "vipname=会员名称;sex=性别;child_id=会员类别")));
        QCOMPARE(m_svc->modules(), (QStringList{"Category.VipcardSearch", "Vipcard.Search"}));
        QCOMPARE(form->Grid()->GridModel()->CellText(0, form->Grid()->ColumnByField("sex")), QStringLiteral("男"));
        QTreeWidget* tree = form->CategoryTree()->Tree();
        tree->setCurrentItem(tree->findItems("辅料供应商", Qt::MatchRecursive).value(0));
        QStringList seen;
        m_ui->onModal = [&](QWidget* w) {
            auto* edit = qobject_cast<TfrmVipcardEdit*>(w);
            seen << edit->findChild<QLabel*>("sex")->text() << edit->CategoryBox()->currentText()
                 << QString::number(edit->InUseBox()->isChecked()) << QString::number(edit->Edit("vipid")->isReadOnly());
            edit->ContinueBox()->setChecked(true);
            type(edit->Edit("vipname"), "李娜");
            choose(edit->SexBox(), "女");
            type(edit->Edit("phone"), "13900000002");
            edit->BirthdayEdit()->setDate(QDate(1990, 5, 6));
            edit->btnSaveClick();
            seen << edit->SexBox()->currentText() + "|" + edit->Edit("vipname")->text() + "|" + edit->Edit("phone")->text();
            type(edit->Edit("vipname"), "王芳");
            edit->btnSaveClick();
            edit->btnCancelClick();
            return edit->ModalResult();
        };
        form->dxBL_NewClick();
        QCOMPARE(seen, (QStringList{"性别：", "辅料供应商", "1", "1", "女||"}));
        TPClientDataSet* rows = form->ListData();
        QCOMPARE(column(rows, "vipname"), (QStringList{"张伟", "李娜", "王芳"}));
        QCOMPARE(column(rows, "sex"), (QStringList{"男", "女", "女"}));
        QCOMPARE(column(rows, "phone"), (QStringList{"", "13900000002", ""}));
        QCOMPARE(column(rows, "birthday").value(1).left(10), QStringLiteral("1990-05-06"));
        QCOMPARE(column(rows, "birthday").value(2), QString());
        QCOMPARE(column(rows, "catid"), (QStringList{"7", "8", "8"}));
        QCOMPARE(column(rows, "is_use"), (QStringList{"True", "True", "True"}));
        QCOMPARE(rows->ChangeCount(), 2);
    }
};

QTEST_MAIN(TestSupplierForms)
#include "tst_supplier_forms.moc"
