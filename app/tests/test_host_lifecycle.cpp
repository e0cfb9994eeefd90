// The application lifecycle in process, through the real process entry, with stand-in Display, System and
// SoundDriver components: the order of start-up, lifecycle calls, '+' arguments, event dispatch and shutdown,
// the settings written back, and the exit codes of failing components.
#include "app/src/application.h"
#include "binding/global_functions.h"
#include "component/class_names.h"
#include "component/component_factory.h"
#include "component/component_group.h"
#include "component/component_registry.h"
#include "component/engine_interfaces.h"
#include "component/media_interfaces.h"
#include "objects/system.h"
#include "platform/kd.h"
#include "script/script_api.h"
#include "script/script_host.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace stdfs = std::filesystem;

// What the stand-ins do, chosen per test.
struct Behaviour {
    bool displayInit = true;
    bool systemInit = true;
    bool soundInit = true;
    bool provideSound = true;
};
Behaviour g_behaviour;
const ComponentRegistry* g_registry = nullptr;
std::vector<std::string> g_arguments;
std::string g_log;

void note(const std::string& line) {
    kdLogMessage("%s\n", line.c_str());
}

const char* vmState() {
    return ScriptHost::vm() ? "vm alive" : "vm gone";
}

class FakeDisplay final : public IDisplay, public IShutdownable {
public:
    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IDisplay, IRenderTarget, IShutdownable>(this, id);
    }
    IGraphics* Begin(ICamera*) override { return nullptr; }
    void End() override {}
    std::int32_t GetWidth() override { return m_width; }
    std::int32_t GetHeight() override { return m_height; }
    ITexture* GetTexture() override { return nullptr; }
    bool Init(std::int32_t width, std::int32_t height) override {
        m_width = width;
        m_height = height;
        note("display init " + std::to_string(width) + "x" + std::to_string(height));
        return g_behaviour.displayInit;
    }
    bool IsWindowed() override { return true; }
    void SetWindowed(bool) override {}
    KDWindow* GetWindow() override { return nullptr; }
    void ShowKeyboard(bool) override {}
    ComponentRef<ITexture> CreateTexture() override { return {}; }
    ComponentRef<IRenderTarget> CreateRenderTarget(std::int32_t, std::int32_t) override { return {}; }
    ComponentRef<> CreateEffect() override { return {}; }
    void Shutdown() override { note(std::string("display shutdown, ") + vmState()); }

private:
    ~FakeDisplay() override { note("display released"); }
    std::int32_t m_width = 0, m_height = 0;
};

void postEvent(KDint32 type, KDint32 property = 0) {
    KDEvent* event = kdCreateEvent();
    event->type = type;
    event->data.windowproperty.pname = property;
    kdPostEvent(event);
}

class FakeSystem final : public ComponentGroupBase<ISystem> {
public:
    void* QueryInterface(InterfaceId id) override {
        return queryAmong<ISystem, IComponentGroup, IShutdownable>(this, id);
    }
    bool Init(IDisplay* display) override {
        m_display = display;
        note("system init");
        // What the window would deliver while the game runs, then the script's quit.
        postEvent(KD_EVENT_WINDOW_CLOSE);
        postEvent(KD_EVENT_PAUSE);
        postEvent(KD_EVENT_RESUME);
        postEvent(KD_EVENT_WINDOWPROPERTY_CHANGE, KD_WINDOWPROPERTY_SIZE);
        postEvent(KD_EVENT_WINDOWPROPERTY_CHANGE, 12);
        postEvent(KD_EVENT_INPUT);
        postEvent(KD_EVENT_QUIT);
        return g_behaviour.systemInit;
    }
    IDisplay* GetDisplay() override { return m_display; }
    bool RegisterObject(std::string_view identifier, IAbstract* component) override {
        note("system register " + std::string(identifier));
        return ComponentGroupBase<ISystem>::RegisterObject(identifier, component);
    }
    ComponentRef<> UnregisterObject(std::string_view identifier) override {
        ComponentRef<> found = ComponentGroupBase<ISystem>::UnregisterObject(identifier);
        note("system unregister " + std::string(identifier) + (found ? "" : " (not found)"));
        return found;
    }
    void Shutdown() override {
        note(std::string("system shutdown, ") + vmState());
        ComponentGroupBase<ISystem>::Shutdown();
    }

private:
    ~FakeSystem() override { note("system released"); }
    IDisplay* m_display = nullptr;
};

class FakeSound final : public ISoundDriver, public IShutdownable {
public:
    void* QueryInterface(InterfaceId id) override {
        return queryAmong<ISoundDriver, IShutdownable>(this, id);
    }
    bool Init(KDWindow*) override {
        note("sound init");
        return g_behaviour.soundInit;
    }
    ComponentRef<ISound> CreateSound() override { return {}; }
    ComponentRef<ISound> CreateMusic() override { return {}; }
    bool Start() override { return true; }
    bool Stop() override { return true; }
    bool Pause() override { return true; }
    std::int32_t GetVolume() override { return 100; }
    bool SetVolume(std::int32_t) override { return true; }
    void Shutdown() override { note(std::string("sound shutdown, ") + vmState()); }

private:
    ~FakeSound() override { note("sound released"); }
};

void capture(const KDchar* text, void*) {
    g_log += text;
}

class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/hh-lifecycle-XXXXXX";
        m_folder = mkdtemp(pattern);
        m_previous = stdfs::current_path();
        stdfs::current_path(m_folder);
        setenv("XDG_DATA_HOME", m_folder.c_str(), 1);
        setenv("XDG_RUNTIME_DIR", m_folder.c_str(), 1);
        // Runs in one process one after another: skip the single-instance guard (it has end-to-end tests).
        setenv("KD_PARENT_WINDOW", "0", 1);
        g_behaviour = Behaviour();
        g_log.clear();
        m_registry.registerClass(classId(ClassName::Display), createComponent<FakeDisplay>);
        m_registry.registerClass(classId(ClassName::System), createComponent<FakeSystem>);
        m_registry.registerClass(classId(ClassName::SoundDriver), createComponent<FakeSound>);
        g_registry = &m_registry;
    }
    void TearDown() override {
        stdfs::current_path(m_previous);
        stdfs::remove_all(m_folder);
    }

    void writeMain(const std::string& text) {
        stdfs::create_directories(m_folder / "scripts");
        std::ofstream(m_folder / "scripts" / "Main.nut") << text;
    }

    // Runs the process entry (guard, platform start, kdMain, platform stop) with these arguments.
    int run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "harborhaven");
        g_arguments = arguments;
        std::vector<char*> argv;
        for (std::string& a : g_arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        kdSetLogHook(capture, nullptr);
        int result = platformMain(static_cast<int>(g_arguments.size()), argv.data());
        kdSetLogHook(nullptr, nullptr);
        return result;
    }

    // The captured log from the first line that begins with `from`.
    std::string logFrom(const std::string& from) const {
        std::size_t at = g_log.find(from);
        return at == std::string::npos ? "<missing " + from + ">\n" + g_log : g_log.substr(at);
    }

    stdfs::path m_folder, m_previous;
    ComponentRegistry m_registry;
};

const char kLifecycleScript[] = R"(
settings <- { DisplayWidth = 640, DisplayHeight = 480.9 }
print("main ran, cheats " + IsCheatsEnabled + ", mac " + IS_MAC + ", layer " + UPDATE_LAYER_SYSTEM + "\n")
function initApp() { print("initApp, wheel2d " + settings.IsPointerWheel2DSupported + "\n") }
function startApp() { print("startApp, sound " + ("SoundEnabled" in settings ? settings.SoundEnabled : "untouched") + "\n") }
function closeApp() { print("closeApp\n") }
function pauseApp() { print("pauseApp\n") }
function resumeApp() { print("resumeApp\n") }
function resizeApp() { print("resizeApp\n") }
function destroyApp() { print("destroyApp\n") }
return settings
)";

} // namespace

// The engine's main, as the executable has it, over the test's registry and the script globals of the layers
// below the media.
int kdMain() {
    registerBindingScriptApi(ScriptApi::instance());
    registerObjectModelScriptApi(ScriptApi::instance());
    return runApplication(processArgumentCount(), processArguments(), *g_registry);
}

TEST_F(Lifecycle, RunsEveryStepInOrder) {
    writeMain(kLifecycleScript);
    EXPECT_EQ(run({"plain", "+print(\"plus one\\n\")", "+", "+print(\"plus two \" + ARGS.len() + \"\\n\")"}),
              kExitNormal);
    std::string log = logFrom("main ran");
    log = log.substr(0, log.find("display released\n") + 17);
    EXPECT_EQ(log, "main ran, cheats false, mac false, layer 1\n"
                   "display init 640x480\n"
                   "system init\n"
                   "initApp, wheel2d true\n"
                   "sound init\n"
                   "system register SoundDriver\n"
                   "startApp, sound untouched\n"
                   "plus one\n"
                   "plus two 5\n"
                   "closeApp\n"
                   "pauseApp\n"
                   "resumeApp\n"
                   "resizeApp\n"
                   "exiting...\n"
                   "destroyApp\n"
                   "system unregister SoundDriver\n"
                   "system shutdown, vm alive\n"
                   "system released\n"
                   "sound shutdown, vm gone\n"
                   "sound released\n"
                   "display shutdown, vm gone\n"
                   "display released\n");
    EXPECT_EQ(ScriptHost::vm(), nullptr);
}

TEST_F(Lifecycle, FailedSoundLeavesTheGameRunningWithoutSound) {
    writeMain(kLifecycleScript);
    g_behaviour.soundInit = false;
    EXPECT_EQ(run({}), kExitNormal);
    std::string log = logFrom("sound init");
    EXPECT_EQ(log.substr(0, log.find("closeApp")), "sound init\nstartApp, sound false\n");
    EXPECT_NE(log.find("system unregister SoundDriver (not found)\n"), std::string::npos) << log;
    EXPECT_NE(log.find("sound shutdown, vm gone\nsound released\n"), std::string::npos) << log;
}

TEST_F(Lifecycle, LifecycleErrorsAreReportedAndTheRunGoesOn) {
    writeMain("function initApp() { throw \"init failed\" }\n"
              "function startApp() { local t = null; t.missing(); }\n"
              "function destroyApp() { print(\"destroyApp\\n\") }\n"
              "return { DisplayWidth = 1, DisplayHeight = 1 }\n");
    EXPECT_EQ(run({"+this is not a script", "+print(\"later plus ran\\n\")"}), kExitNormal);
    std::string log = logFrom("system init");
    EXPECT_NE(log.find("error: [init failed]\n"), std::string::npos) << log;
    EXPECT_NE(log.find("error: [the index 'missing' does not exist]\n"), std::string::npos) << log;
    EXPECT_NE(log.find("console_buffer line = (1) column = ("), std::string::npos) << log;
    EXPECT_NE(log.find("later plus ran\n"), std::string::npos) << log;
    EXPECT_NE(log.find("exiting...\ndestroyApp\n"), std::string::npos) << log;
}

TEST_F(Lifecycle, FailingComponentsEndTheRunBeforeAnyLifecycleCall) {
    struct Case {
        const char* what;
        Behaviour behaviour;
        bool registerDisplay;
        int exitCode;
    };
    const Case cases[] = {
        {"display Init false", {false, true, true, true}, true, kExitDisplayFailed},
        {"no display class", {}, false, kExitDisplayFailed},
        {"system Init false", {true, false, true, true}, true, kExitSystemFailed},
    };
    writeMain(kLifecycleScript);
    for (const Case& c : cases) {
        ComponentRegistry registry;
        if (c.registerDisplay)
            registry.registerClass(classId(ClassName::Display), createComponent<FakeDisplay>);
        registry.registerClass(classId(ClassName::System), createComponent<FakeSystem>);
        registry.registerClass(classId(ClassName::SoundDriver), createComponent<FakeSound>);
        g_registry = &registry;
        g_behaviour = c.behaviour;
        g_log.clear();
        EXPECT_EQ(run({}), c.exitCode) << c.what;
        EXPECT_EQ(g_log.find("initApp"), std::string::npos) << c.what;
        EXPECT_EQ(g_log.find("exiting..."), std::string::npos) << c.what;
        // The VM is left for the process's end; the next run would reuse it, so close it here.
        ScriptHost::destroy();
    }
}

TEST_F(Lifecycle, SampleConsoleScriptCompletesRootNames) {
    // The sample game's completion function, loaded as the console loads it.
    stdfs::create_directories(m_folder / "scripts" / "sys");
    stdfs::copy_file(SAMPLE_GAME_PATH "/scripts/sys/Console.nut",
                     m_folder / "scripts" / "sys" / "Console.nut");
    writeMain("local complete = dofile(\"scripts/sys/Console.nut\")\n"
              "foreach (word in [\"UPDATE_LAYER_M\", \"ARG\", \"zzz_nothing\"]) print(word + \" -> \" + "
              "complete(word) + \"\\n\")\n"
              "return {}\n");
    g_behaviour.displayInit = false;
    EXPECT_EQ(run({}), kExitDisplayFailed);
    EXPECT_NE(g_log.find("UPDATE_LAYER_M -> UPDATE_LAYER_MAX\nARG -> ARGS\nzzz_nothing -> (null"),
              std::string::npos)
        << g_log;
    ScriptHost::destroy();
}
