// sq: the command-line interpreter. Runs a script file (text or compiled) with its arguments in ARGS,
// compiles a script to a compiled file with -c, or reads statements interactively when no file is given.
#include "squirrel/sqstdlib.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr SQInteger kInitialStack = 1024;

enum ExitCode { kExitOk = 0, kExitError = 1, kExitUsage = 2 };

void printToStdout(HSQUIRRELVM, const SQChar* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
}

void printUsage(const char* self) {
    std::fprintf(
        stderr,
        "usage: %s [options] [script [args]]\n"
        "  script     run the script (text, or compiled when it starts with FA FA); its arguments go\n"
        "             to the array ARGS\n"
        "  -c         compile only: write the compiled script instead of running it\n"
        "  -o <file>  the file -c writes (default out.cnut)\n"
        "  -d         emit debug line information (for the debug hook)\n"
        "  -v         print the version\n"
        "  -h         this help\n"
        "With no script, statements are read from standard input; a line starting with '=' prints the\n"
        "value of the expression after it.\n",
        self);
}

// A VM with the base and standard libraries in the root table and the standard error handlers.
HSQUIRRELVM openVm() {
    HSQUIRRELVM v = sq_open(kInitialStack);
    if (!v) return nullptr;
    sq_setprintfunc(v, printToStdout);
    sq_pushroottable(v);
    sqstd_register_bloblib(v);
    sqstd_register_iolib(v);
    sqstd_register_systemlib(v);
    sqstd_register_mathlib(v);
    sqstd_register_stringlib(v);
    sqstd_seterrorhandlers(v);
    sq_pop(v, 1);
    return v;
}

void setArgs(HSQUIRRELVM v, int argc, char** argv, int first) {
    sq_pushroottable(v);
    sq_pushstring(v, "ARGS", -1);
    sq_newarray(v, 0);
    for (int i = first; i < argc; ++i) {
        sq_pushstring(v, argv[i], -1);
        sq_arrayappend(v, -2);
    }
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
}

// Prints "Error [msg]" for a string error (the handlers have already reported the details).
void reportError(HSQUIRRELVM v) {
    sq_getlasterror(v);
    const SQChar* msg = nullptr;
    if (SQ_SUCCEEDED(sq_getstring(v, -1, &msg))) printToStdout(v, "Error [%s]\n", msg);
    sq_pop(v, 1);
}

int runFile(HSQUIRRELVM v, const char* path) {
    sq_pushroottable(v);
    SQRESULT r = sqstd_dofile(v, path, SQFalse, SQTrue);
    sq_pop(v, 1);
    if (SQ_FAILED(r)) {
        reportError(v);
        return kExitError;
    }
    return kExitOk;
}

int compileFile(HSQUIRRELVM v, const char* in, const char* out) {
    if (SQ_FAILED(sqstd_loadfile(v, in, SQTrue))) {
        reportError(v);
        return kExitError;
    }
    SQRESULT r = sqstd_writeclosuretofile(v, out);
    sq_pop(v, 1);
    if (SQ_FAILED(r)) {
        reportError(v);
        return kExitError;
    }
    return kExitOk;
}

// Reads one statement: a line, continued while it ends with a backslash or leaves braces open.
bool readStatement(std::string& out) {
    out.clear();
    int depth = 0;
    std::printf("%s", out.empty() ? "sq>" : "...");
    std::fflush(stdout);
    for (;;) {
        int c = std::getchar();
        if (c == EOF) return !out.empty();
        if (c == '{') ++depth;
        if (c == '}') --depth;
        if (c == '\n') {
            if (!out.empty() && out.back() == '\\') {
                out.back() = '\n';
            } else if (depth > 0) {
                out += '\n';
            } else {
                return true;
            }
            std::printf("...");
            std::fflush(stdout);
            continue;
        }
        out += (char)c;
    }
}

int interactive(HSQUIRRELVM v) {
    std::printf("%s\n", SQUIRREL_VERSION);
    std::string line;
    while (readStatement(line)) {
        bool printValue = !line.empty() && line[0] == '=';
        std::string source = printValue ? "return (" + line.substr(1) + ")" : line;
        if (SQ_FAILED(
                sq_compilebuffer(v, source.c_str(), (SQInteger)source.size(), "interactive console", SQTrue)))
            continue;
        const SQInteger top = sq_gettop(v) - 1;
        sq_pushroottable(v);
        if (SQ_SUCCEEDED(sq_call(v, 1, printValue ? SQTrue : SQFalse, SQTrue)) && printValue) {
            sq_tostring(v, -1);
            const SQChar* text = "";
            sq_getstring(v, -1, &text);
            printToStdout(v, "%s\n", text);
        }
        sq_settop(v, top);
    }
    std::printf("\n");
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    bool compileOnly = false, debugInfo = false;
    const char* output = "out.cnut";
    int i = 1;
    for (; i < argc && argv[i][0] == '-' && argv[i][1] != '\0'; ++i) {
        const char* opt = argv[i];
        if (std::strcmp(opt, "-c") == 0) {
            compileOnly = true;
        } else if (std::strcmp(opt, "-o") == 0 && i + 1 < argc) {
            output = argv[++i];
        } else if (std::strcmp(opt, "-d") == 0) {
            debugInfo = true;
        } else if (std::strcmp(opt, "-v") == 0) {
            std::printf("%s\n", SQUIRREL_VERSION);
            return kExitOk;
        } else if (std::strcmp(opt, "-h") == 0) {
            printUsage(argv[0]);
            return kExitOk;
        } else if (std::strcmp(opt, "--") == 0) {
            ++i;
            break;
        } else {
            std::fprintf(stderr, "unknown option '%s'\n", opt);
            printUsage(argv[0]);
            return kExitUsage;
        }
    }
    if (compileOnly && i >= argc) {
        printUsage(argv[0]);
        return kExitUsage;
    }
    HSQUIRRELVM v = openVm();
    if (!v) {
        std::fprintf(stderr, "sq: cannot create the virtual machine\n");
        return kExitError;
    }
    sq_enabledebuginfo(v, debugInfo ? SQTrue : SQFalse);
    int code;
    if (i < argc) {
        setArgs(v, argc, argv, i + 1);
        code = compileOnly ? compileFile(v, argv[i], output) : runFile(v, argv[i]);
    } else {
        setArgs(v, argc, argv, argc);
        code = interactive(v);
    }
    std::fflush(stdout);
    sq_close(v);
    return code;
}
