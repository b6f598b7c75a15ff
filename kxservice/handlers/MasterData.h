#pragma once
// The simple master tables kept in one editable grid each (shops, brands, property values,
// senders, storages, operators, the shop's carriers): a page of rows, and saving the grid's
// change log as a whole. Plus the storage lookups other modules open with.
#include "dispatch/Dispatcher.h"
#include "store/Paging.h"

const std::vector<TMethodDef>& KxMasterDataMethods();
