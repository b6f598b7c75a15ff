#pragma once
// The run-time designer of a waybill canvas: the labels on the scanned form are selected,
// dragged and sized with the mouse (whole pixels), every change undoable; the inspector
// edits the selected label's text, place, size and font.
#include "uExpressLayout.h"

#include <QWidget>

class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QUndoStack;
class TRMDesignCanvas;

class TKX_FormDesigner : public QObject {
    Q_OBJECT
public:
    explicit TKX_FormDesigner(QWidget* canvasParent, QObject* owner = nullptr);

    TRMDesignCanvas* Canvas() const { return m_canvas; }
    QUndoStack* UndoStack() const { return m_undo; }

    // A new layout on the canvas: labels, background and page values; undo starts afresh.
    void SetLayout(const TExpressLayout& layout);
    // The layout as the canvas holds it now.
    TExpressLayout Layout() const;
    // Page values and background, keeping the labels (undo starts afresh).
    void SetPage(const TExpressLayout& page);

    bool HasLabel(const QString& name) const;
    QStringList LabelNames() const;
    void AddLabel(const TExpressLabel& label);
    void RemoveLabel(const QString& name);
    void Select(const QString& name);
    QString Selected() const;
    // One undoable change of the selected label; equal non-empty keys in a row merge.
    void EditSelected(const QString& what, const std::function<void(TRMObject&)>& edit, const QString& mergeKey = QString());

signals:
    void changed();
    void selectionChanged();

private:
    void change(const QString& what, const std::function<void(TRMTemplate&)>& edit, const QString& key = QString());
    void restore(const TRMTemplate& t);

    TExpressLayout m_page; // everything but the labels
    TRMTemplate m_sheet;
    TRMDesignCanvas* m_canvas;
    QUndoStack* m_undo;
};

// The selected label's properties.
class TKX_InspectorList : public QWidget {
    Q_OBJECT
public:
    explicit TKX_InspectorList(TKX_FormDesigner* designer, QWidget* parent = nullptr);

    QLineEdit* MemoEdit() const { return m_memo; }
    QSpinBox* LeftBox() const { return m_left; }
    QSpinBox* TopBox() const { return m_top; }
    QSpinBox* WidthBox() const { return m_width; }
    QSpinBox* HeightBox() const { return m_height; }
    QDoubleSpinBox* FontSizeBox() const { return m_font; }

    void Refresh();

private:
    TKX_FormDesigner* m_designer;
    bool m_filling = false;
    QLabel* m_name;
    QLineEdit* m_memo;
    QSpinBox *m_left, *m_top, *m_width, *m_height;
    QDoubleSpinBox* m_font;
};
