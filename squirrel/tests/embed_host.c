/*
 * A host written as C code for the 2.2.4 embedding API is written: only the 2.2.4 header names, plain C.
 * It runs a script the way the `sq` shell does (libraries in the root table, ARGS, the auxiliary error
 * handlers, "Error [...]" for a failed run), so the corpus checks it prints what the reference prints.
 *
 *   embed_host <script> [args...]     run a script (text or compiled)
 *   embed_host -c <out> <script>      compile a script to a compiled file
 */
#include <sqstdaux.h>
#include <sqstdblob.h>
#include <sqstdio.h>
#include <sqstdmath.h>
#include <sqstdstring.h>
#include <sqstdsystem.h>
#include <squirrel.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

static void printfunc(HSQUIRRELVM v, const SQChar* s, ...) {
    va_list vl;
    (void)v;
    va_start(vl, s);
    scvprintf(s, vl);
    va_end(vl);
}

static void compile_error(HSQUIRRELVM v, const SQChar* desc, const SQChar* source, SQInteger line,
                          SQInteger column) {
    (void)v;
    scprintf(_SC("%s line = (%d) column = (%d) : error %s\n"), source, (int)line, (int)column, desc);
}

static int report_error(HSQUIRRELVM v) {
    const SQChar* err;
    sq_getlasterror(v);
    if (SQ_SUCCEEDED(sq_getstring(v, -1, &err))) scprintf(_SC("Error [%s]\n"), err);
    sq_pop(v, 1);
    return 0;
}

int main(int argc, char* argv[]) {
    HSQUIRRELVM v;
    int i;
    if (argc < 2) {
        fprintf(stderr, "usage: %s [-c out] script [args]\n", argv[0]);
        return 2;
    }
    v = sq_open(1024);
    sq_setprintfunc(v, printfunc);
    sq_pushroottable(v);
    sqstd_register_bloblib(v);
    sqstd_register_iolib(v);
    sqstd_register_systemlib(v);
    sqstd_register_mathlib(v);
    sqstd_register_stringlib(v);
    sqstd_seterrorhandlers(v);
    sq_setcompilererrorhandler(v, compile_error);

    if (strcmp(argv[1], "-c") == 0 && argc == 4) {
        if (SQ_SUCCEEDED(sqstd_loadfile(v, argv[3], SQTrue))) {
            if (SQ_FAILED(sqstd_writeclosuretofile(v, argv[2]))) report_error(v);
        } else {
            report_error(v);
        }
        sq_close(v);
        return 0;
    }

    sq_pushstring(v, _SC("ARGS"), -1);
    sq_newarray(v, 0);
    for (i = 2; i < argc; ++i) {
        sq_pushstring(v, argv[i], -1);
        sq_arrayappend(v, -2);
    }
    sq_createslot(v, -3);
    if (SQ_FAILED(sqstd_dofile(v, argv[1], SQFalse, SQTrue))) report_error(v);
    sq_pop(v, 1);
    sq_close(v);
    return 0;
}
