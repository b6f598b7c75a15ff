// The stock and price document windows other than the receipt, against a scripted service:
// one table row per kind for what they share (the requests of list and edit window, header
// defaults, checks and messages, entry flow, amounts and totals, the audit rule, the product
// lookup, voucher names, the read-only audited document), created by their class names.
#include "FakeService.h"
#include "ScriptedUi.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uGridView.h"
#include "uKXReport.h"
#include "uRMEngine.h"
#include "uRMReportEx.h"
#include "uPClientDataSet.h"
#include "uUtils.h"
#include "ufrmDocEdit.h"
#include "ufrmDocList.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
const QString kAllRights = QStringLiteral("isupdate=True;isaudit=True;issearch=True;isprint=True;isoutput=True;iscolumn=True;");

bool isNumber(const QString& f)
{
    return f.endsWith(QLatin1String("num")) || f.endsWith(QLatin1String("price")) || f.endsWith(QLatin1String("money"))
           || f == QLatin1String("wholesale") || f == QLatin1String("newwhole") || f.startsWith(QLatin1String("sum"));
}
bool isInteger(const QString& f)
{
    return f == QLatin1String("status") || f == QLatin1String("seq");
}
QByteArray fieldsOf(const QStringList& names)
{
    QByteArray out;
    for (const QString& n : names) {
        const QByteArray type = isInteger(n) ? "type=\"integer\"" : isNumber(n) ? "type=\"decimal\" precision=\"18\" scale=\"2\""
                                                                                : "type=\"string\" size=\"200\"";
        out += "<field name=\"" + n.toUtf8() + "\" " + type + "/>";
    }
    return out;
}
QByteArray packet(const QStringList& fields, const QList<QMap<QString, QString>>& rows)
{
    QByteArray p = "<datapacket><fields>" + fieldsOf(fields) + "</fields><rows>";
    for (const auto& r : rows) {
        p += "<row";
        for (auto it = r.begin(); it != r.end(); ++it)
            if (fields.contains(it.key()))
                p += " " + it.key().toUtf8() + "=\"" + it.value().toUtf8() + "\"";
        p += "/>";
    }
    return p + "</rows></datapacket>";
}
QByteArray cdata(const char* name, const QByteArray& content)
{
    return QByteArray("<") + name + "><![CDATA[" + content + "]]></" + name + ">";
}
QByteArray listAnswer(const QByteArray& packet)
{
    return "<response>" + cdata("xmldata", packet) + "<recordcount>1</recordcount><pagecount>1</pagecount></response>";
}

// Every value a header or line of any kind may carry; each packet takes the fields it has. The
// totals are those of the two lines below.
QMap<QString, QString> headerValues(const QString& idField, int status)
{
    return {{"md5_key", "K-D1"}, {idField, "D1"}, {"shopcode", "S01"}, {"status", QString::number(status)},
            {"suppliercode", "GY001"}, {"suppliername", "杭州织造"}, {"vipid", "V01"}, {"vipname", "张三"},
            {"storageid", "CK01"}, {"storagename", "杭州发货仓"}, {"out_storageid", "CK01"}, {"out_storagename", "杭州发货仓"},
            {"in_shopcode", "S02"}, {"in_shopname", "上海店"}, {"in_storageid", "CK02"}, {"in_storagename", "上海发货仓"},
            {"adjusttype", "库存调整单"}, {"outputmoney", "51.00"}, {"wholemoney", "45.00"}, {"resultmoney", "48.00"}, {"inputren", "[admin]管理员"}, {"inputtime", "2026-12-01 09:00:00"}};
}
QMap<QString, QString> lineValues(const QString& idField, int seq, const QString& code)
{
    return {{"md5_key", "K-D1"}, {idField, "D1"}, {"seq", QString::number(seq)}, {"commoditycode", code}, {"goodscode", code},
            {"barcode", "69" + code}, {"commodityname", "T恤"}, {"goodsname", "T恤"}, {"propstyle", "T-01"}, {"propcolor", "白色"},
            {"propsize", "M"}, {"costprice", "8.00"}, {"saleprice", "10.00"}, {"wholesale", "9.00"}, {"disprice", "1.50"},
            {"outputnum", "3"}, {"wholenum", "3"}, {"resultnum", "3"}, {"allocatenum", "3"}, {"adjustnum", "3"},
            {"newprice", "12.00"}, {"newwhole", "11.00"}};
}

QStringList headerFieldsOf(const TKxDocEditDef& d)
{
    QStringList f{"md5_key", "status"};
    f += d.headerFields;
    f += d.shopFields;
    for (const TKxHeaderList& l : d.lists)
        f << l.nameField;
    for (const auto& [field, value] : d.defaults)
        f << field;
    if (!d.partyName.isEmpty())
        f << d.partyName;
    f.removeDuplicates();
    return f;
}
QStringList lineFieldsOf(const TKxDocEditDef& d)
{
    QStringList f{"md5_key", d.idField, "seq", d.codeField};
    for (const QString& p : d.productFields)
        f << p.section('=', 0, 0);
    f += d.entryFields;
    f.removeDuplicates();
    return f;
}

QStringList params(const TFakeCall& call)
{
    QStringList out;
    for (const auto& f : call.fields)
        if (f.first != u"nickid" && f.first != u"operid" && f.first != u"shopid")
            out << f.first + QLatin1Char('=') + f.second;
    return out;
}

QString focus(TGridView* grid)
{
    const TGridColumn* c = grid->Column(grid->currentIndex().column());
    return QStringLiteral("%1:%2").arg(grid->currentIndex().row()).arg(c ? c->FieldName : QString());
}

template <class T>
std::unique_ptr<T> create(const QString& className)
{
    return std::unique_ptr<T>(qobject_cast<T*>(TKxClassRegistry::Instance().Create(className, T::staticMetaObject, nullptr)));
}
} // namespace

class TestDocKinds : public QObject {
    Q_OBJECT
    std::unique_ptr<TFakeService> svc;
    TScriptedUi ui;

    QString moduleXml(const QString& kind, bool edit, const QString& power = kAllRights) const
    {
        const QString p = kind + QLatin1Char('.');
        QString xml = QStringLiteral("<response><moduletitle>%1</moduletitle><modulepower>%2</modulepower>"
                                     "<storage>Lookup.Storage</storage><status>Lookup.DocStatus</status><shop>Lookup.Shop</shop>"
                                     "<rmf>%3.rmf</rmf><masterlabels>memo=备注;</masterlabels><detaillabels>seq=序号;</detaillabels>")
                          .arg(kind, power, kind.toLower());
        if (edit)
            xml += QStringLiteral("<search>%1Load</search><update>%1Update</update><audit>%1Audit</audit>").arg(p);
        else
            xml += QStringLiteral("<search>%1Search</search><listdetail>%1ListDetail</listdetail><module>%1Edit</module>").arg(p);
        return xml + QStringLiteral("</response>");
    }
    // The edit window of `kind` over document D1 (status `status`, two lines), calls cleared.
    std::unique_ptr<TfrmDocEdit> openEdit(const QString& kind, int status = 1, const QString& power = kAllRights)
    {
        auto form = create<TfrmDocEdit>(QStringLiteral("Tfrm%1Edit").arg(kind));
        if (!form)
            return form;
        const TKxDocEditDef& d = form->Def();
        svc->answer(kind + ".Load", "<response>" + cdata("xmlmaster", packet(headerFieldsOf(d), {headerValues(d.idField, status)}))
                                        + cdata("xmldetail", packet(lineFieldsOf(d), {lineValues(d.idField, 1, "A1"),
                                                                                      lineValues(d.idField, 2, "A2")}))
                                        + "</response>");
        form->InitModule(moduleXml(kind, true, power));
        form->FixedConditions() << d.idField + QStringLiteral("=D1");
        form->show();
        svc->clearCalls();
        ui.clear();
        return form;
    }
    void typeCell(TGridView* grid, int row, const QString& field, const QString& text)
    {
        TGridColumn* c = grid->ColumnByField(field);
        QVERIFY2(c, qPrintable(field));
        QVERIFY(grid->model()->setData(grid->model()->index(row, grid->IndexOfColumn(c)), text));
        grid->setCurrentIndex(grid->model()->index(row, grid->IndexOfColumn(c)));
        QCoreApplication::processEvents();
    }

private Q_SLOTS:
    void init()
    {
        svc = std::make_unique<TFakeService>();
        svc->answer("Lookup.Storage", listAnswer(packet({"storageid", "storagename"},
                                                        {{{"storageid", "CK01"}, {"storagename", "杭州发货仓"}},
                                                         {{"storageid", "CK02"}, {"storagename", "上海发货仓"}}})));
        svc->answer("Lookup.Shop", listAnswer(packet({"shopcode", "shopname"}, {{{"shopcode", "S01"}, {"shopname", "杭州店"}},
                                                                                {{"shopcode", "S02"}, {"shopname", "上海店"}}})));
        svc->answer("Lookup.DocStatus", listAnswer(packet({"status", "statusname"}, {{{"status", "0"}, {"statusname", "新建"}},
                                                                                     {{"status", "1"}, {"statusname", "已保存"}},
                                                                                     {{"status", "2"}, {"statusname", "已审核"}}})));
        for (const char* pick : {"Select.Commodity", "Select.Goods"})
            svc->answer(pick, QByteArray("<response><moduleclass>TFrmSelect</moduleclass><modal>true</modal><search>") + pick
                                  + "Search</search></response>");
        ui.clear();
        ui.answers.clear();
        ui.onModal = nullptr;
        gOperId = QStringLiteral("admin");
        gOperName = QStringLiteral("管理员");
        gShopId = QStringLiteral("S01");
    }
    void cleanup() { svc.reset(); }

    void list_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("opening");
        QTest::addColumn<QStringList>("page");
        QTest::addColumn<QString>("amount");
        const QStringList stock{"Lookup.Storage", "Lookup.DocStatus"};
        const QStringList page{"status=1", "curpage=0"};
        QTest::newRow("retail outbound") << "Output" << stock << page << "sumsaleprice=25.50";
        // The wholesale list asks for the logged-in shop's documents after the call parameters.
        QTest::newRow("wholesale outbound") << "Whole" << stock << QStringList{"status=1", "shopcode=S01", "curpage=0"}
                                            << "sumwholesale=22.50";
        QTest::newRow("purchase return") << "Result" << stock << page << "sumcostprice=24.00";
        QTest::newRow("transfer") << "Allocate" << QStringList{"Lookup.Storage", "Lookup.Shop", "Lookup.DocStatus"} << page
                                  << "sumcostprice=24.00";
        QTest::newRow("stock adjustment") << "Adjust" << stock << page << "sumcostprice=24.00";
        QTest::newRow("goods cost") << "AdjustCost" << QStringList{"Lookup.DocStatus"} << page << "";
        QTest::newRow("goods price") << "AdjustPrice" << QStringList{"Lookup.DocStatus"} << page << "";
        QTest::newRow("product cost") << "AdjustItemCost" << QStringList{"Lookup.DocStatus"} << page << "";
        QTest::newRow("product price") << "AdjustItemPrice" << QStringList{"Lookup.DocStatus"} << page << "";
    }
    void list()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, opening);
        QFETCH(QStringList, page);
        QFETCH(QString, amount);
        auto form = create<TfrmDocList>(QStringLiteral("Tfrm%1").arg(kind));
        QVERIFY(form);
        auto edit = create<TfrmDocEdit>(QStringLiteral("Tfrm%1Edit").arg(kind));
        const TKxDocEditDef& d = edit->Def();
        svc->answer(kind + ".Search", listAnswer(packet(headerFieldsOf(d), {headerValues(d.idField, 1)})));
        svc->answer(kind + ".ListDetail", listAnswer(packet(lineFieldsOf(d), {lineValues(d.idField, 1, "A1")})));
        form->InitModule(moduleXml(kind, false));
        form->FixedConditions() << QStringLiteral("status=1");
        form->show();
        QCOMPARE(svc->modules(), (opening + QStringList{kind + ".Search", kind + ".ListDetail"}));
        QCOMPARE(params(svc->calls()[opening.size()]), QStringList{"module=" + kind + ".Search"} + page);
        QCOMPARE(params(svc->calls().last()), (QStringList{"module=" + kind + ".ListDetail", d.idField + "=D1"}));
        // The lines carry the amounts the voucher prints under "金额".
        if (!amount.isEmpty())
            QCOMPARE(form->Lines()->FieldByName(amount.section('=', 0, 0))->AsString(), amount.section('=', 1));
        // "新 建" opens the edit window with an empty id.
        svc->answer(kind + ".Edit", moduleXml(kind, true).replace("<response>", "<response><moduleclass>Tfrm" + kind
                                                                                   + "Edit</moduleclass>").toUtf8());
        QStringList opened;
        ui.onModal = [&](QWidget* w) {
            auto* e = qobject_cast<TfrmDocEdit*>(w);
            opened << (e ? e->metaObject()->className() + QStringLiteral(":") + e->FixedConditions().join(',') : QStringLiteral("?"));
            return int(mrOk);
        };
        form->dxBL_NewClick();
        QCOMPARE(opened, QStringList{"Tfrm" + kind + "Edit:" + d.idField + "="});
    }

    void editOpensAndChecks_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("opening");
        QTest::addColumn<QStringList>("defaults");
        QTest::addColumn<QString>("firstSave");
        QTest::addColumn<QString>("unchanged");
        const QString question = QStringLiteral("真的需要提交修改吗？");
        const QString same = QStringLiteral("无数据变动，不用提交数据！");
        const QString priceSame = QStringLiteral("没有数据变动，不用提交数据！");
        const QStringList priceOpening{"module=Lookup.DocStatus"};
        const QStringList priceDefaults{"status=0", "shopcode=<none>"};
        QTest::newRow("retail outbound") << "Output" << QStringList{"module=Lookup.Storage,storagetype=2", "module=Lookup.DocStatus"}
                                         << QStringList{"status=0", "shopcode=S01", "outputmoney=0.00"} << "出货仓库不能为空！" << same;
        // Saving a wholesale outbound needs no storage; adding lines does (below).
        QTest::newRow("wholesale outbound") << "Whole" << QStringList{"module=Lookup.Storage,storagetype=2", "module=Lookup.DocStatus"}
                                            << QStringList{"status=0", "shopcode=S01", "wholemoney=0.00"} << question << same;
        QTest::newRow("purchase return") << "Result" << QStringList{"module=Lookup.Storage,storagetype=3", "module=Lookup.DocStatus"}
                                         << QStringList{"status=0", "shopcode=S01", "resultmoney=0.00"} << "供应商信息不能为空！"
                                         << same;
        QTest::newRow("transfer") << "Allocate"
                                  << QStringList{"module=Lookup.Storage", "module=Lookup.Shop,isuse=1", "module=Lookup.DocStatus"}
                                  << QStringList{"status=0", "shopcode=S01", "in_shopcode=S01"} << "调出仓库不能为空！" << same;
        QTest::newRow("stock adjustment") << "Adjust" << QStringList{"module=Lookup.Storage", "module=Lookup.DocStatus"}
                                          << QStringList{"status=0", "shopcode=S01", "adjusttype=库存调整单"} << "仓库信息不能为空！" << same;
        QTest::newRow("goods cost") << "AdjustCost" << priceOpening << priceDefaults << question << priceSame;
        QTest::newRow("goods price") << "AdjustPrice" << priceOpening << priceDefaults << question << priceSame;
        QTest::newRow("product cost") << "AdjustItemCost" << priceOpening << priceDefaults << question << priceSame;
        QTest::newRow("product price") << "AdjustItemPrice" << priceOpening << priceDefaults << question << priceSame;
    }
    void editOpensAndChecks()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, opening);
        QFETCH(QStringList, defaults);
        QFETCH(QString, firstSave);
        QFETCH(QString, unchanged);
        auto form = create<TfrmDocEdit>(QStringLiteral("Tfrm%1Edit").arg(kind));
        QVERIFY(form);
        const QString id = form->Def().idField;
        svc->answer(kind + ".Load", "<response>" + cdata("xmlmaster", packet(headerFieldsOf(form->Def()), {}))
                                        + cdata("xmldetail", packet(lineFieldsOf(form->Def()), {})) + "</response>");
        form->InitModule(moduleXml(kind, true));
        form->FixedConditions() << id + QStringLiteral("=");
        form->show();
        QStringList asked;
        for (const TFakeCall& c : svc->calls())
            asked << params(c).join(',');
        QCOMPARE(asked, opening + QStringList{"module=" + kind + ".Load," + id + "="});

        // A new header gets its defaults.
        form->dxBL_NewClick();
        TPClientDataSet* h = form->Header();
        for (const QString& d : defaults) {
            const TField* f = h->FindField(d.section('=', 0, 0));
            QCOMPARE(d.section('=', 0, 0) + "=" + (f ? f->AsString() : QStringLiteral("<none>")), d);
        }
        QCOMPARE(h->FieldByName("inputren")->AsString(), QStringLiteral("[admin]管理员"));
        // The first check of the empty document, or the question when it has none at save.
        ui.clear();
        ui.answers << mrCancel;
        form->dxBL_SaveClick();
        QCOMPARE(ui.messages.value(0).text, firstSave);
        QVERIFY(!svc->modules().contains(kind + ".Update"));

        // A saved document without changes is not sent.
        auto saved = openEdit(kind);
        saved->dxBL_SaveClick();
        QCOMPARE(ui.lastText(), unchanged);
        QVERIFY(svc->calls().isEmpty());
    }

    void wholesaleLinesNeedAStorage()
    {
        auto form = create<TfrmDocEdit>(QStringLiteral("TfrmWholeEdit"));
        svc->answer("Whole.Load", "<response>" + cdata("xmlmaster", packet(headerFieldsOf(form->Def()), {}))
                                      + cdata("xmldetail", packet(lineFieldsOf(form->Def()), {})) + "</response>");
        form->InitModule(moduleXml("Whole", true));
        form->show();
        form->dxBL_NewClick();
        form->ProductButtonClick(0);
        QCOMPARE(ui.lastText(), QStringLiteral("出货仓库不能为空！"));
        QVERIFY(ui.modalWindows.isEmpty());
    }

    void entryFlowAmountsAndLookup_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("flow");   // where the focus goes after each entry
        QTest::addColumn<QString>("total");      // the header total after the entries, before any save
        QTest::addColumn<QStringList>("lookup"); // the product lookup of a code typed on line 1
        QTest::newRow("retail outbound") << "Output" << QStringList{"1:outputnum", "1:disprice", "2:commoditycode"}
                                         << "outputmoney=59.00"
                                         << QStringList{"module=Select.CommoditySearch", "commoditycode=P1", "storageid=CK01", "is_del=0"};
        QTest::newRow("wholesale outbound") << "Whole" << QStringList{"1:wholenum", "1:disprice", "2:commoditycode"}
                                            << "wholemoney=50.00"
                                            << QStringList{"module=Select.CommoditySearch", "commoditycode=P1", "storageid=CK01", "is_del=0"};
        QTest::newRow("purchase return") << "Result" << QStringList{"1:resultnum", "2:commoditycode"} << "resultmoney=72.00"
                                         << QStringList{"module=Select.CommoditySearch", "commoditycode=P1", "suppliercode=GY001",
                                                        "storageid=CK01", "is_del=0", "is_pack=0"};
        QTest::newRow("transfer") << "Allocate" << QStringList{"1:allocatenum", "2:commoditycode"} << ""
                                  << QStringList{"module=Select.CommoditySearch", "commoditycode=P1", "is_del=0", "is_pack=0",
                                                 "storageid=CK01"};
        QTest::newRow("stock adjustment") << "Adjust" << QStringList{"1:adjustnum", "2:commoditycode"} << ""
                                          << QStringList{"module=Select.CommoditySearch", "commoditycode=P1", "is_del=0",
                                                         "is_pack=0", "storageid=CK01"};
        QTest::newRow("goods cost") << "AdjustCost" << QStringList{"1:newprice", "2:goodscode"} << ""
                                    << QStringList{"module=Select.GoodsSearch", "goodscode=P1", "is_del=0"};
        QTest::newRow("goods price") << "AdjustPrice" << QStringList{"0:newwhole", "1:newprice", "1:newwhole", "2:goodscode"} << ""
                                     << QStringList{"module=Select.GoodsSearch", "goodscode=P1", "is_del=0"};
        QTest::newRow("product cost") << "AdjustItemCost" << QStringList{"1:newprice", "2:commoditycode"} << ""
                                      << QStringList{"module=Select.CommoditySearch", "commoditycode=P1", "is_del=0", "is_pack=0"};
        QTest::newRow("product price") << "AdjustItemPrice" << QStringList{"0:newwhole", "1:newprice", "1:newwhole", "2:commoditycode"}
                                       << "" << QStringList{"module=Select.CommoditySearch", "commoditycode=P1", "is_del=0", "is_pack=0"};
    }
    void entryFlowAmountsAndLookup()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, flow);
        QFETCH(QString, total);
        QFETCH(QStringList, lookup);
        auto form = openEdit(kind);
        QVERIFY(form);
        const TKxDocEditDef& d = form->Def();
        TGridView* grid = form->LineGrid();
        // Typing through the entry columns from the first line's first one.
        QStringList went;
        QString at = "0:" + d.entryFields.first();
        for (int i = 0; i < flow.size(); ++i) {
            typeCell(grid, at.section(':', 0, 0).toInt(), at.section(':', 1), i == 0 ? "4" : "5");
            at = focus(grid);
            went << at;
        }
        QCOMPARE(went, flow);
        // The header total follows the lines before any save.
        if (!total.isEmpty())
            QCOMPARE(total.section('=', 0, 0) + "=" + form->Header()->FieldByName(d.totalField)->AsString(), total);
        // A code typed on the open line is looked up with the kind's parameters, and the
        // product found fills the line with its numbers at 0.
        const QByteArray products = packet(QStringList{d.codeField} + d.productFields,
                                           {lineValues(d.idField, 0, "P1")});
        svc->answer(kind == "AdjustCost" || kind == "AdjustPrice" ? "Select.GoodsSearch" : "Select.CommoditySearch",
                    listAnswer(products));
        svc->clearCalls();
        typeCell(grid, 2, d.codeField, "P1");
        QCOMPARE(params(svc->calls().last()).mid(0, lookup.size()), lookup);
        QCOMPARE(form->Lines()->FieldByName(d.codeField)->AsString(), QStringLiteral("P1"));
        for (const QString& f : d.entryFields)
            QCOMPARE(form->Lines()->FieldByName(f)->AsString(), QStringLiteral("0.00"));
        QCOMPARE(focus(grid), "2:" + d.entryFields.first());
    }

    void auditRuleAndReadOnly_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("newDocument"); // auditing a document at status 0
        QTest::addColumn<bool>("reloads");        // loaded again after a successful audit
        const QString refused = QStringLiteral("非新建状态的单据，不能提交审核！");
        const QString asks = QStringLiteral("真的需要提交审核吗？");
        QTest::newRow("retail outbound") << "Output" << asks << false;
        QTest::newRow("wholesale outbound") << "Whole" << asks << false;
        QTest::newRow("purchase return") << "Result" << asks << false;
        QTest::newRow("transfer") << "Allocate" << asks << true;
        QTest::newRow("stock adjustment") << "Adjust" << asks << false;
        QTest::newRow("goods cost") << "AdjustCost" << refused << false;
        QTest::newRow("goods price") << "AdjustPrice" << refused << false;
        QTest::newRow("product cost") << "AdjustItemCost" << refused << false;
        QTest::newRow("product price") << "AdjustItemPrice" << refused << false;
    }
    void auditRuleAndReadOnly()
    {
        QFETCH(QString, kind);
        QFETCH(QString, newDocument);
        QFETCH(bool, reloads);
        {
            auto form = openEdit(kind, 0);
            ui.answers << mrCancel;
            form->dxBL_AuditClick();
            QCOMPARE(ui.lastText(), newDocument);
            QCOMPARE(form->Header()->FieldByName("status")->AsInteger(), 0);
        }
        auto form = openEdit(kind, 1);
        const TKxDocEditDef& d = form->Def();
        QByteArray audited = packet(headerFieldsOf(d), {headerValues(d.idField, 2)});
        svc->answer(kind + ".Audit", "<response>" + cdata("xmlmaster", audited) + "</response>");
        form->dxBL_AuditClick();
        QCOMPARE(ui.lastText(), QStringLiteral("数据提交审核成功！"));
        QCOMPARE(svc->modules(), (reloads ? QStringList{kind + ".Audit", kind + ".Load"} : QStringList{kind + ".Audit"}));
        if (reloads)
            QCOMPARE(params(svc->calls().last()), (QStringList{"module=" + kind + ".Load", d.idField + "=D1"}));

        // An audited document is shown read-only: the grid, the header and the changing buttons.
        auto shown = reloads ? openEdit(kind, 2) : std::move(form);
        QCOMPARE(shown->Header()->FieldByName("status")->AsInteger(), 2);
        QStringList enabled;
        for (const char* b : {"新 建", "插 入", "删 除", "保 存", "审 核"})
            if (shown->Button(QString::fromUtf8(b))->isEnabled())
                enabled << QString::fromUtf8(b);
        QCOMPARE(enabled, QStringList{"新 建"});
        QCOMPARE(shown->LineGrid()->editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(shown->HeaderEdit("memo")->isReadOnly());
        if (QComboBox* box = shown->StorageBox())
            QVERIFY(!box->isEnabled());
        if (QLineEdit* party = shown->PartyEdit())
            QVERIFY(party->isReadOnly());
        // "新 建" opens the window for a new document again.
        shown->dxBL_NewClick();
        QVERIFY(shown->Button(QStringLiteral("保 存"))->isEnabled());
        QVERIFY(!shown->HeaderEdit("memo")->isReadOnly());
    }

    void voucherNames_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::newRow("retail outbound") << "Output" << "零售出库单";
        QTest::newRow("wholesale outbound") << "Whole" << "批发出库单";
        QTest::newRow("purchase return") << "Result" << "采购退单";
        QTest::newRow("transfer") << "Allocate" << "调拨单";
        QTest::newRow("stock adjustment") << "Adjust" << "库存调整单";
        QTest::newRow("goods cost") << "AdjustCost" << "母商品进价调单";
        QTest::newRow("goods price") << "AdjustPrice" << "母商品售价调单";
        QTest::newRow("product cost") << "AdjustItemCost" << "商品进价调单";
        QTest::newRow("product price") << "AdjustItemPrice" << "商品售价调单";
    }
    void voucherNames()
    {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        auto log = std::make_shared<QStringList>();
        class TRecordingReport : public IKXReportEx {
        public:
            explicit TRecordingReport(std::shared_ptr<QStringList> l) : log(std::move(l)) {}
            void VariablesClear() override {}
            void AddVariables(const QString&, const QVariant&) override {}
            void RMDataSetClear() override {}
            void AddCDataSet(TPClientDataSet* ds, const QString& alias, const QString&) override
            {
                *log << QStringLiteral("%1:%2").arg(alias).arg(ds->RecordCount());
            }
            void SetFileName(const QString& f) override { *log << f.section('/', -2); }
            QString FileName() const override { return {}; }
            bool DesignReport() override { return false; }
            bool PreviewReport() override { return true; }
            bool PrintReport() override { return false; }
            std::shared_ptr<QStringList> log;
        };
        KxSetReportFactory([log] { return std::make_unique<TRecordingReport>(log); });
        auto form = openEdit(kind);
        form->dxBL_PrintReportClick();
        KxSetReportFactory(nullptr);
        QCOMPARE(*log, (QStringList{"rmf/" + kind.toLower() + ".rmf", name + ":1", name + "明细:2"}));
        // The template shipped for the kind prints the window's data sets by those names, with
        // every field it names.
        TKXReport report;
        QVERIFY2(report.Report()->LoadFromFile(qEnvironmentVariable("KX_BIN_DIR") + "/rmf/" + kind.toLower() + ".rmf"),
                 qPrintable(report.Report()->LastError()));
        report.AddVariables(QStringLiteral("门店名称"), QStringLiteral("旗舰店"));
        report.AddVariables(QStringLiteral("操作员名称"), QStringLiteral("张三"));
        report.AddCDataSet(form->Header(), name, QString());
        report.AddCDataSet(form->Lines(), name + "明细", QString());
        QTemporaryDir dir;
        QVERIFY(report.Report()->ExportPdf(dir.filePath("voucher.pdf")));
        QVERIFY2(report.Report()->Prepared()->unknownNames.isEmpty(), qPrintable(report.Report()->Prepared()->unknownNames.join(',')));
    }

    // A stocktake's adjustment carries each line's difference at cost and at sale price as
    // money in costprice and saleprice: both windows and the voucher show that money as the
    // amounts, and no unit prices; an adjustment made by hand keeps quantity × unit price.
    void stocktakeAdjustmentCarriesMoney_data()
    {
        QTest::addColumn<bool>("list");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QStringList>("amounts");   // sumcostprice, sumsaleprice of line 1, then the footer sums
        QTest::addColumn<bool>("unitPrices");        // costprice and saleprice shown
        QTest::newRow("edit, stocktake") << false << "盘点库存调整" << QStringList{"8.00", "10.00", "16.00", "20.00"} << false;
        QTest::newRow("edit, by hand") << false << "库存调整单" << QStringList{"24.00", "30.00", "48.00", "60.00"} << true;
        QTest::newRow("list, stocktake") << true << "盘点库存调整" << QStringList{"8.00", "10.00", "16.00", "20.00"} << false;
        QTest::newRow("list, by hand") << true << "库存调整单" << QStringList{"24.00", "30.00", "48.00", "60.00"} << true;
    }
    void stocktakeAdjustmentCarriesMoney()
    {
        QFETCH(bool, list);
        QFETCH(QString, type);
        QFETCH(QStringList, amounts);
        QFETCH(bool, unitPrices);
        auto edit = create<TfrmDocEdit>(QStringLiteral("TfrmAdjustEdit"));
        const TKxDocEditDef& d = edit->Def();
        QMap<QString, QString> header = headerValues(d.idField, 2);
        header["adjusttype"] = type;
        const QByteArray lines = packet(lineFieldsOf(d), {lineValues(d.idField, 1, "A1"), lineValues(d.idField, 2, "A2")});
        // A hand-made document is shown first, so that the stocktake's follows another's columns.
        QMap<QString, QString> other = headerValues(d.idField, 2);
        other["adjustid"] = "D0";
        svc->answer("Adjust.Search", listAnswer(packet(headerFieldsOf(d), {other, header})));
        svc->answer("Adjust.ListDetail", listAnswer(lines));
        svc->answer("Adjust.Load", "<response>" + cdata("xmlmaster", packet(headerFieldsOf(d), {header})) + cdata("xmldetail", lines) + "</response>");
        std::unique_ptr<TfrmDocList> listForm;
        TPClientDataSet* shown;
        TGridView* grid;
        if (list) {
            listForm = create<TfrmDocList>(QStringLiteral("TfrmAdjust"));
            listForm->InitModule(moduleXml("Adjust", false));
            listForm->show();
            listForm->Documents()->Last();
            shown = listForm->Lines();
            grid = listForm->DetailGrid();
        } else {
            edit->InitModule(moduleXml("Adjust", true));
            edit->FixedConditions() << QStringLiteral("adjustid=D1");
            edit->show();
            shown = edit->Lines();
            grid = edit->LineGrid();
        }
        QCOMPARE(shown->RecordCount(), 2);
        shown->First();
        QCOMPARE((QStringList{shown->FieldByName("sumcostprice")->AsString(), shown->FieldByName("sumsaleprice")->AsString(),
                              grid->FooterText(grid->ColumnByField("sumcostprice")), grid->FooterText(grid->ColumnByField("sumsaleprice"))}),
                 amounts);
        for (const char* f : {"costprice", "saleprice"})
            QCOMPARE(grid->ColumnByField(f)->Visible, unitPrices);
        QVERIFY(grid->ColumnByField("adjustnum")->Visible);
        if (!list)
            return;
        // The next document by hand shows its unit prices again.
        listForm->Documents()->First();
        QVERIFY(grid->ColumnByField("costprice")->Visible);
        QCOMPARE(shown->FieldByName("sumcostprice")->AsString(), QStringLiteral("24.00"));
        // The voucher prints the money the lines carry.
        listForm->Documents()->Last();
        TKXReport report;
        QVERIFY(report.Report()->LoadFromFile(qEnvironmentVariable("KX_BIN_DIR") + "/rmf/adjust.rmf"));
        report.AddCDataSet(listForm->Documents(), "库存调整单", QString());
        report.AddCDataSet(shown, "库存调整单明细", QString());
        QTemporaryDir dir;
        QVERIFY(report.Report()->ExportPdf(dir.filePath("voucher.pdf")));
        QStringList texts;
        for (const TRMPreparedItem& item : report.Report()->Prepared()->pages.front().items)
            texts << item.text;
        for (const QString& a : amounts.mid(0, 2))
            QVERIFY2(texts.contains(a), qPrintable(texts.join('|')));
        QVERIFY2(!texts.contains(type == "盘点库存调整" ? "24.00" : "8.00"), qPrintable(texts.join('|')));
    }
};

QTEST_MAIN(TestDocKinds)
#include "tst_doc_kinds.moc"
