#include "uCheckBatch.h"

#include "uHttpWeb.h"
#include "uPClientDataSet.h"
#include "ufrmBase.h"

QString KxEffectiveBatch(TfrmBase* form)
{
    THttpWeb web;
    web.setModule(form->GetParam(QStringLiteral("checkcode")));
    web.Request()->AddParams(QStringLiteral("status"), QStringLiteral("1"));
    if (!web.SendData())
        return {};
    TPClientDataSet batches;
    if (!batches.SetKXXMLData(web.Response()->GetParamUtf8(QStringLiteral("xmldata"))) || batches.IsEmpty())
        return {};
    batches.First();
    return batches.FieldByName(QStringLiteral("checkcode"))->AsString();
}
