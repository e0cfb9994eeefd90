// The process-wide event queue, its record pool, the callback registry and the pump.
//
// Dispatch invariant: an event is unlinked from the queue before its callback runs and freed after it
// returns, so a callback that purges events (cancelling its own timer is the common case) can never free the
// event being dispatched. Each running dispatch walk keeps a cursor on the next event it will visit;
// unlinking an event moves every cursor that points at it, and posting while a walk has reached the end
// points that cursor at the new event, so events posted by a callback are dispatched in the same pump.
//
// Nothing here is linear in the number of callbacks or timers: callbacks are found through a hash of their
// userptr filter (the few with a null filter sit in one list), and queued events are indexed by userptr in
// hash buckets, so purging one timer's pending event looks only at events with that timer's userptr. A game
// that keeps thousands of timers pays per event, not per event times timers.
#include "platform/kd.h"
#include "platform/platform_hooks.h"
#include "platform/src/event_system.h"

#include <cstdint>
#include <ctime>
#include <new>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

constexpr int kPoolSize = 16;
constexpr int kMaxNestedWalks = 8; // pumps nested deeper than this (callbacks pumping) skip dispatch

struct CallbackEntry {
    KDCallbackFunc* func;
    KDint type;
    void* userptr;
    std::uint64_t order; // installation order: the newest matching entry wins
    CallbackEntry* next; // the next older entry with the same userptr filter
};

// The callback registry: entries by userptr filter, each chain newest first.
class CallbackRegistry {
public:
    int install(KDCallbackFunc* func, KDint type, void* userptr) {
        auto* entry = new (std::nothrow) CallbackEntry{func, type, userptr, ++m_order, nullptr};
        if (!entry) return -1;
        if (userptr) {
            try {
                CallbackEntry*& head = m_byUserptr[userptr];
                entry->next = head;
                head = entry;
            } catch (const std::bad_alloc&) {
                delete entry;
                return -1;
            }
        } else {
            entry->next = m_anyUserptr;
            m_anyUserptr = entry;
        }
        return 0;
    }

    // Removes the newest entry whose filters are exactly these; -1 when there is none.
    int remove(KDint type, void* userptr) {
        CallbackEntry** head = &m_anyUserptr;
        auto found = m_byUserptr.end();
        if (userptr) {
            found = m_byUserptr.find(userptr);
            if (found == m_byUserptr.end()) return -1;
            head = &found->second;
        }
        for (CallbackEntry** link = head; *link; link = &(*link)->next) {
            CallbackEntry* entry = *link;
            if (entry->type != type) continue;
            *link = entry->next;
            delete entry;
            if (userptr && !found->second) m_byUserptr.erase(found);
            return 0;
        }
        return -1;
    }

    // The newest entry matching the event: its userptr's chain and the null-filter chain are each walked only
    // until their first entry of a matching type.
    const CallbackEntry* find(const KDEvent* event) const {
        const CallbackEntry* best = nullptr;
        if (event->userptr) {
            auto found = m_byUserptr.find(event->userptr);
            if (found != m_byUserptr.end()) best = firstOfType(found->second, event->type, 0);
        }
        const CallbackEntry* any = firstOfType(m_anyUserptr, event->type, best ? best->order : 0);
        return any ? any : best;
    }

    void clear() {
        for (auto& [userptr, head] : m_byUserptr) deleteChain(head);
        m_byUserptr.clear();
        deleteChain(m_anyUserptr);
        m_anyUserptr = nullptr;
    }

    // Entries examined by find since the start (tests check that lookups stay short).
    std::uint64_t examined() const { return m_examined; }

private:
    const CallbackEntry* firstOfType(const CallbackEntry* entry, KDint type, std::uint64_t newerThan) const {
        for (; entry && entry->order > newerThan; entry = entry->next) {
            ++m_examined;
            if (entry->type == 0 || entry->type == type) return entry;
        }
        return nullptr;
    }

    static void deleteChain(CallbackEntry* entry) {
        while (entry) {
            CallbackEntry* next = entry->next;
            delete entry;
            entry = next;
        }
    }

    std::unordered_map<void*, CallbackEntry*> m_byUserptr;
    CallbackEntry* m_anyUserptr = nullptr;
    std::uint64_t m_order = 0;
    mutable std::uint64_t m_examined = 0;
};

// Every event record the queue hands out: the public record, then the links of the index by userptr (the
// public record stays as callers know it).
struct EventRecord {
    KDEvent event;
    KDEvent* nextSameUser = nullptr;
    KDEvent* previousSameUser = nullptr;
};
static_assert(std::is_standard_layout_v<EventRecord>);

EventRecord& recordOf(KDEvent* event) {
    return *reinterpret_cast<EventRecord*>(event);
}

// Queued events by userptr: a power-of-two table of bucket chains that doubles when it holds more than two
// events a bucket on average (never in the steady state of a game: a handful of events per pump).
class UserIndex {
public:
    void add(KDEvent* event) {
        if (m_count + 1 > m_buckets.size() * 2) grow();
        insert(event);
        ++m_count;
    }

    void remove(KDEvent* event) {
        EventRecord& record = recordOf(event);
        if (record.previousSameUser)
            recordOf(record.previousSameUser).nextSameUser = record.nextSameUser;
        else
            headOf(event->userptr) = record.nextSameUser;
        if (record.nextSameUser) recordOf(record.nextSameUser).previousSameUser = record.previousSameUser;
        record.nextSameUser = nullptr;
        record.previousSameUser = nullptr;
        --m_count;
    }

    // The first queued event of the chain that holds this userptr's events (others share it).
    KDEvent* chainOf(const void* userptr) { return headOf(userptr); }

    std::uint64_t examined = 0; // events looked at by purges (tests check that purges stay short)

private:
    std::size_t bucketOf(const void* userptr) const {
        // Addresses are aligned and close together: a multiplicative hash spreads them over the buckets.
        const std::uint64_t key = reinterpret_cast<std::uintptr_t>(userptr);
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 20) & (m_buckets.size() - 1);
    }
    KDEvent*& headOf(const void* userptr) {
        return m_buckets.empty() ? m_overflow : m_buckets[bucketOf(userptr)];
    }

    void insert(KDEvent* event) {
        KDEvent*& head = headOf(event->userptr);
        recordOf(event).previousSameUser = nullptr;
        recordOf(event).nextSameUser = head;
        if (head) recordOf(head).previousSameUser = event;
        head = event;
    }

    void grow() {
        std::vector<KDEvent*> buckets;
        try {
            buckets.assign(m_buckets.empty() ? 64 : m_buckets.size() * 2, nullptr);
        } catch (const std::bad_alloc&) {
            return; // the old table keeps working, only with longer chains
        }
        std::vector<KDEvent*> old = std::exchange(m_buckets, std::move(buckets));
        const auto rehash = [this](KDEvent* event) {
            while (event) {
                KDEvent* next = recordOf(event).nextSameUser;
                insert(event);
                event = next;
            }
        };
        for (KDEvent* head : old) rehash(head);
        rehash(std::exchange(m_overflow, nullptr));
    }

    std::vector<KDEvent*> m_buckets;
    KDEvent* m_overflow = nullptr; // the one chain while there is no table
    std::size_t m_count = 0;
};

struct DispatchWalk {
    KDEvent* next; // the next event this walk visits; null once it reached the end of the queue
};

struct EventQueue {
    EventRecord pool[kPoolSize] = {};
    KDEvent* head = nullptr;
    KDEvent* tail = nullptr;
    KDEvent* lastReturned = nullptr;
    CallbackRegistry callbacks;
    UserIndex byUser;
    DispatchWalk* walks[kMaxNestedWalks] = {};
    int walkDepth = 0;
    platform::PumpHook* osPump = nullptr;
    platform::PumpHook* joystickPoll = nullptr;

    bool isPoolRecord(const KDEvent* event) const {
        const auto* record = reinterpret_cast<const EventRecord*>(event);
        return record >= pool && record < pool + kPoolSize;
    }

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
        byUser.remove(event);
    }

    void append(KDEvent* event) {
        event->next = nullptr;
        event->previous = tail;
        if (tail)
            tail->next = event;
        else
            head = event;
        tail = event;
        byUser.add(event);
        for (int i = 0; i < walkDepth; ++i)
            if (!walks[i]->next) walks[i]->next = event;
    }

    void release(KDEvent* event) {
        if (isPoolRecord(event))
            event->type = 0;
        else
            delete &recordOf(event);
    }

    // Every queued event with this userptr that `match` accepts, unlinked and freed.
    template <typename Match> void purgeUser(const void* userptr, Match match) {
        KDEvent* event = byUser.chainOf(userptr);
        while (event) {
            KDEvent* next = recordOf(event).nextSameUser;
            ++byUser.examined;
            if (event->userptr == userptr && match(event)) {
                unlink(event);
                release(event);
            }
            event = next;
        }
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
            const CallbackEntry* entry = callbacks.find(event);
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
    for (EventRecord& record : g_queue.pool) {
        if (record.event.type == 0) {
            event = &record.event;
            break;
        }
    }
    if (!event) {
        auto* record = new (std::nothrow) EventRecord;
        if (!record) return nullptr;
        event = &record->event;
    }
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
    if (func) return g_queue.callbacks.install(func, eventtype, eventuserptr);
    return g_queue.callbacks.remove(eventtype, eventuserptr);
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
    g_queue.purgeUser(userptr, [&](const KDEvent* event) { return event->type == type; });
}

void purgePointerMoves(void* userptr) {
    g_queue.purgeUser(userptr, [&](const KDEvent* event) {
        return event->type == KD_EVENT_INPUT_POINTER && event->data.inputpointer.index == KD_INPUT_POINTER_X;
    });
}

EventQueueCounts eventQueueCounts() {
    return {g_queue.callbacks.examined(), g_queue.byUser.examined};
}

void stopEventSystem() {
    if (g_queue.lastReturned) {
        g_queue.release(g_queue.lastReturned);
        g_queue.lastReturned = nullptr;
    }
    g_queue.purge([](const KDEvent*) { return true; });
    g_queue.callbacks.clear();
    freeAllTimers();
}

} // namespace platform
