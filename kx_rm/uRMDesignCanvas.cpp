#include "uRMDesignCanvas.h"
#include "uRMBarCode.h"
#include "uRMEngine.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

TRMDesignCanvas::TRMDesignCanvas(TRMTemplate* doc, QWidget* parent) : QWidget(parent), m_doc(doc)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    setPalette(pal);
    Relayout();
}

void TRMDesignCanvas::SetSelection(const QString& band, const QString& object)
{
    if (band == m_band && object == m_object)
        return;
    m_band = band;
    m_object = object;
    update();
    emit selectionChanged();
}

double TRMDesignCanvas::bandTop(int index) const
{
    double y = origin().y() + m_doc->page.top * m_scale;
    for (int i = 0; i < index; ++i)
        y += strip() + m_doc->bands[size_t(i)].height * m_scale;
    return y + strip();
}

QRectF TRMDesignCanvas::BandRect(int index) const
{
    const TRMPageSetup& p = m_doc->page;
    return QRectF(origin().x() + p.left * m_scale, bandTop(index), (p.width - p.left - p.right) * m_scale,
                  m_doc->bands[size_t(index)].height * m_scale);
}

QRectF TRMDesignCanvas::ObjectRect(int band, const TRMObject& o) const
{
    const QRectF b = BandRect(band);
    return QRectF(b.left() + o.rect.x() * m_scale, b.top() + o.rect.y() * m_scale, o.rect.width() * m_scale,
                  o.rect.height() * m_scale);
}

QSize TRMDesignCanvas::sizeHint() const
{
    const TRMPageSetup& p = m_doc->page;
    double h = p.height * m_scale;
    if (!m_doc->bands.empty())
        h = std::max(h, BandRect(int(m_doc->bands.size()) - 1).bottom() - origin().y() + p.bottom * m_scale);
    return QSize(int(p.width * m_scale + 2 * origin().x()), int(h + 2 * origin().y()));
}

void TRMDesignCanvas::Relayout()
{
    setMinimumSize(sizeHint());
    resize(sizeHint());
    update();
}

const TRMBarcodeShape* TRMDesignCanvas::sampleBarcode(const TRMObject& o)
{
    // Expressions have no value here: a sample of the right kind stands in.
    QString data = o.text;
    if (data.contains(u'[') || data.isEmpty())
        data = o.barcode == TRMBarcodeType::Ean13 ? QStringLiteral("690123456789") : QStringLiteral("KX0001");
    const QString key = RMBarcodeTypeName(o.barcode) + u':' + data;
    auto& shape = m_barcodes[key];
    if (!shape)
        shape = RMEncodeBarcode(o.barcode, data);
    return shape.get();
}

void TRMDesignCanvas::SetSheetMode(double pxPerMm, const QColor& labelColor)
{
    m_sheet = true;
    m_scale = pxPerMm;
    m_labelColor = labelColor;
    Relayout();
}

QImage TRMDesignCanvas::backgroundImage()
{
    const QByteArray& data = m_doc->page.backgroundData;
    if (data.isEmpty())
        return QImage();
    if (data.size() != m_bgBytes.size() || data != m_bgBytes) {
        m_bgBytes = data;
        m_bgImage = QImage::fromData(data);
    }
    return m_bgImage;
}

// A sheet seen as its paper form: the background picture with the labels on it, no band
// strips and no margins.
void TRMDesignCanvas::paintSheet(QPainter& p)
{
    const TRMPageSetup& page = m_doc->page;
    const QImage bg = backgroundImage();
    const QRectF sheet(0, 0, page.width * m_scale, page.height * m_scale);
    if (!bg.isNull()) {
        const QRectF r = page.backgroundRect.isEmpty() ? sheet
            : QRectF(page.backgroundRect.x() * m_scale, page.backgroundRect.y() * m_scale,
                     page.backgroundRect.width() * m_scale, page.backgroundRect.height() * m_scale);
        p.drawImage(r, bg);
    }
    for (int i = 0; i < int(m_doc->bands.size()); ++i)
        for (const TRMObject& o : m_doc->bands[size_t(i)].objects) {
            const QRectF orc = ObjectRect(i, o);
            RMPaintObject(p, o, orc, m_displayText ? m_displayText(o) : o.text, nullptr, QImage(), m_scale);
            p.setPen(QPen(m_labelColor, 1, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(orc.adjusted(0, 0, -1, -1));
            if (o.name == m_object) {
                p.setPen(QPen(QColor(0x20, 0x60, 0xD0), 1, Qt::DashLine));
                p.drawRect(orc);
                p.fillRect(QRectF(orc.bottomRight() - QPointF(4, 4), QSizeF(8, 8)), QColor(0x20, 0x60, 0xD0));
            }
        }
}

void TRMDesignCanvas::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (m_sheet) {
        paintSheet(p);
        return;
    }
    const TRMPageSetup& page = m_doc->page;
    const QSize sheet = sizeHint() - QSize(int(2 * origin().x()), int(2 * origin().y()));
    p.fillRect(QRectF(origin(), QSizeF(sheet)), Qt::white);
    p.setPen(QPen(QColor(0xB0, 0xB0, 0xB0), 1, Qt::DashLine));
    p.drawRect(QRectF(origin().x() + page.left * m_scale, origin().y() + page.top * m_scale,
                      (page.width - page.left - page.right) * m_scale, sheet.height() - (page.top + page.bottom) * m_scale));

    QFont caption = font();
    caption.setPointSizeF(8);
    for (int i = 0; i < int(m_doc->bands.size()); ++i) {
        const TRMBand& b = m_doc->bands[size_t(i)];
        const QRectF r = BandRect(i);
        const QRectF cap(r.left(), r.top() - Strip, r.width(), Strip);
        const bool selected = b.name == m_band && m_object.isEmpty();
        p.fillRect(cap, selected ? QColor(0x9C, 0xC3, 0xF0) : QColor(0xE4, 0xEA, 0xF2));
        p.setPen(QColor(0x40, 0x50, 0x60));
        p.setFont(caption);
        QString text = RMBandTypeCaption(b.type) + QStringLiteral("：") + b.name;
        if (!b.dataSet.isEmpty())
            text += QStringLiteral(" [%1]").arg(b.dataSet);
        p.drawText(cap.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
        p.setPen(QPen(QColor(0xA0, 0xB0, 0xC0), 1, Qt::DotLine));
        p.drawLine(r.bottomLeft(), r.bottomRight());

        p.save();
        p.setClipRect(r.adjusted(0, 0, 1, 1));
        for (const TRMObject& o : b.objects) {
            const QRectF orc = ObjectRect(i, o);
            QImage picture;
            if (o.kind == TRMObjectKind::Picture && !picture.loadFromData(o.pictureData)) {
                p.setPen(QPen(Qt::gray, 1, Qt::DotLine));
                p.drawRect(orc);
                p.drawText(orc, Qt::AlignCenter, o.pictureFile.isEmpty() ? QStringLiteral("图片") : o.pictureFile);
            }
            RMPaintObject(p, o, orc, o.text, o.kind == TRMObjectKind::BarCode ? sampleBarcode(o) : nullptr, picture,
                          m_scale);
            if (!o.frame && o.kind != TRMObjectKind::Picture) {
                p.setPen(QPen(QColor(0xC8, 0xC8, 0xC8), 1, Qt::DotLine));
                p.drawRect(orc);
            }
        }
        p.restore();
        for (const TRMObject& o : b.objects)
            if (o.name == m_object) {
                const QRectF orc = ObjectRect(i, o);
                p.setPen(QPen(QColor(0x20, 0x60, 0xD0), 1, Qt::DashLine));
                p.setBrush(Qt::NoBrush);
                p.drawRect(orc);
                p.fillRect(QRectF(orc.bottomRight() - QPointF(4, 4), QSizeF(8, 8)), QColor(0x20, 0x60, 0xD0));
            }
    }
}

void TRMDesignCanvas::mousePressEvent(QMouseEvent* e)
{
    setFocus();
    const QPointF pos = e->position();
    m_drag = Drag::None;
    m_before = *m_doc;
    m_pressPos = pos;
    // The selected object's corner handle first, then objects (the latest drawn on top),
    // then band edges, then caption strips.
    int band = -1;
    if (TRMObject* o = m_object.isEmpty() ? nullptr : m_doc->FindObject(m_object, &band)) {
        const QRectF orc = ObjectRect(band, *o);
        if (QRectF(orc.bottomRight() - QPointF(5, 5), QSizeF(10, 10)).contains(pos)) {
            m_drag = Drag::Resize;
            m_pressRect = o->rect;
            return;
        }
    }
    const int count = int(m_doc->bands.size());
    for (int i = count - 1; i >= 0; --i) {
        TRMBand& b = m_doc->bands[size_t(i)];
        for (auto it = b.objects.rbegin(); it != b.objects.rend(); ++it)
            if (ObjectRect(i, *it).contains(pos)) {
                SetSelection(b.name, it->name);
                m_drag = Drag::Move;
                m_pressRect = it->rect;
                return;
            }
    }
    for (int i = 0; !m_sheet && i < count; ++i) {
        const QRectF r = BandRect(i);
        if (std::abs(pos.y() - r.bottom()) <= 3 && pos.x() >= r.left() && pos.x() <= r.right()) {
            SetSelection(m_doc->bands[size_t(i)].name, QString());
            m_drag = Drag::BandHeight;
            m_pressHeight = m_doc->bands[size_t(i)].height;
            return;
        }
    }
    for (int i = 0; !m_sheet && i < count; ++i)
        if (BandRect(i).adjusted(0, -strip(), 0, 0).contains(pos)) {
            SetSelection(m_doc->bands[size_t(i)].name, QString());
            return;
        }
    SetSelection(QString(), QString());
}

void TRMDesignCanvas::mouseMoveEvent(QMouseEvent* e)
{
    const QPointF d = (e->position() - m_pressPos) / m_scale;
    if (m_drag == Drag::None) {
        bool edge = false;
        for (int i = 0; !m_sheet && i < int(m_doc->bands.size()); ++i)
            edge = edge || std::abs(e->position().y() - BandRect(i).bottom()) <= 3;
        setCursor(edge ? Qt::SizeVerCursor : Qt::ArrowCursor);
        return;
    }
    if (m_drag == Drag::BandHeight) {
        if (TRMBand* b = m_doc->FindBand(m_band))
            b->height = std::max(1.0, snap(m_pressHeight + d.y()));
        Relayout();
        return;
    }
    TRMObject* o = m_doc->FindObject(m_object);
    if (!o)
        return;
    if (m_drag == Drag::Move)
        o->rect.moveTo(std::max(0.0, snap(m_pressRect.x() + d.x())), std::max(0.0, snap(m_pressRect.y() + d.y())));
    else
        o->rect.setSize(QSizeF(std::max(1.0, snap(m_pressRect.width() + d.x())),
                               std::max(1.0, snap(m_pressRect.height() + d.y()))));
    update();
}

void TRMDesignCanvas::mouseReleaseEvent(QMouseEvent*)
{
    const Drag drag = m_drag;
    m_drag = Drag::None;
    if (drag == Drag::None || *m_doc == m_before)
        return;
    emit edited(drag == Drag::Move ? QStringLiteral("移动") : drag == Drag::Resize ? QStringLiteral("调整大小")
                                                                                 : QStringLiteral("带区高度"),
                m_before);
}
