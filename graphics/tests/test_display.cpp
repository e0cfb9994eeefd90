// The display's window callback and screen rules: close, focus, Alt+Enter, input forwarding, full-screen
// pointer mapping and sizes, and the registry factories.
#include "component/class_names.h"
#include "component/component_registry.h"
#include "graphics/graphics_classes.h"
#include "graphics/tests/gl_test_support.h"
#include "objects/system.h"

namespace {

using namespace graphics::test;

// Records what the display hands on.
class Recorder final : public IInputHandler {
public:
    void* QueryInterface(InterfaceId id) override { return queryAmong<IInputHandler>(this, id); }
    bool HandleKeyEvent(const KDEvent& event) override {
        keys.push_back(event);
        return true;
    }
    bool HandlePointerEvent(const KDEvent& event) override {
        pointers.push_back(event);
        return true;
    }
    std::vector<KDEvent> keys;
    std::vector<KDEvent> pointers;
};

class DisplayTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        display().SetInputHandler(&m_recorder);
        drain();
    }
    void TearDown() override {
        display().SetInputHandler(nullptr);
        display().SetWindowed(true);
        drain();
        GlTest::TearDown();
    }
    void post(KDint32 type, const KDEventData& data) {
        KDEvent* event = kdCreateEvent();
        event->type = type;
        event->userptr = display().GetWindow();
        event->data = data;
        kdPostEvent(event);
    }
    // Pumps and answers the types of the events left for the application loop.
    std::vector<KDint32> drain() {
        std::vector<KDint32> types;
        kdPumpEvents(); // events posted by callbacks are dispatched in the same pump
        for (const KDEvent* e = kdWaitEventNoBlock(); e != nullptr; e = kdWaitEventNoBlock()) {
            types.push_back(e->type);
        }
        return types;
    }
    static const KDEvent* kdWaitEventNoBlock() {
        // kdWaitEvent blocks only while the queue is empty: post a marker first.
        KDEvent* marker = kdCreateEvent();
        marker->type = 999;
        marker->userptr = nullptr;
        kdPostEvent(marker);
        const KDEvent* e = kdWaitEvent();
        return e != nullptr && e->type != 999 ? e : nullptr;
    }

    Recorder m_recorder;
};

TEST_F(DisplayTest, CloseAndFocusBecomeApplicationEvents) {
    KDEventData data{};
    post(KD_EVENT_WINDOW_CLOSE, data);
    data.windowfocus.focusstate = 0;
    post(KD_EVENT_WINDOW_FOCUS, data);
    data.windowfocus.focusstate = 1;
    post(KD_EVENT_WINDOW_FOCUS, data);
    const std::vector<KDint32> types = drain();
    const std::vector<KDint32> expected = {KD_EVENT_WINDOW_CLOSE, KD_EVENT_PAUSE, KD_EVENT_RESUME};
    EXPECT_EQ(expected, types);
}

TEST_F(DisplayTest, AltEnterTogglesFullScreenAndOtherKeysGoOn) {
    KDEventData data{};
    data.input.index = static_cast<KDint32>(KD_INPUT_KEY_BASE) + static_cast<KDint32>(KD_KEY_ENTER);
    data.input.value = static_cast<KDint64>(std::uint64_t{0x20000000u} << 32 | 1u);
    post(KD_EVENT_INPUT, data);
    drain();
    EXPECT_FALSE(display().IsWindowed());
    EXPECT_TRUE(m_recorder.keys.empty());
    // Full screen on a 1024x768 desktop with a 320x240 game: a ScreenTarget of the game's aspect.
    EXPECT_EQ(320, display().GetWidth());
    EXPECT_EQ(240, display().GetHeight());
    EXPECT_FLOAT_EQ(3.2f, display().GetScaleMatrix().m[0][0]);

    // Pointer positions come back in game pixels.
    KDEventData pointer{};
    pointer.inputpointer.index = KD_INPUT_POINTER_X;
    pointer.inputpointer.x = 641; // x 3.2 scale, truncated back
    pointer.inputpointer.y = 321;
    post(KD_EVENT_INPUT_POINTER, pointer);
    drain();
    ASSERT_EQ(1u, m_recorder.pointers.size());
    EXPECT_EQ(200, m_recorder.pointers[0].data.inputpointer.x);
    EXPECT_EQ(100, m_recorder.pointers[0].data.inputpointer.y);

    // A frame in full screen draws the game picture scaled onto the screen.
    IGraphics* g = display().Begin(nullptr);
    ASSERT_NE(nullptr, g);
    EXPECT_EQ(320, g->GetTargetRect().Width);
    g->SetColor(0xFFFF0000u);
    g->FillRect(10, 10, 10, 10);
    display().End();

    data.input.value = 1; // Enter without Alt
    post(KD_EVENT_INPUT, data);
    drain();
    EXPECT_EQ(1u, m_recorder.keys.size());
    EXPECT_FALSE(display().IsWindowed());
}

TEST_F(DisplayTest, WithoutAHandlerInputReachesTheRunningSystem) {
    display().SetInputHandler(nullptr);
    registerObjectModelClasses(ComponentRegistry::instance());
    ComponentRef<ISystem> system =
        ComponentRegistry::instance().create(classId(ClassName::System)).query<ISystem>();
    ASSERT_TRUE(system);
    m_recorder.AddRef(); // lives in the fixture: the groups never release it to 0
    ASSERT_TRUE(system->RegisterObject("recorder", &m_recorder));

    KDEventData data{};
    data.input.index = 0x41;
    data.input.value = 1;
    post(KD_EVENT_INPUT, data);
    data = {};
    data.inputpointer.index = KD_INPUT_POINTER_SELECT;
    data.inputpointer.select = 1;
    post(KD_EVENT_INPUT_POINTER, data);
    drain();
    ASSERT_EQ(m_recorder.keys.size(), 1u);
    EXPECT_EQ(m_recorder.keys[0].data.input.index, 0x41);
    ASSERT_EQ(m_recorder.pointers.size(), 1u);
    EXPECT_EQ(m_recorder.pointers[0].data.inputpointer.select, 1);

    system->UnregisterObject("recorder");
    system->Shutdown();
}

TEST_F(DisplayTest, SizesAndFactories) {
    Display other;
    EXPECT_FALSE(other.Init(0, 600)); // a missing DisplayWidth must not divide by zero
    EXPECT_EQ(320, display().GetWidth());
    EXPECT_EQ(nullptr, display().GetTexture());

    ComponentRegistry registry;
    registerEngineClasses(registry);
    registerGraphicsClasses(registry);
    // The factory hands out the live display.
    ComponentRef<> live = registry.create(classId(ClassName::Display));
    EXPECT_EQ(abstractOf(&display()), live.get());
}

// A screen larger than the window the platform first makes: the whole screen is drawn, up to its far corner
// (SDL's offscreen driver had kept the GL surface at the first size and clipped the rest away).
TEST(DisplaySurface, ALargeScreenIsDrawnToItsFarCorner) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    ASSERT_EQ(0, SDL_InitSubSystem(SDL_INIT_VIDEO)) << SDL_GetError();
    auto* display = dynamic_cast<Display*>(createSingleInstance<Display>());
    ASSERT_NE(nullptr, display);
    ASSERT_TRUE(display->Init(1024, 768));
    platform::keepLoadedLibraries();
    IGraphics* g = display->Begin(nullptr);
    ASSERT_NE(nullptr, g);
    g->Clear(0xFFFFFFFFu);
    std::uint32_t corners[2] = {0x12345678u, 0x12345678u};
    EXPECT_TRUE(Gfx_ReadPixels(nullptr, 1023, 767, 1, 1, &corners[0]));
    EXPECT_TRUE(Gfx_ReadPixels(nullptr, 0, 0, 1, 1, &corners[1]));
    display->End();
    EXPECT_EQ(0xFFFFFFFFu, corners[0]) << "the far corner";
    EXPECT_EQ(0xFFFFFFFFu, corners[1]) << "the near corner";
    display->Shutdown();
    display->Release();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

} // namespace
