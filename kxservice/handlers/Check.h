#pragma once
// The stocktake's methods: batches and freezing (CheckBatch.h), count sheets (a kind on the
// document engine), their summary (CheckSum.h) and the adjustment of the differences
// (CheckAdjust.h). docs/stocktake.md.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxCheckMethods();
