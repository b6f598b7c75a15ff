#pragma once
// The shop's online goods, one row per marketplace item: the category tree, the brand list,
// the edit dialog, listing and delisting from the grid's pop-up menu, and the download dialog.
#include "ufrmMasterList.h"

class QAction;

class TfrmGoods : public TfrmMasterList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmGoods(QWidget* owner = nullptr);

    TPClientDataSet* Brands() const { return m_brands; }
    QAction* ListingAction() const { return m_listing; }
    QAction* DelistingAction() const { return m_delisting; }

    // "下 载": the download dialog, modally.
    void dxBL_DownClick();
    // "宝贝上架" / "宝贝下架" on the current row.
    void ListingClick(bool listed);

private:
    TPClientDataSet* m_brands;
    QAction* m_listing;
    QAction* m_delisting;
};
