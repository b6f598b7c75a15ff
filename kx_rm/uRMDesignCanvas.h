#pragma once
// The designer's sheet: bands stacked under their caption strips, objects drawn as they
// print (expressions unevaluated). Click selects, dragging moves an object, its corner
// handle resizes it, a band's lower edge sets the band's height.
#include "uRMTemplate.h"

#include <QHash>
#include <QUndoCommand>
#include <functional>
#include <QImage>
#include <QWidget>
#include <memory>

struct TRMBarcodeShape;

class TRMDesignCanvas : public QWidget {
    Q_OBJECT
public:
    explicit TRMDesignCanvas(TRMTemplate* doc, QWidget* parent = nullptr);

    static constexpr double Scale = 4.0;   // pixels per millimetre
    static constexpr int Strip = 16;       // pixels of a band's caption strip

    // The sheet as a pre-printed form: `pxPerMm` screen pixels a millimetre, the page's
    // background under the objects, each object framed in `labelColor`, no band strips or
    // margins; objects move and size by whole pixels.
    void SetSheetMode(double pxPerMm, const QColor& labelColor);
    bool SheetMode() const { return m_sheet; }
    // What a sheet shows on an object instead of its text (its caption, say).
    void SetDisplayText(std::function<QString(const TRMObject&)> text) { m_displayText = std::move(text); }
    double PixelsPerMm() const { return m_scale; }

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
    QPointF origin() const { return m_sheet ? QPointF(0, 0) : QPointF(20, 20); }
    int strip() const { return m_sheet ? 0 : Strip; }
    double bandTop(int index) const;
    const TRMBarcodeShape* sampleBarcode(const TRMObject& o);
    double snap(double mm) const { return m_sheet ? std::round(mm * m_scale) / m_scale : std::round(mm * 2) / 2; }
    void paintSheet(QPainter& p);
    QImage backgroundImage();

    bool m_sheet = false;
    double m_scale = Scale;
    QColor m_labelColor;
    std::function<QString(const TRMObject&)> m_displayText;
    QByteArray m_bgBytes;
    QImage m_bgImage;

    TRMTemplate* m_doc;
    QString m_band, m_object;
    Drag m_drag = Drag::None;
    QPointF m_pressPos;
    QRectF m_pressRect;
    double m_pressHeight = 0;
    TRMTemplate m_before;
    QHash<QString, std::shared_ptr<const TRMBarcodeShape>> m_barcodes;
};

// One undoable change of a template held by a designer: both states kept whole. Commands with
// the same non-empty key in a row (typing, spinning) merge into one step.
class TRMTemplateCommand : public QUndoCommand {
public:
    TRMTemplateCommand(const QString& what, TRMTemplate before, TRMTemplate after, QString key,
                       std::function<void(const TRMTemplate&)> restore)
        : QUndoCommand(what), m_before(std::move(before)), m_after(std::move(after)), m_key(std::move(key)),
          m_restore(std::move(restore))
    {
    }
    int id() const override { return m_key.isEmpty() ? -1 : 1; }
    bool mergeWith(const QUndoCommand* other) override
    {
        auto* o = static_cast<const TRMTemplateCommand*>(other);
        if (o->m_key != m_key)
            return false;
        m_after = o->m_after;
        return true;
    }
    void undo() override { m_restore(m_before); }
    void redo() override
    {
        // The change is already made when the command is pushed.
        if (m_done)
            m_restore(m_after);
        m_done = true;
    }

private:
    TRMTemplate m_before, m_after;
    QString m_key;
    std::function<void(const TRMTemplate&)> m_restore;
    bool m_done = false;
};
