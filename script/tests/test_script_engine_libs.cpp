// The engine's variants of the standard libraries: the generator and the math constants, getenv through the
// engine's environment, clock, and system through the desktop opener without a shell.
#include "host_test_support.h"

#include "script/engine_random.h"

#include <gmock/gmock.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

using ::testing::StartsWith;

namespace {

SQInteger integer(const ScriptValue& value) {
    return value.type() == OT_INTEGER ? value.object()._unVal.nInteger : -999999;
}

float real(const ScriptValue& value) {
    return value.type() == OT_FLOAT ? value.object()._unVal.fFloat : -999999.0f;
}

} // namespace

TEST_F(HostTest, RandomValuesStayWithinRandMax) {
    EXPECT_EQ(integer(run("return RAND_MAX")), 32767);
    // glibc's own rand would exceed RAND_MAX at once; the engine's generator covers 0…32767.
    ScriptValue range =
        run("local lo = 99999, hi = -1; for (local i = 0; i < 20000; ++i) { local r = rand(); "
            "if (r < lo) lo = r; if (r > hi) hi = r; } return [lo, hi];");
    ASSERT_EQ(range.type(), OT_ARRAY);
    ScriptHost::setValue(ScriptHost::root(), "range", range);
    EXPECT_GE(integer(run("return range[0]")), 0);
    EXPECT_LE(integer(run("return range[0]")), 100);
    EXPECT_LE(integer(run("return range[1]")), 32767);
    EXPECT_GE(integer(run("return range[1]")), 32600);
    // One generator: srand in a script restarts the sequence native code sees too.
    run("srand(1234)");
    std::int32_t first = engineRandom();
    engineSeedRandom(1234);
    EXPECT_EQ(engineRandom(), first);
    EXPECT_EQ(integer(run("srand(99); local a = rand(); srand(99); return a == rand() ? 1 : 0;")), 1);
}

TEST_F(HostTest, MathConstantsAreSinglePrecisionAndExtraFunctionsExist) {
    EXPECT_EQ(real(run("return PI")), 3.1415927f);
    EXPECT_EQ(real(run("return DBPI")), 6.2831855f);
    EXPECT_EQ(real(run("return HALFPI")), 1.5707964f);
    EXPECT_EQ(real(run("return INVDBPI")), 0.15915494f);
    EXPECT_EQ(real(run("return round(2.5)")), 3.0f);
    EXPECT_EQ(real(run("return round(-2.5)")), -3.0f);
    EXPECT_EQ(real(run("return round(1.4)")), 1.0f);
    EXPECT_EQ(real(run("return fmod(7.5, 2)")), 1.5f);
    EXPECT_EQ(real(run("return fmod(-7.5, 2)")), -1.5f);
    EXPECT_EQ(real(run("return sqrt(16)")), 4.0f); // the standard set is still there
}

TEST_F(HostTest, GetenvReadsTheEngineEnvironment) {
    setenv("HH_HOST_TEST_VALUE", "harbour", 1);
    ScriptValue value = run("return getenv(\"HH_HOST_TEST_VALUE\")");
    ASSERT_EQ(value.type(), OT_STRING);
    HSQOBJECT object = value.object();
    EXPECT_STREQ(sq_objtostring(&object), "harbour");
    EXPECT_TRUE(run("return getenv(\"HH_HOST_TEST_UNSET_NAME\")").isNull());
    // KD_UDID falls back as kdGetEnv does.
    unsetenv("KD_UDID");
    setenv("COMPUTERNAME", "dockside", 1);
    value = run("return getenv(\"KD_UDID\")");
    object = value.object();
    ASSERT_EQ(value.type(), OT_STRING);
    EXPECT_STREQ(sq_objtostring(&object), "dockside");
    unsetenv("COMPUTERNAME");
}

TEST_F(HostTest, ClockGivesWholeSecondsOfTheMonotonicCounter) {
    ScriptValue value = run("return clock()");
    ASSERT_EQ(value.type(), OT_INTEGER);
    EXPECT_NEAR(value.object()._unVal.nInteger, static_cast<SQInteger>(kdGetTimeUST() / 1000000000u), 1);
}

TEST_F(HostTest, SystemHandsTheTextToTheOpenerWithoutAShell) {
    // A stand-in opener on PATH that records its arguments.
    std::filesystem::path bin = m_folder / "bin";
    std::filesystem::create_directories(bin);
    std::filesystem::path record = m_folder / "opened.txt";
    {
        std::ofstream script(bin / "xdg-open");
        script << "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > '" << record.string() << ".tmp'\nmv '"
               << record.string() << ".tmp' '" << record.string() << "'\n";
    }
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (bin.string() + ":" + oldPath).c_str(), 1);

    std::filesystem::path marker = m_folder / "injected";
    std::string command = "http://example.invalid/a b; touch " + marker.string() + " $(id)";
    run(("result <- system(\"" + command + "\")").c_str());
    EXPECT_EQ(ScriptHost::getInt(ScriptHost::root(), "result"), 0);
    for (int i = 0; i < 500 && !std::filesystem::exists(record); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(record);
    std::stringstream got;
    got << in.rdbuf();
    EXPECT_EQ(got.str(), "1|" + command);
    EXPECT_FALSE(std::filesystem::exists(marker));

    // No opener at all: -1.
    setenv("PATH", (m_folder / "nothing-here").c_str(), 1);
    EXPECT_EQ(integer(run("return system(\"file.txt\")")), -1);
    setenv("PATH", oldPath.c_str(), 1);

    // Anything but a string is refused with the library's message.
    EXPECT_TRUE(run("return system(12)").isNull());
    EXPECT_THAT(takeLog(), StartsWith("error: [wrong param]\n"));
}
