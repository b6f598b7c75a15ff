#pragma once
// The stocktake's batches: the list, its statuses and its save (new batches numbered here,
// remarks, finishing), the freeze of a storage's book stock for a batch, and the empty count
// sheet of a frozen storage. docs/stocktake.md.
#include "LocalClock.h"
#include "dispatch/Context.h"

void KxCheckBatchSearch(TContext& ctx);
void KxCheckBatchStatus(TContext& ctx);
void KxCheckBatchUpdate(TContext& ctx);
void KxCheckFrozeStorage(TContext& ctx);
void KxCheckEmptySheet(TContext& ctx);

// The seller's effective batch (status 1); empty when there is none.
QString KxCheckEffectiveBatch(TContext& ctx);
