#pragma once
// The shell's calls: directory, nick check, package/shop/operator/sub-nick lists, login and
// password change.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxPowerMgerMethods();
