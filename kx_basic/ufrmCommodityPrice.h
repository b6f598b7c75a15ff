#pragma once
// The price view: each product's retail price pushed to the marketplace ("同步售价").
#include "uCommodityPush.h"

class TfrmCommodityPrice : public TfrmCommodityPush {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmCommodityPrice(QWidget* owner = nullptr);
};
