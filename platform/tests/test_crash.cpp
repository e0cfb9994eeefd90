// The crash handler, for real: a child process crashes in several ways; the report in the log and the
// minidump in the user data folder are checked.
#include "platform/child_process.h"
#include "platform/src/minidump.h"

#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ptrace.h>

using namespace platform_test;
namespace md = platform::minidump;

namespace {

struct CrashCase {
    const char* kind;
    int signal;
    const char* exception;
    const char* function; // a frame the stack trace must show
};

const CrashCase kCrashCases[] = {
    {"null", SIGSEGV, "ACCESS_VIOLATION", "writeThroughNull"},
    {"divide", SIGFPE, "INT_DIVIDE_BY_ZERO", "divideByZero"},
    {"abort", SIGABRT, "UNKNOWN_ERROR", "abort"},
    {"overflow", SIGSEGV, "STACK_OVERFLOW", "recurseDeeply"},
    {"trap", SIGILL, "ILLEGAL_INSTRUCTION", "kdMain"},
    {"thread", SIGSEGV, "ACCESS_VIOLATION", "writeThroughNull"},
};

std::string childPath() {
    char resolved[PATH_MAX];
    return realpath(PROCESS_CHILD_PATH, resolved) ? resolved : PROCESS_CHILD_PATH;
}

EnvChanges crashEnvironment(const TempFolder& data) {
    return {{"XDG_DATA_HOME", data.path()}, {"KD_PARENT_WINDOW", "1"}};
}

// Little-endian reads from the dump, refusing anything outside it.
struct Dump {
    std::string bytes;
    bool inside(uint64_t offset, uint64_t size) const { return offset + size <= bytes.size(); }
    uint32_t u32(uint64_t offset) const {
        uint32_t v = 0;
        if (inside(offset, 4)) std::memcpy(&v, bytes.data() + offset, 4);
        return v;
    }
    uint64_t u64(uint64_t offset) const {
        uint64_t v = 0;
        if (inside(offset, 8)) std::memcpy(&v, bytes.data() + offset, 8);
        return v;
    }
    uint16_t u16(uint64_t offset) const {
        uint16_t v = 0;
        if (inside(offset, 2)) std::memcpy(&v, bytes.data() + offset, 2);
        return v;
    }
    // Returns {rva, size} of the stream, or {0, 0}.
    std::pair<uint32_t, uint32_t> stream(uint32_t type) const {
        uint32_t count = u32(8), directory = u32(12);
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t entry = directory + 12 * i;
            if (u32(entry) == type) return {u32(entry + 8), u32(entry + 4)};
        }
        return {0, 0};
    }
    std::string string(uint32_t rva) const {
        uint32_t length = u32(rva);
        std::string text;
        for (uint32_t i = 0; i + 1 < length + 1 && inside(rva + 4 + i, 2); i += 2)
            text += static_cast<char>(u16(rva + 4 + i));
        return text;
    }
};

class CrashReport : public ::testing::TestWithParam<CrashCase> {};

TEST_P(CrashReport, LogsReportAndWritesDumpThenDiesOfTheSignal) {
    const CrashCase& c = GetParam();
    TempFolder data;
    const std::string folder = data.path() + "/Harbor Haven";
    const std::string program = childPath();
    ChildProcess child(program, {"crash", c.kind}, crashEnvironment(data), data.path() + "/stderr.txt");
    ASSERT_TRUE(child.started());
    int status = child.wait();
    EXPECT_EQ(signalOf(status), c.signal);

    // The report's sections, in order, in the log file.
    const std::string log = readFile(folder + "/kdLogMessage.txt");
    const std::string commandLine = (program + " crash " + c.kind).substr(0, 65);
    const std::string sections[] = {"\nProcess info:\n",
                                    "Cmd line: " + commandLine + "\n",
                                    "Version compiled Oct  3 2011, 17:12:51\n",
                                    "Platform: Linux OS version ",
                                    std::string("Exception: ") + c.exception + "\n\n",
                                    "Registers:\nrax=",
                                    "\nrip=",
                                    "\ncs=",
                                    "\nStacktrace:\n#1  0x",
                                    c.function,
                                    "\n\nLoaded modules:\n0x",
                                    "  " + program + " (0.0.0.0, "};
    size_t at = 0;
    for (const std::string& section : sections) {
        size_t found = log.find(section, at);
        ASSERT_NE(found, std::string::npos) << "missing after offset " << at << ": " << section << "\n"
                                            << log;
        at = found + section.size();
    }
    EXPECT_NE(log.find("process_child.cpp:"), std::string::npos) << "no file:line in the stack trace\n"
                                                                 << log;

    // The message and the report also reach stderr.
    const std::string err = readFile(data.path() + "/stderr.txt");
    EXPECT_NE(err.find("This application has halted due to an unexpected error.\n"
                       "A crash report and minidump file were saved to disk:\n\n"
                       "kdCrashDump.dmp\nkdLogMessage.txt\n\n"
                       "Please send these files to developers to help us analyse\nand solve this problem.\n"),
              std::string::npos);
    EXPECT_NE(err.find("\nStacktrace:\n"), std::string::npos);

    // The dump replaced nothing and left no temporary behind.
    EXPECT_FALSE(fileExists(folder + "/kdCrashDump.dmp.kdtmp"));
    EXPECT_FALSE(fileExists(folder + "/kdCrashDump.dmp.kdbak"));
    Dump dump{readFile(folder + "/kdCrashDump.dmp")};
    ASSERT_GE(dump.bytes.size(), 32u);
    EXPECT_EQ(dump.u32(0), md::kSignature);
    EXPECT_EQ(dump.u32(4) & 0xffff, md::kVersion);
    ASSERT_TRUE(dump.inside(dump.u32(12), 12ull * dump.u32(8)));

    auto [systemRva, systemSize] = dump.stream(md::kSystemInfoStream);
    ASSERT_EQ(systemSize, 56u);
    EXPECT_EQ(dump.u16(systemRva), md::kArchitectureAmd64);
    EXPECT_EQ(dump.u32(systemRva + 20), md::kPlatformLinux);

    auto [exceptionRva, exceptionSize] = dump.stream(md::kExceptionStream);
    ASSERT_EQ(exceptionSize, 168u);
    EXPECT_EQ(dump.u32(exceptionRva + 8), static_cast<uint32_t>(c.signal));

    auto [threadsRva, threadsSize] = dump.stream(md::kThreadListStream);
    ASSERT_EQ(threadsSize, 4 + md::kThreadSize);
    ASSERT_EQ(dump.u32(threadsRva), 1u);
    const uint32_t thread = threadsRva + 4;
    EXPECT_EQ(dump.u32(thread), dump.u32(exceptionRva)) << "the exception names the dumped thread";
    const uint64_t stackStart = dump.u64(thread + 24);
    const uint32_t stackSize = dump.u32(thread + 32), stackRva = dump.u32(thread + 36);
    const uint32_t contextSize = dump.u32(thread + 40), contextRva = dump.u32(thread + 44);
    ASSERT_EQ(contextSize, md::kContextSizeAmd64);
    ASSERT_TRUE(dump.inside(contextRva, contextSize));
    EXPECT_EQ(dump.u32(contextRva + 0x30) & md::kContextAmd64, md::kContextAmd64);
    EXPECT_GT(stackSize, 0u);
    EXPECT_TRUE(dump.inside(stackRva, stackSize));

    // The context's instruction pointer is the one in the report; its stack pointer lies in or just below the
    // dumped stack (below it after an overflow).
    char rip[32];
    std::snprintf(rip, sizeof rip, "\nrip=%016llx",
                  static_cast<unsigned long long>(dump.u64(contextRva + md::kContextRipOffset)));
    EXPECT_NE(log.find(rip), std::string::npos);
    const uint64_t rsp = dump.u64(contextRva + md::kContextRspOffset);
    EXPECT_LT(rsp, stackStart + stackSize);
    EXPECT_GT(rsp + 64 * 1024, stackStart);

    auto [modulesRva, modulesSize] = dump.stream(md::kModuleListStream);
    const uint32_t moduleCount = dump.u32(modulesRva);
    ASSERT_GE(moduleCount, 2u);
    ASSERT_EQ(modulesSize, 4 + md::kModuleSize * moduleCount);
    EXPECT_EQ(dump.string(dump.u32(modulesRva + 4 + 20)), program) << "the executable comes first";
    bool hasLibc = false;
    for (uint32_t i = 0; i < moduleCount; ++i)
        hasLibc =
            hasLibc || dump.string(dump.u32(modulesRva + 4 + md::kModuleSize * i + 20)).find("libc.so") !=
                           std::string::npos;
    EXPECT_TRUE(hasLibc);

    auto [memoryRva, memorySize] = dump.stream(md::kMemoryListStream);
    ASSERT_EQ(memorySize, 20u);
    EXPECT_EQ(dump.u64(memoryRva + 4), stackStart);
}

INSTANTIATE_TEST_SUITE_P(Kinds, CrashReport, ::testing::ValuesIn(kCrashCases),
                         [](const auto& param) { return std::string(param.param.kind); });

// A second crash replaces the first dump through the temporary file.
TEST(CrashDump, ReplacesAnEarlierDump) {
    TempFolder data;
    const std::string dumpPath = data.path() + "/Harbor Haven/kdCrashDump.dmp";
    for (const char* kind : {"abort", "null"}) {
        ChildProcess child(childPath(), {"crash", kind}, crashEnvironment(data), data.path() + "/stderr.txt");
        child.wait();
    }
    Dump dump{readFile(dumpPath)};
    auto [exceptionRva, exceptionSize] = dump.stream(md::kExceptionStream);
    ASSERT_EQ(exceptionSize, 168u);
    EXPECT_EQ(dump.u32(exceptionRva + 8), static_cast<uint32_t>(SIGSEGV));
    EXPECT_FALSE(fileExists(dumpPath + ".kdtmp"));
    EXPECT_FALSE(fileExists(dumpPath + ".kdbak"));
}

// Under a debugger the crash goes to the debugger untouched: no report, no dump.
TEST(CrashDump, DebuggerAttachedGetsTheCrashUntouched) {
    TempFolder data;
    const std::string folder = data.path() + "/Harbor Haven";
    const std::string program = childPath();
    std::string xdg = "XDG_DATA_HOME=" + data.path();
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("crash"),
                        const_cast<char*>("null"), nullptr};
        char* envp[] = {xdg.data(), const_cast<char*>("KD_PARENT_WINDOW=1"), nullptr};
        execve(program.c_str(), argv, envp);
        _exit(127);
    }
    // A minimal debugger: pass every signal on, count the faults it sees.
    int status = 0, faultsSeen = 0;
    while (waitpid(pid, &status, 0) == pid && WIFSTOPPED(status)) {
        int signal = WSTOPSIG(status);
        if (signal == SIGSEGV) ++faultsSeen;
        ptrace(PTRACE_CONT, pid, nullptr,
               reinterpret_cast<void*>(static_cast<long>(signal == SIGTRAP ? 0 : signal)));
    }
    EXPECT_EQ(signalOf(status), SIGSEGV);
    EXPECT_GE(faultsSeen, 1);
    EXPECT_FALSE(fileExists(folder + "/kdCrashDump.dmp"));
    EXPECT_EQ(readFile(folder + "/kdLogMessage.txt").find("Process info:"), std::string::npos);
}

// An ordinary debugger opens the dump and shows the crashing thread with its symbols.
TEST(CrashDump, LldbOpensTheDump) {
    if (system("command -v lldb >/dev/null 2>&1") != 0) GTEST_SKIP() << "lldb is not installed";
    TempFolder data;
    ChildProcess child(childPath(), {"crash", "null"}, crashEnvironment(data), data.path() + "/stderr.txt");
    child.wait();
    const std::string dump = data.path() + "/Harbor Haven/kdCrashDump.dmp";
    const std::string out = data.path() + "/lldb.txt";
    std::string command =
        "timeout 120 lldb --batch --no-lldbinit -c '" + dump + "' -o 'thread backtrace' > '" + out + "' 2>&1";
    ASSERT_EQ(system(command.c_str()), 0);
    const std::string text = readFile(out);
    EXPECT_NE(text.find("stop reason = signal SIGSEGV"), std::string::npos) << text;
    EXPECT_NE(text.find("writeThroughNull"), std::string::npos) << text;
}

} // namespace
