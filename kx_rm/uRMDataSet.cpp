#include "uRMDataSet.h"
#include "uPClientDataSet.h"

TField* TRMDBDataSet::FindField(const QString& name) const
{
    if (!m_dataSet)
        return nullptr;
    if (TField* f = m_dataSet->FindField(name))
        return f;
    return FieldByCaption(name);
}

TField* TRMDBDataSet::FieldByCaption(const QString& caption) const
{
    if (!m_dataSet)
        return nullptr;
    for (const QString& line : m_labels) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0 && line.mid(eq + 1).trimmed() == caption)
            if (TField* f = m_dataSet->FindField(line.left(eq).trimmed()))
                return f;
    }
    for (int i = 0; i < m_dataSet->FieldCount(); ++i)
        if (m_dataSet->Fields(i)->DisplayLabel() == caption)
            return m_dataSet->Fields(i);
    return nullptr;
}

QString TRMDBDataSet::CaptionOf(const QString& fieldName) const
{
    for (const QString& line : m_labels) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0 && line.left(eq).trimmed().compare(fieldName, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1).trimmed();
    }
    TField* f = m_dataSet ? m_dataSet->FindField(fieldName) : nullptr;
    return f ? f->DisplayLabel() : fieldName;
}
