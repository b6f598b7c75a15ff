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
    double y = origin().y() + m_doc->page.top * Scale;
    for (int i = 0; i < index; ++i)
        y += Strip + m_doc->bands[size_t(i)].height * Scale;
    return y + Strip;
}

QRectF TRMDesignCanvas::BandRect(int index) const
{
    const TRMPageSetup& p = m_doc->page;
    return QRectF(origin().x() + p.left * Scale, bandTop(index), (p.width - p.left - p.right) * Scale,
                  m_doc->bands[size_t(index)].height * Scale);
}

QRectF TRMDesignCanvas::ObjectRect(int band, const TRMObject& o) const
{
    const QRectF b = BandRect(band);
    return QRectF(b.left() + o.rect.x() * Scale, b.top() + o.rect.y() * Scale, o.rect.width() * Scale,
                  o.rect.height() * Scale);
}

QSize TRMDesignCanvas::sizeHint() const
{
    const TRMPageSetup& p = m_doc->page;
    double h = p.height * Scale;
    if (!m_doc->bands.empty())
        h = std::max(h, BandRect(int(m_doc->bands.size()) - 1).bottom() - origin().y() + p.bottom * Scale);
    return QSize(int(p.width * Scale + 2 * origin().x()), int(h + 2 * origin().y()));
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

void TRMDesignCanvas::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const TRMPageSetup& page = m_doc->page;
    const QSize sheet = sizeHint() - QSize(int(2 * origin().x()), int(2 * origin().y()));
    p.fillRect(QRectF(origin(), QSizeF(sheet)), Qt::white);
    p.setPen(QPen(QColor(0xB0, 0xB0, 0xB0), 1, Qt::DashLine));
    p.drawRect(QRectF(origin().x() + page.left * Scale, origin().y() + page.top * Scale,
                      (page.width - page.left - page.right) * Scale, sheet.height() - (page.top + page.bottom) * Scale));

    QFont caption = font();
    caption.setPointSizeF(8);
    for (int i = 0; i < int(m_doc->bands.size()); ++i) {
        const TRMBand& b = m_doc->bands[size_t(i)];
        const QRectF r = BandRect(i);
        const QRectF strip(r.left(), r.top() - Strip, r.width(), Strip);
        const bool selected = b.name == m_band && m_object.isEmpty();
        p.fillRect(strip, selected ? QColor(0x9C, 0xC3, 0xF0) : QColor(0xE4, 0xEA, 0xF2));
        p.setPen(QColor(0x40, 0x50, 0x60));
        p.setFont(caption);
        QString text = RMBandTypeCaption(b.type) + QStringLiteral("：") + b.name;
        if (!b.dataSet.isEmpty())
            text += QStringLiteral(" [%1]").arg(b.dataSet);
        p.drawText(strip.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
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
                          Scale);
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
    for (int i = 0; i < count; ++i) {
        const QRectF r = BandRect(i);
        if (std::abs(pos.y() - r.bottom()) <= 3 && pos.x() >= r.left() && pos.x() <= r.right()) {
            SetSelection(m_doc->bands[size_t(i)].name, QString());
            m_drag = Drag::BandHeight;
            m_pressHeight = m_doc->bands[size_t(i)].height;
            return;
        }
    }
    for (int i = 0; i < count; ++i)
        if (BandRect(i).adjusted(0, -Strip, 0, 0).contains(pos)) {
            SetSelection(m_doc->bands[size_t(i)].name, QString());
            return;
        }
    SetSelection(QString(), QString());
}

void TRMDesignCanvas::mouseMoveEvent(QMouseEvent* e)
{
    const QPointF d = (e->position() - m_pressPos) / Scale;
    if (m_drag == Drag::None) {
        bool edge = false;
        for (int i = 0; i < int(m_doc->bands.size()); ++i)
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
