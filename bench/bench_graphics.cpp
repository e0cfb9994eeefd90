// Drawing speed. Run headless with SDL_VIDEODRIVER=offscreen (Mesa llvmpipe) or on a real display.
//
// Sprites/<size>/<filter>: alpha-blended textured quads of 8, 16, 32 and 64 pixels spread over an 800x600
// screen, 2,000 per frame, cut from one 64x64 texture, each frame presented and finished (glFinish) so the
// GPU's work is inside the time. The counter "sprites_per_60Hz_frame" is how many such sprites fit in 1/60 s
// of wall-clock time. SdlSprites/<size>/<filter> draws the same sprites with SDL's own 2D renderer
// (SDL_RenderCopy on its OpenGL backend, batching on) in the same run, with the same blending, the same
// texture sampled with the same filter (0 linear, the engine's default; 1 nearest, SDL's default), vsync off
// and the same depth-less offscreen surface. "process_cpu_ms_per_frame" is the processor time of every
// thread of the process per frame (the software rasteriser's threads included): on a shared machine it is
// the figure that compares, since the wall clock also measures the neighbours.
//
// Strings/<count>: a heads-up display's worth of text, `count` strings of 8 to 14 characters per frame
// through Graphics::DrawString with a real bitmap font (each string drawn under its own translation, every
// other one in another colour, as shadowed text is), presented and finished like the sprites.
// "draw_calls_per_frame" is the renderer's count. CpuStrings/<count> is the processor side of the same with
// submission off.
//
// CpuDrawTexture and CpuDrawQuads: the processor side alone (drawing calls turned into batch vertex data,
// submission to the GPU turned off); "allocations_per_frame" counts heap allocations inside the measured
// frames and must stay 0.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/allocation_counter.h"
#include "component/class_names.h"
#include "component/component_registry.h"
#include "graphics/display.h"
#include "graphics/graphics.h"
#include "graphics/graphics_classes.h"
#include "graphics/renderer.h"
#include "graphics/texture.h"
#include "objects/system.h"
#include "platform/kd_start.h"

namespace {

// The screen both renderers draw on. Engine checks that the GL surface covers it: SDL's offscreen driver
// keeps a window's surface at the size the window was made with, which the platform matches on realising.
constexpr int kWidth = 800;
constexpr int kHeight = 600;
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

// Whether the GL surface behind the screen really reaches its top-right corner: a surface that did not
// follow the window's size leaves the read-back value alone.
bool surfaceCoversScreen(Display& display) {
    IGraphics* g = display.Begin(nullptr);
    if (g == nullptr) {
        return false;
    }
    g->Clear(0xFFFFFFFFu);
    std::uint32_t corner = 0x12345678u;
    glReadPixels(kWidth - 1, kHeight - 1, 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &corner);
    display.End();
    return corner == 0xFFFFFFFFu;
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
        ok = surfaceCoversScreen(*display);
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

// A bitmap font of the printable ASCII characters, 8 x 12 cells on one 128 x 72 page, loaded through the
// resource manager of a started System as the game loads its fonts.
struct HudFont {
    ComponentRef<ISystem> system;
    ComponentRef<IFont> font;

    HudFont() {
        Engine& e = engine();
        if (!e.ok) {
            return;
        }
        const std::filesystem::path previous = std::filesystem::current_path();
        char pattern[] = "/tmp/hh-bench-font-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            return;
        }
        std::filesystem::current_path(pattern);
        std::filesystem::create_directories("fonts");
        writePage("fonts/hud.tga");
        std::ofstream description("fonts/hud.fnt", std::ios::binary);
        description
            << "info face=\"Hud\" size=12\ncommon lineHeight=14 base=11 scaleW=128 scaleH=72 pages=1\n"
               "page id=0 file=\"hud.tga\"\nchars count=95\n";
        for (int c = 32; c < 127; ++c) {
            const int cell = c - 32;
            description << "char id=" << c << " x=" << cell % 16 * 8 << " y=" << cell / 16 * 12
                        << " width=7 height=11 xoffset=0 yoffset=1 xadvance=8 page=0 chnl=15\n";
        }
        description.close();
        platform::startFileSystems();
        ComponentRegistry& registry = ComponentRegistry::instance();
        registerObjectModelClasses(registry);
        registerGraphicsClasses(registry);
        system = registry.create(classId(ClassName::System)).query<ISystem>();
        if (system && system->Init(e.display)) {
            font = System::live()->GetResourceManager()->GetFont("fonts/hud.fnt").query<IFont>();
        }
        std::filesystem::current_path(previous);
        std::error_code ignored;
        std::filesystem::remove_all(pattern, ignored);
    }

    // 32-bit TGA, top row first: every glyph a block with a soft alpha edge.
    static void writePage(const char* path) {
        constexpr int kW = 128, kH = 72;
        std::string bytes(18, '\0');
        bytes[2] = 2;
        bytes[12] = static_cast<char>(kW);
        bytes[14] = static_cast<char>(kH);
        bytes[16] = 32;
        bytes[17] = 0x28; // top-down, 8 alpha bits
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                const int gx = x % 8, gy = y % 12;
                const bool edge = gx == 0 || gx == 6 || gy == 1 || gy == 11;
                const char alpha = gx == 7 || gy == 0 ? 0 : static_cast<char>(edge ? 0x80 : 0xFF);
                bytes += {'\xFF', '\xFF', '\xFF', alpha};
            }
        }
        std::ofstream(path, std::ios::binary) << bytes;
    }
};

// The font, or null with the benchmark skipped.
IFont* hudFont(benchmark::State& state) {
    static HudFont instance;
    if (!instance.font) {
        state.SkipWithError("no font");
    }
    return instance.font.get();
}

const char* const kHudTexts[] = {"Harbor Haven", "$ 1,204,500", "Day 12  08:45", "Guests: 1234", "Trucks: 17",
                                 "x4",           "Hotel",       "Warehouse",     "$ 12,000",     "Bulldoze"};

// `count` strings over the screen, shadow colour and text colour by turns.
void drawStrings(IGraphics* g, IFont* font, int count) {
    g->SetFont(font);
    for (int i = 0; i < count; ++i) {
        g->SetColor(i % 2 == 0 ? 0xA0000000u : 0xFFFFF4D6u);
        const float x = static_cast<float>(i / 2 % 6 * 128 + i % 2);
        const float y = static_cast<float>(i / 12 * 16 % (kHeight - 16) + i % 2);
        g->DrawString(kHudTexts[i / 2 % 10], x, y);
    }
}

void Strings(benchmark::State& state) {
    IFont* font = hudFont(state);
    if (font == nullptr) {
        return;
    }
    Engine& e = engine();
    const auto count = static_cast<int>(state.range(0));
    std::uint64_t drawCalls = 0;
    const double start = processSeconds();
    for (auto _ : state) {
        IGraphics* g = e.display->Begin(nullptr);
        g->Clear(0xFF000000u);
        const std::uint64_t before = Gfx_DrawCallCount();
        drawStrings(g, font, count);
        e.display->End();
        drawCalls += Gfx_DrawCallCount() - before;
        glFinish();
    }
    state.counters["process_cpu_ms_per_frame"] =
        (processSeconds() - start) * 1e3 / static_cast<double>(state.iterations());
    state.counters["draw_calls_per_frame"] =
        static_cast<double>(drawCalls) / static_cast<double>(state.iterations());
}
BENCHMARK(Strings)->Arg(50)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime();

void CpuStrings(benchmark::State& state) {
    IFont* font = hudFont(state);
    if (font == nullptr) {
        return;
    }
    Engine& e = engine();
    const auto count = static_cast<int>(state.range(0));
    Gfx_SetSubmitEnabled(false);
    long allocations = 0;
    IGraphics* g = e.display->Begin(nullptr);
    Gfx_ResetDrawCallCount();
    for (auto _ : state) {
        const long before = bench::allocations();
        drawStrings(g, font, count);
        Gfx_RenderBatch(false);
        allocations += bench::allocations() - before;
    }
    const std::uint64_t drawCalls = Gfx_DrawCallCount();
    e.display->End();
    Gfx_SetSubmitEnabled(true);
    state.counters["draw_calls_per_frame"] =
        static_cast<double>(drawCalls) / static_cast<double>(state.iterations());
    state.counters["allocations_per_frame"] =
        static_cast<double>(allocations) / static_cast<double>(state.iterations());
}
BENCHMARK(CpuStrings)->Arg(50)->Arg(200)->Unit(benchmark::kMicrosecond);

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
        const long before = bench::allocations();
        for (int i = 0; i < kCpuQuads; ++i) {
            const Position& p = positions()[static_cast<std::size_t>(i) % kSpritesPerFrame];
            g->DrawTexture(e.texture, source, RectF(p.x, p.y, 16, 16));
        }
        allocations += bench::allocations() - before;
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
        const long before = bench::allocations();
        g->DrawQuads(e.texture, quads.data(), kCpuQuads);
        allocations += bench::allocations() - before;
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

BENCHMARK_MAIN();
