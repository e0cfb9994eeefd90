// Calling script functions with arguments, and the misuse reports of the one call under construction.
#include "host_test_support.h"

#include "script/script_call.h"

#include <gmock/gmock.h>

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

std::string text(const ScriptValue& value) {
    if (value.type() != OT_STRING) return "<not a string>";
    HSQOBJECT object = value.object();
    return sq_objtostring(&object);
}

} // namespace

TEST_F(HostTest, CallPassesArgumentsInOrderWithTheReceiver) {
    ScriptValue function = run("return function(a, b, c, d) { return a + \"/\" + b + \"/\" + c + \"/\" + d + "
                               "\"/\" + this.tag; }");
    ScriptValue receiver = run("return {tag = \"me\"}");
    ScriptValue table = run("return [1, 2]");
    ASSERT_TRUE(ScriptCall::begin(function, receiver));
    ScriptCall::pushInt(-4);
    ScriptCall::pushBool(true);
    ScriptCall::pushString("text");
    ScriptCall::pushValue(table);
    ScriptValue result = ScriptCall::end();
    EXPECT_THAT(text(result), StartsWith("-4/true/text/"));
    EXPECT_THAT(text(result), HasSubstr("/me"));
    EXPECT_FALSE(ScriptCall::isBuilding());

    // The one-argument form calls with the root table as `this`.
    run("tag <- \"root\"");
    ScriptValue who = run("return function() { return this.tag }");
    ASSERT_TRUE(ScriptCall::begin(who));
    EXPECT_EQ(text(ScriptCall::end()), "root");
    EXPECT_EQ(takeLog(), "");
}

TEST_F(HostTest, PushWithoutBeginIsReportedAndPushesNothing) {
    SQInteger top = sq_gettop(ScriptHost::vm());
    ScriptCall::pushInt(1);
    ScriptCall::pushBool(false);
    ScriptCall::pushString("x");
    ScriptCall::pushValue(ScriptValue());
    EXPECT_EQ(takeLog(), "error: call not initialized\n"
                         "error: call not initialized\n"
                         "error: call not initialized\n"
                         "error: call not initialized\n");
    EXPECT_EQ(sq_gettop(ScriptHost::vm()), top);
    EXPECT_TRUE(ScriptCall::end().isNull());
    EXPECT_EQ(takeLog(), "");
}

TEST_F(HostTest, SecondBeginIsReportedAndLeavesTheFirstCallIntact) {
    ScriptValue sum = run("return function(a, b) { return a + b }");
    ScriptValue other = run("return function() { return \"wrong\" }");
    ASSERT_TRUE(ScriptCall::begin(sum));
    ScriptCall::pushInt(40);
    EXPECT_FALSE(ScriptCall::begin(other));
    EXPECT_FALSE(ScriptCall::begin(other, ScriptValue()));
    EXPECT_EQ(takeLog(), "error: call already initialized\nerror: call already initialized\n");
    ScriptCall::pushInt(2);
    ScriptValue result = ScriptCall::end();
    ASSERT_EQ(result.type(), OT_INTEGER);
    EXPECT_EQ(result.object()._unVal.nInteger, 42);
}

TEST_F(HostTest, FailedCallCutsTheStackBack) {
    SQInteger top = sq_gettop(ScriptHost::vm());
    ScriptValue failing = run("return function(a) { throw \"bad \" + a }");
    ASSERT_TRUE(ScriptCall::begin(failing));
    ScriptCall::pushString("input");
    EXPECT_TRUE(ScriptCall::end().isNull());
    EXPECT_EQ(sq_gettop(ScriptHost::vm()), top);
    EXPECT_THAT(takeLog(), StartsWith("error: [bad input]\n"));

    // A missing function: nothing runs and nothing is reported.
    ASSERT_TRUE(ScriptCall::begin(ScriptValue()));
    ScriptCall::pushInt(1);
    EXPECT_TRUE(ScriptCall::end().isNull());
    EXPECT_EQ(sq_gettop(ScriptHost::vm()), top);
    EXPECT_EQ(takeLog(), "");
    // The next call works.
    ScriptValue fine = run("return function() { return 1 }");
    ASSERT_TRUE(ScriptCall::begin(fine));
    EXPECT_EQ(ScriptCall::end().type(), OT_INTEGER);
}

namespace {

// A native function that makes a call of its own while the outer call runs.
SQInteger callBack(HSQUIRRELVM v) {
    ScriptValue function = ScriptValue::fromStack(2);
    if (!ScriptCall::begin(function)) return 0;
    ScriptCall::pushInt(10);
    ScriptValue result = ScriptCall::end();
    result.push();
    return 1;
}

} // namespace

TEST_F(HostTest, CalledNativeCodeMayStartItsOwnCall) {
    HSQUIRRELVM v = ScriptHost::vm();
    sq_pushroottable(v);
    sq_pushstring(v, "callBack", -1);
    sq_newclosure(v, callBack, 0);
    sq_newslot(v, -3, SQFalse);
    sq_poptop(v);
    ScriptValue outer = run("return function(n) { return n + callBack(function(x) { return x * 2 }) }");
    ASSERT_TRUE(ScriptCall::begin(outer));
    ScriptCall::pushInt(1);
    ScriptValue result = ScriptCall::end();
    ASSERT_EQ(result.type(), OT_INTEGER);
    EXPECT_EQ(result.object()._unVal.nInteger, 21);
    EXPECT_EQ(takeLog(), "");
}
