#include "ufrmAdjustItemPrice.h"

#include "uCallModule.h"
#include "uDocDefs.h"

namespace {

TKxDocListDef listDef()
{
    return KxPriceListDef(QStringLiteral("commoditycode"),
        QStringList { QStringLiteral("barcode"), QStringLiteral("commodityname"), QStringLiteral("propstyle"),
            QStringLiteral("propcolor"), QStringLiteral("propsize"), QStringLiteral("costprice"),
            QStringLiteral("saleprice"), QStringLiteral("wholesale") },
        QStringList { QStringLiteral("newprice"), QStringLiteral("newwhole") }, QStringLiteral("商品售价调单"));
}

} // namespace

TfrmAdjustItemPrice::TfrmAdjustItemPrice(QWidget* owner)
    : TfrmDocList(listDef(), owner)
{
}

KX_REGISTER_CLASS(TfrmAdjustItemPrice)
