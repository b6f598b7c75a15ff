#include "RefundShop.h"

#include "NetShop.h"
#include "market/ItemPicture.h"
#include "market/LiveMarket.h"
#include "market/Refunds.h"
#include "market/Simulator.h"
#include "market/TradeBooks.h"
#include "store/BulkWrite.h"
#include "store/Database.h"
#include "store/DownloadRun.h"
#include "store/DocSql.h"
#include "store/Statistics.h"

#include <QSet>

namespace {
const QString kStamp = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// The marketplace brought up to its clock: buyers' steps, and refunds whose goods never came
// back closed. Returns the marketplace's time.
QDateTime caughtUp(TContext& ctx, TMarketSimulator& market)
{
    TRefundMarket(ctx.db, ctx.nickid, market).expire();
    return TLiveMarket(ctx.db, ctx.nickid, market).catchUp();
}

// Refunds of one state of one account, in runs as orders are (store/DownloadRun.h), by
// (modified, refund_id). Storing a refund twice changes nothing.
void downRefunds(TContext& ctx)
{
    const QString account = KxShopAccount(ctx, QStringLiteral("detailnick"));
    const QString status = ctx.need(QStringLiteral("status")).trimmed();
    const TDownloadPage paging = KxDownloadPage(ctx);
    TMarketSimulator market(ctx.db, ctx.nickid);
    TRefundMarket refunds(ctx.db, ctx.nickid, market);
    TDownloadRun run(ctx, QStringLiteral("kx_refund_sync"), QStringLiteral("run_key"), account, status, paging);
    const bool starting = run.starts();
    if (starting)
        run.start(caughtUp(ctx, market));
    else if (run.answeredEnded(QStringLiteral("退款单下载")))
        return;
    const TRefundMarket::TQuery q{account, status, run.createdFrom(), run.doneUntil(), run.until()};
    if (starting)
        run.total = refunds.count(q);

    QSqlQuery page = refunds.page(q, run.lastModified, run.lastKey, int(paging.pageSize) + 1);
    std::vector<QVariantList> rows = KxReadRefunds(page, int(paging.pageSize) + 1);
    page.finish();
    const bool more = qint64(rows.size()) > paging.pageSize;
    if (more)
        rows.pop_back();
    KxStoreRefunds(ctx, rows, run.until());
    if (!rows.empty()) {
        run.lastModified = rows.back()[18].toString();
        run.lastKey = rows.back()[0].toString();
    }
    if (!more && run.total >= 500)
        KxAnalyse(ctx.db, {QStringLiteral("kx_refund")});
    run.finish(more, qint64(rows.size()));
}

void downRefund(TContext& ctx)
{
    const QString account = KxShopAccount(ctx, QStringLiteral("detailnick"));
    const QString id = ctx.need(QStringLiteral("refund_id")).trimmed();
    TMarketSimulator market(ctx.db, ctx.nickid);
    const QString now = caughtUp(ctx, market).toString(kStamp);
    QSqlQuery r = TRefundMarket(ctx.db, ctx.nickid, market).one(account, id);
    const std::vector<QVariantList> rows = KxReadRefunds(r, 1);
    r.finish();
    if (rows.empty())
        throw TServiceError(kxRefused, QStringLiteral("网店【%1】没有退款单 %2").arg(account, id.left(40)));
    KxStoreRefunds(ctx, rows, now);
}

// The refunds named by "refund_id" (one, or several joined by ","), each answered on its own:
// one the marketplace refuses is named with its reason and the others go on. Refused as a
// whole only when none was taken.
void answerRefunds(TContext& ctx, bool agree)
{
    const QString account = KxShopAccount(ctx, QStringLiteral("detailnick"));
    QStringList ids;
    for (const QString& part : ctx.need(QStringLiteral("refund_id")).split(QLatin1Char(',')))
        if (!part.trimmed().isEmpty() && !ids.contains(part.trimmed()))
            ids << part.trimmed().left(40);
    if (ids.isEmpty())
        throw TServiceError(kxMissingParam, QStringLiteral("缺少参数 refund_id"));
    const TRefundMarket::TReturnAddress to{ctx.param(QStringLiteral("name")).trimmed(),   ctx.param(QStringLiteral("address")).trimmed(),
                                           ctx.param(QStringLiteral("post")).trimmed(),   ctx.param(QStringLiteral("tel")).trimmed(),
                                           ctx.param(QStringLiteral("mobile")).trimmed(), ctx.param(QStringLiteral("remark")).trimmed()};
    const QString message = ctx.param(QStringLiteral("refuse_message")).trimmed();
    if (!agree && message.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("拒绝退款说明不能为空！"));
    if (!agree && message.size() > 500)
        throw TServiceError(kxBadParam, QStringLiteral("拒绝退款说明不能超过 500 个字"));
    if (to.name.size() > 50 || to.address.size() > 200 || to.zip.size() > 10 || to.phone.size() > 30 || to.mobile.size() > 30 || to.remark.size() > 500)
        throw TServiceError(kxBadParam, QStringLiteral("退货地址信息过长"));

    TMarketSimulator market(ctx.db, ctx.nickid);
    TRefundMarket refunds(ctx.db, ctx.nickid, market);
    const QString now = caughtUp(ctx, market).toString(kStamp);
    QStringList done, refused;
    QString last;
    for (const QString& id : ids) {
        try {
            QSqlQuery r = refunds.one(account, id);
            if (!r.next())
                throw TServiceError(kxRefused, QStringLiteral("退款 %1 不是网店【%2】的退款").arg(id, account));
            // Goods coming back need somewhere to go.
            if (agree && r.value(11).toString() == QLatin1String("WAIT_SELLER_AGREE") && r.value(10).toInt() != 0) {
                if (to.name.isEmpty())
                    throw TServiceError(kxRefused, QStringLiteral("卖家姓名不能为空！"));
                if (to.address.isEmpty())
                    throw TServiceError(kxRefused, QStringLiteral("退货地址不能为空！"));
            }
            r.finish();
            last = agree ? refunds.agree(id, to) : refunds.refuse(id, message);
        } catch (const TServiceError& e) {
            refused << QStringLiteral("%1：%2").arg(id, e.Msg);
            if (ids.size() == 1)
                throw;
            continue;
        }
        // The books follow the marketplace.
        QSqlQuery r = refunds.one(account, id);
        const std::vector<QVariantList> rows = KxReadRefunds(r, 1);
        r.finish();
        KxStoreRefunds(ctx, rows, now);
        done << id;
    }
    if (done.isEmpty())
        throw TServiceError(kxRefused, (agree ? QStringLiteral("同意退款失败：") : QStringLiteral("拒绝退款失败：")) + refused.join(QStringLiteral("；")));
    ctx.answer.add(QStringLiteral("done"), done.join(QLatin1Char(',')));
    ctx.answer.add(QStringLiteral("refused"), refused.join(QLatin1Char('\n')));
    if (ids.size() == 1)
        ctx.answer.add(QStringLiteral("status"), last);
}

void agreeRefund(TContext& ctx) { answerRefunds(ctx, true); }
void refuseRefund(TContext& ctx) { answerRefunds(ctx, false); }
}

std::vector<QVariantList> KxReadRefunds(QSqlQuery& q, int limit)
{
    std::vector<QVariantList> rows;
    while (int(rows.size()) < limit && q.next()) {
        QVariantList row;
        for (int c = 0; c < 24; ++c)
            row << q.value(c);
        rows.push_back(row);
    }
    return rows;
}

void KxStoreRefunds(TContext& ctx, const std::vector<QVariantList>& rows, const QString& downloaded)
{
    if (rows.empty())
        return;
    QStringList oids, items;
    for (const QVariantList& r : rows) {
        oids << r[2].toString();
        items << r[3].toString();
    }
    // The product: the one the order line was bound to, else the one its SKU is bound to (an
    // item without SKUs under its own id); a product marked deleted binds nothing new.
    QHash<QString, QString> lineCode;
    QSet<QString> inBooks;
    KxForKeys(ctx.db, QStringLiteral("SELECT oid, commoditycode FROM kx_trade_order WHERE nickid = ? AND oid IN (%1)"), {ctx.nickid}, oids,
              [&](QSqlQuery& q, qsizetype, qsizetype) {
                  while (q.next()) {
                      inBooks.insert(q.value(0).toString());
                      lineCode.insert(q.value(0).toString(), q.value(1).toString());
                  }
              });
    QHash<QString, QString> skuCode;
    KxForKeys(ctx.db, QStringLiteral("SELECT b.num_iid, b.sku_id, b.commoditycode FROM kx_sku_bind b JOIN kx_commodity c ON c.nickid = b.nickid"
                                     " AND c.commoditycode = b.commoditycode WHERE b.nickid = ? AND c.is_del = 0 AND b.num_iid IN (%1)"),
              {ctx.nickid}, items, [&](QSqlQuery& q, qsizetype, qsizetype) {
                  while (q.next())
                      skuCode.insert(q.value(0).toString() + QLatin1Char('/') + q.value(1).toString(), q.value(2).toString());
              });
    QVariantList values;
    for (const QVariantList& r : rows) {
        const QString numIid = r[3].toString(), skuId = r[4].toString();
        QString code = lineCode.value(r[2].toString());
        if (code.isEmpty())
            code = skuCode.value(numIid + QLatin1Char('/') + (skuId.isEmpty() ? numIid : skuId));
        values << r[0] << r[1] << r[2] << numIid << skuId << r[5] << r[6] << KxItemPicturePath(numIid) << code << r[7].toLongLong() << r[8] << r[8]
               << r[9] << (r[10].toInt() != 0 ? 1 : 0);
        for (int c = 11; c < 24; ++c)
            values << r[c];
    }
    const QStringList columns{"refund_id", "tid", "oid", "num_iid", "sku_id", "sku_properties_name", "title", "pic_path", "commoditycode", "num",
                              "total_fee", "payment", "refund_fee", "has_good_return", "status", "order_status", "good_status", "cs_status",
                              "seller_nick", "buyer_nick", "created", "modified", "timeout", "company_name", "sid", "reason", "desc1"};
    QStringList types(columns.size(), QStringLiteral("TEXT"));
    types[9] = types[13] = QStringLiteral("INTEGER");
    types[10] = types[11] = types[12] = QStringLiteral("NUMERIC(18,4)");
    QStringList updates;
    for (const QString& c : columns.mid(1))
        updates << (c == QLatin1String("commoditycode")
                        ? QStringLiteral("commoditycode = CASE WHEN kx_refund.commoditycode <> '' THEN kx_refund.commoditycode ELSE excluded.commoditycode END")
                        : c + QStringLiteral(" = excluded.") + c);
    updates << QStringLiteral("downloaded = excluded.downloaded");
    KxDoc::insertShared(ctx.db, QStringLiteral("kx_refund"), {QStringLiteral("nickid"), QStringLiteral("downloaded")}, {ctx.nickid, downloaded},
                        columns, types, values, QStringLiteral(" ON CONFLICT (nickid, refund_id) DO UPDATE SET ") + updates.join(QStringLiteral(", ")));

    // The order line shows its latest refund; a refund running keeps the order from being
    // picked (and the marketplace from shipping it).
    QSet<QString> tids;
    for (const QVariantList& r : rows) {
        const QString id = r[0].toString(), oid = r[2].toString();
        if (!inBooks.contains(oid))
            continue;
        QSqlQuery u = KxExec(ctx.db, QStringLiteral("UPDATE kx_trade_order SET refund_status = ?, refund_id = ? WHERE nickid = ? AND oid = ?"
                                                    " AND NOT EXISTS (SELECT 1 FROM kx_refund r WHERE r.nickid = ? AND r.oid = ? AND r.refund_id <> ? AND r.created > ?)"),
                             {r[11], id, ctx.nickid, oid, ctx.nickid, oid, id, r[17]});
        if (u.numRowsAffected() > 0)
            tids.insert(r[1].toString());
    }
    for (const QString& tid : tids)
        KxExec(ctx.db, QStringLiteral("UPDATE kx_trade SET refund = CASE WHEN EXISTS (SELECT 1 FROM kx_trade_order o WHERE o.nickid = kx_trade.nickid"
                                      " AND o.tid = kx_trade.tid AND o.refund_status IN ('WAIT_SELLER_AGREE', 'WAIT_BUYER_RETURN_GOODS',"
                                      " 'WAIT_SELLER_CONFIRM_GOODS')) THEN 1 ELSE 0 END WHERE nickid = ? AND tid = ?"),
               {ctx.nickid, tid});
}

const std::vector<TMethodDef>& KxRefundShopMethods()
{
    static const std::vector<TMethodDef> methods = {
        {"NetShop.DownRefunds", EAccess::Module, ETx::Write, downRefunds},
        {"NetShop.DownRefund", EAccess::Module, ETx::Write, downRefund},
        {"NetShop.AgreeRefund", EAccess::Module, ETx::Write, agreeRefund},
        {"NetShop.RefuseRefund", EAccess::Module, ETx::Write, refuseRefund},
    };
    return methods;
}
