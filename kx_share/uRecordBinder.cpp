#include "uRecordBinder.h"

#include "uPClientDataSet.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

TKxRecordBinder::TKxRecordBinder(TPClientDataSet* dataSet, QObject* parent) : QObject(parent), m_ds(dataSet)
{
    // Any change of the record, its position or the whole set redraws the widgets.
    connect(dataSet, &TPClientDataSet::reset, this, &TKxRecordBinder::Refresh);
    connect(dataSet, &TPClientDataSet::rowChanged, this, &TKxRecordBinder::Refresh);
    connect(dataSet, &TPClientDataSet::currentRowChanged, this, &TKxRecordBinder::Refresh);
    connect(dataSet, &TPClientDataSet::rowsInserted, this, &TKxRecordBinder::Refresh);
    connect(dataSet, &TPClientDataSet::rowsRemoved, this, &TKxRecordBinder::Refresh);
    connect(dataSet, &TPClientDataSet::stateChanged, this, &TKxRecordBinder::Refresh);
}

void TKxRecordBinder::BindEdit(QLineEdit* edit, const QString& field)
{
    m_links.append({edit, field, nullptr, {}, {}, {}});
    connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) { write(field, text); });
    Refresh();
}

void TKxRecordBinder::BindMemo(QPlainTextEdit* memo, const QString& field)
{
    m_links.append({memo, field, nullptr, {}, {}, {}});
    connect(memo, &QPlainTextEdit::textChanged, this, [this, memo, field] {
        if (!m_writing && !memo->isReadOnly())
            write(field, memo->toPlainText());
    });
    Refresh();
}

void TKxRecordBinder::BindLabel(QLabel* label, const QString& field)
{
    m_links.append({label, field, nullptr, {}, {}, {}});
    Refresh();
}

void TKxRecordBinder::BindLookup(QComboBox* box, const QString& field, TPClientDataSet* list, const QString& keyField,
                                 const QString& listField, const QString& nameField)
{
    m_links.append({box, field, list, keyField, listField, nameField});
    connect(box, &QComboBox::activated, this, [this, box, field, nameField](int index) {
        if (m_writing || index < 0)
            return;
        m_writing = true;
        if (prepareWrite()) {
            if (TField* f = m_ds->FindField(field))
                f->SetValue(box->itemData(index));
            if (TField* n = nameField.isEmpty() ? nullptr : m_ds->FindField(nameField))
                n->SetAsString(box->itemText(index));
        }
        m_writing = false;
        Refresh();
    });
    ReloadLookup(box);
}

void TKxRecordBinder::ReloadLookup(QComboBox* box)
{
    for (const TLink& l : m_links) {
        if (l.widget != box || !l.list)
            continue;
        const bool was = m_writing;
        m_writing = true;
        box->clear();
        const TField* key = l.list->FindField(l.keyField);
        const TField* name = l.list->FindField(l.listField);
        for (int r = 0; key && name && r < l.list->RecordCount(); ++r)
            box->addItem(l.list->DisplayTextAt(r, name), l.list->ValueAt(r, key));
        m_writing = was;
    }
    Refresh();
}

bool TKxRecordBinder::prepareWrite()
{
    if (!m_ds)
        return false;
    if (m_beforeWrite)
        return m_beforeWrite();
    if (!m_ds->Active() || m_ds->IsEmpty())
        return false;
    if (m_ds->State() == dsBrowse)
        m_ds->Edit();
    return true;
}

void TKxRecordBinder::write(const QString& field, const QVariant& value)
{
    if (m_writing)
        return;
    // The widgets stay as they are while the record is created or put into editing, so the
    // text being typed is not replaced by the empty field of a new record.
    m_writing = true;
    if (prepareWrite())
        if (TField* f = m_ds->FindField(field))
            f->SetValue(value);
    m_writing = false;
    Refresh();
}

void TKxRecordBinder::Refresh()
{
    if (m_writing || !m_ds)
        return;
    m_writing = true;
    const bool hasRecord = m_ds->Active() && !m_ds->IsEmpty();
    for (const TLink& l : m_links) {
        if (!l.widget)
            continue;
        const TField* f = hasRecord ? m_ds->FindField(l.field) : nullptr;
        const QString text = f ? f->AsString() : QString();
        if (auto* edit = qobject_cast<QLineEdit*>(l.widget)) {
            // Only a changed text is set, so the caret stays where the operator types.
            if (edit->text() != text)
                edit->setText(text);
        } else if (auto* memo = qobject_cast<QPlainTextEdit*>(l.widget)) {
            if (memo->toPlainText() != text)
                memo->setPlainText(text);
        } else if (auto* label = qobject_cast<QLabel*>(l.widget)) {
            label->setText(text);
        } else if (auto* box = qobject_cast<QComboBox*>(l.widget)) {
            int index = -1;
            for (int i = 0; f && !f->IsNull() && i < box->count(); ++i)
                if (box->itemData(i).toString() == text)
                    index = i;
            box->setCurrentIndex(index);
        }
    }
    m_writing = false;
}
