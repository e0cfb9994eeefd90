// A script host with the binding's globals and the application group of global functions, over the real
// file system (mounted, with a fresh user data folder); the log captured. Script timers are cancelled before
// the VM closes.
#pragma once

#include "binding/binding.h"
#include "binding/component_class.h"
#include "binding/global_functions.h"
#include "binding/value_binding.h"
#include "script/script_test.h"

class GlobalFunctionsTest : public ScriptTest {
protected:
    GlobalFunctionsTest() { m_mountFiles = true; }
    void addScriptApis(ScriptApi& api) override { registerBindingScriptApi(api); }
    void afterHostCreated() override { registerApplicationFunctions(vm()); }

    // Stores a component under name in the root table (the handle takes its own reference).
    void setRootComponent(const char* name, IAbstract* component) {
        HSQUIRRELVM v = ScriptHost::vm();
        sq_pushroottable(v);
        sq_pushstring(v, name, -1);
        pushComponent(v, component);
        sq_newslot(v, -3, SQFalse);
        sq_poptop(v);
    }
};
