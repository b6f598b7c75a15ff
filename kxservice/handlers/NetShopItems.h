#pragma once
// The shop's items at the marketplace as the seller acts on them: listing and delisting goods,
// and the item and SKU search behind the mapping window's pickers.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxNetShopItemsMethods();
