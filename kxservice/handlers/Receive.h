#pragma once
// Purchase receipts: a header and its lines per document. Paged list, lines of one
// document, the edit load, save (header and lines together, the first save numbers the
// document) and audit, which posts the received quantities to the storage's stock and
// writes the stock ledger. Plus the document status list every stock document shows.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxReceiveMethods();
