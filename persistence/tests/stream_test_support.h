// The global functions' script host (binding/tests/test_global_fixture.h) with the persistence classes
// installed, and helpers to read root slots and native files.
#pragma once

#include "binding/tests/test_global_fixture.h"
#include "component/component_registry.h"
#include "persistence/persistence_classes.h"

#include <fstream>
#include <sstream>

class StreamScriptTest : public GlobalFunctionsTest {
public:
    static std::string readBytes(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

protected:
    void SetUp() override {
        registerPersistenceClasses(ComponentRegistry::instance());
        GlobalFunctionsTest::SetUp();
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
    std::filesystem::path userData() const { return m_folder / "Harbor Haven"; }
};
