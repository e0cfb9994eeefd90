// kdMain: the application main that the process entry calls once the platform is started. Each layer hands
// the engine's registry the factories of the classes it implements, then runApplication does the whole run.
#include "app/src/application.h"
#include "component/component_registry.h"
#include "component/system.h"
#include "persistence/persistence_classes.h"
#include "platform/kd.h"

int kdMain() {
    ComponentRegistry& registry = ComponentRegistry::instance();
    registerObjectModelClasses(registry);
    registerPersistenceClasses(registry);
    // The display's layer is not handed in yet: without a display the run ends after scripts/Main.nut (-2).
    return runApplication(processArgumentCount(), processArguments(), registry);
}
