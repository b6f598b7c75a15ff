#pragma once
// The stock and price documents beside the receipt, each a description on the document
// engine (store/DocKinds.cpp): retail and wholesale outbound, purchase return, transfer, stock
// adjustment, and the goods and SKU cost and price adjustments. Plus the shop list the
// transfer forms choose the receiving shop from.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxStockDocMethods();
