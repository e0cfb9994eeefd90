// Effect and EffectEmitter on real OpenGL: loading through the resource manager, emitters by name, lifetime
// and expiry, local and world mode, hostile files, and golden images of smoke and sparks.
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "component/class_names.h"
#include "component/component_registry.h"
#include "component/engine_interfaces.h"
#include "graphics/effect.h"
#include "graphics/graphics_classes.h"
#include "graphics/particles/particle_library.h"
#include "graphics/tests/effect_fixtures.h"
#include "graphics/tests/gl_test_support.h"
#include "objects/system.h"
#include "platform/kd_start.h"

namespace {

using namespace graphics::test;

// A stand-in for an object the emitter follows.
class Place final : public IPositionable {
public:
    void* QueryInterface(InterfaceId id) override { return queryAmong<IPositionable>(this, id); }
    void SetPosition(const Matrix3& position) override { m = position; }
    Matrix3 GetPosition() override { return m; }
    Matrix3 m;
};

class EffectTest : public SystemGlTest {
protected:
    EffectTest() : SystemGlTest("hh-effect") {}

    void SetUp() override {
        SystemGlTest::SetUp();
        std::filesystem::create_directories("effects");
    }

    ComponentRef<IEffect> load(const particles::EffectData& data, const char* path = "effects/test.effect") {
        writeFile(path, particles::writeEffectData(data));
        return System::live()->GetResourceManager()->GetEffect(path).query<IEffect>();
    }

    static EffectEmitter& native(const ComponentRef<IEffectEmitter>& emitter) {
        return *dynamic_cast<EffectEmitter*>(emitter.get());
    }
    static void step(IEffectEmitter* emitter, int times, int ms) {
        auto* updateable = queryInterface<IUpdateable>(emitter);
        for (int i = 0; i < times; ++i) {
            updateable->Update(EffectEmitter::UpdateLayer, ms);
        }
    }

    // Frames of one effect side by side: each cell shows a fresh emitter run for the cell's time.
    std::vector<std::uint32_t> filmStrip(IEffect& effect, const char* emitterName,
                                         std::initializer_list<int> milliseconds, int cell,
                                         std::uint32_t background, float anchorY,
                                         ComponentRef<IRenderTarget>& rt) {
        const int width = cell * static_cast<int>(milliseconds.size());
        rt = display().CreateRenderTarget(width, cell);
        IGraphics* g = rt->Begin(nullptr);
        g->Clear(background);
        int column = 0;
        for (int ms : milliseconds) {
            ComponentRef<IEffectEmitter> emitter = effect.CreateEmitter(emitterName);
            auto* native = dynamic_cast<EffectEmitter*>(emitter.get());
            native->emitter()->setSeed(1); // the same particles whatever was made before
            native->emitter()->restart();
            queryInterface<IPositionable>(emitter.get())
                ->SetPosition(Matrix3(Vector2{cell * (column + 0.5f), anchorY}));
            for (int t = 0; t < ms; t += 16) {
                queryInterface<IUpdateable>(emitter.get())->Update(EffectEmitter::UpdateLayer, 16);
            }
            emitter->Render(g);
            ++column;
        }
        rt->End();
        return pixels(*rt);
    }
};

TEST_F(EffectTest, LoadsThroughTheResourceManagerAndMakesEmittersByName) {
    ComponentRef<IEffect> effect = load(simpleEffect());
    ASSERT_TRUE(effect);
    EXPECT_TRUE(logged("[Effect] Loaded effects/test.effect (emitters: 2)"));
    EXPECT_EQ(abstractOf(effect.get()),
              System::live()->GetResourceManager()->GetEffect("effects/test.effect").get());

    ComponentRef<IEffectEmitter> first = effect->CreateEmitter(nullptr);
    ASSERT_TRUE(first);
    EXPECT_EQ("steady", native(first).emitter()->name());
    ComponentRef<IEffectEmitter> quiet = effect->CreateEmitter("quiet");
    ASSERT_TRUE(quiet);
    EXPECT_EQ("quiet", native(quiet).emitter()->name());
    EXPECT_FALSE(effect->CreateEmitter("missing"));

    // What the render and update groups see.
    EXPECT_EQ(200, first->GetRenderLayer());
    EXPECT_EQ(64, queryInterface<IUpdateable>(first.get())->GetUpdateLayer());
    EXPECT_NE(nullptr, queryInterface<IWithLifeTime>(first.get()));
    EXPECT_NE(nullptr, queryInterface<IPositionableUser>(first.get()));
    EXPECT_NE(nullptr, queryInterface<IVisible>(first.get()));
    EXPECT_NE(nullptr, queryInterface<IIdentifiable>(first.get()));
}

TEST_F(EffectTest, MissingAndHostileFilesFailCleanly) {
    auto* manager = System::live()->GetResourceManager();
    EXPECT_FALSE(manager->GetEffect("effects/none.effect"));
    std::vector<std::uint8_t> bytes = particles::writeEffectData(simpleEffect());
    bytes[bytes.size() / 2] ^= 0xFF; // somewhere in the picture or the emitters
    bytes.push_back(1);
    writeFile("effects/bad.effect", bytes);
    EXPECT_FALSE(manager->GetEffect("effects/bad.effect"));
    EXPECT_TRUE(logged("[Effect] error: Can't read effects/bad.effect: "));
}

TEST_F(EffectTest, LifetimeCountsUpdatesAndExpiryNeedsParticlesThatDied) {
    ComponentRef<IEffect> effect = load(simpleEffect());
    ASSERT_TRUE(effect);
    ComponentRef<IEffectEmitter> steady = effect->CreateEmitter("steady");
    auto* life = queryInterface<IWithLifeTime>(steady.get());
    step(steady.get(), 3, 16);
    EXPECT_EQ(48, life->GetLifeTime());
    step(steady.get(), 1, 0); // no time passes
    EXPECT_EQ(48, life->GetLifeTime());

    // Emitting: alive. Emission off: expired once the last particle (1 s of life) is gone.
    step(steady.get(), 30, 16);
    EXPECT_FALSE(life->IsExpired());
    steady->SetEnabled(false);
    step(steady.get(), 70, 16);
    EXPECT_TRUE(life->IsExpired());
    steady->Reset();
    EXPECT_EQ(0, life->GetLifeTime());
    EXPECT_FALSE(life->IsExpired());

    // An emitter that never made a particle never expires.
    ComponentRef<IEffectEmitter> quiet = effect->CreateEmitter("quiet");
    step(quiet.get(), 200, 16);
    EXPECT_FALSE(queryInterface<IWithLifeTime>(quiet.get())->IsExpired());
}

TEST_F(EffectTest, WorldModeLeavesBornParticlesWhereTheyWereBorn) {
    particles::EffectData data = pictureTables();
    data.emitters.push_back(plainEmitter("trail", 50.0f, 5.0f));
    ComponentRef<IEffect> effect = load(data);
    ComponentRef<IEffectEmitter> emitter = effect->CreateEmitter(nullptr);
    ComponentRef<Place> place = ComponentRef<Place>::adopt(new Place);
    place->m = Matrix3(Vector2{100.0f, 50.0f});
    queryInterface<IPositionableUser>(emitter.get())->SetPositionable(place.get());
    emitter->SetLocalMode(false);
    step(emitter.get(), 10, 20);
    std::uint32_t before = 0;
    native(emitter).emitter()->layerParticles(0, before);
    ASSERT_GT(before, 5u);

    place->m = Matrix3(Vector2{300.0f, 80.0f});
    step(emitter.get(), 10, 20);
    std::uint32_t count = 0;
    const particles::Emitter::Particle* p = native(emitter).emitter()->layerParticles(0, count);
    ASSERT_GT(count, before);
    for (std::uint32_t i = 0; i < count; ++i) {
        // One particle is born on the way from the old place to the new one.
        if (i < before) {
            EXPECT_EQ(100.0f, p[i].x) << i;
            EXPECT_EQ(50.0f, p[i].y) << i;
        } else if (i > before) {
            EXPECT_EQ(300.0f, p[i].x) << i;
            EXPECT_EQ(80.0f, p[i].y) << i;
        }
    }
}

// The horizontal centre of what was drawn into a target (pixels brighter than the background).
float drawnCentreX(const std::vector<std::uint32_t>& pixels, int width) {
    double sum = 0, weight = 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        const double v = pixels[i] & 0xFF;
        sum += v * double(i % static_cast<std::size_t>(width));
        weight += v;
    }
    return weight > 0 ? static_cast<float>(sum / weight) : -1.0f;
}

TEST_F(EffectTest, LocalModeCarriesEveryParticleWithTheEmitter) {
    particles::EffectData data = pictureTables();
    data.emitters.push_back(plainEmitter("carried", 50.0f, 5.0f));
    ComponentRef<IEffect> effect = load(data);
    for (bool local : {true, false}) {
        ComponentRef<IEffectEmitter> emitter = effect->CreateEmitter(nullptr);
        ComponentRef<Place> place = ComponentRef<Place>::adopt(new Place);
        place->m = Matrix3(Vector2{30.0f, 20.0f});
        queryInterface<IPositionableUser>(emitter.get())->SetPositionable(place.get());
        emitter->SetLocalMode(local);
        step(emitter.get(), 10, 20);
        place->m = Matrix3(Vector2{130.0f, 20.0f});
        step(emitter.get(), 1, 20);

        ComponentRef<IRenderTarget> rt = target(160, 40);
        IGraphics* g = rt->Begin(nullptr);
        ASSERT_NE(nullptr, g);
        g->Clear(0xFF000000u);
        emitter->Render(g);
        rt->End();
        const float centre = drawnCentreX(pixels(*rt), 160);
        // Local: all of it moved along; world: most of it stayed behind.
        if (local) {
            EXPECT_NEAR(130.0f, centre, 1.0f);
        } else {
            EXPECT_LT(centre, 50.0f);
        }
    }
}

TEST_F(EffectTest, WorldModeAfterLocalModeDrawsWithoutTheOldMatrix) {
    particles::EffectData data = pictureTables();
    data.emitters.push_back(plainEmitter("switched", 50.0f, 5.0f));
    ComponentRef<IEffect> effect = load(data);
    ComponentRef<IEffectEmitter> emitter = effect->CreateEmitter(nullptr);
    queryInterface<IPositionable>(emitter.get())->SetPosition(Matrix3(Vector2{60.0f, 20.0f}));
    step(emitter.get(), 5, 20); // local mode: the emitter's matrix moves everything by (60, 20)
    emitter->Reset();
    emitter->SetLocalMode(false);
    step(emitter.get(), 5, 20); // world mode: born at (60, 20) and drawn there, not at (120, 40)
    ComponentRef<IRenderTarget> rt = target(160, 40);
    IGraphics* g = rt->Begin(nullptr);
    g->Clear(0xFF000000u);
    emitter->Render(g);
    rt->End();
    EXPECT_NEAR(60.0f, drawnCentreX(pixels(*rt), 160), 1.0f);
}

TEST_F(EffectTest, ReloadingAnEffectLeavesItsLiveEmittersWorking) {
    ComponentRef<IEffect> effect = load(simpleEffect());
    ComponentRef<IEffectEmitter> emitter = effect->CreateEmitter("steady");
    step(emitter.get(), 10, 20);
    particles::EffectData other = pictureTables();
    other.emitters.push_back(plainEmitter("other", 5.0f, 1.0f));
    writeFile("effects/test.effect", particles::writeEffectData(other));
    ASSERT_TRUE(queryInterface<ILoadable>(effect.get())->LoadFromFile("effects/test.effect"));
    EXPECT_FALSE(effect->CreateEmitter("steady"));
    // The old emitter still runs and draws on the file it was made from.
    step(emitter.get(), 10, 20);
    ComponentRef<IRenderTarget> rt = target(32, 32);
    IGraphics* g = rt->Begin(nullptr);
    Gfx_ResetDrawCallCount();
    emitter->Render(g);
    rt->End();
    EXPECT_GT(Gfx_PrimitiveCount(), 0u);
}

TEST_F(EffectTest, TheOffsetTurnsWithTheEmitter) {
    particles::EffectData data = pictureTables();
    data.emitters.push_back(plainEmitter("offset", 10.0f, 1.0f));
    data.emitters[0].offset[0] = 10.0f;
    ComponentRef<IEffect> effect = load(data);
    ComponentRef<IEffectEmitter> emitter = effect->CreateEmitter(nullptr);
    // Turned a quarter: the X axis points along +y.
    queryInterface<IPositionable>(emitter.get())
        ->SetPosition(Matrix3(Vector2{0.0f, 1.0f}, Vector2{50.0f, 50.0f}));
    step(emitter.get(), 1, 16);
    float x = 0, y = 0, z = 0;
    native(emitter).emitter()->getOffset(x, y, z);
    EXPECT_NEAR(0.0f, x, 1e-5f);
    EXPECT_NEAR(10.0f, y, 1e-5f);
    // Back in world mode the file's offset is used as it is.
    emitter->SetLocalMode(false);
    step(emitter.get(), 1, 16);
    native(emitter).emitter()->getOffset(x, y, z);
    EXPECT_EQ(10.0f, x);
    EXPECT_EQ(0.0f, y);
}

TEST_F(EffectTest, HiddenEmittersDrawNothing) {
    ComponentRef<IEffect> effect = load(simpleEffect());
    ComponentRef<IEffectEmitter> emitter = effect->CreateEmitter(nullptr);
    step(emitter.get(), 20, 20);
    queryInterface<IVisible>(emitter.get())->SetVisible(false);
    ComponentRef<IRenderTarget> rt = target(32, 32);
    IGraphics* g = rt->Begin(nullptr);
    Gfx_ResetDrawCallCount();
    emitter->Render(g);
    rt->End();
    EXPECT_EQ(0u, Gfx_PrimitiveCount());
}

TEST_F(EffectTest, SmokeAndSparksLookRight) {
    particles::EffectData data = pictureTables();
    data.emitters.push_back(smokeEmitter());
    data.emitters.push_back(sparksEmitter());
    ComponentRef<IEffect> effect = load(data);
    ASSERT_TRUE(effect);
    ComponentRef<IRenderTarget> rt;
    const std::vector<std::uint32_t> smoke =
        filmStrip(*effect, "smoke", {320, 960, 2400}, 96, 0xFF2A4A6Au, 88.0f, rt);
    expectGolden("effect_smoke", smoke, 3 * 96, 96, 3);
    const std::vector<std::uint32_t> sparks =
        filmStrip(*effect, "sparks", {48, 320, 720}, 96, 0xFF101018u, 40.0f, rt);
    expectGolden("effect_sparks", sparks, 3 * 96, 96, 3);
}

} // namespace
