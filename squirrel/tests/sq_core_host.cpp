// Minimal command-line host for the conformance corpus: what the full `sq` interpreter does, minus the
// standard libraries (only their error reports are used) and compiled-script loading. Usage: sq_core_host
// <script.nut> [args...]
#include "squirrel/sqstdlib.h"
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
    sqstd_seterrorhandlers(v);

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
