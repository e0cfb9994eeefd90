// A VM set up as `sq` sets it up (base and standard libraries, standard error handlers), whose print output
// is collected for comparison.
#ifndef SQUIRREL_TESTS_STD_TEST_VM_H
#define SQUIRREL_TESTS_STD_TEST_VM_H

#include "squirrel/sqstdlib.h"

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

class StdTestVm {
public:
    StdTestVm() {
        m_vm = sq_open(1024);
        sq_setforeignptr(m_vm, this);
        sq_setprintfunc(m_vm, collect);
        sq_pushroottable(m_vm);
        sqstd_register_bloblib(m_vm);
        sqstd_register_iolib(m_vm);
        sqstd_register_systemlib(m_vm);
        sqstd_register_mathlib(m_vm);
        sqstd_register_stringlib(m_vm);
        sqstd_seterrorhandlers(m_vm);
        sq_pop(m_vm, 1);
    }
    ~StdTestVm() { sq_close(m_vm); }
    StdTestVm(const StdTestVm&) = delete;
    StdTestVm& operator=(const StdTestVm&) = delete;

    HSQUIRRELVM vm() const { return m_vm; }

    // Compiles and runs source with the root table as `this`; returns what it printed, followed by
    // "Error [msg]" when it failed with a string error.
    std::string run(const std::string& source, const char* name = "test.nut") {
        m_out.clear();
        const SQInteger top = sq_gettop(m_vm);
        if (SQ_SUCCEEDED(sq_compilebuffer(m_vm, source.data(), (SQInteger)source.size(), name, SQTrue))) {
            sq_pushroottable(m_vm);
            if (SQ_FAILED(sq_call(m_vm, 1, SQFalse, SQTrue))) appendError();
        } else {
            appendError();
        }
        sq_settop(m_vm, top);
        return m_out;
    }

    // Like run, but without the error handler's report: only the printed text and "Error [msg]".
    std::string runQuiet(const std::string& source) {
        sq_pushnull(m_vm);
        sq_seterrorhandler(m_vm);
        std::string out = run(source);
        sqstd_seterrorhandlers(m_vm);
        return out;
    }

    std::string& output() { return m_out; }

private:
    void appendError() {
        sq_getlasterror(m_vm);
        const SQChar* msg = nullptr;
        if (SQ_SUCCEEDED(sq_getstring(m_vm, -1, &msg))) m_out += std::string("Error [") + msg + "]";
        sq_pop(m_vm, 1);
    }

    static void collect(HSQUIRRELVM v, const SQChar* format, ...) {
        auto* self = static_cast<StdTestVm*>(sq_getforeignptr(v));
        va_list args;
        va_start(args, format);
        va_list copy;
        va_copy(copy, args);
        int n = std::vsnprintf(nullptr, 0, format, copy);
        va_end(copy);
        if (n > 0) {
            std::vector<char> buf((size_t)n + 1);
            std::vsnprintf(buf.data(), buf.size(), format, args);
            self->m_out.append(buf.data(), (size_t)n);
        }
        va_end(args);
    }

    HSQUIRRELVM m_vm;
    std::string m_out;
};

#endif
