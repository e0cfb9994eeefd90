// Particle effects with 10,000 live particles, through the engine's components on the real renderer. Run
// headless with SDL_VIDEODRIVER=offscreen (Mesa llvmpipe) or on a real display.
//
// ParticlesUpdate: one 16 ms EffectEmitter update in steady state (5,000 births and as many deaths a second,
// every particle moved with its velocity, gravity and spin curves). ParticlesDraw: one Render into an open
// scene with submission to the GPU off, so only the processor side counts (quads built and batched).
// ParticlesFrame: update, render and present of a whole 1024x768 frame, GPU included (glFinish).
// "allocations_per_frame" counts heap allocations inside the measured frames and must stay 0; "capacity"
// is the emitter's pool, unchanged from creation.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "bench/allocation_counter.h"
#include "graphics/display.h"
#include "graphics/effect.h"
#include "graphics/particles/effect_data.h"
#include "graphics/particles/particle_library.h"
#include "graphics/renderer.h"
#include "platform/kd_start.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kStepMs = 16;

particles::Curve keys(std::initializer_list<std::pair<float, float>> list, bool smooth = false) {
    particles::Curve c;
    for (const auto& [t, v] : list) {
        particles::CurveKey k;
        k.time = t;
        k.value = v;
        k.variation = v * 0.1f;
        c.keys.push_back(k);
    }
    c.smooth = smooth;
    return c;
}

// 5,000 particles a second living 2 s over a wide rectangle: 10,000 alive once warm.
std::vector<std::uint8_t> effectFile() {
    particles::EffectData data;
    const int size = 16;
    std::vector<std::uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, size, 0, size, 0, 32, 0x28};
    for (int i = 0; i < size * size; ++i) {
        const int x = i % size, y = i / size;
        const float dx = (x - 7.5f) / 8.0f, dy = (y - 7.5f) / 8.0f;
        const float a = std::max(0.0f, 1.0f - (dx * dx + dy * dy));
        tga.insert(tga.end(), {255, 255, 255, static_cast<std::uint8_t>(a * 255.0f)});
    }
    data.images.push_back({"dot", tga, 0, 0});
    data.textures.push_back({"dot", 0});
    data.bitmaps.push_back({0, 0, 0, size, size});
    particles::EmitterDef e;
    e.name = "bench";
    e.shape = particles::EmitShape::Rectangle;
    e.width = 900.0f;
    e.height = 600.0f;
    e.rate = particles::Curve::constant(5000.0f);
    e.life = particles::Curve::constant(2.0f);
    e.speed = particles::Curve::constant(40.0f, 20.0f);
    e.direction = particles::Curve::constant(-90.0f);
    e.spread = particles::Curve::constant(120.0f);
    particles::LayerDef l;
    l.name = "dots";
    l.capacity = 10240;
    l.angleVariation = 180.0f;
    l.size = keys({{0.0f, 4.0f}, {0.5f, 10.0f}, {1.0f, 6.0f}}, true);
    l.red = keys({{0.0f, 1.0f}, {1.0f, 0.6f}});
    l.green = keys({{0.0f, 0.8f}, {1.0f, 0.3f}});
    l.blue = particles::Curve::constant(0.2f);
    l.alpha = keys({{0.0f, 0.0f}, {0.2f, 1.0f}, {1.0f, 0.0f}}, true);
    l.velocity = keys({{0.0f, 1.0f}, {1.0f, 0.5f}});
    l.spin = particles::Curve::constant(0.0f, 90.0f);
    l.gravity = particles::Curve::constant(20.0f);
    e.layers.push_back(l);
    data.emitters.push_back(e);
    return particles::writeEffectData(data);
}

struct Engine {
    Display* display = nullptr;
    ComponentRef<IEffect> effect;
    ComponentRef<IEffectEmitter> emitter;
    std::uint32_t capacity = 0;
    bool ok = false;

    Engine() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            return;
        }
        display = new Display;
        if (!display->Init(kWidth, kHeight)) {
            return;
        }
        SDL_GL_SetSwapInterval(0);
        const std::filesystem::path folder = std::filesystem::temp_directory_path() / "hh-bench-particles";
        std::filesystem::create_directories(folder);
        std::filesystem::current_path(folder);
        const std::vector<std::uint8_t> bytes = effectFile();
        std::ofstream("bench.effect", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        platform::startFileSystems();
        effect = display->CreateEffect().query<IEffect>();
        if (!effect || !queryInterface<ILoadable>(effect.get())->LoadFromFile("bench.effect")) {
            return;
        }
        emitter = effect->CreateEmitter(nullptr);
        if (!emitter) {
            return;
        }
        queryInterface<IPositionable>(emitter.get())->SetPosition(Matrix3(Vector2{512.0f, 400.0f}));
        // Warm: past one life, so births and deaths balance.
        for (int t = 0; t < 3000; t += kStepMs) {
            update();
        }
        capacity = native()->emitter()->capacity();
        ok = true;
    }
    EffectEmitter* native() const { return dynamic_cast<EffectEmitter*>(emitter.get()); }
    void update() { queryInterface<IUpdateable>(emitter.get())->Update(EffectEmitter::UpdateLayer, kStepMs); }
    double live() const { return native()->emitter()->liveParticles(); }
};

Engine& engine() {
    static Engine instance;
    return instance;
}

void report(benchmark::State& state, Engine& e, long allocations) {
    state.counters["live_particles"] = e.live();
    state.counters["allocations_per_frame"] =
        static_cast<double>(allocations) / static_cast<double>(state.iterations());
    state.counters["capacity"] = e.native()->emitter()->capacity();
    if (e.native()->emitter()->capacity() != e.capacity) {
        state.SkipWithError("the pool changed size");
    }
}

void ParticlesUpdate(benchmark::State& state) {
    Engine& e = engine();
    if (!e.ok) {
        state.SkipWithError("no display or no effect");
        return;
    }
    long allocations = 0;
    for (auto _ : state) {
        const long before = bench::allocations();
        e.update();
        allocations += bench::allocations() - before;
    }
    report(state, e, allocations);
}
BENCHMARK(ParticlesUpdate)->Unit(benchmark::kMicrosecond);

void ParticlesDraw(benchmark::State& state) {
    Engine& e = engine();
    if (!e.ok) {
        state.SkipWithError("no display or no effect");
        return;
    }
    Gfx_SetSubmitEnabled(false);
    long allocations = 0;
    IGraphics* g = e.display->Begin(nullptr);
    Gfx_ResetDrawCallCount();
    for (auto _ : state) {
        const long before = bench::allocations();
        e.emitter->Render(g);
        allocations += bench::allocations() - before;
    }
    const double quads = static_cast<double>(Gfx_PrimitiveCount()) / static_cast<double>(state.iterations());
    e.display->End();
    Gfx_SetSubmitEnabled(true);
    state.counters["quads_per_frame"] = quads;
    report(state, e, allocations);
}
BENCHMARK(ParticlesDraw)->Unit(benchmark::kMicrosecond);

void ParticlesFrame(benchmark::State& state) {
    Engine& e = engine();
    if (!e.ok) {
        state.SkipWithError("no display or no effect");
        return;
    }
    for (auto _ : state) {
        e.update();
        IGraphics* g = e.display->Begin(nullptr);
        g->Clear(0xFF101820u);
        e.emitter->Render(g);
        e.display->End();
        glFinish();
    }
    state.counters["live_particles"] = e.live();
}
BENCHMARK(ParticlesFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
