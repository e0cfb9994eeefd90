// Process entry: the configuration file, the environment, and the single-instance guard between real
// processes.
#include "platform/child_process.h"
#include "platform/kd.h"
#include "platform/src/config_file.h"

#include <climits>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

using namespace platform_test;

namespace {

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "(unset)";
}

TEST(ConfigFile, AppliesAssignmentsAndIgnoresTheRest) {
    TempFolder folder;
    const std::string path = folder.path() + "/game.cfg";
    setenv("HH_CFG_REMOVED", "present", 1);
    const std::string longValue(3000, 'v');
    writeText(path, "HH_CFG_LOCALE=en_US\r\n" // a Windows line end is not part of the value
                    "HH_CFG_PLAIN=one\n"
                    "HH_CFG_REMOVED=\n" // NAME= removes NAME
                    "just some words\n" // not an assignment
                    "=no name\n"
                    "HH_CFG_EQUALS=a=b\n"
                    "HH_CFG_LONG=" +
                        longValue +
                        "\n"                 // no line length limit
                        "HH_CFG_LAST=tail"); // the last line needs no line break
    EXPECT_EQ(platform::applyConfigFile(path), 6);
    const std::pair<const char*, std::string> expected[] = {
        {"HH_CFG_LOCALE", "en_US"}, {"HH_CFG_PLAIN", "one"},    {"HH_CFG_REMOVED", "(unset)"},
        {"HH_CFG_EQUALS", "a=b"},   {"HH_CFG_LONG", longValue}, {"HH_CFG_LAST", "tail"},
    };
    for (const auto& [name, value] : expected) EXPECT_EQ(env(name), value) << name;
}

TEST(ConfigFile, MissingFileChangesNothing) {
    EXPECT_EQ(platform::applyConfigFile("/nonexistent/folder/game.cfg"), 0);
    EXPECT_FALSE(platform::configFilePath().empty());
    EXPECT_EQ(platform::configFilePath().substr(platform::configFilePath().size() - 4), ".cfg");
}

TEST(Environment, DeviceIdFallsBackToComputerNameThenHostName) {
    unsetenv("KD_UDID");
    setenv("COMPUTERNAME", "harbor-box", 1);
    EXPECT_STREQ(kdGetEnv("KD_UDID"), "harbor-box");
    EXPECT_EQ(kdGetEnv("HH_SURELY_UNSET"), nullptr) << "only KD_UDID falls back";
    setenv("KD_UDID", "device-7", 1);
    EXPECT_STREQ(kdGetEnv("KD_UDID"), "device-7");
    unsetenv("KD_UDID");
    unsetenv("COMPUTERNAME");
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    EXPECT_STREQ(kdGetEnv("KD_UDID"), host);
    EXPECT_EQ(kdGetEnv(nullptr), nullptr);
}

TEST(Environment, IdentityTexts) {
    EXPECT_STREQ(engineVersionText(), "1.0.1 (Compiled Oct  3 2011 17:12:47)");
    EXPECT_STRNE(engineVendorText(), "");
    int major = -1, minor = -1, patch = -1;
    EXPECT_EQ(std::sscanf(platformDescription(), "Linux v%d.%d.%d", &major, &minor, &patch), 3);
    EXPECT_GT(major, 0);
}

// The guard between real copies of a program built on the platform's entry.
class InstanceGuard : public ::testing::Test {
protected:
    EnvChanges environment(bool parentWindow) const {
        return {{"XDG_RUNTIME_DIR", m_runtime.path()},
                {"XDG_DATA_HOME", m_data.path()},
                {"KD_PARENT_WINDOW", parentWindow ? std::optional<std::string>("12345") : std::nullopt}};
    }
    std::string errPath(const char* name) const { return m_data.path() + "/" + name; }

    TempFolder m_runtime;
    TempFolder m_data;
};

TEST_F(InstanceGuard, SecondCopyAsksTheFirstToComeToFrontAndStartsNothing) {
    ChildProcess first(PROCESS_CHILD_PATH, {"wait"}, environment(false), errPath("first.txt"));
    ASSERT_TRUE(first.waitForOutput("ready\n", 10000));

    ChildProcess second(PROCESS_CHILD_PATH, {"env", "HOME"}, environment(false), errPath("second.txt"));
    int status = second.wait();
    EXPECT_EQ(exitCodeOf(status), 1) << "the running copy acknowledged";
    EXPECT_EQ(second.output(), "") << "kdMain never ran";

    // KD_PARENT_WINDOW in the process environment skips the guard.
    ChildProcess embedded(PROCESS_CHILD_PATH, {"env", "KD_PARENT_WINDOW"}, environment(true),
                          errPath("e.txt"));
    EXPECT_EQ(exitCodeOf(embedded.wait()), 3);
    EXPECT_EQ(embedded.output(), "12345\n");

    first.closeStdin();
    EXPECT_EQ(exitCodeOf(first.wait()), 7);
    EXPECT_NE(first.output().find("come to front: asked"), std::string::npos) << first.output();

    // The lock went with the first copy.
    ChildProcess later(PROCESS_CHILD_PATH, {"env", "KD_PARENT_WINDOW"}, environment(false), errPath("l.txt"));
    EXPECT_EQ(exitCodeOf(later.wait()), 3);
    EXPECT_EQ(later.output(), "(null)\n");
}

// A lock holder that does not answer: the request fails and the refused copy exits with 0.
TEST_F(InstanceGuard, UnansweredRequestExitsWithZero) {
    int lock = open((m_runtime.path() + "/Harbor Haven.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0);
    ChildProcess refused(PROCESS_CHILD_PATH, {"env", "HOME"}, environment(false), errPath("refused.txt"));
    EXPECT_EQ(exitCodeOf(refused.wait()), 0);
    EXPECT_EQ(refused.output(), "");
    close(lock);
}

// A script's exit() ends the process from inside kdMain, with the guard's listener still running.
TEST_F(InstanceGuard, ExitInsideKdMainEndsCleanly) {
    ChildProcess child(PROCESS_CHILD_PATH, {"exit"}, environment(false), errPath("exit.txt"));
    EXPECT_EQ(exitCodeOf(child.wait()), 4);
    EXPECT_EQ(readFile(errPath("exit.txt")).find("Process info"), std::string::npos);
}

TEST_F(InstanceGuard, CrashedCopyLeavesNoStaleLock) {
    ChildProcess crashed(PROCESS_CHILD_PATH, {"crash", "abort"}, environment(false), errPath("crash.txt"));
    EXPECT_EQ(signalOf(crashed.wait()), SIGABRT);
    ChildProcess next(PROCESS_CHILD_PATH, {"env", "KD_PARENT_WINDOW"}, environment(false), errPath("n.txt"));
    EXPECT_EQ(exitCodeOf(next.wait()), 3);
}

// The configuration file beside the executable is applied before kdMain, but comes too late to skip the
// guard.
TEST_F(InstanceGuard, ConfigurationFileIsReadAfterTheGuard) {
    const std::string copy = m_data.path() + "/game";
    ASSERT_EQ(std::system(("cp '" PROCESS_CHILD_PATH "' '" + copy + "'").c_str()), 0);
    writeText(copy + ".cfg", "KD_PARENT_WINDOW=1\r\nHH_FROM_CONFIG=applied\r\n");

    ChildProcess alone(copy, {"env", "HH_FROM_CONFIG"}, environment(false), errPath("alone.txt"));
    EXPECT_EQ(exitCodeOf(alone.wait()), 3);
    EXPECT_EQ(alone.output(), "applied\n");

    ChildProcess first(PROCESS_CHILD_PATH, {"wait"}, environment(false), errPath("first.txt"));
    ASSERT_TRUE(first.waitForOutput("ready\n", 10000));
    ChildProcess second(copy, {"env", "HH_FROM_CONFIG"}, environment(false), errPath("second.txt"));
    EXPECT_EQ(exitCodeOf(second.wait()), 1);
    EXPECT_EQ(second.output(), "");
}

} // namespace
