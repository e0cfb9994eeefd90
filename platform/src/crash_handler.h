// The crash handler: on a fatal signal, a report in the log and "kdCrashDump.dmp" in the user data folder.
#pragma once

namespace platform {

// Arms the handler for SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT and SIGTRAP on a 1 MiB alternate stack. It
// fires at most once per process and does nothing while a debugger is attached.
void installCrashHandler();

} // namespace platform
