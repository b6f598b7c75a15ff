#include "uPEdit.h"

#include "uTPanelStage.h"

KX_REGISTER_DESIGN_CONTROL(TPEdit)
