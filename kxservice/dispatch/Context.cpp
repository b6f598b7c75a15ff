#include "Context.h"

#include "uRequest.h"

QString TContext::need(const QString& name) const
{
    const QString v = call.param(name);
    if (KxTrimLow(v).isEmpty())
        throw TServiceError(kxMissingParam, QStringLiteral("缺少参数：%1").arg(name));
    return v;
}

qint64 TContext::intParam(const QString& name, qint64 def) const
{
    const QString v = KxTrimLow(call.param(name));
    if (v.isEmpty())
        return def;
    bool ok = false;
    const qint64 n = v.toLongLong(&ok);
    if (!ok)
        throw TServiceError(kxBadParam, QStringLiteral("参数 %1 应为整数：%2").arg(name, v.left(40)));
    return n;
}
