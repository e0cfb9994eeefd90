// Internal entry points of the event queue and the timers.
#pragma once

namespace platform {

// Shutdown of the event system: frees the event last returned by kdWaitEvent, every queued event, every
// installed callback and every timer still set. Afterwards the system is empty and usable again.
void stopEventSystem();

// Pump step 3: posts one KD_EVENT_TIMER for each timer whose interval has passed (timers.cpp).
void runTimers();
// Frees every timer still set (timers.cpp).
void freeAllTimers();

} // namespace platform
