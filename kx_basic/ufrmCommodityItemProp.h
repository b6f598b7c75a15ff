#pragma once
// "宝贝属性": the SKUs of one marketplace item (colour, size, price); the chosen SKU's id and
// its property text go back to the item picker.
#include "ufrmBase.h"

class QPushButton;
class TGridView;
class TPClientDataSet;

class TfrmCommodityItemProp : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmCommodityItemProp(QWidget* owner = nullptr);

    // The SKUs as the service answered them.
    bool Load(const QByteArray& xml);
    TPClientDataSet* Skus() const { return m_skus; }
    TGridView* Grid() const { return m_grid; }

    // "选   择" (or a double-click): the current SKU, when there is one.
    void btnSelectClick();
    QString SkuId() const { return m_skuId; }
    QString Properties() const { return m_properties; }

private:
    TPClientDataSet* m_skus;
    TGridView* m_grid;
    QString m_skuId;
    QString m_properties;
};
