#pragma once
// The edit dialog of a master-data list: its editors are bound to the list's current row (the
// list's own data set, no copy), their labels take the list's captions, Enter moves on as Tab
// does, "保   存" posts the row (and with "保存后继续添加新记录！" starts the next one with
// the values worth keeping) and "取   消" takes the row's pending change back. The row goes to
// the service only with the list's "保 存". A member lays out its editors and binds them.
#include "ufrmBase.h"

#include <QStringList>

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;
class TKxRecordBinder;
class TPClientDataSet;
class TfrmMasterList;

class TfrmMasterEdit : public TfrmBase {
    Q_OBJECT
public:
    explicit TfrmMasterEdit(QWidget* owner = nullptr);

    // Binds the dialog to `list`'s current row: caption (the list's title and "_编辑"),
    // labels, editors.
    void Attach(TfrmMasterList* list);
    TfrmMasterList* List() const { return m_list; }
    TPClientDataSet* Data() const;
    TKxRecordBinder* Binder() const { return m_binder; }
    QCheckBox* ContinueBox() const { return m_continue; }
    QPushButton* Button(const QString& text) const; // by caption

    void btnSaveClick();
    void btnCancelClick();

protected:
    // Where a member puts its editors (above the check box and the buttons).
    QBoxLayout* Body() const { return m_body; }
    // A label named after `field` (so that the captions find it) and its editor, at a
    // place of `grid`; Enter in the editor moves on.
    void AddField(QGridLayout* grid, int row, int column, const QString& field, QWidget* editor, int span = 1);
    // Enter in `editor` moves the focus on as Tab does.
    void EnterMovesOn(QWidget* editor);
    // A drop-down over the list's categories, writing the field the list's "filterfield" names.
    void BindCategory(QComboBox* box);
    // The editors bound once the dialog knows its row.
    virtual void BindEditors() = 0;
    // After "保   存" with "保存后继续添加新记录！": the new row takes `kept` from the row
    // just saved, and `focus` gets the focus.
    void SetContinue(const QStringList& kept, QWidget* focus);

    void FormClose(QCloseEvent* event) override;

private:
    TfrmMasterList* m_list = nullptr;
    TKxRecordBinder* m_binder = nullptr;
    QBoxLayout* m_body;
    QCheckBox* m_continue;
    QList<QPushButton*> m_buttons;
    QStringList m_kept;
    QWidget* m_focus = nullptr;
    bool m_done = false;
};
