// Script timers on the real event loop: periodic firing, cancellation from outside and from inside their own
// closure, handles that are never reused, and callbacks that are not script closures.
#include "test_global_fixture.h"

namespace {

class ScriptTimers : public GlobalFunctionsTest {
protected:
    // Runs the event loop for `ms` milliseconds, as the engine's main loop does. A timer of the test's own,
    // without a callback, keeps the wait from blocking once every script timer is gone.
    void pumpFor(int ms) {
        static int sentinel;
        KDTimer* wake = kdSetTimer(5 * 1000000, &sentinel);
        KDust end = kdGetTimeUST() + KDust(ms) * 1000000u;
        while (kdGetTimeUST() < end) {
            const KDEvent* event = kdWaitEvent();
            if (event != nullptr) {
                EXPECT_EQ(event->userptr, &sentinel)
                    << "every script timer event is consumed by its callback";
            }
        }
        kdCancelTimer(wake);
    }
    SQInteger rootInt(const char* name) { return ScriptHost::getInt(ScriptHost::root(), name); }
};

TEST_F(ScriptTimers, FireAtTheirPeriodUntilCancelled) {
    run("ticks <- 0; times <- []; handle <- setTimer(50, function() { ++ticks; "
        "times.append(getSystemTime()); });");
    EXPECT_GT(rootInt("handle"), 0);
    pumpFor(275);
    SQInteger ticks = rootInt("ticks");
    EXPECT_GE(ticks, 3);
    EXPECT_LE(ticks, 6);
    // Consecutive firings are at least a period apart (the timer measures from its last firing).
    EXPECT_TRUE(holds("(function() { for (local i = 1; i < times.len(); ++i)"
                      " if (times[i] - times[i - 1] < 49) return false; return true; })()"));
    run("cancelTimer(handle);");
    EXPECT_EQ(liveScriptTimerCount(), 0);
    pumpFor(120);
    EXPECT_EQ(rootInt("ticks"), ticks);
    EXPECT_EQ(takeLog(), "");
}

TEST_F(ScriptTimers, ATimerCancelsItselfFromItsOwnClosure) {
    run("fired <- 0;"
        "self <- setTimer(20, function() { ++fired; cancelTimer(self); });"
        "other <- setTimer(20, function() {});");
    pumpFor(150);
    EXPECT_EQ(rootInt("fired"), 1) << "a one-shot timer fires once";
    EXPECT_EQ(liveScriptTimerCount(), 1);
    run("cancelTimer(other);");
    EXPECT_EQ(liveScriptTimerCount(), 0);
    EXPECT_EQ(takeLog(), "");
}

TEST_F(ScriptTimers, ATimerCancelsAnotherFromItsClosure) {
    run("a <- 0; b <- 0; hb <- setTimer(500, function() { ++b; });"
        "ha <- setTimer(20, function() { ++a; cancelTimer(hb); cancelTimer(ha); });");
    pumpFor(100);
    EXPECT_EQ(rootInt("a"), 1);
    EXPECT_EQ(rootInt("b"), 0);
    EXPECT_EQ(liveScriptTimerCount(), 0);
}

TEST_F(ScriptTimers, HandlesAreSmallIntegersNeverReused) {
    run("h1 <- setTimer(1000, function() {}); cancelTimer(h1); h2 <- setTimer(1000, function() {});"
        "cancelTimer(h1); cancelTimer(12345); cancelTimer(-1);");
    EXPECT_NE(rootInt("h1"), rootInt("h2"));
    EXPECT_EQ(liveScriptTimerCount(), 1) << "a stale or unknown handle cancels nothing";
    EXPECT_EQ(takeLog(), "");
}

TEST_F(ScriptTimers, ACallbackThatIsNotAClosureIsRefused) {
    EXPECT_TRUE(holds("setTimer(100, \"tick\") == null"));
    EXPECT_EQ(takeLog(), "error: invalid callback type\n");
    EXPECT_TRUE(holds("setTimer(100, print) == null")) << "a native function is refused too";
    EXPECT_EQ(takeLog(), "error: invalid callback type\n");
    EXPECT_EQ(liveScriptTimerCount(), 0);
}

TEST_F(ScriptTimers, AClosureErrorIsPrintedAndTheTimerKeepsRunning) {
    run("runs <- 0; setTimer(20, function() { ++runs; throw \"boom\"; });");
    pumpFor(110);
    EXPECT_GE(rootInt("runs"), 2);
    EXPECT_NE(takeLog().find("error: [boom]"), std::string::npos);
}

void* g_timerUserptr = nullptr;

void noteTimerUserptr(const KDEvent* event) {
    g_timerUserptr = event->userptr;
}

TEST_F(ScriptTimers, ACancelledTimerLeavesNoCallbackEntry) {
    // A wildcard callback installed after the script timer's own entry sees its event first, and with it the
    // user pointer the script timer's entry was installed for.
    run("ticks <- 0; handle <- setTimer(0, function() { ++ticks; });");
    ASSERT_EQ(kdInstallCallback(&noteTimerUserptr, KD_EVENT_TIMER, nullptr), 0);
    g_timerUserptr = nullptr;
    while (g_timerUserptr == nullptr) {
        kdPumpEvents();
    }
    ASSERT_EQ(kdInstallCallback(nullptr, KD_EVENT_TIMER, nullptr), 0);
    run("cancelTimer(handle);");
    // An event carrying the cancelled record's pointer finds no entry: it reaches the queue untouched.
    KDEvent* posted = kdCreateEvent();
    posted->type = KD_EVENT_TIMER;
    posted->userptr = g_timerUserptr;
    posted->data.words[0] = 42;
    ASSERT_EQ(kdPostEvent(posted), 0);
    const KDEvent* event = kdWaitEvent();
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->type, KD_EVENT_TIMER);
    EXPECT_EQ(event->userptr, g_timerUserptr);
    EXPECT_EQ(event->data.words[0], 42);
    EXPECT_EQ(rootInt("ticks"), 0);
}

TEST_F(ScriptTimers, CancellingEveryTimerStopsThemAll) {
    run("n <- 0; setTimer(10, function() { ++n; }); setTimer(10, function() { ++n; });");
    EXPECT_EQ(liveScriptTimerCount(), 2);
    cancelAllScriptTimers();
    EXPECT_EQ(liveScriptTimerCount(), 0);
    pumpFor(50);
    EXPECT_EQ(rootInt("n"), 0);
}

} // namespace
