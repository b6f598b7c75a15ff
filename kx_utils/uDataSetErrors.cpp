// Data-set errors (a broken data packet, a field that does not exist) reach the operator as
// message boxes, like every other failure the program reports.
#include "CdsTypes.h"
#include "uUiHooks.h"

namespace {
const bool reporterInstalled = [] {
    KxSetDataSetErrorReporter([](const QString& message) { KxShowError(message); });
    return true;
}();
}
