#include "ufrmCheck.h"

#include "uCallModule.h"
#include "uCheckBatch.h"
#include "uDocDefs.h"
#include "uHttpWeb.h"

namespace {

TKxDocListDef listDef()
{
    TKxDocListDef s = KxStockListDef(QStringLiteral("checkid"),
        QStringList { QStringLiteral("checkcode"), QStringLiteral("storageid"), QStringLiteral("rackcode") }, QStringLiteral("checknum"),
        QStringList { QStringLiteral("costprice"), QStringLiteral("saleprice") }, QStringLiteral("盘点单"));
    s.masterFields = { QStringLiteral("checkid"), QStringLiteral("checkcode"), QStringLiteral("storageid"), QStringLiteral("rackcode"),
        QStringLiteral("inputren"), QStringLiteral("inputtime"), QStringLiteral("auditren"), QStringLiteral("audittime"), QStringLiteral("issum") };
    s.storageFields = { QStringLiteral("storageid") };
    s.amounts = { { QStringLiteral("sumcostprice"), QStringLiteral("costprice") },
        { QStringLiteral("sumsaleprice"), QStringLiteral("saleprice") } };
    s.firstPage = 1;
    return s;
}

} // namespace

TfrmCheck::TfrmCheck(QWidget* owner)
    : TfrmDocList(listDef(), owner)
{
}

void TfrmCheck::AddSearchParams(TRequest* request)
{
    request->AddParams(QStringLiteral("checkcode"), KxEffectiveBatch(this));
}

KX_REGISTER_CLASS(TfrmCheck)
