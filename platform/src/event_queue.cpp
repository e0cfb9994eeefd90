// The process-wide event queue, its record pool, the callback registry and the pump.
//
// Dispatch invariant: an event is unlinked from the queue before its callback runs and freed after it
// returns, so a callback that purges events (cancelling its own timer is the common case) can never free the
// event being dispatched. Each running dispatch walk keeps a cursor on the next event it will visit;
// unlinking an event moves every cursor that points at it, and posting while a walk has reached the end
// points that cursor at the new event, so events posted by a callback are dispatched in the same pump.
#include "platform/kd.h"
#include "platform/platform_hooks.h"
#include "platform/src/event_system.h"

#include <ctime>
#include <new>

namespace {

constexpr int kPoolSize = 16;
constexpr int kMaxNestedWalks = 8; // pumps nested deeper than this (callbacks pumping) skip dispatch

struct CallbackEntry {
    KDCallbackFunc* func;
    KDint type;
    void* userptr;
    CallbackEntry* next;
};

struct DispatchWalk {
    KDEvent* next; // the next event this walk visits; null once it reached the end of the queue
};

struct EventQueue {
    KDEvent pool[kPoolSize] = {};
    KDEvent* head = nullptr;
    KDEvent* tail = nullptr;
    KDEvent* lastReturned = nullptr;
    CallbackEntry* callbacks = nullptr; // newest first
    DispatchWalk* walks[kMaxNestedWalks] = {};
    int walkDepth = 0;
    platform::PumpHook* osPump = nullptr;
    platform::PumpHook* joystickPoll = nullptr;

    bool isPoolRecord(const KDEvent* event) const { return event >= pool && event < pool + kPoolSize; }

    bool isQueued(const KDEvent* event) const { return event->previous || event->next || head == event; }

    void unlink(KDEvent* event) {
        for (int i = 0; i < walkDepth; ++i)
            if (walks[i]->next == event) walks[i]->next = event->next;
        if (event->previous)
            event->previous->next = event->next;
        else
            head = event->next;
        if (event->next)
            event->next->previous = event->previous;
        else
            tail = event->previous;
        event->next = nullptr;
        event->previous = nullptr;
    }

    void append(KDEvent* event) {
        event->next = nullptr;
        event->previous = tail;
        if (tail)
            tail->next = event;
        else
            head = event;
        tail = event;
        for (int i = 0; i < walkDepth; ++i)
            if (!walks[i]->next) walks[i]->next = event;
    }

    void release(KDEvent* event) {
        if (isPoolRecord(event))
            event->type = 0;
        else
            delete event;
    }

    const CallbackEntry* findCallback(const KDEvent* event) const {
        for (const CallbackEntry* entry = callbacks; entry; entry = entry->next)
            if ((entry->type == 0 || entry->type == event->type) &&
                (!entry->userptr || entry->userptr == event->userptr))
                return entry;
        return nullptr;
    }

    template <typename Match> void purge(Match match) {
        KDEvent* event = head;
        while (event) {
            KDEvent* next = event->next;
            if (match(event)) {
                unlink(event);
                release(event);
            }
            event = next;
        }
    }

    void dispatch() {
        if (walkDepth == kMaxNestedWalks) return;
        DispatchWalk walk{head};
        walks[walkDepth++] = &walk;
        while (KDEvent* event = walk.next) {
            walk.next = event->next;
            const CallbackEntry* entry = findCallback(event);
            if (!entry) continue;
            KDCallbackFunc* func = entry->func; // the entry may be removed by the callback itself
            unlink(event);
            func(event);
            if (!isQueued(event))
                release(event); // a callback that re-posted its event gave it back to the queue
        }
        --walkDepth;
    }
};

EventQueue g_queue;

void sleepOneMillisecond() {
    timespec delay{0, 1000000};
    nanosleep(&delay, nullptr);
}

} // namespace

KDust kdGetTimeUST() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<KDust>(now.tv_sec) * 1000000000u + static_cast<KDust>(now.tv_nsec);
}

KDEvent* kdCreateEvent() {
    KDEvent* event = nullptr;
    for (KDEvent& record : g_queue.pool) {
        if (record.type == 0) {
            event = &record;
            break;
        }
    }
    if (!event) event = new (std::nothrow) KDEvent;
    if (!event) return nullptr;
    *event = KDEvent{};
    event->type = -1;
    return event;
}

KDint kdPostEvent(KDEvent* event) {
    if (!event) return -1;
    if (g_queue.isQueued(event)) return -1; // posting twice would corrupt the links
    if (g_queue.lastReturned == event) g_queue.lastReturned = nullptr; // re-posted: the queue owns it again
    if (event->timestamp == 0) event->timestamp = kdGetTimeUST();
    g_queue.append(event);
    return 0;
}

void kdFreeEvent(KDEvent* event) {
    if (!event) return;
    // Freeing a queued or handed-out record must not leave the queue or the slot pointing at it.
    if (g_queue.isQueued(event)) g_queue.unlink(event);
    if (g_queue.lastReturned == event) g_queue.lastReturned = nullptr;
    g_queue.release(event);
}

KDint kdInstallCallback(KDCallbackFunc* func, KDint eventtype, void* eventuserptr) {
    if (func) {
        auto* entry = new (std::nothrow) CallbackEntry{func, eventtype, eventuserptr, g_queue.callbacks};
        if (!entry) return -1;
        g_queue.callbacks = entry;
        return 0;
    }
    for (CallbackEntry** link = &g_queue.callbacks; *link; link = &(*link)->next) {
        CallbackEntry* entry = *link;
        if (entry->type == eventtype && entry->userptr == eventuserptr) {
            *link = entry->next;
            delete entry;
            return 0;
        }
    }
    return -1;
}

KDint kdPumpEvents() {
    if (g_queue.osPump) g_queue.osPump();
    if (g_queue.joystickPoll) g_queue.joystickPoll();
    platform::runTimers();
    if (!g_queue.head) return -1;
    g_queue.dispatch();
    return 0;
}

const KDEvent* kdWaitEvent() {
    while (kdPumpEvents() == -1) sleepOneMillisecond();
    if (g_queue.lastReturned) {
        g_queue.release(g_queue.lastReturned);
        g_queue.lastReturned = nullptr;
    }
    KDEvent* event = g_queue.head;
    if (!event) return nullptr;
    g_queue.unlink(event);
    g_queue.lastReturned = event;
    return event;
}

namespace platform {

void setOsPumpHook(PumpHook* hook) {
    g_queue.osPump = hook;
}
void setJoystickPollHook(PumpHook* hook) {
    g_queue.joystickPoll = hook;
}

void purgeEvents(KDint32 type, void* userptr) {
    g_queue.purge([&](const KDEvent* event) { return event->type == type && event->userptr == userptr; });
}

void purgePointerMoves(void* userptr) {
    g_queue.purge([&](const KDEvent* event) {
        return event->type == KD_EVENT_INPUT_POINTER && event->userptr == userptr &&
               event->data.inputpointer.index == KD_INPUT_POINTER_X;
    });
}

void stopEventSystem() {
    if (g_queue.lastReturned) {
        g_queue.release(g_queue.lastReturned);
        g_queue.lastReturned = nullptr;
    }
    g_queue.purge([](const KDEvent*) { return true; });
    while (CallbackEntry* entry = g_queue.callbacks) {
        g_queue.callbacks = entry->next;
        delete entry;
    }
    freeAllTimers();
}

} // namespace platform
