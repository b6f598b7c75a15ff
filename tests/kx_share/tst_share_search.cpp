// The search dialog: controls from a "searchfile", the condition list, and schemes kept in
// "SearchDef.xml" (none, missing title, stored twice, renamed, deleted, odd names, a file
// that cannot be read).
#include "ScriptedUi.h"

#include "codec/uPanelStream.h"
#include "codec/uPanelText.h"
#include "uFrmSearch.h"
#include "uFrmSearchEdit.h"
#include "uIKXDesign.h"

#include <QDomDocument>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QtTest>

namespace {

QString panel(const QStringList& names)
{
    QList<TKxComponentRecord> records;
    int i = 0;
    for (const QString& n : names) {
        TKxComponentRecord r;
        r.ClassName = QStringLiteral("TPEdit");
        r.Name = QStringLiteral("PEdit%1").arg(++i);
        r.SetProperty(QStringLiteral("Left"), 10);
        r.SetProperty(QStringLiteral("Top"), 30 * i);
        r.SetProperty(QStringLiteral("KXName"), n);
        records << r;
    }
    return QString::fromLatin1(KxWritePanelText({300, 120, KxWriteComponents(records)}));
}

// Answers the scheme-name dialog with the next queued name (and OK).
class TNamingUi : public TScriptedUi {
public:
    QStringList names;
    int ShowModal(QWidget* window) override
    {
        if (auto* edit = qobject_cast<TFrmSearchEdit*>(window)) {
            modalWindows.append(window);
            edit->NameEdit()->setText(names.takeFirst());
            edit->btnOkClick();
            return edit->result();
        }
        return TScriptedUi::ShowModal(window);
    }
};

QStringList entries(const TFrmSearch& dlg)
{
    QStringList out;
    for (int i = 0; i < dlg.SchemeList()->count(); ++i)
        out << dlg.SchemeList()->item(i)->text();
    return out;
}

QStringList controlValues(const TFrmSearch& dlg)
{
    QStringList out;
    for (const IKXDesign* c : dlg.DesignControls())
        out << c->KXGetValue();
    return out;
}

void setValues(TFrmSearch& dlg, const QStringList& v)
{
    const QList<IKXDesign*> controls = dlg.DesignControls();
    for (int i = 0; i < controls.size(); ++i)
        controls[i]->KXSetValue(v.value(i));
}

QByteArray fileBytes()
{
    QFile f(KxSearchDefFile());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestShareSearch : public QObject {
    Q_OBJECT

    std::unique_ptr<TFrmSearch> open(const QString& title, const QStringList& names = {"code", "name", ""})
    {
        auto dlg = std::make_unique<TFrmSearch>();
        if (!dlg->InitSearch(panel(names)))
            return nullptr;
        dlg->SetTitle(title);
        return dlg;
    }

private slots:
    void init()
    {
        QFile::remove(KxSearchDefFile());
        ui.clear();
        ui.names.clear();
    }
    void cleanupTestCase() { QFile::remove(KxSearchDefFile()); }

    void conditionsLeaveBlanksOutAndTrim()
    {
        auto dlg = open(QStringLiteral("采购入库查询"));
        QVERIFY(dlg);
        setValues(*dlg, {QStringLiteral("  RK001 "), QStringLiteral("   "), QStringLiteral("unnamed")});
        dlg->btnOkClick();
        QCOMPARE(dlg->result(), int(mrOk));
        QCOMPARE(QString::fromUtf8(dlg->ConditionStream()->readAll()), QStringLiteral("code=RK001\r\n"));
    }

    void damagedSearchFileIsRefusedWithMessage()
    {
        TFrmSearch dlg;
        QVERIFY(!dlg.InitSearch(QStringLiteral("not a panel at all")));
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY(dlg.DesignControls().isEmpty());
    }

    // Opening: no file leaves the controls alone; a file without this title clears them; the
    // default scheme is loaded when there is one.
    void openingLoadsDefaultScheme_data()
    {
        QTest::addColumn<QString>("storedTitle"); // "" : no file at all
        QTest::addColumn<QStringList>("after");
        QTest::newRow("no file") << "" << QStringList{"typed", "x", ""};
        QTest::newRow("other title only") << "别的查询" << QStringList{"", "", ""};
        QTest::newRow("own default scheme") << "入库查询" << QStringList{"A", "B", ""};
    }
    void openingLoadsDefaultScheme()
    {
        QFETCH(QString, storedTitle);
        QFETCH(QStringList, after);
        if (!storedTitle.isEmpty()) {
            auto other = open(storedTitle);
            setValues(*other, {QStringLiteral("A"), QStringLiteral("B")});
            QVERIFY(other->StoreScheme(TFrmSearch::DefaultScheme()));
        }
        auto dlg = open(QStringLiteral("入库查询"));
        setValues(*dlg, {QStringLiteral("typed"), QStringLiteral("x")});
        dlg->show();
        QCOMPARE(controlValues(*dlg), after);
        QCOMPARE(entries(*dlg), QStringList{TFrmSearch::DefaultScheme()});
    }

    void storeTwiceOverwritesOneElement()
    {
        auto dlg = open(QStringLiteral("入库查询"));
        dlg->show();
        ui.names << QStringLiteral("本月") << QStringLiteral("本月");
        setValues(*dlg, {QStringLiteral("1")});
        dlg->btnNewClick();
        setValues(*dlg, {QStringLiteral("2"), QStringLiteral("二")});
        dlg->btnNewClick();
        QCOMPARE(entries(*dlg), (QStringList{TFrmSearch::DefaultScheme(), "本月"}));

        const QByteArray bytes = fileBytes();
        QVERIFY(bytes.contains("encoding=\"gb2312\""));
        QDomDocument doc;
        QVERIFY(doc.setContent(QStringDecoder("GB18030").decode(bytes)));
        const QDomNodeList schemes = doc.documentElement().firstChildElement(QStringLiteral("MN_入库查询")).childNodes();
        QCOMPARE(schemes.size(), 1);
        QCOMPARE(schemes.at(0).firstChildElement(QStringLiteral("code")).text(), QStringLiteral("2"));
        QCOMPARE(schemes.at(0).firstChildElement(QStringLiteral("name")).text(), QStringLiteral("二"));

        setValues(*dlg, {});
        dlg->LoadScheme(QStringLiteral("本月"));
        QCOMPARE(controlValues(*dlg), (QStringList{"2", "二", ""}));
    }

    void renameKeepsOldScheme()
    {
        auto dlg = open(QStringLiteral("入库查询"));
        dlg->show();
        ui.names << QStringLiteral("旧方案") << QStringLiteral("新方案");
        setValues(*dlg, {QStringLiteral("old")});
        dlg->btnNewClick();
        setValues(*dlg, {QStringLiteral("new")});
        dlg->btnEditClick();
        QCOMPARE(entries(*dlg), (QStringList{TFrmSearch::DefaultScheme(), "新方案"}));

        auto again = open(QStringLiteral("入库查询"));
        again->show();
        QCOMPARE(entries(*again), (QStringList{TFrmSearch::DefaultScheme(), "旧方案", "新方案"}));
        again->LoadScheme(QStringLiteral("旧方案"));
        QCOMPARE(controlValues(*again).value(0), QStringLiteral("old"));
    }

    void editAndDeleteIgnoreDefaultEntry()
    {
        auto dlg = open(QStringLiteral("入库查询"));
        dlg->show();
        dlg->SchemeList()->setCurrentRow(0);
        dlg->btnEditClick();
        dlg->btnDeleteClick();
        QVERIFY(ui.modalWindows.isEmpty());
        QVERIFY(ui.messages.isEmpty());
        dlg->SchemeList()->setCurrentItem(nullptr);
        dlg->btnSaveClick();
        QCOMPARE(ui.lastText(), QStringLiteral("请选择需要保存的方案!"));
    }

    void deleteAsksAndRemoves_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("yes") << int(mrYes) << QStringList{TFrmSearch::DefaultScheme()};
        QTest::newRow("no") << int(mrNo) << QStringList{TFrmSearch::DefaultScheme(), "临时"};
    }
    void deleteAsksAndRemoves()
    {
        QFETCH(int, answer);
        QFETCH(QStringList, left);
        auto dlg = open(QStringLiteral("入库查询"));
        dlg->show();
        ui.names << QStringLiteral("临时");
        dlg->btnNewClick();
        ui.answers << answer;
        dlg->btnDeleteClick();
        QCOMPARE(ui.lastText(), QStringLiteral("真的删除此【临时】查询方案吗?"));
        QCOMPARE(entries(*dlg), left);
        auto again = open(QStringLiteral("入库查询"));
        again->show();
        QCOMPARE(entries(*again), left);
    }

    // Titles, scheme and control names that are not XML names are kept and read back.
    void oddNamesRoundTrip_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("scheme");
        QTest::addColumn<QString>("control");
        QTest::newRow("space and brackets") << "选择 商品(1)查询" << "我的 方案<1>" << "goods code";
        QTest::newRow("leading digit") << "1号查询" << "2024年" << "3rd";
        QTest::newRow("emoji outside gb2312") << "订单😀查询" << "方案😀" << "buyer_nick";
    }
    void oddNamesRoundTrip()
    {
        QFETCH(QString, title);
        QFETCH(QString, scheme);
        QFETCH(QString, control);
        auto dlg = open(title, {control});
        dlg->show();
        ui.names << scheme;
        setValues(*dlg, {QStringLiteral("值😀")});
        dlg->btnNewClick();
        QVERIFY(ui.messages.isEmpty());

        auto again = open(title, {control});
        again->show();
        QCOMPARE(entries(*again), (QStringList{TFrmSearch::DefaultScheme(), scheme}));
        again->LoadScheme(scheme);
        QCOMPARE(controlValues(*again), QStringList{"值😀"});
    }

    // After "删除" the list puts its current row on a neighbour; "编辑", "删除" and "保存" act
    // only on an entry the operator selects.
    void afterDeleteNothingIsChosen()
    {
        auto dlg = open(QStringLiteral("入库查询"));
        dlg->show();
        ui.names << QStringLiteral("甲") << QStringLiteral("乙");
        dlg->btnNewClick();
        dlg->btnNewClick();
        dlg->SchemeList()->setCurrentRow(1);
        dlg->btnDeleteClick();
        QCOMPARE(entries(*dlg), (QStringList{TFrmSearch::DefaultScheme(), "乙"}));
        ui.clear();
        dlg->btnEditClick();
        dlg->btnDeleteClick();
        QVERIFY(ui.modalWindows.isEmpty());
        QVERIFY(ui.messages.isEmpty());
        dlg->btnSaveClick();
        QCOMPARE(ui.lastText(), QStringLiteral("请选择需要保存的方案!"));
        dlg->SchemeList()->setCurrentRow(1);
        ui.answers << int(mrNo);
        dlg->btnDeleteClick();
        QCOMPARE(ui.lastText(), QStringLiteral("真的删除此【乙】查询方案吗?"));
    }

    // A DOCTYPE is refused in the schemes file and in a "searchfile", so no entity it
    // declares is ever expanded.
    void doctypeIsRefused_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QByteArray>("xml");
        const QByteArray internal = "<!DOCTYPE Root [<!ENTITY w \"300\">]>";
        const QByteArray external = "<!DOCTYPE Root [<!ENTITY w SYSTEM \"file:///etc/hostname\">]>";
        QTest::newRow("schemes file, internal entity") << "file" << internal + "<Root><MN_x>&w;</MN_x></Root>";
        QTest::newRow("schemes file, external entity") << "file" << external + "<Root><MN_x>&w;</MN_x></Root>";
        QTest::newRow("search panel, internal entity")
            << "panel" << internal + "<Root><width>&w;</width><height>40</height><module></module></Root>";
    }
    void doctypeIsRefused()
    {
        QFETCH(QString, where);
        QFETCH(QByteArray, xml);
        if (where == u"panel") {
            TFrmSearch dlg;
            QVERIFY(!dlg.InitSearch(QString::fromLatin1(xml.toBase64())));
        } else {
            {
                QFile f(KxSearchDefFile());
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write(xml);
            }
            auto dlg = open(QStringLiteral("入库查询"));
            QVERIFY(!dlg->StoreScheme(QStringLiteral("a")));
            QCOMPARE(fileBytes(), xml);
        }
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY2(ui.lastText().contains(QStringLiteral("DOCTYPE")), qPrintable(ui.lastText()));
    }

    void unreadableFileIsLeftAlone()
    {
        {
            QFile f(KxSearchDefFile());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("<Root><MN_x>");
        }
        auto dlg = open(QStringLiteral("入库查询"));
        QVERIFY(!dlg->StoreScheme(QStringLiteral("a")));
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(fileBytes(), QByteArray("<Root><MN_x>"));
    }

private:
    TNamingUi ui;
};

QTEST_MAIN(TestShareSearch)
#include "tst_share_search.moc"
