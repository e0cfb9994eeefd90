// A script host with the binding's globals and the application group of global functions, over the real
// file system (mounted, with a fresh user data folder); the log captured. Script timers are cancelled before
// the VM closes.
#pragma once

#include "binding/binding_test.h"
#include "binding/component_class.h"
#include "binding/value_binding.h"

class GlobalFunctionsTest : public BindingScriptTest {
protected:
    GlobalFunctionsTest() { m_mountFiles = true; }
    void afterHostCreated() override { registerApplicationFunctions(vm()); }
};
