// The sound driver's per-frame work with all 32 channels busy: 31 looping sounds whose volume and pan slide
// back and forth and one streamed piece whose buffers are refilled, mixed 8 ms at a time on the loopback
// device as the frame timer would. "update" times the driver's update alone; "mix+update" adds OpenAL's mix
// of the same 8 ms. The rule it checks: the update allocates nothing; "allocs/update" must stay 0.
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "audio/music.h"
#include "audio/sound.h"
#include "audio/sound_driver.h"
#include "platform/kd.h"
#include "platform/kd_start.h"

namespace {

std::atomic<long> g_allocations{0};
constexpr int kRate = 48000;
constexpr int kFramesPer8Ms = kRate * 8 / 1000;

void writeTone(const std::string& path, double seconds) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    std::vector<float> samples(static_cast<std::size_t>(seconds * kRate));
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = 0.25f * static_cast<float>(std::sin(0.1 * static_cast<double>(i)));
    }
    sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(file);
}

void run(benchmark::State& state, bool mix) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("hh_bench_audio_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    writeTone("tone.wav", 0.5);
    writeTone("music.wav", 60.0);
    platform::startFileSystems();
    {
        auto driver = ComponentRef<SoundDriver>::adopt(new SoundDriver());
        if (!driver->InitLoopback(kRate)) {
            state.SkipWithError("no loopback device");
            return;
        }
        ComponentRef<ISound> sound = driver->CreateSound();
        queryInterface<ILoadable>(sound.get())->LoadFromFile("tone.wav");
        sound->SetLoop(true);
        ComponentRef<ISound> music = driver->CreateMusic();
        queryInterface<ILoadable>(music.get())->LoadFromFile("music.wav");
        music->SetLoop(true);
        music->Play(false);
        // Four sounds, eight channels each, minus one for the music.
        std::vector<ComponentRef<ISound>> sounds;
        for (int i = 0; i < 4; ++i) {
            sounds.push_back(driver->CreateSound());
            queryInterface<ILoadable>(sounds.back().get())->LoadFromFile("tone.wav");
            sounds.back()->SetLoop(true);
            for (int c = 0; c < (i == 3 ? 7 : 8); ++c) {
                sounds.back()->Play(true);
            }
        }
        std::vector<float> out(2 * kFramesPer8Ms);
        std::uint32_t now = 0;
        long allocations = 0;
        long updates = 0;
        for (auto _ : state) {
            // Restart the slides now and then so they are always under way.
            if (updates % 50 == 0) {
                state.PauseTiming();
                for (std::size_t i = 0; i < sounds.size(); ++i) {
                    const bool up = (updates / 50) % 2 == 0;
                    sounds[i]->SetVolume(up ? 100 : 20, 400);
                    sounds[i]->SetPan(up ? 100 : -100, 400);
                }
                state.ResumeTiming();
            }
            if (mix) {
                driver->RenderSamples(out.data(), kFramesPer8Ms);
            } else {
                state.PauseTiming();
                driver->RenderSamples(out.data(), kFramesPer8Ms);
                state.ResumeTiming();
            }
            now += 8;
            const long before = g_allocations.load(std::memory_order_relaxed);
            driver->updateAt(now);
            allocations += g_allocations.load(std::memory_order_relaxed) - before;
            ++updates;
        }
        state.counters["allocs/update"] =
            benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(std::max(updates, 1L)));
        sounds.clear();
        music.reset();
        sound.reset();
        driver->Shutdown();
    }
    kdUnmountAll();
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(folder);
}

void BM_DriverUpdate(benchmark::State& state) {
    run(state, false);
}
void BM_DriverMixAndUpdate(benchmark::State& state) {
    run(state, true);
}
BENCHMARK(BM_DriverUpdate)->Name("update");
BENCHMARK(BM_DriverMixAndUpdate)->Name("mix+update");

} // namespace

// Counts every heap allocation of the process. Kept out of line so the compiler does not pair the malloc and
// free inside them with the new and delete expressions of the benchmark library.
__attribute__((noinline)) void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
__attribute__((noinline)) void operator delete(void* p) noexcept {
    std::free(p);
}
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

BENCHMARK_MAIN();
