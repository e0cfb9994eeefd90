// kd.h — the engine's platform layer: the subset of the OpenKODE Core API the engine uses.
//
// Everything above the platform layer reaches the machine through these functions. Conventions: functions
// return 0 (or a pointer) on success and -1 (or null) on failure, and set the process-wide last-error code
// (kdGetError). All of it runs on the main thread unless a function says otherwise.
#pragma once

#include <cstddef>
#include <cstdint>

using KDint8 = int8_t;
using KDuint8 = uint8_t;
using KDint16 = int16_t;
using KDuint16 = uint16_t;
using KDint32 = int32_t;
using KDuint32 = uint32_t;
using KDint64 = int64_t;
using KDuint64 = uint64_t;
using KDint = int32_t;
using KDuint = uint32_t;
using KDust = uint64_t; // unadjusted system time: nanoseconds of the monotonic clock
using KDtime = int64_t; // calendar time in seconds
using KDsize = size_t;
using KDssize = ptrdiff_t;
using KDboolean = int32_t;
using KDchar = char;

#define KD_TRUE 1
#define KD_FALSE 0

// ---------------------------------------------------------------------------------------------------------------
// Process entry and environment

// Provided by the application: the engine's main. Returns the process exit code
// (0 normal end, -1 main script missing, -2 display failed, -3 system component failed).
int kdMain();

// The process entry, called by `main` with its arguments: refuses a second running copy (unless
// KD_PARENT_WINDOW is in the process environment), starts the platform, runs kdMain, stops the platform and
// returns kdMain's result. A refused copy starts nothing and returns nonzero when the running copy
// acknowledged its "come to front" request, 0 otherwise.
int platformMain(int argc, char** argv);

// The process's argument vector as given to platformMain (argc 0 and a null vector before it ran).
int processArgumentCount();
char** processArguments();

// Identity texts of the engine: the banner's version and vendor texts and the platform description
// ("Linux v<major>.<minor>.<patch>" from the running kernel), shared by the banner, the HTTP client
// identification and the crash report. Process-wide, never null.
const KDchar* engineVersionText();
const KDchar* engineVendorText();
const KDchar* platformDescription();

// The process environment, after the configuration file was applied. "KD_UDID" falls back to "COMPUTERNAME",
// then to the host name. The text belongs to the environment; copy it before changing the environment.
const KDchar* kdGetEnv(const KDchar* name);

// The application's thread-local pointer (null until set on a thread).
void kdSetTLS(void* ptr);
void* kdGetTLS();

// Primary screen size recorded at start-up (0 x 0 until a display layer supplies it).
KDint kdGetScreenWidth();
KDint kdGetScreenHeight();

// ---------------------------------------------------------------------------------------------------------------
// Events, callbacks and timers

enum : KDint32 {
    KD_EVENT_TIMER = 42,
    KD_EVENT_QUIT = 43,
    KD_EVENT_WINDOW_CLOSE = 44,
    KD_EVENT_PAUSE = 45,
    KD_EVENT_RESUME = 46,
    KD_EVENT_WINDOWPROPERTY_CHANGE = 47,
    KD_EVENT_INPUT = 56,
    KD_EVENT_INPUT_POINTER = 57,
    KD_EVENT_WINDOW_FOCUS = 60,
};

enum : KDint32 {
    KD_TIMER_PERIODIC_MINIMUM = 63,
    KD_WINDOWPROPERTY_SIZE = 66,
};

// Pointer input indices (KDEventInputPointer::index).
enum : KDint32 {
    KD_INPUT_POINTER_X = 16385,      // a pointer move
    KD_INPUT_POINTER_SELECT = 16387, // buttons changed
    KD_INPUT_POINTER_WHEEL = 16388,  // wheel turned
};

struct KDEventInput { // KD_EVENT_INPUT
    KDint32 index;    // input index (key, game key, joystick control)
    KDint32 reserved;
    KDint64 value; // low word: state; high word: the OS key data
};

struct KDEventInputPointer { // KD_EVENT_INPUT_POINTER
    KDint32 index;           // KD_INPUT_POINTER_X, _SELECT or _WHEEL
    KDint32 select;          // button mask, or the wheel value
    KDint32 x;
    KDint32 y;
};

struct KDEventWindowProperty { // KD_EVENT_WINDOWPROPERTY_CHANGE
    KDint32 pname;
    KDint32 reserved[3];
};

struct KDEventWindowFocus { // KD_EVENT_WINDOW_FOCUS
    KDint32 focusstate;     // 1 gained, 0 lost
    KDint32 reserved[3];
};

union KDEventData {
    KDEventInput input;
    KDEventInputPointer inputpointer;
    KDEventWindowProperty windowproperty;
    KDEventWindowFocus windowfocus;
    KDint32 words[4];
};
static_assert(sizeof(KDEventData) == 16);

struct KDEvent {
    KDust timestamp; // nanoseconds at posting, unless the poster set it
    KDint32 type;    // 0 marks a free pool record, -1 a record being filled
    void* userptr;
    KDEventData data;
    KDEvent* next; // queue links, owned by the queue
    KDEvent* previous;
};

using KDCallbackFunc = void(const KDEvent* event);
struct KDTimer;

// Nanoseconds of the monotonic clock.
KDust kdGetTimeUST();

// A blank record (type -1, timestamp 0, userptr null): one of 16 pooled records, from the heap when all are
// in use. Null only when the heap is exhausted.
KDEvent* kdCreateEvent();

// Appends the event to the queue, stamping it with kdGetTimeUST when its timestamp is 0. The queue owns it
// from here. -1 for a null event or one that is already queued.
KDint kdPostEvent(KDEvent* event);

// Returns a record to the pool or the heap. A record that is still queued is taken out of the queue first.
void kdFreeEvent(KDEvent* event);

// With a function: adds (func, type, userptr) in front of the registry; type 0 and a null userptr match
// anything, and the newest matching entry wins. With a null function: removes the newest entry whose type and
// userptr are exactly these (0 and null compared as values); -1 when there is none.
KDint kdInstallCallback(KDCallbackFunc* func, KDint eventtype, void* eventuserptr);

// Drains OS input (the window area's hook), polls the joystick, runs the timers, then hands every queued
// event with a matching callback to it and frees it; events posted by callbacks are dispatched in the same
// pump. Callbacks may post, purge, cancel timers and install or remove callbacks. 0 when the queue held
// events, -1 when it was empty.
KDint kdPumpEvents();

// Pumps until the queue holds something (sleeping 1 ms between empty pumps), frees the event it returned last
// time, and returns the oldest event no callback consumed, or null when callbacks consumed everything. The
// returned event stays valid until the next call.
const KDEvent* kdWaitEvent();

// A periodic timer: once interval nanoseconds have passed since its last firing, the pump posts one
// KD_EVENT_TIMER with this userptr (replacing one still pending), measured from that check. Null when out of
// memory.
KDTimer* kdSetTimer(KDint64 interval, void* eventuserptr);

// Removes the timer and its pending events and frees it; safe inside the timer's own callback. -1 for null or
// for a timer that is not set (already cancelled). Callback entries stay: their owner removes them.
KDint kdCancelTimer(KDTimer* timer);

// ---------------------------------------------------------------------------------------------------------------
// Logging

// printf-style; the whole message reaches the log output (stderr, the log file, an installed hook) uncut.
void kdLogMessage(const KDchar* format, ...) __attribute__((format(printf, 1, 2)));

enum class LogLevel { Plain, Info, Warning, Error };

// "[tag] <prefix>message\n", or "<prefix>message\n" when tag is null; the message is cut to 1023 characters.
void logTagged(LogLevel level, const KDchar* tag, const KDchar* format, ...)
    __attribute__((format(printf, 3, 4)));
void logPlain(const KDchar* tag, const KDchar* format, ...) __attribute__((format(printf, 2, 3)));
void logInfo(const KDchar* tag, const KDchar* format, ...) __attribute__((format(printf, 2, 3)));
void logWarning(const KDchar* tag, const KDchar* format, ...) __attribute__((format(printf, 2, 3)));
void logError(const KDchar* tag, const KDchar* format, ...) __attribute__((format(printf, 2, 3)));

// An extra receiver of every log line (the debug console). Pass null to remove it.
using KDLogHook = void(const KDchar* text, void* user);
void kdSetLogHook(KDLogHook* hook, void* user);

#include "platform/kd_file.h"
#include "platform/kd_window.h"
