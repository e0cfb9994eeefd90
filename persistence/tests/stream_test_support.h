// A script host with the Component class, the value classes, both groups of global functions and the
// persistence classes, over the real file system: a fresh user data folder per test, the log captured.
#pragma once

#include "component/component_registry.h"
#include "persistence/persistence_classes.h"
#include "platform/kd.h"
#include "platform/platform_hooks.h"
#include "script/component_class.h"
#include "script/global_functions.h"
#include "script/script_host.h"
#include "script/value_binding.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

class StreamScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = std::filesystem::temp_directory_path() /
                   ("hh_streams_" + std::to_string(getpid()) + "_" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder / "Harbor Haven");
        setenv("XDG_DATA_HOME", m_folder.c_str(), 1);
        platform::mountFileSystems();
        registerPersistenceClasses(ComponentRegistry::instance());
        const char* arguments[] = {"harborhaven"};
        ScriptHost::create(1, arguments);
        HSQUIRRELVM v = ScriptHost::vm();
        ASSERT_NE(v, nullptr);
        // The host registers these itself once it is wired to do so; register only what is missing.
        if (ScriptHost::getSlot(ScriptHost::root(), "Component").isNull()) registerComponentClass(v);
        if (ScriptHost::getSlot(ScriptHost::root(), "Matrix3").isNull()) registerValueClasses(v);
        if (ScriptHost::getSlot(ScriptHost::root(), "getComponent").isNull()) registerGlobalFunctions(v);
        if (ScriptHost::getSlot(ScriptHost::root(), "encodeUTF8").isNull()) registerApplicationFunctions(v);
        kdSetLogHook(&StreamScriptTest::capture, this);
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
    SQInteger rootInt(const char* name) { return ScriptHost::getInt(ScriptHost::root(), name); }
    std::string rootString(const char* name) {
        const char* text = ScriptHost::getString(ScriptHost::root(), name);
        return text ? text : "<not a string>";
    }
    bool rootBool(const char* name) {
        ScriptValue value = ScriptHost::getSlot(ScriptHost::root(), name);
        return value.type() == OT_BOOL && value.object()._unVal.nInteger != 0;
    }
    // The log written since the last call.
    std::string takeLog() { return std::exchange(m_log, std::string()); }

    std::filesystem::path userData() const { return m_folder / "Harbor Haven"; }

public:
    static std::string readBytes(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

protected:
    std::filesystem::path m_folder;

private:
    static void capture(const KDchar* text, void* self) {
        static_cast<StreamScriptTest*>(self)->m_log += text;
    }
    std::string m_log;
};
