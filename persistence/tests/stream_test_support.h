// A script host with the binding's and the persistence layer's globals and the persistence classes
// installed, over the real file system (mounted, with a fresh user data folder); helpers to read native
// files.
#pragma once

#include "binding/binding_test.h"
#include "component/component_registry.h"
#include "persistence/persistence_classes.h"

#include <fstream>
#include <sstream>

class StreamScriptTest : public BindingScriptTest {
public:
    static std::string readBytes(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

protected:
    StreamScriptTest() { m_mountFiles = true; }
    void addScriptApis(ScriptApi& api) override {
        registerPersistenceClasses(ComponentRegistry::instance());
        BindingScriptTest::addScriptApis(api);
        registerPersistenceScriptApi(api);
    }
    void afterHostCreated() override { registerApplicationFunctions(vm()); }
};
