#pragma once
#include "uIKXDesign.h"

#include <QLineEdit>

// A text condition with a pick button that opens the module KXModule as a dialog and takes
// the field KXKeyField of the chosen record.
class TPButtonEdit : public QLineEdit, public IKXDesign {
    Q_OBJECT
    Q_INTERFACES(IKXDesign)
    Q_PROPERTY(QString KXName MEMBER m_kxName)
    Q_PROPERTY(QString KXModule MEMBER m_kxModule)
    Q_PROPERTY(QString KXKeyField MEMBER m_kxKeyField)
public:
    explicit TPButtonEdit(QWidget* parent = nullptr);

    void KXInit() override { clear(); }
    void KXClear() override { clear(); }
    QString KXGetName() const override { return m_kxName; }
    QString KXGetValue() const override { return text(); }
    void KXSetValue(const QString& value) override { setText(value); }

    QAction* PickAction() const { return m_pick; }

private:
    void pick();

    QAction* m_pick;
    QString m_kxName, m_kxModule, m_kxKeyField;
};
