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

// Checks that the operator has a live session from the address and is still in use, and
// slides its expiry. Returns the shop the operator logged in to. Throws TServiceError asking
// to log in again otherwise. Runs outside the call's transaction.
QString KxCheckSession(QSqlDatabase& db, const QString& nickid, const QString& operid, const QString& addr,
                       int idleSeconds);
