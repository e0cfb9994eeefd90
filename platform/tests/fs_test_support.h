// Helpers for the file system tests: a fresh working folder and user data folder per test, the mount chain
// built there, the log lines it produced, and small file utilities.
#pragma once

#include "platform/kd.h"
#include "platform/platform_hooks.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs_test {

namespace stdfs = std::filesystem;

inline void writeFile(const stdfs::path& path, const std::string& contents) {
    stdfs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}

inline std::string readNative(const stdfs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The whole file through the kd interface; "<missing>" when kdFopen fails.
inline std::string readKd(const char* path) {
    KDFile* file = kdFopen(path, "rb");
    if (!file) return "<missing>";
    std::string contents;
    char buffer[4096];
    while (KDsize got = kdFread(buffer, 1, sizeof buffer, file)) contents.append(buffer, got);
    kdFclose(file);
    return contents;
}

inline bool writeKd(const char* path, const std::string& contents, const char* mode = "wb") {
    KDFile* file = kdFopen(path, mode);
    if (!file) return false;
    bool written = kdFwrite(contents.data(), 1, contents.size(), file) == contents.size();
    return kdFclose(file) == 0 && written;
}

// Deterministic bytes of a given size (different per seed), with some line breaks for text readers.
inline std::string patternBytes(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = char(state >> 24);
    }
    return bytes;
}

// Runs argv[0] (looked up on PATH, no shell) in folder with its output discarded; its exit status, or -1 when
// it could not be started.
inline int run(const std::vector<std::string>& argv, const stdfs::path& folder) {
    pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (chdir(folder.c_str()) != 0) _exit(127);
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A fresh working folder (the current directory while the test runs) and user data folder ($XDG_DATA_HOME),
// the log lines of the test, and the chain unmounted at the end.
class FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_previousFolder = stdfs::current_path();
        char pattern[] = "/tmp/hh-fs-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_root = pattern;
        stdfs::create_directories(m_root / "work");
        stdfs::create_directories(m_root / "xdg");
        stdfs::current_path(m_root / "work");
        setenv("XDG_DATA_HOME", (m_root / "xdg").c_str(), 1);
        kdSetLogHook(&FileSystemTest::collectLog, this);
    }

    void TearDown() override {
        kdUnmountAll();
        kdSetLogHook(nullptr, nullptr);
        stdfs::current_path(m_previousFolder);
        std::error_code ignored;
        stdfs::remove_all(m_root, ignored);
    }

    stdfs::path root() const { return m_root; }
    stdfs::path work() const { return m_root / "work"; }
    stdfs::path userData() const { return m_root / "xdg" / "Harbor Haven"; }

    void mountAll() { platform::mountFileSystems(); }

    std::vector<std::string> m_log;

private:
    static void collectLog(const KDchar* text, void* self) {
        static_cast<FileSystemTest*>(self)->m_log.emplace_back(text);
    }

    stdfs::path m_previousFolder;
    stdfs::path m_root;
};

} // namespace fs_test
