#include "ufrmCommodityPrice.h"

#include "uCallModule.h"

TfrmCommodityPrice::TfrmCommodityPrice(QWidget* owner)
    : TfrmCommodityPush({{QStringLiteral("saleprice")}, QStringLiteral("NetShop.UpdatePrice"), "同步售价"}, owner)
{
}

KX_REGISTER_CLASS(TfrmCommodityPrice)
