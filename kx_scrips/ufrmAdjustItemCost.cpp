#include "ufrmAdjustItemCost.h"

#include "uCallModule.h"
#include "uDocDefs.h"

namespace {

TKxDocListDef listDef()
{
    return KxPriceListDef(QStringLiteral("commoditycode"),
        QStringList { QStringLiteral("barcode"), QStringLiteral("commodityname"), QStringLiteral("propstyle"),
            QStringLiteral("propcolor"), QStringLiteral("propsize"), QStringLiteral("saleprice"),
            QStringLiteral("costprice") },
        QStringList { QStringLiteral("newprice") }, QStringLiteral("商品进价调单"));
}

} // namespace

TfrmAdjustItemCost::TfrmAdjustItemCost(QWidget* owner)
    : TfrmDocList(listDef(), owner)
{
}

KX_REGISTER_CLASS(TfrmAdjustItemCost)
