#pragma once
// Purchase receipts on the document engine (store/DocEngine.h): paged list, lines of one
// document, the edit load, save and audit, which posts the received quantities to the
// storage's stock and the ledger and averages the products' cost prices. Plus the document
// status list every stock document shows.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxReceiveMethods();
