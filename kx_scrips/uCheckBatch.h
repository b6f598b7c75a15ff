#pragma once
// The stocktake's forms work on the effective batch: asked of the module's "checkcode" method
// with "status" = "1" before each search and when a count sheet is created.
#include <QString>

class TfrmBase;

// The first effective batch's code; empty when there is none or the call failed (shown).
QString KxEffectiveBatch(TfrmBase* form);
