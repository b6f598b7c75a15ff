#pragma once
// What the stocktake's forms share: they work on the effective batch, asked of the module's
// "checkcode" method with "status" = "1" before each search and when a count sheet is
// created; and the summary and the adjustment lists tick only rows not yet dealt with.
#include "uDocCommon.h"

#include <QString>

#include <functional>

class TfrmBase;
class TGridColumn;
class TGridView;

// The stocktake's adjustments: stock adjustments of type "盘点库存调整", whose lines carry the
// difference at cost and at sale price as money.
const TKxMoneyLines& KxCheckAdjustments();

// The first effective batch's code; empty when there is none or the call failed (shown).
QString KxEffectiveBatch(TfrmBase* form);

// The tick column `tick` of `grid` takes a tick only on rows that `done` says are still open:
// on the others the cell is blank and takes neither the focus nor a tick. Moving to another
// row leaves the tick column, so that a key pressed there cannot tick a row unseen.
void KxTickOpenRowsOnly(TGridView* grid, TGridColumn* tick, std::function<bool(int recIndex)> done);
