// The auxiliary library: the standard compiler error printer and runtime error handler, which report through
// the VM's print function (message, call stack, and the locals of the innermost frames).
#include "squirrel/sqstdlib.h"

namespace {

// Frames whose locals the report lists, counted from the innermost.
constexpr SQInteger kLocalsLevels = 10;
// Frames of a deep call stack that an error report shows: the innermost and the outermost ones.
constexpr SQInteger kCallStackInnermost = 30;
constexpr SQInteger kCallStackOutermost = 10;

void printLocal(HSQUIRRELVM v, SQPRINTFUNCTION pf, const SQChar* name) {
    switch (sq_gettype(v, -1)) {
    case OT_NULL:
        pf(v, "[%s] NULL\n", name);
        break;
    case OT_INTEGER: {
        SQInteger i;
        sq_getinteger(v, -1, &i);
        pf(v, "[%s] %d\n", name, i);
        break;
    }
    case OT_FLOAT: {
        SQFloat f;
        sq_getfloat(v, -1, &f);
        pf(v, "[%s] %.14g\n", name, (double)f);
        break;
    }
    case OT_STRING: {
        const SQChar* s;
        sq_getstring(v, -1, &s);
        pf(v, "[%s] \"%s\"\n", name, s);
        break;
    }
    case OT_BOOL: {
        SQBool b;
        sq_getbool(v, -1, &b);
        pf(v, "[%s] %s\n", name, b ? "true" : "false");
        break;
    }
    case OT_TABLE:
        pf(v, "[%s] TABLE\n", name);
        break;
    case OT_ARRAY:
        pf(v, "[%s] ARRAY\n", name);
        break;
    case OT_CLOSURE:
        pf(v, "[%s] CLOSURE\n", name);
        break;
    case OT_NATIVECLOSURE:
        pf(v, "[%s] NATIVECLOSURE\n", name);
        break;
    case OT_GENERATOR:
        pf(v, "[%s] GENERATOR\n", name);
        break;
    case OT_USERDATA:
        pf(v, "[%s] USERDATA\n", name);
        break;
    case OT_THREAD:
        pf(v, "[%s] THREAD\n", name);
        break;
    case OT_CLASS:
        pf(v, "[%s] CLASS\n", name);
        break;
    case OT_INSTANCE:
        pf(v, "[%s] INSTANCE\n", name);
        break;
    case OT_WEAKREF:
        pf(v, "[%s] WEAKREF\n", name);
        break;
    case OT_USERPOINTER:
        pf(v, "[%s] USERPOINTER\n", name);
        break;
    default:
        break;
    }
}

SQInteger runtimeErrorHandler(HSQUIRRELVM v) {
    SQPRINTFUNCTION pf = sq_getprintfunc(v);
    if (!pf) return 0;
    const SQChar* error = nullptr;
    if (sq_gettop(v) >= 2 && SQ_SUCCEEDED(sq_getstring(v, 2, &error))) {
        pf(v, "\nAN ERROR HAS OCCURED [%s]\n", error);
    } else {
        pf(v, "\nAN ERROR HAS OCCURED [unknown]\n");
    }
    sqstd_printcallstack(v);
    return 0;
}

void compilerError(HSQUIRRELVM v, const SQChar* desc, const SQChar* source, SQInteger line,
                   SQInteger column) {
    SQPRINTFUNCTION pf = sq_getprintfunc(v);
    if (pf) pf(v, "%s line = (%d) column = (%d) : error %s\n", source, line, column, desc);
}

} // namespace

extern "C" {

void sqstd_printcallstack(HSQUIRRELVM v) {
    SQPRINTFUNCTION pf = sq_getprintfunc(v);
    if (!pf) return;
    pf(v, "\nCALLSTACK\n");
    SQStackInfos si;
    // Level 0 is the function doing the reporting (normally the error handler itself). A deep stack (a
    // runaway recursion) shows its innermost and outermost frames: all of it would be megabytes of log.
    SQInteger depth = 1;
    while (SQ_SUCCEEDED(sq_stackinfos(v, depth, &si)))
        depth = depth < (1 << 20) ? depth * 2 : depth + (1 << 20);
    SQInteger low = depth / 2, high = depth; // the deepest level lies in [low, high)
    while (high - low > 1) {
        SQInteger mid = low + (high - low) / 2;
        if (SQ_SUCCEEDED(sq_stackinfos(v, mid, &si)))
            low = mid;
        else
            high = mid;
    }
    const SQInteger deepest = low;
    for (SQInteger level = 1; level <= deepest; ++level) {
        if (level == kCallStackInnermost + 1 && deepest > kCallStackInnermost + kCallStackOutermost) {
            pf(v, "*... %d more frames ...\n", (int)(deepest - kCallStackInnermost - kCallStackOutermost));
            level = deepest - kCallStackOutermost;
            continue;
        }
        if (SQ_FAILED(sq_stackinfos(v, level, &si))) break;
        pf(v, "*FUNCTION [%s()] %s line [%d]\n", si.funcname ? si.funcname : "unknown",
           si.source ? si.source : "unknown", si.line);
    }
    pf(v, "\nLOCALS\n");
    for (SQInteger level = 0; level < kLocalsLevels; ++level) {
        const SQChar* name;
        for (SQUnsignedInteger seq = 0; (name = sq_getlocal(v, (SQUnsignedInteger)level, seq)) != nullptr;
             ++seq) {
            printLocal(v, pf, name);
            sq_pop(v, 1);
        }
    }
}

void sqstd_seterrorhandlers(HSQUIRRELVM v) {
    sq_setcompilererrorhandler(v, compilerError);
    sq_newclosure(v, runtimeErrorHandler, 0);
    sq_seterrorhandler(v);
}

} // extern "C"
