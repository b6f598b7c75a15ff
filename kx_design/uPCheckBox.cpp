#include "uPCheckBox.h"

#include "uTPanelStage.h"

KX_REGISTER_DESIGN_CONTROL(TPCheckBox)
