#pragma once
// Binds the header widgets of an edit form to the current record of a data set: the widgets
// show the record and follow it when it changes; what the operator types goes into the field.
// Before the first write the form gets a say (BeforeWrite), so that it can create the record
// of an empty document or put the record into editing.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QWidget;
class TKxPicturePanel;
class TPClientDataSet;

class TKxRecordBinder : public QObject {
    Q_OBJECT
public:
    explicit TKxRecordBinder(TPClientDataSet* dataSet, QObject* parent = nullptr);

    // Typing writes the text to the field (a read-only box only shows it, and so does a box
    // bound with `writes` false: its owner decides what becomes of the text).
    void BindEdit(QLineEdit* edit, const QString& field, bool writes = true);
    void BindLabel(QLabel* label, const QString& field);
    // A number shown with two decimals ("0.00"); what is typed is written when it is a number,
    // an emptied box writes null. The box keeps the typed text while it has the focus.
    void BindAmount(QLineEdit* edit, const QString& field);
    // A ticked box writes true, an unticked one false.
    void BindCheck(QCheckBox* box, const QString& field);
    void BindMemo(QPlainTextEdit* memo, const QString& field);
    void BindDate(QDateEdit* edit, const QString& field);
    // The picture of the record's marketplace item: `itemPage` + the item id as the link, the
    // picture at `picField`, the properties text under it; emptied without an item id.
    void BindPicture(TKxPicturePanel* panel, const QString& itemPage, const QString& numIidField,
                     const QString& picField, const QString& propsField);
    // A drop-down over `list`: shows `listField`, writes the chosen row's `keyField` to `field`
    // and, when given, its `listField` to `nameField` too.
    void BindLookup(QComboBox* box, const QString& field, TPClientDataSet* list, const QString& keyField,
                    const QString& listField, const QString& nameField = QString());
    // Refills a drop-down after its list was loaded.
    void ReloadLookup(QComboBox* box);

    // Runs before a widget writes; returns false to refuse the write. Without it the record
    // is put into editing when it exists, and nothing is written when it does not.
    void SetBeforeWrite(std::function<bool()> beforeWrite) { m_beforeWrite = std::move(beforeWrite); }

    // Shows the current record in every bound widget.
    void Refresh();

private:
    enum class TKind { Plain, Amount, Picture };
    struct TLink {
        QPointer<QWidget> widget;
        QString field;
        QPointer<TPClientDataSet> list;
        QString keyField, listField, nameField;
        TKind kind = TKind::Plain;
    };
    bool prepareWrite();
    void write(const QString& field, const QVariant& value);

    QPointer<TPClientDataSet> m_ds;
    QList<TLink> m_links;
    std::function<bool()> m_beforeWrite;
    bool m_writing = false;
    QWidget* m_source = nullptr; // the widget whose typing is being written
};
