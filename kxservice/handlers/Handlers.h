#pragma once
// Every area's methods, registered with the dispatcher in one place.
class TDispatcher;
void KxRegisterHandlers(TDispatcher& dispatcher);
