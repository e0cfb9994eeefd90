#pragma once
// `ScriptCall`: calling a script function with arguments, built up one value at a time.
//
//     if (ScriptCall::begin(function, receiver)) {
//         ScriptCall::pushInt(x);
//         ScriptCall::pushString(name);
//         ScriptValue result = ScriptCall::end();
//     }
//
// There is one call under construction per process (a process-wide counter: -1 when none is being built,
// otherwise the number of values pushed, the receiver included). A call must be finished with end before the
// next begin; a native function that the call runs may start its own call, because end resets the counter
// before it calls. Misuse is reported to the debug log as "error: call already initialized" and
// "error: call not initialized"; it leaves the call under construction, if any, unchanged.
//
// There is no float argument: callers pass integers.

#include "script/script_value.h"

class ScriptCall {
public:
    // Pushes the function and the receiver (`this`; the root table in the one-argument form). False, with
    // "call already initialized", when a call is being built.
    static bool begin(const ScriptValue& function, const ScriptValue& receiver);
    static bool begin(const ScriptValue& function);

    // Adds one argument; "call not initialized" and nothing pushed when no call is being built.
    static void pushBool(bool value);
    static void pushInt(SQInteger value);
    static void pushString(const char* text); // null pushes a script null
    static void pushValue(const ScriptValue& value);

    // Calls the function with the pushed values and returns its result. Null when no call was being built,
    // when the function is not callable (quietly), or when the call raised an error (printed by the runtime
    // error handler); the VM stack is then cut back to where it stood before begin.
    // `what` names the entry in the report of a script that ran out of steps (ScriptHost::stepBudget).
    static ScriptValue end(const char* what = nullptr);

    // Whether a call is under construction (the counter is not -1).
    static bool isBuilding();
};
