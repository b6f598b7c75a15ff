// Waybill templates without a service: the layout file read back as written, damaged files
// refused, the printing fields' expressions, and the printable report made from a layout,
// its text falling at the template's place moved by the print offsets.
#include "PdfWords.h"
#include "RmTestSupport.h"
#include "uExpressLayout.h"
#include "uRMDataSet.h"
#include "uRMEngine.h"
#include "uRMReportEx.h"
#include "codec/uPanelStream.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray png(QSize size, QColor colour)
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    QByteArray bytes;
    QBuffer b(&bytes);
    b.open(QIODevice::WriteOnly);
    img.save(&b, "PNG");
    return bytes;
}

TExpressLayout sample()
{
    TExpressLayout l;
    l.backFile = QStringLiteral("express/form.png");
    l.mmWidth = 230;
    l.mmHeigth = 127;
    l.mmMarginLeft = 12.5;
    l.mmMarginTop = 7.5;
    l.mmMarginRight = 1;
    l.mmMarginBottom = 2;
    l.bgSize = QSize(KxMmToPx(230), KxMmToPx(127));
    l.picture = png(QSize(40, 20), Qt::yellow);
    l.labels << TExpressLabel{QStringLiteral("pickingid"), QStringLiteral("[拣货单.\"拣货单号\"]"), QRect(200, 100, 180, 24), 12}
             << TExpressLabel{QStringLiteral("title"), QStringLiteral("[拣货单明细.\"宝贝名称\"]"), QRect(40, 300, 300, 24), 10}
             << TExpressLabel{QStringLiteral("sender_name"), QStringLiteral("[发件人名称]"), QRect(40, 60, 150, 24), 10}
             << TExpressLabel{QStringLiteral("city_district"), QStringLiteral("[拣货单.\"城市\"]/[拣货单.\"街区\"]"), QRect(400, 60, 250, 24), 10}
             << TExpressLabel{QStringLiteral("tid"), QStringLiteral("[拣货单.\"订单号\"]"), QRect(400, 100, 250, 24), 10};
    return l;
}
} // namespace

class TestWaybillLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void layoutReadsBackAsWritten()
    {
        const TExpressLayout l = sample();
        TExpressLayout back;
        QString error;
        QVERIFY2(KxReadExpressLayout(KxWriteExpressLayout(l), &back, &error), qPrintable(error));
        QCOMPARE(back, l);
        // The canvas's sheet gives the same labels back, to the pixel.
        TExpressLayout fromSheet = l;
        KxExpressLabelsFromSheet(KxExpressSheet(l), &fromSheet);
        QCOMPARE(fromSheet.labels, l.labels);
    }

    void damagedLayoutsAreRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray good = KxWriteExpressLayout(sample());
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("cut short") << good.left(good.size() / 2);
        QTest::newRow("not a layout") << QByteArray("<kxreport version=\"1\"/>");
        TKxComponentRecord info{QStringLiteral("TPrintInfo"), QStringLiteral("printinfo"), {{QStringLiteral("mmWidth"), QStringLiteral("宽")}}, {}};
        QTest::newRow("width not a number") << KxWriteComponents({info});
        TKxComponentRecord label{QStringLiteral("TMRLabel"), QStringLiteral("tid"),
                                 {{QStringLiteral("Left"), 1}, {QStringLiteral("Top"), 1}, {QStringLiteral("Width"), 0}, {QStringLiteral("Height"), 9}}, {}};
        QTest::newRow("label without width") << KxWriteComponents({label});
    }
    void damagedLayoutsAreRefused()
    {
        QFETCH(QByteArray, bytes);
        TExpressLayout l = sample();
        QString error;
        QVERIFY(!KxReadExpressLayout(bytes, &l, &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(l, sample()); // left as it was
    }

    void millimetresBecomePixels()
    {
        QCOMPARE(QSize(KxMmToPx(230.0), KxMmToPx(127.0)), QSize(869, 480));
        QCOMPARE(KxMmToPx(0.1), 0);
        QCOMPARE(KxMmToPx(25.4), 96);
    }

    void fieldExpressions_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expression");
        QTest::newRow("city and district") << "city_district" << R"([拣货单."城市"]/[拣货单."街区"])";
        QTest::newRow("sending date") << "_RM_DateTime" << "[_RM_DateTime]";
        QTest::newRow("sender variable") << "sender_name" << "[发件人名称]";
        QTest::newRow("consignee by caption") << "receiver_name" << R"([拣货单."收货人"])";
        QTest::newRow("line field") << "title" << R"([拣货单明细."宝贝名称"])";
    }
    void fieldExpressions()
    {
        QFETCH(QString, key);
        QFETCH(QString, expression);
        for (const TExpressGroup& g : KxExpressGroups())
            for (const TExpressField& f : g.fields)
                if (f.key == key) {
                    QCOMPARE(KxExpressExpression(g, f), expression);
                    return;
                }
        QFAIL("no such field");
    }

    void reportFollowsTheLayout()
    {
        const TExpressLayout l = sample();
        const TRMTemplate t = KxExpressReport(l);
        QCOMPARE(t.page.width, 230.0);
        QCOMPARE(t.page.left, 12.5);
        QCOMPARE(t.page.top, 7.5);
        QVERIFY(!t.page.backgroundPrinted);
        QCOMPARE(qRound(t.page.backgroundRect.x() * kExpressPxPerMm), KxMmToPx(12.5));
        QCOMPARE(qRound(t.page.backgroundRect.width() * kExpressPxPerMm), 869);
        const TRMBand* master = t.FindBand(QStringLiteral("MasterData"));
        QVERIFY(master && master->newPageAfter && master->dataSet == QStringLiteral("拣货单"));
        QCOMPARE(qRound(master->height * kExpressPxPerMm), KxMmToPx(127 - 7.5 - 2));
        const TRMObject& title = master->objects[1];
        QCOMPARE(title.name, QStringLiteral("title"));
        QVERIFY(!title.wordWrap);
        QVERIFY(master->objects[2].wordWrap);
        QCOMPARE(title.color, QColor(Qt::black));

        // The file keeps it whole; a reader sees the same report.
        TRMReportEx report;
        QByteArray bytes = KxExpressReportBytes(l);
        QBuffer b(&bytes);
        b.open(QIODevice::ReadOnly);
        QVERIFY2(report.LoadFromStream(&b), qPrintable(report.LastError()));
        report.ChangePaper();
        TRMTemplate written, read;
        written.bands = t.bands;
        read.bands = report.Template().bands;
        QCOMPARE(read.ToXml(), written.ToXml()); // lengths kept to the file's thousandths
        const QRectF bg = report.Template().page.backgroundRect;
        QVERIFY(std::abs(bg.x() - t.page.backgroundRect.x()) < 1e-3 && std::abs(bg.width() - t.page.backgroundRect.width()) < 1e-3);
    }

    // Three picking lists: each number on its own page where its label is, moved by the
    // offsets; the product line shown is the picking list's own first line.
    void printedTextSitsOnTheForm()
    {
        const TExpressLayout l = sample();
        TPClientDataSet headers, lines;
        headers.SetKXXMLData(rmPacket(QStringLiteral("pickingid:string,receiver_name:string,receiver_city:string,receiver_district:string,tids:string"),
                                      {R"(pickingid="JH0001" tids="T1,T19" receiver_name="张三" receiver_city="Hangzhou" receiver_district="Xihu")",
                                       R"(pickingid="JH0002" tids="T2,T29" receiver_name="李四" receiver_city="Hangzhou" receiver_district="Xihu")",
                                       R"(pickingid="JH0003" tids="T3,T39" receiver_name="王五" receiver_city="Hangzhou" receiver_district="Xihu")"}));
        lines.SetKXXMLData(rmPacket(QStringLiteral("pickingid:string,title:string"),
                                    {R"(pickingid="JH0002" title="Mug-B")", R"(pickingid="JH0001" title="Shirt-A")",
                                     R"(pickingid="JH0001" title="Second-A")", R"(pickingid="JH0003" title="Shoe-C")"}));
        TRMReportEx report;
        report.Template() = KxExpressReport(l);
        TRMDBDataSet h, d;
        h.SetDataSet(&headers);
        h.SetAlias(QStringLiteral("拣货单"));
        h.SetFieldLabels(KxExpressFieldLabels(QStringLiteral("拣货单")).split(u'\n'));
        d.SetDataSet(&lines);
        d.SetAlias(QStringLiteral("拣货单明细"));
        d.SetFieldLabels(KxExpressFieldLabels(QStringLiteral("拣货单明细")).split(u'\n'));
        report.AddDataSet(&h);
        report.AddDataSet(&d);
        report.SetVariable(QStringLiteral("发件人名称"), QStringLiteral("Varnoq"));
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("waybills.pdf"));
        QVERIFY2(report.ExportPdf(pdf), qPrintable(report.LastError()));

        const auto pages = pdfWords(pdf);
        QCOMPARE(int(pages.size()), 3);
        const QString titles[] = {QStringLiteral("Shirt-A"), QStringLiteral("Mug-B"), QStringLiteral("Shoe-C")};
        for (int i = 0; i < 3; ++i) {
            const QString number = QStringLiteral("JH000%1").arg(i + 1);
            const TPdfWord* w = pdfFind(pages[size_t(i)], number);
            QVERIFY2(w, qPrintable(number));
            // The label's corner on the form, moved by the left and top offsets (text inset
            // by the memo's padding of 0.5 mm).
            const double x = (12.5 + KxPxToMm(200) + 0.5) * kPtPerMm;
            const double y = (7.5 + KxPxToMm(100) + 0.5) * kPtPerMm;
            QVERIFY2(std::abs(w->box.x() - x) < 1.5, qPrintable(QStringLiteral("%1: x %2, expected %3").arg(number).arg(w->box.x()).arg(x)));
            QVERIFY2(std::abs(w->box.y() - y) < 3, qPrintable(QStringLiteral("%1: y %2, expected %3").arg(number).arg(w->box.y()).arg(y)));
            QVERIFY2(pdfFind(pages[size_t(i)], titles[i]), qPrintable(titles[i]));
            QVERIFY(pdfFind(pages[size_t(i)], QStringLiteral("Varnoq")));
            QVERIFY(pdfFind(pages[size_t(i)], QStringLiteral("Hangzhou/Xihu"))); // found by the captions the link gives
            QVERIFY(pdfFind(pages[size_t(i)], QStringLiteral("T%1,T%2").arg(i + 1).arg((i + 1) * 10 + 9))); // a picking list's orders
            for (int k = 0; k < 3; ++k)
                if (k != i)
                    QVERIFY(!pdfFind(pages[size_t(i)], QStringLiteral("JH000%1").arg(k + 1)));
        }
    }

    // The form's picture shows on screen and in PDF files, and stays off pre-printed paper.
    void backgroundStaysOffThePrinter()
    {
        TExpressLayout l = sample();
        l.labels.clear();
        l.bgSize = QSize(40, 20);
        TRMTemplate t = KxExpressReport(l);
        TRMBand& m = t.bands.front();
        m.dataSet.clear();
        auto prepared = std::make_shared<TRMPreparedReport>();
        prepared->tmpl = t;
        prepared->background = QImage::fromData(l.picture);
        prepared->pages.emplace_back();
        const double k = 4;
        const QPoint inside(qRound((12.5 + 2) * k), qRound((7.5 + 2) * k));
        for (bool printer : {false, true}) {
            QImage img(qRound(230 * k), qRound(127 * k), QImage::Format_RGB32);
            img.fill(Qt::white);
            QPainter p(&img);
            RMPaintPage(p, *prepared, 0, k, printer);
            p.end();
            QCOMPARE(img.pixelColor(inside) == QColor(Qt::white), printer);
            QCOMPARE(img.pixelColor(QPoint(qRound(5 * k), qRound(3 * k))), QColor(Qt::white)); // not before the offset
        }
    }
};

QTEST_MAIN(TestWaybillLayout)
#include "tst_waybill_layout.moc"
