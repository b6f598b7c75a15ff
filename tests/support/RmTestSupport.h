#pragma once
// Data sets, templates and PDF reading shared by the report engine tests.
#include "uPClientDataSet.h"
#include "uRMTemplate.h"

#include <QProcess>
#include <QStringList>
#include <QTest>

// A data packet from "name:type,..." and rows of attribute text.
inline QString rmPacket(const QString& fields, const QStringList& rows)
{
    QString xml = QStringLiteral("<datapacket><fields>");
    for (const QString& f : fields.split(u',')) {
        const QStringList p = f.split(u':');
        xml += QStringLiteral("<field name=\"%1\" type=\"%2\"%3/>")
                   .arg(p[0], p[1], p[1] == u"decimal" ? QStringLiteral(" precision=\"18\" scale=\"2\"") : QString());
    }
    xml += QStringLiteral("</fields><rows>");
    for (const QString& r : rows)
        xml += QStringLiteral("<row %1/>").arg(r);
    return xml + QStringLiteral("</rows></datapacket>");
}

// Two purchase receipts and their lines, linked by md5_key.
struct TVoucherData {
    TPClientDataSet master, detail;
    TVoucherData()
    {
        master.SetKXXMLData(rmPacket(QStringLiteral("md5_key:string,receiveid:string,suppliername:string,receivemoney:decimal"),
                                     {QStringLiteral(R"(md5_key="k1" receiveid="RK000001" suppliername="华东供应" receivemoney="30.00")"),
                                      QStringLiteral(R"(md5_key="k2" receiveid="RK000002" suppliername="北方商贸" receivemoney="7.50")")}));
        detail.SetKXXMLData(rmPacket(QStringLiteral("md5_key:string,seq:integer,commodityname:string,receivenum:integer"),
                                     {QStringLiteral(R"(md5_key="k2" seq="1" commodityname="蓝色马克杯" receivenum="3")"),
                                      QStringLiteral(R"(md5_key="k1" seq="1" commodityname="棉质T恤" receivenum="2")"),
                                      QStringLiteral(R"(md5_key="k1" seq="2" commodityname="帆布鞋" receivenum="1")")}));
    }
};

inline TRMObject rmMemo(const QString& name, const QString& text, double x, double y, double w = 60, double h = 6)
{
    TRMObject o;
    o.name = name;
    o.text = text;
    o.rect = QRectF(x, y, w, h);
    return o;
}

inline TRMBand rmBand(TRMBandType type, const QString& name, double height, std::vector<TRMObject> objects,
                      const QString& dataSet = QString())
{
    TRMBand b;
    b.type = type;
    b.name = name;
    b.height = height;
    b.dataSet = dataSet;
    b.objects = std::move(objects);
    return b;
}

// A voucher: title with variables, one header per receipt, its lines, page footer with
// page numbers, summary.
inline TRMTemplate rmVoucherTemplate()
{
    TRMTemplate t;
    t.bands.push_back(rmBand(TRMBandType::Title, QStringLiteral("Title1"), 12,
                             {rmMemo(QStringLiteral("Memo1"), QStringLiteral("[门店名称] 采购入库单"), 0, 0, 120, 10)}));
    t.bands.push_back(rmBand(TRMBandType::MasterData, QStringLiteral("Master1"), 8,
                             {rmMemo(QStringLiteral("Memo2"), QStringLiteral("单号：[采购单.\"单号\"]"), 0, 1),
                              rmMemo(QStringLiteral("Memo3"), QStringLiteral("供应商：[采购单.suppliername]"), 70, 1)},
                             QStringLiteral("采购单")));
    TRMBand d = rmBand(TRMBandType::DetailData, QStringLiteral("Detail1"), 7,
                       {rmMemo(QStringLiteral("Memo4"), QStringLiteral("[_RM_Line]. [采购单明细.commodityname] × [采购单明细.receivenum]"), 5, 0)},
                       QStringLiteral("采购单明细"));
    d.master = QStringLiteral("Master1");
    d.masterFields = QStringLiteral("md5_key");
    d.detailFields = QStringLiteral("md5_key");
    t.bands.push_back(d);
    t.bands.push_back(rmBand(TRMBandType::Summary, QStringLiteral("Summary1"), 8,
                             {rmMemo(QStringLiteral("Memo5"), QStringLiteral("制单：[操作员名称]"), 0, 0)}));
    t.bands.push_back(rmBand(TRMBandType::PageFooter, QStringLiteral("PageFooter1"), 8,
                             {rmMemo(QStringLiteral("Memo6"), QStringLiteral("第[_RM_Page]页/共[_RM_TotalPages]页"), 0, 0)}));
    return t;
}

// Text of a PDF (one page when `page` > 0) as pdftotext -layout gives it.
inline QString pdfText(const QString& file, int page = 0)
{
    QStringList args{QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8")};
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    args << file << QStringLiteral("-");
    QProcess p;
    p.start(QStringLiteral("pdftotext"), args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("<pdftotext failed: %1>").arg(QString::fromUtf8(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Number of pages of a PDF, by pdftotext's form feeds.
inline int pdfPageCount(const QString& file)
{
    return int(pdfText(file).count(u'\f'));
}

// True when every text appears in `text` after the one before it.
inline bool inOrder(const QString& text, const QStringList& parts)
{
    qsizetype at = 0;
    for (const QString& p : parts) {
        at = text.indexOf(p, at);
        if (at < 0)
            return false;
        at += p.size();
    }
    return true;
}
