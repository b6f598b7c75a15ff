// Time to print 500 waybills (one page each, sixteen fields and the form's picture) from a
// template made in the designer into a PDF file.
#include "uExpressLayout.h"
#include "uRMDataSet.h"
#include "uRMEngine.h"
#include "uRMReport.h"
#include "uPClientDataSet.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int pickings = 500;

    TExpressLayout l;
    l.mmWidth = 230;
    l.mmHeigth = 127;
    l.mmMarginLeft = 5;
    l.mmMarginTop = 3;
    l.bgSize = QSize(KxMmToPx(230), KxMmToPx(127));
    QImage form(l.bgSize, QImage::Format_RGB32);
    form.fill(QColor(0xfd, 0xfb, 0xf4));
    QPainter p(&form);
    for (int y = 20; y < form.height(); y += 40)
        p.drawLine(0, y, form.width(), y);
    p.end();
    QBuffer png(&l.picture);
    png.open(QIODevice::WriteOnly);
    form.convertToFormat(QImage::Format_Indexed8).save(&png, "PNG");
    int n = 0;
    for (const TExpressGroup& g : KxExpressGroups())
        for (const TExpressField& f : g.fields)
            if (n < 16) {
                l.labels << TExpressLabel{f.key, KxExpressExpression(g, f), QRect(20 + (n % 2) * 420, 20 + (n / 2) * 52, 400, 30), 10};
                ++n;
            }

    const QString hf = QStringLiteral("pickingid,receiver_name,receiver_phone,receiver_mobile,receiver_address,receiver_zip,receiver_city,"
                                      "receiver_district,buyer_nick,buyer_message,seller_memo");
    QString headers = QStringLiteral("<datapacket><fields>"), lines = QStringLiteral("<datapacket><fields>");
    for (const QString& f : hf.split(u','))
        headers += QStringLiteral("<field name=\"%1\" type=\"string\" size=\"200\"/>").arg(f);
    for (const QString& f : QStringLiteral("pickingid,commoditycode,title,sku_properties_name,tid").split(u','))
        lines += QStringLiteral("<field name=\"%1\" type=\"string\" size=\"200\"/>").arg(f);
    headers += QStringLiteral("</fields><rows>");
    lines += QStringLiteral("<field name=\"num\" type=\"decimal\" precision=\"18\" scale=\"2\"/></fields><rows>");
    for (int i = 0; i < pickings; ++i) {
        const QString id = QStringLiteral("JH%1").arg(i, 8, 10, QLatin1Char('0'));
        headers += QStringLiteral("<row pickingid=\"%1\" receiver_name=\"收货人%2\" receiver_phone=\"0571-%2\" receiver_mobile=\"138%2\""
                                  " receiver_address=\"浙江省杭州市西湖区文三路%2号\" receiver_zip=\"310000\" receiver_city=\"杭州市\""
                                  " receiver_district=\"西湖区\" buyer_nick=\"buyer%2\" buyer_message=\"请尽快发货\" seller_memo=\"\"/>")
                       .arg(id).arg(i);
        for (int k = 0; k < 2; ++k)
            lines += QStringLiteral("<row pickingid=\"%1\" commoditycode=\"SP%2\" title=\"商品%2\" sku_properties_name=\"颜色:红\" tid=\"T%3\" num=\"1\"/>")
                         .arg(id).arg(k).arg(i);
    }
    TPClientDataSet h, d;
    h.SetKXXMLData(headers + QStringLiteral("</rows></datapacket>"));
    d.SetKXXMLData(lines + QStringLiteral("</rows></datapacket>"));

    QTemporaryDir dir;
    QElapsedTimer t;
    t.start();
    TRMReport report;
    report.Template() = KxExpressReport(l);
    TRMDBDataSet hl, dl;
    hl.SetDataSet(&h);
    hl.SetAlias(QStringLiteral("拣货单"));
    hl.SetFieldLabels(KxExpressFieldLabels(QStringLiteral("拣货单")).split(u'\n'));
    dl.SetDataSet(&d);
    dl.SetAlias(QStringLiteral("拣货单明细"));
    dl.SetFieldLabels(KxExpressFieldLabels(QStringLiteral("拣货单明细")).split(u'\n'));
    report.AddDataSet(&hl);
    report.AddDataSet(&dl);
    report.SetVariable(QStringLiteral("发件人名称"), QStringLiteral("瓦诺克仓库"));
    const QString pdf = dir.filePath(QStringLiteral("waybills.pdf"));
    if (!report.ExportPdf(pdf)) {
        std::fprintf(stderr, "export failed: %s\n", qPrintable(report.LastError()));
        return 1;
    }
    const qint64 ms = t.elapsed();
    std::printf("BENCH waybill_print pickings=%d pages=%d ms=%lld bytes=%lld\n", pickings, int(report.Prepared()->pages.size()), ms,
                QFileInfo(pdf).size());
    return 0;
}
