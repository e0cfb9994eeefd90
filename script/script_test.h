#pragma once
// `ScriptTest`: the one GoogleTest fixture for tests that run scripts, in every layer from the host up. For
// the test's life it gives:
// - a scratch folder of its own (`scratch()`), unique per process and test and removed afterwards, which is
//   also the user data root ($XDG_DATA_HOME, so "data/" paths land in `userData()`);
// - optionally the engine's mount chain (`m_mountFiles`), so scripts open files as the game does;
// - the script host, created with `m_arguments` after the fixture handed in the layers it exercises
//   (`addScriptApis`), and destroyed at the end;
// - the debug log captured (`takeLog()`) and helpers that run script text and read its results.
// Fixtures of the layers derive from it and override the hooks; header-only, for test programs.

#include "platform/kd.h"
#include "platform/kd_start.h"
#include "script/script_api.h"
#include "script/script_host.h"
#include "script/script_timers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("hh_") + info->test_suite_name() + "_" + info->name() + "_" +
                           std::to_string(getpid());
        for (char& c : name) {
            if (c == '/') c = '_'; // parameterised names
        }
        m_folder = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(userData());
        setenv("XDG_DATA_HOME", m_folder.c_str(), 1);
        if (m_mountFiles) platform::startFileSystems();
        addScriptApis(ScriptApi::instance());
        ScriptHost::create(static_cast<int>(m_arguments.size()), m_arguments.data());
        ASSERT_NE(ScriptHost::vm(), nullptr);
        afterHostCreated();
        kdSetLogHook(&ScriptTest::capture, this);
    }
    void TearDown() override {
        beforeHostDestroyed();
        kdSetLogHook(nullptr, nullptr);
        cancelAllScriptTimers();
        ScriptHost::destroy();
        if (m_mountFiles) platform::stopFileSystems();
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }

    // Hooks for the layers' fixtures: the layers whose script globals the test needs (before the VM exists),
    // what to add once it exists (before the log is captured), and what to release before it goes.
    virtual void addScriptApis(ScriptApi& api) {}
    virtual void afterHostCreated() {}
    virtual void beforeHostDestroyed() {}

    static HSQUIRRELVM vm() { return ScriptHost::vm(); }

    // Compiles and runs text at the root; its result (null after a script error).
    ScriptValue run(const std::string& text) {
        return ScriptHost::callClosure(ScriptHost::compileBuffer(text.c_str()));
    }
    // Whether the script expression is true (runs "return (<expression>)").
    bool holds(const std::string& expression) {
        ScriptValue value = run("return (" + expression + ");");
        return value.type() == OT_BOOL && value.object()._unVal.nInteger != 0;
    }
    // The text form of an expression's value ("" + value, "null" for null), or "<error>" after a script
    // error.
    std::string eval(const std::string& expression) {
        ScriptValue result = run("local r = (" + expression + "); return r == null ? \"null\" : \"\" + r;");
        if (result.type() != OT_STRING) return "<error>";
        const SQChar* text = nullptr;
        sq_pushobject(vm(), result.object());
        sq_getstring(vm(), -1, &text);
        std::string copy = text ? text : "";
        sq_pop(vm(), 1);
        return copy;
    }
    // Stores value under name in the root table.
    void setRoot(const char* name, const ScriptValue& value) {
        ScriptHost::setValue(ScriptHost::root(), name, value);
    }
    // Root slots read back.
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

    const std::filesystem::path& scratch() const { return m_folder; }
    // The user data folder inside the scratch folder.
    std::filesystem::path userData() const { return m_folder / "Harbor Haven"; }

    // Set in a fixture's constructor.
    std::vector<const char*> m_arguments{"harborhaven"};
    bool m_mountFiles = false;

    std::filesystem::path m_folder;

private:
    static void capture(const KDchar* text, void* self) { static_cast<ScriptTest*>(self)->m_log += text; }
    std::string m_log;
};
