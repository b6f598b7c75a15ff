#pragma once
// Goods downloaded from the marketplace: its categories into the goods tree, its items and
// SKUs into goods, incremental and idempotent. Listing and the pickers' search: NetShopItems.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxNetShopGoodsMethods();
