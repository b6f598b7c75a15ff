#include "ufrmAdjust.h"

#include "uCallModule.h"
#include "uCheckBatch.h"
#include "uDocDefs.h"

namespace {

TKxDocListDef listDef()
{
    TKxDocListDef s = KxStockListDef(QStringLiteral("adjustid"),
        QStringList { QStringLiteral("storageid"), QStringLiteral("adjusttype") }, QStringLiteral("adjustnum"),
        QStringList { QStringLiteral("costprice"), QStringLiteral("saleprice") }, QStringLiteral("库存调整单"));
    s.storageFields = { QStringLiteral("storageid") };
    s.detailFields << QStringLiteral("sumcostprice") << QStringLiteral("sumsaleprice");
    s.amountFields << QStringLiteral("sumcostprice") << QStringLiteral("sumsaleprice");
    s.amounts = { { QStringLiteral("sumcostprice"), QStringLiteral("costprice") },
        { QStringLiteral("sumsaleprice"), QStringLiteral("saleprice") } };
    s.moneyLines = KxCheckAdjustments();
    return s;
}

} // namespace

TfrmAdjust::TfrmAdjust(QWidget* owner)
    : TfrmDocList(listDef(), owner)
{
}

KX_REGISTER_CLASS(TfrmAdjust)
