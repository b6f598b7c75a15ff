#include "ufrmAdjustPrice.h"

#include "uCallModule.h"
#include "uDocDefs.h"

namespace {

TKxDocListDef listDef()
{
    return KxPriceListDef(QStringLiteral("goodscode"),
        QStringList { QStringLiteral("goodsname"), QStringLiteral("propstyle"), QStringLiteral("costprice"),
            QStringLiteral("saleprice"), QStringLiteral("wholesale") },
        QStringList { QStringLiteral("newprice"), QStringLiteral("newwhole") }, QStringLiteral("母商品售价调单"));
}

} // namespace

TfrmAdjustPrice::TfrmAdjustPrice(QWidget* owner)
    : TfrmDocList(listDef(), owner)
{
}

KX_REGISTER_CLASS(TfrmAdjustPrice)
