// Periodic timers: each posts at most one pending KD_EVENT_TIMER, measured from the check that fired it.
#include "platform/kd.h"
#include "platform/platform_hooks.h"
#include "platform/src/event_system.h"

#include <new>

struct KDTimer {
    KDint64 interval;
    KDint kind;
    void* userptr;
    KDust lastFiring;
    KDTimer* next;
};

namespace {

KDTimer* g_timers = nullptr; // creation order
KDTimer* g_lastTimer = nullptr;

} // namespace

KDTimer* kdSetTimer(KDint64 interval, void* eventuserptr) {
    auto* timer = new (std::nothrow)
        KDTimer{interval, KD_TIMER_PERIODIC_MINIMUM, eventuserptr, kdGetTimeUST(), nullptr};
    if (!timer) return nullptr;
    if (g_lastTimer)
        g_lastTimer->next = timer;
    else
        g_timers = timer;
    g_lastTimer = timer;
    return timer;
}

KDint kdCancelTimer(KDTimer* timer) {
    if (!timer) return -1;
    // Only a timer that is really in the list is freed: a second cancel of the same handle is refused.
    KDTimer* previous = nullptr;
    KDTimer* current = g_timers;
    while (current && current != timer) {
        previous = current;
        current = current->next;
    }
    if (!current) return -1;
    if (previous)
        previous->next = timer->next;
    else
        g_timers = timer->next;
    if (g_lastTimer == timer) g_lastTimer = previous;
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
}

} // namespace platform
