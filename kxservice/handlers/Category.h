#pragma once
// Category trees (goods, suppliers, member cards): all records of one tree, and saving the
// tree dialog's changes. Ids are assigned here; deleting a category deletes its subtree, and is
// refused while goods, products, suppliers or member cards use any category of it.
#include "dispatch/Dispatcher.h"

const std::vector<TMethodDef>& KxCategoryMethods();
