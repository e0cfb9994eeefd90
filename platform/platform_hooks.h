// platform_hooks.h — seams inside the platform layer: the steps of start-up and of the event pump that the
// platform's areas (window and input, file system) fill in. Not for use outside platform/.
#pragma once

#include "platform/kd.h"

namespace platform {

// Start-up and shutdown steps owned by other areas, called in order by the process entry.
void startVideo();       // start-up step 2: bring up the video layer and record the screen size (window area)
void stopVideo();        // last shutdown step: release the video layer (window area)
void mountFileSystems(); // start-up step 6: native files, then every .bar archive, then http (file area)
void unmountFileSystems(); // shutdown step 2: unmount, the most recently mounted first (file area)

// Called at the start of every kdPumpEvents: drain all pending OS input and post its events.
using PumpHook = void();
void setOsPumpHook(PumpHook* hook);
// Called right after the OS pump: poll joystick 1.
void setJoystickPollHook(PumpHook* hook);

// Queue maintenance: remove every queued event with this type and user pointer (timer coalescing).
void purgeEvents(KDint32 type, void* userptr);
// Remove every queued pointer-move event (type 57, index KD_INPUT_POINTER_X) with this user pointer.
void purgePointerMoves(void* userptr);

// How much searching the queue has done since the process started: callback entries examined to find the
// callback of an event, and queued events examined by purges. Tests check that neither grows with the number
// of timers or callbacks.
struct EventQueueCounts {
    unsigned long long callbackEntriesExamined;
    unsigned long long eventsExaminedByPurges;
};
EventQueueCounts eventQueueCounts();

// The primary screen size, recorded by the window area during start-up.
void setScreenSize(KDint width, KDint height);

// True once after a second copy of the game asked this one to come to the front (the window area raises its
// window). Safe to call from the main thread at any time; the request arrives on the guard's listener thread.
bool takeComeToFrontRequest();

// Shows the crash message to the user (a dialog once a window exists). Called last in the crash handler, on
// the crashing thread; returns false when it could not show it, and the text then goes to stderr.
using CrashMessageHook = bool(const KDchar* caption, const KDchar* text);
void setCrashMessageHook(CrashMessageHook* hook);

} // namespace platform
