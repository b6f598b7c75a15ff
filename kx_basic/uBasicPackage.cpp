// Identity of the package; its module units register their classes beside it.
#include "uPackages.h"

KX_REGISTER_PACKAGE("kx_basic", "基础资料")
