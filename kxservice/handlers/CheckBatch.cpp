#include "CheckBatch.h"

#include "store/Paging.h"
#include "store/DocEngine.h"
#include "store/DocGenerated.h"
#include "store/DocSql.h"
#include "store/Statistics.h"
#include "store/DocValues.h"
#include "store/StockFreeze.h"

#include "DataPacket.h"

#include <QDate>
#include <QDateTime>

using namespace KxDoc;
using Col = TPacketColumn;

namespace {

const QString kBatchSelect = QStringLiteral("SELECT md5_key, checkcode, shopcode, checktime, memo, status, createren, createtime, finishren,"
                                            " finishtime FROM kx_checkbatch");

const QList<Col>& batchColumns()
{
    static const QList<Col> c{{QStringLiteral("md5_key"), Col::Text, 64},   {QStringLiteral("checkcode"), Col::Text, 20},
                              {QStringLiteral("shopcode"), Col::Text, 20},  {QStringLiteral("checktime"), Col::DateTime},
                              {QStringLiteral("memo"), Col::Text, 100},     {QStringLiteral("status"), Col::Integer},
                              {QStringLiteral("createren"), Col::Text, 50}, {QStringLiteral("createtime"), Col::DateTime},
                              {QStringLiteral("finishren"), Col::Text, 50}, {QStringLiteral("finishtime"), Col::DateTime}};
    return c;
}

QString memoOf(const TDeltaChange& ch)
{
    const QString memo = ch.values.value(QStringLiteral("memo")).toString();
    if (memo.size() > 100)
        throw TServiceError(kxRefused, QStringLiteral("备注不能超过 100 个字符"));
    return memo;
}

} // namespace

QString KxCheckEffectiveBatch(TContext& ctx)
{
    return KxScalar(ctx.db, QStringLiteral("SELECT checkcode FROM kx_checkbatch WHERE nickid = ? AND status = 1 ORDER BY checkcode"), {ctx.nickid}).toString();
}

// Batches newest first; "status" and "checkcode" narrow them (the effective batch is "status" 1).
void KxCheckBatchSearch(TContext& ctx)
{
    QString where = QStringLiteral("nickid = ?");
    QVariantList args{ctx.nickid};
    if (!ctx.param(QStringLiteral("status")).trimmed().isEmpty()) {
        where += QStringLiteral(" AND status = ?");
        args << ctx.intParam(QStringLiteral("status"), 0);
    }
    const QString code = ctx.param(QStringLiteral("checkcode")).trimmed();
    if (!code.isEmpty()) {
        where += QStringLiteral(" AND checkcode = ?");
        args << code.left(40);
    }
    KxAnswerPage(ctx, kBatchSelect, where, args, QStringLiteral("checkcode DESC"), batchColumns());
}

void KxCheckBatchStatus(TContext& ctx)
{
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT 0, '新建' UNION ALL SELECT 1, '生效' UNION ALL SELECT 2, '结束'"));
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, {{QStringLiteral("status"), Col::Integer}, {QStringLiteral("statusname"), Col::Text, 20}}));
}

// The batch list's delta: new batches (numbered here), remarks, and finishing (status 2). A
// batch becomes effective only by a freeze; a finished one is read-only.
void KxCheckBatchUpdate(TContext& ctx)
{
    const QList<TDeltaChange> changes = KxDocDelta(ctx, QStringLiteral("delta"));
    if (changes.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("无数据变动，不用提交数据！"));
    QVariantList keys;
    for (const TDeltaChange& ch : changes) {
        if (ch.kind == TDeltaChange::Delete)
            throw TServiceError(kxRefused, QStringLiteral("盘点批次不能删除！"));
        if (ch.kind == TDeltaChange::Insert) {
            const QString key = ch.values.value(QStringLiteral("md5_key")).toString().trimmed();
            if (key.isEmpty() || key.size() > 64)
                throw TServiceError(kxRefused, QStringLiteral("盘点批次缺少有效的行标识（md5_key）"));
            if (!KxCheckEffectiveBatch(ctx).isEmpty())
                throw TServiceError(kxRefused, QStringLiteral("还有未完成的盘点批次！"));
            if (ch.values.value(QStringLiteral("status")).toInt() != 0)
                throw TServiceError(kxRefused, QStringLiteral("新建的盘点批次只能是新建状态"));
            if (KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_checkbatch WHERE nickid = ? AND md5_key = ?"), {ctx.nickid, key}).isValid())
                throw TServiceError(kxRefused, QStringLiteral("这个盘点批次已经保存过，请刷新后再修改"));
            const QString series = QStringLiteral("PC") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
            const QString code = KxNextCode(ctx, series, series, QStringLiteral("kx_checkbatch"), QStringLiteral("checkcode"));
            const QString stamp = KxLocalNowText();
            QString checktime = ch.values.value(QStringLiteral("checktime")).toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            if (checktime.isEmpty())
                checktime = stamp;
            KxExec(ctx.db, QStringLiteral("INSERT INTO kx_checkbatch (nickid, checkcode, md5_key, shopcode, checktime, memo, status, createren, createtime)"
                                          " VALUES (?, ?, ?, ?, ?, ?, 0, ?, ?)"),
                   {ctx.nickid, code, key, ctx.shopcode, checktime, memoOf(ch), KxOperatorStamp(ctx), stamp});
            keys << key;
            continue;
        }
        const QString key = ch.original.value(QStringLiteral("md5_key")).toString().trimmed();
        const QVariant status = KxScalar(ctx.db, QStringLiteral("SELECT status FROM kx_checkbatch WHERE nickid = ? AND md5_key = ?"), {ctx.nickid, key});
        if (!status.isValid())
            throw TServiceError(kxRefused, QStringLiteral("要修改的盘点批次已不存在，请刷新后再试"));
        const QString code = KxScalar(ctx.db, QStringLiteral("SELECT checkcode FROM kx_checkbatch WHERE nickid = ? AND md5_key = ?"), {ctx.nickid, key}).toString();
        if (status.toInt() == 2)
            throw TServiceError(kxRefused, QStringLiteral("盘点批次【%1】已结束，不能再改动！").arg(code));
        for (const QString& f : ch.changed)
            if (f != QLatin1String("memo") && f != QLatin1String("status") && f != QLatin1String("statusname") && f != QLatin1String("finishren")
                && f != QLatin1String("finishtime"))
                throw TServiceError(kxRefused, QStringLiteral("盘点批次只能修改备注或结束盘点"));
        if (ch.changed.contains(QStringLiteral("memo")))
            KxExec(ctx.db, QStringLiteral("UPDATE kx_checkbatch SET memo = ? WHERE nickid = ? AND md5_key = ?"), {memoOf(ch), ctx.nickid, key});
        if (ch.changed.contains(QStringLiteral("status"))) {
            const int to = ch.values.value(QStringLiteral("status")).toInt();
            // The freeze made it effective already; the form shows that as its own change.
            if (to == 1 && status.toInt() == 1) {
                keys << key;
                continue;
            }
            if (to != 2)
                throw TServiceError(kxRefused, QStringLiteral("盘点批次只有冻结库存后才生效"));
            // The freeze ends with the batch: its storages take audits again.
            QSqlQuery u = KxExec(ctx.db, QStringLiteral("UPDATE kx_checkbatch SET status = 2, finishren = ?, finishtime = ? WHERE nickid = ? AND md5_key = ? AND status IN (0, 1)"),
                                 {KxOperatorStamp(ctx), KxLocalNowText(), ctx.nickid, key});
            if (u.numRowsAffected() != 1)
                throw TServiceError(kxRefused, QStringLiteral("盘点批次【%1】已结束，不能再改动！").arg(code));
        }
        keys << key;
    }
    QSqlQuery q = KxExec(ctx.db, kBatchSelect + QStringLiteral(" WHERE nickid = ? AND md5_key IN (%1) ORDER BY checkcode DESC").arg(placeholders(keys.size(), QStringLiteral("?"))),
                         QVariantList{ctx.nickid} + keys);
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, batchColumns()));
}

// Freezes one storage for a batch: the book stock and unit prices of every product in it are
// recorded now, and the batch's difference list gets a row for each (counted 0 until a sheet
// says otherwise). Audits that would move the storage's stock are refused until the batch ends.
void KxCheckFrozeStorage(TContext& ctx)
{
    const QString storage = ctx.need(QStringLiteral("storageid")).trimmed(), code = ctx.need(QStringLiteral("checkcode")).trimmed();
    const QVariant status = KxScalar(ctx.db, QStringLiteral("SELECT status FROM kx_checkbatch WHERE nickid = ? AND checkcode = ?"), {ctx.nickid, code.left(40)});
    if (!status.isValid() || status.toInt() == 2)
        throw TServiceError(kxRefused, QStringLiteral("只有生效或新建的盘点批次才可以冻结！"));
    const QString effective = KxCheckEffectiveBatch(ctx);
    if (!effective.isEmpty() && effective != code)
        throw TServiceError(kxRefused, QStringLiteral("还有未完成的盘点批次【%1】！").arg(effective));
    const QVariant name = KxScalar(ctx.db, QStringLiteral("SELECT storagename FROM kx_storage WHERE nickid = ? AND storageid = ?"), {ctx.nickid, storage.left(40)});
    if (!name.isValid())
        throw TServiceError(kxRefused, QStringLiteral("仓库【%1】不存在").arg(storage.left(40)));
    KxLockStorageForFreeze(ctx, storage);
    // Stock cannot move while frozen, so a second freeze would record the same stock again;
    // refusing it keeps the first snapshot the only one the sheets are compared with.
    if (KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_checkfroze WHERE nickid = ? AND checkcode = ? AND storageid = ?"), {ctx.nickid, code, storage}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("【%1】已在盘点批次【%2】中冻结，不能重复冻结！").arg(name.toString(), code));
    KxExec(ctx.db, QStringLiteral("INSERT INTO kx_checkfroze (nickid, checkcode, storageid, frozeren, frozetime) VALUES (?, ?, ?, ?, ?)"),
           {ctx.nickid, code, storage, KxOperatorStamp(ctx), KxLocalNowText()});
    KxExec(ctx.db, QStringLiteral("INSERT INTO kx_checkstock (nickid, checkcode, storageid, commoditycode, stocknum, costprice, saleprice)"
                                  " SELECT s.nickid, ?, s.storageid, s.commoditycode, s.stocknum, c.costprice, c.saleprice FROM kx_stock s"
                                  " JOIN kx_commodity c ON c.nickid = s.nickid AND c.commoditycode = s.commoditycode WHERE s.nickid = ? AND s.storageid = ?"),
           {code, ctx.nickid, storage});
    KxExec(ctx.db, QStringLiteral("INSERT INTO kx_checkdiff (nickid, checkcode, storageid, commoditycode, md5_key, stocknum, costprice, saleprice)"
                                  " SELECT nickid, checkcode, storageid, commoditycode, storageid || '/' || commoditycode, stocknum, costprice, saleprice"
                                  " FROM kx_checkstock WHERE nickid = ? AND checkcode = ? AND storageid = ?"),
           {ctx.nickid, code, storage});
    // The snapshot came in bulk a moment ago: the summary's and adjustment's statements on it
    // must not be planned as if the tables were empty.
    KxAnalyse(ctx.db, {QStringLiteral("kx_checkstock"), QStringLiteral("kx_checkdiff")});
    KxExec(ctx.db, QStringLiteral("UPDATE kx_checkbatch SET status = 1 WHERE nickid = ? AND checkcode = ?"), {ctx.nickid, code});
}

// What an empty count sheet of a frozen storage lists: the storage (xmlmaster) and its frozen
// products without their book stock (xmldetail), so that the count is blind.
void KxCheckEmptySheet(TContext& ctx)
{
    const QString code = ctx.need(QStringLiteral("checkcode")).trimmed().left(40), storage = ctx.need(QStringLiteral("storageid")).trimmed().left(40);
    QSqlQuery h = KxExec(ctx.db, QStringLiteral("SELECT f.checkcode, f.storageid, s.storagename, f.frozetime FROM kx_checkfroze f LEFT JOIN kx_storage s"
                                                " ON s.nickid = f.nickid AND s.storageid = f.storageid WHERE f.nickid = ? AND f.checkcode = ? AND f.storageid = ?"),
                         {ctx.nickid, code, storage});
    ctx.answer.addPacket(QStringLiteral("xmlmaster"), KxQueryPacket(h, {{QStringLiteral("checkcode"), Col::Text, 20}, {QStringLiteral("storageid"), Col::Text, 20},
                                                                         {QStringLiteral("storagename"), Col::Text, 100}, {QStringLiteral("frozetime"), Col::DateTime}}));
    QSqlQuery l = KxExec(ctx.db, QStringLiteral("SELECT k.commoditycode, c.barcode, c.commodityname, c.propstyle, c.propcolor, c.propsize FROM kx_checkstock k"
                                                " LEFT JOIN kx_commodity c ON c.nickid = k.nickid AND c.commoditycode = k.commoditycode"
                                                " WHERE k.nickid = ? AND k.checkcode = ? AND k.storageid = ? ORDER BY k.commoditycode"),
                         {ctx.nickid, code, storage});
    QList<Col> cols{{QStringLiteral("commoditycode"), Col::Text, 20}, {QStringLiteral("barcode"), Col::Text, 30}, {QStringLiteral("commodityname"), Col::Text, 200}};
    for (const char* f : {"propstyle", "propcolor", "propsize"})
        cols << Col{L(f), Col::Text, 50};
    ctx.answer.addPacket(QStringLiteral("xmldetail"), KxQueryPacket(l, cols));
}
