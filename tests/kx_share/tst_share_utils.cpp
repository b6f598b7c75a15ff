// uUtils: captions, hidden columns, columns from fields, column layouts and their file,
// category trees, row keys and the merge of save answers.
#include "ShareTestSupport.h"
#include "ScriptedUi.h"
#include "uFrmColumnsDef.h"
#include "uGridView.h"
#include "uUtils.h"
#include "ufrmBase.h"
#include "wire/uClock.h"

#include <QCheckBox>
#include <QDir>
#include <QDomDocument>
#include <QLabel>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QStringDecoder>
#include <QTreeWidget>
#include <QtTest>

namespace {

QString colsDef()
{
    return QDir(KxProgramDir()).filePath(QStringLiteral("ColsDef.xml"));
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList captions(TGridView& v)
{
    QStringList out;
    for (int i = 0; i < v.ColumnCount(); ++i)
        out << v.Column(i)->Caption + (v.Column(i)->Visible ? QString() : QStringLiteral("-"));
    return out;
}

// A scripted UI that presses buttons of the column dialog when it is shown.
class ColumnsDefUi : public TScriptedUi {
public:
    std::function<void(TFrmColumnsDef*)> script;
    int ShowModal(QWidget* w) override
    {
        modalWindows.append(w);
        auto* dlg = qobject_cast<TFrmColumnsDef*>(w);
        if (!dlg || !script)
            return mrCancel;
        dlg->setResult(0);
        script(dlg);
        return dlg->result();
    }
};

QString dumpTree(QTreeWidgetItem* item)
{
    QString s = item->text(0);
    if (item->childCount()) {
        QStringList kids;
        for (int i = 0; i < item->childCount(); ++i)
            kids << dumpTree(item->child(i));
        s += u'(' + kids.join(u',') + u')';
    }
    return s;
}

} // namespace

class TestShareUtils : public QObject {
    Q_OBJECT

    TPClientDataSet ds;
    void grid(TGridView& v, const QStringList& fields)
    {
        v.SetDataSet(&ds);
        for (const QString& f : fields)
            v.AddColumn(f);
    }

private slots:
    void init()
    {
        QFile::remove(colsDef());
        QVERIFY(ds.SetKXXMLData(packet("code:string,name:string,price:decimal,qty:integer,md5_key:string",
                                       {R"(code="A1" name="甲" price="1.5" qty="2" md5_key="k1")"})));
    }
    void cleanup() { QFile::remove(colsDef()); }

    void captionStrings_data()
    {
        QTest::addColumn<QString>("labels");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("pairs") << "code=编码;name=名称;" << QStringList{"编码", "名称", "price"};
        QTest::newRow("empty caption changes nothing") << "code=;name=名称" << QStringList{"code", "名称", "price"};
        QTest::newRow("names without regard to case") << "CODE=编码;Price=单价" << QStringList{"编码", "name", "单价"};
        QTest::newRow("blanks trimmed, last ; missing") << "name=  名 称  " << QStringList{"code", "名 称", "price"};
        QTest::newRow("first pair of a name wins") << "code=一;code=二" << QStringList{"一", "name", "price"};
        QTest::newRow("caption holding =") << "code=a=b" << QStringList{"a=b", "name", "price"};
        QTest::newRow("unknown names ignored") << "nope=x;;=y" << QStringList{"code", "name", "price"};
    }
    void captionStrings()
    {
        QFETCH(QString, labels);
        QFETCH(QStringList, expected);
        TGridView v;
        grid(v, {"code", "name", "price"});
        TableViewDispay(&v, labels);
        QCOMPARE(captions(v), expected);
        QCOMPARE(v.GridModel()->headerData(0, Qt::Horizontal).toString(), expected[0]);
    }

    void hiddenStrings_data()
    {
        QTest::addColumn<QString>("hidden");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("one") << "name;" << QStringList{"code", "name-", "code"};
        QTest::newRow("twice hides the first column once") << "code;code;" << QStringList{"code-", "name", "code"};
        QTest::newRow("other letter case hides nothing") << "Name;CODE;" << QStringList{"code", "name", "code"};
        QTest::newRow("empty") << "" << QStringList{"code", "name", "code"};
    }
    void hiddenStrings()
    {
        QFETCH(QString, hidden);
        QFETCH(QStringList, expected);
        TGridView v;
        grid(v, {"code", "name", "code"});
        DisTableViewDispay(&v, hidden);
        QCOMPARE(captions(v), expected);
        for (int i = 0; i < v.ColumnCount(); ++i)
            QCOMPARE(v.isColumnHidden(i), !v.Column(i)->Visible);
    }

    void formLabels()
    {
        QWidget form;
        auto* label = new QLabel(&form);
        label->setObjectName("code");
        auto* check = new QCheckBox(&form);
        check->setObjectName("is_del");
        auto* edit = new QLineEdit(&form);
        edit->setObjectName("name");
        auto* other = new QLabel("unchanged", &form);
        other->setObjectName("price");
        FormViewDispay(&form, "CODE=编码;is_del=已删除;name=名称;price=;");
        QCOMPARE(label->text(), QStringLiteral("编码："));
        QCOMPARE(check->text(), QStringLiteral("已删除"));
        QCOMPARE(edit->text(), QString());
        QCOMPARE(other->text(), QStringLiteral("unchanged"));
    }

    void columnsFromFields()
    {
        TGridView v;
        grid(v, {"CODE"});
        SetGridColumn(&ds, &v);
        QCOMPARE(captions(v), (QStringList{"CODE", "name", "price", "qty"}));
        QCOMPARE(v.Column(1)->Editor, TGridEditor::Text);
        QCOMPARE(v.Column(2)->Editor, TGridEditor::Amount);
        QCOMPARE(v.Column(3)->Editor, TGridEditor::Amount);
        QVERIFY(v.Column(2)->ReadOnly);
        QCOMPARE(v.GridModel()->index(0, 2).data().toString(), QStringLiteral("1.50"));
        QCOMPARE(v.GridModel()->index(0, 3).data().toString(), QStringLiteral("2")); // an integer stays whole
        QVERIFY(!(v.GridModel()->flags(v.GridModel()->index(0, 1)) & Qt::ItemIsEditable));
    }

    // The dialog writes the layout; applying it to a fresh grid gives the same order.
    void layoutAfterReordering()
    {
        ColumnsDefUi ui;
        TGridView v;
        grid(v, {"code", "name", "price", "qty"});
        TableViewDispay(&v, "code=编码;name=名称;price=单价;qty=数量");
        ui.script = [](TFrmColumnsDef* d) {
            d->Grid()->setCurrentIndex(d->Rows()->index(2, 1)); // 单价 to the top
            d->btnUpClick();
            d->btnUpClick();
            d->btnUpClick(); // already first: stays
            d->Rows()->item(1, 2)->setData(140, Qt::EditRole);  // 编码 wider
            d->Rows()->item(3, 3)->setCheckState(Qt::Unchecked); // 数量 hidden
            QCOMPARE(d->Rows()->item(0, 0)->text(), QStringLiteral("1"));
            d->btnOkClick();
        };
        SetGridColumnVisible("采购入库单", &v);
        QCOMPARE(captions(v), (QStringList{"单价", "编码", "名称", "数量-"}));
        QCOMPARE(v.Column(1)->Width, 140);
        QCOMPARE(v.columnWidth(1), 140);
        QVERIFY(v.isColumnHidden(3));

        const QByteArray bytes = readFile(colsDef());
        QVERIFY(bytes.startsWith("<?xml version=\"1.0\" encoding=\"gb2312\"?>"));
        QStringDecoder gb("GB18030");
        const QString text = gb(bytes);
        QVERIFY(text.indexOf("<单价") < text.indexOf("<编码"));
        QVERIFY(text.contains("<采购入库单>"));

        TGridView fresh;
        grid(fresh, {"code", "name", "price", "qty"});
        TableViewDispay(&fresh, "code=编码;name=名称;price=单价;qty=数量");
        GetGridColumnVisible("采购入库单", &fresh);
        QCOMPARE(captions(fresh), captions(v));
        GetGridColumnVisible("no such grid", &fresh);
        QCOMPARE(captions(fresh), captions(v));
    }

    void twoKeysOverwriteAndOddNames()
    {
        ColumnsDefUi ui;
        TGridView v;
        grid(v, {"code", "name", "price"});
        // Captions and a key that are no valid XML names: spaces, a leading digit, brackets,
        // an emoji, and text that looks like an escape.
        TableViewDispay(&v, "code=1号 (主);name=名<称>😀;price=_x0041_");
        ui.script = [](TFrmColumnsDef* d) {
            d->Grid()->setCurrentIndex(d->Rows()->index(2, 1));
            d->btnUpClick();
            d->btnOkClick();
        };
        SetGridColumnVisible("单据 [A]", &v);
        SetGridColumnVisible("单据 [A]", &v); // twice: one element with the latest columns
        ui.script = [](TFrmColumnsDef* d) {
            d->Rows()->item(0, 3)->setCheckState(Qt::Unchecked);
            d->btnOkClick();
        };
        TGridView other;
        grid(other, {"code"});
        SetGridColumnVisible("2nd grid", &other);

        QDomDocument doc;
        QStringDecoder gb("GB18030");
        QVERIFY(doc.setContent(QString(gb(readFile(colsDef())))));
        const QDomElement root = doc.documentElement();
        QCOMPARE(root.tagName(), QStringLiteral("Root"));
        QCOMPARE(root.childNodes().size(), 2);
        QCOMPARE(root.firstChildElement().childNodes().size(), 3);

        TGridView fresh;
        grid(fresh, {"code", "name", "price"});
        TableViewDispay(&fresh, "code=1号 (主);name=名<称>😀;price=_x0041_");
        GetGridColumnVisible("单据 [A]", &fresh);
        // The second confirmation started from the first one's order and replaced it.
        QCOMPARE(captions(fresh), (QStringList{"1号 (主)", "名<称>😀", "_x0041_"}));
        TGridView fresh2;
        grid(fresh2, {"code"});
        GetGridColumnVisible("2nd grid", &fresh2);
        QCOMPARE(captions(fresh2), (QStringList{"code-"}));
        QVERIFY(ui.messages.isEmpty());
    }

    void sharedCaptionMovesBoth()
    {
        QFile f(colsDef());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<?xml version=\"1.0\" encoding=\"utf-8\"?><Root><K><金额 Width=\"33\" Visible=\"False\"/></K></Root>");
        f.close();
        TGridView v;
        grid(v, {"code", "price", "qty"});
        TableViewDispay(&v, "price=金额;qty=金额");
        GetGridColumnVisible("K", &v);
        QCOMPARE(captions(v), (QStringList{"金额-", "金额-", "code"}));
        QCOMPARE(v.Column(0)->Width, 33);
        QCOMPARE(v.Column(1)->Width, 33);
    }

    // A file that cannot be read is reported and stays as it was; the dialog stays open.
    void damagedFileIsKept()
    {
        QFile f(colsDef());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<Root><K></Root>");
        f.close();
        ColumnsDefUi ui;
        TGridView v;
        grid(v, {"code"});
        ui.script = [](TFrmColumnsDef* d) { d->btnOkClick(); };
        SetGridColumnVisible("K", &v);
        QCOMPARE(readFile(colsDef()), QByteArray("<Root><K></Root>"));
        QCOMPARE(ui.messages.size(), 1);
        QVERIFY(ui.lastText().contains("ColsDef.xml"));
        QCOMPARE(ui.messages[0].icon, TMsgIcon::Error);

        ui.clear();
        GetGridColumnVisible("K", &v);
        QCOMPARE(ui.messages.size(), 1);
    }

    // The file dialog reads "description (patterns)" pairs joined by ";;".
    void fileDialogFilters_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("dialog");
        QTest::newRow("patterns already named") << "Excel 文件(*.xls)|*.xls" << "Excel 文件(*.xls)";
        QTest::newRow("two pairs, patterns added") << "文本|*.txt;*.csv|所有文件|*.*" << "文本 (*.txt *.csv);;所有文件 (*.*)";
        QTest::newRow("already in the dialog's form") << "PDF 文件 (*.pdf)" << "PDF 文件 (*.pdf)";
    }
    void fileDialogFilters()
    {
        QFETCH(QString, filter);
        QFETCH(QString, dialog);
        QCOMPARE(KxFileDialogFilter(filter), dialog);
    }

    // A layout file with a DOCTYPE is reported and not applied.
    void layoutWithDoctypeIsRefused()
    {
        {
            QFile f(colsDef());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("<!DOCTYPE Root [<!ENTITY v \"false\">]><Root><K><code Width=\"10\" Visible=\"&v;\"/></K></Root>");
        }
        TScriptedUi ui;
        TGridView v;
        grid(v, {"code"});
        GetGridColumnVisible("K", &v);
        QVERIFY(v.Column(0)->Visible);
        QVERIFY2(ui.lastText().contains(QStringLiteral("DOCTYPE")), qPrintable(ui.lastText()));
    }

    void cancelWritesNothing()
    {
        ColumnsDefUi ui;
        TGridView v;
        grid(v, {"code"});
        ui.script = [](TFrmColumnsDef* d) { d->btnCancelClick(); };
        SetGridColumnVisible("K", &v);
        QVERIFY(!QFile::exists(colsDef()));
        QCOMPARE(ui.modalWindows.size(), 1);
    }

    void treeOrders_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("tree");
        auto row = [](int parent, int id) { return QStringLiteral(R"(parent_id="%1" child_id="%2" child_name="c%2")").arg(parent).arg(id); };
        QTest::newRow("parents first") << QStringList{row(0, 1), row(0, 2), row(1, 3)} << "所有类别(c1(c3),c2)";
        QTest::newRow("child after its sibling") << QStringList{row(0, 1), row(1, 3), row(0, 2), row(1, 4)} << "所有类别(c1(c3,c4),c2)";
        QTest::newRow("three levels") << QStringList{row(0, 1), row(2, 3), row(1, 2), row(0, 4)} << "所有类别(c1(c2(c3)),c4)";
        QTest::newRow("child before its parent hangs at the root") << QStringList{row(1, 3), row(0, 1)} << "所有类别(c3,c1)";
        QTest::newRow("unknown parent at the root") << QStringList{row(0, 1), row(9, 5)} << "所有类别(c1,c5)";
        QTest::newRow("no rows") << QStringList{} << "所有类别";
    }
    void treeOrders()
    {
        QFETCH(QStringList, rows);
        QFETCH(QString, tree);
        TPClientDataSet cats;
        QVERIFY(cats.SetKXXMLData(packet("parent_id:integer,child_id:integer,child_name:string", rows)));
        QTreeWidget t;
        SetTreeView(&t, &cats);
        QCOMPARE(t.topLevelItemCount(), 1);
        QCOMPARE(dumpTree(t.topLevelItem(0)), tree);
        QVERIFY(!t.topLevelItem(0)->data(0, KxTreeIdRole).isValid());
        QVERIFY(t.topLevelItem(0)->isExpanded());
        if (!rows.isEmpty())
            QVERIFY(t.topLevelItem(0)->child(0)->data(0, KxTreeIdRole).isValid());
        // A second call adds under the same root.
        cats.First();
        SetTreeView(&t, &cats);
        QCOMPARE(t.topLevelItemCount(), 1);
    }

    void rowKeysWithinOneMillisecond()
    {
        // The clock stands still: the keys differ without waiting for it, one reading each.
        const QDateTime t0 = QDateTime::fromString("2024-05-01T10:00:00.123", Qt::ISODateWithMs);
        int reads = 0;
        KxSetClock([&] { ++reads; return t0; });
        RandomStr.clear();
        QSet<QString> keys;
        for (int i = 0; i < 1000; ++i)
            keys.insert(GetMd5_Key());
        KxSetClock([&] { ++reads; return t0.addMSecs(1); });
        const QString next = GetMd5_Key();
        KxSetClock({});
        QCOMPARE(keys.size(), 1000);
        QVERIFY(!keys.contains(next));
        QCOMPARE(reads, 1001);
        static const QRegularExpression hex("^[0-9a-f]{32}$");
        QVERIFY(hex.match(next).hasMatch());
        // The first key of a millisecond is made from the stamp alone, as before.
        QVERIFY(keys.contains(QString::fromLatin1(QCryptographicHash::hash("2024-05-01 10:00:00 123", QCryptographicHash::Md5).toHex())));
        QCOMPARE(next, QString::fromLatin1(QCryptographicHash::hash("2024-05-01 10:00:00 124", QCryptographicHash::Md5).toHex()));
    }

    void unionEmptyPacket_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("no text") << QString();
        QTest::newRow("no rows") << packet("md5_key:string,name:string", {});
    }
    void unionEmptyPacket()
    {
        QFETCH(QString, answer);
        ds.Last();
        ds.Append();
        ds.FieldByName("code")->SetAsString("N");
        QVERIFY(ds.Post());
        QVERIFY(!ds.GetEmptyDelta());
        UnionCDS(&ds, answer);
        QVERIFY(ds.GetEmptyDelta());
        QCOMPARE(ds.RecordCount(), 2);
    }

    void unionSingleLevelFilteredSet()
    {
        QVERIFY(ds.SetKXXMLData(packet("md5_key:string,code:string,name:string,local:string",
                                       {R"(md5_key="AA" code="1" name="x" local="keep")", R"(md5_key="bb" code="2" name="y")",
                                        R"(md5_key="" code="3" name="z")"})));
        QVERIFY(ds.SetFilter("code = '2'"));
        ds.SetFiltered(true);
        ds.First();
        ds.Edit();
        ds.FieldByName("name")->SetAsString("edited");
        QVERIFY(ds.Post());
        UnionCDS(&ds, packet("md5_key:string,name:string,extra:string",
                             {R"(md5_key="aa" name="一" extra="e")", R"(md5_key="BB" name="二")", R"(md5_key="" name="none")",
                              R"(md5_key="cc" name="new")"}));
        QVERIFY(ds.Filtered());
        QCOMPARE(ds.RecordCount(), 1);
        QCOMPARE(ds.FieldByName("name")->AsString(), QStringLiteral("二"));
        QVERIFY(ds.GetEmptyDelta());
        ds.SetFiltered(false);
        QCOMPARE(values(ds, "name"), (QStringList{"一", "二", "z"}));
        QCOMPARE(values(ds, "local"), (QStringList{"keep", "", ""}));
    }

    // Lines carry their header's key: each local line takes its own answer line.
    void unionLineSets_data()
    {
        QTest::addColumn<QString>("localFields");
        QTest::addColumn<QStringList>("local");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("amounts");
        const QString withSeq = "md5_key:string,seq:integer,amount:decimal";
        QTest::newRow("by key and seq")
            << withSeq << QStringList{R"(md5_key="h" seq="1" amount="1")", R"(md5_key="h" seq="2" amount="2")", R"(md5_key="g" seq="1" amount="3")"}
            << packet(withSeq, {R"(md5_key="h" seq="2" amount="20")", R"(md5_key="h" seq="1" amount="10")"})
            << QStringList{"10.00", "20.00", "3.00"};
        QTest::newRow("same key paired in order without seq")
            << "md5_key:string,amount:decimal" << QStringList{R"(md5_key="h" amount="1")", R"(md5_key="h" amount="2")"}
            << packet("md5_key:string,amount:decimal", {R"(md5_key="h" amount="10")", R"(md5_key="h" amount="20")", R"(md5_key="h" amount="30")"})
            << QStringList{"10.00", "20.00"};
        QTest::newRow("empty keys never match")
            << withSeq << QStringList{R"(md5_key="" seq="1" amount="1")", R"(seq="1" amount="2")"}
            << packet(withSeq, {R"(md5_key="" seq="1" amount="10")"}) << QStringList{"1.00", "2.00"};
    }
    void unionLineSets()
    {
        QFETCH(QString, localFields);
        QFETCH(QStringList, local);
        QFETCH(QString, answer);
        QFETCH(QStringList, amounts);
        TPClientDataSet lines;
        QVERIFY(lines.SetKXXMLData(packet(localFields, local)));
        lines.SetRecNo(2);
        UnionCDS(&lines, answer);
        QCOMPARE(values(lines, "amount"), amounts);
        QCOMPARE(lines.RecNo(), 2);
        QVERIFY(lines.GetEmptyDelta());
    }
};

QTEST_MAIN(TestShareUtils)
#include "tst_share_utils.moc"
