// Shared by the files that implement the global script functions.
#pragma once

#include "squirrel/squirrel.h"

// global_functions_utility.cpp: the engine group from getSystemTime to getLocale, in order, into the table
// at stack index root.
void registerUtilityFunctions(HSQUIRRELVM v, SQInteger root);
