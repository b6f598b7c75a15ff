#include "uRMBarCode.h"

#include <QFontMetricsF>
#include <QPainter>
#include <zint.h>

std::shared_ptr<const TRMBarcodeShape> RMEncodeBarcode(TRMBarcodeType type, const QString& data)
{
    auto shape = std::make_shared<TRMBarcodeShape>();
    if (data.isEmpty()) {
        shape->error = QStringLiteral("条码内容为空");
        return shape;
    }
    zint_symbol* s = ZBarcode_Create();
    if (!s) {
        shape->error = QStringLiteral("条码编码器不可用");
        return shape;
    }
    s->symbology = type == TRMBarcodeType::Ean13 ? BARCODE_EANX
                   : type == TRMBarcodeType::QrCode ? BARCODE_QRCODE
                                                    : BARCODE_CODE128;
    s->input_mode = UNICODE_MODE;
    s->show_hrt = 0;
    const QByteArray utf8 = data.toUtf8();
    const int rc = ZBarcode_Encode_and_Buffer_Vector(s, reinterpret_cast<const unsigned char*>(utf8.constData()),
                                                     int(utf8.size()), 0);
    if (rc >= ZINT_ERROR || !s->vector) {
        shape->error = QString::fromLatin1(s->errtxt);
    } else {
        shape->size = QSizeF(s->vector->width, s->vector->height);
        for (zint_vector_rect* r = s->vector->rectangles; r; r = r->next)
            if (r->colour == -1 || r->colour == 7)
                shape->bars.append(QRectF(r->x, r->y, r->width, r->height));
    }
    ZBarcode_Delete(s);
    return shape;
}

void RMPaintBarcode(QPainter& painter, const TRMBarcodeShape& shape, TRMBarcodeType type, const QRectF& target,
                    const QString& text, const QFont& font)
{
    if (shape.bars.isEmpty() || shape.size.isEmpty())
        return;
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    if (type == TRMBarcodeType::QrCode) {
        const double scale = std::min(target.width() / shape.size.width(), target.height() / shape.size.height());
        const QPointF origin(target.center().x() - shape.size.width() * scale / 2,
                             target.center().y() - shape.size.height() * scale / 2);
        for (const QRectF& r : shape.bars)
            painter.drawRect(QRectF(origin + r.topLeft() * scale, r.size() * scale));
    } else {
        QRectF bars = target;
        if (!text.isEmpty()) {
            painter.setFont(font);
            const double th = QFontMetricsF(font, painter.device()).height();
            bars.setBottom(std::max(bars.top() + bars.height() / 3, bars.bottom() - th));
            painter.setPen(Qt::black);
            painter.drawText(QRectF(target.left(), bars.bottom(), target.width(), target.bottom() - bars.bottom()),
                             Qt::AlignHCenter | Qt::AlignTop, text);
            painter.setPen(Qt::NoPen);
        }
        const double sx = bars.width() / shape.size.width();
        const double sy = bars.height() / shape.size.height();
        for (const QRectF& r : shape.bars)
            painter.drawRect(QRectF(bars.left() + r.x() * sx, bars.top() + r.y() * sy, r.width() * sx, r.height() * sy));
    }
    painter.restore();
}
