// A script host with the Component class, the value classes and both groups of global functions, over the
// real file system (mounted, with a fresh user data folder); the log captured. Script timers are cancelled
// before the VM closes.
#pragma once

#include "binding/binding.h"
#include "binding/component_class.h"
#include "binding/global_functions.h"
#include "binding/value_binding.h"
#include "platform/kd.h"
#include "platform/platform_hooks.h"
#include "script/script_host.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

class GlobalFunctionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = std::filesystem::temp_directory_path() /
                   ("hh_globals_" + std::to_string(getpid()) + "_" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder / "Harbor Haven");
        setenv("XDG_DATA_HOME", m_folder.c_str(), 1);
        platform::mountFileSystems();
        const char* arguments[] = {"harborhaven"};
        ScriptHost::create(1, arguments);
        HSQUIRRELVM v = ScriptHost::vm();
        ASSERT_NE(v, nullptr);
        // The host registers these itself once it is wired to do so; register only what is missing.
        if (ScriptHost::getSlot(ScriptHost::root(), "Component").isNull()) registerComponentClass(v);
        if (ScriptHost::getSlot(ScriptHost::root(), "Matrix3").isNull()) registerValueClasses(v);
        if (ScriptHost::getSlot(ScriptHost::root(), "getComponent").isNull()) registerGlobalFunctions(v);
        if (ScriptHost::getSlot(ScriptHost::root(), "encodeUTF8").isNull()) registerApplicationFunctions(v);
        kdSetLogHook(&GlobalFunctionsTest::capture, this);
    }
    void TearDown() override {
        cancelAllScriptTimers();
        kdSetLogHook(nullptr, nullptr);
        ScriptHost::destroy();
        kdUnmountAll();
        std::filesystem::remove_all(m_folder);
    }

    // Compiles and runs text at the root; its result.
    ScriptValue run(const std::string& text) {
        return ScriptHost::callClosure(ScriptHost::compileBuffer(text.c_str()));
    }
    // Whether the script expression is true (runs "return (<expression>)").
    bool holds(const std::string& expression) {
        ScriptValue value = run("return (" + expression + ");");
        return value.type() == OT_BOOL && value.object()._unVal.nInteger != 0;
    }
    // Stores a component under name in the root table (the handle takes its own reference).
    void setRootComponent(const char* name, IAbstract* component) {
        HSQUIRRELVM v = ScriptHost::vm();
        sq_pushroottable(v);
        sq_pushstring(v, name, -1);
        pushComponent(v, component);
        sq_newslot(v, -3, SQFalse);
        sq_poptop(v);
    }
    // The log written since the last call.
    std::string takeLog() { return std::exchange(m_log, std::string()); }

    std::filesystem::path m_folder;

private:
    static void capture(const KDchar* text, void* self) {
        static_cast<GlobalFunctionsTest*>(self)->m_log += text;
    }
    std::string m_log;
};
