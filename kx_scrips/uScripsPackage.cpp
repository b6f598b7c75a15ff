// Identity of the package; its module units register their classes beside it.
#include "uPackages.h"

KX_REGISTER_PACKAGE("kx_scrips", "销售与库存单据")
