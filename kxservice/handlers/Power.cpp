#include "Power.h"

#include "store/Packet.h"
#include "uRequest.h"

#include <QHash>
#include <QSet>

namespace {
using Col = TPacketColumn;

const char* const kRights[] = {"isupdate", "isaudit", "issearch", "isprint", "isoutput", "iscolumn"};

// The rights form itself: whoever holds it with "isupdate" can hand out every other right.
const char* const kHolders =
    "SELECT COUNT(*) FROM kx_power w"
    " JOIN kx_module m ON m.nickid = w.nickid AND m.mod_id = w.mod_id"
    " JOIN kx_operator o ON o.nickid = w.nickid AND o.operid = w.operid"
    " WHERE w.nickid = ? AND m.moduleclass = 'TfrmPower' AND w.isupdate <> 0 AND o.isuse <> 0";

int holders(TContext& ctx)
{
    return KxScalar(ctx.db, QString::fromLatin1(kHolders), {ctx.nickid}).toInt();
}

const char* const kLockOut = "至少要保留一个在用的操作员拥有【%1】的录入权限，否则再也没有人能分配权限";

QString rightsFormTitle(TContext& ctx)
{
    const QString t = KxScalar(ctx.db, QStringLiteral("SELECT moduletitle FROM kx_module WHERE nickid = ? AND moduleclass = 'TfrmPower'"
                                                      " ORDER BY mod_id"), {ctx.nickid}).toString();
    return t.isEmpty() ? QStringLiteral("操作员权限") : t;
}

// The operator whose rights are shown or saved; it must be one of the seller's.
QString curOperator(TContext& ctx)
{
    const QString operid = ctx.need(QStringLiteral("curoperid")).trimmed();
    if (!KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_operator WHERE nickid = ? AND operid = ?"), {ctx.nickid, operid}).isValid())
        throw TServiceError(kxRefused, QStringLiteral("操作员【%1】不存在").arg(operid.left(40)));
    return operid;
}

// Modules that rights apply to are those not open to everyone. Those of the navigation come
// first in menu order; the dialogs they open (edit forms, print windows) follow by id, so
// that a save, which replaces the whole set, never drops a right the grid did not show.
void show(TContext& ctx)
{
    const QString operid = curOperator(ctx);
    QSqlQuery q = KxExec(ctx.db, QStringLiteral(
        "SELECT m.mod_id, COALESCE(w.mod_id, -1), m.moduletitle,"
        " COALESCE(w.isupdate, 0), COALESCE(w.isaudit, 0), COALESCE(w.issearch, 0),"
        " COALESCE(w.isprint, 0), COALESCE(w.isoutput, 0), COALESCE(w.iscolumn, 0)"
        " FROM kx_module m"
        " LEFT JOIN (SELECT mod_id, MIN(seq) AS seq FROM kx_menu WHERE nickid = ? GROUP BY mod_id) n ON n.mod_id = m.mod_id"
        " LEFT JOIN kx_power w ON w.nickid = m.nickid AND w.mod_id = m.mod_id AND w.operid = ?"
        " WHERE m.nickid = ? AND m.ispublic = 0"
        " ORDER BY CASE WHEN n.seq IS NULL THEN 1 ELSE 0 END, n.seq, m.mod_id"),
        {ctx.nickid, operid, ctx.nickid});
    QList<Col> cols{{QStringLiteral("pmod_id"), Col::Integer}, {QStringLiteral("mod_id"), Col::Integer},
                    {QStringLiteral("display"), Col::Text, 50}};
    for (const char* r : kRights)
        cols.append({QString::fromLatin1(r), Col::Boolean});
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, cols));
}

QList<Col> storedColumns()
{
    QList<Col> cols{{QStringLiteral("operid"), Col::Text, 20}, {QStringLiteral("mod_id"), Col::Integer}};
    for (const char* r : kRights)
        cols.append({QString::fromLatin1(r), Col::Boolean});
    cols.append({QStringLiteral("md5_key"), Col::Text, 40});
    return cols;
}

void answerStored(TContext& ctx, const QStringList& operids)
{
    QString in;
    QVariantList args{ctx.nickid};
    for (const QString& o : operids) {
        in += in.isEmpty() ? QStringLiteral("?") : QStringLiteral(", ?");
        args << o;
    }
    if (in.isEmpty())
        in = QStringLiteral("NULL");
    QSqlQuery q = KxExec(ctx.db, QStringLiteral(
        "SELECT w.operid, w.mod_id, w.isupdate, w.isaudit, w.issearch, w.isprint, w.isoutput, w.iscolumn,"
        " w.operid || '/' || CAST(w.mod_id AS TEXT) FROM kx_power w JOIN kx_module m ON m.nickid = w.nickid AND m.mod_id = w.mod_id"
        " WHERE w.nickid = ? AND m.ispublic = 0 AND w.operid IN (%1) ORDER BY w.operid, w.mod_id").arg(in), args);
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, storedColumns()));
}

void search(TContext& ctx)
{
    answerStored(ctx, {curOperator(ctx)});
}

bool flag(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return false;
    const QString s = v.toString().trimmed().toLower();
    return s == QLatin1String("1") || s == QLatin1String("true");
}

struct TRightsRow {
    QString operid;
    qint64 modId = 0;
    int rights[6] = {};
};

TRightsRow rowOf(const TDeltaSide& side)
{
    TRightsRow r;
    r.operid = side.value(QStringLiteral("operid")).toString().trimmed();
    bool ok = false;
    r.modId = side.value(QStringLiteral("mod_id")).toLongLong(&ok);
    if (r.operid.isEmpty() || !ok)
        throw TServiceError(kxRefused, QStringLiteral("权限记录缺少操作员编码或模块编码"));
    for (int i = 0; i < 6; ++i)
        r.rights[i] = flag(side.value(QString::fromLatin1(kRights[i]))) ? 1 : 0;
    return r;
}

const char* const kStale = "操作员【%1】的权限已被他人修改，请刷新后再保存！";

// The stored row as the delta's old values say it was; a save over another's change is refused.
void checkOriginal(TContext& ctx, const TRightsRow& old)
{
    QSqlQuery q = KxExec(ctx.db, QStringLiteral("SELECT isupdate, isaudit, issearch, isprint, isoutput, iscolumn FROM kx_power"
                                                " WHERE nickid = ? AND operid = ? AND mod_id = ?"), {ctx.nickid, old.operid, old.modId});
    bool same = q.next();
    for (int i = 0; same && i < 6; ++i)
        same = (q.value(i).toInt() != 0) == (old.rights[i] != 0);
    if (!same)
        throw TServiceError(kxRefused, QString::fromUtf8(kStale).arg(old.operid.left(40)));
}

void writeRow(TContext& ctx, const TRightsRow& r)
{
    QVariantList args{ctx.nickid, r.operid, r.modId};
    for (int v : r.rights)
        args << v;
    KxExec(ctx.db, QStringLiteral("INSERT INTO kx_power (nickid, operid, mod_id, isupdate, isaudit, issearch, isprint, isoutput, iscolumn)"
                                  " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"), args);
}

// Deletes, updates and inserts of rights rows, all in the call's one transaction: a call of
// the operator sees the set before or after the save, never part of it. The delta is checked
// against what is stored, and a save that leaves no operator able to save rights is refused.
void update(TContext& ctx)
{
    const QList<TDeltaChange>* delta = ctx.delta(QStringLiteral("delta"));
    if (!delta)
        throw TServiceError(kxMissingParam, QStringLiteral("缺少文件参数：delta"));
    const int before = holders(ctx);
    QSet<QString> operators, known;
    QSet<qint64> modules;
    auto checkNames = [&](const TRightsRow& r) {
        if (!known.contains(r.operid)) {
            if (!KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_operator WHERE nickid = ? AND operid = ?"), {ctx.nickid, r.operid}).isValid())
                throw TServiceError(kxRefused, QStringLiteral("操作员【%1】不存在").arg(r.operid.left(40)));
            known.insert(r.operid);
        }
        if (!modules.contains(r.modId)) {
            if (!KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_module WHERE nickid = ? AND mod_id = ?"), {ctx.nickid, r.modId}).isValid())
                throw TServiceError(kxRefused, QStringLiteral("模块 %1 不存在").arg(r.modId));
            modules.insert(r.modId);
        }
        operators.insert(r.operid);
    };
    // Deletes first, so that a set deleted and appended again in one delta is replaced.
    for (const TDeltaChange& c : *delta) {
        if (c.kind != TDeltaChange::Delete)
            continue;
        const TRightsRow old = rowOf(c.original);
        checkOriginal(ctx, old);
        operators.insert(old.operid);
        KxExec(ctx.db, QStringLiteral("DELETE FROM kx_power WHERE nickid = ? AND operid = ? AND mod_id = ?"), {ctx.nickid, old.operid, old.modId});
    }
    for (const TDeltaChange& c : *delta) {
        if (c.kind == TDeltaChange::Update) {
            const TRightsRow old = rowOf(c.original);
            TRightsRow now = rowOf(c.values);
            if (now.operid != old.operid || now.modId != old.modId)
                throw TServiceError(kxRefused, QStringLiteral("权限记录的操作员和模块不能修改"));
            checkOriginal(ctx, old);
            checkNames(now);
            KxExec(ctx.db, QStringLiteral("DELETE FROM kx_power WHERE nickid = ? AND operid = ? AND mod_id = ?"), {ctx.nickid, old.operid, old.modId});
            writeRow(ctx, now);
        } else if (c.kind == TDeltaChange::Insert) {
            const TRightsRow r = rowOf(c.values);
            checkNames(r);
            if (KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_power WHERE nickid = ? AND operid = ? AND mod_id = ?"),
                         {ctx.nickid, r.operid, r.modId}).isValid())
                throw TServiceError(kxRefused, QString::fromUtf8(kStale).arg(r.operid.left(40)));
            writeRow(ctx, r);
        }
    }
    if (before > 0 && holders(ctx) == 0)
        throw TServiceError(kxRefused, QString::fromUtf8(kLockOut).arg(rightsFormTitle(ctx)));
    QStringList list(operators.begin(), operators.end());
    list.sort();
    answerStored(ctx, list);
}
}

void KxKeepRightsHolder(TContext& ctx, const QString& operid)
{
    const int all = holders(ctx);
    if (all == 0)
        return;
    const int his = KxScalar(ctx.db, QString::fromLatin1(kHolders) + QStringLiteral(" AND w.operid = ?"), {ctx.nickid, operid}).toInt();
    if (his > 0 && all - his == 0)
        throw TServiceError(kxRefused, QString::fromUtf8(kLockOut).arg(rightsFormTitle(ctx)));
}

const std::vector<TMethodDef>& KxPowerMethods()
{
    static const std::vector<TMethodDef> methods = {
        {"Power.Show", EAccess::Module, ETx::Read, show},
        {"Power.Search", EAccess::Module, ETx::Read, search},
        {"Power.Update", EAccess::Module, ETx::Write, update},
    };
    return methods;
}
