#pragma once
// The home tab's work queues: every figure in one answer, each with the module it opens and
// the fixed conditions under which that module lists exactly the counted rows.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxWorkbenchMethods();
