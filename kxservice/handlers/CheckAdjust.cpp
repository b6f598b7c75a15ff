#include "CheckAdjust.h"

#include "CheckBatch.h"
#include "store/Paging.h"
#include "store/DocEngine.h"
#include "store/DocGenerated.h"
#include "store/DocKinds.h"
#include "store/DocSql.h"
#include "store/DocValues.h"

#include "DataPacket.h"

#include <QHash>
#include <QUuid>
#include <map>

using namespace KxDoc;
using Col = TPacketColumn;

namespace {

const char* const kAdjustType = "盘点库存调整";

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

// The batch's difference rows by key, read in one pass of the batch: IN lists of row keys
// cost PostgreSQL a scan each.
QHash<QString, TDiffRow> diffRows(TContext& ctx, const QString& batch)
{
    QHash<QString, TDiffRow> rows;
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT md5_key, storageid, commoditycode, checknum - stocknum - adjnum, costprice, saleprice, status"
                                                " FROM kx_checkdiff WHERE nickid = ? AND checkcode = ?"),
                         {ctx.nickid, batch});
    while (q.next())
        rows.insert(q.value(0).toString(), {q.value(1).toString(), q.value(2).toString(), q.value(3).toLongLong(), q.value(4).toString(),
                                            q.value(5).toString(), q.value(6).toInt() != 0});
    return rows;
}

// The ticked rows grouped by storage, in the order the storages first appear: the lines of
// each storage's document, and every product the call marks adjusted (a row without a
// difference writes no line).
struct TAdjustPlan {
    std::vector<QString> order;
    std::map<QString, std::vector<TGeneratedLine>> lines;
    std::map<QString, QVariantList> marked;
};

TAdjustPlan planOf(const QHash<QString, TDiffRow>& rows, const QVariantList& keys)
{
    TAdjustPlan plan;
    for (const QVariant& key : keys) {
        const auto it = rows.constFind(key.toString());
        if (it == rows.constEnd())
            throw TServiceError(kxRefused, QStringLiteral("盘点差异【%1】不存在，请刷新后再调整").arg(key.toString().left(60)));
        if (it->adjusted)
            continue;   // adjusted meanwhile from another workstation
        plan.marked[it->storage] << it->code;
        if (it->quantity == 0)
            continue;
        if (!plan.lines.count(it->storage))
            plan.order.push_back(it->storage);
        // The line carries the difference as money; the ledger keeps the unit cost it was valued at.
        plan.lines[it->storage].push_back({it->code, it->quantity, {money(it->quantity, it->costprice), money(it->quantity, it->saleprice)}, it->costprice});
    }
    return plan;
}

// Header keys the client chose, by storage, so that its headers merge with the answer.
QHash<QString, QString> headerKeys(const TContext& ctx)
{
    QHash<QString, QString> keys;
    for (const TDeltaChange& ch : KxDocDelta(ctx, QStringLiteral("deltamaster")))
        if (ch.kind == TDeltaChange::Insert)
            keys.insert(ch.values.value(QStringLiteral("storageid")).toString().trimmed(), ch.values.value(QStringLiteral("md5_key")).toString().trimmed());
    return keys;
}

// Answers the rows the call adjusted (xmldata) and the documents it wrote (xmlmaster). The
// rows carry only what an adjustment changes, by key: the list merges them into rows it has,
// and a whole stocktake's rows with every column would cost more than the adjustment itself.
void answerAdjusted(TContext& ctx, const QString& batch, const QString& mark, const QStringList& ids)
{
    QSqlQuery d = KxExec(ctx.db, QStringLiteral(
        "SELECT d.md5_key, d.stocknum + d.adjnum, d.checknum - d.stocknum - d.adjnum, ROUND((d.stocknum + d.adjnum) * d.costprice, 2),"
        " ROUND((d.checknum - d.stocknum - d.adjnum) * d.costprice, 2), ROUND((d.stocknum + d.adjnum) * d.saleprice, 2),"
        " ROUND((d.checknum - d.stocknum - d.adjnum) * d.saleprice, 2), 0, d.status FROM kx_checkdiff d"
        " WHERE d.nickid = ? AND d.checkcode = ? AND d.adjmark = ? ORDER BY d.storageid, d.commoditycode"),
                         {ctx.nickid, batch, mark});
    static const QList<Col> changed = [] {
        QList<Col> c{{QStringLiteral("md5_key"), Col::Text, 64}};
        for (const char* f : {"stocknum", "checkstocknum", "stockmoney", "checkstockmoney", "stocksales", "checkstocksales"})
            c << Col{L(f), Col::Decimal};
        c << Col{QStringLiteral("isadj"), Col::Boolean} << Col{QStringLiteral("status"), Col::Boolean};
        return c;
    }();
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(d, changed));
    QVariantList a{ctx.nickid};
    for (const QString& id : ids)
        a << id;
    QSqlQuery h = KxExec(ctx.db, kAdjustHeader + QStringLiteral(" WHERE nickid = ? AND adjustid IN (%1) ORDER BY adjustid")
                                                     .arg(ids.isEmpty() ? QStringLiteral("NULL") : placeholders(ids.size(), QStringLiteral("?"))), a);
    ctx.answer.addPacket(QStringLiteral("xmlmaster"), KxQueryPacket(h, adjustHeaderColumns()));
}

} // namespace

// Turns the ticked difference rows into audited stock adjustments of the effective batch, one
// per storage in the order the storages first appear, and posts them; the rows become
// adjusted. The service reads the differences from its own rows, not from the lines sent:
// the adjustment lines carry the difference at cost and at sale price as money. Rows without
// a difference are marked adjusted and write no line. All of it in the call's transaction.
void KxCheckAdjustAudit(TContext& ctx)
{
    const QString batch = KxCheckEffectiveBatch(ctx);
    if (batch.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("只有生效的盘点批次才可以调整库存！"));
    // Finishing the batch waits for this call, or this call sees it finished.
    if (KxExec(ctx.db, QStringLiteral("UPDATE kx_checkbatch SET status = status WHERE nickid = ? AND checkcode = ? AND status = 1"), {ctx.nickid, batch}).numRowsAffected() != 1)
        throw TServiceError(kxRefused, QStringLiteral("只有生效的盘点批次才可以调整库存！"));
    const QVariantList keys = adjustedKeys(ctx);
    if (keys.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("无数据变动，不用提交数据汇总！"));
    const TAdjustPlan plan = planOf(diffRows(ctx, batch), keys);
    const QHash<QString, QString> keysOf = headerKeys(ctx);
    const QString who = KxOperatorStamp(ctx), when = KxLocalNowText();
    QStringList ids;
    for (const QString& storage : plan.order) {
        TGeneratedDoc doc{keysOf.value(storage), storage,
                          {{QStringLiteral("adjusttype"), L(kAdjustType)}, {QStringLiteral("checkcode"), batch}, {QStringLiteral("memo"), QStringLiteral("盘点批次【%1】").arg(batch)}},
                          plan.lines.at(storage)};
        ids << KxDocWriteAudited(ctx, kKxAdjust, doc, who, when);
    }
    const QString mark = QUuid::createUuid().toString(QUuid::Id128);
    for (const auto& [storage, codes] : plan.marked)
        inChunks(ctx.db, QStringLiteral("UPDATE kx_checkdiff SET adjnum = checknum - stocknum, status = 1, adjmark = ? WHERE nickid = ? AND checkcode = ?"
                                        " AND storageid = ? AND status = 0 AND commoditycode IN (%1)"),
                 {mark, ctx.nickid, batch, storage}, codes, [](QSqlQuery&) {});
    answerAdjusted(ctx, batch, mark, ids);
}

// A page of the difference list of batch "checkcode"; "storageid", "commoditycode" narrow it,
// "isdiff" 1 keeps the rows with a difference.
void KxCheckDiffSearch(TContext& ctx)
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

// The empty adjustment headers and lines the adjustment form fills.
void KxCheckAdjustStructure(TContext& ctx)
{
    QSqlQuery h = KxExec(ctx.db, kAdjustHeader + QStringLiteral(" WHERE 1 = 0"));
    ctx.answer.addPacket(QStringLiteral("xmlmaster"), KxQueryPacket(h, adjustHeaderColumns()));
    QSqlQuery l = KxExec(ctx.db, QStringLiteral("SELECT md5_key, adjustid, seq, commoditycode, adjustnum, costprice, saleprice FROM kx_adjust_line WHERE 1 = 0"));
    ctx.answer.addPacket(QStringLiteral("xmldetail"), KxQueryPacket(l, {{QStringLiteral("md5_key"), Col::Text, 64}, {QStringLiteral("adjustid"), Col::Text, 20},
                                                                         {QStringLiteral("seq"), Col::Integer}, {QStringLiteral("commoditycode"), Col::Text, 20},
                                                                         {QStringLiteral("adjustnum"), Col::Decimal}, {QStringLiteral("costprice"), Col::Decimal},
                                                                         {QStringLiteral("saleprice"), Col::Decimal}}));
}
