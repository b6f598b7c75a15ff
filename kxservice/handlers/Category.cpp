#include "Category.h"

#include "store/Paging.h"
#include "store/Packet.h"
#include "uRequest.h"

#include <limits>

namespace {
using Col = TPacketColumn;

struct TTree {
    const char* search;
    const char* update;
    const char* type; // kx_category.cattype
};

const TTree kTrees[] = {
    {"Category.Search", "Category.Update", "goods"},
    {"Category.SupplierSearch", "Category.SupplierUpdate", "supplier"},
    {"Category.VipcardSearch", "Category.VipcardUpdate", "vipcard"},
};

QString typeOf(const TContext& ctx)
{
    for (const TTree& t : kTrees)
        if (ctx.call.method() == QLatin1String(t.search) || ctx.call.method() == QLatin1String(t.update))
            return QString::fromLatin1(t.type);
    throw TServiceError(kxUnknownMethod, QStringLiteral("未知的服务方法：%1").arg(ctx.call.method()));
}

const QList<Col>& columns()
{
    static const QList<Col> cols{{QStringLiteral("parent_id"), Col::Integer}, {QStringLiteral("child_id"), Col::Integer},
                                 {QStringLiteral("child_name"), Col::Text, 50}, {QStringLiteral("md5_key"), Col::Text, 32}};
    return cols;
}

const QString kSelect = QStringLiteral("SELECT parentid, catid, catname, md5_key FROM kx_category");

void search(TContext& ctx)
{
    KxAnswerPage(ctx, kSelect, QStringLiteral("nickid = ? AND cattype = ?"), {ctx.nickid, typeOf(ctx)},
                 QStringLiteral("seq, catid"), columns());
}

bool exists(TContext& ctx, const QString& type, qint64 id)
{
    return KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_category WHERE nickid = ? AND cattype = ? AND catid = ?"),
                    {ctx.nickid, type, id}).isValid();
}

// Ids are unique per seller over all trees; the counter starts above the seeded ones.
qint64 nextId(TContext& ctx)
{
    KxExec(ctx.db, QStringLiteral("INSERT INTO kx_counter (nickid, name, value) SELECT ?, 'kx_category', COALESCE(MAX(catid), 0)"
                                  " FROM kx_category WHERE nickid = ? ON CONFLICT DO NOTHING"), {ctx.nickid, ctx.nickid});
    for (;;) {
        KxExec(ctx.db, QStringLiteral("UPDATE kx_counter SET value = value + 1 WHERE nickid = ? AND name = 'kx_category'"), {ctx.nickid});
        const qint64 id = KxScalar(ctx.db, QStringLiteral("SELECT value FROM kx_counter WHERE nickid = ? AND name = 'kx_category'"),
                                   {ctx.nickid}).toLongLong();
        if (!KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_category WHERE nickid = ? AND catid = ?"), {ctx.nickid, id}).isValid())
            return id;
    }
}

QString checkedName(const QVariant& v)
{
    const QString name = v.isValid() ? v.toString().trimmed() : QString();
    if (name.isEmpty())
        throw TServiceError(kxRefused, QStringLiteral("分类名称不能为空"));
    if (name.size() > 50)
        throw TServiceError(kxRefused, QStringLiteral("分类名称不能超过 50 个字符"));
    return name;
}

qint64 idValue(const QVariant& v, const char* what)
{
    bool ok = false;
    const qint64 id = v.isValid() ? v.toLongLong(&ok) : 0;
    if (v.isValid() && !ok)
        throw TServiceError(kxRefused, QStringLiteral("%1应为整数").arg(QString::fromUtf8(what)));
    // Category ids are INTEGER columns, 32 bits on PostgreSQL.
    if (id < std::numeric_limits<qint32>::min() || id > std::numeric_limits<qint32>::max())
        throw TServiceError(kxRefused, QStringLiteral("%1超出范围：%2").arg(QString::fromUtf8(what)).arg(id));
    return id;
}

// A renamed or deleted category must still be as the client loaded it (its name and parent),
// so that a stale tree cannot undo someone else's change.
void checkUnchanged(TContext& ctx, const QString& type, qint64 id, const TDeltaChange& ch, const char* gone)
{
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT catname, parentid FROM kx_category WHERE nickid = ? AND cattype = ? AND catid = ?"),
                         {ctx.nickid, type, id});
    if (!q.next())
        throw TServiceError(kxRefused, QString::fromUtf8(gone).arg(id));
    const QString name = QStringLiteral("child_name"), parent = QStringLiteral("parent_id");
    if ((ch.original.contains(name) && ch.original.value(name).toString() != q.value(0).toString())
        || (ch.original.contains(parent) && ch.original.value(parent).toLongLong() != q.value(1).toLongLong()))
        throw TServiceError(kxRefused, QStringLiteral("分类【%1】的数据已被他人修改，请刷新后再保存！").arg(id));
}

// The subtree of one category: the category and every category below it.
const QString kSubtree = QStringLiteral(
    "WITH RECURSIVE sub(catid) AS (SELECT catid FROM kx_category WHERE nickid = ? AND cattype = ? AND catid = ?"
    " UNION SELECT c.catid FROM kx_category c JOIN sub ON c.parentid = sub.catid WHERE c.nickid = ? AND c.cattype = ?) ");

// Deleting a category that records still use would leave them pointing at nothing: refused,
// naming how many records of each kind use the category or one below it.
void refuseWhileUsed(TContext& ctx, const QString& type, qint64 id)
{
    struct TUse {
        const char* sql;
        const char* unit;
    };
    static const TUse uses[] = {
        {"SELECT COUNT(*) FROM kx_goods WHERE nickid = ? AND catid IN (SELECT catid FROM sub)", "个货品"},
        {"SELECT COUNT(*) FROM kx_commodity m JOIN kx_goods g ON g.nickid = m.nickid AND g.goodscode = m.goodscode"
         " WHERE m.nickid = ? AND m.is_del = 0 AND g.catid IN (SELECT catid FROM sub)", "个商品"},
        {"SELECT COUNT(*) FROM kx_supplier WHERE nickid = ? AND catid IN (SELECT catid FROM sub)", "个供应商"},
        {"SELECT COUNT(*) FROM kx_vipcard WHERE nickid = ? AND catid IN (SELECT catid FROM sub)", "张会员卡"},
    };
    QStringList counts;
    for (const TUse& u : uses) {
        const qint64 n = KxScalar(ctx.db, kSubtree + QString::fromLatin1(u.sql),
                                  {ctx.nickid, type, id, ctx.nickid, type, ctx.nickid}).toLongLong();
        if (n > 0)
            counts << QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(u.unit));
    }
    if (counts.isEmpty())
        return;
    const QString name = KxScalar(ctx.db, QStringLiteral("SELECT catname FROM kx_category WHERE nickid = ? AND catid = ?"),
                                  {ctx.nickid, id}).toString();
    throw TServiceError(kxRefused, QStringLiteral("分类【%1】及其下级分类正被 %2使用，不能删除")
                                       .arg(name, counts.join(QStringLiteral("、"))));
}

void update(TContext& ctx)
{
    const QString type = typeOf(ctx);
    const QList<TDeltaChange>* changes = ctx.delta(QStringLiteral("delta"));
    if (!changes)
        throw TServiceError(kxMissingParam, QStringLiteral("缺少提交的修改记录（delta）"));
    QList<qint64> touched;
    for (const TDeltaChange& ch : *changes) {
        if (ch.kind == TDeltaChange::Delete) {
            // The category and every category below it; one already gone with an ancestor
            // deleted earlier in this save is nothing to do.
            const qint64 id = idValue(ch.original.value(QStringLiteral("child_id")), "分类编码");
            if (exists(ctx, type, id))
                checkUnchanged(ctx, type, id, ch, "要删除的分类【%1】已不存在，请刷新后再试");
            refuseWhileUsed(ctx, type, id);
            KxExec(ctx.db, kSubtree + QStringLiteral("DELETE FROM kx_category WHERE nickid = ? AND catid IN (SELECT catid FROM sub)"),
                   {ctx.nickid, type, id, ctx.nickid, type, ctx.nickid});
            touched.removeAll(id);
            continue;
        }
        if (ch.kind == TDeltaChange::Insert) {
            const qint64 parent = idValue(ch.values.value(QStringLiteral("parent_id")), "父级分类");
            if (parent != 0 && !exists(ctx, type, parent))
                throw TServiceError(kxRefused, QStringLiteral("父级分类 %1 不存在，请刷新后再试").arg(parent));
            const qint64 id = nextId(ctx);
            KxExec(ctx.db, QStringLiteral("INSERT INTO kx_category (nickid, catid, parentid, catname, cattype, seq, md5_key)"
                                          " VALUES (?, ?, ?, ?, ?, ?, ?)"),
                   {ctx.nickid, id, parent, checkedName(ch.values.value(QStringLiteral("child_name"))), type, id,
                    ch.values.value(QStringLiteral("md5_key")).toString().left(32)});
            touched << id;
            continue;
        }
        const qint64 id = idValue(ch.original.value(QStringLiteral("child_id")), "分类编码");
        checkUnchanged(ctx, type, id, ch, "要修改的分类【%1】已不存在，请刷新后再试");
        if (ch.changed.contains(QStringLiteral("child_id")) || ch.changed.contains(QStringLiteral("parent_id")))
            throw TServiceError(kxRefused, QStringLiteral("分类编码和父级分类不能修改"));
        if (ch.changed.contains(QStringLiteral("child_name")))
            KxExec(ctx.db, QStringLiteral("UPDATE kx_category SET catname = ? WHERE nickid = ? AND catid = ?"),
                   {checkedName(ch.values.value(QStringLiteral("child_name"))), ctx.nickid, id});
        if (ch.changed.contains(QStringLiteral("md5_key")))
            KxExec(ctx.db, QStringLiteral("UPDATE kx_category SET md5_key = ? WHERE nickid = ? AND catid = ?"),
                   {ch.values.value(QStringLiteral("md5_key")).toString().left(32), ctx.nickid, id});
        if (!touched.contains(id))
            touched << id;
    }
    // The saved records as they are now, for the client to merge by md5_key.
    QString in = QStringLiteral("0");
    QVariantList args{ctx.nickid, type};
    if (!touched.isEmpty()) {
        in = QStringList(touched.size(), QStringLiteral("?")).join(QStringLiteral(", "));
        for (qint64 id : touched)
            args << id;
    }
    QSqlQuery q = KxExec(ctx.db, kSelect + QStringLiteral(" WHERE nickid = ? AND cattype = ? AND catid IN (%1) ORDER BY seq, catid").arg(in), args);
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, columns()));
}

} // namespace

const std::vector<TMethodDef>& KxCategoryMethods()
{
    static const std::vector<TMethodDef> methods = [] {
        std::vector<TMethodDef> m;
        for (const TTree& t : kTrees) {
            m.push_back({t.search, EAccess::Module, ETx::Read, search});
            m.push_back({t.update, EAccess::Module, ETx::Write, update});
        }
        return m;
    }();
    return methods;
}
