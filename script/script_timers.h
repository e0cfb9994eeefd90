#pragma once
// Script timers: setTimer(interval in ms, closure) starts a periodic platform timer whose events call the
// closure with the root table as `this`; it answers a small integer handle (never a native address, never
// reused in a run) or null for a callback that is not a script closure ("invalid callback type"). An interval
// that is not a number counts as 0 ("sq_get*() failed (type error)"). cancelTimer(handle) stops the timer,
// removes its event callback and drops the closure; it is safe inside the timer's own closure, and an unknown
// or already cancelled handle does nothing. At most kMaxScriptTimers timers live at once: setTimer past that
// raises the script error "setTimer: too many live timers (4096); cancel the ones not needed". The host
// registers both functions in every VM it creates.

inline constexpr int kMaxScriptTimers = 4096;

// Cancels every script timer and drops its closure. ScriptHost::destroy calls it before it closes the VM, so
// no timer fires into a closed VM.
void cancelAllScriptTimers();
// The number of live script timers.
int liveScriptTimerCount();
