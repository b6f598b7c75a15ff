// The refund windows against a scripted service: the quick tabs and what they allow, the
// right-click menu, agree and refuse with their checks and what reaches the service, the
// refund download, turning ticked refunds into return receipts (grouped by buyer and shop
// account, or one each), and the return receipt windows' checks and line amounts.
#include "FakeService.h"
#include "ScriptedUi.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "uGridModel.h"
#include "uGridView.h"
#include "uPClientDataSet.h"
#include "ufrmRefund.h"
#include "ufrmRefund2Refunding.h"
#include "ufrmRefundAgree.h"
#include "ufrmRefundDown.h"
#include "ufrmRefundRefuse.h"
#include "ufrmRefunding.h"
#include "ufrmRefundingEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QItemSelectionModel>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QXmlStreamReader>
#include <QtTest>

// Stands in for the return receipt list opened after generation: records its conditions.
class TTestRefundingList : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TTestRefundingList(QWidget* owner = nullptr) : TfrmBase(owner) {}
};
KX_REGISTER_CLASS(TTestRefundingList)

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
QByteArray rows(const QByteArray& value, const QByteArray& packetText)
{
    return "<" + value + "><![CDATA[" + packetText + "]]></" + value + ">";
}

const QByteArray kRefundFields = "<field name=\"ischeck\" type=\"boolean\"/><field name=\"has_good_return\" type=\"boolean\"/>"
    + textFields({"refund_id", "tid", "oid", "num_iid", "sku_id", "sku_properties_name", "title", "pic_path", "commoditycode",
                  "status", "order_status", "good_status", "cs_status", "seller_nick", "buyer_nick", "created", "reason", "desc1", "dbstatus"})
    + moneyFields({"num", "total_fee", "payment", "refund_fee"});
const QByteArray kReceiptFields = "<field name=\"status\" type=\"integer\"/><field name=\"storageid\" type=\"integer\"/>"
    + textFields({"md5_key", "nickid", "shopcode", "refundingid", "buyer_nick", "seller_nick", "memo", "inputren", "inputtime",
                  "auditren", "audittime", "storagename"})
    + moneyFields({"refundingmoney"});
const QByteArray kReceiptLineFields = "<field name=\"seq\" type=\"integer\"/><field name=\"has_good_return\" type=\"boolean\"/>"
    + textFields({"md5_key", "refundingid", "refund_id", "commoditycode", "title", "sku_properties_name", "num_iid", "sku_id", "seller_nick"})
    + moneyFields({"num", "total_fee", "refund_fee"});

QByteArray refund(const char* id, const char* status, const char* db, const char* buyer, const char* seller, bool goods,
                  const char* fee, const char* created = "2099-01-01 10:00:00", bool ticked = false)
{
    return QByteArray("refund_id=\"") + id + "\" status=\"" + status + "\" dbstatus=\"" + db + "\" buyer_nick=\"" + buyer
           + "\" seller_nick=\"" + seller + "\" has_good_return=\"" + (goods ? "true" : "false") + "\" ischeck=\""
           + (ticked ? "true" : "false") + "\" created=\"" + created + "\" tid=\"T" + id + "\" oid=\"O" + id
           + "\" num_iid=\"N" + id + "\" sku_id=\"S" + id + "\" sku_properties_name=\"颜色:红\" title=\"宝贝" + id
           + "\" commoditycode=\"C" + id + "\" num=\"2\" total_fee=\"30\" payment=\"30\" refund_fee=\"" + fee
           + "\" reason=\"不想要了" + id + "\" desc1=\"说明" + id + "\" pic_path=\"\"";
}
QByteArray refundPage(const QList<QByteArray>& list)
{
    return "<response><pagecount>1</pagecount><recordcount>" + QByteArray::number(list.size()) + "</recordcount>"
           + rows("xmldata", packet(kRefundFields, list)) + "</response>";
}
// Every tab has something of its own, and one refund is older than the history line.
QByteArray mixedPage()
{
    return refundPage({refund("R1", "SUCCESS", "NOT_REFUNDING", "amy", "shop", true, "30"),
                       refund("R2", "SUCCESS", "REFUNDINGED", "bob", "shop", true, "10"),
                       refund("R3", "WAIT_SELLER_AGREE", "NOT_REFUNDING", "amy", "shop", false, "5"),
                       refund("R4", "WAIT_BUYER_RETURN_GOODS", "NOT_REFUNDING", "bob", "shop", true, "5"),
                       refund("R5", "WAIT_SELLER_CONFIRM_GOODS", "NOT_REFUNDING", "bob", "shop", true, "5"),
                       refund("R6", "SELLER_REFUSE_BUYER", "NOT_REFUNDING", "bob", "shop", true, "5"),
                       refund("R7", "CLOSED", "NOT_REFUNDING", "bob", "shop", true, "5", "2020-01-01 10:00:00"),
                       refund("R8", "WAIT_SELLER_AGREE", "NOT_REFUNDING", "carl", "shop", true, "5")});
}
// Finished refunds to be made receipts: amy from two accounts, amy twice from one.
QByteArray finishedPage()
{
    return refundPage({refund("F1", "SUCCESS", "NOT_REFUNDING", "amy", "shop", true, "30", "2099-01-01 10:00:00", true),
                       refund("F2", "SUCCESS", "NOT_REFUNDING", "amy", "shop:bob", false, "12.5", "2099-01-01 10:00:00", true),
                       refund("F3", "SUCCESS", "NOT_REFUNDING", "amy", "shop", true, "7", "2099-01-01 10:00:00", true),
                       refund("F4", "SUCCESS", "NOT_REFUNDING", "carl", "shop", true, "1", "2099-01-01 10:00:00", false)});
}
const QByteArray kRights = "<modulepower>isupdate=True;isaudit=True;issearch=True;isprint=True;isoutput=True;iscolumn=True;</modulepower>";
QString refundModule()
{
    return QStringLiteral("<response><moduletitle>退款管理</moduletitle>") + kRights
           + "<search>Refund.Search</search><tradestatus>Lookup.TradeStatus</tradestatus><refundstatus>Lookup.RefundStatus</refundstatus>"
             "<goodstatus>Lookup.GoodStatus</goodstatus><cs_status>Lookup.CsStatus</cs_status><storage>Lookup.Storage</storage>"
             "<searchrefunding>Refund.SearchRefunding</searchrefunding><updatepicking>Refunding.Update</updatepicking>"
             "<listrefunding>Refunding.Module</listrefunding></response>";
}

QList<QMap<QString, QString>> newRows(const QString& delta)
{
    QList<QMap<QString, QString>> out;
    QXmlStreamReader r(delta);
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement() && r.name() == u"new") {
            QMap<QString, QString> row;
            for (const QXmlStreamAttribute& a : r.attributes())
                row.insert(a.name().toString(), a.value().toString());
            out.append(row);
        }
    }
    return out;
}
QStringList values(const QList<QMap<QString, QString>>& list, const QString& field)
{
    QStringList out;
    for (const auto& row : list)
        out << row.value(field);
    return out;
}
QStringList column(TPClientDataSet* ds, const QString& field)
{
    QStringList out;
    for (ds->First(); !ds->Eof(); ds->Next())
        out << ds->FieldByName(field)->AsString();
    return out;
}
// With KX_SCREENSHOTS naming a folder, what the operator sees is kept there as a picture.
void shot(QWidget* w, const char* name, QSize at = QSize(1100, 640))
{
    const QString dir = qEnvironmentVariable("KX_SCREENSHOTS");
    if (dir.isEmpty())
        return;
    w->resize(w->size().expandedTo(at));
    QCoreApplication::processEvents();
    w->grab().save(dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}
bool locate(TPClientDataSet* ds, const QString& id)
{
    return ds->Locate(QStringLiteral("refund_id"), id);
}
}

class TestRefundForms : public QObject {
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
    std::unique_ptr<TfrmRefund> openRefunds(const QByteArray& page, const QStringList& fixed = {})
    {
        m_svc->answer("Refund.Search", page);
        auto form = std::make_unique<TfrmRefund>();
        form->InitModule(refundModule());
        form->FixedConditions() << fixed;
        form->show();
        return form;
    }

    // A saved (1) or audited (2) receipt with a refund's line (and a typed one), its storage
    // set or not, in the edit window.
    std::unique_ptr<TfrmRefundingEdit> openReceipt(int status, bool storage, bool typedLine = false)
    {
        QList<QByteArray> lineRows{"md5_key=\"K1\" refundingid=\"RF1\" seq=\"1\" refund_id=\"R1\" has_good_return=\"true\" "
                                   "commoditycode=\"CR1\" title=\"宝贝R1\" sku_properties_name=\"颜色:红\" num=\"2\" total_fee=\"15\" "
                                   "refund_fee=\"30\" num_iid=\"NR1\" sku_id=\"SR1\" seller_nick=\"shop\""};
        if (typedLine)
            lineRows << "md5_key=\"K1\" refundingid=\"RF1\" seq=\"2\" has_good_return=\"true\" commoditycode=\"C8\" title=\"手套\" "
                        "num=\"1\" total_fee=\"8\" refund_fee=\"8\" num_iid=\"N8\" seller_nick=\"shop\"";
        const QByteArray money = typedLine ? "38" : "30";
        m_svc->answer("Refunding.Load", "<response>"
                                            + rows("xmlmaster", packet(kReceiptFields, {"md5_key=\"K1\" refundingid=\"RF1\" buyer_nick=\"amy\" seller_nick=\"shop\" "
                                                                                        "status=\"" + QByteArray::number(status) + "\" refundingmoney=\"" + money + "\""
                                                                                        + (storage ? " storageid=\"3\"" : "")}))
                                            + rows("xmldetail", packet(kReceiptLineFields, lineRows)) + "</response>");
        m_svc->answer("Lookup.DocStatus", "<response/>");
        m_svc->answer("Refunding.Update", "<response/>");
        auto edit = std::make_unique<TfrmRefundingEdit>();
        edit->InitModule("<response><moduletitle>退货入库单编辑</moduletitle>" + kRights
                         + "<search>Refunding.Load</search><update>Refunding.Update</update><audit>Refunding.Audit</audit>"
                           "<status>Lookup.DocStatus</status><storage>Lookup.Storage</storage></response>");
        edit->FixedConditions() << "refundingid=RF1";
        edit->show();
        m_ui->clear();
        return edit;
    }

private Q_SLOTS:
    void init()
    {
        gNickName = QStringLiteral("shop");
        gSubNicks = QStringList{QStringLiteral("shop:bob")};
        gShopId = QStringLiteral("S01");
        gOperId = QStringLiteral("admin");
        gOperName = QStringLiteral("管理员");
        m_svc = std::make_unique<TFakeService>();
        m_ui = std::make_unique<TScriptedUi>();
        const QByteArray empty = "<response>" + rows("xmlmaster", packet(kReceiptFields, {}))
                                 + rows("xmldetail", packet(kReceiptLineFields, {})) + "</response>";
        m_svc->answer("Refund.SearchRefunding", empty);
        m_svc->answer("Refunding.Update", empty);
        m_svc->answer("Lookup.Storage", "<response>" + rows("xmldata", packet(textFields({"storageid", "storagename"}),
                                                                                {"storageid=\"3\" storagename=\"退货仓\""})) + "</response>");
        m_svc->answer("Refunding.Module", "<response><moduleclass>TTestRefundingList</moduleclass><moduletitle>退货入库单</moduletitle>"
                                          "<modal>true</modal></response>");
        m_svc->answer("Refund.Agree", "<response><moduleclass>TfrmRefundAgree</moduleclass><modal>true</modal></response>");
        m_svc->answer("Refund.Refuse", "<response><moduleclass>TfrmRefundRefuse</moduleclass><modal>true</modal></response>");
        for (const char* list : {"Lookup.TradeStatus", "Lookup.RefundStatus", "Lookup.GoodStatus", "Lookup.CsStatus"})
            m_svc->answer(list, "<response>" + rows("xmldata", packet(textFields({"status", "statusname"}), {})) + "</response>");
        m_svc->answer("NetShop.AgreeRefund", "<response/>");
        m_svc->answer("NetShop.RefuseRefund", "<response/>");
    }
    void cleanup()
    {
        m_ui.reset();
        m_svc.reset();
    }

    // Opening: the lookups, the empty receipt structures, then the first page; opened on a
    // condition (one refund from an order line) it asks page 0 and shows every tab's rows.
    void opening_data()
    {
        QTest::addColumn<QStringList>("fixed");
        QTest::addColumn<QString>("curpage");
        QTest::addColumn<int>("tab");
        QTest::newRow("from the menu") << QStringList{} << "-1" << 0;
        QTest::newRow("for one refund") << QStringList{"refund_id=R3"} << "0" << 2;
    }
    void opening()
    {
        QFETCH(QStringList, fixed);
        QFETCH(QString, curpage);
        QFETCH(int, tab);
        auto form = openRefunds(mixedPage(), fixed);
        QCOMPARE(m_svc->modules(), (QStringList{"Lookup.TradeStatus", "Lookup.RefundStatus", "Lookup.GoodStatus", "Lookup.CsStatus",
                                                "Refund.SearchRefunding", "Refund.Search"}));
        QCOMPARE(callsOf("Refund.SearchRefunding").value(0).value("refunding"), QString());
        const TFakeCall search = callsOf("Refund.Search").value(0);
        QCOMPARE(search.value("curpage"), curpage);
        if (!fixed.isEmpty())
            QCOMPARE(search.value("refund_id"), QStringLiteral("R3"));
        QCOMPARE(form->Tabs()->currentIndex(), tab);
        QCOMPARE(form->Tabs()->count(), 10);
        QCOMPARE(form->Tabs()->tabText(9), QStringLiteral("  历史退单  "));
        form->Tabs()->setCurrentIndex(2);
        shot(form.get(), "refund_list");
    }

    // Each tab's filter, exactly, which refunds it leaves, and whether refunds can be ticked
    // and made receipts there.
    void tabs_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("quick");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("shown");
        const QString old = QDate::currentDate().addDays(-30).toString("yyyy-MM-dd");
        QTest::newRow("not refunded") << 0 << "" << "dbstatus='NOT_REFUNDING'  and status='SUCCESS'" << QStringList{"R1"};
        QTest::newRow("refunded") << 1 << "" << "dbstatus='REFUNDINGED'" << QStringList{"R2"};
        QTest::newRow("all") << 2 << "" << "" << QStringList{"R1", "R2", "R3", "R4", "R5", "R6", "R7", "R8"};
        QTest::newRow("all, keyword alone") << 2 << " amy " << "(buyer_nick ='amy*' or refund_id='amy*')" << QStringList{"R1", "R3"};
        QTest::newRow("requested") << 3 << "" << "status='WAIT_SELLER_AGREE'" << QStringList{"R3", "R8"};
        QTest::newRow("requested, by number") << 3 << "R8" << "status='WAIT_SELLER_AGREE' and (buyer_nick ='R8*' or refund_id='R8*')" << QStringList{"R8"};
        QTest::newRow("agreed") << 4 << "" << "status='WAIT_BUYER_RETURN_GOODS'" << QStringList{"R4"};
        QTest::newRow("returned") << 5 << "" << "status='WAIT_SELLER_CONFIRM_GOODS'" << QStringList{"R5"};
        QTest::newRow("refused") << 6 << "" << "status='SELLER_REFUSE_BUYER'" << QStringList{"R6"};
        QTest::newRow("closed") << 7 << "" << "status='CLOSED'" << QStringList{"R7"};
        QTest::newRow("success") << 8 << "" << "status='SUCCESS'" << QStringList{"R1", "R2"};
        QTest::newRow("history") << 9 << "" << "created <'" + old + " 00:00:00'" << QStringList{"R7"};
    }
    void tabs()
    {
        QFETCH(int, tab);
        QFETCH(QString, quick);
        QFETCH(QString, filter);
        QFETCH(QStringList, shown);
        auto form = openRefunds(mixedPage());
        form->Tabs()->setCurrentIndex(tab);
        form->QuickFilter()->setText(quick);
        QCOMPARE(form->Refunds()->Filter(), filter);
        QCOMPARE(column(form->Refunds(), "refund_id"), shown);
        QCOMPARE(form->Button("生成退款单")->isEnabled(), tab == 0);
        QCOMPARE(form->Grid()->ColumnByField("ischeck")->Visible, tab == 0);
        // The side panel follows the focused refund.
        form->Refunds()->First();
        QCOMPARE(form->ReasonBox()->toPlainText(), QStringLiteral("不想要了") + shown.first());
        QCOMPARE(form->DescBox()->toPlainText(), QStringLiteral("说明") + shown.first());
        // The list never asks the service again for a tab.
        QCOMPARE(callsOf("Refund.Search").size(), 1);
    }

    // The right-click menu: agreeing to a return only on a requested refund with goods coming
    // back; refusing on requested and returned refunds; nothing elsewhere.
    void popupMenu_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("refundId");
        QTest::addColumn<bool>("agree");
        QTest::addColumn<bool>("refuse");
        QTest::newRow("requested, goods back") << 3 << "R8" << true << true;
        QTest::newRow("requested, money only") << 3 << "R3" << false << true;
        QTest::newRow("returned") << 5 << "R5" << false << true;
        QTest::newRow("agreed") << 4 << "R4" << false << false;
        QTest::newRow("all") << 2 << "R8" << false << false;
        QTest::newRow("history, empty") << 9 << "" << false << false;
    }
    void popupMenu()
    {
        QFETCH(int, tab);
        QFETCH(QString, refundId);
        QFETCH(bool, agree);
        QFETCH(bool, refuse);
        auto form = openRefunds(refundId.isEmpty() ? refundPage({}) : mixedPage());
        form->Tabs()->setCurrentIndex(tab);
        if (!refundId.isEmpty())
            QVERIFY(locate(form->Refunds(), refundId));
        form->UpdatePopup();
        QCOMPARE(form->AgreeAction()->isVisible(), agree);
        QCOMPARE(form->RefuseAction()->isVisible(), refuse);
    }

    // Agreeing: the boxes are tested in order, the first empty one focused with its message and
    // nothing sent; filled, the trimmed values go out for the refund's own shop account.
    void agreeChecks_data()
    {
        QTest::addColumn<int>("empty");   // the box left blank; -1: none
        QTest::addColumn<QString>("message");
        QTest::newRow("name") << 0 << "卖家姓名不能为空！";
        QTest::newRow("address") << 1 << "退货地址不能为空！";
        QTest::newRow("zip") << 2 << "邮政编码不能为空！";
        QTest::newRow("landline") << 3 << "卖家座机不能为空！";
        QTest::newRow("mobile") << 4 << "卖家手机不能为空！";
    }
    void agreeChecks()
    {
        QFETCH(int, empty);
        QFETCH(QString, message);
        TfrmRefundAgree dialog;
        dialog.SetRefund("R8", "shop:bob");
        const QList<QLineEdit*> boxes{dialog.NameEdit(), dialog.AddressEdit(), dialog.ZipEdit(), dialog.PhoneEdit(), dialog.MobileEdit()};
        for (int i = 0; i < boxes.size(); ++i)
            boxes[i]->setText(i == empty ? "   " : "x");
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        shot(&dialog, "refund_agree", dialog.size());
        dialog.btnAgreeClick();
        QCOMPARE(m_ui->texts, QStringList{message});
        QCOMPARE(QApplication::focusWidget(), boxes[empty]);
        QVERIFY(m_svc->calls().isEmpty());
        QVERIFY(dialog.ModalResult() != mrOk);
    }

    // Agreeing from the list: the address picked from the return addresses, the remark typed;
    // the marketplace's answer decides whether the refund now waits for the goods.
    void agreeFromTheList_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::newRow("agreed") << false;
        QTest::newRow("refused by the marketplace") << true;
    }
    void agreeFromTheList()
    {
        QFETCH(bool, refused);
        if (refused)
            m_svc->fail("NetShop.AgreeRefund", 27, "退款已关闭");
        m_svc->answer("Select.RefundRen", "<response><moduleclass>TFrmSelect</moduleclass><modal>true</modal></response>");
        auto form = openRefunds(mixedPage());
        form->Tabs()->setCurrentIndex(3);
        QVERIFY(locate(form->Refunds(), "R8"));
        m_svc->clearCalls();
        m_ui->onModal = [](QWidget* w) {
            auto* agree = qobject_cast<TfrmRefundAgree*>(w);
            if (!agree) {
                // The return address pick: its chosen row goes into the result stream.
                auto* pick = qobject_cast<TfrmBase*>(w);
                TPClientDataSet chosen;
                chosen.SetKXXMLData(packet(textFields({"sender_name", "sender_address", "sender_zip", "sender_phone", "sender_mobile"}),
                                           {"sender_name=\"王五\" sender_address=\"杭州西湖路1号\" sender_zip=\"310000\" "
                                            "sender_phone=\"0571-1234\" sender_mobile=\"13800000000\""}));
                pick->ResultStream()->buffer().clear();
                pick->ResultStream()->seek(0);
                chosen.SaveToStream(pick->ResultStream());
                return int(mrOk);
            }
            agree->btnPickClick();
            agree->RemarkEdit()->setPlainText("  请走顺丰  ");
            agree->btnAgreeClick();
            return agree->ModalResult();
        };
        form->AgreeClick();
        const TFakeCall call = callsOf("NetShop.AgreeRefund").value(0);
        QCOMPARE(call.names().mid(call.names().indexOf("module") + 1),
                 (QStringList{"detailnick", "refund_id", "name", "address", "post", "tel", "mobile", "remark"}));
        QCOMPARE(call.value("detailnick"), QStringLiteral("shop"));
        QCOMPARE(call.value("refund_id"), QStringLiteral("R8"));
        QCOMPARE(call.value("name"), QStringLiteral("王五"));
        QCOMPARE(call.value("address"), QStringLiteral("杭州西湖路1号"));
        QCOMPARE(call.value("post"), QStringLiteral("310000"));
        QCOMPARE(call.value("tel"), QStringLiteral("0571-1234"));
        QCOMPARE(call.value("mobile"), QStringLiteral("13800000000"));
        QCOMPARE(call.value("remark"), QStringLiteral("请走顺丰"));
        form->Tabs()->setCurrentIndex(2);
        QVERIFY(locate(form->Refunds(), "R8"));
        QCOMPARE(form->Refunds()->FieldByName("status")->AsString(),
                 refused ? QStringLiteral("WAIT_SELLER_AGREE") : QStringLiteral("WAIT_BUYER_RETURN_GOODS"));
        QCOMPARE(form->Refunds()->ChangeCount(), 0);
        if (refused)
            QVERIFY(m_ui->lastText().contains("退款已关闭"));
    }

    // Refusing: a reason is required; it goes out trimmed for the refund's shop account; only
    // an accepted refusal changes the row.
    void refuse_data()
    {
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("failing");
        QTest::addColumn<bool>("sent");
        QTest::addColumn<QString>("status");
        QTest::newRow("no reason") << "  \n " << false << false << "WAIT_SELLER_CONFIRM_GOODS";
        QTest::newRow("refused") << "  货物已损坏  " << false << true << "SELLER_REFUSE_BUYER";
        QTest::newRow("marketplace says no") << "货物已损坏" << true << true << "WAIT_SELLER_CONFIRM_GOODS";
    }
    void refuse()
    {
        QFETCH(QString, reason);
        QFETCH(bool, failing);
        QFETCH(bool, sent);
        QFETCH(QString, status);
        if (failing)
            m_svc->fail("NetShop.RefuseRefund", 27, "已超过处理期限");
        auto form = openRefunds(mixedPage());
        form->Tabs()->setCurrentIndex(5);
        QVERIFY(locate(form->Refunds(), "R5"));
        m_ui->onModal = [reason](QWidget* w) {
            auto* refuse = qobject_cast<TfrmRefundRefuse*>(w);
            refuse->MessageEdit()->setPlainText(reason);
            refuse->btnRefuseClick();
            return refuse->ModalResult();
        };
        form->RefuseClick();
        const QList<TFakeCall> calls = callsOf("NetShop.RefuseRefund");
        QCOMPARE(calls.size(), sent ? 1 : 0);
        if (sent) {
            QCOMPARE(calls[0].value("detailnick"), QStringLiteral("shop"));
            QCOMPARE(calls[0].value("refund_id"), QStringLiteral("R5"));
            QCOMPARE(calls[0].value("refuse_message"), QStringLiteral("货物已损坏"));
        } else {
            QCOMPARE(m_ui->texts, QStringList{"拒绝退款说明不能为空！"});
        }
        form->Tabs()->setCurrentIndex(2);
        QVERIFY(locate(form->Refunds(), "R5"));
        QCOMPARE(form->Refunds()->FieldByName("status")->AsString(), status);
    }

    // Several refunds selected at once: one call per shop account (money-only refunds left out
    // of agreeing to a return), the rows the marketplace took change, the refused ones stay and
    // are named in one message at the end. Returned goods confirmed end the refunds refunded.
    void answerManyAtOnce_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QStringList>("selected");
        QTest::addColumn<QStringList>("calls");      // detailnick|refund_id of each call
        QTest::addColumn<QStringList>("statuses");   // refund=status after
        QTest::addColumn<QString>("named");          // in the one message at the end; empty: none
        QTest::newRow("agree, one refused") << "agree" << 3 << QStringList{"A1", "A3", "A4"} << QStringList{"shop|A1,A4"}
                                            << QStringList{"A1=WAIT_BUYER_RETURN_GOODS", "A3=WAIT_SELLER_AGREE", "A4=WAIT_SELLER_AGREE"}
                                            << "A4：退款 A4 已关闭，不能再处理";
        QTest::newRow("refuse, one account refused") << "refuse" << 3 << QStringList{"A1", "A2", "A3"} << QStringList{"shop|A1,A3", "shop:bob|A2"}
                                                     << QStringList{"A1=SELLER_REFUSE_BUYER", "A2=WAIT_SELLER_AGREE", "A3=SELLER_REFUSE_BUYER"}
                                                     << "退款 A2 卖家已处理，不能重复处理";
        QTest::newRow("confirm the goods back") << "confirm" << 5 << QStringList{"C1", "C2"} << QStringList{"shop|C1,C2"}
                                                << QStringList{"C1=SUCCESS", "C2=SUCCESS"} << "";
    }
    void answerManyAtOnce()
    {
        QFETCH(QString, action);
        QFETCH(int, tab);
        QFETCH(QStringList, selected);
        QFETCH(QStringList, calls);
        QFETCH(QStringList, statuses);
        QFETCH(QString, named);
        const QString method = action == "refuse" ? "NetShop.RefuseRefund" : "NetShop.AgreeRefund";
        m_svc->answerWhen(method, "detailnick", "shop", action == "agree" ? "<response><done>A1</done><refused>A4：退款 A4 已关闭，不能再处理</refused></response>"
                                                        : action == "refuse" ? "<response><done>A1,A3</done><refused></refused></response>"
                                                                             : "<response><done>C1,C2</done><refused></refused></response>");
        m_svc->answerWhen(method, "detailnick", "shop:bob",
                          "<error_response><code>27</code><msg>拒绝退款失败：A2：退款 A2 卖家已处理，不能重复处理</msg></error_response>");
        auto form = openRefunds(refundPage({refund("A1", "WAIT_SELLER_AGREE", "NOT_REFUNDING", "amy", "shop", true, "5"),
                                            refund("A2", "WAIT_SELLER_AGREE", "NOT_REFUNDING", "bob", "shop:bob", true, "5"),
                                            refund("A3", "WAIT_SELLER_AGREE", "NOT_REFUNDING", "carl", "shop", false, "5"),
                                            refund("A4", "WAIT_SELLER_AGREE", "NOT_REFUNDING", "dan", "shop", true, "5"),
                                            refund("C1", "WAIT_SELLER_CONFIRM_GOODS", "NOT_REFUNDING", "amy", "shop", true, "5"),
                                            refund("C2", "WAIT_SELLER_CONFIRM_GOODS", "NOT_REFUNDING", "bob", "shop", true, "5")}));
        form->Tabs()->setCurrentIndex(tab);
        QList<int> rows;
        for (const QString& id : selected) {
            QVERIFY(locate(form->Refunds(), id));
            rows << form->Grid()->GridModel()->RowOf(form->Refunds()->CurrentIndex());
        }
        for (int row : rows)
            form->Grid()->selectionModel()->select(form->Grid()->GridModel()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        form->UpdatePopup();
        QCOMPARE(form->AgreeAction()->isVisible(), tab == 3);   // goods come back on some selected
        QCOMPARE(form->ConfirmAction()->isVisible(), action == "confirm");
        QVERIFY(form->RefuseAction()->isVisible());
        m_svc->clearCalls();
        m_ui->texts.clear();
        m_ui->onModal = [](QWidget* w) {
            if (auto* agree = qobject_cast<TfrmRefundAgree*>(w)) {
                for (QLineEdit* box : {agree->NameEdit(), agree->AddressEdit(), agree->ZipEdit(), agree->PhoneEdit(), agree->MobileEdit()})
                    box->setText("x");
                agree->btnAgreeClick();
                return agree->ModalResult();
            }
            auto* refuse = qobject_cast<TfrmRefundRefuse*>(w);
            refuse->MessageEdit()->setPlainText("不同意");
            refuse->btnRefuseClick();
            return refuse->ModalResult();
        };
        if (action == "agree")
            form->AgreeClick();
        else if (action == "refuse")
            form->RefuseClick();
        else
            form->ConfirmClick();
        QStringList sent;
        for (const TFakeCall& c : callsOf(method))
            sent << c.value("detailnick") + "|" + c.value("refund_id");
        QCOMPARE(sent, calls);
        form->Tabs()->setCurrentIndex(2);
        for (const QString& s : statuses) {
            QVERIFY(locate(form->Refunds(), s.section('=', 0, 0)));
            QCOMPARE(form->Refunds()->FieldByName("status")->AsString(), s.section('=', 1));
        }
        QCOMPARE(form->Refunds()->ChangeCount(), 0);
        QStringList messages = m_ui->texts;
        if (action == "confirm")
            QVERIFY2(messages.value(0).contains("C1，C2") && messages.value(0).contains("确认已收到"), qPrintable(messages.value(0)));
        if (action == "confirm")
            messages.removeFirst();
        QCOMPARE(messages.size(), named.isEmpty() ? 0 : 1);
        if (!named.isEmpty())
            QVERIFY2(messages[0].contains(named), qPrintable(messages[0]));
    }

    // The download: six state boxes or all of them (one "REFUND_ALL" call), the status line
    // the account followed by the state's text, and the single refund by number.
    void download_data()
    {
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QString>("line");
        QTest::newRow("all six") << QStringList{"全部状态"} << QStringList{"REFUND_ALL"} << "shop:bob  全部状态退款单下载完成！";
        QTest::newRow("two of them") << QStringList{"退款关闭", "申请退款"} << QStringList{"WAIT_SELLER_AGREE", "REFUND_CLOSED"}
                                     << "shop:bob  退款关闭的退款单下载完成！";
    }
    void download()
    {
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, statuses);
        QFETCH(QString, line);
        m_svc->answer("NetShop.DownRefunds", "<response><total_results>0</total_results></response>");
        TfrmRefundDown dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("下载退款单"));
        dialog.NickList()->item(1)->setCheckState(Qt::Checked);
        for (const QString& b : boxes)
            dialog.StateBox(b)->setChecked(true);
        dialog.DayBox()->setCurrentIndex(2);
        dialog.btnDownClick();
        QStringList sent;
        for (const TFakeCall& c : callsOf("NetShop.DownRefunds")) {
            QCOMPARE(c.value("detailnick"), QStringLiteral("shop:bob"));
            QCOMPARE(c.value("daynum"), QStringLiteral("7"));
            sent << c.value("status");
        }
        QCOMPARE(sent, statuses);
        QCOMPARE(dialog.StatusLine()->text(), line);

        m_svc->answer("NetShop.DownRefund", "<response/>");
        QCOMPARE(dialog.SingleNick()->currentText(), QStringLiteral("shop"));
        dialog.NumberEdit()->setText(" R9 ");
        dialog.btnDownOneClick();
        const TFakeCall one = callsOf("NetShop.DownRefund").value(0);
        QCOMPARE(one.value("detailnick"), QStringLiteral("shop"));
        QCOMPARE(one.value("refund_id"), QStringLiteral("R9"));
        QCOMPARE(m_ui->lastText(), QStringLiteral("退款单下载成功！"));
    }

    // Ticked finished refunds become receipts in one save with their marks: merged by buyer and
    // shop account (the same buyer from two accounts stays two receipts) or one per refund;
    // then the receipt list opens on the new numbers.
    void generate_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QStringList>("sellers");
        QTest::addColumn<QStringList>("money");
        QTest::addColumn<QStringList>("lineRefunds");
        QTest::addColumn<QStringList>("seqs");
        QTest::newRow("merged") << 1 << QStringList{"shop", "shop:bob"} << QStringList{"37.0000", "12.5000"}
                                << QStringList{"F1", "F3", "F2"} << QStringList{"1", "2", "1"};
        QTest::newRow("one per refund") << 0 << QStringList{"shop", "shop:bob", "shop"} << QStringList{"30.0000", "12.5000", "7.0000"}
                                        << QStringList{"F1", "F2", "F3"} << QStringList{"1", "1", "1"};
    }
    void generate()
    {
        QFETCH(int, choice);
        QFETCH(QStringList, sellers);
        QFETCH(QStringList, money);
        QFETCH(QStringList, lineRefunds);
        QFETCH(QStringList, seqs);
        auto form = openRefunds(finishedPage());
        m_svc->clearCalls();
        QStringList offered, listConditions;
        m_ui->onModal = [&](QWidget* w) {
            if (auto* d = qobject_cast<TfrmRefund2Refunding*>(w)) {
                offered = {d->Choice(0)->text(), d->Choice(1)->text()};
                d->StorageBox()->setCurrentIndex(0);
                d->Choice(choice)->setChecked(true);
                d->btnCreateClick();
                return d->ModalResult();
            }
            listConditions = qobject_cast<TfrmBase*>(w)->FixedConditions();
            return int(mrOk);
        };
        form->dxBL_GenerateClick();
        QCOMPARE(m_svc->modules(), (QStringList{"Lookup.Storage", "Refunding.Update", "Refunding.Module"}));
        QCOMPARE(m_svc->calls()[0].value("storagetype"), QStringLiteral("3"));
        QCOMPARE(offered, (QStringList{"逐单退款(3单)", "合并退款(2单)"}));
        const TFakeCall save = callsOf("Refunding.Update").value(0);
        QCOMPARE(save.files.keys(), (QStringList{"delta", "deltadetail", "deltamaster"}));
        const auto marks = newRows(save.files.value("delta"));
        QCOMPARE(values(marks, "refund_id"), (QStringList{"F1", "F2", "F3"}));
        QCOMPARE(values(marks, "dbstatus"), (QStringList{"REFUNDINGED", "REFUNDINGED", "REFUNDINGED"}));
        const auto heads = newRows(save.files.value("deltamaster"));
        QCOMPARE(values(heads, "seller_nick"), sellers);
        QCOMPARE(values(heads, "refundingmoney"), money);
        for (const auto& h : heads) {
            QCOMPARE(h.value("buyer_nick"), QStringLiteral("amy"));
            QCOMPARE(h.value("storageid"), QStringLiteral("3"));
            QCOMPARE(h.value("shopcode"), QStringLiteral("S01"));
            QCOMPARE(h.value("status"), QStringLiteral("0"));
            QCOMPARE(h.value("inputren"), QStringLiteral("[admin]管理员"));
            QCOMPARE(h.value("md5_key").size(), 32);
        }
        const auto lines = newRows(save.files.value("deltadetail"));
        QCOMPARE(values(lines, "refund_id"), lineRefunds);
        QCOMPARE(values(lines, "seq"), seqs);
        QCOMPARE(values(lines, "md5_key").first(), values(heads, "md5_key").first());
        QCOMPARE(values(lines, "md5_key").last(), values(heads, "md5_key").last());
        QCOMPARE(values(lines, "has_good_return").value(lineRefunds.indexOf("F2")), QStringLiteral("0"));
        QCOMPARE(values(lines, "num").first(), QStringLiteral("2.0000"));
        QCOMPARE(values(lines, "total_fee").first(), QStringLiteral("30.0000"));
        QCOMPARE(values(lines, "title").first(), QStringLiteral("宝贝F1"));
        QCOMPARE(m_ui->messages.first().text, QStringLiteral("真的需要批量生成退款单吗？"));
        QCOMPARE(m_ui->lastText(), QStringLiteral("退款单数据提交成功！"));
        // Made receipts: they leave "未退款", unticked and with nothing pending.
        QCOMPARE(column(form->Refunds(), "refund_id"), QStringList{"F4"});
        QVERIFY(form->Refunds()->GetEmptyDelta());
        QCOMPARE(listConditions, (QStringList{"refundingid1=", "refundingid2="}));
    }

    // A generation cancelled at the question or refused by the service leaves the refunds
    // unmarked and ticked; no list opens.
    void unsavedGenerationLeavesTheRefunds_data()
    {
        QTest::addColumn<bool>("refused");
        QTest::newRow("cancelled") << false;
        QTest::newRow("refused") << true;
    }
    void unsavedGenerationLeavesTheRefunds()
    {
        QFETCH(bool, refused);
        if (refused)
            m_svc->fail("Refunding.Update", 50, "退款单F1已生成退款单RF0001");
        else
            m_ui->answers.enqueue(mrCancel);
        auto form = openRefunds(finishedPage());
        m_ui->onModal = [](QWidget* w) {
            auto* d = qobject_cast<TfrmRefund2Refunding*>(w);
            if (!d)
                return int(mrOk);
            d->StorageBox()->setCurrentIndex(0);
            d->btnCreateClick();
            return d->ModalResult();
        };
        form->dxBL_GenerateClick();
        QCOMPARE(callsOf("Refunding.Update").size(), refused ? 1 : 0);
        QVERIFY(callsOf("Refunding.Module").isEmpty());
        QCOMPARE(column(form->Refunds(), "refund_id"), (QStringList{"F1", "F2", "F3", "F4"}));
        QCOMPARE(column(form->Refunds(), "ischeck"), (QStringList{"True", "True", "True", "False"}));
        QVERIFY(form->Refunds()->GetEmptyDelta());
    }

    // The receipt list opened after generation: its storages are the return storages, its
    // query carries the new numbers and no shop, and the focused receipt's lines follow.
    void receiptList()
    {
        m_svc->answer("Refunding.Search", "<response><pagecount>1</pagecount><recordcount>1</recordcount>"
                                          + rows("xmldata", packet(kReceiptFields, {"refundingid=\"RF1\" storageid=\"3\" status=\"1\""}))
                                          + "</response>");
        m_svc->answer("Refunding.ListDetail", "<response>" + rows("xmldata", packet(kReceiptLineFields, {"refundingid=\"RF1\" seq=\"1\" refund_fee=\"9\""}))
                                              + "</response>");
        m_svc->answer("Lookup.DocStatus", "<response/>");
        TfrmRefunding list;
        list.InitModule("<response><moduletitle>退货入库单</moduletitle>" + kRights
                        + "<search>Refunding.Search</search><listdetail>Refunding.ListDetail</listdetail><status>Lookup.DocStatus</status>"
                          "<storage>Lookup.Storage</storage><module>Refunding.Edit</module></response>");
        list.FixedConditions() << "refundingid1=RF1" << "refundingid2=RF2";
        list.show();
        QCOMPARE(callsOf("Lookup.Storage").value(0).value("storagetype"), QStringLiteral("3"));
        const TFakeCall search = callsOf("Refunding.Search").value(0);
        QCOMPARE(search.names().mid(search.names().indexOf("module") + 1), (QStringList{"refundingid1", "refundingid2", "curpage"}));
        QCOMPARE(search.value("refundingid2"), QStringLiteral("RF2"));
        QCOMPARE(search.value("curpage"), QStringLiteral("0"));
        QCOMPARE(callsOf("Refunding.ListDetail").value(0).value("refundingid"), QStringLiteral("RF1"));
        QCOMPARE(column(list.Lines(), "refund_fee"), QStringList{"9.0000"});
        shot(&list, "refunding_list");
    }

    // The edit window refuses, and sends nothing: a line without a shop account, any change
    // to an audited receipt (before the storage is looked at), a receipt without its return
    // storage, a save with nothing changed, an audit of unsaved changes.
    void editRefusals_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("storage");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("message");
        QTest::newRow("insert without shop account") << 1 << true << "insert" << "掌柜名称不能为空！";
        QTest::newRow("save audited") << 2 << false << "save" << "非新建状态的单据，不能再改动！";
        QTest::newRow("save without storage") << 1 << false << "save" << "退款仓库不能为空！";
        QTest::newRow("save unchanged") << 1 << true << "save" << "数据没有变动，不用提交数据！";
        QTest::newRow("audit audited") << 2 << false << "audit" << "非新建状态的单据，不能提交审核！";
        QTest::newRow("audit without storage") << 1 << false << "audit" << "退款仓库不能为空！";
        QTest::newRow("audit unsaved") << 1 << true << "audit memo" << "数据有变动，请保存后再提交审核！";
    }
    void editRefusals()
    {
        QFETCH(int, status);
        QFETCH(bool, storage);
        QFETCH(QString, action);
        QFETCH(QString, message);
        auto edit = openReceipt(status, storage);
        const int lines = edit->Lines()->RecordCount();
        if (action == "insert") {
            edit->HeaderEdit("seller_nick")->setText("  ");
            edit->dxBL_InsertClick();
        } else if (action == "save") {
            edit->dxBL_SaveClick();
        } else {
            if (action.endsWith("memo"))
                QTest::keyClicks(edit->HeaderEdit("memo"), "x");
            edit->dxBL_AuditClick();
        }
        QCOMPARE(m_ui->texts, QStringList{message});
        QCOMPARE(edit->Lines()->RecordCount(), lines);
        QVERIFY(callsOf("Refunding.Update").isEmpty());
        QVERIFY(callsOf("Refunding.Audit").isEmpty());
    }

    // Lines: a product on a typed line brings its title, properties and price, one piece
    // refunded at that price; on a refund's line only the code changes. Quantity or unit amount
    // typed recompute a typed line's refund, never a refund's; the save sends the total.
    void receiptLines()
    {
        const QByteArray product = packet(textFields({"commoditycode", "commodityname", "propcolor", "propsize", "num_iid", "sku_id"}) + moneyFields({"saleprice"}),
                                          {"commoditycode=\"C9\" commodityname=\"围巾\" propcolor=\"红\" propsize=\"L\" num_iid=\"N9\" sku_id=\"S9\" saleprice=\"25\""});
        m_svc->answer("Select.Commodity", "<response><moduleclass>TFrmSelect</moduleclass><modal>true</modal><search>Select.CommoditySearch</search></response>");
        m_svc->answer("Select.CommoditySearch", "<response><recordcount>1</recordcount><pagecount>1</pagecount>" + rows("xmldata", product) + "</response>");
        auto edit = openReceipt(1, true);
        TPClientDataSet* lines = edit->Lines();
        edit->dxBL_InsertClick();
        QCOMPARE(lines->RecordCount(), 2);
        lines->Last();
        QCOMPARE(lines->FieldByName("seq")->AsInteger(), 2);
        QCOMPARE(lines->FieldByName("has_good_return")->AsBoolean(), true);
        QCOMPARE(lines->FieldByName("seller_nick")->AsString(), QStringLiteral("shop"));
        QCOMPARE(lines->FieldByName("md5_key")->AsString(), QStringLiteral("K1"));
        for (int row : {0, 1}) {
            lines->SetRecNo(row + 1);
            lines->Edit();
            lines->FieldByName("commoditycode")->SetAsString(" C9 ");
            lines->Post();
            edit->CodeEntered(row);
        }
        QCOMPARE(callsOf("Select.CommoditySearch").value(0).value("is_del"), QStringLiteral("0"));
        QCOMPARE(column(lines, "commoditycode"), (QStringList{"C9", "C9"}));
        QCOMPARE(column(lines, "title"), (QStringList{"宝贝R1", "围巾"}));
        QCOMPARE(column(lines, "sku_properties_name"), (QStringList{"颜色:红", "红  L"}));
        QCOMPARE(column(lines, "num"), (QStringList{"2.0000", "1.0000"}));
        QCOMPARE(column(lines, "refund_fee"), (QStringList{"30.0000", "25.0000"}));
        QCOMPARE(column(lines, "num_iid"), (QStringList{"NR1", "N9"}));
        TGridView* grid = edit->LineGrid();
        for (const char* field : {"num", "total_fee"})
            for (int row : {0, 1}) {
                const QModelIndex cell = grid->model()->index(row, grid->IndexOfColumn(grid->ColumnByField(field)));
                grid->setCurrentIndex(cell);
                QVERIFY(grid->model()->setData(cell, 3, Qt::EditRole));
                QCoreApplication::processEvents();
            }
        QCOMPARE(column(lines, "refund_fee").mid(0, 2), (QStringList{"30.0000", "9.0000"}));
        shot(edit.get(), "refunding_edit");
        // Entering the last number opens a line for the next code; the save leaves it out.
        edit->dxBL_SaveClick();
        const TFakeCall save = callsOf("Refunding.Update").value(0);
        const auto head = newRows(save.files.value("deltamaster"));
        QCOMPARE(values(head, "refundingmoney"), QStringList{"39.0000"});
        QCOMPARE(values(head, "status"), QStringList{"1"});
    }

    // A code no product has: a refund's line loses only its code, a typed line is emptied.
    void unknownCode()
    {
        m_svc->answer("Select.Commodity", "<response><moduleclass>TFrmSelect</moduleclass><modal>true</modal><search>Select.CommoditySearch</search></response>");
        m_svc->answer("Select.CommoditySearch", "<response><recordcount>0</recordcount><pagecount>0</pagecount>"
                                                    + rows("xmldata", packet(textFields({"commoditycode"}), {})) + "</response>");
        auto edit = openReceipt(1, true, true);
        TPClientDataSet* lines = edit->Lines();
        for (int row : {0, 1}) {
            lines->SetRecNo(row + 1);
            lines->Edit();
            lines->FieldByName("commoditycode")->SetAsString("NOPE");
            lines->Post();
            edit->CodeEntered(row);
        }
        QCOMPARE(m_ui->texts, (QStringList{"此信息不存在,请重新输入！", "此信息不存在,请重新输入！"}));
        QCOMPARE(column(lines, "commoditycode"), (QStringList{"", ""}));
        QCOMPARE(column(lines, "title"), (QStringList{"宝贝R1", ""}));
        QCOMPARE(column(lines, "refund_fee"), (QStringList{"30.0000", ""}));
    }
};

QTEST_MAIN(TestRefundForms)
#include "tst_refund_forms.moc"
