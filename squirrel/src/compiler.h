// The single-pass compiler: source text to a main-function closure.
#ifndef SQUIRREL_SRC_COMPILER_H
#define SQUIRREL_SRC_COMPILER_H

#include "squirrel/src/object.h"

#include <cstddef>
#include <vector>

// Compiles the source read through `rg`. On success `out` holds the main closure; on failure reports through
// the compiler error handler (when raiseerror) and leaves the message in v->_lasterror. May throw
// SQOutOfMemory.
bool sqCompile(SQVM* v, SQLEXREADFUNC rg, SQUserPointer up, const SQChar* sourcename, SQObjectPtr& out,
               bool raiseerror, bool lineinfo);

#endif
