#include "systemactions.h"

#include <QAtomicPointer>

#include "dryrunsystemactions.h"
#include "realsystemactions.h"

namespace sys {

namespace {
QAtomicPointer<SystemActions> g_current;

SystemActions* defaultActions() {
    static DryRunSystemActions dry;
    return &dry;
}
}  // namespace

SystemActions& actions() {
    SystemActions* current = g_current.loadAcquire();
    return current ? *current : *defaultActions();
}

SystemActions* setActions(SystemActions* replacement) {
    SystemActions* previous = g_current.fetchAndStoreOrdered(replacement);
    return previous ? previous : defaultActions();
}

SystemActions* chooseFromEnvironment() {
    if (qEnvironmentVariableIntValue("MOULDMON_ON_PANEL") == 1) {
        static RealSystemActions real;
        return &real;
    }
    return defaultActions();
}

}  // namespace sys
