#pragma once
// The seller's calls to the marketplace about orders: downloads and ratings; and the shop
// account check every marketplace call makes.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxNetShopMethods();

// The shop account must be the seller's main account or one of its sub-accounts.
QString KxShopAccount(const TContext& ctx, const QString& param);
