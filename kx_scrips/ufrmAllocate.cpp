#include "ufrmAllocate.h"

#include "uCallModule.h"
#include "uDocDefs.h"

namespace {

TKxDocListDef listDef()
{
    TKxDocListDef s = KxStockListDef(QStringLiteral("allocateid"),
        QStringList { QStringLiteral("out_storageid"), QStringLiteral("in_shopcode"), QStringLiteral("in_storageid") },
        QStringLiteral("allocatenum"), QStringList { QStringLiteral("costprice"), QStringLiteral("saleprice") },
        QStringLiteral("调拨单"));
    s.storageFields = { QStringLiteral("out_storageid"), QStringLiteral("in_storageid") };
    s.shopFields = { QStringLiteral("in_shopcode") };
    s.amounts = { { QStringLiteral("sumcostprice"), QStringLiteral("costprice") },
        { QStringLiteral("sumsaleprice"), QStringLiteral("saleprice") } };
    return s;
}

} // namespace

TfrmAllocate::TfrmAllocate(QWidget* owner)
    : TfrmDocList(listDef(), owner)
{
}

KX_REGISTER_CLASS(TfrmAllocate)
