// Draws a blank waybill form for each carrier of a seller file's waybill templates, places
// the fields on it, and writes the template's layout (".des") and printable report (".ref")
// into a folder, so that a new installation prints at once.
//   kx_expressseed <seller.json> <out folder>
#include "uExpressLayout.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QSaveFile>
#include <cstdio>

namespace {
constexpr double kWidth = 230, kHeight = 127;

QRectF px(double x, double y, double w, double h)
{
    return QRectF(x * kExpressPxPerMm, y * kExpressPxPerMm, w * kExpressPxPerMm, h * kExpressPxPerMm);
}

QColor colourOf(const QString& code)
{
    static const QHash<QString, QColor> colours = {{QStringLiteral("SF"), QColor(0x1a, 0x1a, 0x1a)},
                                                   {QStringLiteral("YTO"), QColor(0x5b, 0x2c, 0x8f)},
                                                   {QStringLiteral("ZTO"), QColor(0x1f, 0x5f, 0xbf)},
                                                   {QStringLiteral("YUNDA"), QColor(0xd9, 0x8c, 0x00)}};
    return colours.value(code, QColor(0xb0, 0x20, 0x20));
}

void caption(QPainter& p, const QRectF& r, const QString& text, int size = 9, bool bold = false)
{
    QFont f(QStringLiteral("WenQuanYi Micro Hei"));
    f.setPixelSize(size * 96 / 72);
    f.setBold(bold);
    p.setFont(f);
    p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, text);
}

// The carrier's blank form: boxes for sender, consignee, goods and order, as printed on the
// carrier's paper, in the carrier's colour.
QByteArray drawForm(const QString& code, const QString& carrier)
{
    QImage img(qRound(kWidth * kExpressPxPerMm), qRound(kHeight * kExpressPxPerMm), QImage::Format_RGB32);
    img.fill(QColor(0xfd, 0xfb, 0xf4));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink = colourOf(code);
    p.fillRect(px(0, 0, kWidth, 14), ink);
    p.setPen(Qt::white);
    caption(p, px(6, 1, 120, 12), carrier + QStringLiteral("  快递运单"), 18, true);
    caption(p, px(150, 1, 76, 12), QStringLiteral("客服热线 95500-") + code, 10);
    p.setPen(QPen(ink, 1.2));
    p.setBrush(Qt::NoBrush);
    const QRectF sender = px(3, 17, 110, 46), consignee = px(117, 17, 110, 46);
    p.drawRect(sender);
    p.drawRect(consignee);
    p.drawRect(px(3, 66, 224, 25));
    p.drawRect(px(3, 94, 224, 30));
    p.setPen(ink);
    caption(p, px(5, 21, 15, 8), QStringLiteral("寄件人"), 9, true);
    caption(p, px(60, 21, 10, 8), QStringLiteral("电话"));
    caption(p, px(5, 31, 15, 8), QStringLiteral("地址"));
    caption(p, px(5, 49, 15, 8), QStringLiteral("邮编"));
    caption(p, px(50, 49, 10, 8), QStringLiteral("日期"));
    caption(p, px(119, 21, 15, 8), QStringLiteral("收件人"), 9, true);
    caption(p, px(174, 21, 10, 8), QStringLiteral("手机"));
    caption(p, px(119, 31, 15, 8), QStringLiteral("地址"));
    caption(p, px(119, 49, 15, 8), QStringLiteral("邮编"));
    caption(p, px(157, 49, 14, 8), QStringLiteral("城市"));
    caption(p, px(5, 69, 18, 8), QStringLiteral("托寄物"), 9, true);
    caption(p, px(5, 79, 18, 8), QStringLiteral("规格"));
    caption(p, px(168, 69, 12, 8), QStringLiteral("数量"));
    caption(p, px(5, 96, 18, 8), QStringLiteral("订单号"), 9, true);
    caption(p, px(100, 96, 20, 8), QStringLiteral("拣货单号"));
    caption(p, px(5, 106, 18, 8), QStringLiteral("备注"));
    caption(p, px(160, 114, 66, 8), QStringLiteral("收件人签名：____________"));
    p.setPen(QPen(ink, 0.6, Qt::DotLine));
    for (double y : {29.0, 47.0, 61.0}) {
        p.drawLine(px(18, y, 93, 0).topLeft(), px(18, y, 93, 0).topRight());
        p.drawLine(px(132, y, 93, 0).topLeft(), px(132, y, 93, 0).topRight());
    }
    p.end();
    // Few colours: an indexed picture keeps the files small.
    const QImage small = img.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    small.save(&buffer, "PNG", 9);
    return png;
}

TExpressLayout layoutFor(const QByteArray& picture)
{
    TExpressLayout l;
    l.mmWidth = kWidth;
    l.mmHeigth = kHeight;
    l.picture = picture;
    l.bgSize = QSize(KxMmToPx(kWidth), KxMmToPx(kHeight));
    struct Place { const char* key; double x, y, w, h; };
    static const Place places[] = {
        {"sender_name", 20, 21, 38, 8},    {"sender_phone", 70, 21, 42, 8}, {"sender_address", 18, 31, 93, 14},
        {"sender_zip", 18, 49, 30, 8},     {"_RM_DateTime", 60, 49, 50, 8},
        {"receiver_name", 134, 21, 38, 8}, {"receiver_mobile", 184, 21, 42, 8}, {"receiver_address", 132, 31, 93, 14},
        {"receiver_zip", 132, 49, 24, 8},  {"city_district", 171, 49, 54, 8},
        {"title", 24, 69, 140, 8},         {"sku_properties_name", 24, 79, 140, 8}, {"num", 182, 69, 30, 8},
        {"tid", 24, 96, 74, 8},            {"pickingid", 122, 96, 60, 8},     {"buyer_message", 24, 106, 130, 8},
    };
    for (const Place& pl : places) {
        for (const TExpressGroup& g : KxExpressGroups())
            for (const TExpressField& f : g.fields)
                if (f.key == QLatin1String(pl.key)) {
                    TExpressLabel label;
                    label.name = f.key;
                    label.memo = KxExpressExpression(g, f);
                    label.fontSize = 10;
                    label.rect = QRect(KxMmToPx(pl.x), KxMmToPx(pl.y), KxMmToPx(pl.w), KxMmToPx(pl.h));
                    l.labels << label;
                }
    }
    return l;
}

bool write(const QString& path, const QByteArray& bytes)
{
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
}
}

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: kx_expressseed <seller.json> <out folder>\n");
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    const QJsonObject seller = QJsonDocument::fromJson(in.readAll()).object();
    QHash<QString, QString> carriers;
    for (const QJsonValue& v : seller.value(QLatin1String("logistics_companies")).toArray())
        carriers.insert(v.toObject().value(QLatin1String("code")).toString(), v.toObject().value(QLatin1String("name")).toString());
    const QDir out(QString::fromLocal8Bit(argv[2]));
    QDir().mkpath(out.path());
    for (const QJsonValue& v : seller.value(QLatin1String("express_templates")).toArray()) {
        const QString code = v.toObject().value(QLatin1String("logistics_code")).toString();
        const QString stem = carriers.value(code) + u'_' + v.toObject().value(QLatin1String("express_name")).toString();
        const TExpressLayout layout = layoutFor(drawForm(code, carriers.value(code)));
        if (!write(out.filePath(stem + QStringLiteral(".des")), KxWriteExpressLayout(layout))
            || !write(out.filePath(stem + QStringLiteral(".ref")), KxExpressReportBytes(layout))) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(out.filePath(stem)));
            return 1;
        }
    }
    return 0;
}
