#include "Session.h"

#include "protocol/ServiceError.h"
#include "store/Database.h"

#include <QDateTime>
#include <QSqlDriver>
#include <sodium.h>

#include <stdexcept>

namespace {
// The expiry slides on use, but writing the time on every call would turn every read into a
// write; a minute's precision is plenty for an idle limit counted in hours.
constexpr qint64 kTouchEverySec = 60;
constexpr size_t kKeyBytes = 32;

QString hex(const unsigned char* bytes, size_t n)
{
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes), qsizetype(n)).toHex());
}

// Writes the session's time of use. On SQLite it does not wait for the write lock: a call that
// only reads must not queue behind another client's big save for it (and fail busy when that
// save outlasts the busy timeout). A touch the lock refuses is left to the session's next call,
// which is as good: the time is due every minute, the limit is counted in hours.
void touch(QSqlDatabase& db, const QString& nickid, const QString& keyHash, qint64 now)
{
    const QString update = QStringLiteral("UPDATE kx_session SET last_seen = ? WHERE nickid = ? AND keyhash = ?");
    if (db.driver()->dbmsType() != QSqlDriver::SQLite) {
        KxExec(db, update, {now, nickid, keyHash});
        return;
    }
    const QVariant wait = KxScalar(db, QStringLiteral("PRAGMA busy_timeout"));
    KxExec(db, QStringLiteral("PRAGMA busy_timeout = 0"));
    bool busy = false;
    try {
        KxExec(db, update, {now, nickid, keyHash});
    } catch (const TDbError& e) {
        busy = QByteArray(e.what()).contains("locked") || QByteArray(e.what()).contains("busy");
        if (!busy) {
            KxExec(db, QStringLiteral("PRAGMA busy_timeout = %1").arg(wait.toInt()));
            throw;
        }
    }
    KxExec(db, QStringLiteral("PRAGMA busy_timeout = %1").arg(wait.toInt()));
}
}

QString KxSessionKeyHash(const QString& key)
{
    const QByteArray k = key.toUtf8();
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(k.constData()), quint64(k.size()));
    return hex(digest, sizeof digest);
}

QString KxOpenSession(QSqlDatabase& db, const QString& nickid, const QString& operid, const QString& shopcode,
                      const QString& addr, const QString& replacedKey, int idleSeconds)
{
    if (sodium_init() < 0)
        throw std::runtime_error("libsodium cannot be initialised");
    unsigned char bytes[kKeyBytes];
    randombytes_buf(bytes, sizeof bytes);
    const QString key = hex(bytes, sizeof bytes);
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (!replacedKey.isEmpty())
        KxExec(db, QStringLiteral("DELETE FROM kx_session WHERE nickid = ? AND keyhash = ?"),
               {nickid, KxSessionKeyHash(replacedKey)});
    KxExec(db, QStringLiteral("DELETE FROM kx_session WHERE nickid = ? AND last_seen < ?"), {nickid, now - idleSeconds});
    KxExec(db, QStringLiteral("INSERT INTO kx_session (nickid, keyhash, operid, shopcode, client_addr, opened_at, last_seen)"
                              " VALUES (?, ?, ?, ?, ?, ?, ?)"),
           {nickid, KxSessionKeyHash(key), operid, shopcode, addr, now, now});
    return key;
}

QString KxCheckSession(QSqlDatabase& db, const TSessionRow& row, const QString& nickid, const QString& operid,
                       const QString& keyHash, int idleSeconds)
{
    if (!row.found || !row.operatorExists || row.operid != operid)
        throw TServiceError(kxSessionExpired,
                            QStringLiteral("登录已过期，请重新登录（操作员【%1】没有登录或登录已失效）").arg(operid.left(64)));
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (!row.operatorInUse) {
        KxExec(db, QStringLiteral("DELETE FROM kx_session WHERE nickid = ? AND operid = ?"), {nickid, operid});
        throw TServiceError(kxUnknownOperator, QStringLiteral("操作员【%1】已停用").arg(operid));
    }
    if (now - row.lastSeen > idleSeconds) {
        KxExec(db, QStringLiteral("DELETE FROM kx_session WHERE nickid = ? AND keyhash = ?"), {nickid, keyHash});
        throw TServiceError(kxSessionExpired, QStringLiteral("登录已过期，请重新登录（登录已超时）"));
    }
    if (now - row.lastSeen >= kTouchEverySec)
        touch(db, nickid, keyHash, now);
    return row.shopcode;
}
