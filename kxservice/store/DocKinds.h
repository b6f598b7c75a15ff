#pragma once
// The document kinds the service keeps, one description each (DocKind.h).
#include "DocKind.h"

extern const TDocKind kKxReceive;        // purchase receipt
extern const TDocKind kKxOutput;         // retail outbound
extern const TDocKind kKxWhole;          // wholesale outbound
extern const TDocKind kKxResult;         // purchase return
extern const TDocKind kKxAllocate;       // transfer between storages
extern const TDocKind kKxAdjust;         // stock adjustment
extern const TDocKind kKxCheck;          // stocktake count sheet
extern const TDocKind kKxAdjustCost;     // goods cost price
extern const TDocKind kKxAdjustPrice;    // goods sale and wholesale price
extern const TDocKind kKxAdjustItemCost; // SKU cost price
extern const TDocKind kKxAdjustItemPrice;// SKU sale and wholesale price
extern const TDocKind kKxPicking;        // picking list
extern const TDocKind kKxRefunding;      // return receipt
