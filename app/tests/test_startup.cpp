// The engine executable end to end: it starts, logs its banner and ends with the "main script missing" code;
// a second copy started meanwhile is refused at once.
#include "platform/child_process.h"

#include <gtest/gtest.h>

using namespace platform_test;

namespace {

class Startup : public ::testing::Test {
protected:
    EnvChanges environment() const {
        return {
            {"XDG_DATA_HOME", m_data.path()}, {"XDG_RUNTIME_DIR", m_data.path()}, {"KD_PARENT_WINDOW", {}}};
    }
    TempFolder m_data;
};

TEST_F(Startup, LogsBannerAndEndsWithMainScriptMissing) {
    ChildProcess engine(HARBORHAVEN_PATH, {}, environment(), m_data.path() + "/stderr.txt");
    EXPECT_EQ(exitCodeOf(engine.wait()), 255) << "kdMain's -1";
    const std::string log = readFile(m_data.path() + "/Harbor Haven/kdLogMessage.txt");
    EXPECT_NE(log.find("OpenKODE Core v1.0.1 (Compiled Oct  3 2011 17:12:47) by "), std::string::npos) << log;
    EXPECT_NE(log.find(" on Linux v"), std::string::npos) << log;
    EXPECT_NE(readFile(m_data.path() + "/stderr.txt").find("OpenKODE Core v"), std::string::npos);
}

TEST_F(Startup, SecondCopyIsRefusedWhileTheFirstRuns) {
    // A copy of the platform's test child holds the guard; the engine then only asks it to come to the front.
    ChildProcess first(PROCESS_CHILD_PATH, {"wait"}, environment(), m_data.path() + "/first.txt");
    ASSERT_TRUE(first.waitForOutput("ready\n", 10000));
    ChildProcess engine(HARBORHAVEN_PATH, {}, environment(), m_data.path() + "/stderr.txt");
    EXPECT_EQ(exitCodeOf(engine.wait()), 1);
    EXPECT_EQ(readFile(m_data.path() + "/stderr.txt").find("OpenKODE Core"), std::string::npos);
}

} // namespace
