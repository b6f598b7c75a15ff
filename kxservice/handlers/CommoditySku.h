#pragma once
// Marketplace SKUs mapped to products (`kx_sku_bind`): the mapping window's list, loads and
// saves; a save binds the waiting order lines that carry the SKUs it maps.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxCommoditySkuMethods();

// Binds every unbound line of the orders not yet picked whose SKU is now mapped to a product
// that is not deleted: after a mapping save or a goods download's mappings.
void KxBindWaitingOrderLines(TContext& ctx);
