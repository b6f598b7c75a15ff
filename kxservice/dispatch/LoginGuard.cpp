#include "LoginGuard.h"

#include "ServiceLog.h"
#include "protocol/ServiceError.h"
#include "store/Database.h"

#include <QDateTime>

namespace {
constexpr qint64 kBackoffMaxMs = 30'000;

// An address is shared by every clerk behind a shop's router, so it takes more failures
// than one operator before it waits or locks.
struct TLimits {
    qint64 backoffAfter, lockAfter;
};
TLimits operLimits(const TServiceOptions& o) { return {3, o.loginLockAfter}; }
TLimits addrLimits(const TServiceOptions& o) { return {10, qint64(o.loginLockAfter) * 5}; }

QString operSubject(const QString& operid) { return QStringLiteral("oper:") + operid; }
QString addrSubject(const QString& addr) { return QStringLiteral("addr:") + addr; }

struct TGuardRow {
    qint64 failures = 0, lastFailure = 0, lockedUntil = 0;
};

// Failures older than the lock time are forgotten: a few typos spread over a day never add
// up to a lock.
TGuardRow readRow(QSqlDatabase& db, const QString& nickid, const QString& subject, const TServiceOptions& o, qint64 now)
{
    TGuardRow r;
    QSqlQuery q = KxExec(db, QStringLiteral("SELECT failures, last_failure, locked_until FROM kx_login_guard"
                                            " WHERE nickid = ? AND subject = ?"), {nickid, subject});
    if (q.next()) {
        r.failures = q.value(0).toLongLong();
        r.lastFailure = q.value(1).toLongLong();
        r.lockedUntil = q.value(2).toLongLong();
    }
    if (r.lockedUntil <= now && now - r.lastFailure >= qint64(o.loginLockSec) * 1000)
        r.failures = 0;
    return r;
}

qint64 backoffMs(qint64 failures, const TLimits& l, const TServiceOptions& o)
{
    if (failures < l.backoffAfter || o.loginBackoffMs <= 0)
        return 0;
    const qint64 doublings = qMin<qint64>(failures - l.backoffAfter, 20);
    return qMin(qint64(o.loginBackoffMs) << doublings, kBackoffMaxMs);
}

void refuseIfHeld(const TGuardRow& r, const TLimits& l, const QString& who, const TServiceOptions& o, qint64 now)
{
    if (r.lockedUntil > now) {
        const qint64 minutes = (r.lockedUntil - now + 59'999) / 60'000;
        throw TServiceError(kxLoginLocked, QStringLiteral("登录失败次数过多，%1已暂时锁定，请 %2 分钟后再试或请管理员解锁")
                                               .arg(who).arg(minutes));
    }
    const qint64 wait = r.lastFailure + backoffMs(r.failures, l, o) - now;
    if (wait > 0)
        throw TServiceError(kxLoginLocked, QStringLiteral("登录失败次数过多，请 %1 秒后再试").arg((wait + 999) / 1000));
}

// Adds one failure to a subject; returns the row as now stored. One upsert, so failures
// arriving together each count (PostgreSQL locks the row; SQLite's writers queue).
TGuardRow addFailure(QSqlDatabase& db, const QString& nickid, const QString& subject, const TLimits& l,
                     const TServiceOptions& o, qint64 now)
{
    const qint64 forgetMs = qint64(o.loginLockSec) * 1000;
    KxExec(db, QStringLiteral(
        "INSERT INTO kx_login_guard (nickid, subject, failures, last_failure, locked_until) VALUES (?, ?, 1, ?, 0)"
        " ON CONFLICT (nickid, subject) DO UPDATE SET"
        " failures = CASE WHEN kx_login_guard.locked_until <= ? AND ? - kx_login_guard.last_failure >= ?"
        " THEN 1 ELSE kx_login_guard.failures + 1 END, last_failure = ?"),
        {nickid, subject, now, now, now, forgetMs, now});
    TGuardRow r;
    r.failures = KxScalar(db, QStringLiteral("SELECT failures FROM kx_login_guard WHERE nickid = ? AND subject = ?"),
                          {nickid, subject}).toLongLong();
    r.lastFailure = now;
    if (r.failures >= l.lockAfter) {
        r.lockedUntil = now + forgetMs;
        KxExec(db, QStringLiteral("UPDATE kx_login_guard SET locked_until = ? WHERE nickid = ? AND subject = ?"),
               {r.lockedUntil, nickid, subject});
    }
    return r;
}
}

void KxCheckLoginAllowed(QSqlDatabase& db, const TLoginAttempt& a, const TServiceOptions& o)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    refuseIfHeld(readRow(db, a.nickid, operSubject(a.operid), o, now), operLimits(o),
                 QStringLiteral("操作员【%1】").arg(a.operid.left(64)), o, now);
    refuseIfHeld(readRow(db, a.nickid, addrSubject(a.addr), o, now), addrLimits(o), QStringLiteral("本机地址"), o, now);
}

void KxRecordLoginFailure(TDatabase& store, QSqlDatabase& db, const TLoginAttempt& a, bool knownOperator,
                          const TServiceOptions& o, TServiceLog& log)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    TTransaction t(store, db, true);
    const TGuardRow byAddr = addFailure(db, a.nickid, addrSubject(a.addr), addrLimits(o), o, now);
    const TGuardRow byOper = knownOperator ? addFailure(db, a.nickid, operSubject(a.operid), operLimits(o), o, now) : TGuardRow{};
    t.commit();
    log.info(QStringLiteral("login failed nick=%1 oper=%2 from=%3 failures=%4 (address %5)")
                 .arg(a.nickid, a.operid, a.addr).arg(byOper.failures).arg(byAddr.failures));
    if (byOper.lockedUntil > now)
        log.info(QStringLiteral("login locked nick=%1 oper=%2 for %3 s").arg(a.nickid, a.operid).arg(o.loginLockSec));
    if (byAddr.lockedUntil > now)
        log.info(QStringLiteral("login locked nick=%1 from=%2 for %3 s").arg(a.nickid, a.addr).arg(o.loginLockSec));
}

void KxLiftLoginLock(QSqlDatabase& db, const QString& nickid, const QString& operid)
{
    KxExec(db, QStringLiteral("DELETE FROM kx_login_guard WHERE nickid = ? AND subject = ?"), {nickid, operSubject(operid)});
}
