#pragma once
// The report designer: edits a copy of a report's template — bands, objects, texts, fonts,
// page set-up — with undo and redo; "保存" puts the copy back into the report and runs the
// report's save handler.
#include "uRMTemplate.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QStackedWidget;
class QTreeWidget;
class QUndoStack;
class TRMDesignCanvas;
class TRMReport;

class TRMDesignerForm : public QDialog {
    Q_OBJECT
public:
    explicit TRMDesignerForm(TRMReport* report, QWidget* parent = nullptr);

    const TRMTemplate& Document() const { return m_doc; }
    TRMDesignCanvas* Canvas() const { return m_canvas; }
    QUndoStack* UndoStack() const { return m_undo; }
    bool Saved() const { return m_saved; }

    void Select(const QString& band, const QString& object = QString());
    void AddBand(TRMBandType type);
    // A new object in the selected band (or the first band), selected.
    void AddObject(TRMObjectKind kind);
    void DeleteSelection();
    // [expression] into the selected memo's text; with a band selected, a new memo holding it.
    void InsertExpression(const QString& expression);
    // One undoable change of the template; changes with the same non-empty key in a row
    // (typing, spinning) become one step.
    void Change(const QString& what, const std::function<void(TRMTemplate&)>& edit, const QString& mergeKey = QString());
    void EditSelectedObject(const QString& what, const std::function<void(TRMObject&)>& edit,
                            const QString& mergeKey = QString());
    void EditSelectedBand(const QString& what, const std::function<void(TRMBand&)>& edit,
                          const QString& mergeKey = QString());
    void PageSetup();
    void ChooseFont();
    void Preview();
    bool Save();
    // Names the template uses that no data set, field or variable answers to.
    QStringList UnknownNames() const;

    // The template as a command leaves it (undo and redo).
    void Restore(const TRMTemplate& doc);

    void reject() override;

private:
    QWidget* buildObjectPanel();
    QWidget* buildBandPanel();
    void fillFieldList();
    void refreshPanel();
    void refreshUnknown();
    TRMObject* selectedObject();
    TRMBand* selectedBand();
    TRMBand* targetBand();

    TRMReport* m_report;
    TRMTemplate m_doc;
    QUndoStack* m_undo;
    TRMDesignCanvas* m_canvas;
    QTreeWidget* m_fields;
    QListWidget* m_unknown;
    QStackedWidget* m_panel;
    bool m_saved = false;
    bool m_filling = false;

    // Object properties.
    QLabel* m_objName;
    QPlainTextEdit* m_text;
    QDoubleSpinBox *m_x, *m_y, *m_w, *m_h, *m_frameWidth, *m_angle;
    QLabel* m_fontLabel;
    QComboBox *m_halign, *m_valign, *m_symbology;
    QCheckBox *m_wrap, *m_stretch, *m_showText;
    QCheckBox* m_frame[4];
    // Band properties.
    QLabel* m_bandType;
    QLineEdit *m_bandName, *m_masterFields, *m_detailFields;
    QDoubleSpinBox* m_bandHeight;
    QCheckBox *m_bandStretch, *m_newPage;
    QComboBox *m_dataSet, *m_master;
};
