#pragma once
// The designer's sheet: bands stacked under their caption strips, objects drawn as they
// print (expressions unevaluated). Click selects, dragging moves an object, its corner
// handle resizes it, a band's lower edge sets the band's height.
#include "uRMTemplate.h"

#include <QHash>
#include <QWidget>
#include <memory>

struct TRMBarcodeShape;

class TRMDesignCanvas : public QWidget {
    Q_OBJECT
public:
    explicit TRMDesignCanvas(TRMTemplate* doc, QWidget* parent = nullptr);

    static constexpr double Scale = 4.0;   // pixels per millimetre
    static constexpr int Strip = 16;       // pixels of a band's caption strip

    void SetSelection(const QString& band, const QString& object);
    QString SelectedBand() const { return m_band; }
    QString SelectedObject() const { return m_object; }

    // Screen rectangles, for painting, hit tests and tests.
    QRectF BandRect(int index) const;
    QRectF ObjectRect(int band, const TRMObject& object) const;
    void Relayout(); // after the template changed its bands or page

    QSize sizeHint() const override;

signals:
    void selectionChanged();
    // A drag changed the template; `before` is the template as it was.
    void edited(const QString& what, const TRMTemplate& before);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    enum class Drag { None, Move, Resize, BandHeight };
    QPointF origin() const { return QPointF(20, 20); }
    double bandTop(int index) const;
    const TRMBarcodeShape* sampleBarcode(const TRMObject& o);
    static double snap(double mm) { return std::round(mm * 2) / 2; }

    TRMTemplate* m_doc;
    QString m_band, m_object;
    Drag m_drag = Drag::None;
    QPointF m_pressPos;
    QRectF m_pressRect;
    double m_pressHeight = 0;
    TRMTemplate m_before;
    QHash<QString, std::shared_ptr<const TRMBarcodeShape>> m_barcodes;
};
