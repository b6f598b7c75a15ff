#pragma once
// Barcodes through libzint: the symbol as dark rectangles in the encoder's units, drawn
// scaled into an object's frame so that PDF and printer output stay sharp.
#include "uRMTemplate.h"

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <memory>

class QFont;
class QPainter;

struct TRMBarcodeShape {
    QSizeF size;        // of the whole symbol
    QList<QRectF> bars; // dark modules
    QString error;      // the encoder's complaint; the symbol is then empty
};

std::shared_ptr<const TRMBarcodeShape> RMEncodeBarcode(TRMBarcodeType type, const QString& data);

// Paints into `target` (device units): 1-D codes fill the width and, when `text` is not
// empty, leave a line for it under the bars; 2-D codes keep square modules, centred.
void RMPaintBarcode(QPainter& painter, const TRMBarcodeShape& shape, TRMBarcodeType type, const QRectF& target,
                    const QString& text, const QFont& font);
