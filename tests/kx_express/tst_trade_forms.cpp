// The order download dialog against a scripted service: which states go out for which
// accounts and in what order, the probe and the pages, the progress bar held inside its range,
// the status line's texts, failures that do not stop the rest, and the single download. The
// orders window: its tabs and filters, the message and picture panels, the modules a line opens.
#include "FakeService.h"
#include "ScriptedUi.h"

#include "uCallModule.h"
#include "uConfig.h"
#include "ufrmTrade.h"
#include "ufrmTradeDown.h"
#include "ufrmTradeRate.h"
#include "uPClientDataSet.h"
#include "uGridView.h"

#include <QBuffer>
#include <QImage>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScopeGuard>
#include <QTabBar>
#include <QTextBrowser>
#include <QUrl>

#include <thread>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QButtonGroup>
#include <QPushButton>
#include <QtTest>

#include <httplib.h>

// Stands in for the modules a line opens: what it was given is what the test checks.
class TfrmLineProbe : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmLineProbe(QWidget* owner = nullptr) : TfrmBase(owner) {}
};
KX_REGISTER_CLASS(TfrmLineProbe)

namespace {
QByteArray total(int n)
{
    return "<response><total_results> " + QByteArray::number(n) + " </total_results></response>";
}
QString tradeModule()
{
    return QStringLiteral("<response><moduletitle>网络订单</moduletitle>"
                          "<modulepower>isupdate=True;issearch=True;isprint=True;isoutput=True;iscolumn=True;</modulepower>"
                          "<search>Trade.Search</search><tradestatus>Lookup.TradeStatus</tradestatus><codstatus>Lookup.CodStatus</codstatus>"
                          "<refundstatus>Lookup.RefundStatus</refundstatus><tradetype>Lookup.TradeType</tradetype>"
                          "<itempage>https://item.example.com/item?id=</itempage></response>");
}
QByteArray packet(const QByteArray& fields, const QList<QByteArray>& rows)
{
    QByteArray p = "<datapacket><fields>" + fields + "</fields><rows>";
    for (const QByteArray& r : rows)
        p += "<row " + r + "/>";
    return p + "</rows></datapacket>";
}
const QByteArray kOrderFields =
    "<field name=\"ischeck\" type=\"boolean\"/><field name=\"tid\" type=\"string\" size=\"30\"/>"
    "<field name=\"buyer_nick\" type=\"string\" size=\"50\"/><field name=\"status\" type=\"string\" size=\"40\"/>"
    "<field name=\"dbstatus\" type=\"string\" size=\"20\"/><field name=\"refund\" type=\"integer\"/>"
    "<field name=\"seller_rate\" type=\"boolean\"/><field name=\"buyer_message\" type=\"string\" size=\"500\"/>"
    "<field name=\"seller_memo\" type=\"string\" size=\"500\"/>";
const QByteArray kLineFields =
    "<field name=\"tid\" type=\"string\" size=\"30\"/><field name=\"oid\" type=\"string\" size=\"30\"/>"
    "<field name=\"num_iid\" type=\"string\" size=\"30\"/><field name=\"pic_path\" type=\"string\" size=\"300\"/>"
    "<field name=\"sku_properties_name\" type=\"string\" size=\"200\"/>";
QByteArray page(const QList<QByteArray>& orders, const QList<QByteArray>& lines, int pages = 1)
{
    return "<response><pagecount>" + QByteArray::number(pages) + "</pagecount><recordcount>" + QByteArray::number(orders.size() * pages)
           + "</recordcount><xmlmaster><![CDATA[" + packet(kOrderFields, orders) + "]]></xmlmaster><xmldetail><![CDATA["
           + packet(kLineFields, lines) + "]]></xmldetail></response>";
}
QStringList column(TPClientDataSet* ds, const QString& field)
{
    QStringList out;
    for (ds->First(); !ds->Eof(); ds->Next())
        out << ds->FieldByName(field)->AsString();
    return out;
}

// Each call as "account status daynum page_no/page_size".
QStringList downCalls(TFakeService& svc)
{
    QStringList out;
    for (const TFakeCall& c : svc.calls())
        out << c.value("detailnick") + ' ' + c.value("status") + ' ' + c.value("daynum") + ' ' + c.value("page_no") + '/' + c.value("page_size");
    return out;
}
}

class TestTradeForms : public QObject {
    Q_OBJECT
    std::unique_ptr<TFakeService> m_svc;
    std::unique_ptr<TScriptedUi> m_ui;

    std::unique_ptr<TfrmTradeDown> dialog(const QStringList& nicks, const QStringList& states)
    {
        auto d = std::make_unique<TfrmTradeDown>();
        for (int i = 0; i < d->NickList()->count(); ++i)
            d->NickList()->item(i)->setCheckState(nicks.contains(d->NickList()->item(i)->text()) ? Qt::Checked : Qt::Unchecked);
        for (const QString& s : states)
            d->StateBox(s)->setChecked(true);
        return d;
    }

private Q_SLOTS:
    void init()
    {
        gNickName = QStringLiteral("shop");
        gSubNicks = QStringList{QStringLiteral("shop:amy"), QStringLiteral("shop:bob")};
        m_svc = std::make_unique<TFakeService>();
        m_ui = std::make_unique<TScriptedUi>();
    }
    void cleanup()
    {
        m_ui.reset();
        m_svc.reset();
    }

    // The filter of each quick tab, exactly, alone and with a quick-filter text.
    void tabFilters_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("quick");
        QTest::addColumn<QString>("filter");
        QTest::newRow("not picked") << 0 << "" << "dbstatus='NOT_PICKING' and refund=0  and (status='WAIT_SELLER_SEND_GOODS'   or status='WAIT_BUYER_CONFIRM_GOODS'   or status='TRADE_FINISHED')";
        QTest::newRow("picked") << 1 << "" << "dbstatus='PICKINGED'";
        QTest::newRow("all orders") << 2 << "" << "";
        QTest::newRow("all orders, keyword alone") << 2 << " abc " << "(buyer_nick ='abc*' or tid='abc*')";
        QTest::newRow("awaiting payment") << 3 << "" << "status='WAIT_BUYER_PAY'";
        QTest::newRow("awaiting shipment with abc") << 4 << "abc" << "status='WAIT_SELLER_SEND_GOODS' and (buyer_nick ='abc*' or tid='abc*')";
        QTest::newRow("shipped") << 5 << "" << "status='WAIT_BUYER_CONFIRM_GOODS'";
        QTest::newRow("to rate") << 6 << "" << "seller_rate=0 and status='TRADE_FINISHED'";
        QTest::newRow("finished") << 7 << "" << "status='TRADE_FINISHED'";
        QTest::newRow("closed") << 8 << "" << "status='TRADE_CLOSED'";
        QTest::newRow("refunding") << 9 << "" << "refund=1";
        QTest::newRow("history") << 10 << "" << "pay_time <'2026-11-10 00:00:00'";
        QTest::newRow("a quote stays in the value") << 3 << "o'b" << "status='WAIT_BUYER_PAY' and (buyer_nick ='o''b*' or tid='o''b*')";
    }
    void tabFilters()
    {
        QFETCH(int, tab);
        QFETCH(QString, quick);
        QFETCH(QString, filter);
        QCOMPARE(TfrmTrade::TabFilter(tab, quick, QDate(2026, 12, 10)), filter);
    }

    // Opening: the four lists, then the first page with "curpage" -1; the tab filter is on and
    // a quoted quick filter narrows the loaded orders without asking the service.
    void opensAndFiltersLocally()
    {
        m_svc->answer("Trade.Search", page({"ischeck=\"false\" tid=\"T1\" buyer_nick=\"o'brien\" status=\"WAIT_SELLER_SEND_GOODS\" dbstatus=\"NOT_PICKING\" refund=\"0\"",
                                            "ischeck=\"false\" tid=\"T2\" buyer_nick=\"amy\" status=\"WAIT_BUYER_PAY\" dbstatus=\"NOT_PICKING\" refund=\"0\"",
                                            "ischeck=\"false\" tid=\"T3\" buyer_nick=\"o'hara\" status=\"TRADE_FINISHED\" dbstatus=\"PICKINGED\" refund=\"0\""},
                                           {"tid=\"T1\" oid=\"T1-1\""}, 3));
        TfrmTrade form;
        form.InitModule(tradeModule());
        form.show();
        QStringList methods;
        for (const TFakeCall& c : m_svc->calls())
            methods << c.module() + (c.module() == "Trade.Search" ? " curpage=" + c.value("curpage") : QString());
        QCOMPARE(methods, (QStringList{"Lookup.TradeStatus", "Lookup.CodStatus", "Lookup.RefundStatus", "Lookup.TradeType", "Trade.Search curpage=-1"}));
        QCOMPARE(form.Tabs()->currentIndex(), 0);
        QCOMPARE(form.Tabs()->tabText(10), QStringLiteral("  历史订单  "));
        QCOMPARE(column(form.Orders(), "tid"), QStringList{"T1"});
        form.Tabs()->setCurrentIndex(2);
        form.QuickFilter()->setText("o'");
        QCOMPARE(column(form.Orders(), "tid"), (QStringList{"T1", "T3"}));
        QCOMPARE(m_svc->calls().size(), 5);

        // Page 1 replaces what is shown, page 2 adds to it.
        form.QuickFilter()->clear();
        form.btnNextClick();
        QCOMPARE(m_svc->calls().last().value("curpage"), QStringLiteral("1"));
        QCOMPARE(column(form.Orders(), "tid").size(), 3);
        form.btnNextClick();
        QCOMPARE(m_svc->calls().last().value("curpage"), QStringLiteral("2"));
        QCOMPARE(column(form.Orders(), "tid").size(), 6);
        form.dxBL_RefreshClick();
        QCOMPARE(column(form.Orders(), "tid").size(), 3);
    }

    void opensOnFixedConditionsAtAllOrders()
    {
        m_svc->answer("Trade.Search", page({}, {}));
        TfrmTrade form;
        form.InitModule(tradeModule());
        form.FixedConditions() << "tid=T9";
        form.show();
        QCOMPARE(m_svc->calls().last().value("tid"), QStringLiteral("T9"));
        QCOMPARE(m_svc->calls().last().value("curpage"), QStringLiteral("0"));
        QCOMPARE(form.Tabs()->currentIndex(), 2);
    }

    // A "tab" line among the fixed conditions chooses the tab the window opens on (a queue of
    // the home tab opens the orders on "未拣货"); an unknown caption leaves "所有订单".
    void fixedConditionChoosesTheTab_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("waiting for a picking list") << "tab=未拣货" << 0 << QStringList{"T1"};
        QTest::newRow("waiting for payment") << "tab=待付款" << 3 << QStringList{"T2"};
        QTest::newRow("unknown caption") << "tab=没有这个" << 2 << QStringList{"T1", "T2"};
    }
    void fixedConditionChoosesTheTab()
    {
        QFETCH(QString, line);
        QFETCH(int, tab);
        QFETCH(QStringList, shown);
        m_svc->answer("Trade.Search", page({"ischeck=\"false\" tid=\"T1\" buyer_nick=\"a\" status=\"WAIT_SELLER_SEND_GOODS\" dbstatus=\"NOT_PICKING\" refund=\"0\"",
                                            "ischeck=\"false\" tid=\"T2\" buyer_nick=\"b\" status=\"WAIT_BUYER_PAY\" dbstatus=\"NOT_PICKING\" refund=\"0\""},
                                           {}));
        TfrmTrade form;
        form.InitModule(tradeModule());
        form.FixedConditions() << "dbstatus=NOT_PICKING" << line;
        form.show();
        QCOMPARE(m_svc->calls().last().value("dbstatus"), QStringLiteral("NOT_PICKING"));
        QCOMPARE(m_svc->calls().last().value("curpage"), QStringLiteral("0"));
        QCOMPARE(form.Tabs()->currentIndex(), tab);
        QCOMPARE(column(form.Orders(), "tid"), shown);
    }

    // Marketplace texts reach the picture panel as text, never as markup; only web pictures.
    void picturePanelEscapesMarketplaceTexts_data()
    {
        QTest::addColumn<QString>("numIid");
        QTest::addColumn<QString>("pic");
        QTest::addColumn<QString>("props");
        QTest::addColumn<QString>("page");
        QTest::newRow("plain") << "52001" << "http://img.example.com/a.jpg" << "颜色:红"
                               << "<div align=\"center\"><a href=\"https://item.example.com/item?id=52001\"  target=\"_blank\"><img src=\"http://img.example.com/a.jpg_120x120.jpg\" style=\"border:0px; \"></a><div>颜色:红</div></div>";
        QTest::newRow("markup in texts") << "5\"><script>" << "http://x/a.jpg?s=1&t=2" << "<b>红</b>&"
                               << "<div align=\"center\"><a href=\"https://item.example.com/item?id=5%22%3E%3Cscript%3E\"  target=\"_blank\"><img src=\"http://x/a.jpg?s=1&amp;t=2_120x120.jpg\" style=\"border:0px; \"></a><div>&lt;b&gt;红&lt;/b&gt;&amp;</div></div>";
        QTest::newRow("a quote in the picture address") << "1" << "http://x/\"onerror=\"y" << ""
                               << "<div align=\"center\"><a href=\"https://item.example.com/item?id=1\"  target=\"_blank\"><img src=\"\" style=\"border:0px; \"></a><div></div></div>";
        QTest::newRow("not a web picture") << "1" << "file:///etc/passwd" << ""
                               << "<div align=\"center\"><a href=\"https://item.example.com/item?id=1\"  target=\"_blank\"><img src=\"\" style=\"border:0px; \"></a><div></div></div>";
        QTest::newRow("no item") << "" << "http://x/a.jpg" << "颜色" << "";
        QTest::newRow("the service's own picture") << "7" << "/market/pic/7.jpg" << ""
                               << "<div align=\"center\"><a href=\"https://item.example.com/item?id=7\"  target=\"_blank\"><img src=\"{service}/market/pic/7.jpg_120x120.jpg\" style=\"border:0px; \"></a><div></div></div>";
        QTest::newRow("another host without a scheme") << "7" << "//evil.example/x.jpg" << ""
                               << "<div align=\"center\"><a href=\"https://item.example.com/item?id=7\"  target=\"_blank\"><img src=\"\" style=\"border:0px; \"></a><div></div></div>";
    }
    void picturePanelEscapesMarketplaceTexts()
    {
        QFETCH(QString, numIid);
        QFETCH(QString, pic);
        QFETCH(QString, props);
        QFETCH(QString, page);
        QCOMPARE(TKxPicturePanel::Page("https://item.example.com/item?id=", numIid, pic, props),
                 QString(page).replace("{service}", QUrl(KxServiceUrl()).adjusted(QUrl::RemovePath).toString()));
    }

    // The panel shows the picture itself, fetched from where its address points.
    void picturePanelShowsTheFetchedPicture()
    {
        QImage red(120, 120, QImage::Format_RGB32);
        red.fill(Qt::red);
        QByteArray png;
        QBuffer out(&png);
        red.save(&out, "PNG");
        httplib::Server pictures;
        pictures.Get("/pic/1.jpg_120x120.jpg", [&](const httplib::Request&, httplib::Response& res) {
            res.set_content(png.toStdString(), "image/png");
        });
        const int port = pictures.bind_to_any_port("127.0.0.1");
        std::thread serve([&] { pictures.listen_after_bind(); });
        const auto stop = qScopeGuard([&] {
            pictures.stop();
            serve.join();
        });
        TKxPicturePanel panel;
        const QString at = QStringLiteral("http://127.0.0.1:%1/pic/").arg(port);
        panel.ShowItem("https://item.example.com/item?id=", "1", at + "1.jpg", "红");
        const QImage shown = panel.document()->resource(QTextDocument::ImageResource, QUrl(at + "1.jpg_120x120.jpg")).value<QImage>();
        QCOMPARE(shown.size(), QSize(120, 120));
        QCOMPARE(shown.pixelColor(60, 60), QColor(Qt::red));
        // A picture that is not there leaves the panel without one, and no message.
        panel.ShowItem("https://item.example.com/item?id=", "2", at + "2.jpg", "");
        QVERIFY(panel.document()->resource(QTextDocument::ImageResource, QUrl(at + "2.jpg_120x120.jpg")).value<QImage>().isNull());
        QVERIFY(m_ui->messages.isEmpty());
    }

    // A line's refund number opens the refund module, a double-click the module of the
    // window's parameters with the line's key fields; each as a dialog given its lines as
    // parameters and fixed conditions, and freed afterwards.
    void linesOpenTheirModules_data()
    {
        QTest::addColumn<QString>("params");
        QTest::addColumn<bool>("doubleClick");
        QTest::addColumn<QString>("refundId");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("refund") << "<refund>Refund.One</refund>" << false << "R9" << "Refund.One" << QStringList{"refund_id=R9"};
        QTest::newRow("line without a refund") << "<refund>Refund.One</refund>" << false << "" << "" << QStringList();
        QTest::newRow("no refund module") << "" << false << "R9" << "" << QStringList();
        QTest::newRow("double-click") << "<module>Line.More</module><keyfields>tid;oid;nosuch;</keyfields>" << true << "" << "Line.More"
                                      << QStringList{"tid=T1", "oid=T11"};
        QTest::newRow("double-click without key fields") << "<module>Line.More</module>" << true << "" << "" << QStringList();
    }
    void linesOpenTheirModules()
    {
        QFETCH(QString, params);
        QFETCH(bool, doubleClick);
        QFETCH(QString, refundId);
        QFETCH(QString, opened);
        QFETCH(QStringList, lines);
        const QByteArray lineFields = kLineFields + "<field name=\"refund_id\" type=\"string\" size=\"30\"/>";
        QByteArray answer = page({"ischeck=\"false\" tid=\"T1\" status=\"WAIT_SELLER_SEND_GOODS\" dbstatus=\"NOT_PICKING\" refund=\"1\""}, {});
        answer.replace(packet(kLineFields, {}), packet(lineFields, {"tid=\"T1\" oid=\"T11\" num_iid=\"520\" refund_id=\"" + refundId.toUtf8() + "\""}));
        m_svc->answer("Trade.Search", answer);
        for (const char* module : {"Refund.One", "Line.More"})
            m_svc->answer(module, "<response><moduleclass>TfrmLineProbe</moduleclass><moduletitle>x</moduletitle></response>");
        TfrmTrade form;
        form.InitModule(tradeModule().replace("</response>", params + "</response>"));
        form.show();
        form.Tabs()->setCurrentIndex(2);   // the order has a refund running
        m_svc->clearCalls();
        QPointer<QWidget> shown;
        QStringList fixed;
        m_ui->onModal = [&](QWidget* w) {
            shown = w;
            fixed = qobject_cast<TfrmBase*>(w)->FixedConditions();
            return int(mrOk);
        };
        if (doubleClick)
            emit form.DetailGrid()->doubleClicked(form.DetailGrid()->model()->index(0, 0));
        else
            emit form.DetailGrid()->ButtonClicked(form.DetailGrid()->ColumnByField("refund_id"), 0);
        QCOMPARE(m_svc->modules(), opened.isEmpty() ? QStringList() : QStringList{opened});
        QCOMPARE(fixed, lines);
        if (!opened.isEmpty()) {
            QStringList sent;
            for (const auto& f : m_svc->calls().first().fields)
                if (lines.contains(f.first + '=' + f.second))
                    sent << f.first + '=' + f.second;
            QCOMPARE(sent, lines);
            QVERIFY(shown.isNull() && !m_ui->modalWindows.isEmpty());   // shown, then freed
        }
    }

    // The buyer's message shows emoji as written; a memo edit stays in the loaded order.
    void messagePanelKeepsEveryCharacter()
    {
        m_svc->answer("Trade.Search", page({"ischeck=\"false\" tid=\"T1\" buyer_nick=\"a\" status=\"WAIT_SELLER_SEND_GOODS\" dbstatus=\"NOT_PICKING\" refund=\"0\""
                                            " buyer_message=\"请尽快发货🚚 𠮷\" seller_memo=\"\""}, {}));
        TfrmTrade form;
        form.InitModule(tradeModule());
        form.show();
        QCOMPARE(form.MessageEdit()->toPlainText(), QStringLiteral("请尽快发货🚚 𠮷"));
        form.MemoBox()->setPlainText(QStringLiteral("加急🎁"));
        QCOMPARE(form.Orders()->FieldByName("seller_memo")->AsString(), QStringLiteral("加急🎁"));
        // A quick filter that leaves no order leaves no message of a hidden one on the panel.
        form.QuickFilter()->setText("nobody");
        QCOMPARE(form.Orders()->RecordCount(), 0);
        QCOMPARE(form.MessageEdit()->toPlainText(), QString());
        form.QuickFilter()->clear();
        QCOMPARE(form.MessageEdit()->toPlainText(), QStringLiteral("请尽快发货🚚 𠮷"));
    }

    // Rating: every handed order in turn with the chosen result and the trimmed text; each one
    // taken is reported back; refused ones are named at the end and do not stop the others.
    void ratingTriesEveryOrder_data()
    {
        QTest::addColumn<bool>("refuse");
        QTest::addColumn<QStringList>("rated");
        QTest::addColumn<QString>("status");
        QTest::newRow("all taken") << false << QStringList{"T1", "T2", "T3"} << "批量评价完成！";
        QTest::newRow("all refused") << true << QStringList{} << "评价失败！T1，T2，T3";
    }
    void ratingTriesEveryOrder()
    {
        QFETCH(bool, refuse);
        QFETCH(QStringList, rated);
        QFETCH(QString, status);
        if (refuse)
            m_svc->fail("NetShop.TradeRate", 50, "不能评价");
        else
            m_svc->answer("NetShop.TradeRate", "<response/>");
        TfrmTradeRate d;
        d.SetOrders({{"T1", "shop"}, {"T2", "shop:amy"}, {"T3", "shop"}});
        QStringList seen;
        d.SetOnRated([&](const QString& tid) { seen << tid; });
        d.Results()->button(1)->setChecked(true);
        d.ContentEdit()->setPlainText(QStringLiteral("  谢谢😊  "));
        d.btnRateClick();
        QCOMPARE(m_svc->calls().size(), 3);
        QCOMPARE(m_svc->calls()[1].value("detailnick") + ' ' + m_svc->calls()[1].value("tid") + ' ' + m_svc->calls()[1].value("result")
                     + ' ' + m_svc->calls()[1].value("content"), QStringLiteral("shop:amy T2 neutral 谢谢😊"));
        QCOMPARE(seen, rated);
        QCOMPARE(d.StatusLine()->text(), status);
        QCOMPARE(d.Progress()->value(), 3);
    }

    // "批量好评" only on the tab of orders to rate; it hands over the ticked orders in order.
    void rateOnlyOnTheTabToRate()
    {
        m_svc->answer("Trade.Search", page({"ischeck=\"true\" tid=\"T1\" status=\"TRADE_FINISHED\" seller_rate=\"false\" dbstatus=\"PICKINGED\" refund=\"0\"",
                                            "ischeck=\"false\" tid=\"T2\" status=\"TRADE_FINISHED\" seller_rate=\"false\" dbstatus=\"PICKINGED\" refund=\"0\"",
                                            "ischeck=\"true\" tid=\"T3\" status=\"TRADE_FINISHED\" seller_rate=\"false\" dbstatus=\"PICKINGED\" refund=\"0\""}, {}));
        TfrmTrade form;
        form.InitModule(tradeModule());
        form.show();
        QVERIFY(!form.Button("批量好评")->isEnabled());
        form.Tabs()->setCurrentIndex(6);
        QVERIFY(form.Button("批量好评")->isEnabled());
        QCOMPARE(form.CheckedOrders().size(), 2);
        QCOMPARE(form.CheckedOrders().last().first, QStringLiteral("T3"));
    }

    // A typed code: not found clears the line's product and says so; found, confirmed and
    // taken binds the line with exactly the binding's parameters.
    void typedCodeBindsTheLine()
    {
        const QByteArray lineFields = kLineFields + "<field name=\"sku_id\" type=\"string\" size=\"30\"/><field name=\"title\" type=\"string\" size=\"200\"/>"
                                      "<field name=\"commoditycode\" type=\"string\" size=\"30\"/><field name=\"stocknum\" type=\"integer\"/>";
        QByteArray answer = page({"ischeck=\"false\" tid=\"T1\" status=\"WAIT_SELLER_SEND_GOODS\" dbstatus=\"NOT_PICKING\" refund=\"0\""}, {});
        answer.replace(packet(kLineFields, {}), packet(lineFields, {"tid=\"T1\" oid=\"T11\" num_iid=\"520\" sku_id=\"420\" title=\"T恤\" sku_properties_name=\"红\" pic_path=\"\" commoditycode=\"OLD\" stocknum=\"3\""}));
        m_svc->answer("Trade.Search", answer);
        QByteArray tradeParams = tradeModule().toUtf8();
        tradeParams.replace("</response>", "<updatecommoditysku>Trade.UpdateCommoditySku</updatecommoditysku></response>");
        TfrmTrade form;
        form.InitModule(QString::fromUtf8(tradeParams));
        form.show();

        m_svc->answer("Select.Commodity", "<response><moduleclass>TFrmSelect</moduleclass><modal>true</modal><search>Select.CommoditySearch</search></response>");
        m_svc->answer("Select.CommoditySearch", "<response><xmldata><![CDATA[" + packet("<field name=\"commoditycode\" type=\"string\" size=\"30\"/>", {}) + "]]></xmldata></response>");
        form.BindLineCode(" NOPE ");
        QCOMPARE(m_svc->calls().last().value("commoditycode"), QStringLiteral("NOPE"));
        QCOMPARE(m_svc->calls().last().value("is_del"), QStringLiteral("0"));
        QVERIFY(form.Lines()->FieldByName("commoditycode")->IsNull() && form.Lines()->FieldByName("stocknum")->IsNull());
        QCOMPARE(m_ui->messages.last().text, QStringLiteral("此信息不存在,请重新输入！"));

        m_svc->answer("Select.CommoditySearch", "<response><xmldata><![CDATA[" + packet("<field name=\"commoditycode\" type=\"string\" size=\"30\"/><field name=\"stocknum\" type=\"integer\"/>",
                                                                              {"commoditycode=\"C01\" stocknum=\"7\""}) + "]]></xmldata></response>");
        m_svc->answer("Trade.UpdateCommoditySku", "<response><commoditycode>C01</commoditycode><stocknum>7</stocknum></response>");
        m_ui->answers.enqueue(mrCancel);
        form.BindLineCode("C01");
        QCOMPARE(m_svc->calls().last().module(), QStringLiteral("Select.CommoditySearch"));
        QVERIFY(form.Lines()->FieldByName("commoditycode")->IsNull());
        form.BindLineCode("C01");
        QCOMPARE(m_ui->messages.last().text, QStringLiteral("数据提交成功！"));
        const TFakeCall bind = m_svc->calls().last();
        QStringList sent;
        for (const auto& f : bind.fields)
            if (f.first != "nickid" && f.first != "operid" && f.first != "shopid")
                sent << f.first + '=' + f.second;
        QCOMPARE(sent, (QStringList{"module=Trade.UpdateCommoditySku", "oid=T11", "commoditycode=C01", "num_iid=520", "sku_id=420",
                                    "detailnick=", "title=T恤", "sku_properties_name=红", "pic_path="}));
        QCOMPARE(form.Lines()->FieldByName("commoditycode")->AsString() + form.Lines()->FieldByName("stocknum")->AsString(), QStringLiteral("C017"));
    }

    // A line's stock: unknown (unbound) red, nothing left red and bold, some left as it is.
    void stockCellsShowWhatIsMissing()
    {
        const QByteArray lineFields = kLineFields + "<field name=\"stocknum\" type=\"integer\"/>";
        QByteArray answer = page({"ischeck=\"false\" tid=\"T1\" status=\"WAIT_SELLER_SEND_GOODS\" dbstatus=\"NOT_PICKING\" refund=\"0\""}, {});
        answer.replace(packet(kLineFields, {}), packet(lineFields, {"tid=\"T1\" oid=\"T11\"", "tid=\"T1\" oid=\"T12\" stocknum=\"0\"",
                                                                    "tid=\"T1\" oid=\"T13\" stocknum=\"-2\"", "tid=\"T1\" oid=\"T14\" stocknum=\"5\""}));
        m_svc->answer("Trade.Search", answer);
        TfrmTrade form;
        form.InitModule(tradeModule());
        form.show();
        TGridView* grid = form.DetailGrid();
        TGridColumn* stock = grid->ColumnByField("stocknum");
        QStringList shown;
        for (int row = 0; row < 4; ++row) {
            QStyleOptionViewItem o;
            o.palette.setColor(QPalette::Text, Qt::black);
            grid->OnCustomDrawCell()(grid->model()->index(row, grid->IndexOfColumn(stock)), stock, o);
            shown << o.palette.color(QPalette::Text).name() + (o.font.bold() ? " bold" : "");
        }
        QCOMPARE(shown, (QStringList{"#ff0000", "#ff0000 bold", "#ff0000 bold", "#000000"}));
    }

    void opensWithAccountsUnticked()
    {
        auto d = dialog({}, {});
        QCOMPARE(d->NickList()->count(), 3);
        QCOMPARE(d->NickList()->item(0)->text(), QStringLiteral("shop"));
        QCOMPARE(d->NickList()->item(2)->text(), QStringLiteral("shop:bob"));
        QCOMPARE(d->SingleNick()->currentText(), QStringLiteral("shop"));
        QCOMPARE(d->DayBox()->currentText(), QStringLiteral("最后一天"));
        d->StateBox("全部状态")->setChecked(true);
        QVERIFY(d->StateBox("交易关闭")->isChecked() && d->StateBox("待付款")->isChecked());
        d->StateBox("全部状态")->setChecked(false);
        QVERIFY(!d->StateBox("交易关闭")->isChecked());
    }

    // The ticked states of every ticked account, in table order; all six together are one
    // "TRADE_ALL" call. With nothing at the marketplace the probe is the only call.
    void statesGoOutInOrder_data()
    {
        QTest::addColumn<QStringList>("nicks");
        QTest::addColumn<QStringList>("states");
        QTest::addColumn<int>("day");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("all six, two accounts") << QStringList{"shop", "shop:bob"} << QStringList{"全部状态"} << 0
                                               << QStringList{"shop TRADE_ALL 1 1/1", "shop:bob TRADE_ALL 1 1/1"};
        QTest::newRow("three states, table order") << QStringList{"shop:amy"} << QStringList{"交易关闭", "待付款", "待评价"} << 3
                                                   << QStringList{"shop:amy WAIT_BUYER_PAY 30 1/1", "shop:amy RATE_UNSELLER 30 1/1",
                                                                  "shop:amy TRADE_CLOSED 30 1/1"};
        QTest::newRow("no account ticked") << QStringList{} << QStringList{"待发货"} << 4 << QStringList{};
    }
    void statesGoOutInOrder()
    {
        QFETCH(QStringList, nicks);
        QFETCH(QStringList, states);
        QFETCH(int, day);
        QFETCH(QStringList, calls);
        m_svc->answer("NetShop.DownTrades", total(0));
        auto d = dialog(nicks, states);
        d->DayBox()->setCurrentIndex(day);
        d->btnDownClick();
        QCOMPARE(downCalls(*m_svc), calls);
        if (!calls.isEmpty())
            QCOMPARE(d->Progress()->value(), 100);
    }

    // 120 orders: the probe, then pages 1 to 3 of 50; the bar shows 41 and 83 and then stays
    // at its maximum although the last page computes 125.
    void pagesFollowTheTotal()
    {
        m_svc->answer("NetShop.DownTrades", total(120));
        auto d = dialog({"shop"}, {"待发货"});
        QList<int> shown;
        connect(d->Progress(), &QProgressBar::valueChanged, this, [&](int v) { shown << v; });
        d->btnDownClick();
        QCOMPARE(downCalls(*m_svc), (QStringList{"shop WAIT_SELLER_SEND_GOODS 1 1/1", "shop WAIT_SELLER_SEND_GOODS 1 1/50",
                                                 "shop WAIT_SELLER_SEND_GOODS 1 2/50", "shop WAIT_SELLER_SEND_GOODS 1 3/50"}));
        QCOMPARE(shown, (QList<int>{41, 83, 100}));
        QCOMPARE(d->StatusLine()->text(), QStringLiteral("【shop】  待发货订单下载完成！"));
    }

    // A refused download is reported and the next state and account go on.
    void failuresDoNotStopTheRest()
    {
        m_svc->fail("NetShop.DownTrades", 50, "网店忙");
        auto d = dialog({"shop", "shop:amy"}, {"已发货", "交易成功"});
        d->btnDownClick();
        QCOMPARE(downCalls(*m_svc).size(), 4);
        QCOMPARE(downCalls(*m_svc).last(), QStringLiteral("shop:amy TRADE_FINISHED 1 1/1"));
        QCOMPARE(d->StatusLine()->text(), QStringLiteral("【shop:amy】  交易成功订单下载失败！"));
        QCOMPARE(m_ui->messages.size(), 4);
    }

    void singleOrderByNumber()
    {
        m_svc->answer("NetShop.DownTrade", "<response/>");
        auto d = dialog({}, {});
        d->SingleNick()->setCurrentIndex(1);
        d->TidEdit()->setText(QStringLiteral("  3100000001  "));
        d->btnDownOneClick();
        QCOMPARE(m_svc->calls().size(), 1);
        QCOMPARE(m_svc->calls().first().value("detailnick"), QStringLiteral("shop:amy"));
        QCOMPARE(m_svc->calls().first().value("tid"), QStringLiteral("3100000001"));
        QCOMPARE(m_ui->messages.last().text, QStringLiteral("订单下载成功！"));
        QCOMPARE(m_ui->messages.last().caption, QStringLiteral("系统提示"));
    }
};

QTEST_MAIN(TestTradeForms)
#include "tst_trade_forms.moc"
