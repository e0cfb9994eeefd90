// Minimal command-line host for the conformance corpus: what the full `sq` interpreter does, minus the
// standard libraries and compiled-script loading. Usage: sq_core_host <script.nut> [args...]
#include "squirrel/squirrel.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace {

void printFunc(HSQUIRRELVM, const SQChar* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    vfprintf(stdout, fmt, args);
    va_end(args);
}

void compileError(HSQUIRRELVM v, const SQChar* desc, const SQChar* source, SQInteger line, SQInteger column) {
    sq_getprintfunc(v)(v, "%s line = (%d) column = (%d) : error %s\n", source, line, column, desc);
}

// Prints the error, the call stack and the locals of the innermost frames.
SQInteger runtimeError(HSQUIRRELVM v) {
    SQPRINTFUNCTION pf = sq_getprintfunc(v);
    const SQChar* err = nullptr;
    if (sq_gettop(v) >= 2 && SQ_SUCCEEDED(sq_getstring(v, 2, &err)))
        pf(v, "\nAN ERROR HAS OCCURED [%s]\n", err);
    else
        pf(v, "\nAN ERROR HAS OCCURED [unknown]\n");
    pf(v, "\nCALLSTACK\n");
    SQStackInfos si;
    for (SQInteger level = 1; SQ_SUCCEEDED(sq_stackinfos(v, level, &si)); ++level)
        pf(v, "*FUNCTION [%s()] %s line [%d]\n", si.funcname ? si.funcname : "unknown",
           si.source ? si.source : "unknown", si.line);
    pf(v, "\nLOCALS\n");
    for (SQUnsignedInteger level = 0; level < 10; ++level) {
        const SQChar* name;
        for (SQUnsignedInteger seq = 0; (name = sq_getlocal(v, level, seq)); ++seq) {
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
            sq_pop(v, 1);
        }
    }
    return 0;
}

bool readFile(const char* path, std::vector<char>& out) {
    FILE* f = fopen(path, "rb");
    if (!f) return false;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0) out.insert(out.end(), buf, buf + n);
    fclose(f);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s <script.nut> [args...]\n", argv[0]);
        return 0;
    }
    HSQUIRRELVM v = sq_open(1024);
    sq_setprintfunc(v, printFunc);
    sq_setcompilererrorhandler(v, compileError);
    sq_newclosure(v, runtimeError, 0);
    sq_seterrorhandler(v);

    sq_pushroottable(v);
    sq_pushstring(v, "ARGS", -1);
    sq_newarray(v, 0);
    for (int i = 2; i < argc; ++i) {
        sq_pushstring(v, argv[i], -1);
        sq_arrayappend(v, -2);
    }
    sq_createslot(v, -3);
    sq_pop(v, 1);

    std::vector<char> src;
    if (!readFile(argv[1], src)) {
        printf("Error [cannot open the file]\n");
        sq_close(v);
        return 0;
    }
    // A UTF-8 byte-order mark is not part of the script.
    size_t skip = src.size() >= 3 && (unsigned char)src[0] == 0xEF && (unsigned char)src[1] == 0xBB &&
                          (unsigned char)src[2] == 0xBF
                      ? 3
                      : 0;
    SQInteger top = sq_gettop(v);
    bool ok =
        SQ_SUCCEEDED(sq_compilebuffer(v, src.data() + skip, (SQInteger)(src.size() - skip), argv[1], SQTrue));
    if (ok) {
        sq_pushroottable(v);
        ok = SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQTrue));
    }
    if (!ok) {
        const SQChar* err;
        sq_getlasterror(v);
        if (SQ_SUCCEEDED(sq_getstring(v, -1, &err))) printFunc(v, "Error [%s]\n", err);
    }
    sq_settop(v, top);
    fflush(stdout);
    sq_close(v);
    return 0;
}
