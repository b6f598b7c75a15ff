#pragma once
// Password guessing: failed logins are counted per operator and per client address. From
// the third failure of an operator (the tenth of an address) on, the next try must wait, the
// wait doubling per failure; at loginLockAfter failures of an operator (five times as many
// of an address) it is locked for loginLockSec, and even the right password is refused.
// A success clears the operator's count. An administrator lifts a lock by giving the
// operator a new password (Operator.Update), which calls KxLiftLoginLock; deleting the row
// of kx_login_guard does the same.
#include "ServiceOptions.h"

#include <QSqlDatabase>
#include <QString>

class TDatabase;
class TServiceLog;

struct TLoginAttempt {
    QString nickid, operid, addr;
};

// Throws TServiceError(kxLoginLocked) while the operator or the address is locked or must
// still wait. Reads outside any transaction.
void KxCheckLoginAllowed(QSqlDatabase& db, const TLoginAttempt& a, const TServiceOptions& options);
// Counts a failure against the address and, when `knownOperator`, the operator; logs it and
// any lock it starts. Its own write transaction.
void KxRecordLoginFailure(TDatabase& store, QSqlDatabase& db, const TLoginAttempt& a, bool knownOperator,
                          const TServiceOptions& options, TServiceLog& log);
// Forgets the operator's failures and lifts its lock (a successful login, a new password).
void KxLiftLoginLock(QSqlDatabase& db, const QString& nickid, const QString& operid);
