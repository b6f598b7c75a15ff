#pragma once
// The carrier companies offered to the seller, each marked when the seller already uses it.
// The seller's own carriers are a simple master table (MasterData).
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxLogisticsMethods();
