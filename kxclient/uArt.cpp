#include "uArt.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <functional>
#include <map>

namespace {

const QColor kBlue(0x1f, 0x5f, 0xb4);
const QColor kBlueDark(0x12, 0x3d, 0x7a);
const QColor kBlueLight(0x4f, 0x8f, 0xe0);

void tile(QPainter& p, const QRectF& r, const QColor& c, qreal radius)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, c.lighter(125));
    g.setColorAt(1, c.darker(112));
    p.setPen(QPen(c.darker(135), qMax<qreal>(1, r.width() / 48)));
    p.setBrush(g);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

// The product mark: a stylised "V" over a parcel edge, in a rounded tile.
void paintMark(QPainter& p, const QRectF& r)
{
    tile(p, r, kBlue, r.width() * 0.22);
    QPen pen(Qt::white, r.width() * 0.11, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const qreal w = r.width(), x = r.x(), y = r.y();
    QPainterPath v;
    v.moveTo(x + w * 0.24, y + w * 0.26);
    v.lineTo(x + w * 0.50, y + w * 0.74);
    v.lineTo(x + w * 0.76, y + w * 0.26);
    p.drawPath(v);
    p.setPen(QPen(QColor(255, 200, 60), w * 0.07, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(x + w * 0.30, y + w * 0.84), QPointF(x + w * 0.70, y + w * 0.84));
}

using Glyph = std::function<void(QPainter&)>; // drawn in a 24 × 24 box

QPainterPath roundRect(qreal x, qreal y, qreal w, qreal h, qreal r)
{
    QPainterPath path;
    path.addRoundedRect(x, y, w, h, r, r);
    return path;
}

const std::map<QString, Glyph>& glyphs()
{
    static const std::map<QString, Glyph> g = {
        {"doc", [](QPainter& p) {
             QPainterPath d;
             d.moveTo(6, 3); d.lineTo(14, 3); d.lineTo(18, 7); d.lineTo(18, 21); d.lineTo(6, 21); d.closeSubpath();
             p.drawPath(d);
             p.drawLine(QPointF(9, 11), QPointF(15, 11)); p.drawLine(QPointF(9, 14), QPointF(15, 14));
             p.drawLine(QPointF(9, 17), QPointF(13, 17));
         }},
        {"box", [](QPainter& p) {
             QPainterPath b;
             b.moveTo(12, 3); b.lineTo(20, 7); b.lineTo(20, 17); b.lineTo(12, 21); b.lineTo(4, 17); b.lineTo(4, 7);
             b.closeSubpath();
             p.drawPath(b);
             p.drawPolyline(QPolygonF({QPointF(4, 7), QPointF(12, 11), QPointF(20, 7)}));
             p.drawLine(QPointF(12, 11), QPointF(12, 21));
         }},
        {"truck", [](QPainter& p) {
             p.drawRect(QRectF(2, 6, 12, 10));
             QPainterPath c;
             c.moveTo(14, 9); c.lineTo(18, 9); c.lineTo(21, 12.5); c.lineTo(21, 16); c.lineTo(14, 16);
             p.drawPath(c);
             p.drawEllipse(QPointF(6.5, 18), 2, 2); p.drawEllipse(QPointF(17, 18), 2, 2);
         }},
        {"cart", [](QPainter& p) {
             p.drawPolyline(QPolygonF({QPointF(2, 4), QPointF(5, 4), QPointF(8, 15), QPointF(18, 15), QPointF(20, 7),
                                       QPointF(6, 7)}));
             p.drawEllipse(QPointF(9, 19), 1.6, 1.6); p.drawEllipse(QPointF(17, 19), 1.6, 1.6);
         }},
        {"user", [](QPainter& p) {
             p.drawEllipse(QPointF(12, 8), 4, 4);
             QPainterPath s;
             s.moveTo(4, 21); s.cubicTo(4, 14, 20, 14, 20, 21);
             p.drawPath(s);
         }},
        {"users", [](QPainter& p) {
             p.drawEllipse(QPointF(9, 8), 3.5, 3.5);
             QPainterPath s;
             s.moveTo(2, 20); s.cubicTo(2, 13.5, 16, 13.5, 16, 20);
             p.drawPath(s);
             p.drawArc(QRectF(13, 4, 7, 7), -60 * 16, 240 * 16);
             p.drawLine(QPointF(18, 14.5), QPointF(22, 20));
         }},
        {"key", [](QPainter& p) {
             p.drawEllipse(QPointF(8, 12), 4.5, 4.5);
             p.drawLine(QPointF(12.5, 12), QPointF(21, 12));
             p.drawLine(QPointF(18, 12), QPointF(18, 16)); p.drawLine(QPointF(21, 12), QPointF(21, 15));
         }},
        {"chart", [](QPainter& p) {
             p.drawLine(QPointF(3, 21), QPointF(21, 21));
             p.drawRect(QRectF(5, 13, 3, 8)); p.drawRect(QRectF(10.5, 8, 3, 13)); p.drawRect(QRectF(16, 4, 3, 17));
         }},
        {"gear", [](QPainter& p) {
             QPainterPath g;
             for (int i = 0; i < 16; ++i) {
                 const qreal a = i * M_PI / 8, rr = (i % 2 == 0) ? 9.5 : 7;
                 const QPointF pt(12 + rr * qCos(a), 12 + rr * qSin(a));
                 i == 0 ? g.moveTo(pt) : g.lineTo(pt);
             }
             g.closeSubpath();
             p.drawPath(g);
             p.drawEllipse(QPointF(12, 12), 3, 3);
         }},
        {"tag", [](QPainter& p) {
             QPainterPath t;
             t.moveTo(3, 4); t.lineTo(12, 4); t.lineTo(21, 13); t.lineTo(13, 21); t.lineTo(3, 12); t.closeSubpath();
             p.drawPath(t);
             p.drawEllipse(QPointF(8, 9), 1.5, 1.5);
         }},
        {"store", [](QPainter& p) {
             p.drawPolyline(QPolygonF({QPointF(3, 9), QPointF(5, 3), QPointF(19, 3), QPointF(21, 9), QPointF(3, 9)}));
             p.drawRect(QRectF(5, 9, 14, 12));
             p.drawRect(QRectF(10, 14, 4, 7));
         }},
        {"card", [](QPainter& p) {
             p.drawPath(roundRect(2.5, 5, 19, 14, 2));
             p.drawLine(QPointF(2.5, 9.5), QPointF(21.5, 9.5));
             p.drawLine(QPointF(6, 15), QPointF(11, 15));
         }},
        {"printer", [](QPainter& p) {
             p.drawRect(QRectF(7, 3, 10, 6));
             p.drawPath(roundRect(3, 9, 18, 8, 1.5));
             p.drawRect(QRectF(7, 14, 10, 7));
         }},
        {"download", [](QPainter& p) {
             p.drawLine(QPointF(12, 3), QPointF(12, 15));
             p.drawPolyline(QPolygonF({QPointF(7, 10), QPointF(12, 15), QPointF(17, 10)}));
             p.drawPolyline(QPolygonF({QPointF(4, 16), QPointF(4, 20), QPointF(20, 20), QPointF(20, 16)}));
         }},
        {"return", [](QPainter& p) {
             QPainterPath a;
             a.moveTo(9, 6); a.lineTo(15, 6); a.cubicTo(22, 6, 22, 18, 15, 18); a.lineTo(5, 18);
             p.drawPath(a);
             p.drawPolyline(QPolygonF({QPointF(12, 2.5), QPointF(8.5, 6), QPointF(12, 9.5)}));
         }},
        {"check", [](QPainter& p) {
             p.drawPath(roundRect(5, 4, 14, 17, 1.5));
             p.drawRect(QRectF(9, 2.5, 6, 3));
             p.drawPolyline(QPolygonF({QPointF(8.5, 13), QPointF(11, 15.5), QPointF(15.5, 10)}));
         }},
        {"info", [](QPainter& p) {
             p.drawEllipse(QPointF(12, 12), 9, 9);
             p.drawLine(QPointF(12, 11), QPointF(12, 17));
             p.drawPoint(QPointF(12, 7.5));
         }},
        {"lock", [](QPainter& p) {
             p.drawPath(roundRect(5, 11, 14, 10, 1.5));
             p.drawArc(QRectF(8, 4, 8, 12), 0, 180 * 16);
             p.drawLine(QPointF(8, 10), QPointF(8, 11)); p.drawLine(QPointF(16, 10), QPointF(16, 11));
         }},
        {"list", [](QPainter& p) {
             for (int i = 0; i < 3; ++i) {
                 p.drawPoint(QPointF(5, 6 + i * 6));
                 p.drawLine(QPointF(9, 6 + i * 6), QPointF(20, 6 + i * 6));
             }
         }},
        {"money", [](QPainter& p) {
             p.drawEllipse(QPointF(12, 12), 9, 9);
             p.drawPolyline(QPolygonF({QPointF(8.5, 7), QPointF(12, 11.5), QPointF(15.5, 7)}));
             p.drawLine(QPointF(12, 11.5), QPointF(12, 18));
             p.drawLine(QPointF(9, 12.5), QPointF(15, 12.5)); p.drawLine(QPointF(9, 15.5), QPointF(15, 15.5));
         }},
        {"layers", [](QPainter& p) {
             p.drawPolygon(QPolygonF({QPointF(12, 3), QPointF(21, 8), QPointF(12, 13), QPointF(3, 8)}));
             p.drawPolyline(QPolygonF({QPointF(3, 12.5), QPointF(12, 17.5), QPointF(21, 12.5)}));
             p.drawPolyline(QPolygonF({QPointF(3, 16.5), QPointF(12, 21.5), QPointF(21, 16.5)}));
         }},
        {"warehouse", [](QPainter& p) {
             p.drawPolyline(QPolygonF({QPointF(3, 21), QPointF(3, 9), QPointF(12, 3), QPointF(21, 9), QPointF(21, 21)}));
             p.drawRect(QRectF(7, 13, 10, 8));
             p.drawLine(QPointF(7, 17), QPointF(17, 17));
         }},
        {"barcode", [](QPainter& p) {
             const qreal xs[] = {4, 6.5, 8, 11, 13, 14.5, 17, 20};
             for (qreal x : xs)
                 p.drawLine(QPointF(x, 5), QPointF(x, 19));
         }},
        {"exchange", [](QPainter& p) {
             p.drawLine(QPointF(4, 8), QPointF(19, 8));
             p.drawPolyline(QPolygonF({QPointF(15, 4), QPointF(19, 8), QPointF(15, 12)}));
             p.drawLine(QPointF(20, 16), QPointF(5, 16));
             p.drawPolyline(QPolygonF({QPointF(9, 12), QPointF(5, 16), QPointF(9, 20)}));
         }},
        {"search", [](QPainter& p) {
             p.drawEllipse(QPointF(10, 10), 6, 6);
             p.drawLine(QPointF(14.5, 14.5), QPointF(20, 20));
         }},
    };
    return g;
}

void drawGlyph(QPainter& p, const QString& name, const QRectF& box, const QColor& color, qreal width)
{
    const auto it = glyphs().find(name);
    if (it == glyphs().end())
        return;
    p.save();
    p.translate(box.topLeft());
    p.scale(box.width() / 24, box.height() / 24);
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    it->second(p);
    p.restore();
}

QPixmap pixmap(const QSize& size, const std::function<void(QPainter&)>& paint)
{
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    return pm;
}

QPixmap folder(int s, bool open)
{
    return pixmap(QSize(s, s), [=](QPainter& p) {
        const QColor back(0xe0, 0xa8, 0x2e), front(0xf7, 0xc9, 0x4b);
        p.setPen(QPen(back.darker(130), 1));
        p.setBrush(back);
        QPainterPath b;
        b.moveTo(1.5, 3.5); b.lineTo(6, 3.5); b.lineTo(7.5, 5); b.lineTo(14.5, 5); b.lineTo(14.5, 13.5); b.lineTo(1.5, 13.5);
        b.closeSubpath();
        p.drawPath(b);
        p.setBrush(front);
        if (open)
            p.drawPolygon(QPolygonF({QPointF(3.5, 7.5), QPointF(15.5, 7.5), QPointF(13.5, 13.5), QPointF(1.5, 13.5)}));
        else
            p.drawRect(QRectF(1.5, 6.5, 13, 7));
    });
}

} // namespace

QStringList KxGlyphs()
{
    QStringList names;
    for (const auto& [name, draw] : glyphs())
        names << name;
    return names;
}

QImage KxNavImage(const QString& glyph, const QColor& color, int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(1, 1, size - 2, size - 2);
    tile(p, r, color, size * 0.2);
    drawGlyph(p, glyph, r.adjusted(size * 0.18, size * 0.18, -size * 0.18, -size * 0.18), Qt::white,
              size >= 32 ? 1.9 : 2.2);
    return img;
}

void KxPaintSplash(QPainter& p, const QRect& r)
{
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(r.topLeft(), r.bottomRight());
    g.setColorAt(0, QColor(0x18, 0x4f, 0x9c));
    g.setColorAt(1, QColor(0x0b, 0x2a, 0x5a));
    p.fillRect(r, g);
    // Soft light and a band of faint parcels to the right.
    QRadialGradient light(r.width() * 0.8, r.height() * 0.2, r.width() * 0.6);
    light.setColorAt(0, QColor(255, 255, 255, 50));
    light.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(r, light);
    p.setPen(QPen(QColor(255, 255, 255, 28), 2));
    for (int i = 0; i < 5; ++i)
        drawGlyph(p, "box", QRectF(r.width() - 200 + i * 34, r.height() - 120 - (i % 2) * 30, 60, 60),
                  QColor(255, 255, 255, 40), 1.2);
    paintMark(p, QRectF(r.x() + 36, r.y() + 70, 72, 72));
    QFont f = p.font();
    f.setPixelSize(38);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(r.x() + 126, r.y() + 68, r.width() - 140, 48), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("VarnoqERP"));
    f.setPixelSize(15);
    f.setBold(false);
    p.setFont(f);
    p.setPen(QColor(0xc8, 0xdc, 0xf5));
    p.drawText(QRectF(r.x() + 128, r.y() + 114, r.width() - 140, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("网店订单 · 仓储 · 发货一体化管理"));
    p.setPen(QPen(QColor(255, 200, 60), 3));
    p.drawLine(QPointF(r.x() + 36, r.y() + 170), QPointF(r.x() + 150, r.y() + 170));
    f.setPixelSize(11);
    p.setFont(f);
    p.setPen(QColor(0x9a, 0xb4, 0xd8));
    p.drawText(QRectF(r.x() + 36, r.y() + 178, 300, 20), Qt::AlignLeft, QStringLiteral("Version 1.2"));
}

void KxPaintHome(QPainter& p, const QRect& r, const QRect& welcome)
{
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(0xf7, 0xfa, 0xfe));
    g.setColorAt(1, QColor(0xe3, 0xec, 0xf8));
    p.fillRect(r, g);
    // The welcome needs its room; where the page is full it is left out.
    if (welcome.height() < 300)
        return;
    const QPointF c = welcome.center();
    p.setOpacity(0.10);
    paintMark(p, QRectF(c.x() - 90, c.y() - 150, 180, 180));
    p.setOpacity(1);
    QFont f = p.font();
    f.setPixelSize(28);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(0x2a, 0x4a, 0x78));
    p.drawText(QRectF(welcome.x(), c.y() + 40, welcome.width(), 40), Qt::AlignCenter, QStringLiteral("欢迎使用 VarnoqERP"));
    f.setPixelSize(14);
    f.setBold(false);
    p.setFont(f);
    p.setPen(QColor(0x6a, 0x7d, 0x96));
    p.drawText(QRectF(welcome.x(), c.y() + 84, welcome.width(), 24), Qt::AlignCenter,
               QStringLiteral("从左侧菜单、上方功能区或状态栏的开始菜单打开功能模块"));
}

QPixmap KxLogoPixmap(const QSize& size)
{
    return pixmap(size, [&](QPainter& p) {
        const qreal h = size.height();
        paintMark(p, QRectF(1, 1, h - 2, h - 2));
        QFont f = p.font();
        f.setPixelSize(int(h * 0.48));
        f.setBold(true);
        p.setFont(f);
        p.setPen(kBlueDark);
        p.drawText(QRectF(h + 10, 0, size.width() - h - 10, h * 0.62), Qt::AlignLeft | Qt::AlignBottom,
                   QStringLiteral("VarnoqERP"));
        f.setPixelSize(int(h * 0.22));
        f.setBold(false);
        p.setFont(f);
        p.setPen(QColor(0x6a, 0x7d, 0x96));
        p.drawText(QRectF(h + 11, h * 0.64, size.width() - h - 10, h * 0.34), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("网店管理系统"));
    });
}

QPixmap KxLogonPicture(const QSize& size)
{
    return pixmap(size, [&](QPainter& p) {
        const QRectF r(QPointF(0, 0), QSizeF(size));
        QLinearGradient g(r.topLeft(), r.bottomRight());
        g.setColorAt(0, kBlueLight);
        g.setColorAt(1, kBlueDark);
        p.fillRect(r, g);
        drawGlyph(p, "truck", QRectF(r.width() * 0.18, r.height() * 0.22, r.width() * 0.64, r.width() * 0.64),
                  QColor(255, 255, 255, 230), 1.3);
        QFont f = p.font();
        f.setPixelSize(15);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(0, r.height() * 0.68, r.width(), 24), Qt::AlignCenter, QStringLiteral("订单 · 仓储 · 发货"));
        f.setPixelSize(11);
        f.setBold(false);
        p.setFont(f);
        p.setPen(QColor(0xc8, 0xdc, 0xf5));
        p.drawText(QRectF(0, r.height() * 0.68 + 26, r.width(), 20), Qt::AlignCenter, QStringLiteral("VarnoqERP 1.2"));
    });
}

QIcon KxTreeIcon(int index)
{
    switch (index) {
    case 0:
        return QIcon(pixmap(QSize(16, 16), [](QPainter& p) { paintMark(p, QRectF(0.5, 0.5, 15, 15)); }));
    case 1:
        return QIcon(folder(16, false));
    case 2:
        return QIcon(folder(16, true));
    default:
        return QIcon(pixmap(QSize(16, 16), [](QPainter& p) {
            p.setPen(QPen(QColor(0x5a, 0x6b, 0x80), 1));
            p.setBrush(Qt::white);
            QPainterPath d;
            d.moveTo(3.5, 1.5); d.lineTo(10, 1.5); d.lineTo(13.5, 5); d.lineTo(13.5, 14.5); d.lineTo(3.5, 14.5);
            d.closeSubpath();
            p.drawPath(d);
            p.setPen(QPen(kBlue, 1.2));
            p.drawLine(QPointF(5.5, 8), QPointF(11.5, 8));
            p.drawLine(QPointF(5.5, 11), QPointF(11.5, 11));
        }));
    }
}

QPixmap KxHelpPicture()
{
    return pixmap(QSize(40, 40), [](QPainter& p) {
        tile(p, QRectF(1, 1, 38, 38), QColor(0x2e, 0x8b, 0x57), 9);
        QFont f = p.font();
        f.setPixelSize(24);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Qt::white);
        p.drawText(QRectF(0, 0, 40, 40), Qt::AlignCenter, QStringLiteral("?"));
    });
}

QPixmap KxContactPicture()
{
    return pixmap(QSize(40, 40), [](QPainter& p) {
        tile(p, QRectF(1, 1, 38, 38), QColor(0x1e, 0x90, 0xd8), 9);
        p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        QPainterPath b;
        b.addRoundedRect(QRectF(8, 10, 24, 16), 6, 6);
        p.drawPath(b);
        p.drawPolyline(QPolygonF({QPointF(14, 26), QPointF(12, 31), QPointF(19, 26)}));
        for (int i = 0; i < 3; ++i)
            p.drawPoint(QPointF(14 + i * 6, 18));
    });
}

QIcon KxStartIcon()
{
    return QIcon(pixmap(QSize(16, 16), [](QPainter& p) { paintMark(p, QRectF(0.5, 0.5, 15, 15)); }));
}
