// The event queue, callbacks and timers, in process.
#include "platform/kd.h"
#include "platform/platform_hooks.h"
#include "platform/src/event_system.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace {

// Every test starts and ends with an empty event system; the sanitizer build then catches anything freed
// twice or leaked by the queue.
class Events : public ::testing::Test {
protected:
    void TearDown() override {
        platform::setOsPumpHook(nullptr);
        platform::setJoystickPollHook(nullptr);
        platform::stopEventSystem();
        s_seen.clear();
    }

    static KDEvent* post(KDint32 type, void* userptr = nullptr, KDint32 word0 = 0) {
        KDEvent* event = kdCreateEvent();
        event->type = type;
        event->userptr = userptr;
        event->data.words[0] = word0;
        EXPECT_EQ(kdPostEvent(event), 0);
        return event;
    }

    static void record(const KDEvent* event) { s_seen.push_back(event->type); }

    static std::vector<KDint32> s_seen;
};

std::vector<KDint32> Events::s_seen;

int g_tokenA, g_tokenB;
void* const kUserA = &g_tokenA;
void* const kUserB = &g_tokenB;

TEST_F(Events, WildcardCallbackConsumesEveryEvent) {
    ASSERT_EQ(kdInstallCallback(record, 0, nullptr), 0);
    post(KD_EVENT_QUIT);
    post(KD_EVENT_INPUT, kUserA);
    post(KD_EVENT_TIMER, kUserB);
    EXPECT_EQ(kdWaitEvent(), nullptr);
    EXPECT_EQ(s_seen, (std::vector<KDint32>{KD_EVENT_QUIT, KD_EVENT_INPUT, KD_EVENT_TIMER}));
    EXPECT_EQ(kdPumpEvents(), -1) << "the queue is empty";
}

TEST_F(Events, CallbackFiltersOnTypeAndUserPointer) {
    kdInstallCallback(record, KD_EVENT_INPUT, kUserA);
    post(KD_EVENT_INPUT, kUserB);
    post(KD_EVENT_INPUT, kUserA);
    post(KD_EVENT_QUIT, kUserA);
    const KDEvent* first = kdWaitEvent();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->userptr, kUserB);
    const KDEvent* second = kdWaitEvent();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->type, KD_EVENT_QUIT);
    EXPECT_EQ(s_seen, std::vector<KDint32>{KD_EVENT_INPUT});
}

int g_newerCalls, g_olderCalls;
void newer(const KDEvent*) {
    ++g_newerCalls;
}
void older(const KDEvent*) {
    ++g_olderCalls;
}

TEST_F(Events, NewestCallbackWinsAndRemovalIsExact) {
    g_newerCalls = g_olderCalls = 0;
    kdInstallCallback(older, KD_EVENT_QUIT, nullptr);
    kdInstallCallback(newer, KD_EVENT_QUIT, nullptr);
    post(KD_EVENT_QUIT);
    kdPumpEvents();
    EXPECT_EQ(g_newerCalls, 1);
    EXPECT_EQ(g_olderCalls, 0);

    // Removal compares type and user pointer as values: a stored 0 or null is no wildcard here.
    EXPECT_EQ(kdInstallCallback(nullptr, 0, nullptr), -1);
    EXPECT_EQ(kdInstallCallback(nullptr, KD_EVENT_QUIT, kUserA), -1);
    EXPECT_EQ(kdInstallCallback(nullptr, KD_EVENT_QUIT, nullptr), 0);
    post(KD_EVENT_QUIT);
    kdPumpEvents();
    EXPECT_EQ(g_newerCalls, 1);
    EXPECT_EQ(g_olderCalls, 1);
    EXPECT_EQ(kdInstallCallback(nullptr, KD_EVENT_QUIT, nullptr), 0);
    EXPECT_EQ(kdInstallCallback(nullptr, KD_EVENT_QUIT, nullptr), -1);
}

TEST_F(Events, PostStampsOnlyUnstampedEvents) {
    EXPECT_EQ(kdPostEvent(nullptr), -1);
    KDust before = kdGetTimeUST();
    post(KD_EVENT_PAUSE);
    KDEvent* preset = kdCreateEvent();
    preset->type = KD_EVENT_RESUME;
    preset->timestamp = 12345;
    kdPostEvent(preset);
    const KDEvent* stamped = kdWaitEvent();
    ASSERT_NE(stamped, nullptr);
    EXPECT_GE(stamped->timestamp, before);
    EXPECT_LE(stamped->timestamp, kdGetTimeUST());
    const KDEvent* kept = kdWaitEvent();
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->timestamp, 12345u);
}

TEST_F(Events, FreshRecordsAreBlankAndBeingFilled) {
    KDEvent* event = kdCreateEvent();
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->type, -1);
    EXPECT_EQ(event->timestamp, 0u);
    EXPECT_EQ(event->userptr, nullptr);
    kdFreeEvent(event);
}

TEST_F(Events, PoolOfSixteenThenHeap) {
    std::vector<KDEvent*> events;
    for (int i = 0; i < 17; ++i) events.push_back(kdCreateEvent());
    // A freed pool record is the first free one again; the 17th lives on the heap and goes back to it.
    KDEvent* fifth = events[4];
    kdFreeEvent(fifth);
    EXPECT_EQ(kdCreateEvent(), fifth);
    // The first sixteen are the pool, in order; the seventeenth lies outside it.
    const auto address = [](const KDEvent* event) { return reinterpret_cast<std::uintptr_t>(event); };
    const std::uintptr_t stride = address(events[1]) - address(events[0]); // a record and the queue's links
    EXPECT_GE(stride, sizeof(KDEvent));
    for (int i = 0; i < 16; ++i) EXPECT_EQ(address(events[i]), address(events[0]) + i * stride) << i;
    const std::uintptr_t heap = address(events[16]);
    EXPECT_TRUE(heap < address(events[0]) || heap >= address(events[0]) + 16 * stride);
    for (KDEvent* event : events) kdFreeEvent(event);
}

TEST_F(Events, LastReturnedEventStaysReadableUntilTheNextWait) {
    post(KD_EVENT_INPUT, kUserA, 77);
    post(KD_EVENT_QUIT);
    const KDEvent* first = kdWaitEvent();
    ASSERT_NE(first, nullptr);
    post(KD_EVENT_PAUSE); // posting more keeps the handed-out event intact
    kdPumpEvents();
    EXPECT_EQ(first->type, KD_EVENT_INPUT);
    EXPECT_EQ(first->data.words[0], 77);
    EXPECT_EQ(kdWaitEvent()->type, KD_EVENT_QUIT);
    EXPECT_EQ(kdWaitEvent()->type, KD_EVENT_PAUSE);
}

TEST_F(Events, PurgeRemovesOnlyMatchingEvents) {
    post(KD_EVENT_INPUT_POINTER, kUserA, KD_INPUT_POINTER_X);
    post(KD_EVENT_INPUT_POINTER, kUserA, KD_INPUT_POINTER_SELECT);
    post(KD_EVENT_INPUT_POINTER, kUserB, KD_INPUT_POINTER_X);
    post(KD_EVENT_TIMER, kUserA);
    post(KD_EVENT_TIMER, kUserB);
    platform::purgePointerMoves(kUserA);
    platform::purgeEvents(KD_EVENT_TIMER, kUserB);
    std::vector<std::pair<KDint32, void*>> left;
    while (const KDEvent* event = kdWaitEvent()) {
        left.emplace_back(event->type == KD_EVENT_INPUT_POINTER ? event->data.inputpointer.index
                                                                : event->type,
                          event->userptr);
        if (left.size() == 3) break;
    }
    EXPECT_EQ(left, (std::vector<std::pair<KDint32, void*>>{{KD_INPUT_POINTER_SELECT, kUserA},
                                                            {KD_INPUT_POINTER_X, kUserB},
                                                            {KD_EVENT_TIMER, kUserA}}));
}

// The one-shot timer: a callback that cancels its own timer. The event being dispatched must not be freed by
// the cancel's purge and again by the dispatcher.
KDTimer* g_oneShot;
int g_oneShotCalls;
void cancelOwnTimer(const KDEvent* event) {
    ++g_oneShotCalls;
    EXPECT_EQ(event->type, KD_EVENT_TIMER);
    EXPECT_EQ(kdCancelTimer(g_oneShot), 0);
    EXPECT_EQ(event->userptr, kUserA) << "the event stays readable during its callback";
}

TEST_F(Events, OneShotTimerCancelledInItsOwnCallback) {
    g_oneShotCalls = 0;
    g_oneShot = kdSetTimer(0, kUserA);
    ASSERT_NE(g_oneShot, nullptr);
    kdInstallCallback(cancelOwnTimer, KD_EVENT_TIMER, kUserA);
    post(KD_EVENT_QUIT);
    const KDEvent* event = kdWaitEvent();
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->type, KD_EVENT_QUIT);
    EXPECT_EQ(g_oneShotCalls, 1);
    EXPECT_EQ(kdPumpEvents(), -1) << "the cancelled timer posts nothing more";
    EXPECT_EQ(g_oneShotCalls, 1);
    EXPECT_EQ(kdCancelTimer(g_oneShot), -1) << "a second cancel is refused, not a second free";
    EXPECT_EQ(kdCancelTimer(nullptr), -1);
}

// A callback that purges the event the walk would visit next, and one that posts: the walk stays valid and
// dispatches the new event in the same pump.
KDTimer* g_otherTimer;
std::vector<KDint32> g_dispatched;
void cancelOtherTimer(const KDEvent* event) {
    g_dispatched.push_back(event->type);
    kdCancelTimer(g_otherTimer);
}
void postFollowUp(const KDEvent* event) {
    g_dispatched.push_back(event->type);
    if (event->type == KD_EVENT_PAUSE) {
        KDEvent* next = kdCreateEvent();
        next->type = KD_EVENT_RESUME;
        kdPostEvent(next);
    }
}

TEST_F(Events, CallbacksMayPurgeTheNextEventAndPostNewOnes) {
    g_dispatched.clear();
    g_otherTimer = kdSetTimer(1000000000, kUserB);
    kdInstallCallback(cancelOtherTimer, KD_EVENT_TIMER, kUserA);
    kdInstallCallback(postFollowUp, KD_EVENT_PAUSE, nullptr);
    kdInstallCallback(postFollowUp, KD_EVENT_RESUME, nullptr);
    post(KD_EVENT_TIMER, kUserA);
    post(KD_EVENT_TIMER, kUserB); // purged by the first callback before the walk reaches it
    post(KD_EVENT_PAUSE);
    EXPECT_EQ(kdPumpEvents(), 0);
    EXPECT_EQ(g_dispatched, (std::vector<KDint32>{KD_EVENT_TIMER, KD_EVENT_PAUSE, KD_EVENT_RESUME}));
    EXPECT_EQ(kdPumpEvents(), -1) << "nothing is left for the caller";
}

// Removing its own entry inside the callback is allowed; later events then reach the caller.
void removeSelf(const KDEvent* event) {
    g_dispatched.push_back(event->type);
    kdInstallCallback(nullptr, KD_EVENT_INPUT, nullptr);
}

TEST_F(Events, CallbackMayRemoveItself) {
    g_dispatched.clear();
    kdInstallCallback(removeSelf, KD_EVENT_INPUT, nullptr);
    post(KD_EVENT_INPUT, kUserA, 1);
    post(KD_EVENT_INPUT, kUserA, 2);
    const KDEvent* event = kdWaitEvent();
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->data.words[0], 2);
    EXPECT_EQ(g_dispatched.size(), 1u);
}

// A callback that pumps again: the inner pump dispatches what follows, and the outer walk continues after it
// without visiting anything the inner one consumed.
void pumpInside(const KDEvent* event) {
    g_dispatched.push_back(event->type);
    if (event->type != KD_EVENT_PAUSE) return;
    KDEvent* next = kdCreateEvent();
    next->type = KD_EVENT_RESUME;
    kdPostEvent(next);
    kdPumpEvents();
}

TEST_F(Events, NestedPumpKeepsBothWalksValid) {
    g_dispatched.clear();
    kdInstallCallback(pumpInside, KD_EVENT_PAUSE, nullptr);
    kdInstallCallback(pumpInside, KD_EVENT_RESUME, nullptr);
    kdInstallCallback(pumpInside, KD_EVENT_INPUT, nullptr);
    post(KD_EVENT_PAUSE);
    post(KD_EVENT_INPUT);
    post(KD_EVENT_QUIT);
    const KDEvent* left = kdWaitEvent();
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(left->type, KD_EVENT_QUIT);
    EXPECT_EQ(g_dispatched, (std::vector<KDint32>{KD_EVENT_PAUSE, KD_EVENT_INPUT, KD_EVENT_RESUME}));
    EXPECT_EQ(kdPumpEvents(), -1);
}

TEST_F(Events, LateTimerFiresOnceAndRestartsFromTheLateCheck) {
    constexpr KDint64 kInterval = 8000000;
    KDTimer* timer = kdSetTimer(kInterval, kUserA);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    // Several late pumps in a row still leave a single pending expiry: coalesced, never made up.
    kdPumpEvents();
    kdPumpEvents();
    const KDEvent* fired = kdWaitEvent();
    ASSERT_NE(fired, nullptr);
    EXPECT_EQ(fired->type, KD_EVENT_TIMER);
    EXPECT_EQ(fired->userptr, kUserA);
    KDust firedAt = fired->timestamp; // a timer event carries its firing time
    while (kdGetTimeUST() - firedAt < static_cast<KDust>(kInterval)) {
        if (kdPumpEvents() == 0) {
            // Only possible when the pumps above were themselves late by a whole interval.
            ASSERT_GE(kdGetTimeUST() - firedAt, static_cast<KDust>(kInterval));
        }
    }
    const KDEvent* next = kdWaitEvent();
    ASSERT_NE(next, nullptr);
    EXPECT_GE(next->timestamp - firedAt, static_cast<KDust>(kInterval));
    EXPECT_EQ(kdCancelTimer(timer), 0);
}

std::string g_pumpOrder;
void osPump() {
    g_pumpOrder += "os ";
    if (g_pumpOrder.size() > 3) return; // input arrives once
    KDEvent* event = kdCreateEvent();
    event->type = KD_EVENT_INPUT;
    kdPostEvent(event);
}
void joystickPoll() {
    g_pumpOrder += "joystick ";
}

TEST_F(Events, PumpDrainsOsInputThenJoystickThenTimers) {
    g_pumpOrder.clear();
    platform::setOsPumpHook(osPump);
    platform::setJoystickPollHook(joystickPoll);
    kdSetTimer(0, kUserA);
    const KDEvent* first = kdWaitEvent();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->type, KD_EVENT_INPUT);
    EXPECT_EQ(kdWaitEvent()->type, KD_EVENT_TIMER);
    EXPECT_EQ(g_pumpOrder.substr(0, 12), "os joystick ");
}

TEST_F(Events, StopFreesEverythingAndLeavesAWorkingQueue) {
    kdInstallCallback(record, KD_EVENT_PAUSE, nullptr);
    post(KD_EVENT_QUIT);
    kdWaitEvent();
    for (int i = 0; i < 20; ++i) post(KD_EVENT_INPUT);
    KDTimer* timer = kdSetTimer(5, kUserA);
    platform::stopEventSystem();
    EXPECT_EQ(kdCancelTimer(timer), -1) << "the timer went with the event system";
    EXPECT_EQ(kdPumpEvents(), -1);
    post(KD_EVENT_PAUSE);
    EXPECT_EQ(kdWaitEvent()->type, KD_EVENT_PAUSE) << "the callback went too";
}

int g_firings = 0;
void countFiring(const KDEvent*) {
    ++g_firings;
}

TEST_F(Events, ThousandsOfTimersAreServedWithoutSearchingThemAll) {
    // What a script that re-arms a new timer each time one fires leaves behind: 65,536 timers, each with its
    // own callback, all due on every pump. Finding each event's callback and replacing each timer's pending
    // event must look at a few entries, not at all of them (which made a quit take minutes).
    constexpr int kTimers = 1 << 16;
    std::vector<char> tokens(kTimers);
    std::vector<KDTimer*> timers;
    kdInstallCallback(record, KD_EVENT_PAUSE, nullptr); // a null filter is looked at too
    for (char& token : tokens) {
        ASSERT_EQ(kdInstallCallback(countFiring, KD_EVENT_TIMER, &token), 0);
        timers.push_back(kdSetTimer(0, &token));
    }
    g_firings = 0;
    const platform::EventQueueCounts before = platform::eventQueueCounts();
    kdPumpEvents();
    kdPumpEvents();
    const platform::EventQueueCounts after = platform::eventQueueCounts();
    EXPECT_EQ(g_firings, 2 * kTimers);
    EXPECT_LE(after.callbackEntriesExamined - before.callbackEntriesExamined, 2ull * 2 * kTimers);
    EXPECT_LE(after.eventsExaminedByPurges - before.eventsExaminedByPurges, 2ull * 4 * kTimers);

    // A quit posted behind them comes out of the next wait, after one more round of every timer.
    post(KD_EVENT_QUIT);
    const KDEvent* event = kdWaitEvent();
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->type, KD_EVENT_QUIT);
    EXPECT_EQ(g_firings, 3 * kTimers);

    // Cancelling and removing them is as direct: a second cancel of any is still refused.
    for (int i = 0; i < kTimers; ++i) {
        ASSERT_EQ(kdCancelTimer(timers[i]), 0);
        ASSERT_EQ(kdInstallCallback(nullptr, KD_EVENT_TIMER, &tokens[i]), 0);
    }
    EXPECT_EQ(kdCancelTimer(timers[0]), -1);
    EXPECT_EQ(kdInstallCallback(nullptr, KD_EVENT_TIMER, &tokens[0]), -1);
}

TEST_F(Events, NewestMatchWinsAcrossNullAndExactUserFilters) {
    // Entries for a userptr and entries for any userptr live apart; the newest match still wins.
    kdInstallCallback(record, KD_EVENT_INPUT, kUserA);
    kdInstallCallback(countFiring, 0, nullptr);
    g_firings = 0;
    post(KD_EVENT_INPUT, kUserA);
    kdPumpEvents();
    EXPECT_EQ(g_firings, 1) << "the newer null-filter entry wins";
    EXPECT_TRUE(s_seen.empty());
    kdInstallCallback(record, KD_EVENT_INPUT, kUserA);
    post(KD_EVENT_INPUT, kUserA);
    post(KD_EVENT_INPUT, kUserB);
    kdPumpEvents();
    EXPECT_EQ(s_seen, std::vector<KDint32>{KD_EVENT_INPUT}) << "the newer exact entry wins for A only";
    EXPECT_EQ(g_firings, 2);
    EXPECT_EQ(kdInstallCallback(nullptr, 0, nullptr), 0);
    post(KD_EVENT_INPUT, kUserA);
    kdPumpEvents();
    EXPECT_EQ(s_seen.size(), 2u);
}

TEST(Clock, MonotonicNanoseconds) {
    KDust a = kdGetTimeUST();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    KDust b = kdGetTimeUST();
    EXPECT_GE(b - a, 2000000u);
}

} // namespace
