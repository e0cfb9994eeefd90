// kdMain: the application main that the process entry calls once the platform is started. Each layer hands
// the engine's registry the factories of the classes it implements and the script host its script globals,
// lowest layer first; then runApplication does the whole run.
#include "app/src/application.h"
#include "audio/audio_classes.h"
#include "binding/global_functions.h"
#include "component/component_registry.h"
#include "console/console.h"
#include "construction/construction_classes.h"
#include "graphics/graphics_classes.h"
#include "navigation/navigation_classes.h"
#include "objects/system.h"
#include "persistence/persistence_classes.h"
#include "platform/kd.h"
#include "script/script_api.h"
#include "world/world_classes.h"

int kdMain() {
    ComponentRegistry& registry = ComponentRegistry::instance();
    ScriptApi& api = ScriptApi::instance();
    registerBindingScriptApi(api);
    registerObjectModelClasses(registry);
    registerObjectModelScriptApi(api);
    registerPersistenceClasses(registry);
    registerPersistenceScriptApi(api);
    registerGraphicsClasses(registry);
    registerGraphicsScriptApi(api);
    registerWorldClasses(registry);
    registerNavigationClasses(registry);
    registerConstructionClasses(registry);
    registerConsoleClass(registry);
    registerAudioClasses(registry);
    return runApplication(processArgumentCount(), processArguments(), registry);
}
