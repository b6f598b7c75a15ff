#include "PickingSend.h"

#include "TDecimal.h"
#include "store/DocEngine.h"
#include "store/DocSql.h"
#include "store/DocValues.h"
#include "store/Packet.h"

#include <QHash>
#include <QSet>

#include <optional>

namespace {
void sendModule(TContext& ctx);
void search(TContext& ctx);
void update(TContext& ctx);
}

const std::vector<TMethodDef>& KxPickingSendMethods()
{
    static const std::vector<TMethodDef> methods = {
        {"PickingSend.SendModule", EAccess::Module, ETx::Read, sendModule},
        {"PickingSend.Search", EAccess::Module, ETx::Read, search},
        {"PickingSend.Update", EAccess::Module, ETx::Write, update},
    };
    return methods;
}

namespace {
using Col = TPacketColumn;
using KxDoc::placeholders;

const QString kStale = QStringLiteral("单据已被他人修改，请刷新后再保存！");
constexpr int kMaxRows = 5000;

// The shipping rows of the dialog: what it shows and what its save changes.
const QList<Col>& shippingColumns()
{
    static const QList<Col> cols = {{QStringLiteral("md5_key"), Col::Text, 64},     {QStringLiteral("pickingid"), Col::Text, 20},
                                    {QStringLiteral("buyer_nick"), Col::Text, 50},  {QStringLiteral("receiver_city"), Col::Text, 30},
                                    {QStringLiteral("company_code"), Col::Text, 20}, {QStringLiteral("out_sid"), Col::Text, 50},
                                    {QStringLiteral("out_fee"), Col::Decimal, 0, 2}, {QStringLiteral("out_info"), Col::Text, 100},
                                    {QStringLiteral("issend"), Col::Boolean}};
    return cols;
}

const QString kShippingSelect = QStringLiteral("SELECT md5_key, pickingid, buyer_nick, receiver_city, company_code, out_sid, out_fee, '', issend FROM kx_picking");

void sendModule(TContext& ctx)
{
    QSqlQuery q = KxExec(ctx.db, kShippingSelect + QStringLiteral(" WHERE 1 = 0"));
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, shippingColumns()));
}

// The pickings to print or ship, in number order, with their consignee, carrier and the sender
// chosen (docs/picking.md).
void search(TContext& ctx)
{
    QString where = QStringLiteral("h.nickid = ?");
    QVariantList args{ctx.nickid};
    QStringList ids;
    for (const QString& id : ctx.param(QStringLiteral("pickingid")).split(QLatin1Char(',')))
        if (!id.trimmed().isEmpty())
            ids << id.trimmed();
    if (ids.size() > kMaxRows)
        throw TServiceError(kxBadParam, QStringLiteral("一次最多查询 %1 张拣货单").arg(kMaxRows));
    if (!ids.isEmpty()) {
        where += QStringLiteral(" AND h.pickingid IN (%1)").arg(placeholders(ids.size(), QStringLiteral("?")));
        for (const QString& id : ids)
            args << id;
    }
    const auto condition = [&](const char* param, const char* sql) {
        const QString v = ctx.param(QLatin1String(param)).trimmed();
        if (v.isEmpty())
            return;
        if (v.size() > 50)
            throw TServiceError(kxBadParam, QStringLiteral("参数 %1 太长").arg(QLatin1String(param)));
        where += QLatin1String(sql);
        args << v;
    };
    condition("pickingid1", " AND h.pickingid >= ?");
    condition("pickingid2", " AND h.pickingid <= ?");
    condition("company_code", " AND h.company_code = ?");
    if (!ctx.param(QStringLiteral("status")).trimmed().isEmpty()) {
        where += QStringLiteral(" AND h.status = ?");
        args << ctx.intParam(QStringLiteral("status"), 0);
    }
    if (!ctx.param(QStringLiteral("issend")).trimmed().isEmpty()) {
        where += QStringLiteral(" AND h.issend = ?");
        args << (ctx.intParam(QStringLiteral("issend"), 0) != 0 ? 1 : 0);
    }

    // The sender asked for, else the seller's first; none when the seller keeps none.
    QString renid = ctx.param(QStringLiteral("renid")).trimmed();
    if (renid.isEmpty() || !KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_sendren WHERE nickid = ? AND renid = ?"), {ctx.nickid, renid}).isValid())
        renid = KxScalar(ctx.db, QStringLiteral("SELECT MIN(renid) FROM kx_sendren WHERE nickid = ?"), {ctx.nickid}).toString();

    const qint64 total = KxScalar(ctx.db, QStringLiteral("SELECT COUNT(*) FROM kx_picking h WHERE ") + where, args).toLongLong();
    const qint64 page = ctx.intParam(QStringLiteral("curpage"), 0);
    const qint64 size = ctx.intParam(QStringLiteral("pagesize"), 100);
    if (size < 1 || size > 1000)
        throw TServiceError(kxBadParam, QStringLiteral("参数 pagesize 应在 1 到 1000 之间"));
    QString limit;
    if (page > 0)
        limit = QStringLiteral(" LIMIT %1 OFFSET %2").arg(size).arg((page - 1) * size);

    const QString tids = ctx.store.isSqlite() ? QStringLiteral("group_concat(DISTINCT t.tid)") : QStringLiteral("string_agg(DISTINCT t.tid, ',')");
    const QString sql = QStringLiteral(
        "SELECT h.md5_key, h.pickingid, h.status, h.issend, h.sendtime, h.storageid, COALESCE(s.storagename, ''), h.shopcode,"
        " h.seller_nick, h.buyer_nick,"
        " COALESCE((SELECT %1 FROM kx_picking_line t WHERE t.nickid = h.nickid AND t.pickingid = h.pickingid AND t.tid <> ''), ''),"
        " h.receiver_name, h.receiver_state, h.receiver_city, h.receiver_district, h.receiver_address, h.receiver_zip,"
        " h.receiver_mobile, h.receiver_phone, h.buyer_message, h.seller_memo, h.company_code,"
        " COALESCE(lg.logistics_name, lc.logistics_name, ''), h.out_sid, h.out_fee, h.post_fee, h.cod_fee, h.seller_cod_fee,"
        " h.buyer_cod_fee, h.pickingmoney,"
        " CAST(COALESCE((SELECT SUM(n.num) FROM kx_picking_line n WHERE n.nickid = h.nickid AND n.pickingid = h.pickingid), 0) AS INTEGER),"
        " COALESCE(r.renid, ''), COALESCE(r.sender_name, ''), COALESCE(r.sender_address, ''), COALESCE(r.sender_zip, ''),"
        " COALESCE(r.sender_mobile, ''), COALESCE(r.sender_phone, ''), COALESCE(r.memo1, ''), COALESCE(r.memo2, ''),"
        " COALESCE(r.memo3, ''), ''"
        " FROM kx_picking h"
        " LEFT JOIN kx_storage s ON s.nickid = h.nickid AND s.storageid = h.storageid"
        " LEFT JOIN kx_logistics lg ON lg.nickid = h.nickid AND lg.logistics_code = h.company_code"
        " LEFT JOIN kx_logistics_company lc ON lc.nickid = h.nickid AND lc.logistics_code = h.company_code"
        " LEFT JOIN kx_sendren r ON r.nickid = h.nickid AND r.renid = ?"
        " WHERE %2 ORDER BY h.pickingid%3").arg(tids, where, limit);
    static const QList<Col> columns = [] {
        QList<Col> c;
        const auto text = [&](const char* n, int size) { c.append({QLatin1String(n), Col::Text, size}); };
        const auto money = [&](const char* n) { c.append({QLatin1String(n), Col::Decimal, 0, 2}); };
        text("md5_key", 64);
        text("pickingid", 20);
        c.append({QStringLiteral("status"), Col::Integer});
        c.append({QStringLiteral("issend"), Col::Boolean});
        text("sendtime", 20);
        text("storageid", 20);
        text("storagename", 100);
        text("shopcode", 20);
        text("seller_nick", 50);
        text("buyer_nick", 50);
        text("tids", 200);
        for (const char* f : {"receiver_name", "receiver_state", "receiver_city", "receiver_district"})
            text(f, 50);
        text("receiver_address", 200);
        text("receiver_zip", 10);
        text("receiver_mobile", 30);
        text("receiver_phone", 30);
        text("buyer_message", 4000);
        text("seller_memo", 4000);
        text("company_code", 20);
        text("logistics_name", 100);
        text("out_sid", 50);
        for (const char* f : {"out_fee", "post_fee", "cod_fee", "seller_cod_fee", "buyer_cod_fee", "pickingmoney"})
            money(f);
        c.append({QStringLiteral("num"), Col::Integer});
        text("renid", 20);
        text("sender_name", 50);
        text("sender_address", 200);
        text("sender_zip", 10);
        text("sender_mobile", 20);
        text("sender_phone", 30);
        for (const char* f : {"memo1", "memo2", "memo3"})
            text(f, 200);
        text("out_info", 100);
        return c;
    }();
    QSqlQuery q = KxExec(ctx.db, sql, QVariantList{renid} + args);
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, columns));
    ctx.answer.add(QStringLiteral("recordcount"), total);
    ctx.answer.add(QStringLiteral("pagecount"), page > 0 ? qMax<qint64>(1, (total + size - 1) / size) : 1);
}

// Freight as stored: blank is 0; anything but 0 up to 99,999,999.99 is refused.
QString freight(const QString& pickingid, const QString& v)
{
    if (v.trimmed().isEmpty())
        return QStringLiteral("0");
    const std::optional<TDecimal> d = TDecimal::Parse(v.trimmed());
    const std::optional<TDecimal> r = d ? d->Rescaled(4) : std::nullopt;
    if (!r || r->Mantissa() < 0 || *r > *TDecimal::Parse(QStringLiteral("99999999.99")))
        throw TServiceError(kxRefused, QStringLiteral("拣货单【%1】的快递运费应为 0 到 99999999.99 的金额：%2").arg(pickingid, v.left(20)));
    return r->ToString();
}

struct TWaybill {
    QString pickingid, company, outSid, fee;
    bool numberChanged = false;
};

// The carrier, waybill number and freight of the shipping rows ("delta"), checked against
// what the dialog loaded; no two pickings of the seller may end with one carrier and number.
void update(TContext& ctx)
{
    const QList<TDeltaChange> changes = KxDocDelta(ctx, QStringLiteral("delta"));
    if (changes.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("没有需要保存的物流公司和运单号"));
    if (changes.size() > kMaxRows)
        throw TServiceError(kxRefused, QStringLiteral("一次最多保存 %1 张拣货单的物流信息").arg(kMaxRows));
    std::vector<TWaybill> rows;
    QHash<QString, size_t> byId;
    for (const TDeltaChange& ch : changes) {
        if (ch.kind != TDeltaChange::Update)
            throw TServiceError(kxRefused, QStringLiteral("发货信息只能修改物流公司、运单号和快递运费"));
        const QString id = ch.original.value(QStringLiteral("pickingid")).toString().trimmed();
        if (id.isEmpty() || byId.contains(id))
            throw TServiceError(kxRefused, id.isEmpty() ? QStringLiteral("发货信息缺少拣货单号") : QStringLiteral("拣货单【%1】重复提交").arg(id.left(40)));
        QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT company_code, out_sid, out_fee, issend FROM kx_picking WHERE nickid = ? AND pickingid = ?") + KxDoc::forUpdate(ctx.db),
                             {ctx.nickid, id});
        if (!q.next())
            throw TServiceError(kxRefused, QStringLiteral("拣货单【%1】不存在").arg(id.left(40)));
        TWaybill w{id, q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
        const bool shipped = q.value(3).toInt() != 0;
        q.finish();
        bool changed = false;
        const auto take = [&](const char* field, QString& stored, bool money) {
            const QString f = QLatin1String(field);
            if (!ch.changed.contains(f))
                return;
            const QVariant loaded = ch.original.value(f);
            if (money ? !KxDoc::sameDecimal(loaded.isValid() ? loaded : QVariant(0), stored) : loaded.toString().trimmed() != stored)
                throw TServiceError(kxRefused, kStale);
            const QString now = ch.values.value(f).toString().trimmed();
            changed = changed || (money ? !KxDoc::sameDecimal(now.isEmpty() ? QVariant(0) : QVariant(now), stored) : now != stored);
            stored = now;
        };
        const QString company = w.company, number = w.outSid;
        take("company_code", w.company, false);
        take("out_sid", w.outSid, false);
        take("out_fee", w.fee, true);
        if (shipped && changed)
            throw TServiceError(kxRefused, QStringLiteral("拣货单【%1】已发货，不能再修改物流公司和运单号！").arg(id));
        if (w.company.size() > 20 || w.outSid.size() > 50)
            throw TServiceError(kxRefused, QStringLiteral("拣货单【%1】的物流公司编码不能超过 20 个字符，运单号不能超过 50 个字符").arg(id));
        if (!w.company.isEmpty() && w.company != company
            && !KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_logistics WHERE nickid = ? AND logistics_code = ?"
                                                " UNION SELECT 1 FROM kx_logistics_company WHERE nickid = ? AND logistics_code = ?"),
                         {ctx.nickid, w.company, ctx.nickid, w.company}).isValid())
            throw TServiceError(kxRefused, QStringLiteral("物流公司【%1】不存在").arg(w.company));
        w.fee = freight(id, w.fee);
        w.numberChanged = w.company != company || w.outSid != number;
        byId.insert(id, rows.size());
        rows.push_back(w);
    }

    // One carrier and number on one picking only: within the save, and against the others.
    QHash<QString, QString> holder;
    for (const TWaybill& w : rows) {
        if (w.outSid.isEmpty())
            continue;
        const QString key = w.company + QLatin1Char('\x1f') + w.outSid;
        if (holder.contains(key))
            throw TServiceError(kxRefused, QStringLiteral("运单号【%1】重复：拣货单【%2】和【%3】，同一物流公司的运单号不能重复！")
                                               .arg(w.outSid, holder.value(key), w.pickingid));
        holder.insert(key, w.pickingid);
        if (!w.numberChanged)
            continue;
        QSqlQuery other = KxExec(ctx.db, QStringLiteral("SELECT pickingid FROM kx_picking WHERE nickid = ? AND company_code = ? AND out_sid = ?"),
                                 {ctx.nickid, w.company, w.outSid});
        while (other.next())
            if (!byId.contains(other.value(0).toString()))
                throw TServiceError(kxRefused, QStringLiteral("运单号【%1】已用于拣货单【%2】，同一物流公司的运单号不能重复！")
                                                   .arg(w.outSid, other.value(0).toString()));
    }

    // Numbers moving between pickings of this save are let go first, so the unique index
    // never sees one number on two rows halfway.
    for (const TWaybill& w : rows)
        if (w.numberChanged)
            KxExec(ctx.db, QStringLiteral("UPDATE kx_picking SET out_sid = '' WHERE nickid = ? AND pickingid = ?"), {ctx.nickid, w.pickingid});
    QVariantList ids{ctx.nickid};
    for (const TWaybill& w : rows) {
        KxExec(ctx.db, QStringLiteral("UPDATE kx_picking SET company_code = ?, out_sid = ?, out_fee = ? WHERE nickid = ? AND pickingid = ?"),
               {w.company, w.outSid, w.fee, ctx.nickid, w.pickingid});
        ids << w.pickingid;
    }
    // The answer leaves out the preview text, which is the dialog's own.
    QList<Col> answered = shippingColumns();
    answered.removeAt(7);
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT md5_key, pickingid, buyer_nick, receiver_city, company_code, out_sid, out_fee, issend"
                                                " FROM kx_picking WHERE nickid = ? AND pickingid IN (%1) ORDER BY pickingid")
                                     .arg(placeholders(rows.size(), QStringLiteral("?"))), ids);
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, answered));
}

}
