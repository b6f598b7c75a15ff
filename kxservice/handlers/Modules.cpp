#include "Modules.h"

QString KxPowerString(bool isupdate, bool isaudit, bool issearch, bool isprint, bool isoutput, bool iscolumn)
{
    QString s;
    if (isupdate) s += QLatin1String("isupdate=True;");
    if (isaudit) s += QLatin1String("isaudit=True;");
    if (issearch) s += QLatin1String("issearch=True;");
    if (isprint) s += QLatin1String("isprint=True;");
    if (isoutput) s += QLatin1String("isoutput=True;");
    if (iscolumn) s += QLatin1String("iscolumn=True;");
    return s;
}

void KxDescribeModule(TContext& ctx, const QString& moduleName)
{
    QSqlQuery m = KxExec(ctx.db, QStringLiteral(
        "SELECT m.mod_id, m.moduleclass, m.moduletitle, m.modal, m.ispublic, m.defpower, w.operid,"
        " w.isupdate, w.isaudit, w.issearch, w.isprint, w.isoutput, w.iscolumn"
        " FROM kx_module m LEFT JOIN kx_power w ON w.nickid = m.nickid AND w.mod_id = m.mod_id AND w.operid = ?"
        " WHERE m.nickid = ? AND m.mod_name = ?"), {ctx.operid, ctx.nickid, moduleName});
    if (!m.next())
        throw TServiceError(kxUnknownMethod, QStringLiteral("未知的服务方法或模块：%1").arg(moduleName.left(80)));
    const int modId = m.value(0).toInt();
    QString power;
    if (!m.value(6).isNull()) {
        power = KxPowerString(m.value(7).toInt(), m.value(8).toInt(), m.value(9).toInt(), m.value(10).toInt(),
                              m.value(11).toInt(), m.value(12).toInt());
    } else if (m.value(4).toInt()) {
        const QStringList def = m.value(5).toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
        power = KxPowerString(def.contains(QLatin1String("isupdate")), def.contains(QLatin1String("isaudit")),
                              def.contains(QLatin1String("issearch")), def.contains(QLatin1String("isprint")),
                              def.contains(QLatin1String("isoutput")), def.contains(QLatin1String("iscolumn")));
    } else {
        throw TServiceError(kxNoRight, QStringLiteral("您没有使用【%1】模块的权限").arg(m.value(2).toString()));
    }
    ctx.answer.add(QStringLiteral("moduleclass"), m.value(1).toString());
    ctx.answer.add(QStringLiteral("moduletitle"), m.value(2).toString());
    ctx.answer.add(QStringLiteral("modal"), m.value(3).toInt() ? QStringLiteral("true") : QStringLiteral("false"));
    ctx.answer.add(QStringLiteral("modulepower"), power);
    m.finish();

    QSqlQuery p = KxExec(ctx.db, QStringLiteral(
        "SELECT name, value FROM kx_module_param WHERE nickid = ? AND mod_id = ? ORDER BY seq"), {ctx.nickid, modId});
    while (p.next())
        ctx.answer.add(p.value(0).toString(), p.value(1).toString());
    // A caller that wants a multiple pick asks for it with the module request; the picker
    // reads it from its parameters like any other setting.
    if (ctx.param(QStringLiteral("multiselect")) == QLatin1String("true"))
        ctx.answer.add(QStringLiteral("multiselect"), QStringLiteral("true"));
}
