#include "StockFreeze.h"

#include "DocSql.h"

namespace {
bool postgres(const TContext& ctx)
{
    return ctx.db.driverName() == QLatin1String("QPSQL");
}
}

void KxRefuseFrozen(TContext& ctx, const QStringList& storages)
{
    QVariantList ids;
    for (const QString& s : storages)
        if (!s.isEmpty() && !ids.contains(s))
            ids << s;
    if (ids.isEmpty())
        return;
    const QString in = KxDoc::placeholders(ids.size(), QStringLiteral("?"));
    if (postgres(ctx))
        KxExec(ctx.db, QStringLiteral("SELECT 1 FROM kx_storage WHERE nickid = ? AND storageid IN (%1) FOR SHARE").arg(in), QVariantList{ctx.nickid} + ids);
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT f.storageid, f.checkcode FROM kx_checkfroze f JOIN kx_checkbatch b ON b.nickid = f.nickid"
                                                " AND b.checkcode = f.checkcode WHERE f.nickid = ? AND b.status = 1 AND f.storageid IN (%1)"
                                                " ORDER BY f.storageid").arg(in),
                         QVariantList{ctx.nickid} + ids);
    if (q.next())
        throw TServiceError(kxRefused, QStringLiteral("仓库【%1】正在盘点（盘点批次【%2】），库存已冻结，不能审核！")
                                           .arg(q.value(0).toString(), q.value(1).toString()));
}

void KxLockStorageForFreeze(TContext& ctx, const QString& storage)
{
    if (postgres(ctx))
        KxExec(ctx.db, QStringLiteral("SELECT 1 FROM kx_storage WHERE nickid = ? AND storageid = ? FOR UPDATE"), {ctx.nickid, storage});
}

void KxCheckSheetSave(TContext& ctx, const QHash<QString, QString>& fields)
{
    const QString batch = fields.value(QStringLiteral("checkcode")), storage = fields.value(QStringLiteral("storageid"));
    if (batch.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("盘点批次号不能为空！"));
    const QVariant status = KxScalar(ctx.db, QStringLiteral("SELECT status FROM kx_checkbatch WHERE nickid = ? AND checkcode = ?"), {ctx.nickid, batch});
    if (!status.isValid() || status.toInt() != 1)
        throw TServiceError(kxRefused, QStringLiteral("盘点批次【%1】不是生效的盘点批次，不能录入盘点数据！").arg(batch.left(40)));
    if (!KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_checkfroze WHERE nickid = ? AND checkcode = ? AND storageid = ?"), {ctx.nickid, batch, storage}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("仓库【%1】未在盘点批次【%2】中冻结库存，不能录入盘点数据！").arg(storage.left(40), batch));
}
