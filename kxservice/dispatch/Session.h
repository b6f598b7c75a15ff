#pragma once
// Operator sessions. The protocol carries no token and every client holds the signing
// secret, so a login binds the operator to the address it came from: later calls naming that
// operator are served only from an address with a live session. Sessions are rows of the
// database, so any instance serving the same database knows them.
#include <QSqlDatabase>
#include <QString>

class TDatabase;

// Opens (or renews) the session of (seller, operator, address) for a shop; part of the
// login's transaction.
void KxOpenSession(QSqlDatabase& db, const QString& nickid, const QString& operid, const QString& addr,
                   const QString& shopcode);

// The session of (seller, operator, address) as read with the caller's other checks in one
// statement (see TDispatcher).
struct TSessionRow {
    bool found = false;       // a session row, and its operator still exists
    qint64 lastSeen = 0;
    QString shopcode;
    bool operatorInUse = false;
};

// Checks that the operator has a live session from the address and is still in use, and
// slides its expiry. Returns the shop the operator logged in to. Throws TServiceError asking
// to log in again otherwise (a disabled operator's or an expired session is deleted first).
// Runs outside the call's transaction.
QString KxCheckSession(QSqlDatabase& db, const TSessionRow& row, const QString& nickid, const QString& operid,
                       const QString& addr, int idleSeconds);
