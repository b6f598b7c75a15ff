#pragma once
// Online goods and products: lists, loads and saves on the master-data table engine
// (MasterTable.h). Their marketplace mappings are CommoditySku, bundles PackCommodity.
#include "dispatch/Dispatcher.h"
#include "store/Packet.h"

struct TMdTable;

const std::vector<TMethodDef>& KxGoodsMethods();

// What the mapping and bundle units share with the products:
// "C0002 红色 M": a product as refusals name it.
QString KxProductName(TContext& ctx, const QString& code);
// The delta file part `name`; refused when the call has none.
const QList<TDeltaChange>& KxNeedDelta(TContext& ctx, const QString& name);
// A bundle's own product row: a product whose saves keep `is_pack` set.
const TMdTable& KxPackMasterTable();
