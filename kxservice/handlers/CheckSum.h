#pragma once
// The stocktake's summary: the ticked count sheets added to the batch's difference list.
// docs/stocktake.md.
#include "dispatch/Context.h"

void KxCheckSumAudit(TContext& ctx);
