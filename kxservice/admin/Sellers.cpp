#include "Sellers.h"

#include "dispatch/LoginGuard.h"
#include "store/Database.h"
#include "store/Passwords.h"
#include "store/Seeder.h"
#include "uRequest.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSqlError>

#include <cstring>
#include <fcntl.h>
#include <sodium.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
// Any two commands on one PostgreSQL schema meet on this advisory lock (its first half).
constexpr int kAdminLockClass = 0x6b78; // "kx"

// Names an operator types into the client: no control characters, nothing that splits a
// sub-account from its master, a length the lists show.
void checkName(const QString& what, const QString& value, int max)
{
    static const QRegularExpression bad(QStringLiteral("[\\x00-\\x1f\\x7f:]"));
    if (value.trimmed().isEmpty())
        throw TAdminError(QStringLiteral("%1 must not be empty").arg(what));
    if (value.size() > max)
        throw TAdminError(QStringLiteral("%1 is longer than %2 characters").arg(what).arg(max));
    if (bad.match(value).hasMatch())
        throw TAdminError(QStringLiteral("%1 must not contain control characters or ':'").arg(what));
}

void checkCode(const QString& what, const QString& value)
{
    static const QRegularExpression ok(QStringLiteral("^[A-Za-z0-9_-]{1,20}$"));
    if (!ok.match(value).hasMatch())
        throw TAdminError(QStringLiteral("%1 '%2' must be 1 to 20 letters, digits, '_' or '-'").arg(what, value.left(40)));
}

// The seller's nickid by its master nick, or a refusal naming the nick.
QString nickidOf(QSqlDatabase& db, const QString& masterNick)
{
    const QVariant id = KxScalar(db, QStringLiteral("SELECT nickid FROM kx_nick WHERE masternick = ?"), {KxTrimLow(masterNick)});
    if (!id.isValid())
        throw TAdminError(QStringLiteral("no seller with master nick '%1'").arg(masterNick.left(64)));
    return id.toString();
}

void needOperator(QSqlDatabase& db, const QString& nickid, const QString& masterNick, const QString& operId)
{
    if (!KxScalar(db, QStringLiteral("SELECT 1 FROM kx_operator WHERE nickid = ? AND operid = ?"), {nickid, operId}).isValid())
        throw TAdminError(QStringLiteral("seller '%1' has no operator '%2'").arg(masterNick.left(64), operId.left(64)));
}

// Numbers after the highest numeric nickid in use; the demo seller is 1001.
QString nextNickid(QSqlDatabase& db)
{
    qint64 top = 1000;
    QSqlQuery q = KxExec(db, QStringLiteral("SELECT nickid FROM kx_nick"));
    while (q.next()) {
        bool ok = false;
        const qint64 n = q.value(0).toString().toLongLong(&ok);
        if (ok)
            top = std::max(top, n);
    }
    return QString::number(top + 1);
}
}

TAdminLock::TAdminLock(TDatabase& store) : m_store(store)
{
    const QString busy = QStringLiteral("another administration command (create, disable, reset, unlock, restore) is running"
                                        " on this database; try again when it has finished");
    if (store.isSqlite()) {
        const QByteArray path = (store.url().path + QStringLiteral(".admin-lock")).toLocal8Bit();
        m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0)
            throw TAdminError(QStringLiteral("cannot open the lock file %1: %2").arg(QString::fromLocal8Bit(path), QString::fromLocal8Bit(strerror(errno))));
        if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(m_fd);
            m_fd = -1;
            throw TAdminError(busy);
        }
        return;
    }
    QSqlDatabase db = store.connection();
    if (!KxScalar(db, QStringLiteral("SELECT pg_try_advisory_lock(?, hashtext(current_schema()))"), {kAdminLockClass}).toBool())
        throw TAdminError(busy);
}

TAdminLock::~TAdminLock()
{
    if (m_fd >= 0) {
        ::close(m_fd); // releases the flock; the file stays for the next command
        return;
    }
    try {
        QSqlDatabase db = m_store.connection();
        KxExec(db, QStringLiteral("SELECT pg_advisory_unlock(?, hashtext(current_schema()))"), {kAdminLockClass});
    } catch (const TDbError&) {
        // The connection is gone, and the lock with it.
    }
}

QString KxWeakPasswordReason(const QString& password, const QString& operid, const QString& masterNick)
{
    static const QStringList common = {"password", "password1", "12345678", "123456789", "1234567890", "qwerty123",
                                       "abc12345", "admin123", "admin888", "11111111", "88888888", "a1234567",
                                       "aa123456", "qwertyuiop", "iloveyou1", "passw0rd"};
    if (password.size() < 8)
        return QStringLiteral("the password must have at least 8 characters");
    if (password.size() > 128)
        return QStringLiteral("the password must have at most 128 characters");
    bool letter = false, other = false;
    for (const QChar c : password)
        (c.isLetter() ? letter : other) = true;
    if (!letter || !other)
        return QStringLiteral("the password must mix letters with digits or other characters");
    const QString low = password.toLower();
    if (common.contains(low) || low == operid.toLower() || low == masterNick.toLower())
        return QStringLiteral("the password is one that is tried first (a common one or the account's name)");
    return {};
}

QString KxGeneratePassword()
{
    static const char alphabet[] = "abcdefghjkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    if (sodium_init() < 0)
        throw TAdminError(QStringLiteral("the random source is not available"));
    for (;;) {
        QString p;
        for (int i = 0; i < 14; ++i)
            p += QLatin1Char(alphabet[randombytes_uniform(sizeof alphabet - 1)]);
        if (KxWeakPasswordReason(p, {}, {}).isEmpty())
            return p;
    }
}

TCreatedSeller KxCreateSeller(TDatabase& store, const TNewSeller& in)
{
    const QString master = KxTrimLow(in.masterNick);
    checkName(QStringLiteral("the master nick"), master, 64);
    for (const QString& s : in.subNicks)
        checkName(QStringLiteral("a sub-nick"), s, 64);
    checkCode(QStringLiteral("the shop code"), in.shopCode);
    checkCode(QStringLiteral("the storage code"), in.storageId);
    checkCode(QStringLiteral("the operator"), in.operId);
    checkName(QStringLiteral("the operator's name"), in.operName, 64);
    TCreatedSeller out;
    out.generated = in.password.isEmpty();
    out.password = out.generated ? KxGeneratePassword() : in.password;
    if (const QString weak = KxWeakPasswordReason(out.password, in.operId, master); !weak.isEmpty())
        throw TAdminError(weak);

    QSqlDatabase db = store.connection();
    // Nicks differing only in case would be told apart by nobody at the nick dialog.
    if (KxScalar(db, QStringLiteral("SELECT 1 FROM kx_nick WHERE LOWER(masternick) = LOWER(?)"), {master}).isValid())
        throw TAdminError(QStringLiteral("a seller with master nick '%1' exists already").arg(master));
    out.nickid = nextNickid(db);

    QJsonArray subNicks;
    for (const QString& s : in.subNicks)
        subNicks.append(master + u':' + s.trimmed());
    const QString nickName = in.nickName.trimmed().isEmpty() ? master : in.nickName.trimmed();
    const QJsonObject file{
        {"seller", QJsonObject{{"nickid", out.nickid}, {"masternick", master}, {"nickname", nickName},
                               {"title", QStringLiteral("VarnoqERP")}, {"help", ""}, {"qq", ""}}},
        {"subnicks", subNicks},
        {"shops", QJsonArray{QJsonObject{{"shopcode", in.shopCode}, {"shopname", in.shopName.isEmpty() ? in.shopCode : in.shopName}}}},
        {"operators", QJsonArray{QJsonObject{{"operid", in.operId}, {"opername", in.operName}, {"password", out.password}, {"rights", "all"}}}},
        // The storage types every storage is one of (dispatch, shop, returns).
        {"storagetypes", QJsonArray{QJsonObject{{"storagetype", 1}, {"typename", QStringLiteral("发货仓")}},
                                    QJsonObject{{"storagetype", 2}, {"typename", QStringLiteral("门市仓")}},
                                    QJsonObject{{"storagetype", 3}, {"typename", QStringLiteral("退货仓")}}}},
        {"storages", QJsonArray{QJsonObject{{"storageid", in.storageId},
                                            {"storagename", in.storageName.isEmpty() ? in.storageId : in.storageName},
                                            {"storagetype", 1}}}},
    };
    // The nick was free a moment ago; a service or instance creating it since is refused here.
    if (!KxSeedSeller(store, file))
        throw TAdminError(QStringLiteral("a seller with master nick '%1' exists already").arg(master));
    return out;
}

std::vector<TSellerRow> KxListSellers(TDatabase& store)
{
    QSqlDatabase db = store.connection();
    std::vector<TSellerRow> out;
    QSqlQuery q = KxExec(db, QStringLiteral(
        "SELECT n.nickid, n.masternick, n.nickname, n.created_at, n.isuse,"
        " (SELECT COUNT(*) FROM kx_shop s WHERE s.nickid = n.nickid),"
        " (SELECT COUNT(*) FROM kx_operator o WHERE o.nickid = n.nickid)"
        " FROM kx_nick n ORDER BY n.masternick"));
    while (q.next())
        out.push_back({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                       q.value(4).toInt() != 0, q.value(5).toInt(), q.value(6).toInt()});
    return out;
}

void KxSetSellerInUse(TDatabase& store, const QString& masterNick, bool inUse)
{
    QSqlDatabase db = store.connection();
    TTransaction t(store, db, true);
    const QString nickid = nickidOf(db, masterNick);
    KxExec(db, QStringLiteral("UPDATE kx_nick SET isuse = ? WHERE nickid = ?"), {inUse ? 1 : 0, nickid});
    if (!inUse)
        KxExec(db, QStringLiteral("DELETE FROM kx_session WHERE nickid = ?"), {nickid});
    t.commit();
}

QString KxResetPassword(TDatabase& store, const QString& masterNick, const QString& operId, const QString& password)
{
    const QString pw = password.isEmpty() ? KxGeneratePassword() : password;
    if (const QString weak = KxWeakPasswordReason(pw, operId, KxTrimLow(masterNick)); !weak.isEmpty())
        throw TAdminError(weak);
    const QString hash = KxHashPassword(pw); // before the write lock: argon2 takes its time
    QSqlDatabase db = store.connection();
    TTransaction t(store, db, true);
    const QString nickid = nickidOf(db, masterNick);
    needOperator(db, nickid, masterNick, operId);
    KxExec(db, QStringLiteral("UPDATE kx_operator SET pwhash = ? WHERE nickid = ? AND operid = ?"), {hash, nickid, operId});
    KxExec(db, QStringLiteral("DELETE FROM kx_session WHERE nickid = ? AND operid = ?"), {nickid, operId});
    KxLiftLoginLock(db, nickid, operId);
    t.commit();
    return pw;
}

bool KxLiftLock(TDatabase& store, const QString& masterNick, const QString& operId, const QString& address)
{
    if (operId.isEmpty() && address.isEmpty())
        throw TAdminError(QStringLiteral("name the operator (--operator) or the client address (--address) to unlock"));
    QSqlDatabase db = store.connection();
    TTransaction t(store, db, true);
    const QString nickid = nickidOf(db, masterNick);
    QStringList subjects;
    if (!operId.isEmpty()) {
        needOperator(db, nickid, masterNick, operId);
        subjects << QStringLiteral("oper:") + operId;
    }
    if (!address.isEmpty())
        subjects << QStringLiteral("addr:") + address;
    int lifted = 0;
    for (const QString& s : subjects)
        lifted += KxExec(db, QStringLiteral("DELETE FROM kx_login_guard WHERE nickid = ? AND subject = ?"), {nickid, s}).numRowsAffected();
    t.commit();
    return lifted > 0;
}
