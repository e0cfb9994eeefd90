#include "app/src/application.h"
#include "app/src/demo_driver.h"
#include "app/src/screenshot.h"
#include "binding/global_functions.h"
#include "component/class_names.h"
#include "component/component_registry.h"
#include "component/engine_interfaces.h"
#include "component/media_interfaces.h"
#include "graphics/graphics_functions.h"
#include "platform/kd.h"
#include "platform/kd_libraries.h"
#include "script/script_host.h"

namespace {

constexpr char kMainScript[] = "scripts/Main.nut";

// The application's group of global functions and its own root values, registered right after the VM is
// created.
void registerApplicationGlobals() {
    if (HSQUIRRELVM vm = ScriptHost::vm()) {
        registerApplicationFunctions(vm);
        registerGraphicsFunctions(vm);
        registerScreenshotFunction(vm);
    }
    ScriptValue root = ScriptHost::root();
    ScriptHost::setBool(root, "IS_MAC", false);
}

// Arguments that begin with '+' are script text, run in command-line order; errors are only reported.
void runPlusArguments(int argumentCount, const char* const* arguments) {
    for (int i = 0; i < argumentCount; ++i) {
        const char* argument = arguments[i];
        if (!argument || argument[0] != '+') continue;
        ScriptHost::callClosure(ScriptHost::compileBuffer(argument + 1), ScriptHost::root(),
                                "command-line script");
    }
}

// Until a quit event: the events no callback consumed become lifecycle calls.
void runEventLoop() {
    for (;;) {
        const KDEvent* event = kdWaitEvent();
        if (!event) continue;
        switch (event->type) {
        case KD_EVENT_QUIT:
            return;
        case KD_EVENT_WINDOW_CLOSE:
            ScriptHost::callRootFunction("closeApp");
            break;
        case KD_EVENT_PAUSE:
            ScriptHost::callRootFunction("pauseApp");
            break;
        case KD_EVENT_RESUME:
            ScriptHost::callRootFunction("resumeApp");
            break;
        case KD_EVENT_WINDOWPROPERTY_CHANGE:
            if (event->data.windowproperty.pname == KD_WINDOWPROPERTY_SIZE)
                ScriptHost::callRootFunction("resizeApp");
            break;
        default:
            break;
        }
    }
}

template <class Interface> void shutDown(ComponentRef<Interface>& component) {
    if (!component) return;
    if (ComponentRef<IShutdownable> shutdownable = component.template query<IShutdownable>())
        shutdownable->Shutdown();
    component.reset();
}

} // namespace

int runApplication(int argumentCount, const char* const* arguments, const ComponentRegistry& registry) {
    ScriptHost::create(argumentCount, arguments);
    registerApplicationGlobals();
    ScriptValue root = ScriptHost::root();
    ScriptHost::setBool(root, "IsCheatsEnabled", false);
    kdLogMessage("OpenKODE Core v%s by %s on %s\n", engineVersionText(), engineVendorText(),
                 platformDescription());

    ScriptValue mainScript = ScriptHost::loadScriptFile(kMainScript);
    if (mainScript.isNull()) return kExitMainScriptFailed;
    ScriptValue settings = ScriptHost::callClosure(mainScript);
    // Anything but a table (a runtime error, a script returning nothing) counts as empty settings.
    if (!settings.hasSlots()) logWarning(nullptr, "%s returned no settings table", kMainScript);
    ScriptHost::setBool(settings, "IsPointerWheel2DSupported", true);

    // A component the registry cannot create counts as one whose Init failed.
    ComponentRef<IDisplay> display = registry.create(classId(ClassName::Display)).query<IDisplay>();
    const SQInteger height = ScriptHost::getInt(settings, "DisplayHeight");
    const SQInteger width = ScriptHost::getInt(settings, "DisplayWidth");
    if (!display || !display->Init(width, height)) {
        logError(nullptr, "the display could not be started (%d x %d)", width, height);
        return kExitDisplayFailed;
    }
    platform::keepLoadedLibraries();
    ComponentRef<ISystem> system = registry.create(classId(ClassName::System)).query<ISystem>();
    if (!system || !system->Init(display.get())) {
        logError(nullptr, "the system object could not be started");
        return kExitSystemFailed;
    }
    ScriptHost::callRootFunction("initApp");

    ComponentRef<ISoundDriver> sound = registry.create(classId(ClassName::SoundDriver)).query<ISoundDriver>();
    if (sound && sound->Init(display->GetWindow())) {
        system->RegisterObject("SoundDriver", sound.get());
    } else {
        ScriptHost::setBool(settings, "SoundEnabled", false);
    }
    ScriptHost::callRootFunction("startApp");
    runPlusArguments(argumentCount, arguments);
    startDemoDriver(system.get(), display.get());
    settings.reset();
    mainScript.reset();
    root.reset();

    runEventLoop();

    logPlain(nullptr, "exiting...");
    ScriptHost::callRootFunction("destroyApp");
    stopDemoDriver();
    system->UnregisterObject("SoundDriver");
    system->Shutdown();
    system.reset();
    ScriptHost::destroy();
    shutDown(sound);
    shutDown(display);
    return kExitNormal;
}
