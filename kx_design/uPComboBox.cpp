#include "uPComboBox.h"

#include "uTPanelStage.h"

KX_REGISTER_DESIGN_CONTROL(TPComboBox)

void TPComboBox::KXInit()
{
    m_items.Load(m_kxModule, m_kxKeyFields, m_kxKeyValues);
    rebuild();
}

void TPComboBox::KXClear()
{
    setCurrentIndex(-1);
}

QString TPComboBox::KXGetValue() const
{
    const int i = currentIndex();
    return i >= 0 && i < m_items.Count() ? m_items.Key(i) : QString();
}

void TPComboBox::KXSetValue(const QString& value)
{
    setCurrentIndex(m_items.IndexOfKey(value));
}

void TPComboBox::SetKXKeyValues(const QStringList& lines)
{
    m_kxKeyValues = lines;
    m_items.Load(QString(), QString(), m_kxKeyValues);
    rebuild();
}

void TPComboBox::rebuild()
{
    clear();
    addItems(m_items.Captions());
    KXClear();
}
