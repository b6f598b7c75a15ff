// The pick dialog against a scripted service: the exact requests it sends for the first
// page, later pages, "剩余页" with and without "暂 停", a failing page and the category tree;
// single and multiple picks and what they hand back; lookups that fail versus find nothing.
#include "FakeService.h"
#include "Packets.h"
#include "ScriptedUi.h"
#include "ShareTestSupport.h"

#include "uCallModule.h"
#include "uFrmSelect.h"
#include "uFrmTreeEdit.h"
#include "uGridModel.h"
#include "uGridView.h"
#include "uKxPager.h"
#include "uUtils.h"

#include <QDir>
#include <QFile>
#include <QStyleOptionViewItem>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

const QString kFields = QStringLiteral("code:string,name:string,catid:integer");

QByteArray pageAnswer(const QStringList& rows, const QString& pageCount, const QString& recordCount = QStringLiteral("3"))
{
    return ("<response><xmldata><![CDATA[" + packet(kFields, rows) + "]]></xmldata><recordcount>" + recordCount
            + "</recordcount><pagecount>" + pageCount + "</pagecount></response>").toUtf8();
}

const QStringList kRows = {R"(code="A1" name="红色T恤" catid="2")", R"(code="b2" name="蓝色衬衫" catid="3")",
                           R"(code="C3" name="白色卫衣" catid="2")"};

QString moduleXml(bool multi, const QString& extra = {})
{
    return QStringLiteral("<response><moduleclass>TFrmSelect</moduleclass><moduletitle>选择商品</moduletitle>"
                          "<modal>true</modal><modulepower>issearch=True;iscolumn=True;</modulepower>"
                          "<search>Select.CommoditySearch</search><fieldlabels>code=编码;name=名称;</fieldlabels>"
                          "<disfieldlabels>catid;</disfieldlabels>%1%2</response>")
        .arg(multi ? QStringLiteral("<multiselect>true</multiselect>") : QString(), extra);
}

// The fields of each call after the session's, as "name=value".
QStringList sent(const TFakeCall& call)
{
    QStringList out;
    for (const auto& f : call.fields)
        if (f.first != u"nickid" && f.first != u"operid" && f.first != u"shopid")
            out << f.first + u'=' + f.second;
    return out;
}

std::unique_ptr<TPClientDataSet> result(TFrmSelect& frm)
{
    auto ds = std::make_unique<TPClientDataSet>();
    frm.ResultStream()->seek(0);
    if (!ds->LoadFromStream(frm.ResultStream()))
        return nullptr;
    return ds;
}

void tick(TGridView* grid, int row, bool on)
{
    const int col = grid->IndexOfColumn(grid->ColumnByField(QStringLiteral("selected")));
    grid->GridModel()->setData(grid->GridModel()->index(row, col), on ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
}

} // namespace

class TestShareSelect : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        svc = std::make_unique<TFakeService>();
        ui.clear();
        RandomStr.clear();
    }
    void cleanup() { svc.reset(); }

    void opensThroughModuleNameAndSendsFixedConditions()
    {
        svc->answer("Select.Commodity", moduleXml(false).toUtf8());
        svc->answer("Select.CommoditySearch", pageAnswer(kRows, "1"));
        std::unique_ptr<TfrmBase> base(CallModule(nullptr, QStringLiteral("Select.Commodity"), {QStringLiteral("storageid=CK001")}));
        auto* frm = qobject_cast<TFrmSelect*>(base.get());
        QVERIFY(frm);
        frm->FixedConditions() << QStringLiteral("is_del=0") << QStringLiteral("is_pack=0");
        frm->show();

        const QList<TFakeCall> calls = svc->calls();
        QCOMPARE(calls.size(), 2);
        QCOMPARE(sent(calls[1]), (QStringList{"module=Select.CommoditySearch", "is_del=0", "is_pack=0", "curpage=1"}));
        QCOMPARE(frm->RecordLabel()->text(), QStringLiteral("记录总数：3 条， 第 1 页/共 1 页"));
        // Captions applied, the hidden field's column removed, no pick column in single mode.
        QCOMPARE(frm->GridList()->ColumnCount(), 2);
        QCOMPARE(frm->GridList()->Column(1)->Caption, QStringLiteral("名称"));
        QVERIFY(!frm->GridChosen()->isVisibleTo(frm));
        QVERIFY(!frm->Button(QStringLiteral("查找"))->isVisibleTo(frm)); // no searchfile
        QVERIFY(!frm->TreePanel()->isVisibleTo(frm));                 // no filterfield
        QVERIFY(!frm->Button(QStringLiteral("导出Excel"))->isEnabled());
        QVERIFY(frm->Button(QStringLiteral("表格列自定义"))->isEnabled());
    }

    void singlePick_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<int>("focus");
        QTest::addColumn<QStringList>("codes");
        QTest::newRow("focused row") << kRows << 2 << QStringList{"b2"};
        QTest::newRow("first row") << kRows << 1 << QStringList{"A1"};
        QTest::newRow("empty list") << QStringList{} << 0 << QStringList{};
    }
    void singlePick()
    {
        QFETCH(QStringList, rows);
        QFETCH(int, focus);
        QFETCH(QStringList, codes);
        svc->answer("Select.CommoditySearch", pageAnswer(rows, "1"));
        TFrmSelect frm;
        frm.InitModule(moduleXml(false));
        frm.show();
        if (focus)
            frm.ListDataSet()->SetRecNo(focus);
        frm.btnSelectClick();
        QCOMPARE(frm.ModalResult(), int(mrOk));
        auto picked = result(frm);
        QVERIFY(picked);
        QCOMPARE(values(*picked, QStringLiteral("code")), codes);
        QVERIFY(picked->FindField(QStringLiteral("name")));
    }

    void multiPickTicksOnceKeyedByFirstField()
    {
        svc->answer("Select.CommoditySearch", pageAnswer(kRows, "1"));
        TFrmSelect frm;
        frm.InitModule(moduleXml(true));
        frm.show();
        TGridView* grid = frm.GridList();
        QCOMPARE(grid->Column(0)->Caption, QStringLiteral("选择"));
        QCOMPARE(grid->Column(0)->Width, 60);
        // A layout that moves the name column first must not change the key.
        grid->MoveColumn(grid->IndexOfColumn(grid->ColumnByField(QStringLiteral("name"))), 1);

        tick(grid, 1, true);
        tick(grid, 1, true);
        tick(grid, 0, true);
        QCOMPARE(values(*frm.ChosenDataSet(), QStringLiteral("code")), (QStringList{"b2", "A1"}));
        tick(grid, 1, false);
        QCOMPARE(values(*frm.ChosenDataSet(), QStringLiteral("code")), (QStringList{"A1"}));

        // Unticking below updates the list row and keeps the chosen row, which is then not
        // part of the result.
        tick(frm.GridChosen(), 0, false);
        QCOMPARE(values(*frm.ListDataSet(), QStringLiteral("selected")), (QStringList{"False", "False", "False"}));
        QCOMPARE(frm.ChosenDataSet()->RecordCount(), 1);
        frm.btnSelectClick();
        QCOMPARE(result(frm)->RecordCount(), 0);
    }

    void multiAllSelectReturnsLoadedRowsWithoutSelected()
    {
        svc->answer("Select.CommoditySearch", pageAnswer(kRows, "3"));
        TFrmSelect frm;
        frm.InitModule(moduleXml(true));
        frm.show();
        tick(frm.GridList(), 0, true);
        frm.btnAllSelectClick();
        QCOMPARE(values(*frm.ChosenDataSet(), QStringLiteral("code")), (QStringList{"A1", "b2", "C3"}));
        frm.btnSelectClick();
        auto picked = result(frm);
        QCOMPARE(values(*picked, QStringLiteral("code")), (QStringList{"A1", "b2", "C3"}));
        QVERIFY(!picked->FindField(QStringLiteral("selected")));
        QCOMPARE(svc->calls().size(), 1); // pages never loaded are not fetched
    }

    void remainingPages_data()
    {
        QTest::addColumn<int>("pauseAfter"); // 0: never
        QTest::addColumn<int>("failFrom");   // 0: never
        QTest::addColumn<QStringList>("pages");
        QTest::addColumn<int>("curpage");
        QTest::newRow("all pages") << 0 << 0 << QStringList{"1", "2", "3", "4", "5"} << 5;
        QTest::newRow("paused after page 3") << 3 << 0 << QStringList{"1", "2", "3"} << 3;
        QTest::newRow("page 4 fails: loop ends") << 0 << 4 << QStringList{"1", "2", "3", "4"} << 3;
    }
    void remainingPages()
    {
        QFETCH(int, pauseAfter);
        QFETCH(int, failFrom);
        QFETCH(QStringList, pages);
        QFETCH(int, curpage);
        svc->answer("Select.CommoditySearch", pageAnswer(kRows.mid(0, 1), "5", "5"));
        TFrmSelect frm;
        frm.InitModule(moduleXml(false));
        frm.show();
        connect(frm.Pager(), &TKxPager::pageChanged, &frm, [&] {
            if (frm.Pager()->CurPage() == pauseAfter)
                frm.Button(QStringLiteral("暂 停"))->click();
            if (failFrom && frm.Pager()->CurPage() == failFrom - 1)
                svc->fail("Select.CommoditySearch", 9, QStringLiteral("服务忙"));
        });
        frm.Button(QStringLiteral("剩余页"))->click();
        QStringList asked;
        for (const TFakeCall& c : svc->calls())
            asked << c.value(QStringLiteral("curpage"));
        QCOMPARE(asked, pages);
        QCOMPARE(frm.Pager()->CurPage(), curpage);
        QCOMPARE(frm.ListDataSet()->RecordCount(), curpage); // later pages are appended
        QCOMPARE(ui.messages.size(), failFrom ? 1 : 0);
    }

    void nextPageKeepsSavedConditions_data()
    {
        QTest::addColumn<QString>("pageCount");
        QTest::addColumn<QStringList>("pages");
        QTest::newRow("two pages") << "2" << QStringList{"1", "2"};
        QTest::newRow("not a number counts as one page") << "abc" << QStringList{"1"};
    }
    void nextPageKeepsSavedConditions()
    {
        QFETCH(QString, pageCount);
        QFETCH(QStringList, pages);
        svc->answer("Select.CommoditySearch", pageAnswer(kRows, pageCount));
        TFrmSelect frm;
        frm.InitModule(moduleXml(false));
        frm.show();
        svc->clearCalls();
        const QStringList conditions{QStringLiteral("commodityname=T恤")};
        QVERIFY(frm.Search(&conditions, 1));
        frm.Button(QStringLiteral("下一页"))->click();
        frm.Button(QStringLiteral("下一页"))->click();
        QStringList asked;
        for (const TFakeCall& c : svc->calls()) {
            asked << c.value(QStringLiteral("curpage"));
            QCOMPARE(c.value(QStringLiteral("commodityname")), QStringLiteral("T恤"));
        }
        QCOMPARE(asked, pages);
    }

    void failedSearchLeavesList()
    {
        svc->answer("Select.CommoditySearch", pageAnswer(kRows, "1"));
        TFrmSelect frm;
        frm.InitModule(moduleXml(false));
        frm.show();
        svc->fail("Select.CommoditySearch", 5, QStringLiteral("查询失败"));
        QVERIFY(!frm.Search(nullptr, 1));
        QCOMPARE(frm.ListDataSet()->RecordCount(), 3);
        QCOMPARE(ui.messages.size(), 1);
    }

    void categoryTreeFilters_data()
    {
        QTest::addColumn<QString>("node"); // "" root
        QTest::addColumn<QStringList>("codes");
        QTest::newRow("category 2") << "T恤" << QStringList{"A1", "C3"};
        QTest::newRow("category 3") << "衬衫" << QStringList{"b2"};
        QTest::newRow("root shows all") << "" << QStringList{"A1", "b2", "C3"};
    }
    void categoryTreeFilters()
    {
        QFETCH(QString, node);
        QFETCH(QStringList, codes);
        svc->answer("Select.CommoditySearch", pageAnswer(kRows, "1"));
        svc->answer("Category.Search",
                    ("<response><xmldata><![CDATA["
                     + packet(QStringLiteral("parent_id:integer,child_id:integer,child_name:string"),
                              {R"(parent_id="0" child_id="1" child_name="上装")", R"(parent_id="1" child_id="2" child_name="T恤")",
                               R"(parent_id="1" child_id="3" child_name="衬衫")"})
                     + "]]></xmldata></response>").toUtf8());
        TFrmSelect frm;
        frm.InitModule(moduleXml(false, QStringLiteral("<filterfield>catid</filterfield><grouptree>Category.Search</grouptree>")));
        frm.show();
        const QList<TFakeCall> calls = svc->calls();
        QCOMPARE(sent(calls.last()), (QStringList{"module=Category.Search", "curpage=0"}));
        QVERIFY(frm.TreePanel()->isVisibleTo(&frm));
        QTreeWidgetItem* root = frm.GroupTree()->topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("所有类别"));
        frm.tvGroupClick(frm.GroupTree()->findItems(QStringLiteral("T恤"), Qt::MatchRecursive).value(0));
        QTreeWidgetItem* item = node.isEmpty() ? root : frm.GroupTree()->findItems(node, Qt::MatchRecursive).value(0);
        frm.tvGroupClick(item);
        QCOMPARE(values(*frm.ListDataSet(), QStringLiteral("code")), codes);
    }

    // Both grids draw a cell holding the trimmed keyword (letter case counts) bold in red.
    void keywordHighlightsBothGrids_data()
    {
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<bool>("marked");
        QTest::newRow("part, trimmed") << " 衬衫 " << true;
        QTest::newRow("other case") << "B2" << false;
    }
    void keywordHighlightsBothGrids()
    {
        QFETCH(QString, keyword);
        QFETCH(bool, marked);
        svc->answer("Select.CommoditySearch", pageAnswer(kRows, "1"));
        TFrmSelect frm;
        frm.InitModule(moduleXml(true));
        frm.show();
        frm.btnAllSelectClick();
        frm.KeywordEdit()->setText(keyword);
        for (TGridView* grid : {frm.GridList(), frm.GridChosen()}) {
            TGridColumn* col = grid->ColumnByField(QString::fromLatin1(keyword == "B2" ? "code" : "name"));
            QStyleOptionViewItem opt;
            opt.text = grid->GridModel()->CellText(1, col);
            grid->OnCustomDrawCell()(grid->model()->index(1, grid->IndexOfColumn(col)), col, opt);
            QCOMPARE(opt.font.bold(), marked);
            QCOMPARE(opt.palette.color(QPalette::Text) == QColor(Qt::red), marked);
        }
        QCOMPARE(frm.ListDataSet()->RecordCount(), 3); // highlights, never filters
    }

    // The saved layout comes after the pick column is captioned "选择", so a layout that
    // hides or moves that column holds.
    void savedLayoutFindsThePickColumn()
    {
        svc->answer("Select.CommoditySearch", pageAnswer(kRows, "1"));
        TFrmSelect frm;
        frm.InitModule(moduleXml(true));
        const QString file = QDir(KxProgramDir()).filePath(QStringLiteral("ColsDef.xml"));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QStringLiteral("<Root><%1><名称 Width=\"150\" Visible=\"true\"/><选择 Width=\"60\" Visible=\"false\"/></%1></Root>")
                        .arg(frm.windowTitle()).toUtf8());
        }
        frm.show();
        QFile::remove(file);
        QCOMPARE(frm.GridList()->Column(0)->Caption, QStringLiteral("名称"));
        QVERIFY(!frm.GridList()->ColumnByField(QStringLiteral("selected"))->Visible);
    }

    // The category name dialog refuses an empty name and one longer than the tree's name
    // field, and stays open for the operator to mend it.
    void treeNameDialogRefusesBadNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << "" << "分类名称不能为空";
        QTest::newRow("blanks only") << "   " << "分类名称不能为空";
        QTest::newRow("longer than the field") << QString(51, u'类') << "分类名称不能超过 50 个字符";
        QTest::newRow("as long as the field, trimmed") << u' ' + QString(50, u'类') + u' ' << "";
    }
    // The record label counts the rows the service has plus those added or removed here; a quick
    // filter over the loaded rows hides some of them but does not change that count.
    void recordLabelFollowsRowsNotTheFilter()
    {
        TPClientDataSet rows;
        QVERIFY(rows.KXAppendData(packet(QStringLiteral("code:string,name:string"),
                                         {R"(code="A1" name="a")", R"(code="B2" name="b")", R"(code="C3" name="c")"})));
        QLabel label;
        TKxPager pager;
        pager.Bind(&label, nullptr, nullptr, nullptr);
        pager.FollowRows(&rows);
        pager.PageLoaded(1, QStringLiteral("2"), QStringLiteral("40"), rows.UnfilteredCount());
        const QString total40 = QStringLiteral("记录总数：40 条， 第 1 页/共 2 页");
        QCOMPARE(label.text(), total40);
        QVERIFY(rows.SetFilter(QStringLiteral("code='A1'")));
        rows.SetFiltered(true);
        QCOMPARE(rows.RecordCount(), 1);
        QCOMPARE(label.text(), total40);
        QVERIFY(rows.SetFilter(QStringLiteral("code='B2' or code='C3'")));
        QCOMPARE(label.text(), total40);
        rows.SetFiltered(false);
        rows.Append();
        rows.FieldByName(QStringLiteral("code"))->SetAsString(QStringLiteral("D4"));
        QVERIFY(rows.Post());
        QCOMPARE(label.text(), QStringLiteral("记录总数：41 条， 第 1 页/共 2 页"));
        rows.SetFiltered(true);
        QCOMPARE(label.text(), QStringLiteral("记录总数：41 条， 第 1 页/共 2 页"));
    }

    void treeNameDialogRefusesBadNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        TFrmTreeEdit edit;
        edit.SetMaxNameLength(50);
        edit.NameEdit()->setText(name);
        edit.btnOkClick();
        QCOMPARE(edit.result(), message.isEmpty() ? int(mrOk) : 0);
        QCOMPARE(ui.lastText(), message);
    }

    // A lookup that cannot reach the service is "failed", not "not found", so a caller keeps
    // its line as it was.
    void lookupTellsFailedFromNotFound_data()
    {
        QTest::addColumn<QString>("answer"); // "fail", "empty", "rows"
        QTest::addColumn<int>("expected");
        QTest::newRow("service error") << "fail" << int(TKxLookupResult::Failed);
        QTest::newRow("no row") << "empty" << int(TKxLookupResult::NotFound);
        QTest::newRow("found") << "rows" << int(TKxLookupResult::Found);
    }
    void lookupTellsFailedFromNotFound()
    {
        QFETCH(QString, answer);
        QFETCH(int, expected);
        svc->answer("Select.Commodity", moduleXml(false).toUtf8());
        if (answer == u"fail")
            svc->fail("Select.CommoditySearch", 9, QStringLiteral("服务忙"));
        else
            svc->answer("Select.CommoditySearch", pageAnswer(answer == u"rows" ? kRows.mid(1, 1) : QStringList{}, "1"));
        TPClientDataSet rows;
        QCOMPARE(int(KxLookup(nullptr, QStringLiteral("Select.Commodity"), {QStringLiteral("commoditycode=b2")}, &rows)), expected);
        QCOMPARE(sent(svc->calls().last()), (QStringList{"module=Select.CommoditySearch", "commoditycode=b2", "curpage=0"}));
        if (expected == int(TKxLookupResult::Found))
            QCOMPARE(rows.FieldByName(QStringLiteral("name"))->AsString(), QStringLiteral("蓝色衬衫"));
    }

private:
    std::unique_ptr<TFakeService> svc;
    TScriptedUi ui;
};

QTEST_MAIN(TestShareSelect)
#include "tst_share_select.moc"
