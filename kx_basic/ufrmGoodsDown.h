#pragma once
// "信息下载": makes the service fetch the shop's categories and items from the marketplace,
// in bulk (categories, items on sale, items in stock, 50 items a page with progress) or one
// item by its code. The client keeps nothing; the list shows the result after "刷 新".
#include "ufrmBase.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class TfrmGoodsDown : public TfrmBase {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmGoodsDown(QWidget* owner = nullptr);

    QCheckBox* CategoryBox() const { return m_categories; }
    QCheckBox* OnSaleBox() const { return m_onSale; }
    QCheckBox* InStockBox() const { return m_inStock; }
    QProgressBar* Progress() const { return m_progress; }
    QLabel* StatusLabel() const { return m_status; }
    QLineEdit* ItemEdit() const { return m_item; }

    // "下  载" of the ticked kinds; the first failure stops the rest.
    void btnDownClick();
    // "下  载" of the one item typed.
    void btnDownOneClick();
    // Fetches every item of `status` ("onsale", "instock") a page at a time; false on a failure.
    bool DownItems(const QString& status);

private:
    void step(int position, const QString& text = QString());

    QCheckBox* m_categories;
    QCheckBox* m_onSale;
    QCheckBox* m_inStock;
    QProgressBar* m_progress;
    QLabel* m_status;
    QLineEdit* m_item;
};
