#pragma once
// The shop's products: one colour and size of an online goods item each, with code, barcode,
// prices and stock limits. Stock is coloured against the limits; editing is the edit dialog.
#include "ufrmMasterList.h"

class TfrmCommodity : public TfrmMasterList {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmCommodity(QWidget* owner = nullptr);

    TPClientDataSet* Brands() const { return m_brands; }

    // The colour of a stock cell for the row's stock and limits; invalid: not coloured.
    static QColor StockColor(double stock, double maxStock, double minStock, bool selected);

protected:
    void NewRecord() override;

private:
    TPClientDataSet* m_brands;
};
