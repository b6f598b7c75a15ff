#include "Session.h"

#include "protocol/ServiceError.h"
#include "store/Database.h"

#include <QDateTime>

namespace {
// The expiry slides on use, but writing the time on every call would turn every read into a
// write; a minute's precision is plenty for an idle limit counted in hours.
constexpr qint64 kTouchEverySec = 60;
}

void KxOpenSession(QSqlDatabase& db, const QString& nickid, const QString& operid, const QString& addr,
                   const QString& shopcode)
{
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    KxExec(db, QStringLiteral("DELETE FROM kx_session WHERE nickid = ? AND operid = ? AND client_addr = ?"),
           {nickid, operid, addr});
    KxExec(db, QStringLiteral("INSERT INTO kx_session (nickid, operid, client_addr, shopcode, opened_at, last_seen)"
                              " VALUES (?, ?, ?, ?, ?, ?)"),
           {nickid, operid, addr, shopcode, now, now});
}

QString KxCheckSession(QSqlDatabase& db, const TSessionRow& row, const QString& nickid, const QString& operid,
                       const QString& addr, int idleSeconds)
{
    if (!row.found)
        throw TServiceError(kxLoginAgain, QStringLiteral("操作员【%1】在本机没有登录或登录已失效，请重新登录").arg(operid));
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (!row.operatorInUse) {
        KxExec(db, QStringLiteral("DELETE FROM kx_session WHERE nickid = ? AND operid = ?"), {nickid, operid});
        throw TServiceError(kxUnknownOperator, QStringLiteral("操作员【%1】已停用").arg(operid));
    }
    if (now - row.lastSeen > idleSeconds) {
        KxExec(db, QStringLiteral("DELETE FROM kx_session WHERE nickid = ? AND operid = ? AND client_addr = ?"),
               {nickid, operid, addr});
        throw TServiceError(kxLoginAgain, QStringLiteral("登录已超时，请重新登录"));
    }
    if (now - row.lastSeen >= kTouchEverySec)
        KxExec(db, QStringLiteral("UPDATE kx_session SET last_seen = ? WHERE nickid = ? AND operid = ? AND client_addr = ?"),
               {now, nickid, operid, addr});
    return row.shopcode;
}
