// Limits: runaway recursion, growth and native nesting end in script errors; every allocation of a task can
// fail and the task ends in "out of memory" without a crash or a leak.
#include "squirrel/squirrel.h"
#include "squirrel/src/collector.h"
#include "squirrel/src/memory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void silentPrint(HSQUIRRELVM, const SQChar*, ...) {}

// Compiles and runs src; returns "" on success or the error text.
std::string runScript(HSQUIRRELVM v, const char* src) {
    SQInteger top = sq_gettop(v);
    std::string err;
    if (SQ_FAILED(sq_compilebuffer(v, src, (SQInteger)strlen(src), "limits", SQFalse))) {
        sq_getlasterror(v);
        const SQChar* s = "<non-string>";
        sq_getstring(v, -1, &s);
        err = std::string("compile: ") + s;
    } else {
        sq_pushroottable(v);
        if (SQ_FAILED(sq_call(v, 1, SQFalse, SQFalse))) {
            sq_getlasterror(v);
            const SQChar* s = "<non-string>";
            sq_getstring(v, -1, &s);
            err = s;
        }
    }
    sq_settop(v, top);
    return err;
}

TEST(SquirrelLimits, RunawayScriptsEndInScriptErrors) {
    HSQUIRRELVM v = sq_open(256);
    sq_setprintfunc(v, silentPrint);
    struct Case {
        const char* src;
        const char* error;
    } cases[] = {
        {"function f(n) { return 1 + f(n + 1); } f(0);", "stack overflow"},
        {"function g(n) { return g.call(this, n + 1); } g(0);", "Native stack overflow"},
    };
    for (const Case& c : cases) EXPECT_EQ(runScript(v, c.src), c.error) << c.src;
    // Deep nesting is a compile error, not a C stack overflow.
    std::string deep = "local x = " + std::string(100000, '(') + "1" + std::string(100000, ')') + ";";
    EXPECT_EQ(runScript(v, deep.c_str()), "compile: nesting too deep");
    std::string blocks = std::string(100000, '{') + std::string(100000, '}');
    EXPECT_EQ(runScript(v, blocks.c_str()), "compile: nesting too deep");
    // More than 255 frame slots is a compile error (slot operands are bytes).
    std::string locals = "local v0 = 0";
    for (int i = 1; i < 300; ++i) locals += ", v" + std::to_string(i) + " = " + std::to_string(i);
    EXPECT_EQ(runScript(v, locals.c_str()), "compile: internal compiler error: too many locals");
    // Freeing a long chain of objects does not recurse once per link.
    EXPECT_EQ(
        runScript(v,
                  "local l = null\nfor (local i = 0; i < 1000000; i++) l = { next = l, a = [l] }\nl = null;"),
        "");
    // the VM stays usable after each of them
    EXPECT_EQ(runScript(v, "local x = 1 + 1;"), "");
    EXPECT_EQ(sqValidateHeap(v), 0);
    sq_close(v);
}

// A process-wide budget on VM memory, so runaway growth meets a failing allocation.
size_t g_used = 0;
size_t g_budget = 0;
void* budgetAlloc(SQUserPointer, void* p, SQUnsignedInteger oldsize, SQUnsignedInteger newsize) {
    if (newsize == 0) {
        g_used -= oldsize;
        free(p);
        return nullptr;
    }
    if (g_used - oldsize + newsize > g_budget) return nullptr;
    void* np = realloc(p, newsize);
    if (np) g_used = g_used - oldsize + newsize;
    return np;
}

TEST(SquirrelLimits, RunawayGrowthEndsInOutOfMemory) {
    g_used = 0;
    g_budget = 32u << 20;
    sq_setallocator(budgetAlloc, nullptr);
    HSQUIRRELVM v = sq_open(256);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(runScript(v, "local a = []\nwhile (true) a.append(a.len());"), "out of memory");
    EXPECT_EQ(runScript(v, "local s = \"x\"; while (true) s += s;"), "out of memory");
    EXPECT_EQ(runScript(v, "local t = {}\nlocal i = 0; while (true) t[i++] <- i;"), "out of memory");
    EXPECT_EQ(runScript(v, "local ok = 1 + 1;"), "");
    sq_close(v);
    sq_setallocator(nullptr, nullptr);
    EXPECT_EQ(g_used, 0u) << "everything allocated was given back";
}

// A task touching most of the VM: compiler, tables, arrays, classes, closures, generators, strings, errors.
const char* kTask = R"(
class Base { x = 1; function get() { return x; } }
class Derived extends Base { y = [1, 2]; constructor(v) { x = v; } function _add(o) { return x + o; } }
local d = Derived(5);
local s = "";
local arr = [3, 1, 2];
arr.sort();
foreach (i, v in arr) s += i + ":" + v + " ";
local t = { a = 1, b = "two", c = [d] };
t.d <- function(n) : (s) { return s + n; };
function gen(n) { for (local i = 0; i < n; i++) yield i; }
local total = 0;
foreach (v in gen(4)) total += v;
try { throw "boom" + total; } catch (e) { s += e; }
local w = t.weakref();
local c = clone t;
delete c.a;
s += (d + 1) + d.get() + t.d(total) + c.len() + typeof w;
local th = newthread(function(a) { return suspend(a) + 1; });
th.call(1);
th.wakeup(2);
collectgarbage();
return s;
)";

TEST(SquirrelLimits, EveryAllocationOfATaskCanFailOnce) {
    // Count the allocations of a clean run.
    sqAllocFailAt(0);
    {
        HSQUIRRELVM v = sq_open(256);
        sq_setprintfunc(v, silentPrint);
        ASSERT_EQ(runScript(v, kTask), "");
        sq_close(v);
    }
    unsigned long total = sqAllocFailAt(0);
    ASSERT_GT(total, 100u);
    int oomErrors = 0;
    for (unsigned long n = 1; n <= total; ++n) {
        sqAllocFailAt(n);
        HSQUIRRELVM v = sq_open(256);
        if (!v) { // the failure hit the VM's own set-up
            sqAllocFailAt(0);
            continue;
        }
        sq_setprintfunc(v, silentPrint);
        std::string err = runScript(v, kTask);
        if (!err.empty()) {
            EXPECT_TRUE(err == "out of memory" || err == "compile: out of memory")
                << "allocation " << n << ": " << err;
            ++oomErrors;
        }
        sqAllocFailAt(0);
        EXPECT_EQ(sqValidateHeap(v), 0) << "allocation " << n;
        sq_close(v);
    }
    EXPECT_GT(oomErrors, 0);
}

} // namespace
