#pragma once
// Operator sessions. A login opens a session under a random key that only its client knows;
// every later call carries the key (signed with the other fields) and is served as the
// session's operator, whatever address it comes from. Only a hash of the key is stored.
// Sessions are rows of the database, so every instance serving the same database knows them.
#include <QSqlDatabase>
#include <QString>

class TDatabase;

// SHA-256 of a session key, in hex: what the session table keeps.
QString KxSessionKeyHash(const QString& key);

// Opens a session of the operator in a shop and returns its new key (32 random bytes in hex).
// The session the calling client held before (`replacedKey`, may be empty) ends, and so do
// the seller's sessions idle for longer than `idleSeconds`. Part of the login's transaction.
QString KxOpenSession(QSqlDatabase& db, const QString& nickid, const QString& operid, const QString& shopcode,
                      const QString& addr, const QString& replacedKey, int idleSeconds);

// The session found by its key, as read with the caller's other checks in one statement
// (see TDispatcher).
struct TSessionRow {
    bool found = false;       // a session under that key
    QString operid;           // the session's operator
    bool operatorExists = false;
    bool operatorInUse = false;
    qint64 lastSeen = 0;
    QString shopcode;
};

// Checks that the key's session belongs to the operator the call names, that the operator
// is still in use and that the session is not idle for too long; slides its expiry. Returns
// the shop the operator logged in to. Throws TServiceError otherwise (kxSessionExpired for
// a session that is gone, expired or another operator's; an expired session and a disabled
// operator's sessions are deleted first). Runs outside the call's transaction.
QString KxCheckSession(QSqlDatabase& db, const TSessionRow& row, const QString& nickid, const QString& operid,
                       const QString& keyHash, int idleSeconds);
