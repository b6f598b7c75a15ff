#include "DocEngine.h"

#include "DocPosting.h"
#include "DocSql.h"
#include "DocValues.h"
#include "History.h"
#include "StockFreeze.h"
#include "LocalClock.h"
#include "store/Paging.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace {
using namespace KxDoc;
using Col = TPacketColumn;

// Codes of shops, parties and storages are at most this long; longer ones are refused before
// they are looked up.
constexpr int kCodeMax = 20;
const char* const kStale = "单据已被他人修改，请刷新后再保存！";

// ---------------------------------------------------------------- columns

QString lineTable(const TDocKind& k)
{
    return L(k.table) + QStringLiteral("_line");
}

QString codeField(const TDocKind& k)
{
    return k.level == EDocLevel::Goods ? QStringLiteral("goodscode") : QStringLiteral("commoditycode");
}

QString productTable(const TDocKind& k)
{
    return k.level == EDocLevel::Goods ? QStringLiteral("kx_goods") : QStringLiteral("kx_commodity");
}

QString partyCode(const TDocKind& k)
{
    return k.party == EDocParty::Supplier ? QStringLiteral("suppliercode") : QStringLiteral("vipid");
}

QString partyName(const TDocKind& k)
{
    return k.party == EDocParty::Supplier ? QStringLiteral("suppliername") : QStringLiteral("vipname");
}

// The header as answered: columns and the select over "%1" (the headers h), with the storages'
// and the in-shop's names joined. Keys are unique, so the joins never change which or how many
// documents a query finds.
struct THeaderShape {
    QList<Col> columns;
    QString select;
};

const THeaderShape& headerShape(const TDocKind& k)
{
    static std::map<const TDocKind*, THeaderShape> shapes;
    static std::mutex m;
    std::lock_guard lock(m);
    auto it = shapes.find(&k);
    if (it != shapes.end())
        return it->second;
    THeaderShape s;
    QStringList fields, joins;
    const auto add = [&](const QString& name, Col::Kind kind, int size, const QString& expr) {
        s.columns << Col{name, kind, size};
        fields << expr;
    };
    add(QStringLiteral("md5_key"), Col::Text, 64, QStringLiteral("h.md5_key"));
    if (k.tickable)
        add(QStringLiteral("ischeck"), Col::Boolean, 0, QStringLiteral("0"));
    if (k.hasShop)
        add(QStringLiteral("shopcode"), Col::Text, 20, QStringLiteral("h.shopcode"));
    add(L(k.idField), Col::Text, 20, QStringLiteral("h.") + L(k.idField));
    if (k.party != EDocParty::None) {
        add(partyCode(k), Col::Text, 20, QStringLiteral("h.") + partyCode(k));
        add(partyName(k), Col::Text, 200, QStringLiteral("h.") + partyName(k));
    }
    for (size_t i = 0; i < k.storages.size(); ++i) {
        const QString alias = QStringLiteral("s%1").arg(i);
        add(L(k.storages[i].idField), Col::Text, 20, QStringLiteral("h.") + L(k.storages[i].idField));
        add(L(k.storages[i].nameField), Col::Text, 100, alias + QStringLiteral(".storagename"));
        joins << QStringLiteral(" LEFT JOIN kx_storage %1 ON %1.nickid = h.nickid AND %1.storageid = h.%2").arg(alias, L(k.storages[i].idField));
        if (i == 0 && k.inShop) {
            add(QStringLiteral("in_shopcode"), Col::Text, 20, QStringLiteral("h.in_shopcode"));
            add(QStringLiteral("in_shopname"), Col::Text, 50, QStringLiteral("sh.shopname"));
            joins << QStringLiteral(" LEFT JOIN kx_shop sh ON sh.nickid = h.nickid AND sh.shopcode = h.in_shopcode");
        }
    }
    if (k.totalField)
        add(L(k.totalField), Col::Decimal, 0, QStringLiteral("h.") + L(k.totalField));
    for (const char* f : {"inputren", "inputtime", "auditren", "audittime"})
        add(L(f), Col::Text, QByteArray(f).endsWith("ren") ? 50 : 20, QStringLiteral("h.") + L(f));
    add(QStringLiteral("status"), Col::Integer, 0, QStringLiteral("h.status"));
    add(QStringLiteral("memo"), Col::Text, 100, QStringLiteral("h.memo"));
    if (k.typeField)
        add(L(k.typeField), Col::Text, 20, QStringLiteral("h.") + L(k.typeField));
    for (const char* t : k.headerTexts)
        add(L(t), Col::Text, 50, QStringLiteral("h.") + L(t));
    for (const TDocText& t : k.texts)
        add(L(t.field), Col::Text, t.size, QStringLiteral("h.") + L(t.field));
    for (const char* d : k.decimals)
        add(L(d), Col::Decimal, 0, QStringLiteral("h.") + L(d));
    if (k.auditedFlag)
        add(L(k.auditedFlag), Col::Boolean, 0, QStringLiteral("CASE WHEN h.status = 2 THEN 1 ELSE 0 END"));
    if (k.storedFlag)
        add(L(k.storedFlag), Col::Boolean, 0, QStringLiteral("h.") + L(k.storedFlag));
    s.select = QStringLiteral("SELECT ") + fields.join(QStringLiteral(", ")) + QStringLiteral(" FROM %1") + joins.join(QString());
    return shapes.emplace(&k, std::move(s)).first->second;
}

// The stored columns of a line after its key, number and code, in table order.
QStringList lineValueFields(const TDocKind& k)
{
    QStringList f;
    if (k.quantityField)
        f << L(k.quantityField);
    for (const char* p : k.productPrices)
        f << L(p);
    for (const char* e : k.editable)
        f << L(e);
    return f;
}

QList<Col> lineColumns(const TDocKind& k)
{
    QList<Col> c{{QStringLiteral("md5_key"), Col::Text, 64}, {L(k.idField), Col::Text, 20}, {QStringLiteral("seq"), Col::Integer},
                 {codeField(k), Col::Text, 20}};
    if (k.level == EDocLevel::Goods) {
        c << Col{QStringLiteral("goodsname"), Col::Text, 200} << Col{QStringLiteral("propstyle"), Col::Text, 50};
    } else {
        c << Col{QStringLiteral("barcode"), Col::Text, 30} << Col{QStringLiteral("commodityname"), Col::Text, 200};
        for (const char* p : {"propstyle", "propcolor", "propsize"})
            c << Col{L(p), Col::Text, 50};
    }
    for (const QString& f : lineValueFields(k))
        c << Col{f, Col::Decimal};
    for (const TDocText& t : k.lineTexts)
        c << Col{L(t.field), Col::Text, t.size};
    if (k.goodsFlag)
        c << Col{L(k.goodsFlag), Col::Boolean};
    if (k.lineStock)
        c << Col{QStringLiteral("stocknum"), Col::Integer};
    return c;
}

QStringList lineTextFields(const TDocKind& k)
{
    QStringList f;
    for (const TDocText& t : k.lineTexts)
        f << L(t.field);
    return f;
}

// The line's goods flag as stored after its texts, or nothing.
QStringList lineFlagField(const TDocKind& k)
{
    return k.goodsFlag ? QStringList{L(k.goodsFlag)} : QStringList();
}

bool flagOf(const QVariant& v)
{
    const QString t = v.toString().trimmed().toLower();
    return v.isValid() && !t.isEmpty() && t != QLatin1String("0") && t != QLatin1String("false");
}

void addHeader(TContext& ctx, const TDocKind& k, const QString& name, const QString& id)
{
    QSqlQuery q = KxExec(ctx.db, headerShape(k).select.arg(L(k.table) + QStringLiteral(" h"))
                                     + QStringLiteral(" WHERE h.nickid = ? AND h.%1 = ?").arg(L(k.idField)), {ctx.nickid, id});
    ctx.answer.addPacket(name, KxQueryPacket(q, headerShape(k).columns));
}

// The lines' select with their products joined, up to its WHERE.
QString linesSelect(const TDocKind& k)
{
    QStringList fields{QStringLiteral("l.md5_key"), QStringLiteral("l.") + L(k.idField), QStringLiteral("l.seq"), QStringLiteral("l.") + codeField(k)};
    QString join;
    if (k.level == EDocLevel::Goods) {
        fields << QStringLiteral("c.goodsname") << QStringLiteral("c.propstyle");
        join = QStringLiteral(" LEFT JOIN kx_goods c ON c.nickid = l.nickid AND c.goodscode = l.goodscode");
    } else {
        fields << QStringLiteral("c.barcode") << QStringLiteral("c.commodityname") << QStringLiteral("c.propstyle")
               << QStringLiteral("c.propcolor") << QStringLiteral("c.propsize");
        join = QStringLiteral(" LEFT JOIN kx_commodity c ON c.nickid = l.nickid AND c.commoditycode = l.commoditycode");
    }
    for (const QString& f : lineValueFields(k))
        fields << QStringLiteral("l.") + f;
    for (const QString& f : lineTextFields(k) + lineFlagField(k))
        fields << QStringLiteral("l.") + f;
    if (k.lineStock)
        fields << QStringLiteral("(SELECT SUM(s.stocknum) FROM kx_stock s WHERE s.nickid = l.nickid AND s.commoditycode = l.") + codeField(k) + QLatin1Char(')');
    return QStringLiteral("SELECT ") + fields.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + lineTable(k) + QStringLiteral(" l") + join;
}

void addLines(TContext& ctx, const TDocKind& k, const QString& name, const QString& id)
{
    QSqlQuery q = KxExec(ctx.db, linesSelect(k) + QStringLiteral(" WHERE l.nickid = ? AND l.%1 = ? ORDER BY l.seq").arg(L(k.idField)), {ctx.nickid, id});
    ctx.answer.addPacket(name, KxQueryPacket(q, lineColumns(k)));
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
    return KxLocalNowText();
}

// ---------------------------------------------------------------- the list

QString likePattern(const QString& v)
{
    QString p = v;
    p.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('%'), QLatin1String("\\%")).replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + p + QLatin1Char('%');
}

// A day condition is a date written yyyy-MM-dd, nothing before or after it.
QString dayParam(const TContext& ctx, const QString& name)
{
    const QString v = ctx.param(name).trimmed();
    if (v.isEmpty())
        return v;
    const QDate day = QDate::fromString(v, QStringLiteral("yyyy-MM-dd"));
    if (v.size() != 10 || !day.isValid())
        throw TServiceError(kxBadParam, QStringLiteral("参数 %1 应为日期（yyyy-MM-dd）：%2").arg(name, v.left(40)));
    return v;
}

// A page of the list: the page's numbers are found on the header table alone, in the order of
// its list index (from the index only when no condition needs more), and only those documents
// are then read and joined; counting needs no join either. Read and joined first, a deep page
// read and joined every document it skipped.
void search(TContext& ctx, const TDocKind& k)
{
    QString where = QStringLiteral("h.nickid = ?");
    QVariantList args{ctx.nickid};
    const auto text = [&](const QString& param, bool contains) {
        const QString v = ctx.param(param).trimmed();
        if (v.isEmpty())
            return;
        if (v.size() > 200)
            throw TServiceError(kxBadParam, QStringLiteral("查询条件 %1 过长").arg(param));
        where += QStringLiteral(" AND h.") + param + (contains ? QStringLiteral(" LIKE ? ESCAPE '\\'") : QStringLiteral(" = ?"));
        args << (contains ? likePattern(v) : v);
    };
    text(L(k.idField), true);
    if (k.hasShop)
        text(QStringLiteral("shopcode"), false);
    if (k.party != EDocParty::None) {
        text(partyCode(k), false);
        text(partyName(k), true);
    }
    for (const TDocStorage& s : k.storages)
        text(L(s.idField), false);
    if (k.inShop)
        text(QStringLiteral("in_shopcode"), false);
    if (k.typeField)
        text(L(k.typeField), false);
    for (const char* t : k.headerTexts)
        text(L(t), false);
    for (const TDocText& t : k.texts)
        text(L(t.field), true);
    text(QStringLiteral("memo"), true);
    // A range of numbers, as a window opened for the documents another one made asks it.
    for (const auto& [suffix, op] : {std::pair{"1", ">="}, std::pair{"2", "<="}}) {
        const QString v = ctx.param(L(k.idField) + L(suffix)).trimmed();
        if (v.isEmpty())
            continue;
        if (v.size() > 40)
            throw TServiceError(kxBadParam, QStringLiteral("查询条件 %1 过长").arg(L(k.idField) + L(suffix)));
        where += QStringLiteral(" AND h.%1 %2 ?").arg(L(k.idField), L(op));
        args << v;
    }
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
    const QString id = L(k.idField), table = L(k.table);
    const QString order = QStringLiteral("h.inputtime DESC, h.%1 DESC").arg(id);
    const THeaderShape& shape = headerShape(k);
    QString sql;
    QVariantList a = args;
    qint64 offset = 0;
    if (page.page > 0) {
        // A page far past the end is empty, however far: the offset stops short of overflowing.
        constexpr qint64 kOffsetMax = 1000000000000000;
        offset = page.page - 1 > kOffsetMax / page.size ? kOffsetMax : (page.page - 1) * page.size;
        sql = shape.select.arg(QStringLiteral("(SELECT h.%1 FROM %2 h WHERE ").arg(id, table) + where + QStringLiteral(" ORDER BY ") + order
                               + QStringLiteral(" LIMIT ? OFFSET ?) k JOIN %1 h ON h.nickid = ? AND h.%2 = k.%2").arg(table, id));
        a << page.size << offset << ctx.nickid;
    } else {
        sql = shape.select.arg(table + QStringLiteral(" h")) + QStringLiteral(" WHERE ") + where;
    }
    QSqlQuery q = KxExec(ctx.db, sql + QStringLiteral(" ORDER BY ") + order, a);
    int rows = 0;
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, shape.columns, &rows));
    // Every row, or a page that is not full, tells the count: only other pages count.
    qint64 total = offset + rows;
    if (page.page > 0 && (rows == page.size || (rows == 0 && offset > 0)))
        total = KxScalar(ctx.db, QStringLiteral("SELECT COUNT(*) FROM %1 h WHERE ").arg(table) + where, args).toLongLong();
    ctx.answer.add(QStringLiteral("recordcount"), total);
    ctx.answer.add(QStringLiteral("pagecount"), page.page > 0 ? qMax<qint64>(1, (total + page.size - 1) / page.size) : 1);
}

// ---------------------------------------------------------------- the header

// The header fields the operator sets, in a fixed order: the party's code, the storages, the
// in-shop, the memo and the type text. Numbers, stamps, totals and names are the service's.
QStringList operatorFields(const TDocKind& k)
{
    QStringList f;
    if (k.party != EDocParty::None)
        f << partyCode(k);
    for (const TDocStorage& s : k.storages)
        f << L(s.idField);
    if (k.inShop)
        f << QStringLiteral("in_shopcode");
    f << QStringLiteral("memo");
    if (k.typeField)
        f << L(k.typeField);
    for (const char* t : k.headerTexts)
        f << L(t);
    for (const TDocText& t : k.texts)
        f << L(t.field);
    for (const char* d : k.decimals)
        f << L(d);
    return f;
}

bool isHeaderDecimal(const TDocKind& k, const QString& field)
{
    return std::any_of(k.decimals.begin(), k.decimals.end(), [&](const char* d) { return field == L(d); });
}

bool givenOnInsert(const std::vector<TDocText>& texts, const QString& field)
{
    return std::any_of(texts.begin(), texts.end(), [&](const TDocText& t) { return t.edit == EDocEdit::OnInsert && field == L(t.field); });
}

struct THeader {
    bool exists = false;
    QString id, shopcode;
    int status = 0;
    QHash<QString, QString> fields;   // operatorFields
};

THeader headerByKey(TContext& ctx, const TDocKind& k, const QString& key)
{
    THeader h;
    const QStringList fields = operatorFields(k);
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT %1, status, %2, %3 FROM %4 WHERE nickid = ? AND md5_key = ?")
                                     .arg(L(k.idField), k.hasShop ? QStringLiteral("shopcode") : QStringLiteral("''"),
                                          fields.join(QStringLiteral(", ")), L(k.table)),
                         {ctx.nickid, key});
    if (q.next()) {
        h.exists = true;
        h.id = q.value(0).toString();
        h.status = q.value(1).toInt();
        h.shopcode = q.value(2).toString();
        for (int i = 0; i < fields.size(); ++i)
            h.fields.insert(fields[i], q.value(3 + i).toString());
    }
    return h;
}

// Saved documents change only while open (status 1); the client makes the same test, the
// service repeats it so that no second client can change an audited document.
void requireOpen(const TDocKind& k, const THeader& h)
{
    if (h.status == 2)
        throw TServiceError(kxRefused, QStringLiteral("%1【%2】已审核，不能再改动！").arg(L(k.title), h.id));
    if (h.status != 0 && h.status != 1)
        throw TServiceError(kxRefused, QStringLiteral("非新建状态的单据，不能再改动！"));
}

void requireCode(const QString& caption, const QString& code)
{
    if (code.size() > kCodeMax)
        throw TServiceError(kxRefused, QStringLiteral("%1不能超过 %2 个字符").arg(caption).arg(kCodeMax));
}

// A header amount as stored: blank is 0; not a number, negative or too large is refused.
QString headerAmount(const QString& field, const QString& v)
{
    if (v.trimmed().isEmpty())
        return QStringLiteral("0");
    const std::optional<TDecimal> d = TDecimal::Parse(v.trimmed());
    const std::optional<TDecimal> r = d ? d->Rescaled(4) : std::nullopt;
    if (!r || r->Mantissa() < 0 || *r > kPriceMax)
        throw TServiceError(kxRefused, QStringLiteral("【%1】应为 0 到 99999999.99 的金额：%2").arg(field, v.left(20)));
    return r->ToString();
}

// Checks the header's codes against the seller's rows; returns the party's name.
QString checkHeader(TContext& ctx, const TDocKind& k, THeader& h, bool auditing)
{
    requireCode(QStringLiteral("门店编码"), h.shopcode);
    if (k.hasShop && h.shopcode != ctx.shopcode
        && !KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_shop WHERE nickid = ? AND shopcode = ?"), {ctx.nickid, h.shopcode}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("门店【%1】不存在").arg(h.shopcode));
    QString name;
    if (k.party != EDocParty::None) {
        const QString code = h.fields.value(partyCode(k));
        if (code.isEmpty() && k.partyMissing)
            throw TServiceError(kxRefused, L(k.partyMissing));
        if (!code.isEmpty()) {
            const bool supplier = k.party == EDocParty::Supplier;
            requireCode(supplier ? QStringLiteral("供应商编码") : QStringLiteral("会员卡号"), code);
            const QVariant n = KxScalar(ctx.db, supplier ? QStringLiteral("SELECT suppliername FROM kx_supplier WHERE nickid = ? AND suppliercode = ?")
                                                         : QStringLiteral("SELECT vipname FROM kx_vipcard WHERE nickid = ? AND vipid = ?"),
                                        {ctx.nickid, code});
            if (!n.isValid())
                throw TServiceError(kxRefused, (supplier ? QStringLiteral("供应商【%1】不存在") : QStringLiteral("会员卡【%1】不存在")).arg(code));
            name = n.toString();
        }
    }
    for (size_t i = 0; i < k.storages.size(); ++i) {
        const TDocStorage& s = k.storages[i];
        const QString id = h.fields.value(L(s.idField));
        if (id.isEmpty()) {
            if (auditing || s.requiredToSave)
                throw TServiceError(kxRefused, L(s.missing));
            continue;
        }
        requireCode(QStringLiteral("仓库编码"), id);
        const QVariant type = KxScalar(ctx.db, QStringLiteral("SELECT storagetype FROM kx_storage WHERE nickid = ? AND storageid = ?"), {ctx.nickid, id});
        if (!type.isValid() || (!s.types.empty() && std::find(s.types.begin(), s.types.end(), type.toInt()) == s.types.end()))
            throw TServiceError(kxRefused, QStringLiteral("仓库【%1】不存在或不能用于%2").arg(id, L(k.title)));
        if (i == 0 && k.inShop) {
            const QString shop = h.fields.value(QStringLiteral("in_shopcode"));
            if (shop.isEmpty())
                throw TServiceError(kxRefused, QStringLiteral("调入门店不能为空！"));
            requireCode(QStringLiteral("门店编码"), shop);
            if (!KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_shop WHERE nickid = ? AND shopcode = ?"), {ctx.nickid, shop}).isValid())
                throw TServiceError(kxRefused, QStringLiteral("门店【%1】不存在").arg(shop));
        }
    }
    if (k.storages.size() == 2 && !h.fields.value(L(k.storages[0].idField)).isEmpty()
        && h.fields.value(L(k.storages[0].idField)) == h.fields.value(L(k.storages[1].idField)))
        throw TServiceError(kxRefused, QStringLiteral("调出仓库与调入仓库不能相同！"));
    if (h.fields.value(QStringLiteral("memo")).size() > 100)
        throw TServiceError(kxRefused, QStringLiteral("备注不能超过 100 个字符"));
    if (k.typeField && h.fields.value(L(k.typeField)).size() > 20)
        throw TServiceError(kxRefused, QStringLiteral("单据类型不能超过 20 个字符"));
    for (const char* t : k.headerTexts)
        if (h.fields.value(L(t)).size() > 50)
            throw TServiceError(kxRefused, QStringLiteral("%1不能超过 50 个字符").arg(L(t)));
    for (const TDocText& t : k.texts)
        if (h.fields.value(L(t.field)).size() > t.size)
            throw TServiceError(kxRefused, QStringLiteral("%1不能超过 %2 个字符").arg(L(t.field)).arg(t.size));
    for (const char* d : k.decimals)
        h.fields.insert(L(d), headerAmount(L(d), h.fields.value(L(d))));
    if (k.saveCheck && !auditing) {
        QHash<QString, QString> fields = h.fields;
        fields.insert(L(k.idField), h.id);
        k.saveCheck(ctx, fields);
    }
    return name;
}

// ---------------------------------------------------------------- the lines

struct TLine {
    int origSeq = -1;     // the saved line's number; -1 for a line new in this save
    qint64 seq = 0;
    QString code;
    QVariant quantity;
    QStringList prices;   // productPrices, as stored
    QList<QVariant> editable;
    QStringList texts;    // lineTexts
    bool goods = false;   // goodsFlag
    bool reprice = false; // product new or changed: prices come from the product
    bool deleted = false;
};

QString keyOf(const TDeltaChange& ch)
{
    return (ch.kind == TDeltaChange::Delete ? ch.original : ch.values).value(QStringLiteral("md5_key")).toString().trimmed();
}

// The prices the kind copies of the products its lines name, in a few queries rather than
// one per line; a product that does not exist has no entry.
QHash<QString, QStringList> productPrices(TContext& ctx, const TDocKind& k, const std::vector<TLine>& lines)
{
    QSet<QString> seen;
    QVariantList codes;
    for (const TLine& l : lines)
        if (!l.code.isEmpty() && !seen.contains(l.code)) {
            seen.insert(l.code);
            codes << l.code;
        }
    QStringList fields{codeField(k)};
    for (const char* p : k.productPrices)
        fields << L(p);
    QHash<QString, QStringList> out;
    inChunks(ctx.db, QStringLiteral("SELECT %1 FROM %2 WHERE nickid = ? AND %3 IN (%4)").arg(fields.join(QStringLiteral(", ")), productTable(k), codeField(k), QStringLiteral("%1")),
             {ctx.nickid}, codes, [&](QSqlQuery& r) {
                 while (r.next()) {
                     QStringList p;
                     for (int i = 1; i < fields.size(); ++i)
                         p << r.value(i).toString();
                     out.insert(r.value(0).toString(), p);
                 }
             });
    return out;
}

// Whether the stored line already holds what is about to be written at its number.
bool unchanged(const TDocKind& k, const TLine& stored, const TLine& line, qint64 quantity)
{
    if (stored.code != line.code)
        return false;
    if (k.quantityField && !sameDecimal(stored.quantity, QVariant(quantity)))
        return false;
    for (qsizetype i = 0; i < line.prices.size(); ++i)
        if (!sameDecimal(stored.prices.value(i), line.prices[i]))
            return false;
    for (qsizetype i = 0; i < line.editable.size(); ++i)
        if (!sameDecimal(stored.editable.value(i), line.editable[i]))
            return false;
    return stored.texts == line.texts && stored.goods == line.goods;
}

// One line's values as a row of the line table: key, number, code, then lineValueFields and
// lineTextFields.
void appendLine(QVariantList& args, const TContext& ctx, const TDocKind& k, const QString& id, const QString& key, const TLine& l, int seq,
                qint64 quantity)
{
    args << ctx.nickid << id << seq << key << l.code;
    if (k.quantityField)
        args << quantity;
    for (const QString& p : l.prices)
        args << p;
    for (const QVariant& e : l.editable)
        args << e;
    for (const QString& t : l.texts)
        args << t;
    if (k.goodsFlag)
        args << (l.goods ? 1 : 0);
}

QString lineInsertHead(const TDocKind& k)
{
    const QStringList values = lineValueFields(k) + lineTextFields(k) + lineFlagField(k);
    return QStringLiteral("INSERT INTO %1 (nickid, %2, seq, md5_key, %3%4) VALUES ").arg(lineTable(k), L(k.idField), codeField(k),
                                                                                      values.isEmpty() ? QString() : QStringLiteral(", ") + values.join(QStringLiteral(", ")));
}

int lineInsertWidth(const TDocKind& k)
{
    return int(5 + lineValueFields(k).size() + lineTextFields(k).size() + lineFlagField(k).size());
}

// Writes the lines numbered 1..n over the stored ones: a line equal to the one stored under
// its number stays, numbers past the end go, every other line is removed and inserted anew.
void writeLines(TContext& ctx, const TDocKind& k, const QString& id, const QString& key, const std::vector<TLine>& lines,
                const std::vector<qint64>& quantities, const QHash<int, TLine>& stored)
{
    std::vector<size_t> write;
    QVariantList replaced;
    for (size_t i = 0; i < lines.size(); ++i) {
        const int seq = int(i) + 1;
        const auto s = stored.constFind(seq);
        if (s != stored.constEnd()) {
            if (unchanged(k, *s, lines[i], quantities[i]))
                continue;
            replaced << seq;
        }
        write.push_back(i);
    }
    const QString table = lineTable(k), idField = L(k.idField);
    if (stored.size() > qsizetype(lines.size()))
        KxExec(ctx.db, QStringLiteral("DELETE FROM %1 WHERE nickid = ? AND %2 = ? AND seq > ?").arg(table, idField), {ctx.nickid, id, qint64(lines.size())});
    inChunks(ctx.db, QStringLiteral("DELETE FROM %1 WHERE nickid = ? AND %2 = ? AND seq IN (%3)").arg(table, idField, QStringLiteral("%1")),
             {ctx.nickid, id}, replaced, [](QSqlQuery&) {});
    if (write.empty())
        return;
    QVariantList args;
    for (const size_t at : write)
        appendLine(args, ctx, k, id, key, lines[at], int(at) + 1, quantities[at]);
    insertRows(ctx.db, lineInsertHead(k), lineInsertWidth(k), args);
}

// ---------------------------------------------------------------- save

// New documents saved together: their keys are looked up all at once before, their lines
// written all at once after.
struct TSaveBatch {
    QHash<QString, QStringList> prices;   // productPrices of every product the new lines name
    QStringList numbers;                  // the new documents' numbers, in turn
    qsizetype numbered = 0;
    QString who, when;                    // the stamp of the call
    QVariantList lines;
};

// Numbers for `n` new documents of the day, the day's counter moved once; a number typed by
// hand meanwhile is skipped, as KxNextCode skips it.
QStringList nextNumbers(TContext& ctx, const TDocKind& k, qsizetype n)
{
    if (n == 0)
        return {};
    const QString series = L(k.prefix) + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
    KxExec(ctx.db, QStringLiteral("INSERT INTO kx_counter (nickid, name, value) VALUES (?, ?, 0) ON CONFLICT DO NOTHING"), {ctx.nickid, series});
    KxExec(ctx.db, QStringLiteral("UPDATE kx_counter SET value = value + ? WHERE nickid = ? AND name = ?"), {qint64(n), ctx.nickid, series});
    const qint64 last = KxScalar(ctx.db, QStringLiteral("SELECT value FROM kx_counter WHERE nickid = ? AND name = ?"), {ctx.nickid, series}).toLongLong();
    QStringList numbers;
    QVariantList all;
    for (qint64 i = last - n + 1; i <= last; ++i) {
        numbers << series + QStringLiteral("%1").arg(i, k.numberWidth, 10, QLatin1Char('0'));
        all << numbers.last();
    }
    QSet<QString> taken;
    inChunks(ctx.db, QStringLiteral("SELECT %1 FROM %2 WHERE nickid = ? AND %1 IN (%3)").arg(L(k.idField), L(k.table), QStringLiteral("%1")),
             {ctx.nickid}, all, [&](QSqlQuery& q) {
                 while (q.next())
                     taken.insert(q.value(0).toString());
             });
    for (QString& number : numbers)
        if (taken.contains(number))
            number = KxNextCode(ctx, series, series, L(k.table), L(k.idField), k.numberWidth);
    return numbers;
}

// A line's values for the history, as "数量 5，进价 10" (its code is the change's item).
QString lineSummary(const TDocKind& k, const TLine& l, const QVariant& quantity)
{
    QList<QPair<QString, QString>> values;
    if (k.quantityField)
        values.append({KxHistoryCaption(L(k.quantityField)), KxHistoryNumber(quantity)});
    for (size_t i = 0; i < k.productPrices.size(); ++i)
        values.append({KxHistoryCaption(L(k.productPrices[i])), KxHistoryNumber(l.prices.value(qsizetype(i)))});
    for (size_t i = 0; i < k.editable.size(); ++i)
        values.append({KxHistoryCaption(L(k.editable[i])), KxHistoryNumber(l.editable.value(qsizetype(i)))});
    for (size_t i = 0; i < k.lineTexts.size(); ++i)
        values.append({KxHistoryCaption(L(k.lineTexts[i].field)), l.texts.value(qsizetype(i))});
    if (k.goodsFlag)
        values.append({KxHistoryCaption(L(k.goodsFlag)), l.goods ? QStringLiteral("是") : QStringLiteral("否")});
    return KxHistorySummary(values);
}

// The lines' part of a save's history, from what the save read and is about to write: a kept
// line is named by the number it was loaded with (what the operator saw), a new one by its
// new number.
void lineHistory(THistory& history, const TDocKind& k, const QHash<int, TLine>& stored, const std::vector<TLine>& removed,
                 const std::vector<TLine>& lines, const std::vector<qint64>& quantities)
{
    for (const TLine& l : removed)
        history.line(THistoryChange::Removed, l.origSeq, l.code, lineSummary(k, l, l.quantity));
    for (size_t i = 0; i < lines.size(); ++i) {
        const TLine& l = lines[i];
        if (l.origSeq < 0) {
            history.line(THistoryChange::Added, int(i) + 1, l.code, lineSummary(k, l, quantities[i]));
            continue;
        }
        const TLine& s = stored[l.origSeq];
        const auto number = [&](const char* field, const QVariant& before, const QVariant& after) {
            if (!sameDecimal(before, after))
                history.lineField(l.origSeq, l.code, L(field), KxHistoryCaption(L(field)), KxHistoryNumber(before), KxHistoryNumber(after));
        };
        if (s.code != l.code)
            history.lineField(l.origSeq, l.code, codeField(k), KxHistoryCaption(codeField(k)), s.code, l.code);
        if (k.quantityField)
            number(k.quantityField, s.quantity, QVariant(quantities[i]));
        for (size_t p = 0; p < k.productPrices.size(); ++p)
            number(k.productPrices[p], s.prices.value(qsizetype(p)), l.prices.value(qsizetype(p)));
        for (size_t e = 0; e < k.editable.size(); ++e)
            number(k.editable[e], s.editable.value(qsizetype(e)), l.editable.value(qsizetype(e)));
        for (size_t t = 0; t < k.lineTexts.size(); ++t)
            history.lineField(l.origSeq, l.code, L(k.lineTexts[t].field), KxHistoryCaption(L(k.lineTexts[t].field)),
                              s.texts.value(qsizetype(t)), l.texts.value(qsizetype(t)));
        if (k.goodsFlag && s.goods != l.goods)
            history.lineField(l.origSeq, l.code, L(k.goodsFlag), KxHistoryCaption(L(k.goodsFlag)), s.goods ? QStringLiteral("是") : QStringLiteral("否"),
                              l.goods ? QStringLiteral("是") : QStringLiteral("否"));
    }
}

// Saves one document: its header change `m` (or none) and its line changes; returns its number.
// What it changed goes to `history`.
QString saveDocument(TContext& ctx, const TDocKind& k, const TDeltaChange* m, const QList<TDeltaChange>& detail, THistory& history,
                     TSaveBatch* batch = nullptr)
{
    if (m && m->kind == TDeltaChange::Delete)
        throw TServiceError(kxRefused, QStringLiteral("%1不能删除").arg(L(k.title)));
    const QString key = m ? (m->kind == TDeltaChange::Insert ? m->values : m->original).value(QStringLiteral("md5_key")).toString().trimmed()
                          : keyOf(detail.first());
    if (key.isEmpty() || key.size() > 64)
        throw TServiceError(kxRefused, QStringLiteral("单据缺少有效的行标识（md5_key）"));

    const bool isNew = m && m->kind == TDeltaChange::Insert;
    // A saved document's row is locked before it is read: only changed lines are written, so
    // a concurrent save of it must wait and then read the header and lines this one leaves.
    // SQLite orders them by its one write lock: a save whose checks read a snapshot older than
    // another's commit fails at its first write and runs again (TOptimisticWrites), so its
    // reads and checks take no lock.
    if (!isNew && !ctx.store.isSqlite())
        KxExec(ctx.db, QStringLiteral("UPDATE %1 SET status = status WHERE nickid = ? AND md5_key = ? AND status IN (0, 1)").arg(L(k.table)),
               {ctx.nickid, key});
    THeader h = batch && isNew ? THeader() : headerByKey(ctx, k, key);
    if (isNew && h.exists)
        throw TServiceError(kxRefused, QStringLiteral("这张单据已经保存过（单据号【%1】），请刷新后再修改").arg(h.id));
    if (!isNew && !h.exists)
        throw TServiceError(kxRefused, QStringLiteral("要修改的单据已不存在，请刷新后再试"));
    if (h.exists)
        requireOpen(k, h);
    const QHash<QString, QString> before = h.fields;

    if (m) {
        for (const QString& f : operatorFields(k)) {
            if (!isNew && (!m->changed.contains(f) || givenOnInsert(k.texts, f)))
                continue;
            // What the client loaded must still be what is stored.
            const QVariant loaded = m->original.value(f);
            if (!isNew && loaded.isValid()
                && (isHeaderDecimal(k, f) ? !sameDecimal(loaded, h.fields.value(f)) : loaded.toString().trimmed() != h.fields.value(f)))
                throw TServiceError(kxRefused, L(kStale));
            h.fields.insert(f, m->values.value(f).toString().trimmed());
        }
        if (isNew) {
            if (k.hasShop)
                h.shopcode = m->values.value(QStringLiteral("shopcode")).toString().trimmed();
            if (h.shopcode.isEmpty())
                h.shopcode = ctx.shopcode;
            if (k.typeField && h.fields.value(L(k.typeField)).isEmpty())
                h.fields.insert(L(k.typeField), QString::fromUtf8(k.typeDefault));
        }
        const QVariant status = m->values.value(QStringLiteral("status"));
        if ((isNew || m->changed.contains(QStringLiteral("status"))) && status.isValid() && status.toInt() != 0 && status.toInt() != 1)
            throw TServiceError(kxRefused, QStringLiteral("非新建状态的单据，不能再改动！"));
    }
    const QString partyNameValue = checkHeader(ctx, k, h, false);

    // The lines as they are saved, changed by the delta in memory and then numbered 1..n;
    // `stored` keeps the saved state by number, so that only lines that differ are written.
    const QStringList values = lineValueFields(k);
    const QStringList textFields = lineTextFields(k);
    const qsizetype nPrices = qsizetype(k.productPrices.size()), nEditable = qsizetype(k.editable.size());
    std::vector<TLine> lines;
    QHash<int, TLine> stored;
    QHash<int, size_t> bySeq;
    if (h.exists) {
        const QStringList read = values + textFields + lineFlagField(k);
        QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT seq, %1%2 FROM %3 WHERE nickid = ? AND %4 = ? ORDER BY seq")
                                         .arg(codeField(k), read.isEmpty() ? QString() : QStringLiteral(", ") + read.join(QStringLiteral(", ")),
                                              lineTable(k), L(k.idField)),
                             {ctx.nickid, h.id});
        while (q.next()) {
            TLine l;
            l.origSeq = q.value(0).toInt();
            l.seq = q.value(0).toLongLong();
            l.code = q.value(1).toString();
            int c = 2;
            if (k.quantityField)
                l.quantity = q.value(c++);
            for (qsizetype i = 0; i < nPrices; ++i)
                l.prices << q.value(c++).toString();
            for (qsizetype i = 0; i < nEditable; ++i)
                l.editable << q.value(c++);
            for (qsizetype i = 0; i < textFields.size(); ++i)
                l.texts << q.value(c++).toString();
            if (k.goodsFlag)
                l.goods = q.value(c++).toInt() != 0;
            bySeq.insert(l.origSeq, lines.size());
            stored.insert(l.origSeq, l);
            lines.push_back(l);
        }
    }
    // A changed or deleted line is found by the number it was loaded with, and must still hold
    // what the client loaded: lines are renumbered on save, so a stale delta would otherwise
    // change or delete another line.
    const auto saved = [&](const TDeltaChange& ch) -> TLine& {
        const int seq = ch.original.value(QStringLiteral("seq")).toInt();
        const auto it = bySeq.constFind(seq);
        if (it == bySeq.constEnd() || lines[*it].deleted)
            throw TServiceError(kxRefused, L(kStale));
        const TLine& s = stored[seq];
        const auto differs = [&](const QString& field, const QVariant& now) {
            const QVariant old = ch.original.value(field);
            return old.isValid() && !sameDecimal(old, now) && old.toString().trimmed() != now.toString();
        };
        const QVariant oldCode = ch.original.value(codeField(k));
        if ((oldCode.isValid() && oldCode.toString().trimmed() != s.code) || (k.quantityField && differs(L(k.quantityField), s.quantity)))
            throw TServiceError(kxRefused, L(kStale));
        for (qsizetype i = 0; i < nEditable; ++i)
            if (differs(L(k.editable[size_t(i)]), s.editable[i]))
                throw TServiceError(kxRefused, L(kStale));
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
        if (all) {
            lines.emplace_back();
            for (qsizetype i = 0; i < nEditable; ++i)
                lines.back().editable << QVariant();
            for (qsizetype i = 0; i < textFields.size(); ++i)
                lines.back().texts << QString();
        }
        TLine& l = all ? lines.back() : saved(ch);
        if (all || ch.changed.contains(QStringLiteral("seq"))) {
            const QVariant seq = ch.values.value(QStringLiteral("seq"));
            l.seq = seq.isValid() ? seq.toLongLong() : std::numeric_limits<int>::max();
        }
        if (all || ch.changed.contains(codeField(k))) {
            l.code = ch.values.value(codeField(k)).toString().trimmed();
            l.reprice = true;
        }
        if (k.quantityField && (all || ch.changed.contains(L(k.quantityField))))
            l.quantity = ch.values.value(L(k.quantityField));
        for (qsizetype i = 0; i < nEditable; ++i)
            if (all || ch.changed.contains(L(k.editable[size_t(i)])))
                l.editable[i] = ch.values.value(L(k.editable[size_t(i)]));
        for (qsizetype i = 0; i < textFields.size(); ++i)
            if (all || (ch.changed.contains(textFields[i]) && k.lineTexts[size_t(i)].edit == EDocEdit::Always))
                l.texts[i] = ch.values.value(textFields[i]).toString().trimmed();
        if (k.goodsFlag && (all || ch.changed.contains(L(k.goodsFlag))))
            l.goods = flagOf(ch.values.value(L(k.goodsFlag)));
    }
    std::vector<TLine> removed;
    if (history.enabled())
        for (const TLine& l : lines)
            if (l.deleted && l.origSeq >= 0)
                removed.push_back(l);
    lines.erase(std::remove_if(lines.begin(), lines.end(), [](const TLine& l) { return l.deleted; }), lines.end());
    std::stable_sort(lines.begin(), lines.end(), [](const TLine& a, const TLine& b) { return a.seq < b.seq; });

    const QHash<QString, QStringList> prices = batch && isNew ? batch->prices : productPrices(ctx, k, lines);
    const int amountAt = k.amountPrice ? int(std::find_if(k.productPrices.begin(), k.productPrices.end(),
                                                          [&](const char* p) { return qstrcmp(p, k.amountPrice) == 0; }) - k.productPrices.begin()) : -1;
    const int totalAt = k.totalOf ? int(std::find_if(k.editable.begin(), k.editable.end(),
                                                     [&](const char* p) { return qstrcmp(p, k.totalOf) == 0; }) - k.editable.begin()) : -1;
    const int discountAt = k.amountDiscount ? int(std::find_if(k.editable.begin(), k.editable.end(),
                                                               [&](const char* p) { return qstrcmp(p, k.amountDiscount) == 0; }) - k.editable.begin()) : -1;
    TDecimal money = TDecimal::FromInteger(0);
    std::vector<qint64> quantities;
    for (size_t i = 0; i < lines.size(); ++i) {
        TLine& l = lines[i];
        const int seq = int(i) + 1;
        if (l.code.isEmpty() && !k.codeOptional)
            throw TServiceError(kxRefused, QStringLiteral("第 %1 行的商品编码不能为空").arg(seq));
        const auto p = prices.constFind(l.code);
        if (p == prices.constEnd() && !l.code.isEmpty())
            throw TServiceError(kxRefused, QStringLiteral("第 %1 行的商品【%2】不存在").arg(seq).arg(l.code.left(40)));
        if (l.reprice)
            l.prices = p == prices.constEnd() ? QStringList(qsizetype(k.productPrices.size()), QStringLiteral("0")) : *p;
        for (qsizetype t = 0; t < textFields.size(); ++t)
            if (l.texts[t].size() > k.lineTexts[size_t(t)].size)
                throw TServiceError(kxRefused, QStringLiteral("第 %1 行的【%2】不能超过 %3 个字符").arg(seq).arg(textFields[t]).arg(k.lineTexts[size_t(t)].size));
        quantities.push_back(k.quantityField ? quantityOf(k, l.quantity, seq) : 0);
        for (qsizetype e = 0; e < nEditable; ++e)
            l.editable[e] = priceOf(L(k.editable[size_t(e)]), l.editable[e], seq);
        if (k.totalField && amountAt >= 0) {
            std::optional<TDecimal> unit = TDecimal::Parse(l.prices.value(amountAt));
            if (unit && discountAt >= 0) {
                const TDecimal discount = *TDecimal::Parse(l.editable[discountAt].toString());
                if (discount > *unit)
                    throw TServiceError(kxRefused, QStringLiteral("第 %1 行的折扣【%2】不能大于单价【%3】").arg(seq).arg(discount.ToString(), unit->ToString()));
                unit = unit->Sub(discount);
            }
            const std::optional<TDecimal> amount = unit ? unit->Mul(TDecimal::FromInteger(quantities.back())) : std::nullopt;
            const std::optional<TDecimal> sum = amount ? money.Add(*amount) : std::nullopt;
            if (unit && (!sum || *sum > kMoneyMax || -*sum > kMoneyMax))
                throw TServiceError(kxRefused, QStringLiteral("第 %1 行起单据金额超出范围").arg(seq));
            if (sum)
                money = *sum;
        } else if (k.totalField && totalAt >= 0) {
            const std::optional<TDecimal> sum = money.Add(*TDecimal::Parse(l.editable[totalAt].toString()));
            if (!sum || *sum > kMoneyMax)
                throw TServiceError(kxRefused, QStringLiteral("第 %1 行起单据金额超出范围").arg(seq));
            money = *sum;
        }
    }

    // The header's columns as written, in operatorFields order, then the party's name and the total.
    const QStringList fields = operatorFields(k);
    QStringList columns = fields;
    QVariantList args;
    for (const QString& f : fields)
        args << h.fields.value(f);
    if (k.party != EDocParty::None) {
        columns << partyName(k);
        args << partyNameValue;
    }
    if (k.totalField) {
        columns << L(k.totalField);
        args << moneyText(money);
    }
    if (isNew) {
        // Numbers run per seller and day; the counter row is taken inside this transaction.
        const QString series = L(k.prefix) + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
        h.id = batch ? batch->numbers.value(batch->numbered++) : KxNextCode(ctx, series, series, L(k.table), L(k.idField), k.numberWidth);
        columns << L(k.idField) << QStringLiteral("md5_key") << QStringLiteral("inputren") << QStringLiteral("inputtime") << QStringLiteral("status");
        args << h.id << key << (batch ? batch->who : stamp(ctx)) << (batch ? batch->when : now()) << 1;
        if (k.hasShop) {
            columns << QStringLiteral("shopcode");
            args << h.shopcode;
        }
        KxExec(ctx.db, QStringLiteral("INSERT INTO %1 (nickid, %2) VALUES (?, %3)").arg(L(k.table), columns.join(QStringLiteral(", ")),
                                                                                       placeholders(args.size(), QStringLiteral("?"))),
               QVariantList{ctx.nickid} + args);
    } else {
        // The status test is repeated in the write, so a concurrent audit cannot slip between.
        QSqlQuery u = KxExec(ctx.db, QStringLiteral("UPDATE %1 SET %2 = ?, status = 1 WHERE nickid = ? AND %3 = ? AND status IN (0, 1)")
                                         .arg(L(k.table), columns.join(QStringLiteral(" = ?, ")), L(k.idField)),
                             args + QVariantList{ctx.nickid, h.id});
        if (u.numRowsAffected() != 1)
            throw TServiceError(kxRefused, QStringLiteral("%1【%2】已审核，不能再改动！").arg(L(k.title), h.id));
    }

    if (history.enabled()) {
        history.begin(h.id, isNew ? KxHistoryAction::Create : KxHistoryAction::Change);
        for (const QString& f : fields) {
            const bool amount = isHeaderDecimal(k, f);
            const QString now = amount ? KxHistoryNumber(h.fields.value(f)) : h.fields.value(f);
            if (!(isNew && amount && now == QLatin1String("0")))
                history.field(f, KxHistoryCaption(f), amount ? KxHistoryNumber(before.value(f)) : before.value(f), now);
        }
        if (isNew && k.hasShop)
            history.field(QStringLiteral("shopcode"), KxHistoryCaption(QStringLiteral("shopcode")), QString(), h.shopcode);
        lineHistory(history, k, stored, removed, lines, quantities);
    }
    if (batch && isNew)
        for (size_t i = 0; i < lines.size(); ++i)
            appendLine(batch->lines, ctx, k, h.id, key, lines[i], int(i) + 1, quantities[i]);
    else
        writeLines(ctx, k, h.id, key, lines, quantities, stored);
    return h.id;
}

void save(TContext& ctx, const TDocKind& k)
{
    const QByteArray* dm = ctx.call.file(QStringLiteral("deltamaster"));
    const QByteArray* dd = ctx.call.file(QStringLiteral("deltadetail"));
    if (!dm && !dd)
        throw TServiceError(kxMissingParam, QStringLiteral("缺少提交的修改记录（deltamaster、deltadetail）"));
    const QList<TDeltaChange> master = KxDocDelta(ctx, QStringLiteral("deltamaster"));
    const QList<TDeltaChange> detail = KxDocDelta(ctx, QStringLiteral("deltadetail"));
    if (master.size() > 1)
        throw TServiceError(kxRefused, QStringLiteral("一次只能保存一张单据"));
    if (master.isEmpty() && detail.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("无数据有变动，不用提交数据保存！"));
    THistory history(ctx, L(k.table));
    const QString id = saveDocument(ctx, k, master.isEmpty() ? nullptr : &master.first(), detail, history);
    history.write();
    addHeader(ctx, k, QStringLiteral("xmlmaster"), id);
    addLines(ctx, k, QStringLiteral("xmldetail"), id);
}

// ---------------------------------------------------------------- audit

// Audits the document of header change `ch`; returns its number.
QString auditOne(TContext& ctx, const TDocKind& k, const TDeltaChange& ch, const QString& who, const QString& when, THistory& history)
{
    if (ch.kind != TDeltaChange::Update)
        throw TServiceError(kxRefused, QStringLiteral("请先保存单据再提交审核"));
    THeader h = headerByKey(ctx, k, ch.original.value(QStringLiteral("md5_key")).toString().trimmed());
    if (!h.exists)
        throw TServiceError(kxRefused, QStringLiteral("要审核的单据不存在，请先保存"));
    if (h.status == 2)
        throw TServiceError(kxRefused, QStringLiteral("%1【%2】已审核，不能重复审核！").arg(L(k.title), h.id));
    if (h.status != 1)
        throw TServiceError(kxRefused, QStringLiteral("非新建状态的单据，不能提交审核！"));
    for (const QString& f : ch.changed)
        if (f != QLatin1String("status") && f != QLatin1String("statusname") && f != QLatin1String("auditren") && f != QLatin1String("audittime"))
            throw TServiceError(kxRefused, QStringLiteral("数据有变动，请保存后再提交审核！"));

    // The status changes first and only from 1: of two audits at once, the second finds
    // nothing to change and posts nothing. Every refusal after it undoes it with the rest.
    QSqlQuery u = KxExec(ctx.db, QStringLiteral("UPDATE %1 SET status = 2, auditren = ?, audittime = ? WHERE nickid = ? AND %2 = ? AND status = 1")
                                     .arg(L(k.table), L(k.idField)),
                         {who, when, ctx.nickid, h.id});
    if (u.numRowsAffected() != 1)
        throw TServiceError(kxRefused, QStringLiteral("%1【%2】已审核，不能重复审核！").arg(L(k.title), h.id));
    history.begin(h.id, KxHistoryAction::Audit);
    history.field(QStringLiteral("status"), KxHistoryCaption(QStringLiteral("status")), QStringLiteral("已保存"), QStringLiteral("已审核"));
    h = headerByKey(ctx, k, ch.original.value(QStringLiteral("md5_key")).toString().trimmed());
    if (k.stock != EDocStock::None) {
        checkHeader(ctx, k, h, true);
        QStringList storages;
        for (const TDocStorage& s : k.storages)
            storages << h.fields.value(L(s.idField));
        KxRefuseFrozen(ctx, storages);
    }

    std::vector<TPost> posts;
    const bool hasCost = std::any_of(k.productPrices.begin(), k.productPrices.end(), [](const char* p) { return qstrcmp(p, "costprice") == 0; });
    QStringList fields{QStringLiteral("seq"), codeField(k), k.quantityField ? L(k.quantityField) : QStringLiteral("0"),
                       hasCost ? QStringLiteral("costprice") : QStringLiteral("''")};
    for (const char* e : k.editable)
        fields << L(e);
    fields << (k.goodsFlag ? L(k.goodsFlag) : QStringLiteral("1"));
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT %1 FROM %2 WHERE nickid = ? AND %3 = ? ORDER BY seq").arg(fields.join(QStringLiteral(", ")), lineTable(k), L(k.idField)),
                         {ctx.nickid, h.id});
    const int flagAt = 4 + int(k.editable.size());
    int lines = 0, moneyOnly = 0;
    while (q.next()) {
        ++lines;
        // A line of money only moves no goods: nothing to post.
        if (q.value(flagAt).toInt() == 0) {
            ++moneyOnly;
            continue;
        }
        // A line whose marketplace SKU is not bound yet names no goods to take out (or put back).
        if (k.codeOptional && k.stock != EDocStock::None && q.value(1).toString().trimmed().isEmpty())
            throw TServiceError(kxRefused, k.goodsFlag ? QStringLiteral("%1【%2】第%3行退回了商品但没有商品编码，请先填写商品编码再审核！").arg(L(k.title), h.id).arg(q.value(0).toInt())
                                                       : QStringLiteral("%1【%2】第%3行没有商品编码，请先绑定商品再审核！").arg(L(k.title), h.id).arg(q.value(0).toInt()));
        TPost p{q.value(0).toInt(), q.value(1).toString(), k.quantityField ? quantityOf(k, q.value(2), q.value(0).toInt()) : 0, q.value(3).toString(), {}};
        for (int i = 0; i < int(k.editable.size()); ++i)
            p.editable << q.value(4 + i);
        posts.push_back(p);
    }
    if (lines == 0)
        throw TServiceError(kxRefused, QStringLiteral("%1【%2】没有明细，不能审核！").arg(L(k.title), h.id));
    if (k.goodsFlag) {
        ctx.answer.add(QStringLiteral("goodslines"), qint64(posts.size()));
        ctx.answer.add(QStringLiteral("moneylines"), qint64(moneyOnly));
        ctx.answer.add(QStringLiteral("info"), moneyOnly == 0 ? QStringLiteral("%1【%2】%3 行退货入库").arg(L(k.title), h.id).arg(posts.size())
                                               : posts.empty() ? QStringLiteral("%1【%2】只退款不退货，不影响库存").arg(L(k.title), h.id)
                                                               : QStringLiteral("%1【%2】%3 行退货入库，%4 行只退款不退货，不影响库存").arg(L(k.title), h.id).arg(posts.size()).arg(moneyOnly));
    }

    std::vector<TPriceChange> priceChanges;
    if (k.prices == EDocPrices::MovingCost)
        priceChanges = movingCosts(ctx, posts);   // before the stock moves: averages with the stock before
    else if (k.prices == EDocPrices::Set)
        priceChanges = setPrices(ctx, k, posts);
    if (k.stock != EDocStock::None) {
        std::vector<TMove> moves;
        const QString first = h.fields.value(L(k.storages[0].idField));
        for (const TPost& p : posts) {
            switch (k.stock) {
            case EDocStock::In:
            case EDocStock::Signed: moves.push_back({first, &p, p.quantity}); break;
            case EDocStock::Out: moves.push_back({first, &p, -p.quantity}); break;
            case EDocStock::Transfer:
                moves.push_back({first, &p, -p.quantity});
                moves.push_back({h.fields.value(L(k.storages[1].idField)), &p, p.quantity});
                break;
            case EDocStock::None: break;
            }
        }
        if (!moves.empty())
            postStock(ctx, k, h.id, moves, when);
    }
    writePriceChanges(ctx, k, h.id, priceChanges, when);
    return h.id;
}

void audit(TContext& ctx, const TDocKind& k)
{
    if (!ctx.call.file(QStringLiteral("deltamaster")))
        throw TServiceError(kxMissingParam, QStringLiteral("缺少提交审核的单据（deltamaster）"));
    const QList<TDeltaChange> changes = KxDocDelta(ctx, QStringLiteral("deltamaster"));
    if (changes.isEmpty() || (changes.size() != 1 && !k.batchAudit))
        throw TServiceError(kxRefused, QStringLiteral("一次只能审核一张单据"));
    const QString who = stamp(ctx), when = now();
    THistory history(ctx, L(k.table));
    if (changes.size() == 1) {
        const QString id = auditOne(ctx, k, changes.first(), who, when, history);
        history.write();
        addHeader(ctx, k, QStringLiteral("xmlmaster"), id);
        return;
    }
    // A batch is audited whole: any refusal, naming its document, undoes every other.
    QStringList ids;
    QSet<QString> keys;
    for (const TDeltaChange& ch : changes) {
        if (keys.contains(ch.original.value(QStringLiteral("md5_key")).toString().trimmed()))
            continue;
        keys.insert(ch.original.value(QStringLiteral("md5_key")).toString().trimmed());
        ids << auditOne(ctx, k, ch, who, when, history);
    }
    history.write();
    KxDocAnswerHeaders(ctx, k, QStringLiteral("xmlmaster"), ids);
}
}

QList<TDeltaChange> KxDocDelta(const TContext& ctx, const QString& part)
{
    // The dispatcher has read the call's deltas before its transaction began.
    if (const QList<TDeltaChange>* read = ctx.delta(part))
        return *read;
    const QByteArray* d = ctx.call.file(part);
    return d ? KxReadDelta(*d) : QList<TDeltaChange>();
}

void KxDocAnswerHeaders(TContext& ctx, const TDocKind& kind, const QString& name, const QStringList& ids)
{
    QVariantList args{ctx.nickid};
    for (const QString& id : ids)
        args << id;
    const QString in = ids.isEmpty() ? QStringLiteral("NULL") : placeholders(ids.size(), QStringLiteral("?"));
    QSqlQuery q = KxExec(ctx.db, headerShape(kind).select.arg(L(kind.table) + QStringLiteral(" h"))
                                     + QStringLiteral(" WHERE h.nickid = ? AND h.%1 IN (%2) ORDER BY h.%1").arg(L(kind.idField), in), args);
    ctx.answer.addPacket(name, KxQueryPacket(q, headerShape(kind).columns));
}

void KxDocAnswerLines(TContext& ctx, const TDocKind& kind, const QString& name, const QStringList& ids)
{
    QVariantList args{ctx.nickid};
    for (const QString& id : ids)
        args << id;
    const QString in = ids.isEmpty() ? QStringLiteral("NULL") : placeholders(ids.size(), QStringLiteral("?"));
    QSqlQuery q = KxExec(ctx.db, linesSelect(kind) + QStringLiteral(" WHERE l.nickid = ? AND l.%1 IN (%2) ORDER BY l.%1, l.seq").arg(L(kind.idField), in), args);
    ctx.answer.addPacket(name, KxQueryPacket(q, lineColumns(kind)));
}

QStringList KxDocSaveMany(TContext& ctx, const TDocKind& kind, const QList<TDeltaChange>& master, const QList<TDeltaChange>& detail)
{
    QHash<QString, QList<TDeltaChange>> linesOf;
    for (const TDeltaChange& ch : detail)
        linesOf[keyOf(ch)].append(ch);
    QStringList ids;
    QSet<QString> keys;
    QVariantList newKeys;
    for (const TDeltaChange& m : master) {
        const QString key = (m.kind == TDeltaChange::Insert ? m.values : m.original).value(QStringLiteral("md5_key")).toString().trimmed();
        if (keys.contains(key))
            throw TServiceError(kxRefused, QStringLiteral("%1的行标识（md5_key）重复：%2").arg(L(kind.title), key.left(64)));
        keys.insert(key);
        if (m.kind == TDeltaChange::Insert)
            newKeys << key;
    }
    // A new document whose key is saved already was sent before (an answer lost): refused.
    inChunks(ctx.db, QStringLiteral("SELECT %1 FROM %2 WHERE nickid = ? AND md5_key IN (%3)").arg(L(kind.idField), L(kind.table), QStringLiteral("%1")),
             {ctx.nickid}, newKeys, [](QSqlQuery& q) {
                 if (q.next())
                     throw TServiceError(kxRefused, QStringLiteral("这张单据已经保存过（单据号【%1】），请刷新后再修改").arg(q.value(0).toString()));
             });
    TSaveBatch batch;
    std::vector<TLine> named;
    for (const TDeltaChange& ch : detail)
        if (ch.kind == TDeltaChange::Insert) {
            named.emplace_back();
            named.back().code = ch.values.value(codeField(kind)).toString().trimmed();
        }
    batch.prices = productPrices(ctx, kind, named);
    batch.numbers = nextNumbers(ctx, kind, newKeys.size());
    batch.who = stamp(ctx);
    batch.when = now();
    THistory history(ctx, L(kind.table));
    for (const TDeltaChange& m : master) {
        const QString key = (m.kind == TDeltaChange::Insert ? m.values : m.original).value(QStringLiteral("md5_key")).toString().trimmed();
        ids << saveDocument(ctx, kind, &m, linesOf.value(key), history, &batch);
    }
    insertRows(ctx.db, lineInsertHead(kind), lineInsertWidth(kind), batch.lines);
    for (auto it = linesOf.constBegin(); it != linesOf.constEnd(); ++it)
        if (!keys.contains(it.key()))
            throw TServiceError(kxRefused, QStringLiteral("明细与单据的行标识（md5_key）不一致"));
    history.write();
    return ids;
}

void KxDocSearch(TContext& ctx, const TDocKind& kind)
{
    search(ctx, kind);
}

void KxDocLines(TContext& ctx, const TDocKind& kind)
{
    addLines(ctx, kind, QStringLiteral("xmldata"), ctx.need(L(kind.idField)).trimmed());
}

// One document for the edit form; no number gives the empty structures of a new one.
void KxDocLoad(TContext& ctx, const TDocKind& kind)
{
    const QString id = ctx.param(L(kind.idField)).trimmed();
    if (!id.isEmpty()
        && !KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM %1 WHERE nickid = ? AND %2 = ?").arg(L(kind.table), L(kind.idField)), {ctx.nickid, id}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("%1【%2】不存在").arg(L(kind.title), id.left(40)));
    addHeader(ctx, kind, QStringLiteral("xmlmaster"), id);
    addLines(ctx, kind, QStringLiteral("xmldetail"), id);
}

void KxDocSave(TContext& ctx, const TDocKind& kind)
{
    save(ctx, kind);
}

void KxDocAudit(TContext& ctx, const TDocKind& kind)
{
    audit(ctx, kind);
}
