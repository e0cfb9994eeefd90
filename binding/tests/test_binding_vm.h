// A script host for a binding test: the VM with the binding's globals (`Component`, the value classes, the
// engine group), the debug log captured, and helpers that evaluate script expressions.
#pragma once

#include "binding/component_class.h"
#include "binding/global_functions.h"
#include "binding/value_binding.h"
#include "script/script_test.h"

class BindingTest : public ScriptTest {
protected:
    void addScriptApis(ScriptApi& api) override { registerBindingScriptApi(api); }

    void collect() { sq_collectgarbage(vm()); }
};
