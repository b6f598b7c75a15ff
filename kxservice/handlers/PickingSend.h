#pragma once
// Shipping picking lists: the pickings to print or ship, their carrier, waybill number and
// freight. Reporting the shipment to the marketplace is NetShopShip's.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxPickingSendMethods();
