#pragma once
// The orders window's calls: the paged order list with its lines, the four code lists, and
// binding an order line's marketplace SKU to one of the seller's products.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxTradeMethods();

// A code list as the data set "xmldata" of `status` and `statusname`, in the given order.
void KxCodeList(TContext& ctx, const std::vector<std::pair<const char*, const char*>>& codes);
