#pragma once
// One return receipt: the buyer, shop account and return storage, and the refunded items,
// made from marketplace refunds or typed in. A line from a refund keeps its refund's amounts;
// a line typed in takes its title, properties and price from the product, and its refunded
// amount follows its quantity and unit amount.
#include "ufrmDocEdit.h"

class TfrmRefundingEdit : public TfrmDocEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmRefundingEdit(QWidget* owner = nullptr);

protected:
    bool NewHeaderValues(QList<QPair<QString, QString>>& values) override;
    void FillLine(const TPClientDataSet* products) override;
    void ClearLine() override;
    void LineEdited(int row, const QString& field) override;
};
