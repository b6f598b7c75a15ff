#pragma once
#include "uIKXDesign.h"

#include <QComboBox>

// A drop-down of captions whose condition value is the key of the chosen item.
class TPComboBox : public QComboBox, public IKXDesign {
    Q_OBJECT
    Q_INTERFACES(IKXDesign)
    Q_PROPERTY(QString KXName MEMBER m_kxName)
    Q_PROPERTY(QString KXModule MEMBER m_kxModule)
    Q_PROPERTY(QString KXKeyFields MEMBER m_kxKeyFields)
    Q_PROPERTY(QStringList KXKeyValues READ KXKeyValues WRITE SetKXKeyValues)
public:
    explicit TPComboBox(QWidget* parent = nullptr) : QComboBox(parent) {}

    void KXInit() override;
    void KXClear() override;
    QString KXGetName() const override { return m_kxName; }
    QString KXGetValue() const override;
    void KXSetValue(const QString& value) override;

    QStringList KXKeyValues() const { return m_kxKeyValues; }
    // Copies the fixed lines; they are shown at once.
    void SetKXKeyValues(const QStringList& lines);
    const TKXItemList& Items() const { return m_items; }

private:
    void rebuild();

    QString m_kxName, m_kxModule, m_kxKeyFields;
    QStringList m_kxKeyValues;
    TKXItemList m_items;
};
