#pragma once
// The history of a document or master record, newest first, page by page. Reading only: the
// history is written by the saves themselves (store/History.h) and no method changes it.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxHistoryMethods();
