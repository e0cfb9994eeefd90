// Archives made by 7zz, then damaged in many random ways (flipped bytes, cuts, overwritten runs): mounting
// and reading them must fail cleanly or give well-sized entries, never crash. The same path is the fuzzer's.
// HH_FS_MUTATIONS sets the number of damaged copies per seed; HH_FS_SEED_DIR keeps the seeds for the fuzzer.
#include "fs_archive_fuzz_body.h"
#include "fs_test_support.h"

#include <random>

using namespace fs_test;

namespace {

class ArchiveMutations : public FileSystemTest {};
using fs_fuzz::MemoryFileSystem;

TEST_F(ArchiveMutations, DamagedArchivesNeverCrash) {
    stdfs::path source = root() / "src";
    writeFile(source / "a.txt", "line one\r\nline two\n");
    writeFile(source / "dir" / "b.bin", patternBytes(5000, 1) + std::string(3000, '\xE8'));
    writeFile(source / "dir" / "c.bin", patternBytes(300, 2));
    writeFile(source / "empty", "");
    const std::vector<std::vector<std::string>> methods = {
        {"-ms=off", "-m0=LZMA"},
        {"-ms=off", "-m0=LZMA2"},
        {"-ms=off", "-m0=BCJ", "-m1=LZMA"},
        {"-ms=off", "-m0=BCJ2", "-m1=LZMA", "-m2=LZMA", "-m3=LZMA", "-mb0:1", "-mb0s1:2", "-mb0s2:3"},
        {"-ms=on", "-m0=LZMA2"},
        {"-ms=off", "-m0=Copy", "-mhc=off"},
    };
    const char* configured = std::getenv("HH_FS_MUTATIONS");
    int mutations = configured ? std::atoi(configured) : 150;
    const char* seedDir = std::getenv("HH_FS_SEED_DIR");
    std::mt19937 random(2024);
    for (size_t m = 0; m < methods.size(); ++m) {
        std::string name = "seed" + std::to_string(m) + ".7z";
        std::vector<std::string> argv = {"7zz", "a", "-t7z", "-mf=off"};
        argv.insert(argv.end(), methods[m].begin(), methods[m].end());
        argv.push_back((root() / name).string());
        argv.push_back(".");
        int status = run(argv, source);
        ASSERT_NE(status, 127) << "the 7zz archiver (Debian package 7zip) is required: run dev/install-deps";
        ASSERT_EQ(status, 0) << name;
        std::string seed = readNative(root() / name);
        if (seedDir) writeFile(stdfs::path(seedDir) / name, seed);

        // The undamaged archive reads back in full.
        MemoryFileSystem::bytes() = seed;
        kdMount("mem", "", fs_fuzz::mountMemory);
        ASSERT_NE(kdMount("bar", "fuzz.bar", platform::mountArchive), nullptr) << name;
        EXPECT_EQ(readKd("dir/b.bin").size(), 8000u) << name;
        EXPECT_EQ(readKd("A.TXT"), "line one\r\nline two\n") << name;
        kdUnmountAll();

        for (int i = 0; i < mutations; ++i) {
            std::string damaged = seed;
            switch (random() % 3) {
            case 0:
                for (int flips = 1 + int(random() % 4); flips > 0; --flips)
                    damaged[random() % damaged.size()] ^= char(1 + random() % 255);
                break;
            case 1:
                damaged.resize(random() % damaged.size());
                break;
            default: {
                size_t at = random() % damaged.size();
                size_t length = std::min<size_t>(damaged.size() - at, 1 + random() % 16);
                for (size_t k = 0; k < length; ++k) damaged[at + k] = char(random() % 2 ? 0xFF : 0x00);
            }
            }
            fs_fuzz::run(reinterpret_cast<const uint8_t*>(damaged.data()), damaged.size());
        }
    }
}

} // namespace
