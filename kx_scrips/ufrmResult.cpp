#include "ufrmResult.h"

#include "uCallModule.h"
#include "uDocDefs.h"

namespace {

TKxDocListDef listDef()
{
    TKxDocListDef s = KxStockListDef(QStringLiteral("resultid"),
        QStringList { QStringLiteral("suppliercode"), QStringLiteral("suppliername"), QStringLiteral("storageid"),
            QStringLiteral("resultmoney") },
        QStringLiteral("resultnum"), QStringList { QStringLiteral("costprice"), QStringLiteral("saleprice") },
        QStringLiteral("采购退单"));
    s.storageFields = { QStringLiteral("storageid") };
    s.amounts = { { QStringLiteral("sumcostprice"), QStringLiteral("costprice") },
        { QStringLiteral("sumsaleprice"), QStringLiteral("saleprice") } };
    return s;
}

} // namespace

TfrmResult::TfrmResult(QWidget* owner)
    : TfrmDocList(listDef(), owner)
{
}

KX_REGISTER_CLASS(TfrmResult)
