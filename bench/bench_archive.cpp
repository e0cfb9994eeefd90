// Cost of opening (decoding) one ".bar" entry. The archives are made with 7zz in a temporary folder: one of
// 2,000 entries and one of 20, every entry 24 KiB in a block of its own. Opening the first and the last entry
// of the big archive should cost the same, and about what an entry of the small archive costs: the price of
// an entry is its own size, not its position or the number of entries around it.
#include "platform/kd.h"
#include "platform/kd_start.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

namespace stdfs = std::filesystem;

constexpr int kEntryBytes = 24 * 1024;

std::string entryName(int index) {
    char name[64];
    std::snprintf(name, sizeof name, "d%02d/entry%04d.bin", index % 20, index);
    return name;
}

// Writes `count` entries of part-random, part-repetitive bytes (so they compress like game assets) and
// archives them as name in the current folder.
bool makeArchive(const stdfs::path& scratch, const std::string& name, int count) {
    stdfs::path source = scratch / (name + ".src");
    uint32_t state = 1;
    for (int i = 0; i < count; ++i) {
        stdfs::path path = source / entryName(i);
        stdfs::create_directories(path.parent_path());
        std::string bytes(kEntryBytes, 'x');
        for (int j = 0; j < kEntryBytes / 4; ++j) {
            state = state * 1103515245u + 12345u;
            bytes[size_t(j)] = char(state >> 24);
        }
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string command = "cd '" + source.string() + "' && 7zz a -t7z -ms=off -mf=off '" +
                          (scratch / name).string() + "' . > /dev/null";
    return std::system(command.c_str()) == 0;
}

struct Archives {
    Archives() {
        char pattern[] = "/tmp/hh-bench-archive-XXXXXX";
        if (!mkdtemp(pattern)) return;
        scratch = pattern;
        ready = makeArchive(scratch, "big.bar", 2000) && makeArchive(scratch, "small.bar", 20);
        if (!ready) return;
        stdfs::current_path(scratch);
        platform::mountNativeFiles();
        platform::mountArchiveFile("big.bar");
        platform::mountArchiveFile("small.bar");
    }
    ~Archives() {
        kdUnmountAll();
        std::error_code ignored;
        stdfs::remove_all(scratch, ignored);
    }
    stdfs::path scratch;
    bool ready = false;
};

Archives& archives() {
    static Archives instance;
    return instance;
}

void openEntry(benchmark::State& state, const std::string& name) {
    if (!archives().ready) {
        state.SkipWithError("7zz could not make the archives");
        return;
    }
    std::string data(kEntryBytes, '\0');
    for (auto _ : state) {
        KDFile* file = kdFopen(name.c_str(), "rb");
        if (!file) {
            state.SkipWithError(("cannot open " + name).c_str());
            return;
        }
        benchmark::DoNotOptimize(kdFread(data.data(), 1, data.size(), file));
        kdFclose(file);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kEntryBytes);
}

void BM_OpenFirstOf2000(benchmark::State& state) {
    openEntry(state, entryName(0));
}
void BM_OpenLastOf2000(benchmark::State& state) {
    openEntry(state, entryName(1999));
}

BENCHMARK(BM_OpenFirstOf2000);
BENCHMARK(BM_OpenLastOf2000);

void BM_OpenEntryOf20(benchmark::State& state) {
    if (!archives().ready) {
        state.SkipWithError("7zz could not make the archives");
        return;
    }
    // Only the small archive: unmount everything and mount it alone for this run.
    kdUnmountAll();
    platform::mountNativeFiles();
    platform::mountArchiveFile("small.bar");
    openEntry(state, entryName(19));
    kdUnmountAll();
    platform::mountNativeFiles();
    platform::mountArchiveFile("big.bar");
    platform::mountArchiveFile("small.bar");
}
BENCHMARK(BM_OpenEntryOf20);

// Mounting reads and indexes the whole header once: its cost grows with the number of entries.
void BM_MountArchiveOf2000(benchmark::State& state) {
    if (!archives().ready) {
        state.SkipWithError("7zz could not make the archives");
        return;
    }
    for (auto _ : state) {
        KDMount* mount = platform::mountArchiveFile("big.bar");
        benchmark::DoNotOptimize(mount);
        state.PauseTiming();
        kdUnmountAll();
        platform::mountNativeFiles();
        state.ResumeTiming();
    }
    kdUnmountAll();
    platform::mountNativeFiles();
    platform::mountArchiveFile("big.bar");
    platform::mountArchiveFile("small.bar");
}
BENCHMARK(BM_MountArchiveOf2000);

} // namespace

BENCHMARK_MAIN();
