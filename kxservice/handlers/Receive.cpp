#include "Receive.h"

#include "MasterData.h"
#include "store/Packet.h"
#include "TDecimal.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QSqlError>
#include <algorithm>
#include <limits>
#include <optional>

namespace {
using Col = TPacketColumn;

// Headers (h) with their storage's name. A document has one storage at most, so the join
// never changes which or how many documents a query finds.
const char* const kHeaderFrom =
    "SELECT h.md5_key, h.shopcode, h.receiveid, h.suppliercode, h.suppliername, h.storageid, s.storagename,"
    " h.receivemoney, h.inputren, h.inputtime, h.auditren, h.audittime, h.status, h.memo FROM %1"
    " LEFT JOIN kx_storage s ON s.nickid = h.nickid AND s.storageid = h.storageid";

// The list's order; the index kx_receive_list holds it, with the number as tie-break.
const char* const kListOrder = "h.inputtime DESC, h.receiveid DESC";

const QList<Col>& headerColumns()
{
    static const QList<Col> cols = {
        {QStringLiteral("md5_key"), Col::Text, 64}, {QStringLiteral("shopcode"), Col::Text, 20},
        {QStringLiteral("receiveid"), Col::Text, 20}, {QStringLiteral("suppliercode"), Col::Text, 20},
        {QStringLiteral("suppliername"), Col::Text, 200}, {QStringLiteral("storageid"), Col::Text, 20},
        {QStringLiteral("storagename"), Col::Text, 100}, {QStringLiteral("receivemoney"), Col::Decimal},
        {QStringLiteral("inputren"), Col::Text, 50}, {QStringLiteral("inputtime"), Col::Text, 20},
        {QStringLiteral("auditren"), Col::Text, 50}, {QStringLiteral("audittime"), Col::Text, 20},
        {QStringLiteral("status"), Col::Integer}, {QStringLiteral("memo"), Col::Text, 100}};
    return cols;
}

const QList<Col>& lineColumns()
{
    static const QList<Col> cols = {
        {QStringLiteral("md5_key"), Col::Text, 64}, {QStringLiteral("receiveid"), Col::Text, 20},
        {QStringLiteral("seq"), Col::Integer}, {QStringLiteral("commoditycode"), Col::Text, 20},
        {QStringLiteral("barcode"), Col::Text, 30}, {QStringLiteral("commodityname"), Col::Text, 200},
        {QStringLiteral("propstyle"), Col::Text, 50}, {QStringLiteral("propcolor"), Col::Text, 50},
        {QStringLiteral("propsize"), Col::Text, 50}, {QStringLiteral("receivenum"), Col::Decimal},
        {QStringLiteral("costprice"), Col::Decimal}, {QStringLiteral("saleprice"), Col::Decimal}};
    return cols;
}

void addHeader(TContext& ctx, const QString& name, const QString& receiveid)
{
    QSqlQuery q = KxExec(ctx.db, QString::fromLatin1(kHeaderFrom).arg(QStringLiteral("kx_receive h"))
                                     + QStringLiteral(" WHERE h.nickid = ? AND h.receiveid = ?"), {ctx.nickid, receiveid});
    ctx.answer.addPacket(name, KxQueryPacket(q, headerColumns()));
}

void addLines(TContext& ctx, const QString& name, const QString& receiveid)
{
    QSqlQuery q = KxExec(ctx.db, QStringLiteral(
        "SELECT l.md5_key, l.receiveid, l.seq, l.commoditycode, c.barcode, c.commodityname, c.propstyle, c.propcolor,"
        " c.propsize, l.receivenum, l.costprice, l.saleprice FROM kx_receive_line l"
        " LEFT JOIN kx_commodity c ON c.nickid = l.nickid AND c.commoditycode = l.commoditycode"
        " WHERE l.nickid = ? AND l.receiveid = ? ORDER BY l.seq"), {ctx.nickid, receiveid});
    ctx.answer.addPacket(name, KxQueryPacket(q, lineColumns()));
}

QString likePattern(const QString& v)
{
    QString p = v;
    p.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('%'), QLatin1String("\\%")).replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + p + QLatin1Char('%');
}

QString dayParam(const TContext& ctx, const QString& name)
{
    const QString v = ctx.param(name).trimmed();
    if (v.isEmpty())
        return v;
    const QDate day = QDate::fromString(v.left(10), QStringLiteral("yyyy-MM-dd"));
    if (!day.isValid())
        throw TServiceError(kxBadParam, QStringLiteral("参数 %1 应为日期（yyyy-MM-dd）：%2").arg(name, v.left(40)));
    return day.toString(QStringLiteral("yyyy-MM-dd"));
}

// A page of the list: the page's numbers are found on kx_receive alone, in the order of its
// index kx_receive_list (from the index only when no condition needs more), and only those
// documents are then read and joined to their storage; counting needs no join either. Read
// and joined first, a deep page read and joined every document it skipped.
void search(TContext& ctx)
{
    QString where = QStringLiteral("h.nickid = ?");
    QVariantList args{ctx.nickid};
    const auto text = [&](const char* param, const char* column, bool contains) {
        const QString v = ctx.param(QString::fromLatin1(param)).trimmed();
        if (v.isEmpty())
            return;
        where += QStringLiteral(" AND h.") + QString::fromLatin1(column)
            + (contains ? QStringLiteral(" LIKE ? ESCAPE '\\'") : QStringLiteral(" = ?"));
        args << (contains ? likePattern(v) : v);
    };
    text("receiveid", "receiveid", true);
    text("suppliercode", "suppliercode", false);
    text("suppliername", "suppliername", true);
    text("storageid", "storageid", false);
    text("memo", "memo", true);
    if (!ctx.param(QStringLiteral("status")).trimmed().isEmpty()) {
        where += QStringLiteral(" AND h.status = ?");
        args << ctx.intParam(QStringLiteral("status"), 0);
    }
    // The days compare with the time stamps' text ("yyyy-MM-dd HH:mm:ss") as a range of the
    // index: from the first day's date up to, not including, the date of the day after the last.
    const QString from = dayParam(ctx, QStringLiteral("datefrom")), to = dayParam(ctx, QStringLiteral("dateto"));
    if (!from.isEmpty()) {
        where += QStringLiteral(" AND h.inputtime >= ?");
        args << from;
    }
    if (!to.isEmpty()) {
        const QString after = QDate::fromString(to, QStringLiteral("yyyy-MM-dd")).addDays(1).toString(QStringLiteral("yyyy-MM-dd"));
        if (after.size() == 10) {   // past the year 9999 every stamp is before it
            where += QStringLiteral(" AND h.inputtime < ?");
            args << after;
        }
    }

    const TPage page = KxPageOf(ctx);
    const QString order = QString::fromLatin1(kListOrder);
    QString sql;
    QVariantList a = args;
    qint64 offset = 0;
    if (page.page > 0) {
        offset = (page.page - 1) * page.size;
        sql = QString::fromLatin1(kHeaderFrom).arg(QStringLiteral("(SELECT h.receiveid FROM kx_receive h WHERE ") + where
                                                   + QStringLiteral(" ORDER BY ") + order + QStringLiteral(" LIMIT ? OFFSET ?) k"
                                                   " JOIN kx_receive h ON h.nickid = ? AND h.receiveid = k.receiveid"));
        a << page.size << offset << ctx.nickid;
    } else {
        sql = QString::fromLatin1(kHeaderFrom).arg(QStringLiteral("kx_receive h")) + QStringLiteral(" WHERE ") + where;
    }
    QSqlQuery q = KxExec(ctx.db, sql + QStringLiteral(" ORDER BY ") + order, a);
    int rows = 0;
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, headerColumns(), &rows));
    // Every row, or a page that is not full, tells the count: only other pages count.
    qint64 total = offset + rows;
    if (page.page > 0 && (rows == page.size || (rows == 0 && offset > 0)))
        total = KxScalar(ctx.db, QStringLiteral("SELECT COUNT(*) FROM kx_receive h WHERE ") + where, args).toLongLong();
    ctx.answer.add(QStringLiteral("recordcount"), total);
    ctx.answer.add(QStringLiteral("pagecount"), page.page > 0 ? qMax<qint64>(1, (total + page.size - 1) / page.size) : 1);
}

void listDetail(TContext& ctx)
{
    addLines(ctx, QStringLiteral("xmldata"), ctx.need(QStringLiteral("receiveid")).trimmed());
}

// One document for the edit form; no number gives the empty structures of a new one.
void load(TContext& ctx)
{
    const QString id = ctx.param(QStringLiteral("receiveid")).trimmed();
    if (!id.isEmpty() && !KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_receive WHERE nickid = ? AND receiveid = ?"), {ctx.nickid, id}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("采购入库单【%1】不存在").arg(id.left(40)));
    addHeader(ctx, QStringLiteral("xmlmaster"), id);
    addLines(ctx, QStringLiteral("xmldetail"), id);
}

void docStatus(TContext& ctx)
{
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT 0, '新建' UNION ALL SELECT 1, '已保存' UNION ALL SELECT 2, '已审核'"));
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, {{QStringLiteral("status"), Col::Integer}, {QStringLiteral("statusname"), Col::Text, 20}}));
}

// "[operid]name", as the client stamps its documents.
QString stamp(TContext& ctx)
{
    const QString name = KxScalar(ctx.db, QStringLiteral("SELECT opername FROM kx_operator WHERE nickid = ? AND operid = ?"),
                                  {ctx.nickid, ctx.operid}).toString();
    return QLatin1Char('[') + ctx.operid + QLatin1Char(']') + name;
}

QString now()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

std::optional<TDecimal> decimalOf(const QVariant& v)
{
    if (v.metaType() == QMetaType::fromType<TDecimal>())
        return v.value<TDecimal>();
    return TDecimal::Parse(v.toString().trimmed());
}

// Stock is kept in whole pieces, so a received quantity is a whole number, never negative.
qint64 quantityOf(const QVariant& v, int seq)
{
    if (!v.isValid() || v.isNull())
        return 0;
    const std::optional<TDecimal> d = decimalOf(v);
    const std::optional<TDecimal> whole = d ? d->Rescaled(0) : std::nullopt;
    if (!d || !whole || *whole != *d || whole->Mantissa() < 0)
        throw TServiceError(kxRefused, QStringLiteral("第 %1 行的数量【%2】无效：应为不小于零的整数").arg(seq).arg(v.toString().left(20)));
    return whole->Mantissa();
}

struct THeader {
    bool exists = false;
    QString receiveid, shopcode, suppliercode, storageid, memo;
    int status = 0;
};

THeader headerByKey(TContext& ctx, const QString& key)
{
    THeader h;
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT receiveid, shopcode, suppliercode, storageid, memo, status FROM kx_receive"
                                                " WHERE nickid = ? AND md5_key = ?"), {ctx.nickid, key});
    if (q.next()) {
        h.exists = true;
        h.receiveid = q.value(0).toString();
        h.shopcode = q.value(1).toString();
        h.suppliercode = q.value(2).toString();
        h.storageid = q.value(3).toString();
        h.memo = q.value(4).toString();
        h.status = q.value(5).toInt();
    }
    return h;
}

// Saved documents change only while open (status 1); the client makes the same test, the
// service repeats it so that no second client can change an audited document.
void requireOpen(const THeader& h)
{
    if (h.status == 2)
        throw TServiceError(kxRefused, QStringLiteral("采购入库单【%1】已审核，不能再改动！").arg(h.receiveid));
    if (h.status != 0 && h.status != 1)
        throw TServiceError(kxRefused, QStringLiteral("非新建状态的单据，不能再改动！"));
}

struct TLine {
    int origSeq = -1;   // the saved line's number; -1 for a line new in this save
    qint64 seq = 0;
    QString code;
    QVariant quantity;
    QString costprice, saleprice;
    bool reprice = false;  // product new or changed: prices come from the product
    bool deleted = false;
};

QString keyOf(const TDeltaChange& ch)
{
    return (ch.kind == TDeltaChange::Delete ? ch.original : ch.values).value(QStringLiteral("md5_key")).toString().trimmed();
}

// One statement prepared once and run for many sets of values: a 500-line document would
// otherwise prepare (and on PostgreSQL also deallocate) a statement per line.
class TPrepared {
public:
    TPrepared(QSqlDatabase& db, const QString& sql) : m_q(db), m_sql(sql)
    {
        m_q.setForwardOnly(db.driverName() == QLatin1String("QSQLITE"));
        m_q.setNumericalPrecisionPolicy(QSql::HighPrecision);
        if (!m_q.prepare(sql))
            throw TDbError(sql + QStringLiteral(" -- ") + m_q.lastError().text());
    }
    QSqlQuery& exec(const QVariantList& args)
    {
        for (qsizetype i = 0; i < args.size(); ++i) {
            // As KxExec: a null text binds as empty text, only an invalid QVariant as NULL.
            const QVariant& v = args[i];
            m_q.bindValue(int(i), v.metaType().id() == QMetaType::QString && v.toString().isNull() ? QVariant(QStringLiteral("")) : v);
        }
        if (!m_q.exec())
            throw TDbError(m_sql + QStringLiteral(" -- ") + m_q.lastError().text());
        return m_q;
    }

private:
    QSqlQuery m_q;
    QString m_sql;
};

QString placeholders(qsizetype count, const QString& one)
{
    return QStringList(count, one).join(QStringLiteral(", "));
}

// Values bound per statement stay under 999, the lowest limit a SQLite build may have.
constexpr qsizetype kInListSize = 250;
constexpr qsizetype kLinesPerInsert = 100;

// Runs `sql`, whose "%1" is an IN list, after the leading `args` for `items` in chunks. Every
// chunk is padded to the same length with its last item, so one prepared statement serves all.
template <typename F>
void inChunks(QSqlDatabase& db, const QString& sql, const QVariantList& args, const QVariantList& items, F&& each)
{
    if (items.isEmpty())
        return;
    const qsizetype chunk = std::min(kInListSize, items.size());
    TPrepared q(db, sql.arg(placeholders(chunk, QStringLiteral("?"))));
    for (qsizetype i = 0; i < items.size(); i += chunk) {
        QVariantList a = args;
        for (qsizetype k = 0; k < chunk; ++k)
            a << items[std::min(i + k, items.size() - 1)];
        each(q.exec(a));
    }
}

struct TPrices {
    QString costprice, saleprice;
};

// The prices of the products the lines name, in a few queries rather than one per line.
QHash<QString, TPrices> productPrices(TContext& ctx, const std::vector<TLine>& lines)
{
    QSet<QString> seen;
    QVariantList codes;
    for (const TLine& l : lines)
        if (!l.code.isEmpty() && !seen.contains(l.code)) {
            seen.insert(l.code);
            codes << l.code;
        }
    QHash<QString, TPrices> out;
    inChunks(ctx.db, QStringLiteral("SELECT commoditycode, costprice, saleprice FROM kx_commodity WHERE nickid = ? AND commoditycode IN (%1)"),
             {ctx.nickid}, codes, [&](QSqlQuery& r) {
                 while (r.next())
                     out.insert(r.value(0).toString(), {r.value(1).toString(), r.value(2).toString()});
             });
    return out;
}

bool sameDecimal(const QString& a, const QString& b)
{
    const std::optional<TDecimal> x = TDecimal::Parse(a), y = TDecimal::Parse(b);
    return x && y ? *x == *y : a == b;
}

// Whether the stored line already holds what is about to be written at its number.
bool unchanged(const TLine& stored, const TLine& line, qint64 quantity)
{
    const std::optional<TDecimal> q = decimalOf(stored.quantity);
    return stored.code == line.code && q && *q == TDecimal::FromInteger(quantity)
        && sameDecimal(stored.costprice, line.costprice) && sameDecimal(stored.saleprice, line.saleprice);
}

// Writes the lines numbered 1..n over the stored ones: a line equal to the one stored under
// its number stays, numbers past the end go, every other line is removed and inserted anew.
void writeLines(TContext& ctx, const QString& receiveid, const QString& key, const std::vector<TLine>& lines,
                const std::vector<qint64>& quantities, const QHash<int, TLine>& stored)
{
    std::vector<size_t> write;
    QVariantList replaced;
    for (size_t i = 0; i < lines.size(); ++i) {
        const int seq = int(i) + 1;
        const auto s = stored.constFind(seq);
        if (s != stored.constEnd()) {
            if (unchanged(*s, lines[i], quantities[i]))
                continue;
            replaced << seq;
        }
        write.push_back(i);
    }
    if (stored.size() > qsizetype(lines.size()))
        KxExec(ctx.db, QStringLiteral("DELETE FROM kx_receive_line WHERE nickid = ? AND receiveid = ? AND seq > ?"),
               {ctx.nickid, receiveid, qint64(lines.size())});
    inChunks(ctx.db, QStringLiteral("DELETE FROM kx_receive_line WHERE nickid = ? AND receiveid = ? AND seq IN (%1)"),
             {ctx.nickid, receiveid}, replaced, [](QSqlQuery&) {});

    const QString insert = QStringLiteral("INSERT INTO kx_receive_line (nickid, receiveid, seq, md5_key, commoditycode, receivenum,"
                                          " costprice, saleprice) VALUES ");
    const QString row = QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?)");
    std::optional<TPrepared> full;
    for (size_t i = 0; i < write.size(); i += size_t(kLinesPerInsert)) {
        const size_t n = std::min(write.size() - i, size_t(kLinesPerInsert));
        QVariantList args;
        for (size_t k = i; k < i + n; ++k) {
            const size_t at = write[k];
            args << ctx.nickid << receiveid << int(at) + 1 << key << lines[at].code << quantities[at] << lines[at].costprice << lines[at].saleprice;
        }
        if (n < size_t(kLinesPerInsert)) {
            TPrepared(ctx.db, insert + placeholders(qsizetype(n), row)).exec(args);
            continue;
        }
        if (!full)
            full.emplace(ctx.db, insert + placeholders(kLinesPerInsert, row));
        full->exec(args);
    }
}

void save(TContext& ctx)
{
    const QByteArray* dm = ctx.call.file(QStringLiteral("deltamaster"));
    const QByteArray* dd = ctx.call.file(QStringLiteral("deltadetail"));
    if (!dm && !dd)
        throw TServiceError(kxMissingParam, QStringLiteral("缺少提交的修改记录（deltamaster、deltadetail）"));
    const QList<TDeltaChange> master = dm ? KxReadDelta(*dm) : QList<TDeltaChange>();
    const QList<TDeltaChange> detail = dd ? KxReadDelta(*dd) : QList<TDeltaChange>();
    if (master.size() > 1)
        throw TServiceError(kxRefused, QStringLiteral("一次只能保存一张单据"));
    if (master.isEmpty() && detail.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("无数据有变动，不用提交数据保存！"));

    const TDeltaChange* m = master.isEmpty() ? nullptr : &master.first();
    if (m && m->kind == TDeltaChange::Delete)
        throw TServiceError(kxRefused, QStringLiteral("采购入库单不能删除"));
    const QString key = m ? (m->kind == TDeltaChange::Insert ? m->values : m->original).value(QStringLiteral("md5_key")).toString().trimmed()
                          : keyOf(detail.first());
    if (key.isEmpty() || key.size() > 64)
        throw TServiceError(kxRefused, QStringLiteral("单据缺少有效的行标识（md5_key）"));

    const bool isNew = m && m->kind == TDeltaChange::Insert;
    // A saved document's row is locked before it is read: only changed lines are written, so
    // a concurrent save of it must wait and then read the header and lines this one leaves.
    // (On SQLite the write lock taken at BEGIN already orders them.)
    if (!isNew)
        KxExec(ctx.db, QStringLiteral("UPDATE kx_receive SET status = status WHERE nickid = ? AND md5_key = ? AND status IN (0, 1)"), {ctx.nickid, key});
    THeader h = headerByKey(ctx, key);
    if (isNew && h.exists)
        throw TServiceError(kxRefused, QStringLiteral("这张单据已经保存过（单据号【%1】），请刷新后再修改").arg(h.receiveid));
    if (!isNew && !h.exists)
        throw TServiceError(kxRefused, QStringLiteral("要修改的单据已不存在，请刷新后再试"));
    if (h.exists)
        requireOpen(h);

    // The header fields the operator sets; numbers, stamps, totals and names are the service's.
    if (m) {
        const auto take = [&](const char* field, QString& into) {
            const QString f = QString::fromLatin1(field);
            if (isNew || m->changed.contains(f))
                into = m->values.value(f).toString().trimmed();
        };
        take("suppliercode", h.suppliercode);
        take("storageid", h.storageid);
        take("memo", h.memo);
        if (isNew) {
            take("shopcode", h.shopcode);
            if (h.shopcode.isEmpty())
                h.shopcode = ctx.shopcode;
        }
        const QVariant status = m->values.value(QStringLiteral("status"));
        if ((isNew || m->changed.contains(QStringLiteral("status"))) && status.isValid() && status.toInt() != 0 && status.toInt() != 1)
            throw TServiceError(kxRefused, QStringLiteral("非新建状态的单据，不能再改动！"));
    }
    if (h.suppliercode.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("供应商信息不能为空！"));
    const QVariant supplierName = KxScalar(ctx.db, QStringLiteral("SELECT suppliername FROM kx_supplier WHERE nickid = ? AND suppliercode = ?"),
                                           {ctx.nickid, h.suppliercode});
    if (!supplierName.isValid())
        throw TServiceError(kxRefused, QStringLiteral("供应商【%1】不存在").arg(h.suppliercode.left(40)));
    if (h.storageid.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("仓库信息不能为空！"));
    // Goods are received into the storages of type 1 only, the ones the edit form offers.
    if (KxScalar(ctx.db, QStringLiteral("SELECT storagetype FROM kx_storage WHERE nickid = ? AND storageid = ?"),
                 {ctx.nickid, h.storageid}).toInt() != 1)
        throw TServiceError(kxRefused, QStringLiteral("仓库【%1】不存在或不能用于采购入库").arg(h.storageid.left(40)));
    if (h.memo.size() > 100)
        throw TServiceError(kxRefused, QStringLiteral("备注不能超过 100 个字符"));

    // The lines as they are saved, changed by the delta in memory and then numbered 1..n;
    // `stored` keeps the saved state by number, so that only lines that differ are written.
    std::vector<TLine> lines;
    QHash<int, TLine> stored;
    QHash<int, size_t> bySeq;
    if (h.exists) {
        QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT seq, commoditycode, receivenum, costprice, saleprice FROM kx_receive_line"
                                                    " WHERE nickid = ? AND receiveid = ? ORDER BY seq"), {ctx.nickid, h.receiveid});
        while (q.next()) {
            const TLine l{q.value(0).toInt(), q.value(0).toLongLong(), q.value(1).toString(), q.value(2), q.value(3).toString(), q.value(4).toString()};
            bySeq.insert(l.origSeq, lines.size());
            stored.insert(l.origSeq, l);
            lines.push_back(l);
        }
    }
    const auto saved = [&](const TDeltaChange& ch) -> TLine& {
        const int seq = ch.original.value(QStringLiteral("seq")).toInt();
        const auto it = bySeq.constFind(seq);
        if (it == bySeq.constEnd() || lines[*it].deleted)
            throw TServiceError(kxRefused, QStringLiteral("第 %1 行明细已被别人修改或删除，请刷新后再试").arg(seq));
        return lines[*it];
    };
    for (const TDeltaChange& ch : detail) {
        if (keyOf(ch) != key)
            throw TServiceError(kxRefused, QStringLiteral("明细与单据的行标识（md5_key）不一致"));
        if (ch.kind == TDeltaChange::Delete) {
            saved(ch).deleted = true;
            continue;
        }
        const bool all = ch.kind == TDeltaChange::Insert;
        if (all)
            lines.emplace_back();
        TLine& l = all ? lines.back() : saved(ch);
        if (all || ch.changed.contains(QStringLiteral("seq"))) {
            const QVariant seq = ch.values.value(QStringLiteral("seq"));
            l.seq = seq.isValid() ? seq.toLongLong() : std::numeric_limits<int>::max();
        }
        if (all || ch.changed.contains(QStringLiteral("commoditycode"))) {
            l.code = ch.values.value(QStringLiteral("commoditycode")).toString().trimmed();
            l.reprice = true;
        }
        if (all || ch.changed.contains(QStringLiteral("receivenum")))
            l.quantity = ch.values.value(QStringLiteral("receivenum"));
    }
    lines.erase(std::remove_if(lines.begin(), lines.end(), [](const TLine& l) { return l.deleted; }), lines.end());
    std::stable_sort(lines.begin(), lines.end(), [](const TLine& a, const TLine& b) { return a.seq < b.seq; });

    const QHash<QString, TPrices> prices = productPrices(ctx, lines);
    TDecimal money = TDecimal::FromInteger(0);
    std::vector<qint64> quantities;
    for (size_t i = 0; i < lines.size(); ++i) {
        TLine& l = lines[i];
        const int seq = int(i) + 1;
        if (l.code.isEmpty())
            throw TServiceError(kxRefused, QStringLiteral("第 %1 行的商品编码不能为空").arg(seq));
        const auto p = prices.constFind(l.code);
        if (p == prices.constEnd())
            throw TServiceError(kxRefused, QStringLiteral("第 %1 行的商品【%2】不存在").arg(seq).arg(l.code.left(40)));
        if (l.reprice) {
            l.costprice = p->costprice;
            l.saleprice = p->saleprice;
        }
        quantities.push_back(quantityOf(l.quantity, seq));
        const std::optional<TDecimal> cost = TDecimal::Parse(l.costprice);
        if (cost)
            money = money + *cost * TDecimal::FromInteger(quantities.back());
    }

    const QString who = stamp(ctx), when = now();
    const QString moneyText = money.Rescaled(2) ? money.Rescaled(2)->ToString() : money.ToString();
    if (isNew) {
        // Numbers run per seller and day; the counter row is taken inside this transaction.
        const QString series = QStringLiteral("RK") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
        h.receiveid = KxNextCode(ctx, series, series, QStringLiteral("kx_receive"), QStringLiteral("receiveid"));
        KxExec(ctx.db, QStringLiteral("INSERT INTO kx_receive (nickid, receiveid, md5_key, shopcode, suppliercode, suppliername, storageid,"
                                      " receivemoney, inputren, inputtime, auditren, audittime, status, memo)"
                                      " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, '', '', 1, ?)"),
               {ctx.nickid, h.receiveid, key, h.shopcode, h.suppliercode, supplierName.toString(), h.storageid, moneyText, who, when, h.memo});
    } else {
        // The status test is repeated in the write, so a concurrent audit cannot slip between.
        QSqlQuery u = KxExec(ctx.db, QStringLiteral("UPDATE kx_receive SET suppliercode = ?, suppliername = ?, storageid = ?, receivemoney = ?,"
                                                    " memo = ?, status = 1 WHERE nickid = ? AND receiveid = ? AND status IN (0, 1)"),
                             {h.suppliercode, supplierName.toString(), h.storageid, moneyText, h.memo, ctx.nickid, h.receiveid});
        if (u.numRowsAffected() != 1)
            throw TServiceError(kxRefused, QStringLiteral("采购入库单【%1】已审核，不能再改动！").arg(h.receiveid));
    }

    writeLines(ctx, h.receiveid, key, lines, quantities, stored);
    addHeader(ctx, QStringLiteral("xmlmaster"), h.receiveid);
    addLines(ctx, QStringLiteral("xmldetail"), h.receiveid);
}

// Takes `count` numbers of a per-seller series at once; returns the first.
qint64 takeNumbers(TContext& ctx, const QString& series, qint64 count)
{
    KxExec(ctx.db, QStringLiteral("INSERT INTO kx_counter (nickid, name, value) VALUES (?, ?, 0) ON CONFLICT DO NOTHING"), {ctx.nickid, series});
    KxExec(ctx.db, QStringLiteral("UPDATE kx_counter SET value = value + ? WHERE nickid = ? AND name = ?"), {count, ctx.nickid, series});
    return KxScalar(ctx.db, QStringLiteral("SELECT value FROM kx_counter WHERE nickid = ? AND name = ?"), {ctx.nickid, series}).toLongLong() - count + 1;
}

void audit(TContext& ctx)
{
    const QByteArray* dm = ctx.call.file(QStringLiteral("deltamaster"));
    if (!dm)
        throw TServiceError(kxMissingParam, QStringLiteral("缺少提交审核的单据（deltamaster）"));
    const QList<TDeltaChange> changes = KxReadDelta(*dm);
    if (changes.size() != 1)
        throw TServiceError(kxRefused, QStringLiteral("一次只能审核一张单据"));
    const TDeltaChange& ch = changes.first();
    if (ch.kind != TDeltaChange::Update)
        throw TServiceError(kxRefused, QStringLiteral("请先保存单据再提交审核"));
    const THeader h = headerByKey(ctx, ch.original.value(QStringLiteral("md5_key")).toString().trimmed());
    if (!h.exists)
        throw TServiceError(kxRefused, QStringLiteral("要审核的单据不存在，请先保存"));
    if (h.status == 2)
        throw TServiceError(kxRefused, QStringLiteral("采购入库单【%1】已审核，不能重复审核！").arg(h.receiveid));
    if (h.status != 1)
        throw TServiceError(kxRefused, QStringLiteral("非新建状态的单据，不能提交审核！"));
    for (const QString& f : ch.changed)
        if (f != QLatin1String("status") && f != QLatin1String("statusname") && f != QLatin1String("auditren") && f != QLatin1String("audittime"))
            throw TServiceError(kxRefused, QStringLiteral("数据有变动，请保存后再提交审核！"));

    // The status changes first and only from 1: of two audits at once, the second finds
    // nothing to change and posts nothing.
    const QString who = stamp(ctx), when = now();
    QSqlQuery u = KxExec(ctx.db, QStringLiteral("UPDATE kx_receive SET status = 2, auditren = ?, audittime = ? WHERE nickid = ? AND receiveid = ? AND status = 1"),
                         {who, when, ctx.nickid, h.receiveid});
    if (u.numRowsAffected() != 1)
        throw TServiceError(kxRefused, QStringLiteral("采购入库单【%1】已审核，不能重复审核！").arg(h.receiveid));

    struct TPost { int seq; QString code; qint64 quantity; QString costprice; };
    std::vector<TPost> posts;
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT seq, commoditycode, receivenum, costprice FROM kx_receive_line WHERE nickid = ? AND receiveid = ? ORDER BY seq"),
                         {ctx.nickid, h.receiveid});
    while (q.next())
        posts.push_back({q.value(0).toInt(), q.value(1).toString(), quantityOf(q.value(2), q.value(0).toInt()), q.value(3).toString()});
    qint64 ledger = posts.empty() ? 0 : takeNumbers(ctx, QStringLiteral("stockledger"), qint64(posts.size()));
    for (const TPost& p : posts) {
        QSqlQuery s = KxExec(ctx.db, QStringLiteral("UPDATE kx_stock SET stocknum = stocknum + ? WHERE nickid = ? AND storageid = ? AND commoditycode = ?"),
                             {p.quantity, ctx.nickid, h.storageid, p.code});
        if (s.numRowsAffected() != 1)
            KxExec(ctx.db, QStringLiteral("INSERT INTO kx_stock (nickid, storageid, commoditycode, stocknum) VALUES (?, ?, ?, ?)"),
                   {ctx.nickid, h.storageid, p.code, p.quantity});
        const qint64 after = KxScalar(ctx.db, QStringLiteral("SELECT stocknum FROM kx_stock WHERE nickid = ? AND storageid = ? AND commoditycode = ?"),
                                      {ctx.nickid, h.storageid, p.code}).toLongLong();
        KxExec(ctx.db, QStringLiteral("INSERT INTO kx_stock_ledger (nickid, seq, created, operid, storageid, commoditycode, doctype, docid, docseq,"
                                      " quantity, costprice, stockafter) VALUES (?, ?, ?, ?, ?, ?, 'receive', ?, ?, ?, ?, ?)"),
               {ctx.nickid, ledger++, when, ctx.operid, h.storageid, p.code, h.receiveid, p.seq, p.quantity, p.costprice, after});
    }
    addHeader(ctx, QStringLiteral("xmlmaster"), h.receiveid);
}
}

const std::vector<TMethodDef>& KxReceiveMethods()
{
    static const std::vector<TMethodDef> methods = {
        {"Receive.Search", EAccess::Module, ETx::Read, search},
        {"Receive.ListDetail", EAccess::Module, ETx::Read, listDetail},
        {"Receive.Load", EAccess::Module, ETx::Read, load},
        {"Receive.Update", EAccess::Module, ETx::Write, save},
        {"Receive.Audit", EAccess::Module, ETx::Write, audit},
        // The status list of every stock document form.
        {"Lookup.DocStatus", EAccess::Module, ETx::Read, docStatus},
    };
    return methods;
}
