#pragma once
// Picking lists: the document kind's methods, and turning marketplace orders into picking
// lists, the orders marked picked in the same transaction.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxTradePickingMethods();
