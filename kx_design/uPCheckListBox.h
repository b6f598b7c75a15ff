#pragma once
#include "uIKXDesign.h"

#include <QListWidget>

// A list of check boxes whose condition value is the keys of the ticked items, joined by ",".
class TPCheckListBox : public QListWidget, public IKXDesign {
    Q_OBJECT
    Q_INTERFACES(IKXDesign)
    Q_PROPERTY(QString KXName MEMBER m_kxName)
    Q_PROPERTY(QString KXModule MEMBER m_kxModule)
    Q_PROPERTY(QString KXKeyFields MEMBER m_kxKeyFields)
    Q_PROPERTY(QStringList KXKeyValues READ KXKeyValues WRITE SetKXKeyValues)
public:
    explicit TPCheckListBox(QWidget* parent = nullptr) : QListWidget(parent) {}

    void KXInit() override;
    void KXClear() override;
    QString KXGetName() const override { return m_kxName; }
    QString KXGetValue() const override;
    // Ticks each item whose key is one of the values; the others keep their state.
    void KXSetValue(const QString& value) override;

    QStringList KXKeyValues() const { return m_kxKeyValues; }
    void SetKXKeyValues(const QStringList& lines);
    const TKXItemList& Items() const { return m_items; }

private:
    void rebuild();

    QString m_kxName, m_kxModule, m_kxKeyFields;
    QStringList m_kxKeyValues;
    TKXItemList m_items;
};
