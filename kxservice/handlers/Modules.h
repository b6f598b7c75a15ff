#pragma once
// Module descriptions: what the client's CallModule receives for a module name.
#include "dispatch/Context.h"

// Answers moduleclass, moduletitle, modal, modulepower (the operator's rights) and the
// module's method names and settings, or refuses a module the operator may not open.
void KxDescribeModule(TContext& ctx, const QString& moduleName);

// The rights string a module is given: "key=True;" for each right held, in a fixed order.
QString KxPowerString(bool isupdate, bool isaudit, bool issearch, bool isprint, bool isoutput, bool iscolumn);

// The login dialog's module: described without a session, so that a client whose session
// expired can open it and log in again.
inline constexpr char kLoginModule[] = "System.Logon";
