#include "ufrmAdjustCost.h"

#include "uCallModule.h"
#include "uDocDefs.h"

namespace {

TKxDocListDef listDef()
{
    return KxPriceListDef(QStringLiteral("goodscode"),
        QStringList { QStringLiteral("goodsname"), QStringLiteral("propstyle"), QStringLiteral("costprice"),
            QStringLiteral("saleprice") },
        QStringList { QStringLiteral("newprice") }, QStringLiteral("母商品进价调单"));
}

} // namespace

TfrmAdjustCost::TfrmAdjustCost(QWidget* owner)
    : TfrmDocList(listDef(), owner)
{
}

KX_REGISTER_CLASS(TfrmAdjustCost)
