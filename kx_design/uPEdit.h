#pragma once
#include "uIKXDesign.h"

#include <QLineEdit>

// A text condition.
class TPEdit : public QLineEdit, public IKXDesign {
    Q_OBJECT
    Q_INTERFACES(IKXDesign)
    Q_PROPERTY(QString KXName MEMBER m_kxName)
public:
    explicit TPEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}

    void KXInit() override { clear(); }
    void KXClear() override { clear(); }
    QString KXGetName() const override { return m_kxName; }
    QString KXGetValue() const override { return text(); }
    void KXSetValue(const QString& value) override { setText(value); }

private:
    QString m_kxName;
};
