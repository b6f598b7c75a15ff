#pragma once
#include "uIKXDesign.h"

#include <QCheckBox>

// A condition that is Selected when ticked and UnSelected otherwise.
class TPCheckBox : public QCheckBox, public IKXDesign {
    Q_OBJECT
    Q_INTERFACES(IKXDesign)
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(QString KXName MEMBER m_kxName)
    Q_PROPERTY(QString Selected MEMBER m_selected)
    Q_PROPERTY(QString UnSelected MEMBER m_unSelected)
public:
    explicit TPCheckBox(QWidget* parent = nullptr) : QCheckBox(parent) {}

    void KXInit() override { setChecked(false); }
    void KXClear() override { setChecked(false); }
    QString KXGetName() const override { return m_kxName; }
    QString KXGetValue() const override { return isChecked() ? m_selected : m_unSelected; }
    void KXSetValue(const QString& value) override { setChecked(value == m_selected); }

private:
    QString m_kxName, m_selected, m_unSelected;
};
