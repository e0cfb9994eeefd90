// Shared plumbing of the standard libraries: putting native functions and classes into tables.
#ifndef SQUIRREL_STDLIB_REGISTRATION_H
#define SQUIRREL_STDLIB_REGISTRATION_H

#include "squirrel/squirrel.h"

// Creates each function of the NULL-terminated list as a slot of the table or class at -1 (named, with its
// parameter check). The stack is left as it was.
void sqstdRegisterFunctions(HSQUIRRELVM v, const SQRegFunction* functions, bool isStatic = false);

// Pushes a new native closure with its name and parameter check.
void sqstdPushFunction(HSQUIRRELVM v, const SQRegFunction& function);

#endif
