#include "PowerMger.h"

#include "dispatch/LoginGuard.h"
#include "dispatch/Session.h"
#include "store/Packet.h"
#include "store/Passwords.h"
#include "uRequest.h"

namespace {
void directory(TContext& ctx);
void setNick(TContext& ctx);
void loadLib(TContext& ctx);
void shops(TContext& ctx);
void operators(TContext& ctx);
void subNicks(TContext& ctx);
void login(TContext& ctx);
void modifyPassword(TContext& ctx);
void navigationNow(TContext& ctx);
}

const std::vector<TMethodDef>& KxPowerMgerMethods()
{
    static const std::vector<TMethodDef> methods = {
        {"PowerMger.Module", EAccess::Directory, ETx::Read, directory},
        {"PowerMger.SETNICK", EAccess::Directory, ETx::Read, setNick},
        {"PowerMger.LoadLib", EAccess::Seller, ETx::Read, loadLib},
        {"PowerMger.Shop", EAccess::Seller, ETx::Read, shops},
        {"PowerMger.Operator", EAccess::Seller, ETx::Read, operators},
        {"PowerMger.SubNick", EAccess::Seller, ETx::Read, subNicks},
        {"PowerMger.Login", EAccess::Seller, ETx::Own, login},
        {"PowerMger.ModifyPsw", EAccess::Operator, ETx::Own, modifyPassword},
        {"PowerMger.Navigation", EAccess::Operator, ETx::Read, navigationNow},
    };
    return methods;
}

namespace {
using Col = TPacketColumn;

// Finds the seller by its master nick; the directory and nick calls know nothing else.
QSqlQuery sellerByMasterNick(TContext& ctx)
{
    const QString master = KxTrimLow(ctx.need(QStringLiteral("masternick")));
    QSqlQuery q = KxExec(ctx.db, QStringLiteral(
        "SELECT nickid, masternick, nickname, title, helpurl, qqurl, isuse FROM kx_nick WHERE masternick = ?"), {master});
    if (!q.next())
        throw TServiceError(kxUnknownNick, QStringLiteral("主帐号【%1】没有开通本系统").arg(master.left(64)));
    if (q.value(6).toInt() == 0)
        throw TServiceError(kxUnknownNick, QStringLiteral("主帐号【%1】已停用，请联系系统管理员").arg(master.left(64)));
    return q;
}

void directory(TContext& ctx)
{
    QSqlQuery q = sellerByMasterNick(ctx);
    TAnswer& a = ctx.answer;
    a.add(QStringLiteral("nickid"), q.value(0).toString());
    a.add(QStringLiteral("masternick"), q.value(1).toString());
    a.add(QStringLiteral("nickname"), q.value(2).toString());
    a.add(QStringLiteral("moduletitle"), q.value(3).toString());
    a.add(QStringLiteral("loadlib"), QStringLiteral("PowerMger.LoadLib"));
    a.add(QStringLiteral("shop"), QStringLiteral("PowerMger.Shop"));
    a.add(QStringLiteral("operator"), QStringLiteral("PowerMger.Operator"));
    a.add(QStringLiteral("subnick"), QStringLiteral("PowerMger.SubNick"));
    a.add(QStringLiteral("loginsys"), QStringLiteral("PowerMger.Login"));
    a.add(QStringLiteral("modifypsw"), QStringLiteral("PowerMger.ModifyPsw"));
    a.add(QStringLiteral("navigation"), QStringLiteral("PowerMger.Navigation"));
    a.add(QStringLiteral("workbench"), QStringLiteral("Workbench.Search"));
    a.add(QStringLiteral("help"), q.value(4).toString());
    a.add(QStringLiteral("qq"), q.value(5).toString());
}

void setNick(TContext& ctx)
{
    QSqlQuery q = sellerByMasterNick(ctx);
    ctx.answer.add(QStringLiteral("masternick"), q.value(1).toString());
}

void list(TContext& ctx, const QString& sql, const QList<Col>& cols)
{
    QSqlQuery q = KxExec(ctx.db, sql, {ctx.nickid});
    ctx.answer.addPacket(QStringLiteral("xmldata"), KxQueryPacket(q, cols));
}

void loadLib(TContext& ctx)
{
    list(ctx, QStringLiteral("SELECT libname FROM kx_package WHERE nickid = ? ORDER BY seq"),
         {{QStringLiteral("libname"), Col::Text, 100}});
}

void shops(TContext& ctx)
{
    list(ctx, QStringLiteral("SELECT shopcode, shopname FROM kx_shop WHERE nickid = ? AND isuse = 1 ORDER BY shopcode"),
         {{QStringLiteral("shopcode"), Col::Text, 20}, {QStringLiteral("shopname"), Col::Text, 100}});
}

void operators(TContext& ctx)
{
    // Names only: a password or its hash never leaves the service.
    list(ctx, QStringLiteral("SELECT operid, opername FROM kx_operator WHERE nickid = ? AND isuse = 1 ORDER BY operid"),
         {{QStringLiteral("operid"), Col::Text, 20}, {QStringLiteral("opername"), Col::Text, 50}});
}

void subNicks(TContext& ctx)
{
    list(ctx, QStringLiteral("SELECT nick FROM kx_subnick WHERE nickid = ? ORDER BY seq"),
         {{QStringLiteral("nick"), Col::Text, 100}});
}

// The six navigation tables, cut to the modules the operator may open.
void navigation(TContext& ctx)
{
    const QString allowed = QStringLiteral(
        "(SELECT m.mod_id FROM kx_module m WHERE m.nickid = ? AND (m.ispublic = 1 OR EXISTS"
        " (SELECT 1 FROM kx_power w WHERE w.nickid = m.nickid AND w.mod_id = m.mod_id AND w.operid = ?)))");
    const QVariantList args = {ctx.nickid, ctx.nickid, ctx.operid};
    auto table = [&](const char* name, const QString& sql, const QVariantList& a, const QList<Col>& cols) {
        QSqlQuery q = KxExec(ctx.db, sql, a);
        ctx.answer.addPacket(QString::fromLatin1(name), KxQueryPacket(q, cols));
    };
    table("kx_menu",
          QStringLiteral("SELECT menu_id, parent_id, menu_title, mod_id FROM kx_menu WHERE nickid = ?"
                         " AND (mod_id = 0 OR mod_id IN ") + allowed + QStringLiteral(") ORDER BY seq"),
          args,
          {{QStringLiteral("menu_id"), Col::Integer}, {QStringLiteral("parent_id"), Col::Integer},
           {QStringLiteral("menu_title"), Col::Text, 50}, {QStringLiteral("mod_id"), Col::Integer}});
    table("kx_module",
          QStringLiteral("SELECT mod_id, mod_name FROM kx_module WHERE nickid = ? AND mod_id IN ") + allowed
              + QStringLiteral(" ORDER BY mod_id"),
          args, {{QStringLiteral("mod_id"), Col::Integer}, {QStringLiteral("mod_name"), Col::Text, 50}});
    table("kx_nav", QStringLiteral("SELECT nav_id, nav_name FROM kx_nav WHERE nickid = ? ORDER BY seq"),
          {ctx.nickid}, {{QStringLiteral("nav_id"), Col::Integer}, {QStringLiteral("nav_name"), Col::Text, 50}});
    table("kx_nav_bar",
          QStringLiteral("SELECT nav_id, bar_id, bar_name FROM kx_nav_bar WHERE nickid = ? ORDER BY seq"),
          {ctx.nickid},
          {{QStringLiteral("nav_id"), Col::Integer}, {QStringLiteral("bar_id"), Col::Integer},
           {QStringLiteral("bar_name"), Col::Text, 50}});
    table("kx_nav_but",
          QStringLiteral("SELECT bar_id, but_id, mod_id, but_name, but_image FROM kx_nav_but WHERE nickid = ?"
                         " AND mod_id IN ") + allowed + QStringLiteral(" ORDER BY seq"),
          args,
          {{QStringLiteral("bar_id"), Col::Integer}, {QStringLiteral("but_id"), Col::Integer},
           {QStringLiteral("mod_id"), Col::Integer}, {QStringLiteral("but_name"), Col::Text, 50},
           {QStringLiteral("but_image"), Col::Text, 100}});
    table("kx_start_but",
          QStringLiteral("SELECT but_name, mod_id, but_image FROM kx_start_but WHERE nickid = ?"
                         " AND (but_name = '-' OR mod_id IN ") + allowed + QStringLiteral(") ORDER BY seq"),
          args,
          {{QStringLiteral("but_name"), Col::Text, 50}, {QStringLiteral("mod_id"), Col::Integer},
           {QStringLiteral("but_image"), Col::Text, 100}});
}

// The navigation of the logged-in operator as it stands now: a client picks up modules
// granted or taken away since its login without logging in again.
void navigationNow(TContext& ctx)
{
    navigation(ctx);
}

void login(TContext& ctx)
{
    const QString shopcode = ctx.need(QStringLiteral("shopcode"));
    const QString usercode = ctx.need(QStringLiteral("usercode"));
    const QString password = ctx.param(QStringLiteral("password"));
    const TLoginAttempt attempt{ctx.nickid, usercode, ctx.clientAddr};
    KxCheckLoginAllowed(ctx.db, attempt, ctx.options);

    QString shopname;
    QSqlQuery s = KxExec(ctx.db, QStringLiteral("SELECT shopname, isuse FROM kx_shop WHERE nickid = ? AND shopcode = ?"),
                         {ctx.nickid, shopcode});
    if (s.next()) {
        if (!s.value(1).toInt())
            throw TServiceError(kxRefused, QStringLiteral("门店【%1】已停用").arg(shopcode.left(64)));
        shopname = s.value(0).toString();
    } else if (shopcode == QLatin1String("coreshop")
               && !KxScalar(ctx.db, QStringLiteral("SELECT 1 FROM kx_shop WHERE nickid = ?"), {ctx.nickid}).isValid()) {
        shopname = QStringLiteral("总店"); // a seller without shops works as its head shop
    } else {
        throw TServiceError(kxBadParam, QStringLiteral("门店【%1】不存在").arg(shopcode.left(64)));
    }
    s.finish();

    QSqlQuery o = KxExec(ctx.db, QStringLiteral("SELECT opername, pwhash, isuse FROM kx_operator WHERE nickid = ? AND operid = ?"),
                         {ctx.nickid, usercode});
    if (!o.next()) {
        o.finish();
        KxRecordLoginFailure(ctx.store, ctx.db, attempt, false, ctx.options, ctx.log);
        throw TServiceError(kxUnknownOperator, QStringLiteral("操作员【%1】不存在").arg(usercode.left(64)));
    }
    const QString opername = o.value(0).toString();
    const QString hash = o.value(1).toString();
    const bool inUse = o.value(2).toInt() != 0;
    o.finish();
    if (!inUse)
        throw TServiceError(kxUnknownOperator, QStringLiteral("操作员【%1】已停用").arg(usercode.left(64)));
    if (!KxVerifyPassword(password, hash)) {
        KxRecordLoginFailure(ctx.store, ctx.db, attempt, true, ctx.options, ctx.log);
        throw TServiceError(kxWrongPassword, QStringLiteral("密码错误，请重新输入"));
    }

    ctx.operid = usercode;
    ctx.shopcode = shopcode;
    QString key;
    {
        TTransaction t(ctx.store, ctx.db, true);
        KxLiftLoginLock(ctx.db, ctx.nickid, usercode);
        key = KxOpenSession(ctx.db, ctx.nickid, usercode, shopcode, ctx.clientAddr, ctx.param(QStringLiteral("sessionkey")),
                            ctx.options.sessionIdleSec);
        t.commit();
    }
    TTransaction t(ctx.store, ctx.db, false);
    ctx.answer.add(QStringLiteral("shopname"), shopname);
    ctx.answer.add(QStringLiteral("username"), opername);
    ctx.answer.add(QStringLiteral("sessionkey"), key);
    navigation(ctx);
    t.commit();
}

void modifyPassword(TContext& ctx)
{
    const QString oldPassword = ctx.param(QStringLiteral("oldpassword"));
    const QString newPassword = ctx.param(QStringLiteral("newpassword"));
    if (KxTrimLow(newPassword).isEmpty())
        throw TServiceError(kxBadParam, QStringLiteral("新密码不能为空"));
    if (newPassword.size() > 128)
        throw TServiceError(kxBadParam, QStringLiteral("新密码不能超过 128 个字符"));
    const QString hash = KxScalar(ctx.db, QStringLiteral("SELECT pwhash FROM kx_operator WHERE nickid = ? AND operid = ?"),
                                  {ctx.nickid, ctx.operid}).toString();
    if (!KxVerifyPassword(oldPassword, hash))
        throw TServiceError(kxWrongPassword, QStringLiteral("旧密码错误，密码没有修改"));
    const QString newHash = KxHashPassword(newPassword);
    TTransaction t(ctx.store, ctx.db, true);
    // Only if nobody changed it meanwhile: two changes at once must not both pass the old check.
    QSqlQuery u = KxExec(ctx.db, QStringLiteral("UPDATE kx_operator SET pwhash = ? WHERE nickid = ? AND operid = ? AND pwhash = ?"),
                         {newHash, ctx.nickid, ctx.operid, hash});
    if (u.numRowsAffected() != 1)
        throw TServiceError(kxRefused, QStringLiteral("密码已被同时修改，请重新登录后再试"));
    t.commit();
}
}
