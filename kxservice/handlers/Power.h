#pragma once
// Operators' rights as the rights form reads and saves them: one row per module with the six
// rights of one operator, and the operator's whole set replaced by one save.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxPowerMethods();

// Refuses, inside the caller's transaction, when `operid` is the last operator in use who may
// save rights (the rights form with "isupdate"): taking that from the last one would lock the
// seller out of the rights for good. Called before the operator loses it.
void KxKeepRightsHolder(TContext& ctx, const QString& operid);
