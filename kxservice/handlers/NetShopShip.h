#pragma once
// A picking list's shipment reported to the marketplace, order by order.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxNetShopShipMethods();
