#pragma once
// The stock and price views and their pushes to the marketplace: a product's sellable stock or
// retail price sent to every marketplace SKU mapped to it.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxStockPushMethods();

// The storage type whose storages sell online: goods ship to buyers from them.
inline constexpr int kKxSellingStorageType = 1;

// The most products one push call takes (the views' run sends its rows in calls of this many).
inline constexpr int kKxPushBatch = 100;

// The condition on a product `t` (of kx_commodity) whose stock summed over every storage is
// below its minimum; a minimum of 0 is no limit.
inline constexpr const char* kKxBelowMinimumStock =
    "t.minstock > 0 AND COALESCE((SELECT SUM(k.stocknum) FROM kx_stock k WHERE k.nickid = t.nickid"
    " AND k.commoditycode = t.commoditycode), 0) < t.minstock";
