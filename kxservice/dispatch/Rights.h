#pragma once
// The rights rule of the dispatcher for a handler that serves the data of another module.
#include "Context.h"

// Refuses the call unless its operator may call `method` through one of its modules, as the
// dispatcher checks a method reached through modules.
void KxRequireRight(TContext& ctx, const QString& method);
