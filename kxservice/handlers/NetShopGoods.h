#pragma once
// The seller's calls to the marketplace about goods: categories and items downloaded, items
// listed and delisted, the marketplace's items and SKUs searched for the mapping pickers.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxNetShopGoodsMethods();
