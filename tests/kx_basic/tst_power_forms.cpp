// The rights form and the stock and price views against a scripted service: the requests
// they send, the ticking rules, what a failed load or lookup stops, and the push run with its
// timer, progress and per-row results.
#include "FakeService.h"
#include "Packets.h"
#include "ScriptedUi.h"

#include "DataPacket.h"
#include "uConfig.h"
#include "uGridView.h"
#include "uPClientDataSet.h"
#include "ufrmCommodityPrice.h"
#include "ufrmCommodityStock.h"
#include "ufrmPower.h"

#include <QAction>
#include <QProgressBar>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {
const QString kAll = QStringLiteral("isupdate=True;isaudit=True;issearch=True;isprint=True;isoutput=True;iscolumn=True;");

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
    QCoreApplication::processEvents();
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

// A delta's changes as kind letter, operator and module: "D:clerk/3", "I:clerk/5".
QStringList changes(const QString& delta)
{
    TDeltaReader r;
    if (!r.Load(delta))
        return {QStringLiteral("<not a delta>")};
    QStringList out;
    for (int i = 0; i < r.Count(); ++i) {
        const TUpdateKind k = r.Kind(i);
        const TDeltaRow row = k == ukDelete ? r.OldRow(i) : r.NewRow(i);
        out << QStringLiteral("%1:%2/%3").arg(k == ukInsert ? "I" : k == ukDelete ? "D" : "U", row.AsString("operid"), row.AsString("mod_id"));
    }
    return out;
}

const char* const kRights[] = {"isupdate", "isaudit", "issearch", "isprint", "isoutput", "iscolumn"};

const QString kOperFields = QStringLiteral("operid:string,opername:string,operpsw:string,isuse:boolean,md5_key:string");
const QStringList kOperators{R"(operid="admin" opername="管理员" isuse="1" md5_key="a")",
                             R"(operid="clerk" opername="店员" isuse="1" md5_key="c")"};
const QString kShowFields = QStringLiteral(
    "pmod_id:integer,mod_id:integer,display:string,isupdate:boolean,isaudit:boolean,issearch:boolean,isprint:boolean,isoutput:boolean,iscolumn:boolean");
const QString kStoredFields = QStringLiteral(
    "operid:string,mod_id:integer,isupdate:boolean,isaudit:boolean,issearch:boolean,isprint:boolean,isoutput:boolean,iscolumn:boolean,md5_key:string");

// Three modules: the clerk has 10 (search only) and 30 (everything), not 20.
QString clerkShow()
{
    return packet(kShowFields, {R"(pmod_id="10" mod_id="10" display="订单管理" issearch="1")",
                                R"(pmod_id="20" mod_id="-1" display="采购入库")",
                                R"(pmod_id="30" mod_id="30" display="商品管理" isupdate="1" isaudit="1" issearch="1" isprint="1" isoutput="1" iscolumn="1")"});
}
QString clerkStored()
{
    return packet(kStoredFields, {R"(operid="clerk" mod_id="10" issearch="1" md5_key="clerk/10")",
                                  R"(operid="clerk" mod_id="30" isupdate="1" isaudit="1" issearch="1" isprint="1" isoutput="1" iscolumn="1" md5_key="clerk/30")"});
}
QString adminShow()
{
    return packet(kShowFields, {R"(pmod_id="10" mod_id="10" display="订单管理" isupdate="1")",
                                R"(pmod_id="20" mod_id="20" display="采购入库" isaudit="1")"});
}

QMap<QString, QString> powerParams()
{
    return {{"search", "Operator.Search"}, {"update", "Power.Update"}, {"powershow", "Power.Show"}, {"powersearch", "Power.Search"}};
}

// A row of the rights grid as text: "选择模块" then the six rights, "1"/"0".
QString rowState(TPClientDataSet* rights, int rec)
{
    QString s = rights->ValueAt(rec, rights->FieldByName("selected")).toBool() ? QStringLiteral("1") : QStringLiteral("0");
    s += QLatin1Char(':');
    for (const char* r : kRights)
        s += rights->ValueAt(rec, rights->FieldByName(r)).toBool() ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

// A click on a check box of the rights grid, as the grid's own editor makes it.
void click(TfrmPower* form, int row, const QString& field, bool on)
{
    TGridView* grid = form->RightsGrid();
    const QModelIndex at = grid->model()->index(row, grid->IndexOfColumn(grid->ColumnByField(field)));
    QVERIFY(grid->model()->setData(at, on ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole));
}

void focusOperator(TfrmPower* form, const QString& operid)
{
    QVERIFY(form->ListData()->Locate("operid", operid));
    QCoreApplication::processEvents();
}

const QString kPushFields = QStringLiteral(
    "commoditycode:string,commodityname:string,properties_name:string,presell:integer,stocknum:integer,saleprice:decimal,"
    "errormsg:string,md5_key:string,is_pack:boolean,is_del:boolean,catid:integer");
const QStringList kProducts{R"(commoditycode="C1" commodityname="T恤" properties_name="红 M" presell="1" stocknum="5" saleprice="59" md5_key="k1")",
                            R"(commoditycode="C2" commodityname="T恤" properties_name="红 L" presell="0" stocknum="3" saleprice="59" md5_key="k2")",
                            R"(commoditycode="C3" commodityname="短裤" properties_name="蓝 M" presell="0" stocknum="0" saleprice="39" md5_key="k3")"};

QMap<QString, QString> pushParams(const QString& search)
{
    return {{"search", search}, {"grouptree", ""}, {"module", "Commodity.Edit"}};
}

QStringList results(TPClientDataSet* list)
{
    QStringList out;
    for (int i = 0; i < list->RecordCount(); ++i)
        out << list->ValueAt(i, list->FieldByName("errormsg")).toString();
    return out;
}
}

class TestPowerForms : public QObject {
    Q_OBJECT
    std::unique_ptr<TFakeService> m_svc;
    std::unique_ptr<TScriptedUi> m_ui;

    std::unique_ptr<TfrmPower> openPower()
    {
        auto form = openForm<TfrmPower>(moduleXml("操作员权限", powerParams()));
        return form;
    }

private Q_SLOTS:
    void init()
    {
        m_svc = std::make_unique<TFakeService>();
        m_ui = std::make_unique<TScriptedUi>();
        m_svc->answer("Operator.Search", listAnswer(packet(kOperFields, kOperators)));
        m_svc->answerWhen("Power.Show", "curoperid", "admin", listAnswer(adminShow()));
        m_svc->answerWhen("Power.Show", "curoperid", "clerk", listAnswer(clerkShow()));
        m_svc->answerWhen("Power.Search", "curoperid", "clerk", listAnswer(clerkStored()));
        m_svc->answer("Power.Update", listAnswer(packet(kStoredFields, {})));
    }
    void cleanup()
    {
        m_ui.reset();
        m_svc.reset();
    }

    // --- The rights form ---------------------------------------------------------------------

    void openingListsOperatorsInUseAndLoadsTheFocusedOnesRights()
    {
        auto form = openPower();
        QCOMPARE(m_svc->modules(), (QStringList{"Operator.Search", "Power.Show"}));
        QCOMPARE(params(m_svc->calls()[0]), (QStringList{"module=Operator.Search", "isuse=1", "curpage=1"}));
        QCOMPARE(params(m_svc->calls()[1]), (QStringList{"module=Power.Show", "curoperid=admin", "curpage=0"}));
        // The session's own nick and operator go with every call.
        QVERIFY(m_svc->calls()[1].names().contains("nickid"));
        QCOMPARE(form->RightsData()->RecordCount(), 2);
        QCOMPARE(rowState(form->RightsData(), 0), QStringLiteral("1:100000"));
        QCOMPARE(rowState(form->RightsData(), 1), QStringLiteral("1:010000"));
        // Only "保 存" follows "isupdate"; the form has no new, edit or delete.
        QVERIFY(!form->Tool("dxBL_New")->isVisibleTo(form.get()));
        QVERIFY(form->Tool("dxBL_Save")->isEnabled());

        focusOperator(form.get(), "clerk");
        QCOMPARE(m_svc->modules().last(), QStringLiteral("Power.Show"));
        QCOMPARE(params(m_svc->calls().last()), (QStringList{"module=Power.Show", "curoperid=clerk", "curpage=0"}));
        // Ticked where the operator has the module (pmod_id equals mod_id).
        QCOMPARE(rowState(form->RightsData(), 0), QStringLiteral("1:001000"));
        QCOMPARE(rowState(form->RightsData(), 1), QStringLiteral("0:000000"));
        QCOMPARE(rowState(form->RightsData(), 2), QStringLiteral("1:111111"));
    }

    void saveRightDependsOnIsupdate()
    {
        auto form = openForm<TfrmPower>(moduleXml("操作员权限", powerParams(), "issearch=True;"));
        QVERIFY(!form->Tool("dxBL_Save")->isEnabled());
    }

    void tickingRules_data()
    {
        QTest::addColumn<int>("row");      // in the clerk's grid
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a right on an unticked module ticks the module only") << 1 << "issearch" << true << "1:001000";
        QTest::newRow("the module tick brings all six") << 1 << "selected" << true << "1:111111";
        QTest::newRow("unticking the module clears all six") << 2 << "selected" << false << "0:000000";
        QTest::newRow("unticking the last right leaves the module") << 0 << "issearch" << false << "1:000000";
        QTest::newRow("unticking one of several keeps the others") << 2 << "isupdate" << false << "1:011111";
        QTest::newRow("another right beside one") << 0 << "isprint" << true << "1:001100";
    }
    void tickingRules()
    {
        QFETCH(int, row);
        QFETCH(QString, field);
        QFETCH(bool, on);
        QFETCH(QString, expected);
        auto form = openPower();
        focusOperator(form.get(), "clerk");
        click(form.get(), row, field, on);
        QCOMPARE(rowState(form->RightsData(), row), expected);
    }

    void saveReplacesTheOperatorsWholeSet()
    {
        auto form = openPower();
        focusOperator(form.get(), "clerk");
        click(form.get(), 1, "isaudit", true);    // gains 20 with the audit right
        click(form.get(), 2, "selected", false);  // loses 30 altogether
        m_svc->clearCalls();
        form->dxBL_SaveClick();
        QCOMPARE(m_svc->modules(), (QStringList{"Power.Search", "Power.Update"}));
        QCOMPARE(params(m_svc->calls()[0]), (QStringList{"module=Power.Search", "curoperid=clerk", "curpage=0"}));
        // Every stored row deleted, then one row per ticked module in grid order.
        const QString delta = m_svc->calls()[1].files.value("delta");
        QCOMPARE(changes(delta), (QStringList{"D:clerk/10", "D:clerk/30", "I:clerk/10", "I:clerk/20"}));
        TDeltaReader r;
        QVERIFY(r.Load(delta));
        QCOMPARE(r.NewRow(3).AsString("isaudit").toLower(), QStringLiteral("true"));
        QCOMPARE(r.NewRow(3).AsString("issearch").toLower(), QStringLiteral("false"));
        QCOMPARE(m_ui->texts, (QStringList{"真的需要提交修改吗？", "数据提交成功！"}));
    }

    void movingToAnotherOperatorDiscardsUnsavedTicks()
    {
        auto form = openPower();
        focusOperator(form.get(), "clerk");
        click(form.get(), 1, "selected", true);
        focusOperator(form.get(), "admin");
        focusOperator(form.get(), "clerk");
        QCOMPARE(rowState(form->RightsData(), 1), QStringLiteral("0:000000"));
        QCOMPARE(m_svc->modules().count("Power.Show"), 4);
    }

    // A failed load leaves no one's rights in the grid and no save; a failed look-up of the
    // stored rights stops the save before anything is deleted.
    void failures_data()
    {
        QTest::addColumn<bool>("showFails");
        QTest::addColumn<bool>("searchFails");
        QTest::addColumn<QStringList>("saveCalls");
        QTest::newRow("rights load failed") << true << false << QStringList{};
        QTest::newRow("stored rights look-up failed") << false << true << QStringList{"Power.Search"};
        QTest::newRow("both loaded") << false << false << QStringList{"Power.Search", "Power.Update"};
    }
    void failures()
    {
        QFETCH(bool, showFails);
        QFETCH(bool, searchFails);
        QFETCH(QStringList, saveCalls);
        auto form = openPower();
        QCOMPARE(form->RightsData()->RecordCount(), 2); // the admin's, loaded
        if (showFails)
            m_svc->answerWhen("Power.Show", "curoperid", "clerk", "<error_response><code>9</code><msg>忙</msg></error_response>");
        if (searchFails)
            m_svc->answerWhen("Power.Search", "curoperid", "clerk", "<error_response><code>9</code><msg>忙</msg></error_response>");
        focusOperator(form.get(), "clerk");
        QCOMPARE(form->RightsData()->RecordCount(), showFails ? 0 : 3);
        QCOMPARE(form->RightsLoaded(), !showFails);
        m_svc->clearCalls();
        m_ui->clear();
        form->dxBL_SaveClick();
        QCOMPARE(m_svc->modules(), saveCalls);
        if (showFails)
            QVERIFY(m_ui->lastText().contains("不能保存"));
    }

    void anEmptyOperatorListEmptiesTheGrid()
    {
        auto form = openPower();
        QCOMPARE(form->RightsData()->RecordCount(), 2);
        m_svc->answer("Operator.Search", listAnswer(packet(kOperFields, {})));
        form->dxBL_RefreshClick();
        QCoreApplication::processEvents();
        QCOMPARE(form->RightsData()->RecordCount(), 0);
        m_svc->clearCalls();
        form->dxBL_SaveClick();
        QVERIFY(m_svc->modules().isEmpty());
    }

    // --- The stock and price views ----------------------------------------------------------

    void pushRunOverEveryRow()
    {
        m_svc->answer("CommodityStock.Search", listAnswer(packet(kPushFields, kProducts)));
        // The run sends its rows in one call; the service answers each product's result.
        m_svc->answer("NetShop.UpdateStock", "<response><pushed>C1,C3</pushed><refused>C2：商品【C2】同步失败：网店没有 SKU</refused></response>");
        auto form = openForm<TfrmCommodityStock>(moduleXml("库存同步", pushParams("CommodityStock.Search")));
        QCOMPARE(form->PushTimer()->interval(), 100);
        QVERIFY(!form->ProgressPanel()->isVisible());
        m_svc->clearCalls();
        form->PushAllClick();
        QCOMPARE(m_ui->messages.value(0).text, QStringLiteral("真的需要提交同步请求吗？"));
        QCOMPARE(m_ui->messages.value(0).icon, TMsgIcon::Question);
        QVERIFY(form->ProgressPanel()->isVisible());
        QCOMPARE(form->Progress()->value(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!form->ProgressPanel()->isVisible(), 5000);
        QCOMPARE(form->Progress()->value(), 100);
        QStringList pushed;
        for (const TFakeCall& c : m_svc->calls())
            pushed << c.module() + ":" + c.value("commoditycode");
        QCOMPARE(pushed, (QStringList{"NetShop.UpdateStock:C1,C2,C3"}));
        // The failed row is kept as failed and the run went on; the reason shown once at the end.
        QCOMPARE(results(form->ListData()), (QStringList{"同步成功", "同步失败", "同步成功"}));
        QCOMPARE(m_ui->texts.size(), 2);
        QVERIFY(m_ui->texts.last().contains("网店没有 SKU"));
    }

    void cancellingTheQuestionPushesNothing()
    {
        m_svc->answer("CommodityStock.Search", listAnswer(packet(kPushFields, kProducts)));
        auto form = openForm<TfrmCommodityStock>(moduleXml("库存同步", pushParams("CommodityStock.Search")));
        m_svc->clearCalls();
        m_ui->answers.enqueue(mrCancel);
        form->PushAllClick();
        QTest::qWait(250);
        QVERIFY(m_svc->calls().isEmpty());
        QVERIFY(!form->PushTimer()->isActive());
        QVERIFY(!form->ProgressPanel()->isVisible());
        QCOMPARE(results(form->ListData()), (QStringList{"", "", ""}));
    }

    // One row from the menu, on each view: its own method and figure, the row left in edit.
    void pushOneRow_data()
    {
        QTest::addColumn<bool>("price");
        QTest::newRow("stock") << false;
        QTest::newRow("price") << true;
    }
    void pushOneRow()
    {
        QFETCH(bool, price);
        const QString search = price ? "CommodityPrice.Search" : "CommodityStock.Search";
        const QString method = price ? "NetShop.UpdatePrice" : "NetShop.UpdateStock";
        m_svc->answer(search, listAnswer(packet(kPushFields, kProducts)));
        m_svc->answer(method, "<response/>");
        std::unique_ptr<TfrmCommodityPush> form;
        if (price)
            form = openForm<TfrmCommodityPrice>(moduleXml("售价同步", pushParams(search)));
        else
            form = openForm<TfrmCommodityStock>(moduleXml("库存同步", pushParams(search)));
        const QString action = price ? "同步售价" : "同步库存";
        QCOMPARE(form->PushAction()->text(), action);
        QVERIFY(form->Tool("dxBL_Push"));
        QCOMPARE(form->Tool("dxBL_Push")->text(), action);
        QCOMPARE(bool(form->Grid()->ColumnByField("stocknum")), !price);
        QCOMPARE(bool(form->Grid()->ColumnByField("saleprice")), price);
        form->ListData()->Locate("commoditycode", "C2");
        m_svc->clearCalls();
        form->PushAction()->trigger();
        QCOMPARE(m_svc->modules(), QStringList{method});
        QCOMPARE(params(m_svc->calls()[0]), (QStringList{"module=" + method, "commoditycode=C2"}));
        QCOMPARE(form->ListData()->State(), dsEdit);
        QCOMPARE(form->ListData()->FieldByName("errormsg")->AsString(), QStringLiteral("同步成功"));
    }

    void pushNeedsTheAuditRight_data()
    {
        QTest::addColumn<QString>("power");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("with isaudit") << kAll << true;
        QTest::newRow("without isaudit") << "isupdate=True;issearch=True;" << false;
    }
    void pushNeedsTheAuditRight()
    {
        QFETCH(QString, power);
        QFETCH(bool, enabled);
        m_svc->answer("CommodityStock.Search", listAnswer(packet(kPushFields, kProducts)));
        auto form = openForm<TfrmCommodityStock>(moduleXml("库存同步", pushParams("CommodityStock.Search"), power));
        QCOMPARE(form->Tool("dxBL_Push")->isEnabled(), enabled);
    }

    void failedRowsStandOut()
    {
        m_svc->answer("CommodityStock.Search", listAnswer(packet(kPushFields, kProducts)));
        auto form = openForm<TfrmCommodityStock>(moduleXml("库存同步", pushParams("CommodityStock.Search")));
        TPClientDataSet* list = form->ListData();
        list->First();
        list->Edit();
        list->FieldByName("errormsg")->SetAsString("同步失败");
        list->Next();
        list->Edit();
        list->FieldByName("errormsg")->SetAsString("同步成功");
        list->Post();
        TGridView* grid = form->Grid();
        TGridColumn* result = grid->ColumnByField("errormsg");
        QStringList bold;
        for (int row = 0; row < 3; ++row) {
            QStyleOptionViewItem option;
            option.text = list->ValueAt(grid->GridModel()->RecordOf(row), list->FieldByName("errormsg")).toString();
            grid->OnCustomDrawCell()(grid->model()->index(row, grid->IndexOfColumn(result)), result, option);
            bold << (option.font.bold() ? "bold" : "plain");
        }
        QCOMPARE(bold, (QStringList{"bold", "plain", "plain"}));
    }
};

QTEST_MAIN(TestPowerForms)
#include "tst_power_forms.moc"
