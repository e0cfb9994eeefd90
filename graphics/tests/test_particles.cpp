// The particle library on its own, through a counting device: emission by rate and bursts, shapes, motion,
// expiry, full pools, repeatable randomness, drawing and the library's shutdown.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "graphics/tests/effect_fixtures.h"

namespace {

using namespace graphics::test;
using particles::EffectData;
using particles::Emitter;

class Particles : public ::testing::Test {
protected:
    void SetUp() override {
        m_library = particles::Library::create();
        ASSERT_TRUE(m_library);
        m_library->initialise(&m_device);
    }

    std::shared_ptr<particles::EffectFile> load(const EffectData& data) {
        const std::vector<std::uint8_t> bytes = particles::writeEffectData(data);
        std::string error;
        auto file = m_library->loadFromMemory(bytes.data(), bytes.size(), error);
        EXPECT_TRUE(file) << error;
        if (file) {
            EXPECT_TRUE(file->createTextures());
        }
        return file;
    }

    std::unique_ptr<Emitter> emitterOf(const particles::EmitterDef& def, std::uint32_t seed = 0) {
        EffectData data = pictureTables();
        data.emitters.push_back(def);
        m_file = load(data);
        if (!m_file) {
            return nullptr;
        }
        auto emitter = m_file->createEmitter(0);
        emitter->setSeed(seed);
        emitter->restart();
        return emitter;
    }

    // Steps of `ms` milliseconds from emitter time `from` at a fixed place; returns the time reached.
    static double run(Emitter& e, int steps, int ms, double from = 0.0, float x = 0.0f, float y = 0.0f) {
        double t = from;
        for (int i = 0; i < steps; ++i) {
            e.prepare(t, ms * 0.001f, x, y, 0.0f, true);
            e.move(t, ms * 0.001f);
            t += ms * 0.001;
        }
        return t;
    }

    CountingDevice m_device;
    std::shared_ptr<particles::Library> m_library;
    std::shared_ptr<particles::EffectFile> m_file;
};

TEST_F(Particles, RateEmitsItsParticlesPerSecondAndTheyDieAtTheEndOfLife) {
    auto e = emitterOf(plainEmitter("steady", 50.0f, 0.5f));
    ASSERT_TRUE(e);
    run(*e, 25, 20); // 0.5 s: 25 born, the first about to die
    EXPECT_NEAR(25, int(e->liveParticles()), 1);
    run(*e, 50, 20, 0.5); // steady state: 50 a second living 0.5 s
    EXPECT_NEAR(25, int(e->liveParticles()), 1);
    // Emission off: everything left dies within one life.
    double t = 1.5;
    for (int i = 0; i < 30; ++i, t += 0.02) {
        e->prepare(t, 0.02f, 0.0f, 0.0f, 0.0f, false);
        e->move(t, 0.02f);
    }
    EXPECT_EQ(0u, e->liveParticles());
}

TEST_F(Particles, BurstsFireAtTheirTimesAndRepeatWithTheLoop) {
    particles::EmitterDef def = plainEmitter("burst", 0.0f, 10.0f);
    def.layers[0].capacity = 1000;
    def.bursts.push_back({0.0f, 5, 1, 0.0f});  // once at the start
    def.bursts.push_back({0.1f, 2, 3, 0.05f}); // at 0.1, 0.15 and 0.2
    auto e = emitterOf(def);
    ASSERT_TRUE(e);
    run(*e, 1, 10);
    EXPECT_EQ(5u, e->liveParticles());
    run(*e, 30, 10, 0.01);
    EXPECT_EQ(11u, e->liveParticles());

    def.duration = 0.5f;
    def.flags = particles::EMITTER_LOOP;
    auto looped = emitterOf(def);
    run(*looped, 95, 10); // two periods of 0.5 s, stopping short of a third
    EXPECT_EQ(22u, looped->liveParticles());
}

TEST_F(Particles, ANonLoopingEmitterStopsAfterItsDuration) {
    particles::EmitterDef def = plainEmitter("once", 100.0f, 10.0f);
    def.duration = 0.2f;
    def.layers[0].capacity = 1000;
    auto e = emitterOf(def);
    run(*e, 100, 10);
    EXPECT_NEAR(20, int(e->liveParticles()), 1);
}

TEST_F(Particles, AFullLayerDropsNewParticles) {
    particles::EmitterDef def = plainEmitter("full", 1000.0f, 10.0f);
    def.layers[0].capacity = 16;
    auto e = emitterOf(def);
    run(*e, 10, 50);
    EXPECT_EQ(16u, e->liveParticles());
    EXPECT_EQ(16u, e->capacity());
}

TEST_F(Particles, ShapesPlaceParticlesOnOrInsideThem) {
    struct Case {
        particles::EmitShape shape;
        bool edge;
        std::function<bool(float, float)> inside;
    };
    const Case cases[] = {
        {particles::EmitShape::Point, false, [](float x, float y) { return x == 100.0f && y == 50.0f; }},
        {particles::EmitShape::Line, false,
         [](float x, float y) { return std::fabs(x - 100.0f) <= 10.0f && y == 50.0f; }},
        {particles::EmitShape::Circle, false,
         [](float x, float y) { return std::hypot(x - 100, y - 50) <= 10.001f; }},
        {particles::EmitShape::Circle, true,
         [](float x, float y) { return std::fabs(std::hypot(x - 100, y - 50) - 10.0f) < 0.01f; }},
        {particles::EmitShape::Rectangle, false,
         [](float x, float y) { return std::fabs(x - 100) <= 10.0f && std::fabs(y - 50) <= 3.0f; }},
        {particles::EmitShape::Rectangle, true,
         [](float x, float y) {
             const float dx = std::fabs(x - 100), dy = std::fabs(y - 50);
             return (std::fabs(dx - 10.0f) < 0.01f && dy <= 3.0f) ||
                    (std::fabs(dy - 3.0f) < 0.01f && dx <= 10.0f);
         }},
    };
    for (const Case& c : cases) {
        particles::EmitterDef def = plainEmitter("shape", 0.0f, 10.0f);
        def.shape = c.shape;
        def.width = c.shape == particles::EmitShape::Line || c.shape == particles::EmitShape::Rectangle
                        ? 20.0f
                        : 10.0f;
        def.height = 6.0f;
        def.flags = c.edge ? std::uint32_t(particles::EMITTER_EDGE) : 0u;
        def.bursts.push_back({0.0f, 50, 1, 0.0f});
        auto e = emitterOf(def);
        run(*e, 1, 10, 0.0, 100.0f, 50.0f);
        std::uint32_t count = 0;
        const Emitter::Particle* p = e->layerParticles(0, count);
        ASSERT_EQ(50u, count);
        for (std::uint32_t i = 0; i < count; ++i) {
            EXPECT_TRUE(c.inside(p[i].x, p[i].y))
                << int(c.shape) << (c.edge ? " edge" : "") << ": " << p[i].x << ", " << p[i].y;
        }
    }
}

TEST_F(Particles, VelocityGravityAndSpinMoveParticles) {
    particles::EmitterDef def = plainEmitter("move", 0.0f, 10.0f);
    def.speed = particles::Curve::constant(100.0f);
    def.direction = particles::Curve::constant(0.0f); // +x
    def.bursts.push_back({0.0f, 1, 1, 0.0f});
    def.layers[0].gravity = particles::Curve::constant(200.0f);
    def.layers[0].spin = particles::Curve::constant(90.0f);
    def.layers[0].velocity = ramp({{0.0f, 1.0f}, {0.1f, 1.0f}});
    auto e = emitterOf(def);
    run(*e, 50, 20); // 1 s
    std::uint32_t count = 0;
    const Emitter::Particle* p = e->layerParticles(0, count);
    ASSERT_EQ(1u, count);
    EXPECT_NEAR(100.0f, p->x, 1.0f);
    EXPECT_NEAR(100.0f, p->y, 3.0f); // g t^2 / 2 with steps of 20 ms
    EXPECT_NEAR(90.0f, p->angle, 0.5f);
}

TEST_F(Particles, RunsRepeatForOneSeedAndDifferForAnother) {
    particles::EmitterDef def = smokeEmitter();
    auto a = emitterOf(def, 5);
    auto b = emitterOf(def, 5);
    auto c = emitterOf(def, 6);
    run(*a, 60, 16);
    run(*b, 60, 16);
    run(*c, 60, 16);
    std::uint32_t na = 0, nb = 0, nc = 0;
    const Emitter::Particle* pa = a->layerParticles(0, na);
    const Emitter::Particle* pb = b->layerParticles(0, nb);
    const Emitter::Particle* pc = c->layerParticles(0, nc);
    ASSERT_EQ(na, nb);
    ASSERT_GT(na, 0u);
    EXPECT_EQ(0, std::memcmp(pa, pb, na * sizeof(Emitter::Particle)));
    EXPECT_TRUE(na != nc || std::memcmp(pa, pc, na * sizeof(Emitter::Particle)) != 0);
    // A restart replays the same sequence.
    a->restart();
    run(*a, 60, 16);
    pa = a->layerParticles(0, na);
    EXPECT_EQ(0, std::memcmp(pa, pb, na * sizeof(Emitter::Particle)));
}

TEST_F(Particles, DrawingMakesOneQuadPerVisibleParticleThroughTheMatrixAndOffset) {
    particles::EmitterDef def = plainEmitter("draw", 0.0f, 10.0f);
    def.bursts.push_back({0.0f, 3, 1, 0.0f});
    def.layers[0].blend = particles::LayerBlend::Additive;
    def.layers[0].red = particles::Curve::constant(0.5f);
    def.layers[0].alpha = particles::Curve::constant(0.25f);
    auto e = emitterOf(def);
    run(*e, 1, 10);
    // Scaled by 2 and moved to (100, 10), then offset by (1, 2).
    e->setLocalMatrix(2.0f, 0.0f, 0.0f, 2.0f, 100.0f, 10.0f);
    e->setOffset(1.0f, 2.0f, 0.0f);
    e->render(m_device);
    EXPECT_EQ(1, m_device.drawCalls);
    ASSERT_EQ(3u, m_device.last.size());
    EXPECT_EQ(particles::BLEND_FACTOR_SRC_ALPHA, m_device.lastSource);
    EXPECT_EQ(particles::BLEND_FACTOR_ONE, m_device.lastDestination);
    const Quad& q = m_device.last[0];
    // An 8-pixel particle at the origin: 16 pixels wide after the scale.
    EXPECT_FLOAT_EQ(101.0f - 8.0f, q.v[0].x);
    EXPECT_FLOAT_EQ(12.0f - 8.0f, q.v[0].y);
    EXPECT_FLOAT_EQ(101.0f + 8.0f, q.v[2].x);
    EXPECT_EQ(0x4080FFFFu, q.v[0].colour); // alpha 0.25, red 0.5
    // The puff is the left half of the picture.
    EXPECT_FLOAT_EQ(0.0f, q.v[0].u);
    EXPECT_FLOAT_EQ(0.5f, q.v[2].u);
    // Invisible particles are not drawn.
    m_device.drawCalls = 0;
    def.layers[0].alpha = particles::Curve::constant(0.0f);
    auto hidden = emitterOf(def);
    run(*hidden, 1, 10);
    hidden->render(m_device);
    EXPECT_EQ(0, m_device.drawCalls);
}

TEST_F(Particles, ShutdownReleasesTexturesOnceAndLeavesLaterFilesHarmless) {
    EffectData data = simpleEffect();
    auto file = load(data);
    ASSERT_TRUE(file);
    EXPECT_EQ(1, m_device.created);
    auto emitter = file->createEmitter(0);
    run(*emitter, 20, 20);
    m_library->shutdown();
    EXPECT_EQ(1, m_device.released);
    EXPECT_EQ(nullptr, m_library->device());
    // After the display is gone: drawing and releasing leave the device alone.
    const int calls = m_device.drawCalls;
    emitter->render();
    EXPECT_EQ(calls, m_device.drawCalls);
    EXPECT_FALSE(file->createTextures());
    emitter.reset();
    file.reset();
    EXPECT_EQ(1, m_device.released);
}

TEST_F(Particles, EmittersKeepTheirFileWhenItsOwnerLetsGo) {
    auto file = load(simpleEffect());
    auto emitter = file->createEmitter(0);
    file.reset(); // the effect loaded another file
    run(*emitter, 10, 20);
    EXPECT_GT(emitter->liveParticles(), 0u);
    emitter->render(m_device);
    EXPECT_EQ(1, m_device.drawCalls);
}

} // namespace
