#include "squirrel/stdlib/registration.h"

void sqstdPushFunction(HSQUIRRELVM v, const SQRegFunction& function) {
    sq_newclosure(v, function.f, 0);
    if (function.nparamscheck != 0 || function.typemask)
        sq_setparamscheck(v, function.nparamscheck, function.typemask);
    sq_setnativeclosurename(v, -1, function.name);
}

void sqstdRegisterFunctions(HSQUIRRELVM v, const SQRegFunction* functions, bool isStatic) {
    for (const SQRegFunction* f = functions; f->name; ++f) {
        sq_pushstring(v, f->name, -1);
        sqstdPushFunction(v, *f);
        sq_newslot(v, -3, isStatic ? SQTrue : SQFalse);
    }
}
