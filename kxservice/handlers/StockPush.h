#pragma once
// The stock and price views and their pushes to the marketplace: a product's sellable stock or
// retail price sent to every marketplace SKU mapped to it.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxStockPushMethods();

// The storage type whose storages sell online: goods ship to buyers from them.
inline constexpr int kKxSellingStorageType = 1;

// The most products one push call takes (the views' run sends its rows in calls of this many).
inline constexpr int kKxPushBatch = 100;
