#pragma once
// "下载退款单": asks the service to fetch refunds from the marketplace, for the ticked shop
// accounts and refund states within a time window, or one refund by its number.
#include "uMarketDown.h"

class TfrmRefundDown : public TKxMarketDown {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmRefundDown(QWidget* owner = nullptr);
};
