// Periodic timers: each posts at most one pending KD_EVENT_TIMER, measured from the check that fired it.
//
// The list keeps creation order (the order timers fire in within one pump); a hash set of live timers lets
// kdCancelTimer check its handle and unlink it without walking the list.
#include "platform/kd.h"
#include "platform/platform_hooks.h"
#include "platform/src/event_system.h"

#include <new>
#include <unordered_set>

struct KDTimer {
    KDint64 interval;
    KDint kind;
    void* userptr;
    KDust lastFiring;
    KDTimer* next;
    KDTimer* previous;
};

namespace {

KDTimer* g_timers = nullptr; // creation order
KDTimer* g_lastTimer = nullptr;
std::unordered_set<const KDTimer*> g_live;

} // namespace

KDTimer* kdSetTimer(KDint64 interval, void* eventuserptr) {
    auto* timer = new (std::nothrow)
        KDTimer{interval, KD_TIMER_PERIODIC_MINIMUM, eventuserptr, kdGetTimeUST(), nullptr, g_lastTimer};
    if (!timer) return nullptr;
    try {
        g_live.insert(timer);
    } catch (const std::bad_alloc&) {
        delete timer;
        return nullptr;
    }
    if (g_lastTimer)
        g_lastTimer->next = timer;
    else
        g_timers = timer;
    g_lastTimer = timer;
    return timer;
}

KDint kdCancelTimer(KDTimer* timer) {
    if (!timer) return -1;
    // Only a timer that is really set is freed: a second cancel of the same handle is refused.
    if (g_live.erase(timer) == 0) return -1;
    if (timer->previous)
        timer->previous->next = timer->next;
    else
        g_timers = timer->next;
    if (timer->next)
        timer->next->previous = timer->previous;
    else
        g_lastTimer = timer->previous;
    platform::purgeEvents(KD_EVENT_TIMER, timer->userptr);
    delete timer;
    return 0;
}

namespace platform {

void runTimers() {
    for (KDTimer* timer = g_timers; timer; timer = timer->next) {
        KDust now = kdGetTimeUST();
        if (now - timer->lastFiring < static_cast<KDust>(timer->interval)) continue;
        timer->lastFiring = now;
        KDEvent* event = kdCreateEvent();
        if (!event) continue;
        event->type = KD_EVENT_TIMER;
        event->userptr = timer->userptr;
        event->timestamp = now; // the firing time, from which the next expiry is measured
        purgeEvents(KD_EVENT_TIMER, timer->userptr);
        kdPostEvent(event);
    }
}

void freeAllTimers() {
    while (KDTimer* timer = g_timers) {
        g_timers = timer->next;
        delete timer;
    }
    g_lastTimer = nullptr;
    g_live.clear();
}

} // namespace platform
