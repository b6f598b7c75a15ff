#pragma once
// "查询方案设置": asks for the name of a search scheme.
#include <QDialog>

class QLabel;
class QLineEdit;

class TFrmSearchEdit : public QDialog {
    Q_OBJECT
public:
    explicit TFrmSearchEdit(QWidget* parent = nullptr);

    QString SchemeName() const; // trimmed
    QLineEdit* NameEdit() const { return m_name; }

    void btnOkClick();     // "确定(&O)": refuses an empty name, otherwise closes with 1
    void btnCancelClick(); // "取消(&C)": closes with 2

private:
    QLineEdit* m_name;
};
