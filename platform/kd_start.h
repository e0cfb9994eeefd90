#pragma once
// Starting parts of the platform without the process entry, for programs that use the engine's libraries in
// a process of their own (tests, benchmarks, tools). The game itself never calls these: its entry starts and
// stops everything in the fixed order.

#include "platform/kd.h"

namespace platform {

// The mount chain as the entry builds it: native files, then every ".bar" archive in the working folder in
// case-insensitive name order, then HTTP.
void startFileSystems();
// Unmounts every file system, the most recently mounted first.
void stopFileSystems();

// Single mounts, for a program that builds its own chain: the native file system, and one ".bar" archive
// opened through the mounts already present. Null (with the platform's last error set) on failure.
KDMount* mountNativeFiles();
KDMount* mountArchiveFile(const char* path);

// The event system's shutdown step: frees the event last returned by kdWaitEvent, every queued event, every
// installed callback and every timer still set. Afterwards the system is empty and usable again.
void stopEventSystem();

} // namespace platform
