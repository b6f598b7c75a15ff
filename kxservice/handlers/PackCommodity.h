#pragma once
// Bundles: a bundle product (`is_pack`) and its components (`kx_pack`) listed, loaded and saved
// together; the shares are computed here, and a bundle may not contain itself however deep.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxPackCommodityMethods();
