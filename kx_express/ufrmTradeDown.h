#pragma once
// "下载订单": asks the service to fetch orders from the marketplace, for the ticked shop
// accounts and order states within a time window, or one order by its number.
#include "uMarketDown.h"

class TfrmTradeDown : public TKxMarketDown {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmTradeDown(QWidget* owner = nullptr);

    QLineEdit* TidEdit() const { return NumberEdit(); }
};
