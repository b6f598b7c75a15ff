#pragma once
// Every area's methods, registered with the dispatcher in one place.
#include <QStringList>

class TDispatcher;
void KxRegisterHandlers(TDispatcher& dispatcher);
// The names of every method the handlers implement.
QStringList KxHandledMethods();
