#pragma once
// The stocktake's difference list and its adjustment: the rows ticked become audited stock
// adjustments of type "盘点库存调整", one per storage. docs/stocktake.md.
#include "dispatch/Context.h"

void KxCheckDiffSearch(TContext& ctx);
void KxCheckAdjustStructure(TContext& ctx);
void KxCheckAdjustAudit(TContext& ctx);
