#pragma once
// "打印发货单": delivery notes for the picking lists with a chosen sender, from the report
// template "rmf/fahuodan.rmf".
#include "ufrmPickingPrint.h"

class TfrmPickingFH : public TfrmPickingPrint {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmPickingFH(QWidget* owner = nullptr);

    void btnDesignClick();
    void btnPrintClick();
    bool PrintToPdf(const QString& fileName);
};
