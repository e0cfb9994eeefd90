// The single-instance guard: one running copy per user, and a "come to front" request from a second copy.
#pragma once

#include <string>

namespace platform {

// Where the lock file "Harbor Haven.lock" and the socket "Harbor Haven.sock" live: $XDG_RUNTIME_DIR when it
// is an absolute path, else the user data folder.
std::string instanceGuardFolder();

struct GuardOutcome {
    bool refused; // another copy holds the lock: this one must start nothing
    int exitCode; // for a refused copy: 1 when the running copy acknowledged the request, else 0
};

// Takes the lock (held with flock until the process ends, so a crash never leaves a stale lock) and starts
// listening for requests. When another copy holds it, asks that copy to come to the front instead. A guard
// that cannot be set up (no folder, no lock file) lets the process run: it never blocks the game.
GuardOutcome acquireInstanceGuard();

// Stops the listener (the lock stays held until exit).
void stopInstanceGuardListener();

} // namespace platform
