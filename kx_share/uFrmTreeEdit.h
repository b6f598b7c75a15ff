#pragma once
// Asks for the name of a category, showing the parent it belongs to. An empty name, or one
// longer than the tree's name field holds, is refused here and the dialog stays open.
#include <QDialog>

class QLabel;
class QLineEdit;

class TFrmTreeEdit : public QDialog {
    Q_OBJECT
public:
    explicit TFrmTreeEdit(QWidget* parent = nullptr);

    void SetHeader(const QString& text); // caption and header label
    void SetParentCategory(qint64 id, const QString& name);
    qint64 ParentId() const { return m_parentId; }
    void SetCategoryName(const QString& name);
    QString CategoryName() const; // trimmed
    // The most characters a name may have; 0: no limit.
    void SetMaxNameLength(int length) { m_maxLength = length; }
    QLineEdit* NameEdit() const { return m_name; }
    QLineEdit* ParentEdit() const { return m_parentName; }

    void btnOkClick();     // "确定(&O)": closes with 1 when the name is acceptable
    void btnCancelClick(); // "取消(&C)": closes with 2

private:
    qint64 m_parentId = 0;
    int m_maxLength = 0;
    QLabel* m_header;
    QLineEdit* m_name;
    QLineEdit* m_parentName;
};
