#include "Handlers.h"

#include "PowerMger.h"

void KxRegisterHandlers(TDispatcher& dispatcher)
{
    dispatcher.add(KxPowerMgerMethods());
}
