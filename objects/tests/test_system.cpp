// The System object through real scripts: per-layer steps of each tick, update speed and the 100 ms cap,
// named objects and their log lines, the camera handed to frames, the clear colour, frames driven by the
// real event queue, and a deterministic scripted run.
#include "test_objects_fixture.h"

#include <cstdint>

namespace {

class SystemTest : public ObjectsTest {
protected:
    void SetUp() override {
        ObjectsTest::SetUp();
        m_display.AddRef(); // lives in the fixture: never released to 0
    }
    // A System initialised with the test display, reached from scripts as ::system, with a probe updated
    // on every layer that traces "layer:ms".
    System* start(const char* settings = "") {
        run(settings);
        run(R"(
            ::system <- getComponent("System");
            ::probe <- getComponent("ScriptedObject");
            loadFromScript(probe, {
                function GetUpdateLayer() { return 255; }
                function Update(layer, ms) { ::trace += layer + ":" + ms + " "; }
            });
            system.RegisterObject("probe", probe);
        )");
        System* system = System::live();
        EXPECT_NE(system, nullptr);
        EXPECT_TRUE(system->Init(&m_display));
        system->resetTimeAt(0);
        system->updateFrameAt(0); // the probe's Init; no time
        takeTrace();
        return system;
    }

    TestDisplay m_display;
};

constexpr KDust kMs = 1'000'000;

TEST_F(SystemTest, UpdateLayerConstantsAndTimeBeforeTheSystem) {
    ScriptValue root = ScriptHost::root();
    EXPECT_EQ(ScriptHost::getInt(root, "UPDATE_LAYER_MOVEMENT"), 2);
    EXPECT_EQ(ScriptHost::getInt(root, "UPDATE_LAYER_DYNAMICS"), 4);
    EXPECT_EQ(ScriptHost::getInt(root, "UPDATE_LAYER_EFFECTS"), 64);
    EXPECT_EQ(ScriptHost::getInt(root, "UPDATE_LAYER_MAX"), 256);
    EXPECT_TRUE(holds("getTime() == 0")) << "no System object yet";
}

TEST_F(SystemTest, LayerStepTable) {
    struct Case {
        float speed;
        KDust elapsed;
        std::int32_t gameTime; // added by the tick
        const char* trace;
    };
    const Case cases[] = {
        {1.0f, 35 * kMs, 35, "1:35 2:35 4:10 4:10 4:10 4:5 8:35 16:35 32:35 64:35 128:35 "},
        {0.5f, 35 * kMs, 17, "1:17 2:17 4:10 4:7 8:17 16:17 32:17 64:17 128:17 "},
        {1.0f, 250 * kMs, 100,
         "1:100 2:100 4:10 4:10 4:10 4:10 4:10 4:10 4:10 4:10 4:10 4:10 8:100 16:100 32:100 64:50 64:50 "
         "128:100 "},
        {1.0f, 0, 0, "1:0 2:0 4:0 8:0 16:0 32:0 64:0 128:0 "},
        {1.0f, kMs / 2, 0, "1:0 2:0 4:0 8:0 16:0 32:0 64:0 128:0 "}, // whole milliseconds only
        {2.0f, 3 * kMs, 6, "1:6 2:6 4:6 8:6 16:6 32:6 64:6 128:6 "},
    };
    System* system = start();
    KDust now = 0;
    for (const Case& c : cases) {
        run("::system.SetUpdateSpeed(" + std::to_string(c.speed) + ");");
        const std::int32_t before = system->GetTime();
        now += c.elapsed;
        system->updateFrameAt(now);
        EXPECT_EQ(system->GetTime() - before, c.gameTime) << c.trace;
        EXPECT_EQ(takeTrace(), c.trace);
    }
    // A clock that went backwards counts as no time.
    system->updateFrameAt(now - 50 * kMs);
    EXPECT_EQ(takeTrace(), "1:0 2:0 4:0 8:0 16:0 32:0 64:0 128:0 ");
    EXPECT_EQ(integer("system.GetTime()"), system->GetTime());
    EXPECT_EQ(integer("getTime()"), system->GetTime()) << "the global function reads the same clock";
}

TEST_F(SystemTest, SpeedAndTimeFromScript) {
    start();
    run("::system.SetUpdateSpeed(3); ::speed <- system.GetUpdateSpeed();");
    EXPECT_EQ(text("typeof ::speed"), "float");
    EXPECT_EQ(integer("::speed.tointeger()"), 3);
    // ResetTime then UpdateFrame at once: every layer gets 0 ms and game time stays.
    run("::before <- system.GetTime(); system.ResetTime(); system.UpdateFrame();");
    EXPECT_EQ(integer("system.GetTime() - before"), 0);
    EXPECT_EQ(takeTrace(), "1:0 2:0 4:0 8:0 16:0 32:0 64:0 128:0 ");
    run("::system.SetUpdateSpeed(\"fast\");");
    EXPECT_NE(takeLog().find("sq_get*() failed (type error)"), std::string::npos);
    // A huge speed is capped at 100 s of game time per tick.
    run("::system.SetUpdateSpeed(1.0e9);");
    System* system = System::live();
    const std::int32_t before = system->GetTime();
    system->resetTimeAt(0);
    system->updateFrameAt(100 * kMs);
    EXPECT_EQ(system->GetTime() - before, 100'000);
}

TEST_F(SystemTest, GameTimeWrapsToThirtyTwoBitsWithoutOverflow) {
    System* system = start();
    run("::system.SetUpdateSpeed(1.0e9);"); // the largest tick, 100 s of game time
    // Without an update group a tick only counts time, so many of them are cheap.
    system->Shutdown();
    const std::uint32_t before = static_cast<std::uint32_t>(system->GetTime());
    constexpr std::uint32_t kTicks = 50'000; // 5e9 ms: past 2^31 and 2^32
    KDust now = 0;
    system->resetTimeAt(now);
    for (std::uint32_t i = 0; i < kTicks; ++i) {
        now += 100 * kMs;
        system->updateFrameAt(now);
    }
    const std::uint32_t expected = before + kTicks * 100'000u;
    EXPECT_EQ(system->GetTime(), static_cast<std::int32_t>(expected));
    EXPECT_EQ(integer("system.GetTime()"), system->GetTime());
    EXPECT_EQ(integer("getTime()"), system->GetTime());
    // Going back past zero wraps the other way.
    run("::system.SetUpdateSpeed(-1.0e9);");
    for (std::uint32_t i = 0; i < kTicks; ++i) {
        now += 100 * kMs;
        system->updateFrameAt(now);
    }
    EXPECT_EQ(system->GetTime(), static_cast<std::int32_t>(before));
}

TEST_F(SystemTest, NamedObjectsAndTheirLogLines) {
    start();
    run(R"(
        ::sound <- getComponent("CompoundObject");
        system.RegisterObject("SoundDriver", sound);
        system.RegisterObject("SoundDriver", getComponent("CompoundObject"));
        ::gone <- system.UnregisterObject("Nothing");
        ::found <- system.GetObject("SoundDriver");
    )");
    EXPECT_EQ(takeLog(), "[System] error: Object SoundDriver already exists\n"
                         "[System] error: Object Nothing not found\n");
    EXPECT_EQ(integer("gone == null && found == sound ? 1 : 0"), 1);
    EXPECT_STREQ(queryInterface<IIdentifiable>(component("sound"))->GetIdentificator(), "SoundDriver");
    // Unregistering takes the object out of the groups too.
    run("::out <- system.UnregisterObject(\"probe\");");
    EXPECT_EQ(integer("out == probe ? 1 : 0"), 1);
    System::live()->updateFrameAt(5 * kMs);
    EXPECT_EQ(takeTrace(), "");
}

TEST_F(SystemTest, FramesUseTheCurrentCameraAndTheClearColour) {
    System* system = start("::Settings <- { ClearColor = 0xFF203040 };");
    run(R"(
        ::painter <- getComponent("ScriptedObject");
        loadFromScript(painter, { function Render(g) { ::trace += "paint "; } });
        system.RegisterObject("painter", painter);
        ::camera <- getComponent("Camera");
        ::defaultCamera <- system.GetCamera();
    )");
    system->RenderFrame();
    EXPECT_EQ(takeTrace(), "paint ");
    ASSERT_EQ(m_display.graphics.clears.size(), 1u);
    EXPECT_EQ(m_display.graphics.clears[0], 0xFF203040u);
    EXPECT_EQ(m_display.graphics.camera, system->GetCamera());
    EXPECT_EQ(m_display.ends, 1);

    run("system.SetCamera(camera);");
    system->RenderFrame();
    EXPECT_EQ(abstractOf(m_display.graphics.camera), component("camera"));
    // The view was applied: the screen origin is the target's centre.
    EXPECT_EQ(integer("camera.ScreenToUI(Vector2(0, 0)).x.tointeger()"), 400);
    run("system.SetCamera(null);");
    EXPECT_EQ(integer("system.GetCamera() == defaultCamera ? 1 : 0"), 1);
    run("system.SetCamera(system);"); // not a camera: the default again
    EXPECT_EQ(integer("system.GetCamera() == defaultCamera ? 1 : 0"), 1);

    // A frame whose Begin fails is skipped; the tick's time still advances.
    m_display.lost = true;
    takeTrace();
    const std::int32_t before = system->GetTime();
    system->resetTimeAt(kdGetTimeUST() - 20 * kMs);
    system->MakeGameTick();
    EXPECT_GE(system->GetTime() - before, 20);
    EXPECT_EQ(takeTrace().find("paint"), std::string::npos);
    EXPECT_EQ(m_display.ends, 2);
}

TEST_F(SystemTest, TransparentWhiteMeansNoClear) {
    System* system = start("::Settings <- { ClearColor = 0x00FFFFFF };");
    system->RenderFrame();
    EXPECT_TRUE(m_display.graphics.clears.empty());
    EXPECT_EQ(system->clearColor(), 0x00FFFFFFu);
}

TEST_F(SystemTest, TheFrameTimerTicksFromTheEventQueue) {
    System* system = start();
    // Callbacks consume the timer events inside kdWaitEvent; nothing reaches the loop itself.
    for (int i = 0; i < 10000 && m_display.ends < 3; ++i) {
        kdWaitEvent();
    }
    EXPECT_GE(m_display.ends, 3);
    EXPECT_NE(takeTrace().find("4:"), std::string::npos);
    // After Shutdown no tick reaches the system.
    system->Shutdown();
    const int ends = m_display.ends;
    for (int i = 0; i < 30; ++i) {
        kdPumpEvents();
    }
    EXPECT_EQ(m_display.ends, ends);
}

// FNV-1a over the trace: a fixed scripted run must always give the same text.
std::uint64_t hashText(const std::string& text) {
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    return hash;
}

TEST_F(SystemTest, AScriptedSceneRunsDeterministically) {
    System* system = start();
    run("::system.UnregisterObject(\"probe\");");
    run(R"(
        ::scene <- getComponent("Scene");
        ::serial <- 0;
        ::spawn <- function(depth) {
            local o = getComponent("ScriptedObject");
            loadFromScript(o, {
                id = ::serial++, depth = depth, energy = 0,
                function Init(t) { ::trace += "i" + id + "@" + t + " "; }
                function GetUpdateLayer() { return depth % 2 == 0 ? 4 : 2; }
                function Update(layer, ms) {
                    energy += ms * (id + 1);
                    ::trace += id + ":" + layer + ":" + energy + " ";
                    if (energy > 40 && depth < 3 && ::serial < 24) {
                        energy = 0;
                        ::scene.RegisterObject("o" + ::serial, ::spawn(depth + 1));
                        ::scene.RegisterObject("o" + ::serial, ::spawn(depth + 1));
                    }
                }
            });
            return o;
        }
        for (local i = 0; i < 3; i++) scene.RegisterObject("root" + i, spawn(0));
        system.RegisterObject("scene", scene);
    )");
    KDust now = 0;
    for (int tick = 0; tick < 40; ++tick) {
        now += static_cast<KDust>(3 + tick % 17) * kMs;
        system->updateFrameAt(now);
    }
    const std::string trace = takeTrace();
    EXPECT_EQ(hashText(trace), 2610556033730089247ull) << trace;
}

} // namespace
