#include "Handlers.h"

#include "MasterData.h"
#include "PowerMger.h"

void KxRegisterHandlers(TDispatcher& dispatcher)
{
    dispatcher.add(KxPowerMgerMethods());
    dispatcher.add(KxMasterDataMethods());
}
