#pragma once
// Finds the shop's marketplace items through the service (account and keyword) and hands back
// the item, or one of its SKUs picked in "宝贝属性", for mapping to a product.
#include "ufrmBase.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class TGridView;
class TPClientDataSet;

// An item or SKU chosen at the marketplace.
struct TKxPickedSku {
    QString numIid, skuId, picPath, properties, title, nick;
};

class TfrmCommodityItem : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmCommodityItem(QWidget* owner = nullptr);

    QComboBox* AccountBox() const { return m_account; }
    QLineEdit* KeywordEdit() const { return m_keyword; }
    TPClientDataSet* Items() const { return m_items; }
    TGridView* Grid() const { return m_grid; }
    const QList<TKxPickedSku>& Picked() const { return m_picked; }

    void btnSearchClick(); // "检索"
    void btnSelectClick(); // "选   择", a double-click

private:
    QComboBox* m_account;
    QLineEdit* m_keyword;
    TPClientDataSet* m_items;
    TGridView* m_grid;
    QList<TKxPickedSku> m_picked;
};
