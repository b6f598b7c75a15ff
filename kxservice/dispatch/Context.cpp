#include "Context.h"

#include "uRequest.h"

#include <limits>

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
    if (n < std::numeric_limits<qint32>::min() || n > std::numeric_limits<qint32>::max())
        throw TServiceError(kxBadParam, QStringLiteral("参数 %1 超出范围：%2").arg(name, v.left(40)));
    return n;
}

const QList<TDeltaChange>* TContext::delta(const QString& name) const
{
    const auto it = m_deltas.find(name);
    return it == m_deltas.end() ? nullptr : &it->second;
}

void TContext::readDeltas(TCall& from)
{
    QStringList names;
    for (const auto& file : from.files())
        if (file.first.startsWith(QLatin1String("delta")))
            names << file.first;
    for (const QString& name : names)
        m_deltas.emplace(name, KxReadDelta(from.takeFile(name)));
}
