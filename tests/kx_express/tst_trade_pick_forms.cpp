// Orders to picking lists against a scripted service: the counts the dialog offers, the one
// save with the orders' marks and the picking lists (merged by buyer and address or one per
// order, memos joined, amounts summed), the storage the dialog insists on, what a cancelled or
// refused save leaves, and the picking list window opened on the new numbers.
#include "FakeService.h"
#include "ScriptedUi.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uPClientDataSet.h"
#include "ufrmTrade.h"
#include "ufrmTrade2Pick.h"

#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QXmlStreamReader>
#include <QtTest>

// Stands in for the picking list window: records the conditions it is opened on.
class TTestPickingList : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TTestPickingList(QWidget* owner = nullptr) : TfrmBase(owner) {}
};
KX_REGISTER_CLASS(TTestPickingList)

namespace {
QByteArray packet(const QByteArray& fields, const QList<QByteArray>& rows)
{
    QByteArray p = "<datapacket><fields>" + fields + "</fields><rows>";
    for (const QByteArray& r : rows)
        p += "<row " + r + "/>";
    return p + "</rows></datapacket>";
}
QByteArray textFields(const QList<QByteArray>& names)
{
    QByteArray f;
    for (const QByteArray& n : names)
        f += "<field name=\"" + n + "\" type=\"string\" size=\"200\"/>";
    return f;
}
QByteArray moneyFields(const QList<QByteArray>& names)
{
    QByteArray f;
    for (const QByteArray& n : names)
        f += "<field name=\"" + n + "\" type=\"decimal\" precision=\"18\" scale=\"4\"/>";
    return f;
}
const QByteArray kOrderFields = "<field name=\"ischeck\" type=\"boolean\"/><field name=\"refund\" type=\"integer\"/>"
    + textFields({"tid", "buyer_nick", "seller_nick", "status", "dbstatus", "receiver_name", "receiver_state", "receiver_city",
                  "receiver_district", "address", "receiver_zip", "receiver_mobile", "receiver_phone", "buyer_email", "buyer_message", "seller_memo"})
    + moneyFields({"cod_fee", "seller_cod_fee", "buyer_cod_fee"});
const QByteArray kLineFields = textFields({"tid", "oid", "commoditycode", "title", "num_iid", "sku_id", "sku_properties_name"})
                               + moneyFields({"num", "price", "total_fee"});
const QByteArray kPickingFields = "<field name=\"status\" type=\"integer\"/>"
    + textFields({"md5_key", "shopcode", "pickingid", "storageid", "buyer_nick", "seller_nick", "receiver_name", "receiver_state",
                  "receiver_city", "receiver_district", "receiver_address", "receiver_zip", "receiver_mobile", "receiver_phone",
                  "buyer_email", "buyer_message", "seller_memo", "inputren", "inputtime"})
    + moneyFields({"cod_fee", "seller_cod_fee", "buyer_cod_fee", "post_fee", "pickingmoney"});
const QByteArray kPickingLineFields = "<field name=\"seq\" type=\"integer\"/>"
    + textFields({"md5_key", "pickingid", "tid", "oid", "commoditycode", "title", "num_iid", "sku_id", "sku_properties_name", "seller_nick"})
    + moneyFields({"num", "price", "total_fee"});

QByteArray order(const char* tid, const char* buyer, const char* seller, const char* name, const char* address, const char* message,
                 const char* cod, bool ticked = true)
{
    return QByteArray("ischeck=\"") + (ticked ? "true" : "false") + "\" refund=\"0\" status=\"WAIT_SELLER_SEND_GOODS\" dbstatus=\"NOT_PICKING\""
           " tid=\"" + tid + "\" buyer_nick=\"" + buyer + "\" seller_nick=\"" + seller + "\" receiver_name=\"" + name
           + "\" address=\"" + address + "\" receiver_city=\"杭州\" buyer_message=\"" + message + "\" seller_memo=\"备" + tid
           + "\" cod_fee=\"" + cod + "\" seller_cod_fee=\"0\" buyer_cod_fee=\"" + cod + "\"";
}
QByteArray line(const char* tid, const char* oid, const char* num, const char* total)
{
    return QByteArray("tid=\"") + tid + "\" oid=\"" + oid + "\" commoditycode=\"C" + oid + "\" title=\"宝贝" + oid + "\" num=\"" + num
           + "\" price=\"10\" total_fee=\"" + total + "\" num_iid=\"N1\" sku_id=\"S1\" sku_properties_name=\"颜色:红\"";
}
QByteArray ordersPage()
{
    // T1 and T2 go to one buyer and address (from two accounts); T3 elsewhere; T4 not ticked.
    const QList<QByteArray> orders{order("T1", "buyer", "shop", "张三", "西湖路1号", "尽快", "1.5"),
                                   order("T2", "buyer", "shop:amy", "张三", "西湖路1号", "  包好  ", "2"),
                                   order("T3", "buyer", "shop", "张三", "西湖路2号", "", "0"),
                                   order("T4", "other", "shop", "李四", "湖滨路", "", "0", false)};
    const QList<QByteArray> lines{line("T1", "T1-1", "1", "10"), line("T1", "T1-2", "2", "20"), line("T2", "T2-1", "1", "5.5"),
                                  line("T3", "T3-1", "3", "30"), line("T4", "T4-1", "1", "1")};
    return "<response><pagecount>1</pagecount><recordcount>4</recordcount><xmlmaster><![CDATA[" + packet(kOrderFields, orders)
           + "]]></xmlmaster><xmldetail><![CDATA[" + packet(kLineFields, lines) + "]]></xmldetail></response>";
}
QString tradeModule()
{
    return QStringLiteral("<response><moduletitle>网络订单</moduletitle>"
                          "<modulepower>isupdate=True;issearch=True;isprint=True;isoutput=True;iscolumn=True;</modulepower>"
                          "<search>Trade.Search</search><storage>Lookup.Storage</storage><searchpicking>Trade.SearchPicking</searchpicking>"
                          "<updatepicking>Trade.UpdatePicking</updatepicking><listpicking>Picking.Module</listpicking></response>");
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
QStringList distinct(QStringList list)
{
    list.removeDuplicates();
    return list;
}
QStringList column(TPClientDataSet* ds, const QString& field)
{
    QStringList out;
    for (ds->First(); !ds->Eof(); ds->Next())
        out << ds->FieldByName(field)->AsString();
    return out;
}
} // namespace

class TestTradePickForms : public QObject {
    Q_OBJECT
    std::unique_ptr<TFakeService> m_svc;
    std::unique_ptr<TScriptedUi> m_ui;
    QStringList m_offered;         // the dialog's two choices as shown
    QStringList m_listConditions;  // the picking list window's fixed conditions

    // Runs the dialog: chooses storage `storage` (-1: none) and choice `choice`, presses "生  成".
    void driveDialog(int storage, int choice)
    {
        m_ui->onModal = [this, storage, choice](QWidget* w) {
            if (auto* d = qobject_cast<TfrmTrade2Pick*>(w)) {
                m_offered = {d->Choice(0)->text(), d->Choice(1)->text()};
                d->StorageBox()->setCurrentIndex(storage);
                d->Choice(choice)->setChecked(true);
                d->btnCreateClick();
                return d->ModalResult();
            }
            if (auto* list = qobject_cast<TfrmBase*>(w))
                m_listConditions = list->FixedConditions();
            return int(mrOk);
        };
    }
    std::unique_ptr<TfrmTrade> openOrders()
    {
        auto form = std::make_unique<TfrmTrade>();
        form->InitModule(tradeModule());
        form->show();
        m_svc->clearCalls();
        return form;
    }
    QList<TFakeCall> saves()
    {
        QList<TFakeCall> out;
        for (const TFakeCall& c : m_svc->calls())
            if (c.module() == "Trade.UpdatePicking")
                out << c;
        return out;
    }

private Q_SLOTS:
    void init()
    {
        gShopId = QStringLiteral("S01");
        gOperId = QStringLiteral("admin");
        gOperName = QStringLiteral("管理员");
        m_svc = std::make_unique<TFakeService>();
        m_ui = std::make_unique<TScriptedUi>();
        m_offered.clear();
        m_listConditions.clear();
        m_svc->answer("Trade.Search", ordersPage());
        m_svc->answer("Lookup.Storage", "<response><xmldata><![CDATA[" + packet(textFields({"storageid", "storagename"}),
                                                                                 {"storageid=\"CK01\" storagename=\"杭州发货仓\"",
                                                                                  "storageid=\"CK02\" storagename=\"上海发货仓\""}) + "]]></xmldata></response>");
        m_svc->answer("Trade.SearchPicking", "<response><xmlmaster><![CDATA[" + packet(kPickingFields, {}) + "]]></xmlmaster><xmldetail><![CDATA["
                                                 + packet(kPickingLineFields, {}) + "]]></xmldetail></response>");
        m_svc->answer("Trade.UpdatePicking", "<response><xmlmaster><![CDATA[" + packet(kPickingFields, {}) + "]]></xmlmaster><xmldetail><![CDATA["
                                                 + packet(kPickingLineFields, {}) + "]]></xmldetail></response>");
        m_svc->answer("Picking.Module", "<response><moduleclass>TTestPickingList</moduleclass><moduletitle>拣货单</moduletitle>"
                                        "<modal>true</modal></response>");
    }
    void cleanup()
    {
        m_ui.reset();
        m_svc.reset();
    }

    // The ticked orders go out as picking lists in one call: merged by buyer, consignee and
    // address (texts of the last order, memos joined in order, amounts summed) or one per
    // order; the orders marked picked; then the list window opens on the new numbers.
    void ticksBecomePickingLists_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QStringList>("sellers");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("cod");
        QTest::addColumn<QStringList>("money");
        QTest::addColumn<QStringList>("lineSeqs");
        QTest::newRow("merged") << 1 << QStringList{"shop:amy", "shop"} << QStringList{"尽快\n\r  包好", ""}
                                << QStringList{"3.5000", "0.0000"} << QStringList{"35.5000", "30.0000"} << QStringList{"1", "2", "3", "1"};
        QTest::newRow("one per order") << 0 << QStringList{"shop", "shop:amy", "shop"} << QStringList{"尽快", "包好", ""}
                                       << QStringList{"1.5000", "2.0000", "0.0000"} << QStringList{"30.0000", "5.5000", "30.0000"}
                                       << QStringList{"1", "2", "1", "1"};
    }
    void ticksBecomePickingLists()
    {
        QFETCH(int, choice);
        QFETCH(QStringList, sellers);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, cod);
        QFETCH(QStringList, money);
        QFETCH(QStringList, lineSeqs);
        auto form = openOrders();
        driveDialog(0, choice);
        TTradeToPicking& pick = TTradeToPicking::Of(form.get());
        pick.dxBL_PickClick();

        QCOMPARE(m_svc->modules(), (QStringList{"Trade.SearchPicking", "Lookup.Storage", "Trade.UpdatePicking", "Picking.Module"}));
        QCOMPARE(m_svc->calls()[0].value("pickingid"), QString());
        QCOMPARE(m_svc->calls()[1].value("storagetype"), QStringLiteral("1"));
        QCOMPARE(m_offered, (QStringList{"逐单拣货(3单)", "合并拣货(2单)"}));
        const TFakeCall save = saves().value(0);
        QCOMPARE(save.files.keys(), (QStringList{"delta", "deltadetail", "deltamaster"}));
        const auto marks = newRows(save.files.value("delta"));
        QCOMPARE(values(marks, "tid"), (QStringList{"T1", "T2", "T3"}));
        QCOMPARE(values(marks, "dbstatus"), (QStringList{"PICKINGED", "PICKINGED", "PICKINGED"}));
        const auto heads = newRows(save.files.value("deltamaster"));
        QCOMPARE(values(heads, "seller_nick"), sellers);
        QCOMPARE(values(heads, "buyer_message"), messages);
        QCOMPARE(values(heads, "buyer_cod_fee"), cod);
        QCOMPARE(values(heads, "pickingmoney"), money);
        QCOMPARE(distinct(values(heads, "storageid")), QStringList{"CK01"});
        QCOMPARE(distinct(values(heads, "shopcode")), QStringList{"S01"});
        QCOMPARE(distinct(values(heads, "status")), QStringList{"0"});
        QCOMPARE(distinct(values(heads, "inputren")), QStringList{"[admin]管理员"});
        QCOMPARE(distinct(values(heads, "post_fee")), QStringList{"0.0000"});
        QCOMPARE(values(heads, "receiver_address").first(), QStringLiteral("西湖路1号"));
        const auto lines = newRows(save.files.value("deltadetail"));
        QCOMPARE(values(lines, "oid"), (QStringList{"T1-1", "T1-2", "T2-1", "T3-1"}));
        QCOMPARE(values(lines, "seq"), lineSeqs);
        QCOMPARE(values(lines, "seller_nick"), (QStringList{"shop", "shop", "shop:amy", "shop"}));
        QCOMPARE(values(lines, "md5_key").first(), values(heads, "md5_key").first());
        QCOMPARE(values(lines, "md5_key").last(), values(heads, "md5_key").last());
        QCOMPARE(values(lines, "total_fee"), (QStringList{"10.0000", "20.0000", "5.5000", "30.0000"}));

        QCOMPARE(m_ui->messages.first().text, QStringLiteral("真的需要批量生成拣货单吗？"));
        QCOMPARE(m_ui->messages.last().text, QStringLiteral("拣货单数据提交成功！"));
        // Picked and no longer ticked: they leave the "未拣货" tab with nothing pending.
        QCOMPARE(column(form->Orders(), "tid"), QStringList{"T4"});
        QVERIFY(form->Orders()->GetEmptyDelta());
        QCOMPARE(m_listConditions, (QStringList{"pickingid1=", "pickingid2="}));
    }

    // A save cancelled at the question sends nothing; one the service refuses is not taken:
    // either way the orders stay unpicked and ticked, and no list window opens. While the
    // question is up the list still shows the ticked orders (they are not marked yet).
    void unsavedLeavesTheOrders_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::newRow("cancelled") << false;
        QTest::newRow("refused") << true;
    }
    void unsavedLeavesTheOrders()
    {
        QFETCH(bool, refused);
        auto form = openOrders();
        if (refused)
            m_svc->fail("Trade.UpdatePicking", 50, "以下订单已生成拣货单，请刷新订单：T1");
        else
            m_ui->answers.enqueue(mrCancel);
        driveDialog(1, 1);
        QStringList shownAtQuestion;
        m_ui->onMessage = [&](const QString& text) {
            if (text == QStringLiteral("真的需要批量生成拣货单吗？"))
                shownAtQuestion = column(form->Orders(), "tid");
        };
        TTradeToPicking::Of(form.get()).dxBL_PickClick();
        m_ui->onMessage = nullptr;
        QCOMPARE(shownAtQuestion, (QStringList{"T1", "T2", "T3", "T4"}));
        QCOMPARE(saves().size(), refused ? 1 : 0);
        QVERIFY(!m_svc->modules().contains("Picking.Module"));
        QVERIFY(m_listConditions.isEmpty());
        QCOMPARE(column(form->Orders(), "tid"), (QStringList{"T1", "T2", "T3", "T4"}));
        QCOMPARE(column(form->Orders(), "ischeck"), (QStringList{"True", "True", "True", "False"}));
        QVERIFY(form->Orders()->GetEmptyDelta());
    }

    // Without a storage the dialog asks for one and makes nothing.
    void storageIsRequired()
    {
        auto form = openOrders();
        driveDialog(-1, 1);
        TTradeToPicking::Of(form.get()).dxBL_PickClick();
        QCOMPARE(m_ui->messages.value(0).text, QStringLiteral("拣货发货仓库不能为空，请选择！"));
        QVERIFY(saves().isEmpty());
    }

    // Nothing ticked: 0 and 0 offered; generating still asks, and the call carries no files
    // (the service refuses it).
    void nothingTickedSendsNoFiles()
    {
        auto form = openOrders();
        for (form->Orders()->First(); !form->Orders()->Eof(); form->Orders()->Next())
            if (form->Orders()->FieldByName("ischeck")->AsBoolean()) {
                form->Orders()->Edit();
                form->Orders()->FieldByName("ischeck")->SetAsBoolean(false);
                form->Orders()->Post();
            }
        driveDialog(0, 1);
        TTradeToPicking::Of(form.get()).dxBL_PickClick();
        QCOMPARE(m_offered, (QStringList{"逐单拣货(0单)", "合并拣货(0单)"}));
        QCOMPARE(m_ui->messages.value(0).text, QStringLiteral("真的需要批量生成拣货单吗？"));
        QCOMPARE(saves().size(), 1);
        QVERIFY(saves().first().files.isEmpty());
    }
};

QTEST_MAIN(TestTradePickForms)
#include "tst_trade_pick_forms.moc"
