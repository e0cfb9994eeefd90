// kdMain: the application main that the process entry calls once the platform is started. Each layer hands
// the engine's registry the factories of the classes it implements, then runApplication does the whole run.
#include "app/src/application.h"
#include "audio/audio_classes.h"
#include "component/component_registry.h"
#include "console/console.h"
#include "graphics/graphics_classes.h"
#include "navigation/navigation_classes.h"
#include "objects/system.h"
#include "persistence/persistence_classes.h"
#include "platform/kd.h"
#include "world/world_classes.h"

int kdMain() {
    ComponentRegistry& registry = ComponentRegistry::instance();
    registerObjectModelClasses(registry);
    registerPersistenceClasses(registry);
    registerGraphicsClasses(registry);
    registerWorldClasses(registry);
    registerNavigationClasses(registry);
    registerConsoleClass(registry);
    registerAudioClasses(registry);
    return runApplication(processArgumentCount(), processArguments(), registry);
}
