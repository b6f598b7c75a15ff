// Module bases and module calls: what a module makes of its answer, how it is shown and
// closed, and what CallModule sends, creates or refuses.
#include "FakeService.h"
#include "ScriptedUi.h"
#include "uCallModule.h"
#include "ufrmBase.h"
#include "DataPacket.h"
#include "uPClientDataSet.h"

#include <QPointer>
#include <QtTest>

class TfrmProbe : public TfrmBase {
    Q_OBJECT
public:
    using TfrmBase::TfrmBase;
};

// Registered by name but not a module window: must never be handed out as one.
class TWrongKind : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TWrongKind(QObject* owner = nullptr) : QObject(owner) { ++created; }
    static inline int created = 0;
};

class TmedProbe : public TmedBase {
    Q_OBJECT
public:
    using TmedBase::TmedBase;
};

KX_REGISTER_CLASS(TfrmProbe)
KX_REGISTER_CLASS(TWrongKind)
KX_REGISTER_CLASS(TmedProbe)

namespace {
QString answerOf(const QString& children)
{
    return QStringLiteral("<response>") + children + QStringLiteral("</response>");
}
}

class TestModule : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        gNickId = "N1";
        gOperId = "";
        gShopId = "S1";
    }

    void getParam_data()
    {
        QTest::addColumn<QString>("children");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "<search>Receive.Search</search>" << "search" << "Receive.Search";
        QTest::newRow("last of a name wins") << "<rmf>a.rmf</rmf><x/><rmf>b.rmf</rmf>" << "rmf" << "b.rmf";
        QTest::newRow("absent") << "<a>1</a>" << "b" << "";
        QTest::newRow("element without value") << "<a/>" << "a" << "";
        QTest::newRow("names are exact") << "<Search>x</Search>" << "search" << "";
        QTest::newRow("CDATA value") << "<xmldata><![CDATA[<datapacket/>]]></xmldata>" << "xmldata"
                                     << "<datapacket/>";
        QTest::newRow("Chinese value") << "<moduletitle>采购入库单</moduletitle>" << "moduletitle" << "采购入库单";
        QTest::newRow("escaped text") << "<f>a&amp;b&lt;c</f>" << "f" << "a&b<c";
    }
    void getParam()
    {
        QFETCH(QString, children);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        TfrmBase frm;
        frm.InitModule(answerOf(children));
        QCOMPARE(frm.GetParam(name), expected);
        TmedBase med;
        med.InitModule(answerOf(children));
        QCOMPARE(med.GetParam(name), expected);
    }

    void everyChildBecomesAParameterAndTheTitleTheCaption()
    {
        TfrmBase frm;
        frm.InitModule(answerOf("<moduleclass>TfrmProbe</moduleclass><moduletitle>订单</moduletitle><a/><a>2</a>"));
        QCOMPARE(int(frm.Params().size()), 4);
        QCOMPARE(frm.Params().front().Key, QString("moduleclass"));
        QCOMPARE(frm.windowTitle(), QString("订单"));
    }

    void getPower_data()
    {
        QTest::addColumn<QString>("power");
        QTest::addColumn<QString>("right");
        QTest::addColumn<bool>("expected");
        const QString p = "add=True;edit=False;";
        QTest::newRow("granted") << p << "add" << true;
        QTest::newRow("written but not True") << p << "edit" << false;
        QTest::newRow("prefix of a right") << p << "ad" << false;
        QTest::newRow("substring of a right counts") << p << "dd" << true;
        QTest::newRow("no rights") << "" << "isupdate" << false;
        QTest::newRow("case matters") << "isaudit=true;" << "isaudit" << false;
    }
    void getPower()
    {
        QFETCH(QString, power);
        QFETCH(QString, right);
        QFETCH(bool, expected);
        TfrmBase frm;
        frm.InitModule(answerOf("<modulepower>" + power + "</modulepower>"));
        QCOMPARE(frm.GetPower(right), expected);
    }

    void showModule_data()
    {
        QTest::addColumn<QString>("modal");
        QTest::addColumn<bool>("isModal");
        QTest::newRow("true") << "<modal>true</modal>" << true;
        QTest::newRow("True is a tab module") << "<modal>True</modal>" << false;
        QTest::newRow("absent") << "" << false;
        QTest::newRow("last wins") << "<modal>true</modal><modal>false</modal>" << false;
    }
    void showModule()
    {
        QFETCH(QString, modal);
        QFETCH(bool, isModal);
        TScriptedUi ui;
        ui.modalResults.enqueue(mrOk);
        TfrmBase frm;
        frm.InitModule(answerOf(modal));
        const int r = frm.ShowModule();
        if (isModal) {
            QCOMPARE(r, int(mrOk));
            QCOMPARE(ui.modalWindows, QList<QWidget*>{&frm});
        } else {
            QCOMPARE(r, -1);
            QVERIFY(ui.modalWindows.isEmpty());
            QVERIFY(frm.isVisible());
        }
    }

    void closingFreesOnlyTabModules()
    {
        auto* tab = new TfrmBase;
        tab->InitModule(answerOf(""));
        tab->show();
        QPointer<TfrmBase> tabGuard(tab);
        tab->close();
        QTRY_VERIFY(tabGuard.isNull());

        TfrmBase modal;
        modal.InitModule(answerOf("<modal>true</modal>"));
        modal.show();
        modal.close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(modal.ModalResult(), int(mrCancel)); // closed by its frame: cancel
        modal.show();
        modal.SetModalResult(mrOk);
        QCOMPARE(modal.ModalResult(), int(mrOk));
        QVERIFY(!modal.isVisible());
    }

    void dockedWindowFillsItsHost()
    {
        QWidget host;
        host.resize(400, 300);
        auto* frm = new TfrmBase(&host);
        QVERIFY(frm->isWindow());
        frm->DockInto(&host);
        QVERIFY(!frm->isWindow());
        QCOMPARE(frm->parentWidget(), &host);
    }

    void registryResolvesTheLatestRegistrationAndForgetsOnUnload()
    {
        auto& reg = TKxClassRegistry::Instance();
        QVERIFY(reg.Find("TfrmProbe"));
        QVERIFY(reg.Find("TmedBase")); // the framework's own
        {
            TKxClassRegistrar shadow("TfrmProbe", &TfrmBase::staticMetaObject, &KxCreateInstance<TfrmBase>);
            QCOMPARE(reg.Find("TfrmProbe")->meta, &TfrmBase::staticMetaObject);
        }
        QCOMPARE(reg.Find("TfrmProbe")->meta, &TfrmProbe::staticMetaObject);
        {
            TKxClassRegistrar temp("TfrmTemp", &TfrmBase::staticMetaObject, &KxCreateInstance<TfrmBase>);
            QVERIFY(reg.Names().contains("TfrmTemp"));
        }
        QVERIFY(!reg.Find("TfrmTemp"));
    }

    void reportFileAndVariables()
    {
        gShopId = "S9";
        gShopName = "旗舰店";
        gOperId = "admin";
        gOperName = "老板";
        TfrmBase frm;
        frm.SetRePortFile("receive.rmf");
        auto* holder = dynamic_cast<TKxReportHolder*>(frm.GetReportEx());
        QVERIFY(holder);
        QCOMPARE(frm.GetReportEx(), holder); // created once
        QCOMPARE(holder->FileName(), KxProgramDir() + "/rmf/receive.rmf");
        QCOMPARE(holder->variables.size(), 4);
        QCOMPARE(holder->variables.at(0).first, QString("门店编码"));
        QCOMPARE(holder->variables.at(0).second.toString(), QString("S9"));
        QCOMPARE(holder->variables.at(3).second.toString(), QString("老板"));
        // A template name from the service never reaches outside rmf/.
        for (const QString bad : {"../x.rmf", "a/b.rmf", "C:x.rmf", "a\\b.rmf"}) {
            frm.SetRePortFile(bad);
            QCOMPARE(holder->FileName(), QString());
        }
    }

    // --- CallModule against a scripted service -------------------------------------

    void callModuleSendsTheModuleAndLinesAndCreatesTheClass()
    {
        TScriptedUi ui;
        TFakeService svc;
        svc.answer("Stock.Receive", answerOf("<moduleclass>TfrmProbe</moduleclass><moduletitle>采购入库</moduletitle>"
                                             "<modal>true</modal><search>Receive.Search</search>").toUtf8());
        QWidget owner;
        TfrmBase* frm = CallModule(&owner, "Stock.Receive", {"storageid=01", "memo=a=b", "flag"});
        QVERIFY(frm);
        QVERIFY(qobject_cast<TfrmProbe*>(frm));
        QCOMPARE(frm->parent(), &owner);
        QCOMPARE(frm->GetParam("moduleclass"), QString("TfrmProbe"));
        QCOMPARE(frm->GetParam("search"), QString("Receive.Search"));
        QCOMPARE(frm->windowTitle(), QString("采购入库"));
        QVERIFY(ui.messages.isEmpty());

        const auto calls = svc.calls();
        QCOMPARE(calls.size(), 1);
        QCOMPARE(calls[0].names(), QStringList({"nickid", "operid", "shopid", "module", "storageid", "memo", "flag"}));
        QCOMPARE(calls[0].value("nickid"), QString("N1"));
        QCOMPARE(calls[0].value("module"), QString("Stock.Receive"));
        QCOMPARE(calls[0].value("memo"), QString("a=b")); // split at the first "="
        QCOMPARE(calls[0].value("flag"), QString());
    }

    void callModuleRefusesUnknownClasses_data()
    {
        QTest::addColumn<QString>("children");
        QTest::addColumn<QString>("message");
        QTest::newRow("not registered") << "<moduleclass>TfrmNowhere</moduleclass>" << "【TfrmNowhere】此模块视图没有注册!";
        QTest::newRow("no moduleclass") << "<moduletitle>x</moduletitle>" << "【】此模块视图没有注册!";
        QTest::newRow("registered, not a window module") << "<moduleclass>TWrongKind</moduleclass>"
                                                         << "【TWrongKind】此模块视图没有注册!";
        QTest::newRow("a non-window module") << "<moduleclass>TmedProbe</moduleclass>"
                                             << "【TmedProbe】此模块视图没有注册!";
    }
    void callModuleRefusesUnknownClasses()
    {
        QFETCH(QString, children);
        QFETCH(QString, message);
        TScriptedUi ui;
        TFakeService svc;
        svc.answer("M", answerOf(children).toUtf8());
        TWrongKind::created = 0;
        QCOMPARE(CallModule(nullptr, "M"), nullptr);
        QCOMPARE(TWrongKind::created, 0); // refused before anything is created
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages[0].text, message);
        QCOMPARE(ui.messages[0].caption, QString("系统提示"));
        QCOMPARE(ui.messages[0].icon, TMsgIcon::Error);
    }

    void callModuleStopsWhenTheCallFails()
    {
        TScriptedUi ui;
        TFakeService svc;
        svc.fail("M", 9, "模块不存在");
        QCOMPARE(CallModule(nullptr, "M"), nullptr);
        QCOMPARE(ui.messages.size(), 1); // the service client's box only
        QVERIFY(ui.lastText().contains("模块不存在"));
    }

    void callMethodReturnsTheSearchRowsInItsResultStream()
    {
        TScriptedUi ui;
        TFakeService svc;
        gOperId = "op7";
        TDataPacketWriter w;
        w.AddField("code", ftString, 20);
        w.BeginRow();
        w.SetText(0, u"A01");
        w.EndRow();
        svc.answer("Select.Commodity", answerOf("<moduleclass>TfrmWhatever</moduleclass><search>Commodity.Search</search>").toUtf8());
        svc.answer("Commodity.Search", "<response><xmldata><![CDATA[" + w.Finish() + "]]></xmldata></response>");
        std::unique_ptr<TmedBase> med(CallMethod(nullptr, "Select.Commodity", {"code=A01"}));
        QVERIFY(med);
        QVERIFY(ui.messages.isEmpty());
        const auto calls = svc.calls();
        QCOMPARE(svc.modules(), QStringList({"Select.Commodity", "Commodity.Search"}));
        QCOMPARE(calls[1].names(), QStringList({"nickid", "operid", "shopid", "module", "code", "curpage"}));
        QCOMPARE(calls[1].value("operid"), QString("op7"));
        QCOMPARE(calls[1].value("curpage"), QString("0"));
        med->ResultStream()->seek(0);
        TPClientDataSet rows;
        QVERIFY(rows.LoadFromStream(med->ResultStream()));
        QCOMPARE(rows.RecordCount(), 1);
        QCOMPARE(rows.FieldByName("code")->AsString(), QString("A01"));

        // The search failing leaves the stream empty; the module still comes back.
        svc.fail("Commodity.Search", 8, "查询失败");
        std::unique_ptr<TmedBase> failed(CallMethod(nullptr, "Select.Commodity"));
        QVERIFY(failed);
        QCOMPARE(failed->ResultStream()->size(), 0);
        QCOMPARE(ui.messages.size(), 1);
    }
};

QTEST_MAIN(TestModule)
#include "tst_module.moc"
