// The purchase receipt windows against a scripted service: the requests they send, in order,
// and what they do with the answers: paging, lookups, line entry, save and audit with every
// check and question.
#include "FakeService.h"
#include "ScriptedUi.h"

#include "DataPacket.h"
#include "uConfig.h"
#include "uGridView.h"
#include "uKxPager.h"
#include "uPClientDataSet.h"
#include "uUtils.h"
#include "ufrmReceive.h"
#include "ufrmReceiveEdit.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {
const QString kAllRights = QStringLiteral("isupdate=True;isaudit=True;issearch=True;isprint=True;isoutput=True;iscolumn=True;");

const QByteArray kHeaderFields =
    "<field name=\"md5_key\" type=\"string\" size=\"64\"/><field name=\"shopcode\" type=\"string\" size=\"20\"/>"
    "<field name=\"receiveid\" type=\"string\" size=\"20\"/><field name=\"suppliercode\" type=\"string\" size=\"20\"/>"
    "<field name=\"suppliername\" type=\"string\" size=\"200\"/><field name=\"storageid\" type=\"string\" size=\"20\"/>"
    "<field name=\"storagename\" type=\"string\" size=\"100\"/><field name=\"receivemoney\" type=\"decimal\" precision=\"18\" scale=\"2\"/>"
    "<field name=\"inputren\" type=\"string\" size=\"50\"/><field name=\"inputtime\" type=\"string\" size=\"20\"/>"
    "<field name=\"auditren\" type=\"string\" size=\"50\"/><field name=\"audittime\" type=\"string\" size=\"20\"/>"
    "<field name=\"status\" type=\"integer\"/><field name=\"memo\" type=\"string\" size=\"100\"/>";
const QByteArray kLineFields =
    "<field name=\"md5_key\" type=\"string\" size=\"64\"/><field name=\"receiveid\" type=\"string\" size=\"20\"/>"
    "<field name=\"seq\" type=\"integer\"/><field name=\"commoditycode\" type=\"string\" size=\"20\"/>"
    "<field name=\"barcode\" type=\"string\" size=\"30\"/><field name=\"commodityname\" type=\"string\" size=\"200\"/>"
    "<field name=\"propstyle\" type=\"string\" size=\"50\"/><field name=\"propcolor\" type=\"string\" size=\"50\"/>"
    "<field name=\"propsize\" type=\"string\" size=\"50\"/><field name=\"receivenum\" type=\"decimal\" precision=\"18\" scale=\"2\"/>"
    "<field name=\"costprice\" type=\"decimal\" precision=\"18\" scale=\"2\"/><field name=\"saleprice\" type=\"decimal\" precision=\"18\" scale=\"2\"/>";
const QByteArray kProductFields =
    "<field name=\"commoditycode\" type=\"string\" size=\"20\"/><field name=\"barcode\" type=\"string\" size=\"30\"/>"
    "<field name=\"commodityname\" type=\"string\" size=\"100\"/><field name=\"propstyle\" type=\"string\" size=\"50\"/>"
    "<field name=\"propcolor\" type=\"string\" size=\"20\"/><field name=\"propsize\" type=\"string\" size=\"20\"/>"
    "<field name=\"costprice\" type=\"decimal\" precision=\"18\" scale=\"2\"/><field name=\"saleprice\" type=\"decimal\" precision=\"18\" scale=\"2\"/>";

QByteArray packet(const QByteArray& fields, const QList<QByteArray>& rows)
{
    QByteArray p = "<datapacket><fields>" + fields + "</fields><rows>";
    for (const QByteArray& r : rows)
        p += "<row " + r + "/>";
    return p + "</rows></datapacket>";
}
QByteArray cdata(const char* name, const QByteArray& content)
{
    return QByteArray("<") + name + "><![CDATA[" + content + "]]></" + name + ">";
}
QByteArray listAnswer(const QByteArray& packet, int records = -1, int pages = 1)
{
    return "<response>" + cdata("xmldata", packet) + "<recordcount>" + QByteArray::number(records) + "</recordcount><pagecount>"
           + QByteArray::number(pages) + "</pagecount></response>";
}
QByteArray docAnswer(const QList<QByteArray>& header, const QList<QByteArray>& lines)
{
    return "<response>" + cdata("xmlmaster", packet(kHeaderFields, header)) + cdata("xmldetail", packet(kLineFields, lines))
           + "</response>";
}
QByteArray header(const char* id, int status, const char* money = "0.00", const char* supplier = "GY001")
{
    return QByteArray("md5_key=\"K-") + id + "\" shopcode=\"S01\" receiveid=\"" + id + "\" suppliercode=\"" + supplier
           + "\" suppliername=\"杭州织造\" storageid=\"CK01\" storagename=\"杭州发货仓\" receivemoney=\"" + money
           + "\" inputren=\"[admin]管理员\" inputtime=\"2026-12-01 09:00:00\" status=\"" + QByteArray::number(status) + "\"";
}
QByteArray line(const char* id, int seq, const char* code, const char* qty = "1.00", const char* cost = "10.00")
{
    return QByteArray("md5_key=\"K-") + id + "\" receiveid=\"" + id + "\" seq=\"" + QByteArray::number(seq) + "\" commoditycode=\""
           + code + "\" barcode=\"69" + code + "\" commodityname=\"T恤\" propstyle=\"T-01\" propcolor=\"白色\" propsize=\"M\" receivenum=\""
           + qty + "\" costprice=\"" + cost + "\" saleprice=\"59.00\"";
}
QByteArray product(const char* code, const char* cost = "22.00")
{
    return QByteArray("commoditycode=\"") + code + "\" barcode=\"69" + code + "\" commodityname=\"纯棉T恤\" propstyle=\"T-01\""
           " propcolor=\"黑色\" propsize=\"L\" costprice=\"" + cost + "\" saleprice=\"59.00\"";
}

const QByteArray kStorages = packet("<field name=\"storageid\" type=\"string\" size=\"20\"/><field name=\"storagename\" type=\"string\" size=\"100\"/>",
                                    {"storageid=\"CK01\" storagename=\"杭州发货仓\"", "storageid=\"CK02\" storagename=\"上海发货仓\""});
const QByteArray kStatuses = packet("<field name=\"status\" type=\"integer\"/><field name=\"statusname\" type=\"string\" size=\"20\"/>",
                                    {"status=\"0\" statusname=\"新建\"", "status=\"1\" statusname=\"已保存\"", "status=\"2\" statusname=\"已审核\""});

QString listModule(const QString& power, bool searchfile = true)
{
    return QStringLiteral("<response><moduletitle>采购入库单</moduletitle><modulepower>%1</modulepower>"
                          "<search>Receive.Search</search><listdetail>Receive.ListDetail</listdetail><storage>Lookup.Storage</storage>"
                          "<status>Lookup.DocStatus</status><module>Receive.Edit</module><rmf>caigoudan.rmf</rmf>%2"
                          "<masterlabels>receiveid=单据号;storageid=仓库;status=状态;</masterlabels>"
                          "<detaillabels>seq=序号;commoditycode=商品编码;receivenum=数量;</detaillabels>"
                          "<disfieldlabels>propstyle;</disfieldlabels></response>")
        .arg(power, searchfile ? QStringLiteral("<searchfile>x</searchfile>") : QString());
}
QString editModule(const QString& power, const QString& defaultId = QString())
{
    return QStringLiteral("<response><moduleclass>TfrmReceiveEdit</moduleclass><moduletitle>采购入库单编辑</moduletitle>"
                          "<modal>true</modal><modulepower>%1</modulepower><search>Receive.Load</search>"
                          "<update>Receive.Update</update><audit>Receive.Audit</audit><storage>Lookup.Storage</storage>"
                          "<status>Lookup.DocStatus</status><rmf>caigoudan.rmf</rmf><receiveid>%2</receiveid>"
                          "<masterlabels>receiveid=单据号;suppliercode=供应商编码;</masterlabels>"
                          "<detaillabels>seq=序号;commoditycode=商品编码;receivenum=数量;</detaillabels></response>")
        .arg(power, defaultId);
}
QByteArray pickerModule(const char* search)
{
    return QByteArray("<response><moduleclass>TFrmSelect</moduleclass><modal>true</modal><search>") + search + "</search></response>";
}

// The request's own parameters, without the session fields every call carries.
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
    const TBookmark at = ds->GetBookmark();
    for (ds->First(); !ds->Eof(); ds->Next())
        out << ds->FieldByName(field)->AsString();
    if (!ds->IsEmpty())
        ds->GotoBookmark(at);
    return out;
}

// The changes of a delta as kind and one field, e.g. "I:G100101".
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

void typeCell(TGridView* grid, int row, const QString& field, const QString& text)
{
    TGridColumn* c = grid->ColumnByField(field);
    QVERIFY(c);
    QVERIFY(grid->model()->setData(grid->model()->index(row, grid->IndexOfColumn(c)), text));
    grid->setCurrentIndex(grid->model()->index(row, grid->IndexOfColumn(c)));
    QCoreApplication::processEvents(); // the queued reaction to the entry
}

QString currentField(TGridView* grid)
{
    const TGridColumn* c = grid->Column(grid->currentIndex().column());
    return c ? c->FieldName : QString();
}
} // namespace

class TestReceiveForms : public QObject {
    Q_OBJECT
    std::unique_ptr<TFakeService> svc;
    TScriptedUi ui;

    std::unique_ptr<TfrmReceive> openList(const QString& power = kAllRights, bool searchfile = true)
    {
        auto form = std::make_unique<TfrmReceive>();
        form->InitModule(listModule(power, searchfile));
        form->show();
        return form;
    }
    std::unique_ptr<TfrmReceiveEdit> openEdit(const QByteArray& load, const QString& id = QString(),
                                              const QString& power = kAllRights)
    {
        svc->answer("Receive.Load", load);
        auto form = std::make_unique<TfrmReceiveEdit>();
        form->InitModule(editModule(power));
        form->FixedConditions() << QStringLiteral("receiveid=") + id;
        form->show();
        svc->clearCalls();
        ui.clear();
        return form;
    }
    // A receipt in status 1 with `n` lines of quantity 1 at 10.00.
    std::unique_ptr<TfrmReceiveEdit> openSaved(int n, int status = 1)
    {
        static const char* codes[] = {"A1", "A2", "A3", "A4", "A5"};
        QList<QByteArray> lines;
        for (int i = 0; i < n; ++i)
            lines << line("RK1", i + 1, codes[i]);
        return openEdit(docAnswer({header("RK1", status, QByteArray::number(n * 10) + ".00")}, lines), QStringLiteral("RK1"));
    }

private Q_SLOTS:
    void init()
    {
        svc = std::make_unique<TFakeService>();
        svc->answer("Lookup.Storage", listAnswer(kStorages));
        svc->answer("Lookup.DocStatus", listAnswer(kStatuses));
        svc->answer("Receive.Search", listAnswer(packet(kHeaderFields, {header("RK1", 1, "120.00"), header("RK2", 2, "36.50")}), 2, 1));
        svc->answer("Receive.ListDetail", listAnswer(packet(kLineFields, {line("RK1", 1, "A1"), line("RK1", 2, "A2")})));
        svc->answer("Select.Supplier", pickerModule("Select.SupplierSearch"));
        svc->answer("Select.Commodity", pickerModule("Select.CommoditySearch"));
        ui.clear();
        ui.answers.clear();
        ui.onModal = nullptr;
        gOperId = QStringLiteral("admin");
        gOperName = QStringLiteral("管理员");
        gShopId = QStringLiteral("S01");
        RandomStr.clear();
    }
    void cleanup() { svc.reset(); }

    // --- the list -------------------------------------------------------------------------

    void listOpensWithLookupsFirstPageAndLines()
    {
        auto form = openList();
        QCOMPARE(svc->modules(), (QStringList{"Lookup.Storage", "Lookup.DocStatus", "Receive.Search", "Receive.ListDetail"}));
        QCOMPARE(params(svc->calls()[2]), (QStringList{"module=Receive.Search", "curpage=-1"}));
        QCOMPARE(params(svc->calls()[3]), (QStringList{"module=Receive.ListDetail", "receiveid=RK1"}));
        QCOMPARE(form->TitleLabel()->text(), QStringLiteral("采购入库单"));
        QCOMPARE(form->RecordLabel()->text(), QStringLiteral("记录总数：2 条， 第 0 页/共 1 页"));
        // Storage and status show their names; captions and hidden line columns applied.
        TGridModel* m = form->Grid()->GridModel();
        QCOMPARE(m->CellText(0, form->Grid()->ColumnByField("storageid")), QStringLiteral("杭州发货仓"));
        QCOMPARE(m->CellText(1, form->Grid()->ColumnByField("status")), QStringLiteral("已审核"));
        QCOMPARE(m->CellText(1, form->Grid()->ColumnByField("receivemoney")), QStringLiteral("36.50"));
        QCOMPARE(form->Grid()->ColumnByField("receiveid")->Caption, QStringLiteral("单据号"));
        QVERIFY(!form->DetailGrid()->ColumnByField("propstyle")->Visible);
        QCOMPARE(form->Lines()->RecordCount(), 2);

        // Focusing the second document loads its lines; focusing it again asks nothing.
        svc->clearCalls();
        form->Documents()->SetRecNo(2);
        form->Documents()->SetRecNo(2);
        QCOMPARE(svc->modules(), QStringList{"Receive.ListDetail"});
        QCOMPARE(svc->calls()[0].value("receiveid"), QStringLiteral("RK2"));
    }

    void listRights_data()
    {
        QTest::addColumn<QString>("power");
        QTest::addColumn<bool>("searchfile");
        QTest::addColumn<QStringList>("disabled");
        QTest::newRow("every right") << kAllRights << true << QStringList{};
        QTest::newRow("no rights") << QString() << true
                                   << QStringList{"查 询", "新 建", "修 改", "导出Excel", "打 印", "预 览", "票据打印", "显示列设置"};
        QTest::newRow("update only") << QStringLiteral("isupdate=True;") << true
                                     << QStringList{"查 询", "导出Excel", "打 印", "预 览", "票据打印", "显示列设置"};
        QTest::newRow("a false right is no right") << QStringLiteral("isprint=False;iscolumn=True;") << true
                                                   << QStringList{"查 询", "新 建", "修 改", "导出Excel", "打 印", "预 览", "票据打印"};
    }
    void listRights()
    {
        QFETCH(QString, power);
        QFETCH(bool, searchfile);
        QFETCH(QStringList, disabled);
        auto form = openList(power, searchfile);
        QStringList off;
        for (const char* b : {"查 询", "刷 新", "新 建", "修 改", "导出Excel", "打 印", "预 览", "票据打印", "显示列设置", "退 出"})
            if (!form->Button(QString::fromUtf8(b))->isEnabled())
                off << QString::fromUtf8(b);
        QCOMPARE(off, disabled);
    }

    void listWithoutSearchSchemeOffersNoSearch()
    {
        auto form = openList(kAllRights, false);
        QVERIFY(!form->Button(QStringLiteral("查 询"))->isVisibleTo(form.get()));
    }

    void listOpenedWithCallParametersAsksEveryRow()
    {
        auto form = std::make_unique<TfrmReceive>();
        form->InitModule(listModule(kAllRights));
        form->FixedConditions() << QStringLiteral("suppliercode=GY001");
        form->show();
        QCOMPARE(params(svc->calls()[2]), (QStringList{"module=Receive.Search", "suppliercode=GY001", "curpage=0"}));
        // Refresh keeps the call parameters after the saved conditions.
        const QStringList conditions{QStringLiteral("status=1")};
        svc->clearCalls();
        QVERIFY(form->Search(&conditions, 1));
        QCOMPARE(params(svc->calls()[0]), (QStringList{"module=Receive.Search", "status=1", "suppliercode=GY001", "curpage=1"}));
    }

    void remainingPages_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QStringList>("pages");
        QTest::addColumn<int>("rows");
        QTest::newRow("every page") << "run" << QStringList{"2", "3", "4", "5"} << 10;
        QTest::newRow("paused before the next page") << "pause" << QStringList{} << 2;
        // A failed page ends the loop instead of asking for it again and again.
        QTest::newRow("failed page") << "fail" << QStringList{"2"} << 2;
    }
    void remainingPages()
    {
        QFETCH(QString, how);
        QFETCH(QStringList, pages);
        QFETCH(int, rows);
        svc->answer("Receive.Search", listAnswer(packet(kHeaderFields, {header("RK1", 1), header("RK2", 1)}), 10, 5));
        auto form = openList();
        QVERIFY(form->Search(nullptr, 1));
        svc->clearCalls();
        if (how == "fail")
            svc->fail("Receive.Search", 99, "服务忙");
        if (how == "pause")
            QTimer::singleShot(0, form.get(), [&] { form->btnPauseClick(); });
        form->btnRemainClick();
        QStringList asked;
        for (const TFakeCall& c : svc->calls())
            if (c.module() == u"Receive.Search")
                asked << c.value("curpage");
        QCOMPARE(asked, pages);
        QCOMPARE(form->Documents()->RecordCount(), rows);
        // Pages below the first do not reload the focused document's lines.
        QVERIFY(!svc->modules().contains("Receive.ListDetail"));
    }

    void keywordMarksDocumentCells_data()
    {
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<bool>("marked");
        QTest::newRow("contains") << "12" << "120.00" << true;
        QTest::newRow("spaces trimmed") << " 12 " << "120.00" << true;
        QTest::newRow("other text") << "12" << "36.50" << false;
        QTest::newRow("empty keyword") << "" << "120.00" << false;
    }
    void keywordMarksDocumentCells()
    {
        QFETCH(QString, keyword);
        QFETCH(QString, cell);
        QFETCH(bool, marked);
        auto form = openList();
        form->KeywordEdit()->setText(keyword);
        QStyleOptionViewItem option;
        option.text = cell;
        form->Grid()->OnCustomDrawCell()(QModelIndex(), form->Grid()->ColumnByField("receivemoney"), option);
        QCOMPARE(option.font.bold(), marked);
        QCOMPARE(option.palette.color(QPalette::Text) == QColor(Qt::red), marked);
    }

    void newAndEditOpenTheEditWindowWithTheDocumentId()
    {
        svc->answer("Receive.Edit", editModule(kAllRights).toUtf8());
        auto form = openList();
        QStringList opened;
        ui.onModal = [&](QWidget* w) {
            auto* edit = qobject_cast<TfrmReceiveEdit*>(w);
            opened << (edit ? edit->FixedConditions().join(',') : QStringLiteral("<not the edit window>"));
            return int(mrOk);
        };
        svc->clearCalls();
        form->dxBL_NewClick();
        form->Documents()->SetRecNo(2);
        form->dxBL_EditClick();
        QCOMPARE(opened, (QStringList{"receiveid=", "receiveid=RK2"}));
        // The list is not asked again when the window closes.
        QCOMPARE(svc->modules(), (QStringList{"Receive.Edit", "Receive.ListDetail", "Receive.Edit"}));
    }

    // --- the edit window -------------------------------------------------------------------

    void editOpensByTheCallersId()
    {
        svc->answer("Receive.Load", docAnswer({header("RK9", 1, "20.00")}, {line("RK9", 1, "A1", "2.00")}));
        auto form = std::make_unique<TfrmReceiveEdit>();
        form->InitModule(editModule(kAllRights, QStringLiteral("RK0")));
        form->FixedConditions() << QStringLiteral("receiveid=RK9");
        form->show();
        QCOMPARE(svc->modules(), (QStringList{"Lookup.Storage", "Lookup.DocStatus", "Receive.Load"}));
        QCOMPARE(params(svc->calls()[0]), (QStringList{"module=Lookup.Storage", "storagetype=1"}));
        QCOMPARE(params(svc->calls()[2]), (QStringList{"module=Receive.Load", "receiveid=RK9"}));
        QCOMPARE(form->HeaderEdit("receiveid")->text(), QStringLiteral("RK9"));
        QCOMPARE(form->StorageBox()->currentText(), QStringLiteral("杭州发货仓"));
        QCOMPARE(form->StatusLabel()->text(), QStringLiteral("已保存"));
        QCOMPARE(form->findChild<QLabel*>("receiveid")->text(), QStringLiteral("单据号："));
        // Amounts are quantity times price; the supplier is fixed while there are lines.
        QCOMPARE(form->Lines()->FieldByName("sumcostprice")->AsString(), QStringLiteral("20.00"));
        QCOMPARE(form->Lines()->FieldByName("sumsaleprice")->AsString(), QStringLiteral("118.00"));
        QVERIFY(form->PartyEdit()->isReadOnly());
    }

    void editRights()
    {
        auto form = openEdit(docAnswer({}, {}), QString(), QStringLiteral("isprint=True;"));
        QStringList off;
        for (const char* b : {"刷 新", "新 建", "插 入", "删 除", "保 存", "审 核", "打 印", "预 览", "票据打印", "显示列设置"})
            if (!form->Button(QString::fromUtf8(b))->isEnabled())
                off << QString::fromUtf8(b);
        QCOMPARE(off, (QStringList{"新 建", "插 入", "删 除", "保 存", "审 核", "显示列设置"}));
        QCOMPARE(form->LineGrid()->editTriggers(), QAbstractItemView::NoEditTriggers);
    }

    void supplierLookup_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::newRow("found") << "found" << "GY001" << "杭州织造有限公司";
        QTest::newRow("not found clears both") << "none" << "" << "";
        // The service could not be asked: what was typed stays.
        QTest::newRow("failed call") << "fail" << "gy001" << "";
    }
    void supplierLookup()
    {
        QFETCH(QString, answer);
        QFETCH(QString, code);
        QFETCH(QString, name);
        const QByteArray fields = "<field name=\"suppliercode\" type=\"string\"/><field name=\"suppliername\" type=\"string\"/>";
        if (answer == "found")
            svc->answer("Select.SupplierSearch", listAnswer(packet(fields, {"suppliercode=\"GY001\" suppliername=\"杭州织造有限公司\""})));
        else if (answer == "none")
            svc->answer("Select.SupplierSearch", listAnswer(packet(fields, {})));
        else
            svc->fail("Select.SupplierSearch", 99, "服务忙");
        auto form = openEdit(docAnswer({}, {}));
        QVERIFY(form->Header()->IsEmpty());
        QTest::keyClicks(form->PartyEdit(), "gy001");
        QTest::keyClick(form->PartyEdit(), Qt::Key_Return);
        const TFakeCall search = svc->calls().last();
        QCOMPARE(params(search), (QStringList{"module=Select.SupplierSearch", "suppliercode=gy001", "status=1", "curpage=0"}));
        // The first edit of an empty document made its header.
        TPClientDataSet* h = form->Header();
        QCOMPARE(h->RecordCount(), 1);
        QCOMPARE(h->FieldByName("suppliercode")->AsString(), code);
        QCOMPARE(h->FieldByName("suppliername")->AsString(), name);
        QCOMPARE(form->PartyEdit()->text(), code);
        QCOMPARE(h->FieldByName("status")->AsString(), QStringLiteral("0"));
        QCOMPARE(h->FieldByName("receivemoney")->AsString(), QStringLiteral("0.00"));
        QCOMPARE(h->FieldByName("shopcode")->AsString(), QStringLiteral("S01"));
        QCOMPARE(h->FieldByName("inputren")->AsString(), QStringLiteral("[admin]管理员"));
        QCOMPARE(h->FieldByName("md5_key")->AsString().size(), 32);
        QCOMPARE(form->StatusLabel()->text(), QStringLiteral("新建"));
    }

    void supplierPickedInTheDialog()
    {
        auto form = openEdit(docAnswer({}, {}));
        QStringList fixed;
        ui.onModal = [&](QWidget* w) {
            auto* pick = qobject_cast<TfrmBase*>(w);
            fixed = pick->FixedConditions();
            TPClientDataSet chosen;
            chosen.SetKXXMLData(packet("<field name=\"suppliercode\" type=\"string\"/><field name=\"suppliername\" type=\"string\"/>",
                                       {"suppliercode=\"GY002\" suppliername=\"绍兴印染厂\""}));
            chosen.SaveToStream(pick->ResultStream());
            return int(mrOk);
        };
        form->PartyButtonClick();
        QCOMPARE(fixed, QStringList{"status=1"});
        QCOMPARE(form->Header()->FieldByName("suppliercode")->AsString(), QStringLiteral("GY002"));
        QCOMPARE(form->HeaderEdit("suppliername")->text(), QStringLiteral("绍兴印染厂"));
        QCOMPARE(form->Header()->FieldByName("status")->AsInteger(), 0);

        // Once the document has lines the supplier stays as it is.
        form->dxBL_InsertClick();
        QVERIFY(form->PartyEdit()->isReadOnly());
        fixed.clear();
        form->PartyButtonClick();
        QVERIFY(fixed.isEmpty());
    }

    void typedCode_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QStringList>("seqs");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        QTest::newRow("one product") << "one" << QStringList{"A1", "P1"} << QStringList{"1", "2"} << "" << "receivenum";
        QTest::newRow("several fill the line and follow it")
            << "several" << QStringList{"A1", "P1", "P2", "P3"} << QStringList{"1", "2", "3", "4"} << "" << "receivenum";
        QTest::newRow("unknown code clears the line")
            << "none" << QStringList{"A1", ""} << QStringList{"1", "2"} << "此信息不存在,请重新输入！" << "commoditycode";
        // A lookup that could not be made leaves the line as typed.
        QTest::newRow("failed call") << "fail" << QStringList{"A1", "p1"} << QStringList{"1", "2"} << "服务忙" << "commoditycode";
    }
    void typedCode()
    {
        QFETCH(QString, answer);
        QFETCH(QStringList, codes);
        QFETCH(QStringList, seqs);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        if (answer == "one")
            svc->answer("Select.CommoditySearch", listAnswer(packet(kProductFields, {product("P1")})));
        else if (answer == "several")
            svc->answer("Select.CommoditySearch", listAnswer(packet(kProductFields, {product("P1"), product("P2"), product("P3")})));
        else if (answer == "none")
            svc->answer("Select.CommoditySearch", listAnswer(packet(kProductFields, {})));
        else
            svc->fail("Select.CommoditySearch", 99, "服务忙");
        auto form = openSaved(1);
        typeCell(form->LineGrid(), 0, "receivenum", "1"); // opens the next line
        typeCell(form->LineGrid(), 1, "commoditycode", " p1 ");
        TPClientDataSet* l = form->Lines();
        QCOMPARE(column(l, "commoditycode"), (answer == "fail" ? QStringList{"A1", " p1 "} : codes));
        QCOMPARE(column(l, "seq"), seqs);
        QCOMPARE(params(svc->calls().last()).mid(0, 5),
                 (QStringList{"module=Select.CommoditySearch", "commoditycode=p1", "suppliercode=GY001", "is_del=0", "is_pack=0"}));
        QVERIFY2(message.isEmpty() ? ui.messages.isEmpty() : ui.lastText().endsWith(message), qPrintable(ui.lastText()));
        QCOMPARE(currentField(form->LineGrid()), focus);
        QCOMPARE(form->LineGrid()->currentIndex().row(), 1);
        if (answer == "one" || answer == "several") {
            QCOMPARE(column(l, "receivenum").mid(1), QStringList(codes.size() - 1, QStringLiteral("0.00")));
            QCOMPARE(column(l, "costprice").last(), QStringLiteral("22.00"));
            QCOMPARE(column(l, "md5_key").last(), QStringLiteral("K-RK1"));
            QCOMPARE(column(l, "receiveid").last(), QStringLiteral("RK1"));
        }
        if (answer == "none")
            QVERIFY(l->FieldByName("commodityname")->IsNull());
    }

    void codeNeedsSupplierAndStorage()
    {
        auto form = openEdit(docAnswer({}, {}));
        form->dxBL_NewClick();
        form->dxBL_InsertClick();
        typeCell(form->LineGrid(), 0, "commoditycode", "P1");
        QCOMPARE(ui.lastText(), QStringLiteral("供应商信息不能为空！"));
        QVERIFY(!svc->modules().contains("Select.CommoditySearch"));
        QVERIFY(!form->PartyEdit()->isReadOnly());
    }

    void pickedProductsBecomeLines()
    {
        auto form = openSaved(2);
        QStringList request;
        ui.onModal = [&](QWidget* w) {
            auto* pick = qobject_cast<TfrmBase*>(w);
            request = pick->FixedConditions();
            request << pick->GetParam("multiselect");
            TPClientDataSet chosen;
            chosen.SetKXXMLData(packet(kProductFields, {product("P1"), product("P2"), product("P3")}));
            chosen.SaveToStream(pick->ResultStream());
            return int(mrOk);
        };
        svc->answer("Select.Commodity", "<response><moduleclass>TFrmSelect</moduleclass><search>Select.CommoditySearch</search>"
                                        "<multiselect>true</multiselect></response>");
        form->Lines()->SetRecNo(2);
        form->ProductButtonClick(1);
        QCOMPARE(params(svc->calls().last()), (QStringList{"module=Select.Commodity", "multiselect=true"}));
        QCOMPARE(request, (QStringList{"suppliercode=GY001", "is_del=0", "is_pack=0", "true"}));
        // The second line took the first product; the others follow, numbered, the last focused.
        QCOMPARE(column(form->Lines(), "commoditycode"), (QStringList{"A1", "P1", "P2", "P3"}));
        QCOMPARE(column(form->Lines(), "seq"), (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(form->Lines()->RecNo(), 4);
        QCOMPARE(form->LineGrid()->currentIndex().row(), 3);
    }

    void deletingALineRenumbers()
    {
        auto form = openSaved(5);
        form->Lines()->SetRecNo(2);
        form->dxBL_DeleteClick();
        QCOMPARE(column(form->Lines(), "commoditycode"), (QStringList{"A1", "A3", "A4", "A5"}));
        QCOMPARE(column(form->Lines(), "seq"), (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(form->Lines()->FieldByName("commoditycode")->AsString(), QStringLiteral("A3"));
        // Inserting keeps the numbers in the order seen.
        form->dxBL_InsertClick();
        QCOMPARE(column(form->Lines(), "commoditycode"), (QStringList{"A1", "", "A3", "A4", "A5"}));
        QCOMPARE(column(form->Lines(), "seq"), (QStringList{"1", "2", "3", "4", "5"}));
    }

    void quantityMovesOnOrOpensANewLine()
    {
        auto form = openSaved(2);
        typeCell(form->LineGrid(), 0, "receivenum", "4");
        QCOMPARE(form->LineGrid()->currentIndex().row(), 1);
        QCOMPARE(currentField(form->LineGrid()), QStringLiteral("receivenum"));
        typeCell(form->LineGrid(), 1, "receivenum", "6");
        QCOMPARE(form->Lines()->RecordCount(), 3);
        QCOMPARE(form->LineGrid()->currentIndex().row(), 2);
        QCOMPARE(currentField(form->LineGrid()), QStringLiteral("commoditycode"));
        QCOMPARE(column(form->Lines(), "seq"), (QStringList{"1", "2", "3"}));
        // A quantity that is not a number is refused with a message; the line keeps its value.
        QVERIFY(!form->LineGrid()->model()->setData(
            form->LineGrid()->model()->index(0, form->LineGrid()->IndexOfColumn(form->LineGrid()->ColumnByField("receivenum"))),
            QStringLiteral("abc")));
        QCOMPARE(ui.lastText(), QStringLiteral("【数量】不是正确的数字：abc"));
        QCOMPARE(column(form->Lines(), "receivenum").first(), QStringLiteral("4.00"));
    }

    void saveRefusals_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("message");
        QTest::newRow("no supplier") << "supplier" << "供应商信息不能为空！";
        QTest::newRow("no storage") << "storage" << "仓库信息不能为空！";
        QTest::newRow("audited") << "audited" << "非新建状态的单据，不能再改动！";
        QTest::newRow("other status") << "status9" << "非新建状态的单据，不能再改动！";
        QTest::newRow("nothing changed") << "same" << "无数据有变动，不用提交数据保存！";
    }
    void saveRefusals()
    {
        QFETCH(QString, setup);
        QFETCH(QString, message);
        const int status = setup == "audited" ? 2 : setup == "status9" ? 9 : 1;
        auto form = openEdit(docAnswer({header("RK1", status, "20.00", setup == "supplier" ? "" : "GY001")},
                                       {line("RK1", 1, "A1"), line("RK1", 2, "A2")}),
                             QStringLiteral("RK1"));
        if (setup == "storage") {
            form->StorageBox()->setCurrentIndex(-1);
        }
        form->dxBL_SaveClick();
        QCOMPARE(ui.lastText(), message);
        QVERIFY(!svc->modules().contains("Receive.Update"));
        QCOMPARE(ui.messages.size(), 1); // no question was asked
    }

    void saveSendsTheChangesAndTakesTheAnswer_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("saved") << "ok";
        QTest::newRow("cancelled") << "cancel";
        QTest::newRow("refused by the service") << "refused";
    }
    void saveSendsTheChangesAndTakesTheAnswer()
    {
        QFETCH(QString, how);
        auto form = openSaved(2);
        form->Lines()->SetRecNo(2);
        form->Lines()->Edit();
        form->Lines()->FieldByName("receivenum")->SetAsString("3");
        form->Lines()->Post();
        if (how == "cancel")
            ui.answers << mrCancel;
        // The answer's lines carry the product's data as the service holds it.
        svc->answer("Receive.Update", docAnswer({header("RK1", 1, "40.00")},
                                                {line("RK1", 1, "A1", "1.00", "10.00"), line("RK1", 2, "A2", "3.00", "10.00")})
                                          .replace("69A2", "SERVICE"));
        if (how == "refused")
            svc->fail("Receive.Update", 3, "采购入库单【RK1】已审核，不能再改动！");
        form->dxBL_SaveClick();
        QCOMPARE(ui.messages.first().text, QStringLiteral("真的需要提交修改吗？"));
        QCOMPARE(ui.messages.first().buttons, int(mbOK | mbCancel));
        if (how == "cancel") {
            QVERIFY(!svc->modules().contains("Receive.Update"));
        } else {
            const TFakeCall call = svc->calls().last();
            QCOMPARE(call.module(), QStringLiteral("Receive.Update"));
            QCOMPARE(changes(call.files.value("deltamaster"), "receivemoney"), QStringList{"U:40.00"});
            QCOMPARE(changes(call.files.value("deltadetail"), "receivenum"), QStringList{"U:3.00"});
        }
        if (how == "ok") {
            QCOMPARE(ui.lastText(), QStringLiteral("数据提交成功！"));
            QCOMPARE(form->Header()->ChangeCount() + form->Lines()->ChangeCount(), 0);
            QCOMPARE(column(form->Lines(), "barcode"), (QStringList{"69A1", "SERVICE"}));
            QCOMPARE(form->Lines()->RecNo(), 2);
        } else {
            // The local changes stay, to be saved again.
            QVERIFY(form->Lines()->ChangeCount() > 0);
            QCOMPARE(column(form->Lines(), "receivenum"), (QStringList{"1.00", "3.00"}));
        }
    }

    void newDocumentSavesHeaderAndLinesAsInserts()
    {
        svc->answer("Select.CommoditySearch", listAnswer(packet(kProductFields, {product("P1", "12.50")})));
        svc->answer("Select.SupplierSearch",
                    listAnswer(packet("<field name=\"suppliercode\" type=\"string\"/><field name=\"suppliername\" type=\"string\"/>",
                                      {"suppliercode=\"GY001\" suppliername=\"杭州织造\""})));
        auto form = openEdit(docAnswer({}, {}));
        form->PartyEdit()->setText("GY001");
        form->PartyEnter();
        form->StorageBox()->setCurrentIndex(1);
        emit form->StorageBox()->activated(1);
        form->dxBL_InsertClick();
        typeCell(form->LineGrid(), 0, "commoditycode", "P1");
        typeCell(form->LineGrid(), 0, "receivenum", "4");
        QCOMPARE(form->Lines()->RecordCount(), 2); // the open line of the keyboard entry
        svc->answer("Receive.Update", docAnswer({header("RK20261210001", 1, "50.00")}, {line("RK20261210001", 1, "P1", "4.00", "12.50")}));
        form->dxBL_SaveClick();
        const TFakeCall call = svc->calls().last();
        QCOMPARE(changes(call.files.value("deltamaster"), "storageid"), QStringList{"I:CK02"});
        QCOMPARE(changes(call.files.value("deltamaster"), "receivemoney"), QStringList{"I:50.00"});
        QCOMPARE(changes(call.files.value("deltamaster"), "status"), QStringList{"I:1"});
        // The empty line at the end was dropped, not sent.
        QCOMPARE(changes(call.files.value("deltadetail"), "commoditycode"), QStringList{"I:P1"});
        QCOMPARE(form->Lines()->RecordCount(), 1);
        QCOMPARE(ui.lastText(), QStringLiteral("数据提交成功！"));
    }

    void audit_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("after");
        QTest::newRow("never saved") << 0 << "" << "非新建状态的单据，不能提交审核！" << 0;
        QTest::newRow("already audited") << 2 << "" << "非新建状态的单据，不能提交审核！" << 2;
        QTest::newRow("unsaved edits") << 1 << "edit" << "数据有变动，请保存后再提交审核！" << 1;
        QTest::newRow("cancelled") << 1 << "cancel" << "真的需要提交审核吗？" << 1;
        QTest::newRow("refused") << 1 << "refused" << "采购入库单【RK1】不能重复审核！" << 1;
        QTest::newRow("audited") << 1 << "ok" << "数据提交审核成功！" << 2;
    }
    void audit()
    {
        QFETCH(int, status);
        QFETCH(QString, how);
        QFETCH(QString, message);
        QFETCH(int, after);
        auto form = openSaved(2, status);
        if (how == "edit") {
            form->HeaderEdit("memo")->setFocus();
            QTest::keyClicks(form->HeaderEdit("memo"), "x");
        }
        if (how == "cancel")
            ui.answers << mrCancel;
        QByteArray audited = header("RK1", 2, "20.00");
        audited += " auditren=\"[admin]管理员\" audittime=\"2026-12-10 10:00:00\"";
        svc->answer("Receive.Audit", "<response>" + cdata("xmlmaster", packet(kHeaderFields, {audited})) + "</response>");
        if (how == "refused")
            svc->fail("Receive.Audit", 3, "采购入库单【RK1】不能重复审核！");
        form->dxBL_AuditClick();
        QVERIFY2(ui.lastText().endsWith(message), qPrintable(ui.lastText()));
        TPClientDataSet* h = form->Header();
        QCOMPARE(h->FieldByName("status")->AsInteger(), after);
        QCOMPARE(h->FieldByName("auditren")->AsString(), after == 2 && status == 1 ? QStringLiteral("[admin]管理员") : QString());
        if (how != "edit")
            QCOMPARE(h->ChangeCount(), 0);
        QCOMPARE(svc->modules().contains("Receive.Audit"), how == "ok" || how == "refused");
        if (how == "ok") {
            QCOMPARE(changes(svc->calls().last().files.value("deltamaster"), "status"), QStringList{"U:2"});
            QCOMPARE(form->StatusLabel()->text(), QStringLiteral("已审核"));
        }
    }

    void closingWithUnsavedChangesAsks_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("closed");
        QTest::newRow("nothing changed") << "none" << int(mrOk) << false << true;
        QTest::newRow("only the open entry line") << "open line" << int(mrOk) << false << true;
        QTest::newRow("a quantity, stays open") << "quantity" << int(mrCancel) << true << false;
        QTest::newRow("a quantity, given up") << "quantity" << int(mrOk) << true << true;
        QTest::newRow("a deleted line") << "delete" << int(mrCancel) << true << false;
    }
    void closingWithUnsavedChangesAsks()
    {
        QFETCH(QString, change);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(bool, closed);
        auto form = openSaved(2);
        if (change == "open line")
            typeCell(form->LineGrid(), 1, "receivenum", "1.00"); // same value, then a new line
        if (change == "quantity")
            typeCell(form->LineGrid(), 0, "receivenum", "9");
        if (change == "delete")
            form->dxBL_DeleteClick();
        ui.clear();
        ui.answers << answer;
        QCOMPARE(form->close(), closed);
        QCOMPARE(!ui.messages.isEmpty(), asked);
        if (asked)
            QCOMPARE(ui.lastText(), QStringLiteral("单据有未保存的修改，确定不保存就退出吗？"));
    }

    void refreshLoadsTheDocumentShown_data()
    {
        QTest::addColumn<QString>("openedWith");
        QTest::newRow("new document, first save") << "";
        // Opened on A, then a new document B saved: "刷 新" shows B, not A.
        QTest::newRow("opened on another document") << "RK1";
    }
    void refreshLoadsTheDocumentShown()
    {
        QFETCH(QString, openedWith);
        auto form = openEdit(openedWith.isEmpty() ? docAnswer({}, {}) : docAnswer({header("RK1", 1)}, {line("RK1", 1, "A1")}),
                             openedWith);
        form->dxBL_NewClick();
        form->Header()->Edit();
        form->Header()->FieldByName("suppliercode")->SetAsString("GY001");
        form->Header()->FieldByName("storageid")->SetAsString("CK01");
        form->Header()->Post();
        form->StorageBox()->setCurrentIndex(0);
        const QByteArray key = form->Header()->FieldByName("md5_key")->AsString().toUtf8();
        svc->answer("Receive.Update", docAnswer({header("RK7", 1).replace("K-RK7", key)}, {}));
        form->dxBL_SaveClick();
        QCOMPARE(ui.lastText(), QStringLiteral("数据提交成功！"));
        QCOMPARE(form->Header()->FieldByName("receiveid")->AsString(), QStringLiteral("RK7"));
        svc->answer("Receive.Load", docAnswer({header("RK7", 1)}, {line("RK7", 1, "B1")}));
        svc->clearCalls();
        form->dxBL_RefreshClick();
        QCOMPARE(params(svc->calls().value(0)), (QStringList{"module=Receive.Load", "receiveid=RK7"}));
        QCOMPARE(form->HeaderEdit("receiveid")->text(), QStringLiteral("RK7"));
        QCOMPARE(column(form->Lines(), "commoditycode"), QStringList{"B1"});
    }

    void unsavedChangesAskFirst_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QStringList>("sent");
        QTest::newRow("new, kept") << "new" << int(mrCancel) << "单据有未保存的修改，确定不保存就新建吗？" << QStringList{};
        QTest::newRow("new, given up") << "new" << int(mrOk) << "单据有未保存的修改，确定不保存就新建吗？" << QStringList{};
        QTest::newRow("refresh, kept") << "refresh" << int(mrCancel) << "单据有未保存的修改，确定不保存就刷新吗？" << QStringList{};
        QTest::newRow("refresh, given up") << "refresh" << int(mrOk) << "单据有未保存的修改，确定不保存就刷新吗？"
                                           << QStringList{"Receive.Load"};
        // A voucher never prints unsaved lines beside a saved total.
        QTest::newRow("print, not saved") << "print" << int(mrCancel) << "单据有未保存的修改，需要先保存再打印吗？" << QStringList{};
        QTest::newRow("print after saving") << "print" << int(mrOk) << "单据有未保存的修改，需要先保存再打印吗？"
                                            << QStringList{"Receive.Update"};
    }
    void unsavedChangesAskFirst()
    {
        QFETCH(QString, action);
        QFETCH(int, answer);
        QFETCH(QString, question);
        QFETCH(QStringList, sent);
        QStringList printed;
        class TNoReport : public IKXReportEx {
        public:
            explicit TNoReport(QStringList* l) : log(l) {}
            void VariablesClear() override {}
            void AddVariables(const QString&, const QVariant&) override {}
            void RMDataSetClear() override {}
            void AddCDataSet(TPClientDataSet* ds, const QString& alias, const QString&) override
            {
                *log << alias + QLatin1Char(':') + QString::number(ds->ChangeCount());
            }
            void SetFileName(const QString&) override {}
            QString FileName() const override { return {}; }
            bool DesignReport() override { return false; }
            bool PreviewReport() override { return true; }
            bool PrintReport() override { return false; }
            QStringList* log;
        };
        KxSetReportFactory([&printed] { return std::make_unique<TNoReport>(&printed); });
        auto form = openSaved(2);
        typeCell(form->LineGrid(), 0, "receivenum", "9");
        svc->answer("Receive.Update", docAnswer({header("RK1", 1, "100.00")}, {line("RK1", 1, "A1", "9.00"), line("RK1", 2, "A2")}));
        ui.clear();
        ui.answers << answer << mrOk; // the question, then the save's own question
        if (action == "new")
            form->dxBL_NewClick();
        else if (action == "refresh")
            form->dxBL_RefreshClick();
        else
            form->dxBL_PrintReportClick();
        KxSetReportFactory(nullptr);
        QCOMPARE(ui.messages.value(0).text, question);
        QCOMPARE(svc->modules(), sent);
        const bool kept = answer == mrCancel;
        if (action == "new")
            QCOMPARE(form->Lines()->RecordCount(), kept ? 2 : 0);
        if (action == "print")
            QCOMPARE(printed, kept ? QStringList{} : (QStringList{"采购单:0", "采购单明细:0"}));
        if (action == "refresh")
            QCOMPARE(form->HasUnsavedChanges(), kept);
    }

    void zeroQuantityIsRefusedNamingTheLine()
    {
        auto form = openSaved(3);
        typeCell(form->LineGrid(), 1, "receivenum", "0");
        form->dxBL_SaveClick();
        QCOMPARE(ui.lastText(), QStringLiteral("第2行【A2】的数量为0，不能保存！"));
        QVERIFY(!svc->modules().contains("Receive.Update"));
        QCOMPARE(form->LineGrid()->currentIndex().row(), 1);
    }

    void headerTotalFollowsTheLines()
    {
        auto form = openSaved(2);
        QCOMPARE(form->HeaderEdit("receivemoney")->text(), QStringLiteral("20.00"));
        typeCell(form->LineGrid(), 0, "receivenum", "4");
        QCOMPARE(form->HeaderEdit("receivemoney")->text(), QStringLiteral("50.00"));
        form->Lines()->SetRecNo(2);
        form->dxBL_DeleteClick();
        QCOMPARE(form->HeaderEdit("receivemoney")->text(), QStringLiteral("40.00"));
    }

    void voucherPrintGivesTheTemplateBothDataSets()
    {
        struct TLog {
            QStringList calls;
        };
        auto log = std::make_shared<TLog>();
        class TRecordingReport : public IKXReportEx {
        public:
            explicit TRecordingReport(std::shared_ptr<TLog> l) : log(std::move(l)) {}
            void VariablesClear() override {}
            void AddVariables(const QString&, const QVariant&) override {}
            void RMDataSetClear() override {}
            void AddCDataSet(TPClientDataSet* ds, const QString& alias, const QString& labels) override
            {
                log->calls << QStringLiteral("%1:%2:%3").arg(alias).arg(ds->RecordCount()).arg(labels.section(';', 0, 0));
            }
            void SetFileName(const QString& f) override { log->calls << QStringLiteral("file:") + f.section('/', -2); }
            QString FileName() const override { return {}; }
            bool DesignReport() override { return false; }
            bool PreviewReport() override
            {
                log->calls << QStringLiteral("preview");
                return true;
            }
            bool PrintReport() override { return false; }
            std::shared_ptr<TLog> log;
        };
        KxSetReportFactory([log] { return std::make_unique<TRecordingReport>(log); });
        auto list = openList();
        list->dxBL_PrintReportClick();
        auto edit = openSaved(3);
        edit->dxBL_PrintReportClick();
        KxSetReportFactory(nullptr);
        QCOMPARE(log->calls, (QStringList{"file:rmf/caigoudan.rmf", "采购单:2:receiveid=单据号", "采购单明细:2:seq=序号", "preview",
                                          "file:rmf/caigoudan.rmf", "采购单:1:receiveid=单据号", "采购单明细:3:seq=序号", "preview"}));
    }
};

QTEST_MAIN(TestReceiveForms)
#include "tst_receive_forms.moc"
