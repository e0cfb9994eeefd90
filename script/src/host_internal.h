// The pieces the script host assembles at VM creation, each in its own file.
#pragma once

#include "squirrel/squirrel.h"

// script_loader.cpp: pushes the closure compiled (or read) from the file at path, opened through kdFopen;
// on failure pushes nothing, sets the VM's last error ("cannot open the file", "Unrecognozed ecoding",
// "io error", a compiler or compiled-file message) and returns SQ_ERROR. printErrors: report compile errors
// through the compiler error handler. *compileFailed (when given) tells a compile error, which that handler
// has reported, from the others.
SQRESULT pushScriptFile(HSQUIRRELVM v, const char* path, bool printErrors, bool* compileFailed = nullptr);
// With a table on top: the engine's `loadfile` and `dofile`, which load through pushScriptFile.
void registerEngineLoaders(HSQUIRRELVM v);

// engine_stdlib_seam.cpp: routes the standard libraries' files, environment, process and clock through the
// engine (installed process-wide before the libraries are registered).
void installEngineStdlibSeam();
// With a table on top: the engine's `system` (the desktop opener, "wrong param" for a non-string).
void registerEngineSystem(HSQUIRRELVM v);

// engine_math.cpp: with a table on top: `rand`/`srand` over the engine generator, `round`, `fmod`, and the
// constants RAND_MAX, PI, DBPI, HALFPI, INVDBPI.
void registerEngineMath(HSQUIRRELVM v);

// script_call.cpp: forgets the call under construction (the VM it was built on is going away).
void resetScriptCall();

// script_host.cpp: sq_call(v, params, retval, raise errors) as an entry into the scripts: the outermost one
// (no script running) starts with the full step budget, and one that runs out of it is reported naming
// `what` (may be null) and the function called.
SQRESULT callScript(HSQUIRRELVM v, SQInteger params, bool retval, const char* what);

// script_host.cpp: creates or replaces slot `name` of the table on top with a native function.
void setNativeFunction(HSQUIRRELVM v, const char* name, SQFUNCTION function, SQInteger paramCheck,
                       const char* typeMask);

// script_timers.cpp: with a table on top: setTimer and cancelTimer (script/script_timers.h).
void registerScriptTimers(HSQUIRRELVM v);
