// Time to lay out and write a 1,000-record master/detail report (two lines a record,
// about 50 pages) to a PDF file.
#include "uRMDataSet.h"
#include "uRMEngine.h"
#include "uRMReport.h"
#include "uPClientDataSet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

namespace {

TRMObject memo(const QString& name, const QString& text, double x, double w, double h = 5)
{
    TRMObject o;
    o.name = name;
    o.text = text;
    o.rect = QRectF(x, 0, w, h);
    o.frame = frAll;
    return o;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int records = 1000;

    QString master = QStringLiteral("<datapacket><fields><field name=\"id\" type=\"string\"/><field name=\"supplier\" type=\"string\"/>"
                                    "<field name=\"money\" type=\"decimal\" precision=\"18\" scale=\"2\"/></fields><rows>");
    QString detail = QStringLiteral("<datapacket><fields><field name=\"id\" type=\"string\"/><field name=\"name\" type=\"string\"/>"
                                    "<field name=\"num\" type=\"integer\"/></fields><rows>");
    for (int i = 0; i < records; ++i) {
        master += QStringLiteral("<row id=\"RK%1\" supplier=\"供应商%2\" money=\"%3.50\"/>").arg(i, 6, 10, QLatin1Char('0')).arg(i % 37).arg(i);
        for (int k = 0; k < 2; ++k)
            detail += QStringLiteral("<row id=\"RK%1\" name=\"商品%2\" num=\"%3\"/>").arg(i, 6, 10, QLatin1Char('0')).arg(k).arg(k + 1);
    }
    TPClientDataSet m, d;
    m.SetKXXMLData(master + QStringLiteral("</rows></datapacket>"));
    d.SetKXXMLData(detail + QStringLiteral("</rows></datapacket>"));

    TRMReport report;
    TRMTemplate& t = report.Template();
    TRMBand header{TRMBandType::PageHeader, QStringLiteral("H"), 6, false, false, {}, {}, {}, {},
                   {memo(QStringLiteral("H1"), QStringLiteral("[门店名称] 采购单汇总 [_RM_DateTime]"), 0, 190)}};
    TRMBand mb{TRMBandType::MasterData, QStringLiteral("M"), 5, false, false, QStringLiteral("单据"), {}, {}, {},
               {memo(QStringLiteral("M1"), QStringLiteral("单号：[单据.id]"), 0, 60),
                memo(QStringLiteral("M2"), QStringLiteral("[单据.supplier]"), 60, 70),
                memo(QStringLiteral("M3"), QStringLiteral("[单据.money]"), 130, 60)}};
    TRMBand db{TRMBandType::DetailData, QStringLiteral("D"), 4, false, false, QStringLiteral("明细"), QStringLiteral("M"),
               QStringLiteral("id"), QStringLiteral("id"),
               {memo(QStringLiteral("D1"), QStringLiteral("[_RM_Line]"), 10, 20, 4),
                memo(QStringLiteral("D2"), QStringLiteral("[明细.name]"), 30, 100, 4),
                memo(QStringLiteral("D3"), QStringLiteral("[明细.num]"), 130, 60, 4)}};
    TRMBand footer{TRMBandType::PageFooter, QStringLiteral("F"), 6, false, false, {}, {}, {}, {},
                   {memo(QStringLiteral("F1"), QStringLiteral("第[_RM_Page]页/共[_RM_TotalPages]页"), 0, 190)}};
    t.bands = {header, mb, db, footer};
    TRMDBDataSet lm, ld;
    lm.SetDataSet(&m);
    lm.SetAlias(QStringLiteral("单据"));
    ld.SetDataSet(&d);
    ld.SetAlias(QStringLiteral("明细"));
    report.AddDataSet(&lm);
    report.AddDataSet(&ld);
    report.SetVariable(QStringLiteral("门店名称"), QStringLiteral("旗舰店"));

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("bench.pdf"));
    report.ExportPdf(pdf); // warm fonts and caches
    QElapsedTimer timer;
    timer.start();
    if (!report.ExportPdf(pdf)) {
        std::fprintf(stderr, "export failed: %s\n", qPrintable(report.LastError()));
        return 1;
    }
    const qint64 ms = timer.elapsed();
    std::printf("BENCH report_render records=%d pages=%zu ms=%lld\n", records, report.Prepared()->pages.size(),
                static_cast<long long>(ms));
    return 0;
}
