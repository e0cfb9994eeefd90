// Shared by the files that implement the global script functions.
#pragma once

#include "squirrel/squirrel.h"

// Stores a native function under name in the table at stack index target, taking its arguments as they come.
void bindRawFunction(HSQUIRRELVM v, SQInteger target, const char* name, SQFUNCTION function);

// script_timers.cpp
SQInteger scriptSetTimer(HSQUIRRELVM v);
SQInteger scriptCancelTimer(HSQUIRRELVM v);

// global_functions_utility.cpp: the engine group from getTime to TextureFilter_ColorMatrix, in order, into
// the table at stack index root.
void registerUtilityFunctions(HSQUIRRELVM v, SQInteger root);
