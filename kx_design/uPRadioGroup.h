#pragma once
#include "uIKXDesign.h"

#include <QGroupBox>

class QButtonGroup;

// A group of radio buttons whose condition value is the key of the chosen button.
class TPRadioGroup : public QGroupBox, public IKXDesign {
    Q_OBJECT
    Q_INTERFACES(IKXDesign)
    Q_PROPERTY(QString Caption READ title WRITE setTitle)
    Q_PROPERTY(int Columns READ Columns WRITE SetColumns)
    Q_PROPERTY(QString KXName MEMBER m_kxName)
    Q_PROPERTY(QString KXModule MEMBER m_kxModule)
    Q_PROPERTY(QString KXKeyFields MEMBER m_kxKeyFields)
    Q_PROPERTY(QStringList KXKeyValues READ KXKeyValues WRITE SetKXKeyValues)
public:
    explicit TPRadioGroup(QWidget* parent = nullptr);

    void KXInit() override;
    void KXClear() override;
    QString KXGetName() const override { return m_kxName; }
    QString KXGetValue() const override;
    void KXSetValue(const QString& value) override;

    int Columns() const { return m_columns; }
    void SetColumns(int columns);
    QStringList KXKeyValues() const { return m_kxKeyValues; }
    void SetKXKeyValues(const QStringList& lines);
    const TKXItemList& Items() const { return m_items; }
    QButtonGroup* Buttons() const { return m_group; }

private:
    void rebuild();

    QButtonGroup* m_group;
    int m_columns = 1;
    QString m_kxName, m_kxModule, m_kxKeyFields;
    QStringList m_kxKeyValues;
    TKXItemList m_items;
};
