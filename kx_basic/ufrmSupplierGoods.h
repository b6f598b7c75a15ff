#pragma once
// The goods each supplier delivers: the supplier chosen in a box above the rows (picked or
// typed), the rows of that supplier only, and "插 入" adding goods picked several at a time.
#include "ufrmMasterList.h"

class QLabel;
class QLineEdit;
class QToolButton;

class TfrmSupplierGoods : public TfrmMasterList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmSupplierGoods(QWidget* owner = nullptr);

    QLineEdit* SupplierEdit() const { return m_supplier; }
    QLabel* SupplierNameLabel() const { return m_supplierName; }
    QToolButton* SupplierButton() const { return m_pick; }

    // The pick button: "Select.Supplier" over the suppliers in use.
    void SupplierButtonClick();
    // Enter in the box: the typed code looked up; a code not found empties the box.
    void SupplierEntered();
    // "插 入": a row for the supplier, filled by the goods picked (one row each).
    void dxBL_InsertClick();

protected:
    QList<TKxRight> RightsTable() const override;
    void NewRecord() override;
    void BeforeSearch() override;

private:
    // The box takes the supplier and the list is searched anew for it.
    void setSupplier(const QString& code, const QString& name);

    QLineEdit* m_supplier;
    QToolButton* m_pick;
    QLabel* m_supplierName;
    QString m_supplierLine; // the supplier's line among the fixed conditions
};
