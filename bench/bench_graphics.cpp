// Drawing speed. Run headless with SDL_VIDEODRIVER=offscreen (Mesa llvmpipe) or on a real display.
//
// Sprites/<size>/<filter>: alpha-blended textured quads of 8, 16, 32 and 64 pixels spread over a 1024x768
// screen, 2,000 per frame, cut from one 64x64 texture, each frame presented and finished (glFinish) so the
// GPU's work is inside the time. The counter "sprites_per_60Hz_frame" is how many such sprites fit in 1/60 s
// of wall-clock time. SdlSprites/<size>/<filter> draws the same sprites with SDL's own 2D renderer
// (SDL_RenderCopy on its OpenGL backend, batching on) in the same run, with the same blending, the same
// texture sampled with the same filter (0 linear, the engine's default; 1 nearest, SDL's default), vsync off
// and the same depth-less offscreen surface. "process_cpu_ms_per_frame" is the processor time of every
// thread of the process per frame (the software rasteriser's threads included): on a shared machine it is
// the figure that compares, since the wall clock also measures the neighbours.
//
// CpuDrawTexture and CpuDrawQuads: the processor side alone (drawing calls turned into batch vertex data,
// submission to the GPU turned off); "allocations_per_frame" counts heap allocations inside the measured
// frames and must stay 0.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <new>
#include <vector>

#include "graphics/display.h"
#include "graphics/graphics.h"
#include "graphics/renderer.h"
#include "graphics/texture.h"

namespace {

std::atomic<long> g_allocations{0};

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kSpritesPerFrame = 2000;
constexpr int kSpriteTexture = 64;

struct Position {
    float x, y;
};

// Fixed pseudo-random sprite positions, shared by both renderers.
const std::vector<Position>& positions() {
    static const std::vector<Position> list = [] {
        std::vector<Position> out(kSpritesPerFrame);
        unsigned seed = 12345;
        for (Position& p : out) {
            seed = seed * 1103515245u + 12345u;
            p.x = static_cast<float>((seed >> 8) % (kWidth - 64));
            seed = seed * 1103515245u + 12345u;
            p.y = static_cast<float>((seed >> 8) % (kHeight - 64));
        }
        return out;
    }();
    return list;
}

// A soft disc with alpha falling off to the edge.
std::vector<std::uint32_t> spritePixels() {
    std::vector<std::uint32_t> out(kSpriteTexture * kSpriteTexture);
    for (int y = 0; y < kSpriteTexture; ++y) {
        for (int x = 0; x < kSpriteTexture; ++x) {
            const float dx = (x - 31.5f) / 32.0f;
            const float dy = (y - 31.5f) / 32.0f;
            const float d = 1.0f - (dx * dx + dy * dy);
            const auto a = static_cast<std::uint32_t>(d > 0 ? d * 255.0f : 0.0f);
            out[static_cast<std::size_t>(y) * kSpriteTexture + x] = a << 24 | 0x00FFA040u;
        }
    }
    return out;
}

// Processor time of the whole process (the GL driver's rasteriser threads included), in seconds.
double processSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// On a shared machine the wall clock measures the neighbours too; the processor time of every thread of
// the process per frame does not, and is the figure to compare when the machine is busy.
void reportProcessTime(benchmark::State& state, double seconds) {
    const double perFrame = seconds / static_cast<double>(state.iterations());
    state.counters["process_cpu_ms_per_frame"] = perFrame * 1e3;
    state.counters["sprites_per_60Hz_of_cpu"] = kSpritesPerFrame / 60.0 / perFrame;
}

struct Engine {
    Display* display = nullptr;
    Texture* texture = nullptr;
    bool ok = false;

    Engine() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            return;
        }
        // The engine draws without depth or stencil; SDL's renderer below gets the same surface.
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
        SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
        display = new Display;
        if (!display->Init(kWidth, kHeight)) {
            return;
        }
        SDL_GL_SetSwapInterval(0);
        texture = new Texture;
        const std::vector<std::uint32_t> pixels = spritePixels();
        std::uint32_t* p = texture->Lock(0, 0, kSpriteTexture, kSpriteTexture, false);
        if (p == nullptr) {
            return;
        }
        std::copy(pixels.begin(), pixels.end(), p);
        texture->Unlock();
        ok = true;
    }
};

Engine& engine() {
    static Engine instance;
    return instance;
}

void Sprites(benchmark::State& state) {
    Engine& e = engine();
    if (!e.ok) {
        state.SkipWithError("no display");
        return;
    }
    const auto size = static_cast<float>(state.range(0));
    const auto filter = static_cast<std::int32_t>(state.range(1));
    const RectF source(0, 0, kSpriteTexture, kSpriteTexture);
    const double start = processSeconds();
    for (auto _ : state) {
        IGraphics* g = e.display->Begin(nullptr);
        g->SetTexFilterMode(filter);
        g->Clear(0xFF000000u);
        for (const Position& p : positions()) {
            g->DrawTexture(e.texture, source, RectF(p.x, p.y, size, size));
        }
        e.display->End();
        glFinish();
    }
    reportProcessTime(state, processSeconds() - start);
    state.counters["sprites_per_60Hz_frame"] = benchmark::Counter(
        kSpritesPerFrame / 60.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    std::int32_t width = 0, height = 0;
    Gfx_GetBackBufferSize(width, height);
    state.counters["screen_width"] = width;
    state.counters["screen_height"] = height;
}
BENCHMARK(Sprites)
    ->ArgsProduct({{8, 16, 32, 64}, {0, 1}})
    ->ArgNames({"", "filter"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

struct SdlRendererSetup {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;

    SdlRendererSetup() {
        if (!engine().ok) {
            return;
        }
        SDL_SetHint(SDL_HINT_RENDER_DRIVER, "opengl");
        SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
        SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
        window = SDL_CreateWindow("bench", 0, 0, kWidth, kHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        renderer = window != nullptr ? SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED) : nullptr;
        if (renderer == nullptr) {
            return;
        }
        std::vector<std::uint32_t> pixels = spritePixels();
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
            pixels.data(), kSpriteTexture, kSpriteTexture, 32, kSpriteTexture * 4, SDL_PIXELFORMAT_ARGB8888);
        texture = SDL_CreateTextureFromSurface(renderer, surface);
        SDL_FreeSurface(surface);
        SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    }
};

void SdlSprites(benchmark::State& state) {
    static SdlRendererSetup sdl;
    if (sdl.texture == nullptr) {
        state.SkipWithError("no SDL renderer");
        return;
    }
    const int size = static_cast<int>(state.range(0));
    SDL_SetTextureScaleMode(sdl.texture, state.range(1) == 0 ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
    const double start = processSeconds();
    for (auto _ : state) {
        SDL_SetRenderDrawColor(sdl.renderer, 0, 0, 0, 255);
        SDL_RenderClear(sdl.renderer);
        for (const Position& p : positions()) {
            const SDL_Rect dst{static_cast<int>(p.x), static_cast<int>(p.y), size, size};
            SDL_RenderCopy(sdl.renderer, sdl.texture, nullptr, &dst);
        }
        SDL_RenderPresent(sdl.renderer);
        glFinish(); // SDL's context is current after the present
    }
    reportProcessTime(state, processSeconds() - start);
    state.counters["sprites_per_60Hz_frame"] = benchmark::Counter(
        kSpritesPerFrame / 60.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(SdlSprites)
    ->ArgsProduct({{8, 16, 32, 64}, {0, 1}})
    ->ArgNames({"", "filter"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The processor side: 10,000 quads per frame into the batch, submission off.
constexpr int kCpuQuads = 10000;

void CpuDrawTexture(benchmark::State& state) {
    Engine& e = engine();
    if (!e.ok) {
        state.SkipWithError("no display");
        return;
    }
    const RectF source(0, 0, kSpriteTexture, kSpriteTexture);
    Gfx_SetSubmitEnabled(false);
    long allocations = 0;
    // One open scene for the whole run: only the drawing calls are timed.
    IGraphics* g = e.display->Begin(nullptr);
    for (auto _ : state) {
        const long before = g_allocations.load(std::memory_order_relaxed);
        for (int i = 0; i < kCpuQuads; ++i) {
            const Position& p = positions()[static_cast<std::size_t>(i) % kSpritesPerFrame];
            g->DrawTexture(e.texture, source, RectF(p.x, p.y, 16, 16));
        }
        allocations += g_allocations.load(std::memory_order_relaxed) - before;
    }
    e.display->End();
    Gfx_SetSubmitEnabled(true);
    state.counters["quads_per_second"] =
        benchmark::Counter(static_cast<double>(kCpuQuads) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["allocations_per_frame"] =
        static_cast<double>(allocations) / static_cast<double>(state.iterations());
}
BENCHMARK(CpuDrawTexture)->Unit(benchmark::kMicrosecond);

void CpuDrawQuads(benchmark::State& state) {
    Engine& e = engine();
    if (!e.ok) {
        state.SkipWithError("no display");
        return;
    }
    std::vector<Quad> quads(kCpuQuads);
    for (int i = 0; i < kCpuQuads; ++i) {
        const Position& p = positions()[static_cast<std::size_t>(i) % kSpritesPerFrame];
        Quad& q = quads[static_cast<std::size_t>(i)];
        q.v[0] = {p.x, p.y, 0, 0xFFFFFFFFu, 0, 0};
        q.v[1] = {p.x + 16, p.y, 0, 0xFFFFFFFFu, 1, 0};
        q.v[2] = {p.x + 16, p.y + 16, 0, 0xFFFFFFFFu, 1, 1};
        q.v[3] = {p.x, p.y + 16, 0, 0xFFFFFFFFu, 0, 1};
    }
    Gfx_SetSubmitEnabled(false);
    long allocations = 0;
    IGraphics* g = e.display->Begin(nullptr);
    for (auto _ : state) {
        const long before = g_allocations.load(std::memory_order_relaxed);
        g->DrawQuads(e.texture, quads.data(), kCpuQuads);
        allocations += g_allocations.load(std::memory_order_relaxed) - before;
    }
    e.display->End();
    Gfx_SetSubmitEnabled(true);
    state.counters["quads_per_second"] =
        benchmark::Counter(static_cast<double>(kCpuQuads) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate);
    state.counters["allocations_per_frame"] =
        static_cast<double>(allocations) / static_cast<double>(state.iterations());
}
BENCHMARK(CpuDrawQuads)->Unit(benchmark::kMicrosecond);

} // namespace

// Counting allocations of the whole program (the measured frames must make none).
void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size != 0 ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

BENCHMARK_MAIN();
