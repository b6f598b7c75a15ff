#pragma once
// Refunds in the books: the paged refund list and its code lists, return receipts (a document
// kind), and finished refunds turned into return receipts, the refunds marked in the same
// transaction.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxRefundMethods();
