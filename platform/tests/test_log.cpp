// kdLogMessage, the level helpers and the log receivers (hook and file).
#include "platform/child_process.h"
#include "platform/kd.h"

#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

// The log file goes to a private user data folder, chosen before the first line is logged.
platform_test::TempFolder& dataFolder() {
    static platform_test::TempFolder folder;
    return folder;
}
const bool g_environmentReady = [] { return setenv("XDG_DATA_HOME", dataFolder().path().c_str(), 1) == 0; }();

std::vector<std::string> g_lines;
void collect(const KDchar* text, void*) {
    g_lines.push_back(text);
}

class Log : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(g_environmentReady);
        g_lines.clear();
        kdSetLogHook(collect, nullptr);
    }
    void TearDown() override { kdSetLogHook(nullptr, nullptr); }
};

struct LevelCase {
    void (*helper)(const KDchar*, const KDchar*, ...);
    const char* tag;
    const char* expected;
};

TEST_F(Log, LevelHelpersWriteTagPrefixAndMessage) {
    const LevelCase cases[] = {
        {logError, "System", "[System] error: Object Foo not found\n"},
        {logWarning, nullptr, "warning: Object Foo not found\n"},
        {logInfo, "Display", "[Display] info: Object Foo not found\n"},
        {logPlain, nullptr, "Object Foo not found\n"},
        {logPlain, "Console", "[Console] Object Foo not found\n"},
    };
    for (const LevelCase& c : cases) {
        g_lines.clear();
        c.helper(c.tag, "Object %s not found", "Foo");
        ASSERT_EQ(g_lines.size(), 1u);
        EXPECT_EQ(g_lines[0], c.expected);
    }
    g_lines.clear();
    logTagged(LogLevel::Warning, nullptr, "x=%d", 5);
    EXPECT_EQ(g_lines, std::vector<std::string>{"warning: x=5\n"});
}

TEST_F(Log, HelpersCutTheMessageTo1023CharactersButKdLogMessageDoesNot) {
    const std::string longText(2000, 'a');
    logError(nullptr, "%s", longText.c_str());
    ASSERT_EQ(g_lines.size(), 1u);
    EXPECT_EQ(g_lines[0], "error: " + std::string(1023, 'a') + "\n");

    const std::string longer(5000, 'b');
    kdLogMessage("<%s>", longer.c_str());
    ASSERT_EQ(g_lines.size(), 2u);
    EXPECT_EQ(g_lines[1], "<" + longer + ">");
}

void logFromHook(const KDchar* text, void* user) {
    ++*static_cast<int*>(user);
    kdLogMessage("echo: %s", text); // must not come back into the hook
}

TEST_F(Log, HookThatLogsDoesNotRecurseAndRemovedHookHearsNothing) {
    int calls = 0;
    kdSetLogHook(logFromHook, &calls);
    kdLogMessage("one\n");
    EXPECT_EQ(calls, 1);
    kdSetLogHook(nullptr, nullptr);
    kdLogMessage("two\n");
    EXPECT_EQ(calls, 1);
}

TEST_F(Log, LinesReachTheLogFileInTheUserDataFolder) {
    logInfo("Test", "to the file %d", 42);
    kdLogMessage("exiting...\n");
    const std::string file = platform_test::readFile(dataFolder().path() + "/Harbor Haven/kdLogMessage.txt");
    EXPECT_NE(file.find("[Test] info: to the file 42\nexiting...\n"), std::string::npos) << file;
}

// The log file outlives a run (the report of a crash stays until it has been sent) but does not grow without
// end: a file past 1 MiB is started afresh when the next run opens it.
TEST(LogFile, KeptAcrossRunsUntilItGrowsPastOneMebibyte) {
    struct Case {
        size_t oldSize;
        bool kept;
    };
    for (const Case& c : {Case{100, true}, Case{2 << 20, false}}) {
        platform_test::TempFolder data;
        const std::string folder = data.path() + "/Harbor Haven";
        ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
        const std::string path = folder + "/kdLogMessage.txt";
        std::ofstream(path) << "previous run\n" << std::string(c.oldSize, 'x') << "\n";
        platform_test::ChildProcess child(PROCESS_CHILD_PATH, {"env", "HOME"},
                                          {{"XDG_DATA_HOME", data.path()}, {"KD_PARENT_WINDOW", "1"}},
                                          data.path() + "/stderr.txt");
        EXPECT_EQ(platform_test::exitCodeOf(child.wait()), 3);
        const std::string log = platform_test::readFile(path);
        EXPECT_EQ(log.rfind("previous run\n", 0) == 0, c.kept) << c.oldSize;
        EXPECT_LT(log.size(), size_t{1} << 20);
    }
}

} // namespace
