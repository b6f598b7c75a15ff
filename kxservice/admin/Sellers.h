#pragma once
// Sellers and their accounts as the service's administrator keeps them, straight on the
// database (SQLite or PostgreSQL), the service running or not. Every function refuses with a
// TAdminError whose text says what to do, and changes nothing then.
#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>
#include <vector>

class TDatabase;

class TAdminError : public std::runtime_error {
public:
    explicit TAdminError(const QString& what) : std::runtime_error(what.toStdString()) {}
};

// Held for the length of one administration command; a second command on the same database
// meanwhile is refused rather than interleaved with it. The lock goes with the process (a
// lock file on SQLite, an advisory lock of the connection on PostgreSQL), so a command that
// was killed leaves none behind.
class TAdminLock {
public:
    explicit TAdminLock(TDatabase& store);
    ~TAdminLock();
    TAdminLock(const TAdminLock&) = delete;
    TAdminLock& operator=(const TAdminLock&) = delete;

private:
    TDatabase& m_store;
    int m_fd = -1;
};

// Empty when the password will do; otherwise why not (8 to 128 characters, letters and
// something else, not the account's own name, not one of the passwords everyone tries).
QString KxWeakPasswordReason(const QString& password, const QString& operid, const QString& masterNick);
// 14 characters that read unambiguously (no 0/O, 1/l/I) from the system's random source.
QString KxGeneratePassword();

struct TNewSeller {
    QString masterNick;               // the marketplace account the seller logs in under
    QString nickName;                 // shown in the client; empty: the master nick
    QStringList subNicks;             // the account's sub-accounts, without the "master:" prefix
    QString shopCode = QStringLiteral("S01"), shopName;
    QString storageId = QStringLiteral("CK01"), storageName;
    QString operId = QStringLiteral("admin"), operName = QStringLiteral("管理员");
    QString password;                 // empty: generated
};
struct TCreatedSeller {
    QString nickid, password;
    bool generated = false;
};
// The seller with its first shop, its first (dispatch) storage, the storage types and the
// administrator holding every right, on the built-in module catalogue; nothing else.
TCreatedSeller KxCreateSeller(TDatabase& store, const TNewSeller& seller);

struct TSellerRow {
    QString nickid, masterNick, nickName, created;
    bool inUse = true;
    int shops = 0, operators = 0;
};
std::vector<TSellerRow> KxListSellers(TDatabase& store);

// A disabled seller's accounts are refused at the nick dialog and its open sessions end.
void KxSetSellerInUse(TDatabase& store, const QString& masterNick, bool inUse);
// A new password (empty: generated, returned); the operator's lock is lifted and its sessions
// end. Returns the password set.
QString KxResetPassword(TDatabase& store, const QString& masterNick, const QString& operId, const QString& password);
// Lifts the lock of an operator (operId) and/or of a client address. False when there was none.
bool KxLiftLock(TDatabase& store, const QString& masterNick, const QString& operId, const QString& address);
