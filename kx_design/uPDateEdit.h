#pragma once
#include "uIKXDesign.h"

#include <QLineEdit>

// A date condition: typed, or picked from a calendar, as yyyy-MM-dd. Empty means no date.
class TPDateEdit : public QLineEdit, public IKXDesign {
    Q_OBJECT
    Q_INTERFACES(IKXDesign)
    Q_PROPERTY(QString KXName MEMBER m_kxName)
public:
    explicit TPDateEdit(QWidget* parent = nullptr);

    void KXInit() override { clear(); }
    void KXClear() override { clear(); }
    QString KXGetName() const override { return m_kxName; }
    QString KXGetValue() const override { return text(); }
    void KXSetValue(const QString& value) override { setText(value); }

private:
    void showCalendar();

    QString m_kxName;
};
