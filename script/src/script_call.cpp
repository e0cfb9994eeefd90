#include "script/script_call.h"
#include "platform/kd.h"
#include "script/script_host.h"
#include "script/src/host_internal.h"

namespace {

// -1: no call being built; otherwise the values pushed for it, the receiver included.
SQInteger g_counter = -1;
// The stack top before begin, where end cuts the stack back to.
SQInteger g_base = 0;

void report(const char* message) {
    kdLogMessage("error: %s\n", message);
}

bool pushArgument() {
    if (g_counter == -1) {
        report("call not initialized");
        return false;
    }
    return ScriptHost::vm() != nullptr;
}

} // namespace

void resetScriptCall() {
    g_counter = -1;
}

bool ScriptCall::begin(const ScriptValue& function, const ScriptValue& receiver) {
    if (g_counter != -1) {
        report("call already initialized");
        return false;
    }
    HSQUIRRELVM v = ScriptHost::vm();
    if (!v) return false;
    g_base = sq_gettop(v);
    function.push();
    receiver.push();
    g_counter = 1;
    return true;
}

bool ScriptCall::begin(const ScriptValue& function) {
    if (g_counter != -1) {
        report("call already initialized");
        return false;
    }
    return begin(function, ScriptHost::root());
}

void ScriptCall::pushBool(bool value) {
    if (!pushArgument()) return;
    sq_pushbool(ScriptHost::vm(), value ? SQTrue : SQFalse);
    ++g_counter;
}

void ScriptCall::pushInt(SQInteger value) {
    if (!pushArgument()) return;
    sq_pushinteger(ScriptHost::vm(), value);
    ++g_counter;
}

void ScriptCall::pushString(const char* text) {
    if (!pushArgument()) return;
    if (text) {
        sq_pushstring(ScriptHost::vm(), text, -1);
    } else {
        sq_pushnull(ScriptHost::vm());
    }
    ++g_counter;
}

void ScriptCall::pushValue(const ScriptValue& value) {
    if (!pushArgument()) return;
    value.push();
    ++g_counter;
}

ScriptValue ScriptCall::end(const char* what) {
    if (g_counter == -1) return ScriptValue();
    // Reset first: the function may start calls of its own.
    SQInteger count = g_counter;
    SQInteger base = g_base;
    g_counter = -1;
    HSQUIRRELVM v = ScriptHost::vm();
    if (!v) return ScriptValue();
    ScriptValue result;
    SQObjectType type = sq_gettype(v, base + 1);
    bool callable = type == OT_CLOSURE || type == OT_NATIVECLOSURE || type == OT_CLASS;
    if (callable && SQ_SUCCEEDED(callScript(v, count, true, what))) result = ScriptValue::fromStack(-1);
    sq_settop(v, base);
    return result;
}

bool ScriptCall::isBuilding() {
    return g_counter != -1;
}
