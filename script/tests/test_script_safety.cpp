// Runaway scripts through the real host: the step budget of each entry from native code (a timer, a call, a
// root function), work charged by size, threads sharing their caller's budget, deep recursion and huge
// allocations ending in script errors with the next call running normally, and script timers bounded.
#include "host_test_support.h"

#include "script/script_call.h"

#include <gmock/gmock.h>

#include <cstdlib>

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

class SafetyTest : public HostTest {
protected:
    void TearDown() override {
        ScriptHost::setStepBudget(ScriptHost::kDefaultStepBudget);
        HostTest::TearDown();
    }
    // Pumps the event loop `times` times, as the engine's main loop does between frames.
    static void pump(int times) {
        for (int i = 0; i < times; ++i) kdPumpEvents();
    }
};

TEST_F(SafetyTest, RunawayTimerCallbackIsStoppedNamedAndTheNextOneRuns) {
    ScriptHost::setStepBudget(100000);
    run("spins <- 0; ticks <- 0;"
        "function spin() { ++spins; while (true) {} }"
        "function tick() { ++ticks; }"
        "spinner <- setTimer(0, spin); ticker <- setTimer(0, tick);");
    pump(3);
    EXPECT_EQ(rootInt("spins"), 3) << "the runaway timer keeps firing, stopped each time";
    EXPECT_EQ(rootInt("ticks"), 3) << "the timer after it runs normally";
    std::string log = takeLog();
    EXPECT_THAT(log, HasSubstr("error: [step budget exhausted]"));
    EXPECT_THAT(log, HasSubstr("error: script stopped: timer " + std::to_string(rootInt("spinner")) +
                               ", 'spin' (console_buffer) ran out of its step budget of 100000 steps\n"));
    EXPECT_THAT(log, Not(HasSubstr("timer " + std::to_string(rootInt("ticker")))));
}

TEST_F(SafetyTest, EachEntryGetsTheWholeBudgetAndNestedCallsShareIt) {
    ScriptHost::setStepBudget(1000);
    // 600 steps each: two calls in a row both fit, the same work twice in one entry does not.
    run("function work() { for (local i = 0; i < 600; ++i) {} return true; }");
    EXPECT_TRUE(holds("work()"));
    EXPECT_TRUE(holds("work()"));
    EXPECT_EQ(takeLog(), "");
    EXPECT_FALSE(holds("work() && work()"));
    EXPECT_THAT(takeLog(),
                HasSubstr("error: script stopped: 'main' (console_buffer) ran out of its step budget "
                          "of 1000 steps\n"));
    // A root function called by name is named by it; so is a ScriptCall given a name.
    run("function initApp() { while (true) {} }");
    takeLog();
    ScriptHost::callRootFunction("initApp");
    EXPECT_THAT(takeLog(), HasSubstr("error: script stopped: initApp, 'initApp' (console_buffer)"));
    ASSERT_TRUE(ScriptCall::begin(ScriptHost::getSlot(ScriptHost::root(), "initApp")));
    EXPECT_TRUE(ScriptCall::end("Update of a scripted object").isNull());
    EXPECT_THAT(takeLog(), HasSubstr("error: script stopped: Update of a scripted object, 'initApp'"));
}

TEST_F(SafetyTest, RunawayWorkEndsInAScriptErrorWhatEverItSpendsItsTimeOn) {
    ScriptHost::setStepBudget(200000);
    run("state <- \"kept\";");
    struct Case {
        const char* script;
        const char* error;
    };
    // Each would run for minutes, hang the machine or exhaust its memory without the budget and the caps.
    const Case cases[] = {
        {"while (true) {}", "step budget exhausted"},
        {"function recurse() { recurse(); }\nrecurse();", "stack overflow"},
        {"local t = newthread(function() { while (true) {} }); t.call();", "step budget exhausted"},
        {"local g = function() { while (true) yield 1; }(); while (true) resume g;", "step budget exhausted"},
        {"array(1 << 30);", "step budget exhausted"},
        {"[].resize(1 << 30);", "step budget exhausted"},
        {"local s = \"x\"; while (true) s += s;", "step budget exhausted"},
        {"local s = \"\"; for (local i = 0; i < 100000; ++i) s += \"0123456789\";", "step budget exhausted"},
        {"local a = array(20000, 0); while (true) a.extend(a);", "step budget exhausted"},
        {"local a = array(60000, 1); a.sort();", "step budget exhausted"},
        {"local s = format(\"%s\", \"x\"); while (true) s = s + s + s.toupper();", "step budget exhausted"},
        {"local r = regexp(\"(a|a)*b\"); r.match(\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaac\");",
         "step budget exhausted"},
        {"blob(1 << 30);", "out of memory"},
        {"local t = {}\nwhile (true) t = clone t;", "step budget exhausted"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(run(c.script).isNull()) << c.script;
        EXPECT_THAT(takeLog(), HasSubstr(std::string("error: [") + c.error + "]")) << c.script;
        // The VM is usable at once and the game's state is as it was.
        EXPECT_TRUE(holds("state == \"kept\" && [3, 1, 2].sort() == null")) << c.script;
        EXPECT_EQ(takeLog(), "") << c.script;
    }
}

TEST_F(SafetyTest, DeepRecursionIsAScriptErrorUnderTheDefaultBudget) {
    run("function down(n) { return down(n + 1) + 1; }");
    EXPECT_TRUE(run("down(0);").isNull());
    EXPECT_THAT(takeLog(), HasSubstr("error: [stack overflow]"));
    EXPECT_TRUE(holds("(function() { local n = 0; for (local i = 0; i < 1000; ++i) n += i; return n; })() == "
                      "499500"));
}

TEST_F(SafetyTest, StringBuildingIsChargedByItsSize) {
    // A loop that appends to a growing string copies the whole string every time: without a charge per
    // byte it would get 500,000 rounds out of 1,000,000 steps (over a terabyte copied); charged, it gets a
    // few thousand.
    ScriptHost::setStepBudget(1000000);
    run("rounds <- 0; function grow() { local s = \"\"; while (true) { s += \"0123456789\"; ++rounds; } }");
    EXPECT_TRUE(run("grow();").isNull());
    EXPECT_GT(rootInt("rounds"), 1000);
    EXPECT_LT(rootInt("rounds"), 5000);
    // Work of a bounded size passes as before.
    EXPECT_TRUE(holds("(function() { local s = \"\"; for (local i = 0; i < 1000; ++i) s += \"ab\"; "
                      "return s.len(); })() == 2000"));
}

TEST_F(SafetyTest, BudgetComesFromTheEnvironmentAndCanBeLifted) {
    ScriptHost::destroy();
    setenv("HH_SCRIPT_STEP_BUDGET", "5000", 1);
    ScriptHost::create(0, nullptr);
    unsetenv("HH_SCRIPT_STEP_BUDGET");
    EXPECT_EQ(ScriptHost::stepBudget(), 5000);
    EXPECT_FALSE(holds("(function() { for (local i = 0; i < 6000; ++i) {} return true; })()"));
    ScriptHost::setStepBudget(0);
    EXPECT_EQ(ScriptHost::stepBudget(), -1);
    EXPECT_TRUE(holds("(function() { for (local i = 0; i < 6000; ++i) {} return true; })()"));

    ScriptHost::destroy();
    setenv("HH_SCRIPT_STEP_BUDGET", "lots", 1);
    ScriptHost::create(0, nullptr);
    unsetenv("HH_SCRIPT_STEP_BUDGET");
    EXPECT_EQ(ScriptHost::stepBudget(), ScriptHost::kDefaultStepBudget);
    EXPECT_THAT(takeLog(), HasSubstr("HH_SCRIPT_STEP_BUDGET=lots is not a number"));
}

TEST_F(SafetyTest, LiveTimersAreBoundedWithAScriptError) {
    run("made <- 0; first <- 0; function idle() {}"
        "function many() { for (local i = 0; i < 5000; ++i) { local h = setTimer(100000, idle);"
        " if (made++ == 0) first = h; } }");
    EXPECT_TRUE(run("many();").isNull());
    EXPECT_EQ(rootInt("made"), kMaxScriptTimers);
    EXPECT_EQ(liveScriptTimerCount(), kMaxScriptTimers);
    EXPECT_THAT(takeLog(),
                HasSubstr("error: [setTimer: too many live timers (4096); cancel the ones not needed]"));
    // Cancelling one makes room for one.
    run("cancelTimer(first); setTimer(100000, idle); ++made;");
    EXPECT_EQ(rootInt("made"), kMaxScriptTimers + 1);
    EXPECT_EQ(takeLog(), "");
}

TEST_F(SafetyTest, SelfRearmingTimersHitTheBoundAndQuitStillComesThrough) {
    // Each firing sets one more timer instead of letting its own one repeat: the count doubles every pump.
    run("fired <- 0; function rearm() { ++fired; setTimer(0, rearm); } setTimer(0, rearm);");
    int pumps = 0;
    while (liveScriptTimerCount() < kMaxScriptTimers && pumps < 20) {
        kdPumpEvents();
        ++pumps;
    }
    EXPECT_EQ(liveScriptTimerCount(), kMaxScriptTimers);
    EXPECT_EQ(pumps, 12);
    pump(2);
    EXPECT_EQ(liveScriptTimerCount(), kMaxScriptTimers) << "past the bound setTimer raises";
    EXPECT_THAT(takeLog(), HasSubstr("too many live timers"));
    // The quit the game posts is handed out after one pump that ran every timer once.
    KDint64 firedBefore = rootInt("fired");
    KDEvent* quit = kdCreateEvent();
    quit->type = KD_EVENT_QUIT;
    ASSERT_EQ(kdPostEvent(quit), 0);
    const KDEvent* event = kdWaitEvent();
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->type, KD_EVENT_QUIT);
    EXPECT_LE(rootInt("fired") - firedBefore, kMaxScriptTimers);
    cancelAllScriptTimers();
    takeLog();
}

} // namespace
