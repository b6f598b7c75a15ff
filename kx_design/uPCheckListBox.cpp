#include "uPCheckListBox.h"

#include "uTPanelStage.h"

KX_REGISTER_DESIGN_CONTROL(TPCheckListBox)

void TPCheckListBox::KXInit()
{
    m_items.Load(m_kxModule, m_kxKeyFields, m_kxKeyValues);
    rebuild();
}

void TPCheckListBox::KXClear()
{
    for (int i = 0; i < count(); ++i)
        item(i)->setCheckState(Qt::Unchecked);
}

QString TPCheckListBox::KXGetValue() const
{
    QStringList keys;
    for (int i = 0; i < count() && i < m_items.Count(); ++i)
        if (item(i)->checkState() == Qt::Checked)
            keys << m_items.Key(i);
    return keys.join(u',');
}

void TPCheckListBox::KXSetValue(const QString& value)
{
    const QStringList parts = StringToArrayStr(value, QStringLiteral(","));
    for (int i = 0; i < count() && i < m_items.Count(); ++i)
        if (parts.contains(m_items.Key(i)))
            item(i)->setCheckState(Qt::Checked);
}

void TPCheckListBox::SetKXKeyValues(const QStringList& lines)
{
    m_kxKeyValues = lines;
    m_items.Load(QString(), QString(), m_kxKeyValues);
    rebuild();
}

void TPCheckListBox::rebuild()
{
    clear();
    for (const QString& caption : m_items.Captions()) {
        auto* it = new QListWidgetItem(caption, this);
        it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        it->setCheckState(Qt::Unchecked);
    }
}
