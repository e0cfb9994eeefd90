// A script host for a binding test: the VM with the binding's globals (`Component`, the value classes, the
// engine group), the debug log captured, and helpers that evaluate script expressions.
#pragma once

#include "binding/binding_test.h"
#include "binding/component_class.h"
#include "binding/value_binding.h"

class BindingTest : public BindingScriptTest {
protected:
    void collect() { sq_collectgarbage(vm()); }
};
