// Bytecode shape of key constructs, read through the test-only disassembler.
#include "squirrel/squirrel.h"
#include "squirrel/src/disasm.h"
#include "squirrel/src/vm.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Disassembly of nested function `index` of the compiled chunk (-1: the main function).
std::string compileAndDump(const char* src, int index = -1) {
    HSQUIRRELVM v = sq_open(64);
    std::string out;
    if (SQ_SUCCEEDED(sq_compilebuffer(v, src, (SQInteger)strlen(src), "shape", SQFalse))) {
        SQFunctionProto* f = _closure(v->getUp(-1))->proto();
        if (index >= 0) f = _funcproto(f->_functions[index]);
        out = sqDisassemble(f);
        sq_pop(v, 1);
    }
    sq_close(v);
    return out;
}

TEST(SquirrelCodegen, ShapesOfKeyConstructs) {
    struct Case {
        const char* src;
        int function;
        const char* expected; // substring of the disassembly
    } cases[] = {
        // return f(x) in a nested function reuses the frame; never in main
        {"function g(n) { return g(n - 1); }", 0, "TAILCALL"},
        // a literal key folds into GETK / PREPCALLK
        {"local t = {a = 1}\nreturn t.a;", -1, "GETK"},
        {"local t = {}\nt.f();", -1, "PREPCALLK"},
        // compound assignment on a local stays on its slot
        {"local i = 0; i += 2;", -1, "COMPARITHL"},
        // postfix increment of a local
        {"local i = 0; i++;", -1, "PINCL"},
        // foreach: FOREACH followed by POSTFOREACH on the same container
        {"foreach (v in [1]) {}", -1, "FOREACH 1"},
        // every function ends with a null return
        {"", -1, "RETURN 255"},
    };
    for (const Case& c : cases) {
        std::string d = compileAndDump(c.src, c.function);
        EXPECT_NE(d.find(c.expected), std::string::npos) << c.src << "\n" << d;
    }
    EXPECT_EQ(compileAndDump("return g(1);").find("TAILCALL"), std::string::npos) << "no tail call in main";
}

} // namespace
