#pragma once
// The edit dialog of a supplier: code, name, in use and the category, bound to the list's
// current row.
#include "ufrmMasterEdit.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

class TfrmSupplierEdit : public TfrmMasterEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmSupplierEdit(QWidget* owner = nullptr);

    QLineEdit* CodeEdit() const { return m_code; }
    QLineEdit* NameEdit() const { return m_name; }
    QCheckBox* StatusBox() const { return m_status; }
    QComboBox* CategoryBox() const { return m_category; }

protected:
    void BindEditors() override;

private:
    QLineEdit* m_code;
    QLineEdit* m_name;
    QCheckBox* m_status;
    QComboBox* m_category;
};
