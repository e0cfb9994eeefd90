// A writer process saving a "data/" file over and over is killed with SIGKILL at random moments; after every
// kill the file must hold one complete version, and never one older than the last save whose close reported
// success. HH_FS_KILL_CYCLES sets the number of kills (a few by default; thousands for a stress run).
#include "fs_test_support.h"

#include <csignal>
#include <random>

using namespace fs_test;

namespace {

constexpr const char* kSave = "data/save.bin";

// "<version> <length>\n" + length pattern bytes + "\nend <version>\n": self-checking, and of varying size so
// that a torn or mixed file cannot pass.
std::string saveContents(uint32_t version) {
    size_t length = 1000 + (version * 7919u) % 60000u;
    return std::to_string(version) + " " + std::to_string(length) + "\n" + patternBytes(length, version) +
           "\nend " + std::to_string(version) + "\n";
}

// The version a file holds, or -1 when it is not exactly one complete save.
long versionOf(const std::string& contents) {
    size_t space = contents.find(' ');
    if (space == std::string::npos || space == 0) return -1;
    long version = std::strtol(contents.c_str(), nullptr, 10);
    if (version < 0 || contents != saveContents(uint32_t(version))) return -1;
    return version;
}

// Saves versions first, first + 1, … until killed, reporting each one whose close succeeded on the pipe.
[[noreturn]] void writer(uint32_t first, int report) {
    for (uint32_t version = first;; ++version) {
        std::string contents = saveContents(version);
        KDFile* file = kdFopen(kSave, "wb");
        if (!file) _exit(2);
        // Several writes, so that kills also land between them.
        for (size_t at = 0; at < contents.size(); at += 4096) {
            size_t piece = std::min<size_t>(4096, contents.size() - at);
            if (kdFwrite(contents.data() + at, 1, piece, file) != piece) _exit(3);
        }
        if (kdFclose(file) != 0) _exit(4);
        if (write(report, &version, sizeof version) != sizeof version) _exit(5);
    }
}

class SafeReplace : public FileSystemTest {
protected:
    void SetUp() override {
        FileSystemTest::SetUp();
        mountAll();
    }
};

TEST_F(SafeReplace, KilledWriterLeavesOldOrNewContentsNeverTornOrLost) {
    const char* configured = std::getenv("HH_FS_KILL_CYCLES");
    int cycles = configured ? std::atoi(configured) : 20;
    ASSERT_TRUE(writeKd(kSave, saveContents(0)));
    long confirmed = 0;
    std::mt19937 random(12345);
    // Kills land anywhere within the first few saves; on a loaded machine, where one save takes longer, the
    // window widens until saves get through.
    int maxDelayMicros = 30000;
    int cyclesWithProgress = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        int report[2];
        ASSERT_EQ(pipe(report), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(report[0]);
            writer(uint32_t(confirmed + 1), report[1]);
        }
        close(report[1]);
        usleep(useconds_t(std::uniform_int_distribution<int>(0, maxDelayMicros)(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed by itself with " << WEXITSTATUS(status);
        uint32_t version = 0;
        long lastReported = confirmed;
        while (read(report[0], &version, sizeof version) == sizeof version) lastReported = version;
        close(report[0]);

        // Opening the file also finishes a commit the kill cut short.
        long found = versionOf(readKd(kSave));
        ASSERT_GE(found, 0) << "torn or missing save after cycle " << cycle;
        // A close that returned 0 is never lost; one more may have completed without being reported.
        ASSERT_GE(found, lastReported) << "cycle " << cycle;
        ASSERT_LE(found, lastReported + 1) << "cycle " << cycle;
        if (found > confirmed) {
            ++cyclesWithProgress;
            maxDelayMicros = std::max(maxDelayMicros / 2, 30000);
        } else {
            maxDelayMicros = std::min(maxDelayMicros * 2, 2000000);
        }
        confirmed = found;
    }
    // The kills must not all land before the first save, or the test shows nothing.
    EXPECT_GT(cyclesWithProgress, 0);
}

} // namespace
