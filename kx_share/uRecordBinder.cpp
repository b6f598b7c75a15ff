#include "uRecordBinder.h"

#include "uKxPagedList.h"
#include "uPClientDataSet.h"

#include "TDecimal.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {
// A number as a box shows it: two decimals; text that is no number as it is.
QString amountText(const QString& text)
{
    const std::optional<TDecimal> d = TDecimal::Parse(QStringView(text.trimmed()));
    const std::optional<TDecimal> two = d ? d->Rescaled(2) : std::nullopt;
    return two ? two->ToString() : text.trimmed();
}
QString amountText(const TField* f)
{
    return !f || f->IsNull() ? QString() : amountText(f->AsString());
}
}

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

void TKxRecordBinder::BindEdit(QLineEdit* edit, const QString& field, bool writes)
{
    m_links.append({edit, field, nullptr, {}, {}, {}});
    if (writes)
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

void TKxRecordBinder::BindAmount(QLineEdit* edit, const QString& field)
{
    m_links.append({edit, field, nullptr, {}, {}, {}, TKind::Amount});
    connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
        const QString t = text.trimmed();
        if (t.isEmpty()) {
            write(field, QVariant());
            return;
        }
        if (TDecimal::Parse(QStringView(t)))
            write(field, t);
    });
    // Leaving the box shows the stored number in its usual form.
    connect(edit, &QLineEdit::editingFinished, this, [this] {
        if (!m_writing)
            Refresh();
    });
    Refresh();
}

void TKxRecordBinder::BindCheck(QCheckBox* box, const QString& field)
{
    m_links.append({box, field, nullptr, {}, {}, {}});
    connect(box, &QCheckBox::clicked, this, [this, field](bool checked) { write(field, checked); });
    Refresh();
}

void TKxRecordBinder::BindDate(QDateEdit* edit, const QString& field)
{
    m_links.append({edit, field, nullptr, {}, {}, {}});
    connect(edit, &QDateEdit::dateChanged, this, [this, field](const QDate& date) {
        if (!m_writing)
            write(field, QDateTime(date, QTime(0, 0)));
    });
    Refresh();
}

void TKxRecordBinder::BindPicture(TKxPicturePanel* panel, const QString& itemPage, const QString& numIidField,
                                  const QString& picField, const QString& propsField)
{
    // The item page travels as the link's key field; the panel is only shown, never written.
    m_links.append({panel, numIidField, nullptr, itemPage, picField, propsField, TKind::Picture});
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
    // The box typed into keeps the operator's text (an amount is shown in its usual form
    // once the box is left).
    m_source = qobject_cast<QWidget*>(sender());
    Refresh();
    m_source = nullptr;
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
        if (l.kind == TKind::Picture) {
            auto* panel = static_cast<TKxPicturePanel*>(l.widget.data());
            const TField* pic = hasRecord ? m_ds->FindField(l.listField) : nullptr;
            const TField* props = hasRecord ? m_ds->FindField(l.nameField) : nullptr;
            panel->ShowItem(l.keyField, text.trimmed(), pic ? pic->AsString() : QString(), props ? props->AsString() : QString());
        } else if (l.kind == TKind::Amount) {
            auto* edit = static_cast<QLineEdit*>(l.widget.data());
            const QString shown = amountText(f);
            if (edit != m_source && edit->text() != shown)
                edit->setText(shown);
        } else if (auto* edit = qobject_cast<QLineEdit*>(l.widget)) {
            // Only a changed text is set, so the caret stays where the operator types.
            if (edit->text() != text)
                edit->setText(text);
        } else if (auto* check = qobject_cast<QCheckBox*>(l.widget)) {
            check->setChecked(f && !f->IsNull() && f->AsBoolean());
        } else if (auto* memo = qobject_cast<QPlainTextEdit*>(l.widget)) {
            if (memo->toPlainText() != text)
                memo->setPlainText(text);
        } else if (auto* date = qobject_cast<QDateEdit*>(l.widget)) {
            date->setDate(f && !f->IsNull() ? f->AsDateTime().date() : date->minimumDate());
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
