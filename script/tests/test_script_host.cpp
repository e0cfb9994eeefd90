// The script host: running text, typed table access, root values, the error reports and value lifetimes.
#include "host_test_support.h"

#include "script/script_call.h"

#include <gmock/gmock.h>

#include <cmath>
#include <limits>

using ::testing::HasSubstr;
using ::testing::StartsWith;

TEST_F(HostTest, RunsTextAndReturnsItsResult) {
    ScriptValue result = run("local t = {}\nfor (local i = 0; i < 10; ++i) t[i] <- i * i; return t[9];");
    ASSERT_EQ(result.type(), OT_INTEGER);
    EXPECT_EQ(result.object()._unVal.nInteger, 81);
}

TEST_F(HostTest, GetIntConvertsAsTheSettingsTableNeeds) {
    ScriptValue table =
        run("return {a = 2.9, b = -2.9, c = \"12\", d = 7, e = 3000000000.0, f = null, g = true}");
    ASSERT_EQ(table.type(), OT_TABLE);
    struct Case {
        const char* key;
        SQInteger expected;
    };
    const Case cases[] = {{"a", 2}, {"b", -2}, {"c", 0}, {"d", 7},
                          {"e", 0}, {"f", 0},  {"g", 0}, {"missing", 0}};
    for (const Case& c : cases) EXPECT_EQ(ScriptHost::getInt(table, c.key), c.expected) << c.key;
    // Not a table at all.
    EXPECT_EQ(ScriptHost::getInt(ScriptValue::fromInt(3), "a"), 0);
}

TEST_F(HostTest, GetStringAndUserDataSetTheTypeError) {
    ScriptValue table = run("return {name = \"harbor\", number = 12, blobby = blob(4)}");
    EXPECT_STREQ(ScriptHost::getString(table, "name"), "harbor");

    EXPECT_EQ(ScriptHost::getString(table, "number"), nullptr);
    EXPECT_STREQ(ScriptHost::lastErrorText(), "wrong argument type, expected 'string' got '12'");
    EXPECT_EQ(ScriptHost::getString(table, "missing"), nullptr);
    EXPECT_STREQ(ScriptHost::lastErrorText(), "wrong argument type, expected 'string' got 'null'");
    EXPECT_EQ(ScriptHost::getUserData(table, "name"), nullptr);
    EXPECT_STREQ(ScriptHost::lastErrorText(), "wrong argument type, expected 'userdata' got 'harbor'");

    // The value's text is cut to 50 characters.
    ScriptValue longText =
        run("local s = \"\"; for (local i = 0; i < 80; ++i) s += \"x\"; return {v = s, n = 1}");
    ScriptHost::getUserData(longText, "v");
    EXPECT_EQ(std::string(ScriptHost::lastErrorText()),
              "wrong argument type, expected 'userdata' got '" + std::string(50, 'x') + "'");
}

TEST_F(HostTest, SettersUseRawAssignmentAndKeepTheStack) {
    ScriptValue table = run("return delegate { function _set(k, v) { throw \"metamethod\" } } : {}");
    SQInteger top = sq_gettop(ScriptHost::vm());
    EXPECT_TRUE(ScriptHost::setBool(table, "flag", true));
    EXPECT_TRUE(ScriptHost::setInt(table, "count", 5));
    EXPECT_TRUE(ScriptHost::setInt(table, "count", 6)); // replaces
    EXPECT_TRUE(ScriptHost::setFloat(table, "speed", 1.5f));
    EXPECT_TRUE(ScriptHost::setValue(table, "self", table));
    EXPECT_EQ(sq_gettop(ScriptHost::vm()), top);
    EXPECT_EQ(ScriptHost::getInt(table, "count"), 6);
    EXPECT_EQ(ScriptHost::getSlot(table, "flag").type(), OT_BOOL);
    EXPECT_EQ(ScriptHost::getSlot(table, "speed").object()._unVal.fFloat, 1.5f);
    EXPECT_TRUE(ScriptHost::getSlot(table, "self") == table);

    // A class takes new members; an instance only replaces existing ones.
    ScriptValue cls = run("class Thing { x = 1 }\nreturn Thing;");
    EXPECT_TRUE(ScriptHost::setInt(cls, "y", 2));
    ScriptValue instance = ScriptHost::callClosure(cls);
    ASSERT_EQ(instance.type(), OT_INSTANCE);
    EXPECT_TRUE(ScriptHost::setInt(instance, "x", 9));
    EXPECT_EQ(ScriptHost::getInt(instance, "x"), 9);
    EXPECT_EQ(ScriptHost::getInt(instance, "y"), 2);
    EXPECT_FALSE(ScriptHost::setInt(ScriptValue::fromInt(1), "x", 1));
    EXPECT_EQ(sq_gettop(ScriptHost::vm()), top);
    EXPECT_EQ(takeLog(), "");
}

TEST_F(HostTest, RootValuesAndArguments) {
    ScriptValue root = ScriptHost::root();
    EXPECT_EQ(ScriptHost::getInt(root, "INT_MAX"), 2147483647);
    EXPECT_EQ(ScriptHost::getInt(root, "INT_MIN"), -2147483647 - 1);
    EXPECT_EQ(ScriptHost::getSlot(root, "INFINITY").object()._unVal.fFloat,
              std::numeric_limits<float>::infinity());
    EXPECT_EQ(ScriptHost::getSlot(root, "FLT_MAX").object()._unVal.fFloat, std::numeric_limits<float>::max());
    EXPECT_EQ(ScriptHost::getSlot(root, "FLT_MIN").object()._unVal.fFloat, std::numeric_limits<float>::min());

    // Ordinary slots: scripts may assign them.
    run("INT_MAX = 5");
    EXPECT_EQ(ScriptHost::getInt(root, "INT_MAX"), 5);

    ScriptValue joined = run("local s = \"\"; foreach (a in ARGS) s += a + \"|\"; return s;");
    ASSERT_EQ(joined.type(), OT_STRING);
    HSQOBJECT object = joined.object();
    EXPECT_STREQ(sq_objtostring(&object), "harborhaven|first|+print(1)|");
}

TEST_F(HostTest, CreateIsIdempotent) {
    HSQUIRRELVM before = ScriptHost::vm();
    run("marker <- 1");
    const char* other[] = {"x"};
    ScriptHost::create(1, other);
    EXPECT_EQ(ScriptHost::vm(), before);
    EXPECT_EQ(ScriptHost::getInt(ScriptHost::root(), "marker"), 1);
}

TEST_F(HostTest, CompileErrorsUseTheCompilerFormat) {
    EXPECT_TRUE(ScriptHost::compileBuffer("local x = ;").isNull());
    EXPECT_THAT(takeLog(), StartsWith("console_buffer line = (1) column = ("));
    EXPECT_TRUE(ScriptHost::compileBuffer("local a = 1;\nlocal b = ;").isNull());
    std::string log = takeLog();
    EXPECT_THAT(log, StartsWith("console_buffer line = (2) column = ("));
    EXPECT_THAT(log, HasSubstr(") : error "));
}

TEST_F(HostTest, RuntimeErrorsPrintTheMessageAndTheCallStack) {
    SQInteger top = sq_gettop(ScriptHost::vm());
    ScriptValue result = run("function inner(x) { local t = null; return t.missing; }\n"
                             "function outer() { local r = inner(3); return r; }\n"
                             "return outer();");
    EXPECT_TRUE(result.isNull());
    EXPECT_EQ(sq_gettop(ScriptHost::vm()), top);
    std::string log = takeLog();
    EXPECT_THAT(log, StartsWith("error: [the index 'missing' does not exist]\n"));
    EXPECT_THAT(log, HasSubstr("inner"));
    EXPECT_THAT(log, HasSubstr("outer"));

    run("throw 42");
    EXPECT_THAT(takeLog(), StartsWith("error: [unknown]\n"));
}

TEST_F(HostTest, MissingRootFunctionIsQuietlyNotCalled) {
    ScriptHost::callRootFunction("initApp");
    EXPECT_EQ(takeLog(), "");
    run("function initApp() { print(\"init ran\\n\") }");
    ScriptHost::callRootFunction("initApp");
    EXPECT_EQ(takeLog(), "init ran\n");
}

TEST_F(HostTest, PrintPassesLongTextUncut) {
    run("local s = \"\"; for (local i = 0; i < 5000; ++i) s += \"ab\"; print(s + \"%d\\n\");");
    std::string expected;
    for (int i = 0; i < 5000; ++i) expected += "ab";
    EXPECT_EQ(takeLog(), expected + "%d\n");
}

TEST_F(HostTest, HeldValuesSurviveCollectionAndOutliveTheVm) {
    ScriptValue table = run("local t = {v = 7}\nt.me <- t; return t;"); // a cycle only the handle keeps
    ScriptValue copy = table;
    sq_collectgarbage(ScriptHost::vm());
    EXPECT_EQ(ScriptHost::getInt(copy, "v"), 7);
    table.reset();
    sq_collectgarbage(ScriptHost::vm());
    EXPECT_EQ(ScriptHost::getInt(copy, "v"), 7);

    // Handles alive across destroy and a new VM must neither release into the new VM nor be read.
    ScriptHost::destroy();
    const char* arguments[] = {"again"};
    ScriptHost::create(1, arguments);
    ScriptValue stale = copy; // a copy of a handle of the old VM holds null
    EXPECT_TRUE(stale.isNull());
    copy.reset();
    EXPECT_EQ(ScriptHost::getInt(ScriptHost::root(), "INT_MAX"), 2147483647);
}
