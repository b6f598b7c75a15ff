#include "CheckSum.h"

#include "CheckBatch.h"
#include "store/DocEngine.h"
#include "store/DocGenerated.h"
#include "store/DocKinds.h"
#include "store/Statistics.h"
#include "store/DocSql.h"

using namespace KxDoc;

// Summarizes the ticked sheets: each open sheet of an effective batch is stamped and its lines
// are added to the batch's difference list, per product and storage (two shelves of one
// product add up; a sheet is added once, however often it is sent). "leftout" names the
// batch's sheets that stay open; sheets saved later go into a later summary.
void KxCheckSumAudit(TContext& ctx)
{
    const QList<TDeltaChange> changes = KxDocDelta(ctx, QStringLiteral("deltamaster"));
    if (changes.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("无数据变动，不用提交数据汇总！"));
    const QString who = KxOperatorStamp(ctx), when = KxLocalNowText();
    QStringList ids, batches;
    QVariantList summed;
    for (const TDeltaChange& ch : changes) {
        if (ch.kind != TDeltaChange::Update)
            throw TServiceError(kxRefused, QStringLiteral("汇总只能标记已保存的盘点单"));
        if (ch.values.value(QStringLiteral("auditren")).toString().trimmed().isEmpty())
            continue;
        const QString key = ch.original.value(QStringLiteral("md5_key")).toString().trimmed();
        QSqlQuery s = KxExec(ctx.db, QStringLiteral("SELECT h.checkid, h.checkcode, b.status FROM kx_check h LEFT JOIN kx_checkbatch b ON b.nickid = h.nickid"
                                                    " AND b.checkcode = h.checkcode WHERE h.nickid = ? AND h.md5_key = ?"),
                             {ctx.nickid, key});
        if (!s.next())
            throw TServiceError(kxRefused, QStringLiteral("要汇总的盘点单不存在，请刷新后再试"));
        const QString id = s.value(0).toString(), batch = s.value(1).toString();
        if (s.value(2).toInt() != 1)
            throw TServiceError(kxRefused, QStringLiteral("只有生效的盘点批次才可以汇总！"));
        ids << id;
        if (!batches.contains(batch))
            batches << batch;
        QSqlQuery u = KxExec(ctx.db, QStringLiteral("UPDATE kx_check SET status = 2, auditren = ?, audittime = ? WHERE nickid = ? AND checkid = ? AND status = 1"),
                             {who, when, ctx.nickid, id});
        if (u.numRowsAffected() == 1)
            summed << id;
    }
    inChunks(ctx.db, QStringLiteral("INSERT INTO kx_checkdiff (nickid, checkcode, storageid, commoditycode, md5_key, checknum, costprice, saleprice)"
                                    " SELECT h.nickid, h.checkcode, h.storageid, l.commoditycode, h.storageid || '/' || l.commoditycode, SUM(l.checknum),"
                                    " MAX(l.costprice), MAX(l.saleprice) FROM kx_check h JOIN kx_check_line l ON l.nickid = h.nickid AND l.checkid = h.checkid"
                                    " WHERE h.nickid = ? AND h.checkid IN (%1) GROUP BY h.nickid, h.checkcode, h.storageid, l.commoditycode"
                                    " ON CONFLICT (nickid, checkcode, storageid, commoditycode) DO UPDATE SET checknum = kx_checkdiff.checknum + excluded.checknum,"
                                    " status = CASE WHEN excluded.checknum = 0 THEN kx_checkdiff.status ELSE 0 END"),
             {ctx.nickid}, summed, [](QSqlQuery&) {});
    KxAnalyse(ctx.db, {QStringLiteral("kx_checkdiff")});
    KxDocAnswerHeaders(ctx, kKxCheck, QStringLiteral("xmlmaster"), ids);
    QStringList open;
    for (const QString& batch : batches) {
        QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT checkid FROM kx_check WHERE nickid = ? AND checkcode = ? AND status = 1 ORDER BY checkid"), {ctx.nickid, batch});
        while (q.next())
            open << q.value(0).toString();
    }
    ctx.answer.add(QStringLiteral("leftout"), open.join(QLatin1Char(',')));
}
