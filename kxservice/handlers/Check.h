#pragma once
// The stocktake: batches, freezing a storage's book stock for a batch, count sheets (a kind on
// the document engine), their summary into the batch's difference list, and the audited stock
// adjustments that turn the differences into stock. docs/stocktake.md.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxCheckMethods();
