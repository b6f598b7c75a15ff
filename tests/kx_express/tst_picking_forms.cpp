// Picking lists and shipping against a scripted service: the waybill number rule, the exact
// saves of the shipping dialog, shipping picking by picking through a refusal, the list's
// batch audit, and the edit window's checks and line entry.
#include "FakeService.h"
#include "ScriptedUi.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uGridView.h"
#include "uPClientDataSet.h"
#include "ufrmPicking.h"
#include "ufrmPickingEdit.h"
#include "ufrmPickingSend.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QXmlStreamReader>
#include <QtTest>

namespace {
QByteArray packet(const QByteArray& fields, const QList<QByteArray>& rows)
{
    QByteArray p = "<datapacket><fields>" + fields + "</fields><rows>";
    for (const QByteArray& r : rows)
        p += "<row " + r + "/>";
    return p + "</rows></datapacket>";
}
QByteArray fields(const QList<QByteArray>& texts, const QList<QByteArray>& money = {}, const QList<QByteArray>& ints = {},
                  const QList<QByteArray>& flags = {})
{
    QByteArray f;
    for (const QByteArray& n : flags)
        f += "<field name=\"" + n + "\" type=\"boolean\"/>";
    for (const QByteArray& n : texts)
        f += "<field name=\"" + n + "\" type=\"string\" size=\"200\"/>";
    for (const QByteArray& n : money)
        f += "<field name=\"" + n + "\" type=\"decimal\" precision=\"18\" scale=\"4\"/>";
    for (const QByteArray& n : ints)
        f += "<field name=\"" + n + "\" type=\"integer\"/>";
    return f;
}
QByteArray answer(const char* name, const QByteArray& packetXml)
{
    return QByteArray("<response><") + name + "><![CDATA[" + packetXml + "]]></" + name + "></response>";
}
const QByteArray kSendFields = fields({"md5_key", "pickingid", "buyer_nick", "receiver_city", "company_code", "out_sid", "out_info"}, {"out_fee"});
const QByteArray kHeaderFields = fields({"md5_key", "shopcode", "pickingid", "storageid", "storagename", "buyer_nick", "seller_nick", "receiver_name",
                                         "receiver_state", "receiver_city", "receiver_district", "receiver_address", "receiver_zip",
                                         "receiver_mobile", "receiver_phone", "buyer_email", "buyer_message", "seller_memo", "company_code",
                                         "out_sid", "inputren", "inputtime", "auditren", "audittime", "memo"},
                                        {"cod_fee", "seller_cod_fee", "buyer_cod_fee", "out_fee", "post_fee", "pickingmoney"}, {"status"},
                                        {"ischeck"});
const QByteArray kLineFields = fields({"md5_key", "pickingid", "commoditycode", "barcode", "commodityname", "propstyle", "propcolor", "propsize",
                                       "tid", "oid", "title", "num_iid", "sku_id", "sku_properties_name", "seller_nick"},
                                      {"num", "price", "total_fee", "stocknum"}, {"seq"});

QByteArray header(const char* id, int status, bool ticked)
{
    return QByteArray("md5_key=\"K") + id + "\" pickingid=\"" + id + "\" status=\"" + QByteArray::number(status) + "\" ischeck=\""
           + (ticked ? "true" : "false") + "\" storageid=\"CK01\" buyer_nick=\"b" + id + "\" receiver_city=\"杭州\" out_fee=\"6\" seller_nick=\"shop\"";
}

// The rows of a delta's <new> elements (inserts and updates alike), attribute by attribute.
QList<QMap<QString, QString>> newRows(const QString& delta)
{
    QList<QMap<QString, QString>> rows;
    QXmlStreamReader r(delta);
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == u"new") {
            QMap<QString, QString> row;
            for (const QXmlStreamAttribute& a : r.attributes())
                row.insert(a.name().toString(), a.value().toString());
            rows.append(row);
        }
    }
    return rows;
}
QStringList values(const QList<QMap<QString, QString>>& rows, const QString& field)
{
    QStringList out;
    for (const auto& row : rows)
        out << row.value(field);
    return out;
}
QStringList column(TPClientDataSet* ds, const QString& field)
{
    QStringList out;
    for (int r = 0; r < ds->RecordCount(); ++r)
        out << ds->DisplayTextAt(r, ds->FieldByName(field));
    return out;
}
const QString kRights = QStringLiteral("<modulepower>isupdate=True;isaudit=True;issearch=True;isprint=True;isoutput=True;iscolumn=True;</modulepower>");
} // namespace

class TestPickingForms : public QObject {
    Q_OBJECT
    std::unique_ptr<TFakeService> m_svc;
    std::unique_ptr<TScriptedUi> m_ui;

    QList<TFakeCall> callsOf(const QString& module)
    {
        QList<TFakeCall> out;
        for (const TFakeCall& c : m_svc->calls())
            if (c.module() == module)
                out << c;
        return out;
    }
    // A shipping dialog holding rows P1..Pn, as the picking list hands them over.
    std::unique_ptr<TfrmPickingSend> sendDialog(int rows)
    {
        TPClientDataSet headers;
        QList<QByteArray> list;
        for (int i = 1; i <= rows; ++i)
            list << header(QByteArray("P") + QByteArray::number(i), 2, true);
        headers.SetKXXMLData(packet(kHeaderFields, list));
        auto d = std::make_unique<TfrmPickingSend>();
        if (!d->Prepare())
            return {};
        for (headers.First(); !headers.Eof(); headers.Next())
            d->AddPicking(&headers);
        d->Rows()->MergeChangeLog();
        return d;
    }

private Q_SLOTS:
    void init()
    {
        gShopId = QStringLiteral("S01");
        gOperId = QStringLiteral("admin");
        gOperName = QStringLiteral("管理员");
        gNickName = QStringLiteral("shop");
        m_svc = std::make_unique<TFakeService>();
        m_ui = std::make_unique<TScriptedUi>();
        const QByteArray carriers = packet(fields({"logistics_code", "logistics_name"}, {"logistics_fee"}),
                                           {"logistics_code=\"SF\" logistics_name=\"顺丰速运\" logistics_fee=\"12\"",
                                            "logistics_code=\"YTO\" logistics_name=\"圆通速递\" logistics_fee=\"6.5\""});
        m_svc->answer("Logistics.Search", answer("xmldata", carriers));
        m_svc->answer("PickingSend.SendModule", answer("xmldata", packet(kSendFields, {})));
        m_svc->answer("NetShop.PickingSend", "<response><issend>1</issend></response>");
        m_svc->answer("Lookup.Storage", answer("xmldata", packet(fields({"storageid", "storagename"}), {"storageid=\"CK01\" storagename=\"杭州发货仓\""})));
        m_svc->answer("Lookup.DocStatus", answer("xmldata", packet(fields({"statusname"}, {}, {"status"}),
                                                                   {"status=\"1\" statusname=\"已保存\"", "status=\"2\" statusname=\"已审核\""})));
    }
    void cleanup()
    {
        m_ui.reset();
        m_svc.reset();
    }

    // The waybill numbers for a start number, a step and a number of rows.
    void waybillNumberRule_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QStringList>("numbers");
        QTest::newRow("six digits at the end count, the rest is the prefix")
            << "KD0012345678" << 1 << 3 << QStringList{"KD0012345678", "KD0012345679", "KD0012345680"};
        QTest::newRow("leading zeros kept") << "000123" << 2 << 4 << QStringList{"000123", "000125", "000127", "000129"};
        QTest::newRow("outgrowing the width keeps the last digits") << "A999999" << 1 << 2 << QStringList{"A999999", "A000000"};
        QTest::newRow("a letter at the end counts from the step") << "ABC" << 3 << 4 << QStringList{"ABC3", "ABC6", "ABC9", "ABC2"};
        QTest::newRow("no step: every row the start") << "YT100" << 0 << 3 << QStringList{"YT100", "YT100", "YT100"};
        QTest::newRow("blanks around the start") << "  7 " << 9 << 2 << QStringList{"7", "6"};
        QTest::newRow("no start, no numbers") << "   " << 1 << 3 << QStringList{};
    }
    void waybillNumberRule()
    {
        QFETCH(QString, start);
        QFETCH(int, step);
        QFETCH(int, rows);
        QFETCH(QStringList, numbers);
        QCOMPARE(TfrmPickingSend::WaybillNumbers(start, step, rows), numbers);
    }

    // The dialog follows the start and the step as they are typed; the save gives row i the
    // carrier, its fee and number i and sends only those changes; the answer is merged.
    void shippingDialogSavesCarrierAndNumbers()
    {
        auto d = sendDialog(3);
        QVERIFY(d);
        QCOMPARE(d->CarrierBox()->count(), 2);
        QCOMPARE(d->StepBox()->currentIndex(), -1);
        d->StartEdit()->setText("YT0098");
        QCOMPARE(d->NumberList()->count(), 3);
        QCOMPARE(d->NumberList()->item(2)->text(), QStringLiteral("YT0098"));
        d->StepBox()->setCurrentIndex(1);
        QCOMPARE(d->Numbers(), (QStringList{"YT0098", "YT0100", "YT0102"}));

        // Numbers without a carrier are not saved.
        d->btnSaveClick();
        QCOMPARE(m_ui->lastText(), QStringLiteral("请选择快递公司！"));
        QVERIFY(callsOf("PickingSend.Update").isEmpty());

        d->CarrierBox()->setCurrentIndex(1);
        d->btnPreviewClick();
        QCOMPARE(column(d->Rows(), "out_info").first(), d->CarrierBox()->currentText() + "(YT0098)");
        d->btnResetClick();
        QCOMPARE(column(d->Rows(), "out_info"), (QStringList{"", "", ""}));

        m_svc->answer("PickingSend.Update", answer("xmldata", packet(kSendFields, {"md5_key=\"KP2\" pickingid=\"P2\" company_code=\"YTO\" out_sid=\"YT0100\" out_fee=\"6.5\" buyer_nick=\"已保存\""})));
        d->btnSaveClick();
        const QList<TFakeCall> saves = callsOf("PickingSend.Update");
        QCOMPARE(saves.size(), 1);
        const auto rows = newRows(saves[0].files.value("delta"));
        QCOMPARE(values(rows, "pickingid"), (QStringList{"P1", "P2", "P3"}));
        QCOMPARE(values(rows, "company_code"), (QStringList{"YTO", "YTO", "YTO"}));
        QCOMPARE(values(rows, "out_sid"), (QStringList{"YT0098", "YT0100", "YT0102"}));
        QCOMPARE(values(rows, "out_fee").first().toDouble(), 6.5);
        QCOMPARE(m_ui->texts.mid(m_ui->texts.size() - 2), (QStringList{"真的需要提交修改吗？", "数据提交成功！"}));
        QCOMPARE(column(d->Rows(), "buyer_nick"), (QStringList{"bP1", "已保存", "bP3"}));
        QCOMPARE(d->Rows()->ChangeCount(), 0);
    }

    // Each picking is reported in turn; a refused one shows on the status line, the others
    // go on, the bar ends full and the refused ones are named at the end.
    void shippingGoesOnPastARefusal()
    {
        auto d = sendDialog(3);
        QVERIFY(d);
        m_svc->answerWhen("NetShop.PickingSend", "pickingid", "P2",
                          "<error_response><code>50</code><msg>订单 T2 有退款正在处理，不能发货</msg></error_response>");
        QString shownAtRefusal;
        m_ui->onMessage = [&](const QString& text) {
            if (text.contains("退款"))
                shownAtRefusal = d->StatusLabel()->text();
        };
        d->btnSendClick();
        m_ui->onMessage = {};
        QStringList sent;
        for (const TFakeCall& c : callsOf("NetShop.PickingSend"))
            sent << c.value("pickingid");
        QCOMPARE(sent, (QStringList{"P1", "P2", "P3"}));
        QCOMPARE(shownAtRefusal, QStringLiteral("发货成功！ 拣货单号：P1"));
        QCOMPARE(d->StatusLabel()->text(), QStringLiteral("发货成功！ 拣货单号：P3"));
        QCOMPARE(d->Progress()->value(), 3);
        QCOMPARE(d->Progress()->maximum(), 3);
        QCOMPARE(m_ui->lastText(), QStringLiteral("以下拣货单没有发货：P2"));
        // Shipping sends the numbers only: nothing is saved on the way.
        QVERIFY(callsOf("PickingSend.Update").isEmpty());
    }

    // The batch audit sends the ticked pickings not audited yet, stamped; the selection never
    // travels; nothing goes out when nothing changes; a cancelled audit leaves the list as it was.
    void batchAuditSendsTheTickedOpenPickings()
    {
        m_svc->answer("Picking.Search", "<response><pagecount>1</pagecount><recordcount>4</recordcount><xmldata><![CDATA["
                                            + packet(kHeaderFields, {header("P1", 1, true), header("P2", 2, true), header("P3", 1, false),
                                                                     header("P4", 1, true)})
                                            + "]]></xmldata></response>");
        m_svc->answer("Picking.ListDetail", answer("xmldata", packet(kLineFields, {})));
        m_svc->answer("Picking.Audit", answer("xmlmaster", packet(kHeaderFields, {"md5_key=\"KP1\" pickingid=\"P1\" status=\"2\" auditren=\"[admin]服务\"",
                                                                                   "md5_key=\"KP4\" pickingid=\"P4\" status=\"2\" auditren=\"[admin]服务\""})));
        TfrmPicking list;
        list.InitModule("<response><moduletitle>拣货单</moduletitle>" + kRights
                        + "<search>Picking.Search</search><listdetail>Picking.ListDetail</listdetail><audit>Picking.Audit</audit>"
                          "<status>Lookup.DocStatus</status><storage>Lookup.Storage</storage><logistics>Logistics.Search</logistics>"
                          "<module>Picking.Edit</module></response>");
        list.show();
        QCOMPARE(callsOf("Picking.Search").value(0).value("shopcode"), QStringLiteral("S01"));
        QVERIFY(list.Button("批量审核") && list.Button("返 选") && list.Button("打印快递单"));

        m_ui->answers.enqueue(mrCancel);
        list.dxBL_AuditClick();
        QVERIFY(callsOf("Picking.Audit").isEmpty());
        QCOMPARE(column(list.Documents(), "status"), (QStringList{"1", "2", "1", "1"}));

        list.dxBL_AuditClick();
        const QList<TFakeCall> audits = callsOf("Picking.Audit");
        QCOMPARE(audits.size(), 1);
        const auto rows = newRows(audits[0].files.value("deltamaster"));
        QCOMPARE(values(rows, "pickingid"), (QStringList{"P1", "P4"}));
        QCOMPARE(values(rows, "status"), (QStringList{"2", "2"}));
        QCOMPARE(values(rows, "auditren"), (QStringList{"[admin]管理员", "[admin]管理员"}));
        QVERIFY(!audits[0].files.value("deltamaster").contains("ischeck=\"false\""));
        QCOMPARE(m_ui->lastText(), QStringLiteral("数据提交审核成功！"));
        QCOMPARE(column(list.Documents(), "auditren").value(3), QStringLiteral("[admin]服务"));

        // Every ticked one is audited now: nothing to send. The selection inverted stays the
        // window's own.
        list.dxBL_AuditClick();
        QCOMPARE(callsOf("Picking.Audit").size(), 1);
        list.SelectAll(true);
        QCOMPARE(column(list.Documents(), "ischeck"), (QStringList{"False", "False", "True", "False"}));
        QCOMPARE(list.Documents()->ChangeCount(), 0);
    }

    // The edit window: an audited picking is refused before its storage is looked at; a new
    // one needs its storage; a code typed on a line of an order binds only its product, on a
    // line typed in it brings the product's title and price; quantity and price give the
    // amount of a typed line; deleting a line renumbers the rest.
    void editWindowChecksAndLines()
    {
        const QByteArray product = packet(fields({"commoditycode", "commodityname", "propcolor", "propsize", "num_iid", "sku_id"}, {"saleprice", "stocknum"}),
                                          {"commoditycode=\"C9\" commodityname=\"围巾\" propcolor=\"红\" propsize=\"L\" num_iid=\"N9\" sku_id=\"S9\" saleprice=\"25\" stocknum=\"7\""});
        m_svc->answer("Select.Commodity", "<response><moduleclass>TFrmSelect</moduleclass><modal>true</modal><search>Select.CommoditySearch</search></response>");
        m_svc->answer("Select.CommoditySearch", "<response><recordcount>1</recordcount><pagecount>1</pagecount><xmldata><![CDATA[" + product + "]]></xmldata></response>");
        m_svc->answer("Picking.Load", "<response><xmlmaster><![CDATA[" + packet(kHeaderFields, {header("P1", 2, false)}) + "]]></xmlmaster><xmldetail><![CDATA["
                                          + packet(kLineFields, {"md5_key=\"KP1\" pickingid=\"P1\" seq=\"1\" tid=\"T1\" oid=\"O1\" title=\"买家的宝贝\" num=\"2\" price=\"10\" total_fee=\"18\"",
                                                                 "md5_key=\"KP1\" pickingid=\"P1\" seq=\"2\" title=\"b\" num=\"1\" price=\"1\" total_fee=\"1\"",
                                                                 "md5_key=\"KP1\" pickingid=\"P1\" seq=\"3\" title=\"c\" num=\"1\" price=\"1\" total_fee=\"1\"",
                                                                 "md5_key=\"KP1\" pickingid=\"P1\" seq=\"4\" title=\"d\" num=\"1\" price=\"1\" total_fee=\"1\""})
                                          + "]]></xmldetail></response>");
        TfrmPickingEdit edit;
        edit.InitModule("<response><moduletitle>拣货单编辑</moduletitle>" + kRights
                        + "<search>Picking.Load</search><update>Picking.Update</update><audit>Picking.Audit</audit>"
                          "<status>Lookup.DocStatus</status><storage>Lookup.Storage</storage><logistics>Logistics.Search</logistics></response>");
        edit.FixedConditions() << "pickingid=P1";
        edit.show();
        QCOMPARE(callsOf("Picking.Load").value(0).value("pickingid"), QStringLiteral("P1"));
        QVERIFY(edit.Button("网店发货") && edit.HeaderBox("company_code") && edit.MemoEdit("buyer_message"));

        // Audited: refused before the storage is looked at, even with the storage gone.
        edit.Header()->Edit();
        edit.Header()->FieldByName("storageid")->Clear();
        edit.Header()->Post();
        edit.dxBL_SaveClick();
        QCOMPARE(m_ui->lastText(), QStringLiteral("非新建状态的单据，不能再改动！"));
        edit.Header()->Edit();
        edit.Header()->FieldByName("status")->SetAsInteger(1);
        edit.Header()->Post();
        edit.dxBL_SaveClick();
        QCOMPARE(m_ui->lastText(), QStringLiteral("拣货仓库不能为空！"));
        QVERIFY(callsOf("Picking.Update").isEmpty());

        TPClientDataSet* lines = edit.Lines();
        // A line of an order: only its product and stock change.
        lines->SetRecNo(1);
        lines->Edit();
        lines->FieldByName("commoditycode")->SetAsString(" C9 ");
        lines->Post();
        edit.CodeEntered(0);
        QCOMPARE(callsOf("Select.CommoditySearch").value(0).value("commoditycode"), QStringLiteral("C9"));
        lines->SetRecNo(1);
        QCOMPARE(lines->FieldByName("commoditycode")->AsString(), QStringLiteral("C9"));
        QCOMPARE(lines->FieldByName("stocknum")->AsString().toDouble(), 7.0);
        QCOMPARE(lines->FieldByName("title")->AsString(), QStringLiteral("买家的宝贝"));
        QCOMPARE(lines->FieldByName("num")->AsInteger(), 2);
        QCOMPARE(lines->FieldByName("tid")->AsString(), QStringLiteral("T1"));
        // A line typed in: the product's title, properties, one piece at its price.
        lines->SetRecNo(2);
        lines->Edit();
        lines->FieldByName("commoditycode")->SetAsString("C9");
        lines->Post();
        edit.CodeEntered(1);
        lines->SetRecNo(2);
        QCOMPARE(lines->FieldByName("title")->AsString(), QStringLiteral("围巾"));
        QCOMPARE(lines->FieldByName("sku_properties_name")->AsString(), QStringLiteral("红  L"));
        QCOMPARE(lines->FieldByName("num")->AsInteger(), 1);
        QCOMPARE(lines->FieldByName("total_fee")->AsDecimal().ToString().toDouble(), 25.0);
        QCOMPARE(lines->FieldByName("seller_nick")->AsString(), QStringLiteral("shop"));
        // Quantity typed: the amount follows on the typed line, not on the order's line.
        TGridView* grid = edit.LineGrid();
        for (int row : {0, 1}) {
            const QModelIndex cell = grid->model()->index(row, grid->IndexOfColumn(grid->ColumnByField("num")));
            grid->setCurrentIndex(cell);
            QVERIFY(grid->model()->setData(cell, 3, Qt::EditRole));
            QCoreApplication::processEvents();
        }
        lines->SetRecNo(1);
        QCOMPARE(lines->FieldByName("total_fee")->AsString().toDouble(), 18.0);
        lines->SetRecNo(2);
        QCOMPARE(lines->FieldByName("total_fee")->AsString().toDouble(), 75.0);
        // Deleting the second of four lines leaves 1, 2, 3.
        lines->SetRecNo(2);
        edit.dxBL_DeleteClick();
        QCOMPARE(column(lines, "seq"), (QStringList{"1", "2", "3"}));
        QCOMPARE(column(lines, "title"), (QStringList{"买家的宝贝", "c", "d"}));
    }
};

QTEST_MAIN(TestPickingForms)
#include "tst_picking_forms.moc"
