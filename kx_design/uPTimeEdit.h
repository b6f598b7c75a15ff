#pragma once
#include "uIKXDesign.h"

#include <QLineEdit>

// A time-of-day condition, hh:mm or hh:mm:ss. Empty means no time.
class TPTimeEdit : public QLineEdit, public IKXDesign {
    Q_OBJECT
    Q_INTERFACES(IKXDesign)
    Q_PROPERTY(QString KXName MEMBER m_kxName)
public:
    explicit TPTimeEdit(QWidget* parent = nullptr);

    void KXInit() override { clear(); }
    void KXClear() override { clear(); }
    QString KXGetName() const override { return m_kxName; }
    QString KXGetValue() const override { return text(); }
    void KXSetValue(const QString& value) override { setText(value); }

private:
    QString m_kxName;
};
