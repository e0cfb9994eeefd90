#pragma once
// `BindingScriptTest`: the script-test fixture (script/script_test.h) with the binding's globals installed
// (`Component`, the value classes, the engine group) and a helper that hands a native component to scripts.
// The fixtures of the layers above derive from it and add their own layers in addScriptApis. Header-only, for
// test programs.

#include "binding/binding.h"
#include "binding/global_functions.h"
#include "script/script_test.h"

class BindingScriptTest : public ScriptTest {
protected:
    void addScriptApis(ScriptApi& api) override { registerBindingScriptApi(api); }

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
