// The designable controls and the stage that stores and restores them.
#include "codec/uPanelStream.h"
#include "codec/uPanelText.h"
#include "uIKXDesign.h"
#include "uPCheckListBox.h"
#include "uPComboBox.h"
#include "uPEdit.h"
#include "uPPanel.h"
#include "uTPanelStage.h"

#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestDesignControls : public QObject {
    Q_OBJECT

    static QWidget* make(const QString& cls, const QVariantMap& props, QWidget* parent)
    {
        QWidget* w = KxCreateDesignControl(cls, parent);
        for (auto it = props.begin(); it != props.end(); ++it)
            w->setProperty(it.key().toLatin1(), it.value());
        return w;
    }

private slots:
    void everyClassIsRegistered()
    {
        QWidget host;
        for (const QString& cls : KxDesignClassNames()) {
            QWidget* w = KxCreateDesignControl(cls, &host);
            QVERIFY2(w, qPrintable(cls));
            QCOMPARE(QString::fromLatin1(w->metaObject()->className()), cls);
            const bool input = cls != u"TPLabel" && cls != u"TPBevel" && cls != u"TPPanel" && cls != u"TPImage" && cls != u"TPGroupBox";
            QCOMPARE(qobject_cast<IKXDesign*>(w) != nullptr, input);
        }
        QVERIFY(!KxCreateDesignControl(QStringLiteral("QLineEdit"), &host));
    }

    // Each input control: KXInit, then optionally a first value, then a second; the value it
    // reports; and what it reports after KXClear.
    void getAndSetValue_data()
    {
        QTest::addColumn<QString>("cls");
        QTest::addColumn<QVariantMap>("props");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("cleared");
        const QVariantMap check{{"Selected", "1"}, {"UnSelected", "0"}};
        const QVariantMap onlyTicked{{"Selected", "1"}, {"UnSelected", ""}};
        const QVariantMap twoLines{{"KXKeyValues", QStringList{"a=甲", "b=乙"}}};
        const QVariantMap threeKeys{{"KXKeyValues", QStringList{"k1=一", "k2=二", "k3=三"}}};
        QTest::newRow("edit") << "TPEdit" << QVariantMap{} << "" << "RK 0001" << "RK 0001" << "";
        QTest::newRow("button edit") << "TPButtonEdit" << QVariantMap{} << "" << "供应商" << "供应商" << "";
        QTest::newRow("date edit") << "TPDateEdit" << QVariantMap{} << "" << "2024-02-29" << "2024-02-29" << "";
        QTest::newRow("time edit") << "TPTimeEdit" << QVariantMap{} << "" << "23:59:00" << "23:59:00" << "";
        QTest::newRow("check box ticked") << "TPCheckBox" << check << "" << "1" << "1" << "0";
        QTest::newRow("check box other value unticks") << "TPCheckBox" << check << "1" << "yes" << "0" << "0";
        QTest::newRow("check box empty unselected") << "TPCheckBox" << onlyTicked << "" << "0" << "" << "";
        QTest::newRow("combo key") << "TPComboBox" << twoLines << "" << "b" << "b" << "";
        QTest::newRow("combo unknown key selects nothing") << "TPComboBox" << twoLines << "a" << "z" << "" << "";
        QTest::newRow("radio key") << "TPRadioGroup" << twoLines << "" << "a" << "a" << "";
        QTest::newRow("radio unknown key selects nothing") << "TPRadioGroup" << twoLines << "b" << "z" << "" << "";
        QTest::newRow("check list ticked in list order") << "TPCheckListBox" << threeKeys << "" << "k3,k1" << "k1,k3" << "";
        QTest::newRow("check list keeps other items") << "TPCheckListBox" << threeKeys << "k1" << "k3,k9" << "k1,k3" << "";
    }
    void getAndSetValue()
    {
        QFETCH(QString, cls);
        QFETCH(QVariantMap, props);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, expected);
        QFETCH(QString, cleared);
        QWidget host;
        props.insert(QStringLiteral("KXName"), QStringLiteral("cond"));
        auto* d = qobject_cast<IKXDesign*>(make(cls, props, &host));
        QVERIFY(d);
        d->KXInit();
        QCOMPARE(d->KXGetName(), QStringLiteral("cond"));
        if (!first.isEmpty())
            d->KXSetValue(first);
        d->KXSetValue(second);
        QCOMPARE(d->KXGetValue(), expected);
        d->KXClear();
        QCOMPARE(d->KXGetValue(), cleared);
    }

    void comboShowsCaptionsInOrder()
    {
        TPComboBox combo;
        combo.SetKXKeyValues({QStringLiteral("2=已审核"), QStringLiteral("0=新单")});
        combo.KXInit();
        QCOMPARE(combo.count(), 2);
        QCOMPARE(combo.itemText(0), QStringLiteral("已审核"));
        QCOMPARE(combo.itemText(1), QStringLiteral("新单"));
        QCOMPARE(combo.currentIndex(), -1);
        combo.setCurrentIndex(1);
        QCOMPARE(combo.KXGetValue(), QStringLiteral("0"));
    }

    void stageRoundTrip()
    {
        QWidget form1;
        auto* stage = new TPanelStage(&form1);
        auto* edit = make("TPEdit", {{"KXName", "receiveid"}}, stage);
        edit->setObjectName("PEdit1");
        edit->setGeometry(60, 8, 120, 22);
        auto* panel = make("TPPanel", {{"Caption", "日期"}}, stage);
        panel->setObjectName("PPanel1");
        panel->setGeometry(0, 40, 300, 50);
        auto* combo = make("TPComboBox", {{"KXName", "status"}, {"KXKeyValues", QStringList{"0=新单", "1=已审核"}}}, panel);
        combo->setObjectName("PComboBox1");
        combo->setGeometry(4, 4, 90, 22);
        make("TPCheckBox", {{"KXName", "is_del"}, {"Selected", "1"}, {"UnSelected", ""}, {"Caption", "已删除"}}, stage)->setObjectName("PCheckBox1");
        const QByteArray bytes = stage->SaveToBytes();

        QWidget form2;
        auto* back = new TPanelStage(&form2);
        new TPEdit(back); // a control of the panel before loading goes away
        QVERIFY2(back->LoadFromBytes(bytes), qPrintable(back->LastError()));
        QCOMPARE(back->SaveToBytes(), bytes);
        auto* edit2 = form2.findChild<TPEdit*>("PEdit1");
        QVERIFY(edit2);
        QCOMPARE(edit2->geometry(), QRect(60, 8, 120, 22));
        auto* combo2 = form2.findChild<TPComboBox*>("PComboBox1");
        QVERIFY(combo2);
        QCOMPARE(combo2->parentWidget()->objectName(), QStringLiteral("PPanel1"));
        QCOMPARE(combo2->KXKeyValues(), (QStringList{"0=新单", "1=已审核"}));
        QCOMPARE(back->DesignControls().size(), 3);
        QCOMPARE(form2.findChildren<TPEdit*>().size(), 1);
    }

    void duplicateNamesAreRenamed()
    {
        TKxComponentRecord a{"TPEdit", "Code", {}, {}};
        TKxComponentRecord b{"TPComboBox", "PEdit1", {}, {}};
        QWidget form;
        auto* taken = new QLineEdit(&form);
        taken->setObjectName("PEdit1");
        auto* stage = new TPanelStage(&form);
        QVERIFY(stage->LoadFromBytes(KxWriteComponents({a, a, b, a})));
        QStringList names;
        for (QObject* o : stage->children())
            names << o->objectName();
        // A second "Code" and a "PEdit1" already on the form take the class name and a counter.
        QCOMPARE(names, (QStringList{"Code", "PEdit2", "PComboBox1", "PEdit3"}));
    }

    void unknownPropertiesAndBadValuesAreSkipped()
    {
        TKxComponentRecord edit{"TPEdit", "PEdit1", {{"Nonsense", 5}, {"Left", 7}, {"KXName", "code"}, {"Top", "high"}}, {}};
        TKxComponentRecord check{"TPCheckBox", "PCheckBox1", {{"Selected", QStringList{"x"}}, {"KXName", "flag"}}, {}};
        QWidget form;
        TPanelStage stage(&form);
        QVERIFY(stage.LoadFromBytes(KxWriteComponents({edit, check})));
        QCOMPARE(stage.DesignControls().size(), 2);
        QCOMPARE(stage.DesignControls()[0]->KXGetName(), QStringLiteral("code"));
        QCOMPARE(stage.DesignControls()[1]->KXGetName(), QStringLiteral("flag"));
        QCOMPARE(form.findChild<TPEdit*>()->x(), 7);
    }

    void refusedPanelsLeaveTheStageAsItWas_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        TKxComponentRecord rogue{"QWidget", "x", {}, {}};
        TKxComponentRecord inner{"TPPanel", "p", {}, {TKxComponentRecord{"TfrmBase", "m", {}, {}}}};
        QTest::newRow("unregistered class") << KxWriteComponents({rogue}) << "控件类 QWidget 没有注册";
        QTest::newRow("unregistered nested class") << KxWriteComponents({inner}) << "控件类 TfrmBase 没有注册";
        QTest::newRow("damaged") << QByteArray("KXC1\xff\xff", 6) << "面板数据已损坏";
    }
    void refusedPanelsLeaveTheStageAsItWas()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QWidget form;
        TPanelStage stage(&form);
        (new TPEdit(&stage))->setObjectName("keep");
        QVERIFY(!stage.LoadFromBytes(bytes));
        QVERIFY2(stage.LastError().contains(message), qPrintable(stage.LastError()));
        QCOMPARE(stage.DesignControls().size(), 1);
        QVERIFY(form.findChild<TPEdit*>("keep"));
    }

    void filesCarryTheirNameInErrors()
    {
        QTemporaryDir dir;
        QWidget form;
        TPanelStage stage(&form);
        make("TPEdit", {{"KXName", "code"}}, &stage);
        const QString good = dir.filePath("panel.kxp");
        QVERIFY(stage.SaveToFile(good));
        TPanelStage back(&form);
        QVERIFY(back.LoadFromFile(good));
        QCOMPARE(back.DesignControls().size(), 1);

        const QString missing = dir.filePath("missing.kxp");
        QVERIFY(!back.LoadFromFile(missing));
        QVERIFY(back.LastError().contains(missing));
        QFile bad(dir.filePath("bad.kxp"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("garbage");
        bad.close();
        QVERIFY(!back.LoadFromFile(bad.fileName()));
        QVERIFY(back.LastError().contains(bad.fileName()));
        QCOMPARE(back.DesignControls().size(), 1);
    }

    // The tool the service's seed panels are written with: its text loads into a stage.
    void kxpanelToolWritesWhatTheStageReads()
    {
        QTemporaryDir dir;
        QFile json(dir.filePath("panel.json"));
        QVERIFY(json.open(QIODevice::WriteOnly));
        json.write(R"({"width": 520, "height": 64, "controls": [
            {"class": "TPLabel", "name": "PLabel1", "props": {"Left": 8, "Top": 8, "Caption": "单号"}},
            {"class": "TPEdit", "name": "PEdit1", "props": {"Left": 60, "Top": 8, "Width": 120, "Height": 22, "KXName": "receiveid"}},
            {"class": "TPGroupBox", "name": "PGroupBox1", "props": {"Left": 200, "Top": 0, "Width": 300, "Height": 60, "Caption": "状态"},
             "children": [{"class": "TPCheckListBox", "name": "PCheckListBox1",
                           "props": {"KXName": "status", "KXKeyValues": ["0=新单", "1=已保存", "2=已审核"]}}]}]})");
        json.close();
        const QString tool = qEnvironmentVariable("KX_BIN_DIR") + "/kxpanel";
        QProcess p;
        p.start(tool, {json.fileName()});
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.exitCode(), 0);
        TKxPanelText text;
        QString error;
        QVERIFY2(KxReadPanelText(p.readAllStandardOutput(), &text, &error), qPrintable(error));
        QCOMPARE(text.Width, 520);
        QWidget form;
        TPanelStage stage(&form);
        QVERIFY2(stage.LoadFromBytes(text.Module), qPrintable(stage.LastError()));
        auto* list = form.findChild<TPCheckListBox*>("PCheckListBox1");
        QVERIFY(list);
        list->KXInit();
        list->KXSetValue("2");
        QCOMPARE(list->KXGetValue(), QStringLiteral("2"));
        QCOMPARE(form.findChild<TPEdit*>("PEdit1")->geometry(), QRect(60, 8, 120, 22));

        // An unknown class is refused by the tool, not written.
        QVERIFY(json.open(QIODevice::WriteOnly | QIODevice::Truncate));
        json.write(R"({"width": 1, "height": 1, "controls": [{"class": "TPEditt", "name": "x"}]})");
        json.close();
        p.start(tool, {json.fileName()});
        QVERIFY(p.waitForFinished());
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(p.readAllStandardError().contains("TPEditt"));
    }
};

QTEST_MAIN(TestDesignControls)
#include "tst_design_controls.moc"
