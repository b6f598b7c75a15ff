#pragma once
// One picking list: the consignee, carrier and storage, and the goods to pick, typed in or
// made from marketplace orders. A line that came from an order keeps its order data; a line
// typed in takes its title, properties and price from the product. Saved, audited, shipped
// ("网店发货") and printed from here.
#include "ufrmDocEdit.h"

class TfrmPickingEdit : public TfrmDocEdit {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmPickingEdit(QWidget* owner = nullptr);

    void dxBL_SendClick();      // "网店发货"
    void dxBL_PrintKDClick();   // "打印快递单"
    void dxBL_PrintFHClick();   // "打印发货单"

protected:
    bool NewHeaderValues(QList<QPair<QString, QString>>& values) override;
    void FillLine(const TPClientDataSet* products) override;
    void ClearLine() override;
    void LineEdited(int row, const QString& field) override;
};
