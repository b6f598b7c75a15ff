#pragma once
// Read-only reports of the seller, each one paged search method of a report module: daily
// sales by marketplace shop and the orders of one such day, stock by storage and product,
// and refunds.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxReportMethods();
