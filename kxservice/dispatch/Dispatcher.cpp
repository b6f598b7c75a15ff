#include "Dispatcher.h"
#include "Rights.h"

#include "Session.h"
#include "ServiceLog.h"
#include "uConfig.h"
#include "uRequest.h"

#include <QElapsedTimer>

namespace {
const char* const kRightNames[] = {"isupdate", "isaudit", "issearch", "isprint", "isoutput", "iscolumn"};

QString rightCaption(const QString& right)
{
    if (right == QLatin1String("isupdate")) return QStringLiteral("录入");
    if (right == QLatin1String("isaudit")) return QStringLiteral("审核");
    if (right == QLatin1String("issearch")) return QStringLiteral("查询");
    if (right == QLatin1String("isprint")) return QStringLiteral("打印");
    if (right == QLatin1String("isoutput")) return QStringLiteral("导出");
    if (right == QLatin1String("iscolumn")) return QStringLiteral("显示列");
    return right;
}

// Reading needs only the module: a list opens, and lines and documents load, without
// "issearch" (that right only offers the search dialog). Saves and audits keep their rights.
bool guardsCall(const QString& right)
{
    return !right.isEmpty() && right != QLatin1String("issearch");
}
const char* const kUnguardedSql = "p.needright IN ('', 'issearch')";
}

TDispatcher::TDispatcher(TDatabase& store, const TServiceOptions& options, TServiceLog& log)
    : m_store(store), m_options(options), m_log(log), m_secret(options.secret.isEmpty() ? Secret : options.secret)
{
}

void TDispatcher::add(const std::vector<TMethodDef>& methods)
{
    for (const TMethodDef& m : methods)
        m_methods.insert(QString::fromLatin1(m.name), m);
}

void TDispatcher::setModuleDescriber(void (*describe)(TContext&, const QString&), const char* loginModule)
{
    m_describe = describe;
    m_loginModule = QString::fromLatin1(loginModule);
}

QByteArray TDispatcher::refuse(int code, const QString& msg, const QString& addr)
{
    m_log.access(QString(), QString(), QString(), addr, 0, code);
    return TAnswer::errorXml(code, msg);
}

namespace {
// A method is reachable through the modules that name it; the operator needs, in one of
// them, the module itself and the right that module asks for the method. Throws the refusal
// that names what is missing.
void checkRight(QSqlDatabase& db, const QString& nickid, const QString& operid, const QString& method)
{
    QSqlQuery q = KxExec(db, QStringLiteral(
        "SELECT p.needright, m.ispublic, m.defpower, m.moduletitle, w.operid,"
        " w.isupdate, w.isaudit, w.issearch, w.isprint, w.isoutput, w.iscolumn"
        " FROM kx_module_param p JOIN kx_module m ON m.nickid = p.nickid AND m.mod_id = p.mod_id"
        " LEFT JOIN kx_power w ON w.nickid = p.nickid AND w.mod_id = p.mod_id AND w.operid = ?"
        " WHERE p.nickid = ? AND p.value = ? AND p.ismethod = 1"), {operid, nickid, method});
    QString missingRight, title;
    bool named = false;
    while (q.next()) {
        named = true;
        const QString need = q.value(0).toString();
        const bool hasRow = !q.value(4).isNull();
        bool ok = false;
        if (hasRow) {
            ok = !guardsCall(need);
            for (int i = 0; i < 6 && !ok; ++i)
                ok = need == QLatin1String(kRightNames[i]) && q.value(5 + i).toInt() != 0;
        } else if (q.value(1).toInt() != 0) {
            const QString def = q.value(2).toString();
            ok = !guardsCall(need) || def.split(QLatin1Char(',')).contains(need);
        }
        if (ok)
            return;
        missingRight = guardsCall(need) ? need : QString();
        title = q.value(3).toString();
    }
    if (!named)
        throw TServiceError(kxNoRight, QStringLiteral("没有权限调用 %1：它不属于您可以使用的任何模块").arg(method));
    if (missingRight.isEmpty())
        throw TServiceError(kxNoRight, QStringLiteral("您没有使用【%1】模块的权限").arg(title));
    throw TServiceError(kxNoRight, QStringLiteral("您没有【%1】的%2权限").arg(title, rightCaption(missingRight)));
}

}

void KxRequireRight(TContext& ctx, const QString& method)
{
    checkRight(ctx.db, ctx.nickid, ctx.operid, method);
}

namespace {
// The rule of checkRight as one condition on a naming module's rows (p, m, w), for the
// common case where the operator may call the method: it stops at the first module that
// grants it. It never grants what checkRight refuses (a right other than the six is left to
// checkRight); when it finds nothing, checkRight decides and words the refusal.
QString grantedSql()
{
    QString byRow, byDefault;
    for (const char* right : kRightNames) {
        byRow += QStringLiteral(" OR (p.needright = '%1' AND w.%1 <> 0)").arg(QLatin1String(right));
        byDefault += QStringLiteral(" OR (p.needright = '%1' AND ',' || m.defpower || ',' LIKE '%,%1,%')").arg(QLatin1String(right));
    }
    return QStringLiteral(
        "EXISTS (SELECT 1 FROM kx_module_param p JOIN kx_module m ON m.nickid = p.nickid AND m.mod_id = p.mod_id"
        " LEFT JOIN kx_power w ON w.nickid = p.nickid AND w.mod_id = p.mod_id AND w.operid = ?"
        " WHERE p.nickid = n.nickid AND p.value = ? AND p.ismethod = 1 AND ("
        "(w.operid IS NOT NULL AND (%3%1))"
        " OR (w.operid IS NULL AND m.ispublic <> 0 AND (%3%2))))").arg(byRow, byDefault, QLatin1String(kUnguardedSql));
}
}

QString TDispatcher::clientAddress(const TCall& call) const
{
    // Only the trusted proxy's word counts, and of its header only the last entry: that is
    // the address the proxy itself saw; entries before it came from the client.
    if (m_options.trustedProxy.isEmpty() || call.remoteAddr() != m_options.trustedProxy)
        return call.remoteAddr();
    const QString last = call.forwardedFor().section(QLatin1Char(','), -1).trimmed();
    return last.isEmpty() ? call.remoteAddr() : last.left(64);
}

void TDispatcher::checkLengths(const TCall& call)
{
    // No parameter of the program comes near this; a longer one is refused before it reaches
    // a query (SQLite refuses long LIKE patterns with an internal error).
    for (const TCallField& f : call.fields())
        if (f.value.size() > kMaxParamChars)
            throw TServiceError(kxBadParam, QStringLiteral("参数 %1 太长：最多 %2 个字符").arg(f.name.left(40)).arg(kMaxParamChars));
}

void TDispatcher::checkSeller(TContext& ctx, const QString& nick)
{
    if (!KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_nick WHERE nickid = ? AND isuse = 1"), {nick}).isValid())
        throw TServiceError(kxUnknownNick, QStringLiteral("商家帐号【%1】不存在").arg(nick.left(64)));
    ctx.nickid = nick;
}

void TDispatcher::checkOperator(TContext& ctx, const QString& nick, const QString& oper, const QString& method, bool rights)
{
    // The seller, the session under the call's key and, for a method reached through
    // modules, whether one of them grants it: one statement, one row (none for an unknown
    // seller).
    static const QString kSession = QStringLiteral(
        " FROM kx_nick n"
        " LEFT JOIN kx_session s ON s.nickid = n.nickid AND s.keyhash = ?"
        " LEFT JOIN kx_operator o ON o.nickid = s.nickid AND o.operid = s.operid"
        " WHERE n.nickid = ? AND n.isuse = 1");
    static const QString kSessionSql = QStringLiteral("SELECT s.operid, o.operid, s.last_seen, s.shopcode, o.isuse") + kSession;
    static const QString kGrantedSql = QStringLiteral("SELECT s.operid, o.operid, s.last_seen, s.shopcode, o.isuse, ") + grantedSql() + kSession;
    const QString keyHash = KxSessionKeyHash(ctx.call.param(QStringLiteral("sessionkey")));
    TSessionRow session;
    bool granted = false;
    {
        QSqlQuery q = rights ? KxExec(ctx.db, kGrantedSql, {oper, method, keyHash, nick})
                             : KxExec(ctx.db, kSessionSql, {keyHash, nick});
        if (!q.next())
            throw TServiceError(kxUnknownNick, QStringLiteral("商家帐号【%1】不存在").arg(nick.left(64)));
        session.found = !q.value(0).isNull();
        session.operid = q.value(0).toString();
        session.operatorExists = !q.value(1).isNull();
        session.lastSeen = q.value(2).toLongLong();
        session.shopcode = q.value(3).toString();
        session.operatorInUse = q.value(4).toInt() != 0;
        granted = rights && q.value(5).toBool();
    } // read and released before the session is written to
    ctx.nickid = nick;
    ctx.shopcode = KxCheckSession(ctx.db, session, nick, oper, keyHash, m_options.sessionIdleSec);
    const QString shop = ctx.call.param(QStringLiteral("shopid"));
    if (!shop.isEmpty() && shop != ctx.shopcode)
        throw TServiceError(kxLoginAgain, QStringLiteral("门店【%1】与登录的门店不同，请重新登录").arg(shop.left(64)));
    ctx.operid = oper;
    if (rights && !granted)
        checkRight(ctx.db, nick, oper, method);
}

void TDispatcher::run(TContext& ctx, TCall& call, const TMethodDef* def, const QString& method)
{
    // A module description needs a session, except the login module's: a client whose
    // session has expired opens it to log in again.
    const EAccess access = def ? def->access : method == m_loginModule ? EAccess::Seller : EAccess::Operator;
    const bool ownTx = def && def->tx == ETx::Own;
    QString nick;
    if (access != EAccess::Directory) {
        nick = call.param(QStringLiteral("nickid"));
        if (KxTrimLow(nick).isEmpty())
            throw TServiceError(kxUnknownNick, QStringLiteral("缺少商家编号（nickid），请重新启动程序"));
    }
    if (access == EAccess::Operator || access == EAccess::Module) {
        const QString oper = call.param(QStringLiteral("operid"));
        if (KxTrimLow(oper).isEmpty()) {
            checkSeller(ctx, nick); // an unknown seller is the first thing to tell
            throw TServiceError(kxLoginAgain, QStringLiteral("请先登录"));
        }
        // Outside the call's transaction: an expired session is deleted even though the call fails.
        checkOperator(ctx, nick, oper, method, access == EAccess::Module);
    } else if (access == EAccess::Seller && ownTx) {
        checkSeller(ctx, nick);
    }

    // Deltas are read and checked before any transaction: a big save must not hold SQLite's
    // write lock while it is parsed, and a bad one is refused without opening one.
    ctx.readDeltas(call);
    // The checks of a save then run without the write lock; only a write that another writer
    // came before sends the call round again, waiting for the lock from its BEGIN.
    const bool optimistic = m_store.isSqlite() && def
                            && (def->tx == ETx::Write || (def->tx == ETx::Own && access == EAccess::Module));
    if (optimistic) {
        TOptimisticWrites first;
        try {
            runHandler(ctx, def, access, nick, method);
            return;
        } catch (const TDbWriteConflict&) {
            if (first.committed())
                throw;
        }
        ctx.answer.take(); // what the first run added
    }
    runHandler(ctx, def, access, nick, method);
}

void TDispatcher::runHandler(TContext& ctx, const TMethodDef* def, EAccess access, const QString& nick, const QString& method)
{
    if (def && def->tx == ETx::Own) {
        def->handler(ctx);
        return;
    }
    TTransaction t(m_store, ctx.db, def && def->tx == ETx::Write);
    // A call that needs only the seller checks it in its own transaction: one snapshot to
    // open instead of two.
    if (access == EAccess::Seller)
        checkSeller(ctx, nick);
    if (def)
        def->handler(ctx);
    else if (m_describe)
        m_describe(ctx, method);
    else
        throw TServiceError(kxUnknownMethod, QStringLiteral("未知的服务方法：%1").arg(method.left(60)));
    t.commit();
}

QByteArray TDispatcher::handle(TCall call)
{
    QElapsedTimer timer;
    timer.start();
    const QString method = call.method();
    const QString addr = clientAddress(call);
    int code = 0;
    QByteArray xml;
    try {
        if (!call.signatureValid(m_secret))
            throw TServiceError(kxBadSignature, QStringLiteral("请求签名错误，服务拒绝了这次调用"));
        if (KxTrimLow(method).isEmpty())
            throw TServiceError(kxMissingParam, QStringLiteral("缺少参数：module（服务方法名）"));
        checkLengths(call);
        QSqlDatabase db = m_store.connection();
        TContext ctx(call, m_store, db, m_options, m_log);
        ctx.clientAddr = addr;
        const auto it = m_methods.constFind(method);
        run(ctx, call, it == m_methods.constEnd() ? nullptr : &it.value(), method);
        xml = ctx.answer.take();
    } catch (const TServiceError& e) {
        code = e.Code;
        xml = TAnswer::errorXml(e.Code, e.Msg, e.CallUrl);
    } catch (const TDbError& e) {
        const QString what = QString::fromStdString(e.what());
        m_log.error(QStringLiteral("%1: %2").arg(method, what));
        if (what.contains(QLatin1String("locked")) || what.contains(QLatin1String("busy"))) {
            code = kxBusy;
            xml = TAnswer::errorXml(code, QStringLiteral("数据库忙，请稍后重试"));
        } else {
            code = kxInternal;
            xml = TAnswer::errorXml(code, QStringLiteral("服务内部错误，请稍后重试或联系管理员"));
        }
    } catch (const std::exception& e) {
        m_log.error(QStringLiteral("%1: %2").arg(method, QString::fromLocal8Bit(e.what())));
        code = kxInternal;
        xml = TAnswer::errorXml(code, QStringLiteral("服务内部错误，请稍后重试或联系管理员"));
    }
    m_log.access(method, call.param(QStringLiteral("nickid")), call.param(QStringLiteral("operid")),
                 addr, timer.elapsed(), code);
    return xml;
}
