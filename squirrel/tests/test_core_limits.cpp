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

void* plainRealloc(SQUserPointer, void* p, SQUnsignedInteger, SQUnsignedInteger newsize) {
    if (newsize == 0) {
        free(p);
        return nullptr;
    }
    return realloc(p, newsize);
}

// A host may install its own allocator while a VM made under the default one lives: the blocks made before
// (the large mapped ones included) still go back the way they came.
TEST(SquirrelLimits, BlocksOutliveASwitchOfAllocator) {
    HSQUIRRELVM v = sq_open(256);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(runScript(v, "big <- {}\nfor (local i = 0; i < 100000; i++) big[i] <- i;"), "");
    sq_setallocator(plainRealloc, nullptr);
    EXPECT_EQ(
        runScript(v,
                  "big[100000] <- 1; big = null;\nlocal t = {}\nfor (local i = 0; i < 1000; i++) t[i] <- i;"),
        "");
    sq_close(v);
    sq_setallocator(nullptr, nullptr);
}

// A chain of concatenations built in one run is charged for the bytes it copies, as separate
// concatenations are: a budget bounds the copying, not only the loop's jumps.
TEST(SquirrelLimits, ConcatenationChainsSpendTheStepBudget) {
    HSQUIRRELVM v = sq_open(256);
    ASSERT_NE(v, nullptr);
    ASSERT_EQ(runScript(v, "big <- \"x\"; while (big.len() < 65536) big += big; rounds <- 0;"), "");
    sq_setstepbudget(v, 100000);
    EXPECT_EQ(runScript(v, "while (true) { local t = big + \"-\" + big + (rounds * 2); ::rounds++; }"),
              "step budget exhausted");
    sq_setstepbudget(v, -1);
    sq_pushroottable(v);
    sq_pushstring(v, "rounds", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
    SQInteger rounds = 0;
    sq_getinteger(v, -1, &rounds);
    // 128 KiB a round is some 2,000 steps: about 50 rounds, where the jumps alone would allow thousands
    EXPECT_GT(rounds, 10);
    EXPECT_LT(rounds, 100);
    sq_pop(v, 2);
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

// Blocks of megabytes take a path of their own in the default allocator: tables, arrays and strings grown
// past that size, shrunk again and freed keep their contents, and a large block made by sq_malloc still goes
// back through sq_free.
TEST(SquirrelLimits, LargeBlocksKeepTheirContents) {
    HSQUIRRELVM v = sq_open(256);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(runScript(v, R"(
local t = {}
for (local i = 0; i < 200000; i++) t[i] <- i * 3;
local u = clone t;
for (local i = 0; i < 200000; i += 2) delete t[i];
local s = 0;
foreach (k, x in t) s += x - k * 3 + (k & 1) - 1;
if (s != 0 || t.len() != 100000 || u.len() != 200000 || u[199999] != 599997) throw "table";
for (local i = 1; i < 200000; i += 2) delete t[i];
if (t.len() != 0) throw "emptied table";
local a = array(300000, 7);
a.resize(600000, 1);
if (a[299999] != 7 || a[300000] != 1) throw "grown array";
a.resize(10);
if (a.len() != 10 || a[9] != 7) throw "shrunk array";
local str = "ab";
while (str.len() < (3 << 20)) str += str;
if (str.len() != (4 << 20) || str.slice(1000001, 1000003) != "ba") throw "string";
)"),
              "");
    EXPECT_EQ(sqValidateHeap(v), 0);
    sq_close(v);
    const SQUnsignedInteger size = 3u << 20;
    auto* p = static_cast<unsigned char*>(sq_malloc(size));
    ASSERT_NE(p, nullptr);
    memset(p, 0x5A, size);
    p = static_cast<unsigned char*>(sq_realloc(p, size, 2 * size));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[size - 1], 0x5A);
    sq_free(p, 2 * size);
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
