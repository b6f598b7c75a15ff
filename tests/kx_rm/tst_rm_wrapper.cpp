// The module windows' report: stored form, data-set links, Ctrl to design, missing and
// damaged files, printing through the print dialog, the preview window.
#include "RmTestSupport.h"
#include "ScriptedUi.h"
#include "uKXReport.h"
#include "uRMDataSet.h"
#include "uRMEngine.h"
#include "uRMPreview.h"
#include "uRMReportEx.h"
#include "wire/uConfig.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QPrintDialog>
#include <QPrinter>
#include <QTemporaryDir>
#include <QtEndian>

namespace {

QByteArray header(qint32 l, qint32 t, qint32 r, qint32 b, qint32 w, qint32 h)
{
    QByteArray out(24, '\0');
    const qint32 v[6] = {l, t, r, b, w, h};
    for (int i = 0; i < 6; ++i)
        qToLittleEndian<qint32>(v[i], out.data() + 4 * i);
    return out;
}

void writeFile(const QString& name, const QByteArray& bytes)
{
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Answers the print dialog by sending the job into a PDF file; records preview windows.
class TPrintingUi : public TScriptedUi {
public:
    QString printFile;
    std::function<void(QWidget*)> onModal;
    int ShowModal(QWidget* window) override
    {
        if (auto* dlg = qobject_cast<QPrintDialog*>(window)) {
            dlg->printer()->setOutputFormat(QPrinter::PdfFormat);
            dlg->printer()->setOutputFileName(printFile);
        }
        if (onModal)
            onModal(window);
        return TScriptedUi::ShowModal(window);
    }
};

} // namespace

class TestRmWrapper : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void cleanup() { KxSetKeyboardModifiersHook({}); }

    // Margins and paper survive a save and a load exactly; the sheet keeps tenths of a mm.
    void storedFormRoundTrip()
    {
        TRMReportEx report;
        report.Template() = rmVoucherTemplate();
        report.SetMarginLeft(12345);
        report.SetMarginTop(6789);
        report.SetMarginRight(10001);
        report.SetMarginBottom(5000);
        report.SetPaperWidth(241234);
        report.SetPaperHeigth(139960);
        QCOMPARE(report.Template().page.width, 241.2);
        QCOMPARE(report.Template().page.height, 140.0);
        QCOMPARE(report.Template().page.left, 12.345);

        QByteArray bytes;
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        QVERIFY(report.SaveToStream(&buf));
        QCOMPARE(bytes.left(24), header(12345, 6789, 10001, 5000, 241200, 140000));
        QVERIFY(bytes.mid(24).startsWith("<?xml"));

        TRMReportEx back;
        QBuffer in(&bytes);
        in.open(QIODevice::ReadOnly);
        QVERIFY2(back.LoadFromStream(&in), qPrintable(back.LastError()));
        QCOMPARE(back.MarginLeft(), 12345);
        QCOMPARE(back.MarginTop(), 6789);
        QCOMPARE(back.MarginRight(), 10001);
        QCOMPARE(back.MarginBottom(), 5000);
        QCOMPARE(back.PaperWidth(), 241200);
        QCOMPARE(back.PaperHeight(), 140000);
        QVERIFY(back.Template() == report.Template());
    }

    // The stored integers rule over the page the template data describes.
    void changePaperAppliesTheHeader()
    {
        TRMReportEx report;
        report.Template().page.width = 100;
        QByteArray bytes = header(5000, 6000, 7000, 8000, 99950, 150000) + TRMTemplate().ToXml();
        QBuffer in(&bytes);
        in.open(QIODevice::ReadOnly);
        QVERIFY(report.LoadFromStream(&in));
        report.ChangePaper();
        const TRMPageSetup& p = report.Template().page;
        QCOMPARE(p.width, 100.0); // 99.95 mm rounds to 100.0
        QCOMPARE(p.height, 150.0);
        QCOMPARE(p.left, 5.0);
        QCOMPARE(p.top, 6.0);
        QCOMPARE(p.right, 7.0);
        QCOMPARE(p.bottom, 8.0);
        QVERIFY(!p.landscape);
    }

    void linkNamingAfterClear()
    {
        TPClientDataSet a, b;
        TKXReport r;
        r.AddCDataSet(&a, QStringLiteral("采购单"), QStringLiteral("receiveid=单号;suppliername=供应商;"));
        r.AddCDataSet(&b, QStringLiteral("采购单明细"), QString());
        QCOMPARE(r.Links().at(0)->objectName(), QStringLiteral("RMDataSet1"));
        QCOMPARE(r.Links().at(1)->objectName(), QStringLiteral("RMDataSet2"));
        QCOMPARE(r.Links().at(0)->FieldLabels(),
                 (QStringList{QStringLiteral("receiveid=单号"), QStringLiteral("suppliername=供应商"), QString()}));
        r.RMDataSetClear();
        r.AddCDataSet(&a, QStringLiteral("x"), QString());
        r.AddCDataSet(&b, QStringLiteral("y"), QString());
        QCOMPARE(r.Links().size(), 4);
        QVERIFY(!r.Links().at(0) && !r.Links().at(1));
        QCOMPARE(r.Links().at(2)->objectName(), QStringLiteral("RMDataSet3"));
        QCOMPARE(r.Links().at(3)->objectName(), QStringLiteral("RMDataSet4"));
        QCOMPARE(r.Report()->DataSets().size(), 2);
    }

    // Once registered, the framework hands out this wrapper; template names with a path go
    // nowhere.
    void moduleWindowsGetTheWrapper()
    {
        KxRegisterReportEngine();
        TScriptedUi ui;
        TfrmBase form;
        gShopName = QStringLiteral("旗舰店");
        form.SetRePortFile(QStringLiteral("caigoudan.rmf"));
        auto* r = dynamic_cast<TKXReport*>(form.GetReportEx());
        QVERIFY(r);
        QCOMPARE(r->FileName(), KxProgramDir() + QStringLiteral("/rmf/caigoudan.rmf"));
        QCOMPARE(r->Report()->Variables().size(), 4);
        form.SetRePortFile(QStringLiteral("../caigoudan.rmf"));
        QVERIFY(r->FileName().isEmpty());
        QVERIFY(!r->DesignReport());
        QVERIFY(!r->PreviewReport());
        QVERIFY(ui.modalWindows.isEmpty());
    }

    void ctrlOpensTheDesigner_data()
    {
        QTest::addColumn<bool>("print");
        QTest::newRow("preview") << false;
        QTest::newRow("print") << true;
    }

    void ctrlOpensTheDesigner()
    {
        QFETCH(bool, print);
        TPrintingUi ui;
        QStringList shown;
        ui.onModal = [&](QWidget* w) { shown << QString::fromLatin1(w->metaObject()->className()); };
        TKXReport r;
        r.SetFileName(path(QStringLiteral("ctrl.rmf")));
        KxSetKeyboardModifiersHook([] { return Qt::KeyboardModifiers(Qt::ControlModifier | Qt::ShiftModifier); });
        ui.modalResults.enqueue(mrCancel);
        QVERIFY(!(print ? r.PrintReport() : r.PreviewReport()));
        QCOMPARE(shown, QStringList{QStringLiteral("TRMDesignerForm")});
        // Nothing saved, nothing written.
        QVERIFY(!QFile::exists(r.FileName()));
    }

    void missingFileDoesNothing_data()
    {
        QTest::addColumn<bool>("print");
        QTest::newRow("preview") << false;
        QTest::newRow("print") << true;
    }

    void missingFileDoesNothing()
    {
        QFETCH(bool, print);
        TScriptedUi ui;
        TKXReport r;
        r.SetFileName(path(QStringLiteral("absent.rmf")));
        QVERIFY(!(print ? r.PrintReport() : r.PreviewReport()));
        QVERIFY(ui.modalWindows.isEmpty());
        QVERIFY(ui.messages.isEmpty());
    }

    // Designing without a file starts empty and, when saved, writes the file in stored form.
    void designCreatesTheFile()
    {
        TScriptedUi ui;
        TKXReport r;
        const QString file = path(QStringLiteral("new.rmf"));
        r.SetFileName(file);
        ui.modalResults.enqueue(mrOk);
        QVERIFY(r.DesignReport());
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.read(24), header(10000, 10000, 10000, 10000, 210000, 297000));
        TRMReportEx back;
        QVERIFY(back.LoadFromFile(file));
    }

    void damagedFilesAreReported_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray ok = header(10000, 10000, 10000, 10000, 210000, 297000);
        const QByteArray body = TRMTemplate().ToXml();
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("shorter than the header") << QByteArray("0123456789");
        QTest::newRow("header only") << ok;
        QTest::newRow("binary after the header") << ok + QByteArray(300, '\xC7');
        QTest::newRow("foreign XML") << ok + QByteArray("<?xml version=\"1.0\"?><html><body/></html>");
        QTest::newRow("truncated XML") << ok + body.left(body.size() / 2);
        QTest::newRow("zero paper") << header(0, 0, 0, 0, 0, 0) + body;
        QTest::newRow("negative margin") << header(-5, 10000, 10000, 10000, 210000, 297000) + body;
        QTest::newRow("margins wider than the paper") << header(150000, 0, 150000, 0, 210000, 297000) + body;
        QTest::newRow("unknown band type")
            << ok + QByteArray("<kxreport version=\"1\"><page/><band type=\"nonsense\"/></kxreport>");
        QTest::newRow("unknown object")
            << ok + QByteArray("<kxreport version=\"1\"><page/><band type=\"title\"><script/></band></kxreport>");
        QTest::newRow("length not a number")
            << ok + QByteArray("<kxreport version=\"1\"><page/><band type=\"title\" height=\"abc\"/></kxreport>");
        QTest::newRow("huge length")
            << ok + QByteArray("<kxreport version=\"1\"><page/><band type=\"title\" height=\"1e300\"/></kxreport>");
        QTest::newRow("newer format") << ok + QByteArray("<kxreport version=\"9\"><page/></kxreport>");
        QTest::newRow("bad picture data")
            << ok + QByteArray("<kxreport version=\"1\"><page/><band type=\"title\"><picture>@@@</picture></band></kxreport>");
    }

    void damagedFilesAreReported()
    {
        QFETCH(QByteArray, bytes);
        TScriptedUi ui;
        TKXReport r;
        const QString file = path(QStringLiteral("damaged.rmf"));
        writeFile(file, bytes);
        r.SetFileName(file);
        QVERIFY(!r.PreviewReport());
        QVERIFY(!r.PrintReport());
        // The designer does not open over it either: saving would destroy the file.
        QVERIFY(!r.DesignReport());
        QCOMPARE(ui.messages.size(), 3);
        QVERIFY2(ui.messages[0].text.startsWith(QStringLiteral("报表文件已损坏或不是报表模板：damaged.rmf")),
                 qPrintable(ui.messages[0].text));
        QCOMPARE(ui.messages[0].icon, TMsgIcon::Error);
        QVERIFY(ui.modalWindows.isEmpty());
    }

    // A voucher through the print dialog into the printer; the dialog offers every page.
    void printThroughTheDialog()
    {
        TPrintingUi ui;
        ui.printFile = path(QStringLiteral("printed.pdf"));
        ui.modalResults.enqueue(mrOk);
        int maxPage = 0;
        ui.onModal = [&](QWidget* w) {
            if (auto* d = qobject_cast<QPrintDialog*>(w))
                maxPage = d->maxPage();
        };
        TVoucherData data;
        const QString file = path(QStringLiteral("voucher.rmf"));
        TRMReportEx ex;
        ex.Template() = rmVoucherTemplate();
        QVERIFY(ex.SaveToFile(file));

        TKXReport r;
        r.SetFileName(file);
        r.AddVariables(QStringLiteral("门店名称"), QStringLiteral("旗舰店"));
        r.AddCDataSet(&data.master, QStringLiteral("采购单"), QStringLiteral("receiveid=单号"));
        r.AddCDataSet(&data.detail, QStringLiteral("采购单明细"), QString());
        QVERIFY(r.PrintReport());
        QCOMPARE(maxPage, 1);
        const QString text = pdfText(ui.printFile);
        QVERIFY2(inOrder(text, {QStringLiteral("旗舰店 采购入库单"), QStringLiteral("单号：RK000001"),
                                QStringLiteral("帆布鞋"), QStringLiteral("单号：RK000002")}),
                 qPrintable(text));

        // Cancelling the dialog prints nothing.
        QFile::remove(ui.printFile);
        QVERIFY(!r.PrintReport());
        QVERIFY(!QFile::exists(ui.printFile));
    }

    void previewWindow()
    {
        TPrintingUi ui;
        QStringList unknown;
        int pages = 0, shown = -1;
        ui.fileAnswers.enqueue(path(QStringLiteral("exported")));
        ui.onModal = [&](QWidget* w) {
            auto* p = qobject_cast<TRMPreviewForm*>(w);
            if (!p)
                return;
            pages = p->PageCount();
            p->ShowPage(99);
            shown = p->PageIndex();
            p->SetZoom(200);
            p->ExportPdf();
        };
        TPClientDataSet ds;
        QStringList rows;
        for (int i = 1; i <= 60; ++i)
            rows << QStringLiteral(R"(no="%1")").arg(i);
        ds.SetKXXMLData(rmPacket(QStringLiteral("no:integer"), rows));
        TRMReportEx ex;
        ex.Template().bands.push_back(rmBand(TRMBandType::MasterData, QStringLiteral("D"), 10,
                                             {rmMemo(QStringLiteral("M"), QStringLiteral("第[数据表.no]行"), 0, 0)},
                                             QStringLiteral("数据表")));
        const QString file = path(QStringLiteral("list.rmf"));
        QVERIFY(ex.SaveToFile(file));
        TKXReport r;
        r.SetFileName(file);
        r.AddCDataSet(&ds, QStringLiteral("数据表"), QString());
        QVERIFY(r.PreviewReport());
        QCOMPARE(pages, 3);
        QCOMPARE(shown, 2);
        // ".pdf" is added to a name without it.
        QCOMPARE(pdfPageCount(path(QStringLiteral("exported.pdf"))), 3);
        QVERIFY(pdfText(path(QStringLiteral("exported.pdf")), 3).contains(QStringLiteral("第60行")));
    }
    // The templates shipped in rmf/ load in stored form and print their data sets. The PDF
    // stays beside the test program for a look.
    void shippedVoucherPrints()
    {
        TPClientDataSet head, lines;
        head.SetKXXMLData(rmPacket(QStringLiteral("receiveid:string,suppliername:string,storagename:string,inputtime:string,memo:string,receivemoney:decimal,auditren:string"),
                                   {QStringLiteral(R"(receiveid="RK000002" suppliername="北方商贸" storagename="主仓" inputtime="2024-03-05 10:00:00" memo="月初补货" receivemoney="3600.00" auditren="[2]李四")"),
                                    QStringLiteral(R"(receiveid="RK000009" suppliername="别的供应商")")}));
        QStringList rows;
        for (int i = 1; i <= 20; ++i)
            rows << QStringLiteral(R"(commoditycode="SP%1" commodityname="纯棉短袖T恤 第%1款" propcolor="白色" propsize="XL" receivenum="%3" costprice="12.00" sumcostprice="%2")")
                        .arg(i, 4, 10, QLatin1Char('0')).arg(i * 12).arg(i);
        lines.SetKXXMLData(rmPacket(QStringLiteral("commoditycode:string,commodityname:string,propcolor:string,propsize:string,receivenum:integer,costprice:decimal,sumcostprice:decimal"), rows));
        const QString file = qEnvironmentVariable("KX_BIN_DIR") + QStringLiteral("/rmf/caigoudan.rmf");
        TKXReport r;
        QVERIFY2(r.Report()->LoadFromFile(file), qPrintable(r.Report()->LastError()));
        r.Report()->ChangePaper();
        QCOMPARE(r.Report()->Template().page.width, 241.0);
        r.AddVariables(QStringLiteral("门店名称"), QStringLiteral("旗舰店"));
        r.AddVariables(QStringLiteral("操作员名称"), QStringLiteral("张三"));
        r.AddCDataSet(&head, QStringLiteral("采购单"), QString());
        r.AddCDataSet(&lines, QStringLiteral("采购单明细"), QString());
        const QString pdf = QCoreApplication::applicationDirPath() + QStringLiteral("/rm_caigoudan.pdf");
        QVERIFY(r.Report()->ExportPdf(pdf));
        QVERIFY(r.Report()->Prepared()->unknownNames.isEmpty());
        QCOMPARE(pdfPageCount(pdf), 2);
        QVERIFY2(inOrder(pdfText(pdf, 1), {QStringLiteral("旗舰店 采购入库单"), QStringLiteral("单号：RK000002"),
                                           QStringLiteral("北方商贸"), QStringLiteral("商品编码"), QStringLiteral("SP0001"),
                                           QStringLiteral("第1页/共2页")}),
                 qPrintable(pdfText(pdf, 1)));
        QVERIFY2(inOrder(pdfText(pdf, 2), {QStringLiteral("商品编码"), QStringLiteral("SP0020"),
                                           QStringLiteral("合计金额：3600.00"), QStringLiteral("制单：张三"),
                                           QStringLiteral("第2页/共2页")}),
                 qPrintable(pdfText(pdf, 2)));
        QVERIFY(!pdfText(pdf).contains(QStringLiteral("RK000009")));
    }
};

QTEST_MAIN(TestRmWrapper)
#include "tst_rm_wrapper.moc"
