// A script host for a binding test: the VM with `Component` and the value classes registered, the debug log
// captured, and helpers that evaluate script expressions.
#pragma once

#include "binding/component_class.h"
#include "binding/value_binding.h"
#include "platform/kd.h"
#include "script/script_host.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

class BindingTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* arguments[] = {"harborhaven"};
        ScriptHost::create(1, arguments);
        ASSERT_NE(ScriptHost::vm(), nullptr);
        // The host registers the classes at creation; a host that does not yet is completed here.
        if (ScriptHost::getSlot(ScriptHost::root(), "Component").isNull()) {
            ASSERT_TRUE(registerComponentClass(vm()));
            ASSERT_TRUE(registerValueClasses(vm()));
        }
        kdSetLogHook(&BindingTest::capture, this);
    }
    void TearDown() override {
        kdSetLogHook(nullptr, nullptr);
        ScriptHost::destroy();
    }

    static HSQUIRRELVM vm() { return ScriptHost::vm(); }

    // Runs script text at the root; its result (null after a script error).
    ScriptValue run(const std::string& text) {
        return ScriptHost::callClosure(ScriptHost::compileBuffer(text.c_str()));
    }
    // The text form of an expression's value ("" + value, "null" for null), or "<error>" after a script
    // error.
    std::string eval(const std::string& expression) {
        ScriptValue result = run("local r = (" + expression + "); return r == null ? \"null\" : \"\" + r;");
        if (result.type() != OT_STRING) {
            return "<error>";
        }
        const SQChar* text = nullptr;
        sq_pushobject(vm(), result.object());
        sq_getstring(vm(), -1, &text);
        std::string copy = text;
        sq_pop(vm(), 1);
        return copy;
    }
    // The log written since the last call.
    std::string takeLog() { return std::exchange(m_log, std::string()); }

    // Stores value under name in the root table.
    void setRoot(const char* name, const ScriptValue& value) {
        ScriptHost::setValue(ScriptHost::root(), name, value);
    }

    void collect() { sq_collectgarbage(vm()); }

private:
    static void capture(const KDchar* text, void* self) { static_cast<BindingTest*>(self)->m_log += text; }
    std::string m_log;
};
