#pragma once
// The edit dialog of a product: the goods it belongs to (picked or typed, which fills the
// product from the goods), its brand, and the product's own code, barcode, name, properties
// (colour and size picked from the property values), prices and stock limits.
#include "ufrmMasterEdit.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class TPClientDataSet;

class TfrmCommodityEdit : public TfrmMasterEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmCommodityEdit(QWidget* owner = nullptr);

    QLineEdit* Edit(const QString& field) const;
    QComboBox* BrandBox() const { return m_brand; }
    QCheckBox* DeletedBox() const { return m_deleted; }

    // The pick buttons of the goods, colour and size boxes.
    void GoodsButtonClick();
    void ColorButtonClick();
    void SizeButtonClick();
    // A goods code typed into its box.
    void GoodsCodeEntered();
    // The row takes the goods' code, brand, style and prices, and its name when it has none.
    void FillFromGoods(TPClientDataSet* goods);

protected:
    void BindEditors() override;

private:
    void pickProperty(const QString& module, const QString& field);
    void updateGoodsBox();

    QList<QPair<QString, QLineEdit*>> m_edits;
    QComboBox* m_brand;
    QCheckBox* m_deleted;
    bool m_filling = false;
};
