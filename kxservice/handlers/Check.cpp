#include "Check.h"

#include "MasterData.h"
#include "store/DocEngine.h"
#include "store/DocKinds.h"
#include "store/DocPosting.h"
#include "store/DocSql.h"
#include "store/DocValues.h"
#include "store/StockFreeze.h"

#include "DataPacket.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QUuid>
#include <map>

namespace {
using namespace KxDoc;
using Col = TPacketColumn;

const char* const kAdjustType = "盘点库存调整";

QString now()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString operatorStamp(TContext& ctx)
{
    const QString name = KxScalar(ctx.db, QStringLiteral("SELECT opername FROM kx_operator WHERE nickid = ? AND operid = ?"),
                                  {ctx.nickid, ctx.operid}).toString();
    return QLatin1Char('[') + ctx.operid + QLatin1Char(']') + name;
}

// ---------------------------------------------------------------- batches

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

// Batches newest first; "status" and "checkcode" narrow them (the effective batch is "status" 1).
void batchSearch(TContext& ctx)
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

void batchStatus(TContext& ctx)
{
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT 0, '新建' UNION ALL SELECT 1, '生效' UNION ALL SELECT 2, '结束'"));
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, {{QStringLiteral("status"), Col::Integer}, {QStringLiteral("statusname"), Col::Text, 20}}));
}

QString effectiveBatch(TContext& ctx)
{
    return KxScalar(ctx.db, QStringLiteral("SELECT checkcode FROM kx_checkbatch WHERE nickid = ? AND status = 1 ORDER BY checkcode"), {ctx.nickid}).toString();
}

QString memoOf(const TDeltaChange& ch)
{
    const QString memo = ch.values.value(QStringLiteral("memo")).toString();
    if (memo.size() > 100)
        throw TServiceError(kxRefused, QStringLiteral("备注不能超过 100 个字符"));
    return memo;
}

// The batch list's delta: new batches (numbered here), remarks, and finishing (status 2). A
// batch becomes effective only by a freeze; a finished one is read-only.
void batchUpdate(TContext& ctx)
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
            if (!effectiveBatch(ctx).isEmpty())
                throw TServiceError(kxRefused, QStringLiteral("还有未完成的盘点批次！"));
            if (ch.values.value(QStringLiteral("status")).toInt() != 0)
                throw TServiceError(kxRefused, QStringLiteral("新建的盘点批次只能是新建状态"));
            if (KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_checkbatch WHERE nickid = ? AND md5_key = ?"), {ctx.nickid, key}).isValid())
                throw TServiceError(kxRefused, QStringLiteral("这个盘点批次已经保存过，请刷新后再修改"));
            const QString series = QStringLiteral("PC") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
            const QString code = KxNextCode(ctx, series, series, QStringLiteral("kx_checkbatch"), QStringLiteral("checkcode"));
            const QString stamp = now();
            QString checktime = ch.values.value(QStringLiteral("checktime")).toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            if (checktime.isEmpty())
                checktime = stamp;
            KxExec(ctx.db, QStringLiteral("INSERT INTO kx_checkbatch (nickid, checkcode, md5_key, shopcode, checktime, memo, status, createren, createtime)"
                                          " VALUES (?, ?, ?, ?, ?, ?, 0, ?, ?)"),
                   {ctx.nickid, code, key, ctx.shopcode, checktime, memoOf(ch), operatorStamp(ctx), stamp});
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
                                 {operatorStamp(ctx), now(), ctx.nickid, key});
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
void frozeStorage(TContext& ctx)
{
    const QString storage = ctx.need(QStringLiteral("storageid")).trimmed(), code = ctx.need(QStringLiteral("checkcode")).trimmed();
    const QVariant status = KxScalar(ctx.db, QStringLiteral("SELECT status FROM kx_checkbatch WHERE nickid = ? AND checkcode = ?"), {ctx.nickid, code.left(40)});
    if (!status.isValid() || status.toInt() == 2)
        throw TServiceError(kxRefused, QStringLiteral("只有生效或新建的盘点批次才可以冻结！"));
    const QString effective = effectiveBatch(ctx);
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
           {ctx.nickid, code, storage, operatorStamp(ctx), now()});
    KxExec(ctx.db, QStringLiteral("INSERT INTO kx_checkstock (nickid, checkcode, storageid, commoditycode, stocknum, costprice, saleprice)"
                                  " SELECT s.nickid, ?, s.storageid, s.commoditycode, s.stocknum, c.costprice, c.saleprice FROM kx_stock s"
                                  " JOIN kx_commodity c ON c.nickid = s.nickid AND c.commoditycode = s.commoditycode WHERE s.nickid = ? AND s.storageid = ?"),
           {code, ctx.nickid, storage});
    KxExec(ctx.db, QStringLiteral("INSERT INTO kx_checkdiff (nickid, checkcode, storageid, commoditycode, md5_key, stocknum, costprice, saleprice)"
                                  " SELECT nickid, checkcode, storageid, commoditycode, storageid || '/' || commoditycode, stocknum, costprice, saleprice"
                                  " FROM kx_checkstock WHERE nickid = ? AND checkcode = ? AND storageid = ?"),
           {ctx.nickid, code, storage});
    KxExec(ctx.db, QStringLiteral("UPDATE kx_checkbatch SET status = 1 WHERE nickid = ? AND checkcode = ?"), {ctx.nickid, code});
}

// What an empty count sheet of a frozen storage lists: the storage (xmlmaster) and its frozen
// products without their book stock (xmldetail), so that the count is blind.
void emptySheet(TContext& ctx)
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

// ---------------------------------------------------------------- summary

// Summarizes the ticked sheets: each open sheet of an effective batch is stamped and its lines
// are added to the batch's difference list, per product and storage (two shelves of one
// product add up; a sheet is added once, however often it is sent). "leftout" names the
// batch's sheets that stay open; sheets saved later go into a later summary.
void sumAudit(TContext& ctx)
{
    const QList<TDeltaChange> changes = KxDocDelta(ctx, QStringLiteral("deltamaster"));
    if (changes.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("无数据变动，不用提交数据汇总！"));
    const QString who = operatorStamp(ctx), when = now();
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
    KxDocAnswerHeaders(ctx, kKxCheck, QStringLiteral("xmlmaster"), ids);
    QStringList open;
    for (const QString& batch : batches) {
        QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT checkid FROM kx_check WHERE nickid = ? AND checkcode = ? AND status = 1 ORDER BY checkid"), {ctx.nickid, batch});
        while (q.next())
            open << q.value(0).toString();
    }
    ctx.answer.add(QStringLiteral("leftout"), open.join(QLatin1Char(',')));
}

// ---------------------------------------------------------------- differences and adjustment

// One row per product and storage: counted, book (frozen, plus what the batch's adjustments
// posted) and the difference, in pieces, at frozen cost and at frozen sale price.
const QString kDiffSelect = QStringLiteral(
    "SELECT d.md5_key, d.storageid, st.storagename, d.commoditycode, c.barcode, c.commodityname, c.propstyle, c.propcolor, c.propsize,"
    " d.checknum, d.stocknum + d.adjnum, d.checknum - d.stocknum - d.adjnum,"
    " ROUND(d.checknum * d.costprice, 2), ROUND((d.stocknum + d.adjnum) * d.costprice, 2), ROUND((d.checknum - d.stocknum - d.adjnum) * d.costprice, 2),"
    " ROUND(d.checknum * d.saleprice, 2), ROUND((d.stocknum + d.adjnum) * d.saleprice, 2), ROUND((d.checknum - d.stocknum - d.adjnum) * d.saleprice, 2),"
    " 0, d.status FROM kx_checkdiff d LEFT JOIN kx_commodity c ON c.nickid = d.nickid AND c.commoditycode = d.commoditycode"
    " LEFT JOIN kx_storage st ON st.nickid = d.nickid AND st.storageid = d.storageid");

const QList<Col>& diffColumns()
{
    static const QList<Col> c = [] {
        QList<Col> c{{QStringLiteral("md5_key"), Col::Text, 64},      {QStringLiteral("storageid"), Col::Text, 20},
                     {QStringLiteral("storagename"), Col::Text, 100}, {QStringLiteral("commoditycode"), Col::Text, 20},
                     {QStringLiteral("barcode"), Col::Text, 30},      {QStringLiteral("commodityname"), Col::Text, 200}};
        for (const char* f : {"propstyle", "propcolor", "propsize"})
            c << Col{L(f), Col::Text, 50};
        for (const char* f : {"checknum", "stocknum", "checkstocknum", "checkmoney", "stockmoney", "checkstockmoney", "checksales", "stocksales", "checkstocksales"})
            c << Col{L(f), Col::Decimal};
        c << Col{QStringLiteral("isadj"), Col::Boolean} << Col{QStringLiteral("status"), Col::Boolean};
        return c;
    }();
    return c;
}

// A page of the difference list of batch "checkcode"; "storageid", "commoditycode" narrow it,
// "isdiff" 1 keeps the rows with a difference.
void diffSearch(TContext& ctx)
{
    QString where = QStringLiteral("d.nickid = ? AND d.checkcode = ?");
    QVariantList args{ctx.nickid, ctx.param(QStringLiteral("checkcode")).trimmed().left(40)};
    for (const char* f : {"storageid", "commoditycode"}) {
        const QString v = ctx.param(L(f)).trimmed();
        if (!v.isEmpty()) {
            where += QStringLiteral(" AND d.%1 = ?").arg(L(f));
            args << v.left(40);
        }
    }
    if (ctx.param(QStringLiteral("isdiff")).trimmed() == QLatin1String("1"))
        where += QStringLiteral(" AND d.checknum <> d.stocknum + d.adjnum");
    KxAnswerPage(ctx, kDiffSelect, where, args, QStringLiteral("d.storageid, d.commoditycode"), diffColumns());
}

const QString kAdjustHeader = QStringLiteral("SELECT md5_key, adjustid, shopcode, checkcode, adjusttype, storageid, inputren, inputtime, auditren, audittime, status FROM kx_adjust");

const QList<Col>& adjustHeaderColumns()
{
    static const QList<Col> c{{QStringLiteral("md5_key"), Col::Text, 64},   {QStringLiteral("adjustid"), Col::Text, 20},
                              {QStringLiteral("shopcode"), Col::Text, 20},  {QStringLiteral("checkcode"), Col::Text, 20},
                              {QStringLiteral("adjusttype"), Col::Text, 20}, {QStringLiteral("storageid"), Col::Text, 20},
                              {QStringLiteral("inputren"), Col::Text, 50},  {QStringLiteral("inputtime"), Col::DateTime},
                              {QStringLiteral("auditren"), Col::Text, 50},  {QStringLiteral("audittime"), Col::DateTime},
                              {QStringLiteral("status"), Col::Integer}};
    return c;
}

// The empty adjustment headers and lines the adjustment form fills.
void adjustStructure(TContext& ctx)
{
    QSqlQuery h = KxExec(ctx.db, kAdjustHeader + QStringLiteral(" WHERE 1 = 0"));
    ctx.answer.addPacket(QStringLiteral("xmlmaster"), KxQueryPacket(h, adjustHeaderColumns()));
    QSqlQuery l = KxExec(ctx.db, QStringLiteral("SELECT md5_key, adjustid, seq, commoditycode, adjustnum, costprice, saleprice FROM kx_adjust_line WHERE 1 = 0"));
    ctx.answer.addPacket(QStringLiteral("xmldetail"), KxQueryPacket(l, {{QStringLiteral("md5_key"), Col::Text, 64}, {QStringLiteral("adjustid"), Col::Text, 20},
                                                                         {QStringLiteral("seq"), Col::Integer}, {QStringLiteral("commoditycode"), Col::Text, 20},
                                                                         {QStringLiteral("adjustnum"), Col::Decimal}, {QStringLiteral("costprice"), Col::Decimal},
                                                                         {QStringLiteral("saleprice"), Col::Decimal}}));
}

struct TDiffRow {
    QString storage, code;
    qint64 quantity = 0;          // the difference still to post
    QString costprice, saleprice; // frozen unit prices
    bool adjusted = false;
};

QString money(qint64 quantity, const QString& unit)
{
    const std::optional<TDecimal> u = decimalOf(unit);
    const std::optional<TDecimal> m = u ? u->Mul(TDecimal::FromInteger(quantity)) : std::nullopt;
    return m ? moneyText(*m) : QStringLiteral("0");
}

// The row keys a difference list's delta sets adjusted: it carries every column of up to
// every row of the list, and two of them matter here.
QVariantList adjustedKeys(const TContext& ctx)
{
    QVariantList keys;
    const QList<TDeltaChange>* delta = ctx.delta(QStringLiteral("delta"));
    if (!delta)
        return keys;
    const QString key = QStringLiteral("md5_key"), status = QStringLiteral("status");
    for (const TDeltaChange& ch : *delta)
        if (ch.kind == TDeltaChange::Update && ch.original.contains(key) && ch.values.value(status).toBool()
            && !ch.original.value(status).toBool())
            keys << ch.original.value(key).toString().trimmed();
    return keys;
}

// Turns the ticked difference rows into audited stock adjustments of the effective batch, one
// per storage in the order the storages first appear, and posts them; the rows become
// adjusted. The service reads the differences from its own rows, not from the lines sent:
// the adjustment lines carry the difference at cost and at sale price as money. Rows without
// a difference are marked adjusted and write no line. All of it in the call's transaction.
void adjustAudit(TContext& ctx)
{
    const QString batch = effectiveBatch(ctx);
    if (batch.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("只有生效的盘点批次才可以调整库存！"));
    // Finishing the batch waits for this call, or this call sees it finished.
    if (KxExec(ctx.db, QStringLiteral("UPDATE kx_checkbatch SET status = status WHERE nickid = ? AND checkcode = ? AND status = 1"), {ctx.nickid, batch}).numRowsAffected() != 1)
        throw TServiceError(kxRefused, QStringLiteral("只有生效的盘点批次才可以调整库存！"));
    const QVariantList keys = adjustedKeys(ctx);
    if (keys.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("无数据变动，不用提交数据汇总！"));
    // The batch's rows in one pass of its key: IN lists of row keys cost PostgreSQL a scan each.
    QHash<QString, TDiffRow> rows;
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT md5_key, storageid, commoditycode, checknum - stocknum - adjnum, costprice, saleprice, status"
                                                " FROM kx_checkdiff WHERE nickid = ? AND checkcode = ?"),
                         {ctx.nickid, batch});
    while (q.next())
        rows.insert(q.value(0).toString(), {q.value(1).toString(), q.value(2).toString(), q.value(3).toLongLong(), q.value(4).toString(),
                                            q.value(5).toString(), q.value(6).toInt() != 0});
    // Header keys the client chose, by storage, so that its headers merge with the answer.
    QHash<QString, QString> headerKeys;
    for (const TDeltaChange& ch : KxDocDelta(ctx, QStringLiteral("deltamaster")))
        if (ch.kind == TDeltaChange::Insert)
            headerKeys.insert(ch.values.value(QStringLiteral("storageid")).toString().trimmed(), ch.values.value(QStringLiteral("md5_key")).toString().trimmed().left(64));

    std::vector<QString> order;
    std::map<QString, std::vector<const TDiffRow*>> groups;
    std::map<QString, QVariantList> marked;   // product codes by storage
    for (const QVariant& key : keys) {
        const auto it = rows.constFind(key.toString());
        if (it == rows.constEnd())
            throw TServiceError(kxRefused, QStringLiteral("盘点差异【%1】不存在，请刷新后再调整").arg(key.toString().left(60)));
        if (it->adjusted)
            continue;   // adjusted meanwhile from another workstation
        marked[it->storage] << it->code;
        if (it->quantity == 0)
            continue;
        if (!groups.count(it->storage))
            order.push_back(it->storage);
        groups[it->storage].push_back(&*it);
    }

    const QString who = operatorStamp(ctx), when = now();
    const QString series = QStringLiteral("TZ") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
    QStringList ids;
    for (const QString& storage : order) {
        const std::vector<const TDiffRow*>& lines = groups[storage];
        QString key = headerKeys.value(storage);
        if (key.isEmpty() || KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_adjust WHERE nickid = ? AND md5_key = ?"), {ctx.nickid, key}).isValid())
            key = QUuid::createUuid().toString(QUuid::Id128);
        const QString id = KxNextCode(ctx, series, series, QStringLiteral("kx_adjust"), QStringLiteral("adjustid"));
        KxExec(ctx.db, QStringLiteral("INSERT INTO kx_adjust (nickid, adjustid, md5_key, shopcode, storageid, adjusttype, checkcode, inputren, inputtime,"
                                      " auditren, audittime, status, memo) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 2, ?)"),
               {ctx.nickid, id, key, ctx.shopcode, storage, L(kAdjustType), batch, who, when, who, when, QStringLiteral("盘点批次【%1】").arg(batch)});
        QVariantList values;
        std::vector<TPost> posts;
        posts.reserve(lines.size());
        for (size_t i = 0; i < lines.size(); ++i) {
            const TDiffRow& r = *lines[i];
            values << ctx.nickid << id << int(i) + 1 << key << r.code << r.quantity << money(r.quantity, r.costprice) << money(r.quantity, r.saleprice);
            // The ledger keeps the unit cost the difference was valued at.
            posts.push_back({int(i) + 1, r.code, r.quantity, r.costprice, {}});
        }
        insertRows(ctx.db, QStringLiteral("INSERT INTO kx_adjust_line (nickid, adjustid, seq, md5_key, commoditycode, adjustnum, costprice, saleprice) VALUES "), 8, values);
        std::vector<TMove> moves;
        for (const TPost& p : posts)
            moves.push_back({storage, &p, p.quantity});
        postStock(ctx, kKxAdjust, id, moves, when);
        ids << id;
    }
    const QString mark = QUuid::createUuid().toString(QUuid::Id128);
    for (const auto& [storage, codes] : marked)
        inChunks(ctx.db, QStringLiteral("UPDATE kx_checkdiff SET adjnum = checknum - stocknum, status = 1, adjmark = ? WHERE nickid = ? AND checkcode = ?"
                                        " AND storageid = ? AND status = 0 AND commoditycode IN (%1)"),
                 {mark, ctx.nickid, batch, storage}, codes, [](QSqlQuery&) {});
    QSqlQuery d = KxExec(ctx.db, kDiffSelect + QStringLiteral(" WHERE d.nickid = ? AND d.checkcode = ? AND d.adjmark = ? ORDER BY d.storageid, d.commoditycode"),
                         {ctx.nickid, batch, mark});
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(d, diffColumns()));
    QVariantList a{ctx.nickid};
    for (const QString& id : ids)
        a << id;
    QSqlQuery h = KxExec(ctx.db, kAdjustHeader + QStringLiteral(" WHERE nickid = ? AND adjustid IN (%1) ORDER BY adjustid")
                                                     .arg(ids.isEmpty() ? QStringLiteral("NULL") : placeholders(ids.size(), QStringLiteral("?"))), a);
    ctx.answer.addPacket(QStringLiteral("xmlmaster"), KxQueryPacket(h, adjustHeaderColumns()));
}
}

const std::vector<TMethodDef>& KxCheckMethods()
{
    static const std::vector<TMethodDef> methods = [] {
        std::vector<TMethodDef> m;
        // Count sheets are never audited one by one: the summary closes them.
        for (const TMethodDef& d : KxDocMethods<kKxCheck>("Check"))
            if (qstrcmp(d.name, "Check.Audit") != 0)
                m.push_back(d);
        m.push_back({"CheckBatch.Search", EAccess::Module, ETx::Read, batchSearch});
        m.push_back({"CheckBatch.Status", EAccess::Module, ETx::Read, batchStatus});
        m.push_back({"CheckBatch.Update", EAccess::Module, ETx::Write, batchUpdate});
        m.push_back({"CheckBatch.FrozeStorage", EAccess::Module, ETx::Write, frozeStorage});
        m.push_back({"Check.EmptySheet", EAccess::Module, ETx::Read, emptySheet});
        m.push_back({"Check.SumAudit", EAccess::Module, ETx::Write, sumAudit});
        m.push_back({"Check.AdjStructure", EAccess::Module, ETx::Read, adjustStructure});
        m.push_back({"Check.AdjSearch", EAccess::Module, ETx::Read, diffSearch});
        m.push_back({"Check.AdjAudit", EAccess::Module, ETx::Write, adjustAudit});
        return m;
    }();
    return methods;
}
