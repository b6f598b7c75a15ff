// The engine: layout over master/detail data, expressions, pages, barcodes, PDF output.
#include "RmTestSupport.h"
#include "ScriptedUi.h"
#include "uRMBarCode.h"
#include "uRMDataSet.h"
#include "uRMEngine.h"
#include "uRMReport.h"
#include "wire/uClock.h"

#include <QApplication>
#include <QTemporaryDir>

class TestRmEngine : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    static void link(TRMReport& report, TRMDBDataSet& l, TPClientDataSet* ds, const QString& alias,
                     const QStringList& labels = {})
    {
        l.SetDataSet(ds);
        l.SetAlias(alias);
        l.SetFieldLabels(labels);
        report.AddDataSet(&l);
    }

private slots:
    void initTestCase()
    {
        KxSetClock([] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)); });
    }
    void cleanupTestCase() { KxSetClock({}); }

    void voucherToPdf()
    {
        TVoucherData data;
        TRMReport report;
        report.Template() = rmVoucherTemplate();
        TRMDBDataSet m, d;
        link(report, m, &data.master, QStringLiteral("采购单"), {QStringLiteral("receiveid=单号")});
        link(report, d, &data.detail, QStringLiteral("采购单明细"));
        report.SetVariable(QStringLiteral("门店名称"), QStringLiteral("旗舰店"));
        report.SetVariable(QStringLiteral("操作员名称"), QStringLiteral("张三"));
        const QString pdf = m_dir.filePath(QStringLiteral("voucher.pdf"));
        QVERIFY2(report.ExportPdf(pdf), qPrintable(report.LastError()));

        const QString text = pdfText(pdf);
        QCOMPARE(pdfPageCount(pdf), 1);
        // Each receipt is followed by its own lines only, in the detail data set's order.
        QVERIFY2(inOrder(text, {QStringLiteral("旗舰店 采购入库单"), QStringLiteral("单号：RK000001"),
                                QStringLiteral("供应商：华东供应"), QStringLiteral("1. 棉质T恤 × 2"),
                                QStringLiteral("2. 帆布鞋 × 1"), QStringLiteral("单号：RK000002"),
                                QStringLiteral("1. 蓝色马克杯 × 3"), QStringLiteral("制单：张三"),
                                QStringLiteral("第1页/共1页")}),
                 qPrintable(text));
        QCOMPARE(text.count(QStringLiteral("蓝色马克杯")), 1);
        QVERIFY(report.Prepared()->unknownNames.isEmpty());
    }

    // Rows flow onto new pages below the repeated page header; the footer counts pages.
    void pagesFlow()
    {
        QStringList rows;
        for (int i = 1; i <= 100; ++i)
            rows << QStringLiteral(R"(no="%1")").arg(i);
        TPClientDataSet ds;
        ds.SetKXXMLData(rmPacket(QStringLiteral("no:integer"), rows));
        TRMReport report;
        TRMTemplate& t = report.Template();
        t.bands.push_back(rmBand(TRMBandType::PageHeader, QStringLiteral("Header"), 10,
                                 {rmMemo(QStringLiteral("M1"), QStringLiteral("清单表头"), 0, 0)}));
        t.bands.push_back(rmBand(TRMBandType::MasterData, QStringLiteral("Data"), 10,
                                 {rmMemo(QStringLiteral("M2"), QStringLiteral("行[数据表.no]"), 0, 0)},
                                 QStringLiteral("数据表")));
        t.bands.push_back(rmBand(TRMBandType::PageFooter, QStringLiteral("Footer"), 10,
                                 {rmMemo(QStringLiteral("M3"), QStringLiteral("第[_RM_Page]页/共[_RM_TotalPages]页"), 0, 0)}));
        TRMDBDataSet l;
        link(report, l, &ds, QStringLiteral("数据表"));
        const QString pdf = m_dir.filePath(QStringLiteral("pages.pdf"));
        QVERIFY(report.ExportPdf(pdf));

        // 297 - 20 margin - 10 header - 10 footer leaves room for 25 rows a page.
        QCOMPARE(pdfPageCount(pdf), 4);
        const QString p2 = pdfText(pdf, 2);
        QVERIFY2(inOrder(p2, {QStringLiteral("清单表头"), QStringLiteral("行26\n"), QStringLiteral("行50\n"),
                              QStringLiteral("第2页/共4页")}),
                 qPrintable(p2));
        QVERIFY(!p2.contains(QStringLiteral("行25\n")) && !p2.contains(QStringLiteral("行51")));
        QVERIFY(pdfText(pdf, 4).contains(QStringLiteral("行100")));
    }

    void newPageAfterEachRecord()
    {
        TVoucherData data;
        TRMReport report;
        report.Template() = rmVoucherTemplate();
        report.Template().bands[1].newPageAfter = true;
        TRMDBDataSet m, d;
        link(report, m, &data.master, QStringLiteral("采购单"), {QStringLiteral("receiveid=单号")});
        link(report, d, &data.detail, QStringLiteral("采购单明细"));
        QVERIFY(report.PrepareReport());
        const auto& pages = report.Prepared()->pages;
        QCOMPARE(int(pages.size()), 2);
        // The summary follows the last record on its page, not on a page of its own.
        auto texts = [](const TRMPreparedPage& p) {
            QStringList out;
            for (const auto& i : p.items)
                out << i.text;
            return out.join(u'|');
        };
        QVERIFY(texts(pages[0]).contains(QStringLiteral("RK000001")));
        QVERIFY(!texts(pages[0]).contains(QStringLiteral("RK000002")));
        QVERIFY(texts(pages[1]).contains(QStringLiteral("制单：")));
    }

    void expressions_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("unknown");
        const QStringList none;
        QTest::newRow("caption through the link's labels") << "[采购单.\"单号\"]" << "RK000001" << none;
        QTest::newRow("caption from the field's display label") << "[采购单.\"供应商名称\"]" << "华东供应" << none;
        QTest::newRow("field name, any case") << "[采购单.RECEIVEID]" << "RK000001" << none;
        QTest::newRow("decimal keeps its scale") << "[采购单.receivemoney]元" << "30.00元" << none;
        QTest::newRow("sum over every row") << "合计：[SUM(采购单.receivemoney)]" << "合计：37.50" << none;
        QTest::newRow("sum by caption, any case") << "[sum(采购单.\"供应商名称\")]" << "0" << none;
        QTest::newRow("sum of an unknown field") << "[SUM(采购单.nosuch)]" << "" << QStringList{"SUM(采购单.nosuch)"};
        QTest::newRow("text variable") << "店：[门店名称]。" << "店：旗舰店。" << none;
        QTest::newRow("number variable") << "[件数]" << "12.5" << none;
        QTest::newRow("date variable") << "[日期]" << "2024-01-02" << none;
        QTest::newRow("date and time") << "[_RM_DateTime]" << "2024-03-05 14:07:09" << none;
        QTest::newRow("page of pages") << "[_RM_Page]/[_RM_TotalPages]" << "1/1" << none;
        QTest::newRow("unknown field") << "a[采购单.nosuch]b" << "ab" << QStringList{"采购单.nosuch"};
        QTest::newRow("unknown caption") << "[采购单.\"无此列\"]" << "" << QStringList{"采购单.\"无此列\""};
        QTest::newRow("unknown data set") << "[别的表.receiveid]" << "" << QStringList{"别的表.receiveid"};
        QTest::newRow("unknown variable") << "[发件人名称]" << "" << QStringList{"发件人名称"};
        QTest::newRow("unclosed bracket is text") << "价格[元" << "价格[元" << none;
        QTest::newRow("bracket inside a part is text") << "[[门店名称]" << "[旗舰店" << none;
        QTest::newRow("plain text") << "合计" << "合计" << none;
    }

    void expressions()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QFETCH(QStringList, unknown);
        TVoucherData data;
        data.master.FieldByName(QStringLiteral("suppliername"))->SetDisplayLabel(QStringLiteral("供应商名称"));
        TRMReport report;
        report.Template().bands.push_back(rmBand(TRMBandType::Title, QStringLiteral("T"), 10,
                                                 {rmMemo(QStringLiteral("M"), text, 0, 0)}));
        TRMDBDataSet m;
        link(report, m, &data.master, QStringLiteral("采购单"), {QStringLiteral("receiveid=单号")});
        report.SetVariable(QStringLiteral("门店名称"), QStringLiteral("旗舰店"));
        report.SetVariable(QStringLiteral("件数"), 12.5);
        report.SetVariable(QStringLiteral("日期"), QDate(2024, 1, 2));
        QVERIFY(report.PrepareReport());
        // Outside a data band a field shows the data set's current record.
        QCOMPARE(report.Prepared()->pages[0].items[0].text, expected);
        QCOMPARE(report.Prepared()->unknownNames, unknown);
    }

    void stretchingMemoPushesWhatFollows()
    {
        TRMReport report;
        TRMBand band = rmBand(TRMBandType::Title, QStringLiteral("T"), 8, {rmMemo(QStringLiteral("M"), QString(), 0, 0, 30, 6)});
        band.stretch = true;
        band.objects[0].stretch = true;
        band.objects[0].text = QStringLiteral("很长的备注文字，需要折成好几行才能放得下，一行放不下。");
        report.Template().bands.push_back(band);
        report.Template().bands.push_back(rmBand(TRMBandType::Summary, QStringLiteral("S"), 8,
                                                 {rmMemo(QStringLiteral("N"), QStringLiteral("下一行"), 0, 0)}));
        QVERIFY(report.PrepareReport());
        const auto& items = report.Prepared()->pages[0].items;
        QVERIFY2(items[0].rect.height() > 12, qPrintable(QString::number(items[0].rect.height())));
        QCOMPARE(items[1].rect.top(), items[0].rect.bottom());

        // A band that may not stretch keeps its memo at the designed size.
        report.Template().bands[0].stretch = false;
        QVERIFY(report.PrepareReport());
        QCOMPARE(report.Prepared()->pages[0].items[0].rect.height(), 6.0);
        QCOMPARE(report.Prepared()->pages[0].items[1].rect.top(), 10.0 + 8);
    }

    // A data row grows with its longest cell; the other cells of the row grow with it.
    void rowGrowsWithItsLongestCell()
    {
        TRMReport report;
        TRMBand band = rmBand(TRMBandType::Title, QStringLiteral("T"), 6,
                              {rmMemo(QStringLiteral("Name"), QString(), 0, 0, 30, 6), rmMemo(QStringLiteral("Num"), QStringLiteral("2"), 30, 0, 20, 6)});
        band.stretch = true;
        band.objects[0].stretch = true;
        band.objects[0].wordWrap = true;
        band.objects[0].text = QStringLiteral("很长的商品名称，需要折成好几行才能放得下。");
        report.Template().bands.push_back(band);
        QVERIFY(report.PrepareReport());
        const auto& items = report.Prepared()->pages[0].items;
        QVERIFY2(items[0].rect.height() > 6, qPrintable(QString::number(items[0].rect.height())));
        QCOMPARE(items[1].rect.height(), items[0].rect.height());
    }

    void barcodes_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("data");
        QTest::addColumn<bool>("ok");
        QTest::newRow("code 128") << int(TRMBarcodeType::Code128) << "RK000001" << true;
        QTest::newRow("ean-13 with check digit") << int(TRMBarcodeType::Ean13) << "6901234567892" << true;
        QTest::newRow("qr with Chinese") << int(TRMBarcodeType::QrCode) << "采购单RK000001" << true;
        QTest::newRow("ean-13 of letters") << int(TRMBarcodeType::Ean13) << "ABC" << false;
        QTest::newRow("ean-13 wrong check digit") << int(TRMBarcodeType::Ean13) << "6901234567890" << false;
        QTest::newRow("empty") << int(TRMBarcodeType::Code128) << "" << false;
    }

    void barcodes()
    {
        QFETCH(int, type);
        QFETCH(QString, data);
        QFETCH(bool, ok);
        const auto shape = RMEncodeBarcode(TRMBarcodeType(type), data);
        QCOMPARE(shape->error.isEmpty(), ok);
        QCOMPARE(!shape->bars.isEmpty(), ok);

        // In a report a bad code leaves its frame empty and says why; the rest prints.
        TRMReport report;
        TRMObject bc = rmMemo(QStringLiteral("B"), data, 0, 0, 50, 15);
        bc.kind = TRMObjectKind::BarCode;
        bc.barcode = TRMBarcodeType(type);
        report.Template().bands.push_back(rmBand(TRMBandType::Title, QStringLiteral("T"), 20,
                                                 {bc, rmMemo(QStringLiteral("M"), QStringLiteral("条码下方"), 60, 0)}));
        const QString pdf = m_dir.filePath(QStringLiteral("barcode.pdf"));
        QVERIFY(report.ExportPdf(pdf));
        QVERIFY(pdfText(pdf).contains(QStringLiteral("条码下方")));
        QCOMPARE(report.Prepared()->warnings.isEmpty(), ok);
        if (ok && type != int(TRMBarcodeType::QrCode))
            QVERIFY(pdfText(pdf).contains(data));
    }

    void missingPictureWarnsAndPrints()
    {
        TRMReport report;
        report.Template().page.backgroundFile = QStringLiteral("nosuch-bg.png");
        TRMObject pic = rmMemo(QStringLiteral("P"), QString(), 0, 0, 20, 20);
        pic.kind = TRMObjectKind::Picture;
        pic.pictureData = "not a picture";
        report.Template().bands.push_back(rmBand(TRMBandType::Title, QStringLiteral("T"), 20,
                                                 {pic, rmMemo(QStringLiteral("M"), QStringLiteral("照常打印"), 30, 0)}));
        const QString pdf = m_dir.filePath(QStringLiteral("pictures.pdf"));
        QVERIFY(report.ExportPdf(pdf));
        QVERIFY(pdfText(pdf).contains(QStringLiteral("照常打印")));
        QCOMPARE(report.Prepared()->warnings.size(), 2);
        QVERIFY(report.Prepared()->warnings.join(u'\n').contains(QStringLiteral("nosuch-bg.png")));
    }

    // A wide sheet stays wide in the PDF; an angled label's text still reads.
    void wideSheetAndAngledLabel()
    {
        TRMReport report;
        report.Template().page.width = 241;
        report.Template().page.height = 140;
        TRMObject label = rmMemo(QStringLiteral("L"), QStringLiteral("竖排标签"), 0, 0, 8, 40);
        label.kind = TRMObjectKind::AngledLabel;
        label.angle = 90;
        report.Template().bands.push_back(rmBand(TRMBandType::Title, QStringLiteral("T"), 45, {label}));
        const QString pdf = m_dir.filePath(QStringLiteral("wide.pdf"));
        QVERIFY(report.ExportPdf(pdf));
        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {pdf});
        QVERIFY(info.waitForFinished());
        const QString out = QString::fromUtf8(info.readAllStandardOutput());
        // 241 × 140 mm in points.
        QVERIFY2(out.contains(QStringLiteral("Page size:       683 x 397 pts")), qPrintable(out));
        QVERIFY(pdfText(pdf).contains(QStringLiteral("竖")));
    }
};

QTEST_MAIN(TestRmEngine)
#include "tst_rm_engine.moc"
