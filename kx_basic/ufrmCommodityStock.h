#pragma once
// The stock view: each product's sellable stock pushed to the marketplace ("同步库存").
#include "uCommodityPush.h"

class TfrmCommodityStock : public TfrmCommodityPush {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TfrmCommodityStock(QWidget* owner = nullptr);
};
