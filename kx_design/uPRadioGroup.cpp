#include "uPRadioGroup.h"

#include "uTPanelStage.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>

KX_REGISTER_DESIGN_CONTROL(TPRadioGroup)

TPRadioGroup::TPRadioGroup(QWidget* parent) : QGroupBox(parent), m_group(new QButtonGroup(this))
{
    new QGridLayout(this);
}

void TPRadioGroup::KXInit()
{
    m_items.Load(m_kxModule, m_kxKeyFields, m_kxKeyValues);
    rebuild();
}

void TPRadioGroup::KXClear()
{
    // An exclusive group never lets its last checked button go.
    m_group->setExclusive(false);
    for (QAbstractButton* b : m_group->buttons())
        b->setChecked(false);
    m_group->setExclusive(true);
}

QString TPRadioGroup::KXGetValue() const
{
    const int i = m_group->checkedId();
    return i >= 0 && i < m_items.Count() ? m_items.Key(i) : QString();
}

void TPRadioGroup::KXSetValue(const QString& value)
{
    KXClear();
    if (QAbstractButton* b = m_group->button(m_items.IndexOfKey(value)))
        b->setChecked(true);
}

void TPRadioGroup::SetColumns(int columns)
{
    m_columns = qMax(1, columns);
    rebuild();
}

void TPRadioGroup::SetKXKeyValues(const QStringList& lines)
{
    m_kxKeyValues = lines;
    m_items.Load(QString(), QString(), m_kxKeyValues);
    rebuild();
}

void TPRadioGroup::rebuild()
{
    for (QAbstractButton* b : m_group->buttons())
        delete b;
    auto* grid = static_cast<QGridLayout*>(layout());
    const QStringList captions = m_items.Captions();
    for (int i = 0; i < captions.size(); ++i) {
        auto* b = new QRadioButton(captions[i], this);
        m_group->addButton(b, i);
        grid->addWidget(b, i / m_columns, i % m_columns);
    }
}
