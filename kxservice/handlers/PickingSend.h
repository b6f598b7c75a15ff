#pragma once
// Shipping picking lists: the pickings to print or ship, their carrier, waybill number and
// freight, and the shipment reported to the marketplace picking by picking.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxPickingSendMethods();
