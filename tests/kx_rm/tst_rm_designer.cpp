// The designer: adding, moving, resizing and deleting, text and field insertion, undo and
// redo, saving, unknown names.
#include "RmTestSupport.h"
#include "ScriptedUi.h"
#include "uRMDataSet.h"
#include "uRMDesignCanvas.h"
#include "uRMDesigner.h"
#include "uRMReport.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QUndoStack>

class TestRmDesigner : public QObject {
    Q_OBJECT

    static QPoint centerOf(const QRectF& r) { return r.center().toPoint(); }

private slots:
    void dragMovesAndResizesWithUndo()
    {
        TScriptedUi ui;
        TRMReport report;
        report.Template() = rmVoucherTemplate();
        TRMDesignerForm form(&report);
        form.resize(1200, 800);
        form.show();
        TRMDesignCanvas* canvas = form.Canvas();
        const TRMObject* memo = form.Document().FindBand(QStringLiteral("Master1"))->objects.data();
        const int band = 1;
        const QRectF before = memo->rect;

        // Drag by 40 px = 10 mm right, 8 px = 2 mm down.
        const QPoint from = centerOf(canvas->ObjectRect(band, *memo));
        QTest::mousePress(canvas, Qt::LeftButton, {}, from);
        QTest::mouseMove(canvas, from + QPoint(40, 8));
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, from + QPoint(40, 8));
        QCOMPARE(canvas->SelectedObject(), QStringLiteral("Memo2"));
        memo = const_cast<TRMTemplate&>(form.Document()).FindObject(QStringLiteral("Memo2"));
        QCOMPARE(memo->rect.topLeft(), before.topLeft() + QPointF(10, 2));

        // The corner handle resizes.
        const QPoint corner = canvas->ObjectRect(band, *memo).bottomRight().toPoint();
        QTest::mousePress(canvas, Qt::LeftButton, {}, corner);
        QTest::mouseMove(canvas, corner + QPoint(20, 4));
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, corner + QPoint(20, 4));
        memo = const_cast<TRMTemplate&>(form.Document()).FindObject(QStringLiteral("Memo2"));
        QCOMPARE(memo->rect.size(), before.size() + QSizeF(5, 1));
        QCOMPARE(form.UndoStack()->count(), 2);

        form.UndoStack()->undo();
        QCOMPARE(const_cast<TRMTemplate&>(form.Document()).FindObject(QStringLiteral("Memo2"))->rect.size(), before.size());
        form.UndoStack()->undo();
        QCOMPARE(const_cast<TRMTemplate&>(form.Document()).FindObject(QStringLiteral("Memo2"))->rect, before);
        form.UndoStack()->redo();
        QCOMPARE(const_cast<TRMTemplate&>(form.Document()).FindObject(QStringLiteral("Memo2"))->rect.topLeft(),
                 before.topLeft() + QPointF(10, 2));
        // The report itself is untouched until saved.
        QCOMPARE(report.Template().FindBand(QStringLiteral("Master1"))->objects[0].rect, before);
    }

    void bandHeightByItsEdge()
    {
        TRMReport report;
        report.Template() = rmVoucherTemplate();
        TRMDesignerForm form(&report);
        form.show();
        const QRectF r = form.Canvas()->BandRect(0);
        const QPoint edge(int(r.center().x()), int(r.bottom()));
        QTest::mousePress(form.Canvas(), Qt::LeftButton, {}, edge);
        QTest::mouseMove(form.Canvas(), edge + QPoint(0, 20));
        QTest::mouseRelease(form.Canvas(), Qt::LeftButton, {}, edge + QPoint(0, 20));
        QCOMPARE(form.Document().bands[0].height, 12.0 + 5);
        form.UndoStack()->undo();
        QCOMPARE(form.Document().bands[0].height, 12.0);
    }

    // Typing is one undo step; adding, inserting fields and deleting are one each.
    void editingSteps()
    {
        TScriptedUi ui;
        TVoucherData data;
        TRMReport report;
        TRMDBDataSet link;
        link.SetDataSet(&data.master);
        link.SetAlias(QStringLiteral("采购单"));
        link.SetFieldLabels({QStringLiteral("receiveid=单号")});
        report.AddDataSet(&link);
        TRMDesignerForm form(&report);
        form.show();

        form.AddObject(TRMObjectKind::Memo);
        QCOMPARE(ui.lastText(), QStringLiteral("请先添加带区！"));
        form.AddBand(TRMBandType::MasterData);
        QCOMPARE(form.Document().bands.size(), size_t(1));
        QCOMPARE(form.Document().bands[0].dataSet, QStringLiteral("采购单"));
        form.AddObject(TRMObjectKind::Memo);
        const QString memo = form.Canvas()->SelectedObject();
        QVERIFY(!memo.isEmpty());

        auto* text = form.findChild<QPlainTextEdit*>();
        QVERIFY(text && text->isVisibleTo(&form));
        text->selectAll();
        QTest::keyClicks(text, QStringLiteral("No: "));
        form.InsertExpression(QStringLiteral("采购单.\"单号\""));
        QCOMPARE(const_cast<TRMTemplate&>(form.Document()).FindObject(memo)->text, QStringLiteral("No: [采购单.\"单号\"]"));
        QCOMPARE(text->toPlainText(), QStringLiteral("No: [采购单.\"单号\"]"));
        const int steps = form.UndoStack()->count();
        QCOMPARE(steps, 4); // band, memo, typing, field

        // With the band selected, a picked field becomes a memo of its own.
        form.Select(form.Document().bands[0].name);
        form.InsertExpression(QStringLiteral("门店名称"));
        QCOMPARE(form.Document().bands[0].objects.size(), size_t(2));
        QCOMPARE(form.Document().bands[0].objects[1].text, QStringLiteral("[门店名称]"));
        QCOMPARE(form.UnknownNames(), QStringList{QStringLiteral("门店名称")});

        form.Select(form.Document().bands[0].name, memo);
        form.DeleteSelection();
        QVERIFY(!const_cast<TRMTemplate&>(form.Document()).FindObject(memo));
        form.UndoStack()->undo();
        QVERIFY(const_cast<TRMTemplate&>(form.Document()).FindObject(memo));
        form.UndoStack()->setIndex(steps - 1);
        QCOMPARE(const_cast<TRMTemplate&>(form.Document()).FindObject(memo)->text, QStringLiteral("No: "));
    }

    void unknownNamesListed()
    {
        TVoucherData data;
        TRMReport report;
        report.Template() = rmVoucherTemplate();
        TRMDBDataSet link;
        link.SetDataSet(&data.master);
        link.SetAlias(QStringLiteral("采购单"));
        report.AddDataSet(&link);
        report.SetVariable(QStringLiteral("门店名称"), QString());
        TRMDesignerForm form(&report);
        // No labels: the caption names nothing; the detail data set is not linked.
        QCOMPARE(form.UnknownNames(), (QStringList{QStringLiteral("采购单.\"单号\""), QStringLiteral("采购单明细"),
                                                   QStringLiteral("采购单明细.commodityname"),
                                                   QStringLiteral("采购单明细.receivenum"), QStringLiteral("操作员名称")}));
    }

    // Saving puts the template into the report and runs the save handler; closing with
    // changes asks first.
    void saveAndClose_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<bool>("saved");
        QTest::newRow("yes saves") << int(mrYes) << true << true;
        QTest::newRow("no discards") << int(mrNo) << true << false;
        QTest::newRow("cancel stays") << int(mrCancel) << false << false;
    }

    void saveAndClose()
    {
        QFETCH(int, answer);
        QFETCH(bool, closed);
        QFETCH(bool, saved);
        TScriptedUi ui;
        TRMReport report;
        report.Template() = rmVoucherTemplate();
        int saves = 0;
        report.SetSaveHandler([&] { return ++saves > 0; });
        TRMDesignerForm form(&report);
        form.show();
        form.Select(QStringLiteral("Title1"));
        form.DeleteSelection();
        ui.answers.enqueue(answer);
        form.reject();
        QCOMPARE(ui.messages.size(), 1);
        QCOMPARE(ui.messages[0].text, QStringLiteral("报表已修改，是否保存？"));
        QCOMPARE(form.isVisible(), !closed);
        QCOMPARE(saves, saved ? 1 : 0);
        QCOMPARE(form.Saved(), saved);
        QCOMPARE(!report.Template().FindBand(QStringLiteral("Title1")), saved);
        if (closed)
            QCOMPARE(form.result(), saved ? int(mrOk) : int(mrCancel));
    }

    // What the operator sees: the voucher in the designer, kept as a picture beside the test.
    void designerPicture()
    {
        TVoucherData data;
        TRMReport report;
        report.Template() = rmVoucherTemplate();
        TRMObject code = rmMemo(QStringLiteral("Code"), QStringLiteral("[采购单.receiveid]"), 130, 0, 50, 10);
        code.kind = TRMObjectKind::BarCode;
        report.Template().bands[0].objects.push_back(code);
        TRMDBDataSet m, d;
        m.SetDataSet(&data.master);
        m.SetAlias(QStringLiteral("采购单"));
        d.SetDataSet(&data.detail);
        d.SetAlias(QStringLiteral("采购单明细"));
        report.AddDataSet(&m);
        report.AddDataSet(&d);
        TRMDesignerForm form(&report);
        form.resize(1200, 760);
        form.show();
        form.Select(QStringLiteral("Master1"), QStringLiteral("Memo2"));
        QApplication::processEvents();
        const QImage shot = form.grab().toImage();
        QVERIFY(shot.save(QCoreApplication::applicationDirPath() + QStringLiteral("/rm_designer.png")));
        // Not a blank window: the sheet is white and the caption strips are tinted.
        QVERIFY(shot.pixelColor(form.Canvas()->mapTo(&form, QPoint(30, 30))) == Qt::white);
    }
};

QTEST_MAIN(TestRmDesigner)
#include "tst_rm_designer.moc"
