// The master-data forms against a scripted service: what they send (rights, the save with its
// question, paging with the saved conditions, the carriers' ticks) and what they show.
#include "FakeService.h"
#include "ScriptedUi.h"

#include "DataPacket.h"
#include "uFrmSearch.h"
#include "uIKXDesign.h"
#include "codec/uPanelStream.h"
#include "codec/uPanelText.h"
#include "uGridView.h"
#include "uPClientDataSet.h"
#include "ufrmLogistics.h"
#include "ufrmOperator.h"
#include "ufrmShop.h"
#include "ufrmStorage.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {
const QString kAllRights = QStringLiteral("isupdate=True;issearch=True;isprint=True;isoutput=True;iscolumn=True;");

QByteArray page(const QByteArray& packet, int records, int pages)
{
    return "<response><xmldata><![CDATA[" + packet + "]]></xmldata><recordcount>" + QByteArray::number(records)
           + "</recordcount><pagecount>" + QByteArray::number(pages) + "</pagecount></response>";
}

const QByteArray kShops = "<datapacket><fields><field name=\"shopcode\" type=\"string\" size=\"20\"/>"
                          "<field name=\"shopname\" type=\"string\" size=\"100\"/><field name=\"isuse\" type=\"boolean\"/>"
                          "<field name=\"md5_key\" type=\"string\" size=\"32\"/></fields><rows>"
                          "<row shopcode=\"S01\" shopname=\"旗舰店\" isuse=\"1\"/><row shopcode=\"S02\" shopname=\"二店\" isuse=\"0\"/>"
                          "</rows></datapacket>";

QString moduleXml(const QString& power, const QMap<QString, QString>& extra = {})
{
    QString xml = QStringLiteral("<response><moduletitle>门店管理</moduletitle><modulepower>") + power
                  + QStringLiteral("</modulepower><searchfile>x</searchfile>");
    for (auto it = extra.begin(); it != extra.end(); ++it)
        xml += QStringLiteral("<%1>%2</%1>").arg(it.key(), it.value());
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

// The changes of a delta: kind letter and the value of one field, e.g. "I:B", "D:A".
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

QStringList searchParams(const TFakeCall& call)
{
    QStringList out;
    for (const auto& f : call.fields)
        if (f.first != u"nickid" && f.first != u"operid" && f.first != u"shopid")
            out << f.first + QLatin1Char('=') + f.second;
    return out;
}
}

// Fills the search dialog's first condition and confirms it.
class TSearchingUi : public TScriptedUi {
public:
    QString value;
    QString title;
    int ShowModal(QWidget* window) override
    {
        auto* search = qobject_cast<TFrmSearch*>(window);
        if (!search || search->DesignControls().isEmpty())
            return TScriptedUi::ShowModal(window);
        title = search->windowTitle();
        search->DesignControls().first()->KXSetValue(value);
        return mrOk;
    }
};

QString shopPanel()
{
    TKxComponentRecord edit{QStringLiteral("TPEdit"), QStringLiteral("PEdit1"), {}, {}};
    edit.SetProperty(QStringLiteral("KXName"), QStringLiteral("shopname"));
    TKxPanelText text;
    text.Width = 200;
    text.Height = 40;
    text.Module = KxWriteComponents({edit});
    return QString::fromLatin1(KxWritePanelText(text));
}

class TestBasicForms : public QObject {
    Q_OBJECT
    std::unique_ptr<TFakeService> m_svc;
    std::unique_ptr<TScriptedUi> m_ui;

private Q_SLOTS:
    void init()
    {
        m_svc = std::make_unique<TFakeService>();
        m_ui = std::make_unique<TScriptedUi>();
        m_svc->answer(QStringLiteral("Shop.Search"), page(kShops, 2, 1));
        m_svc->answer(QStringLiteral("Shop.Update"), page("<datapacket><fields><field name=\"md5_key\" type=\"string\"/></fields></datapacket>", 0, 1));
    }
    void cleanup()
    {
        m_ui.reset();
        m_svc.reset();
    }

    void rightsDecideTheButtons_data()
    {
        QTest::addColumn<QString>("power");
        QTest::addColumn<QStringList>("enabled");
        const QStringList edit{"新 建", "修 改", "删 除", "保 存"};
        QTest::newRow("no rights") << QString() << QStringList{};
        QTest::newRow("update only") << QStringLiteral("isupdate=True;") << edit;
        QTest::newRow("all but update")
            << QStringLiteral("issearch=True;isprint=True;isoutput=True;iscolumn=True;")
            << QStringList{"查 询", "打 印", "预 览", "导出Excel", "显示列设置"};
        QTest::newRow("update written False") << QStringLiteral("isupdate=False;issearch=True;") << QStringList{"查 询"};
    }
    void rightsDecideTheButtons()
    {
        QFETCH(QString, power);
        QFETCH(QStringList, enabled);
        auto form = openForm<TfrmShop>(moduleXml(power, {{"search", "Shop.Search"}}));
        for (const char* text : {"新 建", "修 改", "删 除", "保 存", "查 询", "打 印", "预 览", "导出Excel", "显示列设置"}) {
            const QString t = QString::fromUtf8(text);
            auto* b = form->findChildren<QPushButton*>().value(0);
            for (QPushButton* p : form->findChildren<QPushButton*>())
                if (p->text() == t)
                    b = p;
            QCOMPARE(b->text(), t);
            QVERIFY2(b->isEnabled() == enabled.contains(t), qPrintable(t));
        }
        // Without the right the grid cannot be typed into either.
        QCOMPARE(form->Grid()->editTriggers() == QAbstractItemView::NoEditTriggers, !power.contains("isupdate=True;"));
        QCOMPARE(form->RecordLabel()->text(), QStringLiteral("记录总数：2 条， 第 1 页/共 1 页"));
    }

    void searchButtonHiddenWithoutPanel()
    {
        auto form = std::make_unique<TfrmShop>();
        form->InitModule(QStringLiteral("<response><modulepower>issearch=True;</modulepower><search>Shop.Search</search></response>"));
        form->show();
        for (QPushButton* p : form->findChildren<QPushButton*>())
            if (p->text() == QStringLiteral("查 询"))
                QVERIFY(p->isHidden());
    }

    void saveAsksThenSendsTheDeltaEvenWhenEmpty_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("edited");
        QTest::newRow("OK, nothing changed") << int(mrOk) << false;
        QTest::newRow("OK, a new row") << int(mrOk) << true;
        QTest::newRow("Cancel keeps the change pending") << int(mrCancel) << true;
    }
    void saveAsksThenSendsTheDeltaEvenWhenEmpty()
    {
        QFETCH(int, answer);
        QFETCH(bool, edited);
        auto form = openForm<TfrmShop>(moduleXml(kAllRights, {{"search", "Shop.Search"}, {"update", "Shop.Update"}}));
        if (edited) {
            form->dxBL_NewClick();
            form->ListData()->FieldByName("shopname")->SetAsString("三店");
        }
        m_svc->clearCalls();
        m_ui->answers.enqueue(answer);
        form->dxBL_SaveClick();
        QCOMPARE(m_ui->messages.value(0).text, QStringLiteral("真的需要提交修改吗？"));
        QCOMPARE(m_ui->messages.value(0).buttons, int(mbOK | mbCancel));
        if (answer == mrCancel) {
            QVERIFY(m_svc->calls().isEmpty());
            QCOMPARE(form->ListData()->ChangeCount(), 1);
            return;
        }
        QCOMPARE(m_svc->modules(), QStringList{"Shop.Update"});
        const QString delta = m_svc->calls().value(0).files.value("delta");
        QCOMPARE(changes(delta, "shopname"), edited ? QStringList{"I:三店"} : QStringList{});
        QCOMPARE(m_ui->lastText(), QStringLiteral("数据提交成功！"));
        QCOMPARE(form->ListData()->ChangeCount(), 0);
    }

    void failedSaveKeepsTheChanges()
    {
        auto form = openForm<TfrmShop>(moduleXml(kAllRights, {{"search", "Shop.Search"}, {"update", "Shop.Update"}}));
        form->dxBL_NewClick();
        form->ListData()->FieldByName("shopname")->SetAsString("三店");
        m_svc->fail("Shop.Update", 50, "门店名称不能为空");
        form->dxBL_SaveClick();
        QVERIFY(m_ui->lastText().contains("门店名称不能为空"));
        QCOMPARE(form->ListData()->ChangeCount(), 1);
    }

    void unsavedChangesAskBeforeRefreshOrClose_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("question");
        QTest::addColumn<bool>("kept");
        QTest::newRow("refresh, kept") << "refresh" << int(mrCancel) << "数据有未保存的修改，确定不保存就刷新吗？" << true;
        QTest::newRow("refresh, given up") << "refresh" << int(mrOk) << "数据有未保存的修改，确定不保存就刷新吗？" << false;
        QTest::newRow("close, kept") << "close" << int(mrCancel) << "数据有未保存的修改，确定不保存就退出吗？" << true;
        QTest::newRow("close, given up") << "close" << int(mrOk) << "数据有未保存的修改，确定不保存就退出吗？" << false;
    }
    void unsavedChangesAskBeforeRefreshOrClose()
    {
        QFETCH(QString, action);
        QFETCH(int, answer);
        QFETCH(QString, question);
        QFETCH(bool, kept);
        auto form = openForm<TfrmShop>(moduleXml(kAllRights, {{"search", "Shop.Search"}}));
        // Nothing changed: no question.
        form->dxBL_RefreshClick();
        QVERIFY(m_ui->messages.isEmpty());
        form->ListData()->SetRecNo(2);
        form->ListData()->Edit();
        form->ListData()->FieldByName("shopname")->SetAsString("三店");
        form->ListData()->Post();
        m_ui->answers << answer;
        const int searches = m_svc->modules().count("Shop.Search");
        if (action == "refresh")
            form->dxBL_RefreshClick();
        else
            QCOMPARE(form->close(), !kept);
        QCOMPARE(m_ui->lastText(), question);
        if (action == "refresh") {
            QCOMPARE(m_svc->modules().count("Shop.Search"), searches + (kept ? 0 : 1));
            QCOMPARE(form->ListData()->ChangeCount(), kept ? 1 : 0);
        }
    }

    void newRowsGetAKeyAndPresets()
    {
        auto form = openForm<TfrmShop>(moduleXml(kAllRights, {{"search", "Shop.Search"}}));
        form->dxBL_NewClick();
        const QString key = form->ListData()->FieldByName("md5_key")->AsString();
        QVERIFY2(QRegularExpression("^[0-9a-f]{32}$").match(key).hasMatch(), qPrintable(key));
        QVERIFY(form->ListData()->FieldByName("isuse")->AsBoolean());
        form->ListData()->Post();
        form->dxBL_NewClick();
        QVERIFY(form->ListData()->FieldByName("md5_key")->AsString() != key);
    }

    void searchDialogConditionsAreSentAndKept()
    {
        m_ui.reset();
        TSearchingUi ui;
        ui.value = QStringLiteral(" 旗舰 ");
        auto form = openForm<TfrmShop>(moduleXml(kAllRights, {{"search", "Shop.Search"}, {"searchfile", shopPanel()}}));
        m_svc->clearCalls();
        form->dxBL_SearchClick();
        form->dxBL_RefreshClick();
        QCOMPARE(ui.title, QStringLiteral("门店管理查询"));
        const QStringList expected{"module=Shop.Search", "coreshop=coreshop", "shopname=旗舰", "curpage=1"};
        QCOMPARE(m_svc->calls().size(), 2);
        QCOMPARE(searchParams(m_svc->calls()[0]), expected);
        QCOMPARE(searchParams(m_svc->calls()[1]), expected);
    }

    void pagingKeepsTheConditions()
    {
        m_svc->answer("Shop.Search", page(kShops, 6, 3));
        auto form = openForm<TfrmShop>(moduleXml(kAllRights, {{"search", "Shop.Search"}}));
        form->FixedConditions() << "isuse=1";
        const QStringList conditions{"shopname=店", "shopcode=S0"};
        QVERIFY(form->Search(&conditions, 1));
        m_svc->clearCalls();
        form->btnNextClick();
        form->dxBL_RefreshClick();
        const QList<TFakeCall> calls = m_svc->calls();
        QCOMPARE(calls.size(), 2);
        const QStringList base{"module=Shop.Search", "coreshop=coreshop", "shopname=店", "shopcode=S0", "isuse=1"};
        QCOMPARE(searchParams(calls[0]), base + QStringList{"curpage=2"});
        QCOMPARE(searchParams(calls[1]), base + QStringList{"curpage=1"});
        QCOMPARE(form->CurrentPage(), 1);
        QCOMPARE(form->ListData()->RecordCount(), 2); // page 1 replaced the rows
        QCOMPARE(form->RecordLabel()->text(), QStringLiteral("记录总数：6 条， 第 1 页/共 3 页"));
    }

    void remainingPages_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("calls");
        QTest::addColumn<int>("rows");
        QTest::newRow("all remaining pages") << "run" << 4 << 10;
        QTest::newRow("pause before the next page") << "pause" << 0 << 2;
        QTest::newRow("a failing page ends the loop") << "fail" << 1 << 2;
    }
    void remainingPages()
    {
        QFETCH(QString, how);
        QFETCH(int, calls);
        QFETCH(int, rows);
        m_svc->answer("Shop.Search", page(kShops, 10, 5));
        auto form = openForm<TfrmShop>(moduleXml(kAllRights, {{"search", "Shop.Search"}}));
        m_svc->clearCalls();
        if (how == "fail")
            m_svc->fail("Shop.Search", 99, "服务忙");
        if (how == "pause")
            QTimer::singleShot(0, form.get(), [&] { form->btnPauseClick(); });
        form->btnRemainClick();
        QCOMPARE(m_svc->calls().size(), calls);
        QCOMPARE(form->ListData()->RecordCount(), rows);
        if (how == "run")
            QCOMPARE(searchParams(m_svc->calls().last()).last(), QStringLiteral("curpage=5"));
    }

    void keywordCellsAreBoldRedButNeverPasswords()
    {
        m_svc->answer("Operator.Search",
                      page("<datapacket><fields><field name=\"operid\" type=\"string\"/><field name=\"opername\" type=\"string\"/>"
                           "<field name=\"operpsw\" type=\"string\"/><field name=\"isuse\" type=\"boolean\"/>"
                           "<field name=\"md5_key\" type=\"string\"/></fields><rows>"
                           "<row operid=\"ab1\" opername=\"ab\" operpsw=\"ab\" isuse=\"1\"/></rows></datapacket>", 1, 1));
        auto form = openForm<TfrmOperator>(moduleXml(kAllRights, {{"search", "Operator.Search"}}));
        auto* keyword = form->findChild<QLineEdit*>();
        keyword->setText(" ab ");
        TGridView* grid = form->Grid();
        for (int col = 0; col < grid->ColumnCount(); ++col) {
            QStyleOptionViewItem opt;
            opt.text = grid->GridModel()->CellText(0, grid->Column(col));
            if (grid->Column(col)->Editor == TGridEditor::Password)
                opt.text = QStringLiteral("ab"); // even if a password reached the cell
            grid->OnCustomDrawCell()(grid->model()->index(0, col), grid->Column(col), opt);
            const bool marked = grid->Column(col)->FieldName == "operid" || grid->Column(col)->FieldName == "opername";
            QVERIFY2(opt.font.bold() == marked, qPrintable(grid->Column(col)->FieldName));
            QCOMPARE(opt.palette.color(QPalette::Text) == QColor(Qt::red), marked);
        }
    }

    void operatorPasswordLeavesOnlyWhenTypedAndNeverInExports()
    {
        m_svc->answer("Operator.Search",
                      page("<datapacket><fields><field name=\"operid\" type=\"string\"/><field name=\"opername\" type=\"string\"/>"
                           "<field name=\"operpsw\" type=\"string\"/><field name=\"isuse\" type=\"boolean\"/>"
                           "<field name=\"md5_key\" type=\"string\"/></fields><rows>"
                           "<row operid=\"OP001\" opername=\"甲\" isuse=\"1\" md5_key=\"k1\"/>"
                           "<row operid=\"OP002\" opername=\"乙\" isuse=\"1\" md5_key=\"k2\"/></rows></datapacket>", 2, 1));
        m_svc->answer("Operator.Update", page("<datapacket><fields><field name=\"md5_key\" type=\"string\"/></fields></datapacket>", 0, 1));
        auto form = openForm<TfrmOperator>(moduleXml(kAllRights, {{"search", "Operator.Search"}, {"update", "Operator.Update"}}));
        TGridModel* model = form->Grid()->GridModel();
        const int name = form->Grid()->IndexOfColumn(form->Grid()->ColumnByField("opername"));
        const int psw = form->Grid()->IndexOfColumn(form->Grid()->ColumnByField("operpsw"));
        QVERIFY(model->setData(model->index(0, name), QStringLiteral("甲二")));
        QVERIFY(model->setData(model->index(1, psw), QStringLiteral("Zq-7secret")));
        QVERIFY(model->CellText(1, form->Grid()->Column(psw)) != QStringLiteral("Zq-7secret"));

        QTemporaryDir dir;
        m_ui->fileAnswers.enqueue(dir.filePath("ops.xls"));
        form->dxBL_ExportClick();
        QFile f(dir.filePath("ops.xls"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.contains(QByteArray("OP002")) || bytes.contains(QByteArray::fromRawData(reinterpret_cast<const char*>(u"OP002"), 10)));
        QVERIFY(!bytes.contains("Zq-7secret"));
        QVERIFY(!bytes.contains(QByteArray::fromRawData(reinterpret_cast<const char*>(u"Zq-7secret"), 20)));

        form->dxBL_SaveClick();
        TDeltaReader r;
        QVERIFY(r.Load(m_svc->calls().last().files.value("delta")));
        QCOMPARE(r.Count(), 2);
        QCOMPARE(r.ChangedFields(0), QStringList{"opername"});
        QCOMPARE(r.ChangedFields(1), QStringList{"operpsw"});
        QCOMPARE(r.NewRow(1).AsString("operpsw"), QStringLiteral("Zq-7secret"));
    }

    void storageTypesAreLoadedFirstAndShownByName()
    {
        m_svc->answer("Storage.TypeList", page("<datapacket><fields><field name=\"storagetype\" type=\"integer\"/>"
                                               "<field name=\"typename\" type=\"string\"/></fields><rows>"
                                               "<row storagetype=\"1\" typename=\"正品仓\"/><row storagetype=\"3\" typename=\"次品仓\"/>"
                                               "</rows></datapacket>", 2, 1));
        m_svc->answer("Storage.Search", page("<datapacket><fields><field name=\"storageid\" type=\"string\"/>"
                                             "<field name=\"storagename\" type=\"string\"/><field name=\"storagetype\" type=\"integer\"/>"
                                             "<field name=\"md5_key\" type=\"string\"/></fields><rows>"
                                             "<row storageid=\"CK01\" storagename=\"总仓\" storagetype=\"3\"/></rows></datapacket>", 1, 1));
        auto form = openForm<TfrmStorage>(moduleXml(kAllRights, {{"search", "Storage.Search"}, {"storagetype", "Storage.TypeList"}}));
        QCOMPARE(m_svc->modules(), (QStringList{"Storage.TypeList", "Storage.Search"}));
        TGridView* grid = form->Grid();
        QCOMPARE(grid->GridModel()->CellText(0, grid->ColumnByField("storagetype")), QStringLiteral("次品仓"));
        QCOMPARE(grid->ColumnByField("storagetype")->Editor, TGridEditor::Lookup);
        QVERIFY(grid->ColumnByField("storageid")->ReadOnly);
    }

    void carrierTicksBecomeTheShopsCarriers()
    {
        m_svc->answer("Logistics.SearchMger",
                      page("<datapacket><fields><field name=\"logistics_code\" type=\"string\"/><field name=\"logistics_name\" type=\"string\"/>"
                           "<field name=\"nicklogistics_code\" type=\"string\"/><field name=\"logistics_fee\" type=\"decimal\" scale=\"2\"/>"
                           "<field name=\"md5_key\" type=\"string\"/></fields><rows>"
                           "<row logistics_code=\"EMS\" logistics_name=\"邮政\" nicklogistics_code=\"EMS\" logistics_fee=\"12.00\"/>"
                           "<row logistics_code=\"SF\" logistics_name=\"顺丰\" nicklogistics_code=\"\" logistics_fee=\"0\"/>"
                           "<row logistics_code=\"YTO\" logistics_name=\"圆通\" nicklogistics_code=\"\" logistics_fee=\"0\"/>"
                           "<row logistics_code=\"ZTO\" logistics_name=\"中通\" nicklogistics_code=\"ZTO\" logistics_fee=\"8.00\"/>"
                           "</rows></datapacket>", 4, 1));
        m_svc->answer("Logistics.Search",
                      page("<datapacket><fields><field name=\"logistics_code\" type=\"string\"/><field name=\"logistics_name\" type=\"string\"/>"
                           "<field name=\"logistics_fee\" type=\"decimal\" scale=\"2\"/><field name=\"md5_key\" type=\"string\"/></fields><rows>"
                           "<row logistics_code=\"ems\" logistics_name=\"邮政\" logistics_fee=\"12.00\" md5_key=\"a\"/>"
                           "<row logistics_code=\"ZTO\" logistics_name=\"中通\" logistics_fee=\"8.00\" md5_key=\"b\"/>"
                           "</rows></datapacket>", 2, 1));
        m_svc->answer("Logistics.Update", page("<datapacket><fields><field name=\"md5_key\" type=\"string\"/></fields></datapacket>", 0, 1));
        auto form = openForm<TfrmLogistics>(moduleXml(kAllRights, {{"searchmger", "Logistics.SearchMger"}, {"search", "Logistics.Search"}, {"update", "Logistics.Update"}}));
        const QList<TFakeCall> opening = m_svc->calls();
        QCOMPARE(m_svc->modules(), (QStringList{"Logistics.SearchMger", "Logistics.Search"}));
        QCOMPARE(searchParams(opening[1]), (QStringList{"module=Logistics.Search", "nick=nick", "curpage=0"}));

        TPClientDataSet* ticks = form->TickData();
        QStringList shown;
        for (ticks->First(); !ticks->Eof(); ticks->Next())
            shown << ticks->FieldByName("logistics_code")->AsString() + (ticks->FieldByName("selected")->AsBoolean() ? "+" : "-");
        QCOMPARE(shown, (QStringList{"EMS+", "SF-", "YTO-", "ZTO+"}));

        // SF ticked then unticked; YTO ticked with a fee; ZTO unticked; EMS ticked with a new fee.
        auto set = [&](const char* code, bool tick, const char* fee = nullptr) {
            QVERIFY(ticks->Locate("logistics_code", QString::fromLatin1(code)));
            ticks->Edit();
            ticks->FieldByName("selected")->SetAsBoolean(tick);
            if (fee)
                ticks->FieldByName("logistics_fee")->SetAsString(QString::fromLatin1(fee));
            ticks->Post();
        };
        set("SF", true);
        set("SF", false);
        set("YTO", true, "6.5");
        set("ZTO", false);
        set("EMS", true, "15");
        m_svc->clearCalls();
        form->dxBL_SaveClick();
        QCOMPARE(m_svc->modules(), QStringList{"Logistics.Update"});
        const QString delta = m_svc->calls().value(0).files.value("delta");
        // The shop's EMS row is matched without regard to letter case and takes the code as listed.
        QCOMPARE(changes(delta, "logistics_code"), (QStringList{"U:EMS", "I:YTO", "D:ZTO"}));
        QCOMPARE(changes(delta, "logistics_fee"), (QStringList{"U:15.00", "I:6.50", "D:8.00"}));
        TDeltaReader r;
        QVERIFY(r.Load(delta));
        QCOMPARE(r.NewRow(1).AsString("md5_key").size(), 32);
    }

    void carrierListTakesNoCaptionsAndNoLayout()
    {
        m_svc->answer("Logistics.SearchMger", page("<datapacket><fields><field name=\"logistics_code\" type=\"string\"/></fields></datapacket>", 0, 1));
        m_svc->answer("Logistics.Search", page("<datapacket><fields><field name=\"logistics_code\" type=\"string\"/></fields></datapacket>", 0, 1));
        auto form = openForm<TfrmLogistics>(moduleXml(kAllRights, {{"searchmger", "Logistics.SearchMger"}, {"search", "Logistics.Search"},
                                                                   {"fieldlabels", "logistics_code=别的;"}, {"disfieldlabels", "logistics_name;"}}));
        TGridView* grid = form->Grid();
        QStringList captions;
        for (int i = 0; i < grid->ColumnCount(); ++i)
            captions << grid->Column(i)->Caption + (grid->Column(i)->Visible ? "" : "(hidden)");
        QCOMPARE(captions, (QStringList{"选择", "物流编码", "快递物流名称", "默认费用"}));
        form->dxBL_ColumnsClick();
        QVERIFY(m_ui->modalWindows.isEmpty());
    }
};

QTEST_MAIN(TestBasicForms)
#include "tst_basic_forms.moc"
