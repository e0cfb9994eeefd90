// Script timers: periodic platform timers whose events call script closures.
//
// Scripts get a small integer handle, never an address: the table maps handles to records, handles are never
// reused within a run, and every record removes its event callback and its platform timer before it is freed,
// so neither a stale handle nor a stale event can reach a freed record. Both lookups (handle to record, and
// an event's record to its entry) are hashed, so a script that keeps thousands of timers does not make every
// timer event search them all.
#include "script/script_timers.h"
#include "platform/kd.h"
#include "script/script_host.h"
#include "script/src/host_internal.h"

#include <cstdio>
#include <memory>
#include <unordered_map>
#include <unordered_set>

namespace {

struct TimerRecord {
    KDTimer* timer = nullptr;
    ScriptValue callback;
    SQInteger handle = 0;
};

std::unordered_map<SQInteger, std::unique_ptr<TimerRecord>> g_timers;
std::unordered_set<const void*> g_liveRecords; // the records of g_timers, as events name them
SQInteger g_lastHandle = 0;

// The live record an event names (its user pointer is the record's address), or null.
TimerRecord* liveRecord(const void* userptr) {
    if (g_liveRecords.count(userptr) == 0) return nullptr;
    return static_cast<TimerRecord*>(const_cast<void*>(userptr));
}

void timerFired(const KDEvent* event) {
    TimerRecord* record = liveRecord(event->userptr);
    if (record == nullptr) {
        return;
    }
    char what[40];
    std::snprintf(what, sizeof what, "timer %lld", static_cast<long long>(record->handle));
    // The closure may cancel this very timer, which frees the record: call through a handle of our own.
    ScriptValue callback = record->callback;
    ScriptHost::callClosure(callback, ScriptHost::root(), what);
}

void destroyRecord(TimerRecord& record) {
    g_liveRecords.erase(&record);
    if (record.timer != nullptr) {
        kdCancelTimer(record.timer);
        kdInstallCallback(nullptr, KD_EVENT_TIMER, &record);
        record.timer = nullptr;
    }
}

// A number argument as an integer (a float truncated toward zero); anything else reads 0 with the argument
// conversion's message.
SQInteger readInterval(HSQUIRRELVM v, SQInteger idx) {
    SQObjectType type = sq_gettype(v, idx);
    SQInteger value = 0;
    if ((type == OT_INTEGER || type == OT_FLOAT) && SQ_SUCCEEDED(sq_getinteger(v, idx, &value))) return value;
    kdLogMessage("error: %s\n", "sq_get*() failed (type error)");
    return 0;
}

SQInteger scriptSetTimer(HSQUIRRELVM v) {
    if (sq_gettop(v) < 3) {
        return sq_throwerror(v, "wrong number of parameters");
    }
    SQInteger interval = readInterval(v, 2);
    if (sq_gettype(v, 3) != OT_CLOSURE) {
        logError(nullptr, "invalid callback type");
        sq_pushnull(v);
        return 1;
    }
    if (g_timers.size() >= static_cast<std::size_t>(kMaxScriptTimers)) {
        // A script error, not a quiet null: the usual cause is a callback that sets a new timer each time it
        // fires instead of letting its own one repeat, and the error stops that chain where it runs.
        char message[120];
        std::snprintf(message, sizeof message,
                      "setTimer: too many live timers (%d); cancel the ones not needed", kMaxScriptTimers);
        return sq_throwerror(v, message);
    }
    HSQOBJECT closure;
    sq_getstackobj(v, 3, &closure);
    auto record = std::make_unique<TimerRecord>();
    record->callback = ScriptValue(closure);
    record->handle = ++g_lastHandle;
    record->timer = kdSetTimer(static_cast<KDint64>(interval) * 1000000, record.get());
    if (record->timer != nullptr) {
        kdInstallCallback(&timerFired, KD_EVENT_TIMER, record.get());
    }
    // Without a platform timer the handle is still valid; it never fires.
    SQInteger handle = record->handle;
    g_liveRecords.insert(record.get());
    g_timers.emplace(handle, std::move(record));
    sq_pushinteger(v, handle);
    return 1;
}

SQInteger scriptCancelTimer(HSQUIRRELVM v) {
    if (sq_gettop(v) < 2) {
        return sq_throwerror(v, "wrong number of parameters");
    }
    SQInteger handle = readInterval(v, 2);
    auto found = g_timers.find(handle);
    if (found == g_timers.end()) {
        return 0;
    }
    // Out of the table first: the closure's release cannot run a script that finds a half-freed record.
    std::unique_ptr<TimerRecord> record = std::move(found->second);
    g_timers.erase(found);
    destroyRecord(*record);
    return 0;
}

} // namespace

void registerScriptTimers(HSQUIRRELVM v) {
    setNativeFunction(v, "setTimer", &scriptSetTimer, 0, nullptr);
    setNativeFunction(v, "cancelTimer", &scriptCancelTimer, 0, nullptr);
}

void cancelAllScriptTimers() {
    auto timers = std::move(g_timers);
    g_timers.clear();
    for (auto& [handle, record] : timers) {
        destroyRecord(*record);
    }
}

int liveScriptTimerCount() {
    return static_cast<int>(g_timers.size());
}
