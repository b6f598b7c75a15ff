#include "ufrmCommodityStock.h"

#include "uCallModule.h"

TfrmCommodityStock::TfrmCommodityStock(QWidget* owner)
    : TfrmCommodityPush({{QStringLiteral("presell"), QStringLiteral("stocknum")}, QStringLiteral("NetShop.UpdateStock"), "同步库存"}, owner)
{
}

KX_REGISTER_CLASS(TfrmCommodityStock)
