// The log output behind kdLogMessage: stderr, "kdLogMessage.txt" in the user data folder, and the log hook.
#pragma once

#include <cstddef>

namespace platform {

// Writes one complete text to every log receiver. Each receiver gets it in one write, so lines from several
// threads do not interleave within a line and a crash right after loses nothing.
void logWrite(const char* text, size_t length);

// The same for the crash handler: stderr and the log file only (the hook is not safe inside a signal
// handler).
void logWriteRaw(const char* text, size_t length);

// Opens the log file now rather than on the first message (the crash handler wants it open before a crash).
void openLogFile();

} // namespace platform
