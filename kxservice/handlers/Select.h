#pragma once
// The lists behind the pick dialogs (Select.*): one page of rows narrowed by the dialog's
// conditions and the caller's fixed conditions.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxSelectMethods();
