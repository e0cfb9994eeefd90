// kdMain: the application main that the process entry calls once the platform is started. The whole run
// lives in runApplication; here it gets the process's arguments and the engine's component registry.
#include "app/src/application.h"
#include "component/component_registry.h"
#include "platform/kd.h"

int kdMain() {
    return runApplication(processArgumentCount(), processArguments(), ComponentRegistry::instance());
}
