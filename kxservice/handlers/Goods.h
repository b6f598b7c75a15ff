#pragma once
// Online goods, products, their marketplace SKU mappings and bundles: lists, loads and saves
// on the master-data table engine (MasterTable.h).
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxGoodsMethods();
