// Embedding API: a C++ host creating classes and instances with type tags and release hooks, calling
// closures, catching errors, pinning objects, and the collector's invariants.
#include "squirrel/squirrel.h"
#include "squirrel/src/collector.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

namespace {

std::string g_out;

void capturePrint(HSQUIRRELVM, const SQChar* fmt, ...) {
    char buf[1024];
    va_list args;
    va_start(args, fmt);
    vsnprintf(buf, sizeof(buf), fmt, args);
    va_end(args);
    g_out += buf;
}

class VmTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_out.clear();
        v = sq_open(256);
        ASSERT_NE(v, nullptr);
        sq_setprintfunc(v, capturePrint);
    }
    void TearDown() override {
        EXPECT_EQ(sqValidateHeap(v), 0);
        sq_close(v);
    }
    // Compiles and runs src with the root table as this; returns the error text or "" on success.
    std::string run(const char* src) {
        SQInteger top = sq_gettop(v);
        std::string err;
        if (SQ_FAILED(sq_compilebuffer(v, src, (SQInteger)strlen(src), "test", SQFalse))) {
            err = lastError();
        } else {
            sq_pushroottable(v);
            if (SQ_FAILED(sq_call(v, 1, SQFalse, SQFalse))) err = lastError();
        }
        sq_settop(v, top);
        return err;
    }
    std::string lastError() {
        sq_getlasterror(v);
        const SQChar* s = "<non-string>";
        sq_getstring(v, -1, &s);
        std::string r = s;
        sq_pop(v, 1);
        return r;
    }
    HSQUIRRELVM v = nullptr;
};

// ---- a host class: instances carry a native counter, tagged and released through a hook ----

int g_released = 0;
int g_tag; // address used as the type tag

struct Counter {
    int value;
};

SQInteger counterRelease(SQUserPointer p, SQInteger) {
    delete static_cast<Counter*>(p);
    ++g_released;
    return 0;
}

SQInteger counterCtor(HSQUIRRELVM v) {
    SQInteger start = 0;
    if (sq_gettop(v) > 1) sq_getinteger(v, 2, &start);
    Counter* c = new Counter{(int)start};
    sq_setinstanceup(v, 1, c);
    sq_setreleasehook(v, 1, counterRelease);
    return 0;
}

SQInteger counterIncrement(HSQUIRRELVM v) {
    SQUserPointer p;
    if (SQ_FAILED(sq_getinstanceup(v, 1, &p, &g_tag))) return sq_throwerror(v, "not a counter");
    Counter* c = static_cast<Counter*>(p);
    sq_pushinteger(v, ++c->value);
    return 1;
}

void registerCounter(HSQUIRRELVM v) {
    sq_pushroottable(v);
    sq_pushstring(v, "Counter", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_newclass(v, SQFalse)));
    sq_settypetag(v, -1, &g_tag);
    sq_pushstring(v, "constructor", -1);
    sq_newclosure(v, counterCtor, 0);
    sq_setparamscheck(v, -1, "xn");
    sq_newslot(v, -3, SQFalse);
    sq_pushstring(v, "increment", -1);
    sq_newclosure(v, counterIncrement, 0);
    sq_newslot(v, -3, SQFalse);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
}

SQInteger releasedCount(HSQUIRRELVM v) {
    sq_pushinteger(v, g_released);
    return 1;
}

TEST_F(VmTest, HostClassInstancesAreTaggedAndReleasedAtOnce) {
    registerCounter(v);
    g_released = 0;
    sq_pushroottable(v);
    sq_pushstring(v, "released", -1);
    sq_newclosure(v, releasedCount, 0);
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
    // The hook runs while the script is still running, right after the last reference went.
    EXPECT_EQ(run("local c = Counter(1); c.increment(); c = null; print(released() + \";\");"), "");
    EXPECT_EQ(g_out, "1;");
    g_out.clear();
    g_released = 0;
    EXPECT_EQ(run("local c = Counter(41); print(c.increment()); c = null; print(\",\" + typeof Counter);"),
              "");
    EXPECT_EQ(g_out, "42,class");
    EXPECT_EQ(g_released, 1) << "the hook runs as soon as the last reference goes";

    // A subclass keeps the base's tag; an unrelated instance is refused by the tag check.
    EXPECT_EQ(run("class Sub extends Counter { function twice() { increment(); return increment(); } }"
                  "print(Sub(1).twice());"),
              "");
    EXPECT_EQ(g_out, "42,class3");
    EXPECT_EQ(run("class Other { } Counter.increment.call(Other());"), "not a counter");
    EXPECT_EQ(run("Counter(\"x\")"), "parameter 1 has an invalid type 'string' ; expected: 'integer|float'");
}

TEST_F(VmTest, CallsScriptClosuresWithArgumentsAndReadsResults) {
    ASSERT_EQ(run("function add(a, b = 10) { return a + b; }"), "");
    sq_pushroottable(v);
    sq_pushstring(v, "add", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_get(v, -2)));
    sq_pushroottable(v);
    sq_pushinteger(v, 5);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(v, 2, SQTrue, SQFalse)));
    SQInteger r = 0;
    ASSERT_TRUE(SQ_SUCCEEDED(sq_getinteger(v, -1, &r)));
    EXPECT_EQ(r, 15);
    sq_pop(v, 3);
    EXPECT_EQ(sq_gettop(v), 0);
}

int g_handlerCalls = 0;
SQInteger countingHandler(HSQUIRRELVM v) {
    ++g_handlerCalls;
    SQStackInfos si;
    // level 0 is this handler; level 1 the failing function
    if (SQ_SUCCEEDED(sq_stackinfos(v, 1, &si))) capturePrint(v, "[%s:%d]", si.funcname, (int)si.line);
    return 0;
}

TEST_F(VmTest, ErrorsReachTheHostAndTheHandlerOnlyWithRaiseError) {
    sq_newclosure(v, countingHandler, 0);
    sq_seterrorhandler(v);
    g_handlerCalls = 0;
    ASSERT_EQ(run("function boom() {\n  throw \"bad\";\n}"), "");
    sq_pushroottable(v);
    sq_pushstring(v, "boom", -1);
    sq_get(v, -2);
    sq_pushroottable(v);
    EXPECT_TRUE(SQ_FAILED(sq_call(v, 1, SQFalse, SQFalse)));
    EXPECT_EQ(g_handlerCalls, 0);
    EXPECT_EQ(lastError(), "bad");
    sq_pushroottable(v);
    EXPECT_TRUE(SQ_FAILED(sq_call(v, 1, SQFalse, SQTrue)));
    EXPECT_EQ(g_handlerCalls, 1);
    EXPECT_EQ(g_out, "[boom:2]");
    sq_pop(v, 2);
    EXPECT_EQ(sq_gettop(v), 0);

    // A script try around the boundary still catches; non-string errors arrive as values.
    EXPECT_EQ(run("try { boom(); } catch (e) { print(e); }"), "");
    EXPECT_EQ(run("throw {code = 7}"), "<non-string>");
}

// The debug setting: the handler hears errors a script try catches too, once per error, where it was raised.
TEST_F(VmTest, NotifyAllExceptionsReportsCaughtErrors) {
    sq_newclosure(v, countingHandler, 0);
    sq_seterrorhandler(v);
    ASSERT_EQ(run("function twice() {\n  try { throw \"a\"; } catch (e) {}\n  try {\n    ::nothing.x;\n  } "
                  "catch (e) {}\n"
                  "  return 1;\n}"),
              "");
    auto callTwice = [&] {
        g_handlerCalls = 0;
        g_out.clear();
        sq_pushroottable(v);
        sq_pushstring(v, "twice", -1);
        sq_get(v, -2);
        sq_pushroottable(v);
        EXPECT_TRUE(SQ_SUCCEEDED(sq_call(v, 1, SQFalse, SQTrue)));
        sq_pop(v, 2);
        return g_handlerCalls;
    };
    EXPECT_EQ(callTwice(), 0);
    sq_notifyallexceptions(v, SQTrue);
    EXPECT_EQ(callTwice(), 2);
    EXPECT_EQ(g_out, "[twice:2][twice:4]");
    sq_notifyallexceptions(v, SQFalse);
    EXPECT_EQ(callTwice(), 0);
    EXPECT_EQ(sq_gettop(v), 0);
}

SQInteger nativeSum(HSQUIRRELVM v) {
    SQInteger a, b, bias;
    sq_getinteger(v, 2, &a);
    sq_getinteger(v, 3, &b);
    sq_getinteger(v, 4, &bias); // the free variable follows the arguments
    sq_pushinteger(v, a + b + bias);
    return 1;
}

TEST_F(VmTest, NativeClosuresCheckParametersAndSeeFreeVariables) {
    sq_pushroottable(v);
    sq_pushstring(v, "sum", -1);
    sq_pushinteger(v, 100);
    sq_newclosure(v, nativeSum, 1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_setparamscheck(v, 3, ".nn")));
    sq_setnativeclosurename(v, -1, "sum");
    sq_newslot(v, -3, SQFalse);
    sq_pop(v, 1);
    EXPECT_EQ(run("print(sum(1, 2));"), "");
    EXPECT_EQ(g_out, "103");
    EXPECT_EQ(run("sum(1)"), "wrong number of parameters");
    EXPECT_EQ(run("sum(1, \"2\")"), "parameter 2 has an invalid type 'string' ; expected: 'integer|float'");
    EXPECT_EQ(run("print(sum.getinfos().name)"), "");
    EXPECT_EQ(g_out, "103sum");
}

// Host functions that fail the C++ way, as an engine method may.
SQInteger throwsBadAlloc(HSQUIRRELVM) {
    throw std::bad_alloc();
}
SQInteger throwsRuntimeError(HSQUIRRELVM) {
    throw std::runtime_error("engine method failed");
}
SQInteger throwsInt(HSQUIRRELVM) {
    throw 7;
}

TEST_F(VmTest, HostExceptionsBecomeScriptErrors) {
    const struct {
        const char* name;
        SQFUNCTION function;
        const char* error;
    } cases[] = {
        {"badAlloc", &throwsBadAlloc, "out of memory"},
        {"runtimeError", &throwsRuntimeError, "engine method failed"},
        {"other", &throwsInt, "native function failed"},
    };
    for (const auto& c : cases) {
        sq_pushroottable(v);
        sq_pushstring(v, c.name, -1);
        sq_newclosure(v, c.function, 0);
        sq_newslot(v, -3, SQFalse);
        sq_pop(v, 1);
        const SQInteger top = sq_gettop(v);
        EXPECT_EQ(run((std::string(c.name) + "();").c_str()), c.error);
        EXPECT_EQ(sq_gettop(v), top);
        // A script can catch it, and the VM goes on as after any error.
        g_out.clear();
        EXPECT_EQ(
            run((std::string("try { ") + c.name + "(); } catch (e) { print(e); } print(\"|ok\");").c_str()),
            "");
        EXPECT_EQ(g_out, std::string(c.error) + "|ok");
    }
}

int g_udReleased = 0;
SQInteger udRelease(SQUserPointer p, SQInteger size) {
    EXPECT_EQ(size, 16);
    EXPECT_EQ(*static_cast<int*>(p), 1234);
    ++g_udReleased;
    return 0;
}

TEST_F(VmTest, PinnedObjectsSurviveCollectionAndUserdataHooksRun) {
    g_udReleased = 0;
    SQUserPointer mem = sq_newuserdata(v, 16);
    *static_cast<int*>(mem) = 1234;
    sq_settypetag(v, -1, &g_tag);
    sq_setreleasehook(v, -1, udRelease);
    HSQOBJECT ud;
    sq_getstackobj(v, -1, &ud);
    sq_addref(v, &ud);
    sq_pop(v, 1);
    sq_collectgarbage(v);
    EXPECT_EQ(g_udReleased, 0);
    SQUserPointer tag = nullptr;
    EXPECT_TRUE(SQ_SUCCEEDED(sq_getobjtypetag(&ud, &tag)));
    EXPECT_EQ(tag, &g_tag);
    EXPECT_TRUE(sq_release(v, &ud));
    EXPECT_EQ(g_udReleased, 1);
}

TEST_F(VmTest, CollectorReclaimsCyclesAndKeepsTheHeapValid) {
    registerCounter(v);
    g_released = 0;
    // (a ';' after a '}' ends the line's statements: each script line below starts after a newline)
    ASSERT_EQ(run("local a = {}\nlocal b = { a = a }\na.b <- b\n"
                  "local c = Counter(); c = null\n"
                  "local arr = []\narr.append(arr)\n"
                  "local k = class { me = null }\nlocal i = k(); i.me = i\n"
                  "local f = function() {}\nlocal t = { f = f }\nt.self <- t\n"),
              "");
    EXPECT_EQ(g_released, 1);
    // The count is what the sweep itself finalizes: one object per unreachable cycle here (the rest of each
    // cycle is freed as a consequence and not counted).
    SQInteger n = sq_collectgarbage(v);
    EXPECT_GE(n, 4);
    EXPECT_EQ(sqValidateHeap(v), 0);
    EXPECT_EQ(sq_collectgarbage(v), 0) << "nothing is left to reclaim";
    EXPECT_EQ(run("local w = {}.weakref()\ncollectgarbage(); print(w.ref() == null);"), "");
    EXPECT_EQ(g_out, "true");
}

TEST_F(VmTest, IterationAndRawAccessThroughTheStack) {
    ASSERT_EQ(run("t <- { a = 1, b = 2 }"), "");
    sq_pushroottable(v);
    sq_pushstring(v, "t", -1);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_rawget(v, -2)));
    SQInteger sum = 0;
    sq_pushnull(v);
    while (SQ_SUCCEEDED(sq_next(v, -2))) {
        SQInteger x;
        sq_getinteger(v, -1, &x);
        sum += x;
        sq_pop(v, 2);
    }
    sq_pop(v, 1);
    EXPECT_EQ(sum, 3);
    EXPECT_EQ(sq_getsize(v, -1), 2);
    sq_pop(v, 2);
    EXPECT_EQ(sq_gettop(v), 0);
}

TEST_F(VmTest, ThreadsSuspendAndWakeUpFromTheHost) {
    EXPECT_EQ(
        run("local th = newthread(function(a) { local b = suspend(a + 1); return b * 2; });"
            "print(th.call(1) + \" \" + th.getstatus() + \" \" + th.wakeup(10) + \" \" + th.getstatus());"),
        "");
    EXPECT_EQ(g_out, "2 suspended 20 idle");
}

// sq_wakeupvm with throwerror raises the error set beforehand where the thread waits: a try there catches it,
// otherwise the wakeup fails with it and the thread is idle again.
TEST_F(VmTest, WakeupCanThrowIntoTheSuspendedThread) {
    ASSERT_EQ(run("function waits(guard) {"
                  "  if (!guard) { suspend(1); return \"not thrown\"; }\n"
                  "  try { suspend(1); return \"not thrown\"; } catch (e) { return \"caught \" + e; }"
                  "}"),
              "");
    for (bool guarded : {true, false}) {
        HSQUIRRELVM t = sq_newthread(v, 256);
        ASSERT_NE(t, nullptr);
        sq_pushroottable(t);
        sq_pushstring(t, "waits", -1);
        ASSERT_TRUE(SQ_SUCCEEDED(sq_get(t, -2)));
        sq_pushroottable(t);
        sq_pushbool(t, guarded ? SQTrue : SQFalse);
        ASSERT_TRUE(SQ_SUCCEEDED(sq_call(t, 2, SQTrue, SQFalse)));
        ASSERT_EQ(sq_getvmstate(t), SQ_VMSTATE_SUSPENDED);
        sq_pop(t, 1);
        sq_throwerror(t, "boom");
        SQRESULT r = sq_wakeupvm(t, SQFalse, SQTrue, SQFalse, SQTrue);
        if (guarded) {
            ASSERT_TRUE(SQ_SUCCEEDED(r));
            const SQChar* s = nullptr;
            ASSERT_TRUE(SQ_SUCCEEDED(sq_getstring(t, -1, &s)));
            EXPECT_STREQ(s, "caught boom");
        } else {
            EXPECT_TRUE(SQ_FAILED(r));
            sq_getlasterror(t);
            const SQChar* s = nullptr;
            ASSERT_TRUE(SQ_SUCCEEDED(sq_getstring(t, -1, &s)));
            EXPECT_STREQ(s, "boom");
        }
        EXPECT_EQ(sq_getvmstate(t), SQ_VMSTATE_IDLE);
        sq_pop(v, 1); // the thread
    }
}

} // namespace

namespace {

// Scripts that once misbehaved (found by the fuzzer or by hand), with the output they must print.
TEST_F(VmTest, Regressions) {
    struct Case {
        const char* src;
        const char* out;
    } cases[] = {
        {"local s = \"\"; s += s; print(s.len());", "0"},               // empty concatenation
        {"function f(a, b = 10) { return a + b; } print(f(5));", "15"}, // default survives frame entry
        {"local t = {}\nlocal i = 0\nt[i++] <- i; print(t[0]);", "1"},  // postfix inside a key
    };
    for (const Case& c : cases) {
        g_out.clear();
        EXPECT_EQ(run(c.src), "") << c.src;
        EXPECT_EQ(g_out, c.out) << c.src;
    }
}

// Instance members are looked up through a small cache per class: the same names at other indices in other
// classes, a derived class, and a class with more members than the cache has entries must all read back
// right.
TEST_F(VmTest, InstanceMemberLookupsKeepEachClassesLayout) {
    const char* src = R"(
class A { a = 1; b = 2; function f() { return "A.f" + a; } }
class B { b = 3; a = 4; f = "B.f"; }
class C extends A { c = 5; function f() { return "C.f" + c + a; } }
local xs = [A(), B(), C(), A(), B(), C()];
local s = "";
for (local r = 0; r < 2; r++)
  foreach (x in xs) { s += x.a + "," + x.b + ","; s += (typeof x.f == "string" ? x.f : x.f()) + ";"; x.a += 10; }
print(s + "|");
local src = "class Big {";
for (local i = 0; i < 40; i++) src += " m" + i + " = " + i + ";";
src += " function sum() { local t = 0; ";
for (local i = 0; i < 40; i++) src += "t += m" + i + " * " + (i + 1) + "; ";
src += "return t; } }";
compilestring(src)();
local big = Big(), big2 = Big();
big.m7 = 100;
print(big.sum() + " " + big2.sum() + " " + big.m7 + " " + big2.m39 + "|");
local ok = false; try { big.nothere; } catch (e) { ok = true; }
print(ok);
)";
    EXPECT_EQ(run(src), "");
    EXPECT_EQ(g_out, "1,2,A.f1;4,3,B.f;1,2,C.f51;1,2,A.f1;4,3,B.f;1,2,C.f51;11,2,A.f11;14,3,B.f;11,2,C.f511;"
                     "11,2,A.f11;14,3,B.f;11,2,C.f511;|22064 21320 100 39|true");
}

} // namespace
