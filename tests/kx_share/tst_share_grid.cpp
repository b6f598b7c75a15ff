// The grid: columns over a data set, cell texts by kind, editing, cursor, footers,
// master/detail, export read back by an independent reader, printing and preview.
#include "ShareTestSupport.h"
#include "ScriptedUi.h"
#include "uFormParts.h"
#include "uGridPrint.h"
#include "uGridView.h"
#include "uMasterDetail.h"
#include "uModuleMger.h"
#include "uUtils.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QLineEdit>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Debian's interpreter, which carries python3-xlrd, before any other on the path.
static QString python()
{
    return QFile::exists("/usr/bin/python3") ? QStringLiteral("/usr/bin/python3") : QStringLiteral("python3");
}

class TestShareGrid : public QObject {
    Q_OBJECT

    TPClientDataSet ds, kinds;
    void setUpGrid(TGridView& v)
    {
        v.SetDataSet(&ds);
        v.AddColumn("code", "编码");
        v.AddColumn("name", "名称");
        v.AddColumn("price", "单价")->Editor = TGridEditor::Amount;
        v.AddColumn("kind", "类别")->Editor = TGridEditor::Lookup;
        v.Column(3)->LookupDataSet = &kinds;
        v.Column(3)->LookupKeyField = "id";
        v.Column(3)->LookupListField = "title";
        v.AddColumn("ok", "审核");
        v.AddColumn("psw", "密码")->Editor = TGridEditor::Password;
        v.AddColumn("memo", "备注")->Visible = false;
        v.ColumnsChanged();
    }

private slots:
    void init()
    {
        ds.SetFiltered(false);
        QVERIFY(kinds.SetKXXMLData(packet("id:integer,title:string", {R"(id="1" title="成品")", R"(id="2" title="原料")"})));
        QVERIFY(ds.SetKXXMLData(packet("code:string,name:string,price:decimal,kind:integer,ok:boolean,psw:string,memo:string",
                                       {R"(code="A1" name="红色T恤 L" price="12.5" kind="1" ok="true" psw="secret" memo="m")",
                                        "code=\"B'2\" name=\"蓝色 帽子\" price=\"3\" kind=\"2\" ok=\"false\"",
                                        R"(code="C3" name="袜子" kind="9")"})));
    }

    void cellTexts_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::newRow("amount two decimals") << 0 << 2 << "12.50";
        QTest::newRow("amount null stays empty") << 2 << 2 << "";
        QTest::newRow("lookup shows the list field") << 1 << 3 << "原料";
        QTest::newRow("lookup without match is empty") << 2 << 3 << "";
        QTest::newRow("password masked") << 0 << 5 << "******";
        QTest::newRow("password null") << 1 << 5 << "";
        QTest::newRow("check shows no text") << 0 << 4 << "";
    }
    void cellTexts()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QString, text);
        TGridView v;
        setUpGrid(v);
        QCOMPARE(v.GridModel()->index(row, column).data().toString(), text);
    }

    void editsGoThroughTheDataSet()
    {
        TGridView v;
        setUpGrid(v);
        QAbstractItemModelTester tester(v.GridModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        TGridModel* m = v.GridModel();
        QVERIFY(m->setData(m->index(1, 2), "7.456"));
        QCOMPARE(m->index(1, 2).data().toString(), QStringLiteral("7.46"));
        QCOMPARE(m->index(0, 4).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QVERIFY(m->setData(m->index(0, 4), Qt::Unchecked, Qt::CheckStateRole));
        QCOMPARE(m->index(0, 4).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QVERIFY(!m->setData(m->index(0, 5), QString()));     // an empty password keeps the old one
        QCOMPARE(m->index(0, 5).data(Qt::EditRole).toString(), QString());
        v.Column(0)->ReadOnly = true;
        QVERIFY(!m->setData(m->index(0, 0), "X"));
        QCOMPARE(ds.ChangeCount() > 0, true);
        v.MoveColumn(2, 0);
        QCOMPARE(m->headerData(0, Qt::Horizontal).toString(), QStringLiteral("单价"));
        ds.Append();
        ds.FieldByName("code")->SetAsString("D4");
        QVERIFY(ds.Post());
        QCOMPARE(m->rowCount(), 4);
        QVERIFY(v.isColumnHidden(6));
    }

    void cursorFollowsTheView()
    {
        TGridView v;
        setUpGrid(v);
        v.setCurrentIndex(v.GridModel()->index(2, 1));
        QCOMPARE(ds.RecNo(), 3);
        ds.First();
        QCOMPARE(v.currentIndex().row(), 0);
    }

    void footers()
    {
        TGridView v;
        setUpGrid(v);
        v.Column(2)->Footer = TGridFooter::Sum;
        v.Column(0)->Footer = TGridFooter::Count;
        v.SetFooterVisible(true);
        QCOMPARE(v.FooterText(v.Column(2)), QStringLiteral("15.50"));
        QCOMPARE(v.FooterText(v.Column(0)), QStringLiteral("3"));
        QVERIFY(v.GridModel()->setData(v.GridModel()->index(2, 2), "0.01"));
        QCOMPARE(v.FooterText(v.Column(2)), QStringLiteral("15.51"));
        QVERIFY(ds.SetFilter("code = 'A1'"));
        ds.SetFiltered(true);
        QCOMPARE(v.FooterText(v.Column(2)), QStringLiteral("12.50"));
    }

    // The detail follows the master's current record; a quote in the key stays a value.
    void masterDetail()
    {
        TPClientDataSet lines;
        QVERIFY(lines.SetKXXMLData(packet("code:string,seq:integer", {R"(code="A1" seq="1")", "code=\"B'2\" seq=\"1\"",
                                                                    "code=\"B'2\" seq=\"2\"", "code=\"C3' or code <> '\" seq=\"1\""})));
        TMasterDetailLink link(&ds, "code", &lines, "code");
        QCOMPARE(lines.RecordCount(), 1);
        ds.SetRecNo(2);
        QCOMPARE(values(lines, "seq"), (QStringList{"1", "2"}));
        ds.SetRecNo(3);
        QCOMPARE(lines.RecordCount(), 0);
    }

    void highlightAndScreenshot()
    {
        TGridView v;
        setUpGrid(v);
        v.Column(2)->Footer = TGridFooter::Sum;
        v.SetFooterVisible(true);
        int hooked = 0;
        v.SetOnCustomDrawCell([&](const QModelIndex& i, TGridColumn* c, QStyleOptionViewItem& o) {
            ++hooked;
            if (c->FieldName == u"price" && i.row() == 0)
                o.backgroundBrush = QColor(220, 240, 255);
        });
        v.SetHighlightText("色");
        v.resize(640, 200);
        const QImage shot = v.grab().toImage();
        QVERIFY(hooked > 0);
        shot.save(QDir(QStringLiteral(QT_TESTCASE_BUILDDIR)).filePath("grid.png"));
        // The keyword's yellow is on the picture.
        bool yellow = false;
        for (int y = 0; y < shot.height() && !yellow; ++y)
            for (int x = 0; x < shot.width() && !yellow; ++x)
                yellow = shot.pixelColor(x, y) == QColor(255, 230, 0);
        QVERIFY(yellow);
    }

    // A list's keyword highlight is added after the grid's own painting: both show.
    void keywordHighlightComposesWithOwnPainting()
    {
        TGridView v;
        setUpGrid(v);
        v.SetOnCustomDrawCell([](const QModelIndex&, TGridColumn*, QStyleOptionViewItem& o) {
            o.backgroundBrush = QColor(220, 240, 255);
        });
        QLineEdit keyword;
        KxHighlightKeyword(&v, &keyword);
        keyword.setText(QStringLiteral("12"));
        QStyleOptionViewItem o;
        o.text = QStringLiteral("120.00");
        v.OnCustomDrawCell()(QModelIndex(), v.Column(0), o);
        QCOMPARE(o.backgroundBrush.color(), QColor(220, 240, 255));
        QVERIFY(o.font.bold());
        QCOMPARE(o.palette.color(QPalette::Text), QColor(Qt::red));
    }

    void exportReadBackByXlrd()
    {
        TScriptedUi ui;
        QTemporaryDir dir;
        TGridView v;
        setUpGrid(v);
        v.MoveColumn(1, 0);
        ExportGridToExcel(&v, true, true, true, "xls"); // cancelled: nothing written
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 0);
        ui.fileAnswers.enqueue(dir.filePath("goods"));
        ExportGridToExcel(&v, true, true, true, "xls");
        const QString file = dir.filePath("goods.xls");
        QVERIFY(QFile::exists(file));
        QProcess py;
        py.start(python(), {"-c", R"(import sys, json, xlrd
b = xlrd.open_workbook(sys.argv[1])
s = b.sheet_by_index(0)
print(json.dumps([[[s.cell_type(r, c), s.cell_value(r, c)] for c in range(s.ncols)] for r in range(s.nrows)], ensure_ascii=False))
)", file});
        QVERIFY(py.waitForFinished(60000));
        QVERIFY2(py.exitCode() == 0, py.readAllStandardError().constData());
        const QJsonArray rows = QJsonDocument::fromJson(py.readAllStandardOutput()).array();
        auto cell = [&](int r, int c) { return rows[r].toArray()[c].toArray(); };
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0].toArray().size(), 5); // hidden and password columns are left out
        QStringList header;
        for (int c = 0; c < 5; ++c)
            header << cell(0, c)[1].toString();
        QCOMPARE(header, (QStringList{"名称", "编码", "单价", "类别", "审核"}));
        QCOMPARE(cell(1, 0)[1].toString(), QStringLiteral("红色T恤 L"));
        QCOMPARE(cell(2, 1)[1].toString(), QStringLiteral("B'2"));
        QCOMPARE(cell(1, 2)[0].toInt(), 2); // a number
        QCOMPARE(cell(1, 2)[1].toDouble(), 12.5);
        QCOMPARE(cell(3, 2)[0].toInt(), 0); // null: blank
        QCOMPARE(cell(2, 3)[1].toString(), QStringLiteral("原料"));
        QCOMPARE(cell(1, 4)[0].toInt(), 4); // Boolean
        QCOMPARE(cell(1, 4)[1].toInt(), 1);
    }

    // More rows than one sheet holds continue on further sheets under the same captions;
    // long texts cross the string table's record boundaries.
    void exportLargeSheets()
    {
        TScriptedUi ui;
        QTemporaryDir dir;
        TPClientDataSet big;
        big.FieldDefs().Add("n", ftInteger);
        big.FieldDefs().Add("t", ftString);
        QVERIFY(big.CreateDataSet());
        big.DisableControls();
        const QString longText = QString(5000, QChar(u'长'));
        for (int i = 0; i < 70000; ++i) {
            big.Append();
            big.FieldByName("n")->SetAsInteger(i);
            big.FieldByName("t")->SetAsString(i % 10000 == 7 ? longText + QString::number(i) : QStringLiteral("行%1").arg(i));
            big.Post();
        }
        big.EnableControls();
        TGridView v;
        v.SetDataSet(&big);
        SetGridColumn(&big, &v);
        ui.fileAnswers.enqueue(dir.filePath("big.xls"));
        ExportGridToExcel(&v, true, true, true, "xls");
        QProcess py;
        py.start(python(), {"-c", R"(import sys, xlrd
b = xlrd.open_workbook(sys.argv[1])
print(b.nsheets, b.sheet_by_index(0).nrows, b.sheet_by_index(1).nrows, b.sheet_by_index(1).cell_value(0, 1), int(b.sheet_by_index(1).cell_value(70000 - 65535, 0)), len(b.sheet_by_index(0).cell_value(8, 1)), b.sheet_by_index(0).cell_value(10008, 1)[-5:])
)", dir.filePath("big.xls")});
        QVERIFY(py.waitForFinished(120000));
        QVERIFY2(py.exitCode() == 0, py.readAllStandardError().constData());
        QCOMPARE(QString::fromUtf8(py.readAllStandardOutput()).trimmed(),
                 QStringLiteral("2 65536 4466 t 69999 5001 10007"));
    }

    void previewAndPrint()
    {
        // The windows live only while shown: look at them then.
        struct PeekUi : TScriptedUi {
            QStringList shown;
            int ShowModal(QWidget* w) override
            {
                shown << QString("%1 %2 %3").arg(w->metaObject()->className(), w->windowTitle())
                             .arg(bool(w->windowState() & Qt::WindowMaximized));
                return TScriptedUi::ShowModal(w);
            }
        } ui;
        TGridView v;
        setUpGrid(v);
        GridPreview(&v);
        QCOMPARE(ui.shown.value(0), QStringLiteral("QPrintPreviewDialog 打印预览 1"));
        GridPrint(&v); // the print dialog cancelled: nothing printed
        QCOMPARE(ui.shown.size(), 2);
        QVERIFY(ui.shown[1].startsWith("QPrintDialog"));

        QTemporaryDir dir;
        const QString pdf = dir.filePath("grid.pdf");
        {
            QPdfWriter w(pdf);
            KxRenderGrid(&v, &w, {QStringLiteral("商品列表"), false});
        }
        QProcess p;
        p.start("pdftotext", {pdf, "-"});
        QVERIFY(p.waitForFinished());
        const QString text = QString::fromUtf8(p.readAllStandardOutput());
        for (const QString& s : {"商品列表", "编码", "单价", "12.50", "原料", "B'2"})
            QVERIFY2(text.contains(s), qPrintable(s));
        QVERIFY(!text.contains("密码"));
        QVERIFY(!text.contains("secret"));
        QVERIFY(!text.contains("备注"));
    }

    // A header click sorts the loaded rows in the view only: numbers by value with empty
    // cells first, lookups by the name shown, texts by their reading; the next click turns
    // the order round and the third gives back the data set's order. The cursor stays on
    // its record throughout.
    void headerClickSorts_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<QStringList>("codes");
        QTest::newRow("amount ascending, empty first") << 2 << 1 << QStringList{"C3", "B'2", "A1"};
        QTest::newRow("amount descending") << 2 << 2 << QStringList{"A1", "B'2", "C3"};
        QTest::newRow("lookup by the name shown") << 3 << 1 << QStringList{"C3", "A1", "B'2"};
        QTest::newRow("text descending") << 1 << 2 << QStringList{"C3", "B'2", "A1"};
        QTest::newRow("third click: the data set's order") << 3 << 3 << QStringList{"A1", "B'2", "C3"};
    }
    void headerClickSorts()
    {
        QFETCH(int, column);
        QFETCH(int, clicks);
        QFETCH(QStringList, codes);
        TGridView v;
        setUpGrid(v);
        v.resize(800, 300);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        QAbstractItemModelTester tester(v.GridModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        ds.SetRecNo(2); // B'2
        QHeaderView* h = v.horizontalHeader();
        for (int i = 0; i < clicks; ++i)
            QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(h->sectionViewportPosition(column) + 5, h->height() / 2));
        QStringList shown;
        for (int r = 0; r < 3; ++r)
            shown << v.GridModel()->index(r, 0).data().toString();
        QCOMPARE(shown, codes);
        // The data set keeps its order; the view's current row is still B'2.
        QCOMPARE(ds.DisplayTextAt(0, ds.FieldByName("code")), QStringLiteral("A1"));
        QCOMPARE(v.currentIndex().data().toString(), QStringLiteral("B'2"));
        // A click on a row moves the cursor to that row's record.
        const int last = 2;
        QTest::mouseClick(v.viewport(), Qt::LeftButton, {}, v.visualRect(v.GridModel()->index(last, 1)).center());
        QCOMPARE(ds.FieldByName("code")->AsString(), codes[last]);
        // An edit lands on the record shown.
        QVERIFY(v.GridModel()->setData(v.GridModel()->index(0, 1), QStringLiteral("改")));
        QCOMPARE(ds.Lookup("code", codes[0], "name").toString(), QStringLiteral("改"));
    }

    // Rows added while sorted come back in the data set's order, the sort arrow gone, so the
    // new row stands where the data set put it.
    void newRowEndsTheSort()
    {
        TGridView v;
        setUpGrid(v);
        v.sortByColumn(2, Qt::AscendingOrder);
        QCOMPARE(v.GridModel()->index(0, 0).data().toString(), QStringLiteral("C3"));
        ds.Append();
        ds.FieldByName("code")->SetAsString("D4");
        QVERIFY(ds.Post());
        QCOMPARE(v.GridModel()->SortColumn(), -1);
        QCOMPARE(v.horizontalHeader()->sortIndicatorSection(), -1);
        QCOMPARE(v.GridModel()->index(3, 0).data().toString(), QStringLiteral("D4"));
        QCOMPARE(v.currentIndex().row(), 3);
    }

    // Columns take their content's width once rows arrive: numbers whole, long texts up to a
    // limit, captions whole; a width from a saved layout stays; the last column fills.
    void columnsSizedToContent()
    {
        TPClientDataSet data;
        const QString longName(120, QChar(u'长'));
        QVERIFY(data.SetKXXMLData(packet("code:string,name:string,qty:integer,money:decimal,memo:string",
                                         {QString(R"(code="A1" name="%1" qty="12345678" money="123456789.25" memo="x")").arg(longName)})));
        TGridView v;
        v.resize(1200, 300);
        v.AddColumn("code", "非常长的商品编码标题");
        v.AddColumn("name", "名称");
        v.AddColumn("qty", "数量")->Editor = TGridEditor::Amount;
        v.AddColumn("money", "金额")->Editor = TGridEditor::Amount;
        TGridColumn* kept = v.AddColumn("memo", "备注");
        kept->Width = 333;
        kept->WidthFixed = true;
        v.AddColumn("code", "末列");
        v.ColumnsChanged();
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        v.SetDataSet(&data);
        QCoreApplication::processEvents();
        const QFontMetrics fm(v.font());
        QVERIFY(v.columnWidth(0) > QFontMetrics(v.horizontalHeader()->font()).horizontalAdvance("非常长的商品编码标题"));
        QVERIFY(v.columnWidth(1) < fm.horizontalAdvance(longName));
        QVERIFY(v.columnWidth(1) >= 200);
        QCOMPARE(v.GridModel()->index(0, 2).data().toString(), QStringLiteral("12345678")); // a count stays whole
        QVERIFY(v.columnWidth(2) > fm.horizontalAdvance("12345678"));
        QVERIFY(v.columnWidth(3) > fm.horizontalAdvance("123456789.25"));
        QCOMPARE(v.columnWidth(4), 333);
        QCOMPARE(v.horizontalHeader()->sectionViewportPosition(5) + v.columnWidth(5), v.viewport()->width());
    }

    // The printed list: title, conditions, every page numbered; a wide grid goes landscape.
    void printedListHeading()
    {
        TGridView v;
        setUpGrid(v);
        QTemporaryDir dir;
        const QString pdf = dir.filePath("list.pdf");
        {
            QPdfWriter w(pdf);
            QCOMPARE(KxGridOrientation(&v, &w), QPageLayout::Portrait);
            KxRenderGrid(&v, &w, {QStringLiteral("商品列表"), false, {QStringLiteral("类别：原料")}});
        }
        QProcess p;
        p.start("pdftotext", {pdf, "-"});
        QVERIFY(p.waitForFinished());
        const QString text = QString::fromUtf8(p.readAllStandardOutput());
        for (const char* s : {"商品列表", "查询条件：类别：原料", "第 1 页/共 1 页"})
            QVERIFY2(text.contains(s), qPrintable(text));
        for (int i = 0; i < v.ColumnCount(); ++i)
            v.Column(i)->Width = 400;
        QPdfWriter w(dir.filePath("wide.pdf"));
        QCOMPARE(KxGridOrientation(&v, &w), QPageLayout::Landscape);
    }

    // Each usual key presses its tool while the focus is inside the window and shows in the
    // tooltip; a disabled tool ignores its key; Esc in a cell being edited only leaves it.
    void toolKeys_data()
    {
        QTest::addColumn<QKeySequence>("key");
        QTest::addColumn<QString>("tool");
        QTest::newRow("Ctrl+F search") << QKeySequence(Qt::CTRL | Qt::Key_F) << QString::fromLatin1(KxTool::Search);
        QTest::newRow("F5 refresh") << QKeySequence(Qt::Key_F5) << QString::fromLatin1(KxTool::Refresh);
        QTest::newRow("Ctrl+N new") << QKeySequence(Qt::CTRL | Qt::Key_N) << QString::fromLatin1(KxTool::New);
        QTest::newRow("Ctrl+S save") << QKeySequence(Qt::CTRL | Qt::Key_S) << QString::fromLatin1(KxTool::Save);
        QTest::newRow("Delete") << QKeySequence(Qt::Key_Delete) << QString::fromLatin1(KxTool::Delete);
        QTest::newRow("Esc exit") << QKeySequence(Qt::Key_Escape) << QString::fromLatin1(KxTool::Exit);
    }
    void toolKeys()
    {
        QFETCH(QKeySequence, key);
        QFETCH(QString, tool);
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* tools = new QHBoxLayout;
        layout->addLayout(tools);
        QStringList pressed;
        QList<QPushButton*> buttons;
        auto note = [&](const char* id) { return [&pressed, id] { pressed << QString::fromLatin1(id); }; };
        KxAddButtons(&window, tools,
                     {{KxTool::Search, "查 询", note(KxTool::Search)},
                      {KxTool::Refresh, "刷 新", note(KxTool::Refresh)},
                      {KxTool::New, "新 建", note(KxTool::New)},
                      {KxTool::Delete, "删 除", note(KxTool::Delete)},
                      {KxTool::Save, "保 存", note(KxTool::Save)},
                      {KxTool::Exit, "退 出", note(KxTool::Exit)}},
                     buttons);
        auto* grid = new TGridView(&window);
        setUpGrid(*grid);
        layout->addWidget(grid);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        grid->setFocus();
        QPushButton* b = KxFindTool(buttons, tool.toLatin1().constData());
        QVERIFY(b->toolTip().contains(key.toString(QKeySequence::NativeText)));
        QCOMPARE(b->height(), KxToolHeight);

        QTest::keySequence(grid, key);
        QCOMPARE(pressed, QStringList{tool});
        b->setEnabled(false);
        QTest::keySequence(grid, key);
        QCOMPARE(pressed, QStringList{tool});
        b->setEnabled(true);

        if (key == QKeySequence(Qt::Key_Delete)) {
            // From a drop-down of the header, Delete takes no line away.
            auto* box = new QComboBox(&window);
            box->addItems({"甲", "乙"});
            layout->addWidget(box);
            box->show();
            box->setFocus();
            QTest::keySequence(box, key);
            QCOMPARE(pressed.size(), 1);
        }
        if (key == QKeySequence(Qt::Key_Escape)) {
            grid->setCurrentIndex(grid->GridModel()->index(0, 1));
            grid->edit(grid->currentIndex());
            QVERIFY(grid->Editing());
            QTest::keyClicks(QApplication::focusWidget(), "zz");
            QTest::keySequence(QApplication::focusWidget(), key);
            QVERIFY(!grid->Editing());
            QCOMPARE(pressed.size(), 1);
            QCOMPARE(ds.Lookup("code", "A1", "name").toString(), QStringLiteral("红色T恤 L"));
        }
    }

    void moduleManagerRoundTrip()
    {
        TModuleMger a;
        a.Width = 640;
        a.Height = 88;
        a.ModuleStream()->write(QByteArray(300, 'x') + "中");
        const QString text = a.SaveToString();
        QVERIFY(text.contains("\r\n"));
        for (const QString& form : {text, QString(text).remove("\r\n")}) {
            TModuleMger b;
            QVERIFY(b.LoadFromString(form));
            QCOMPARE(b.Width, 640);
            QCOMPARE(b.Height, 88);
            QCOMPARE(b.ModuleStream()->data(), a.ModuleStream()->data());
            QCOMPARE(b.ModuleStream()->pos(), b.ModuleStream()->size());
        }
        TModuleMger c;
        c.Width = 5;
        QVERIFY(!c.LoadFromString("not a panel"));
        QVERIFY(!c.LastError().isEmpty());
        QCOMPARE(c.Width, 5);
    }
};

QTEST_MAIN(TestShareGrid)
#include "tst_share_grid.moc"
