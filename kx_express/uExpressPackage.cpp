// Identity of the package; its module units register their classes beside it.
#include "uPackages.h"

KX_REGISTER_PACKAGE("kx_express", "快递单设计与打印")
