#include "uPLabel.h"

#include "uTPanelStage.h"

KX_REGISTER_DESIGN_CONTROL(TPLabel)
