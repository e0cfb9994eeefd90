#pragma once
// `ScriptHost`: owner of the process's one script VM.
//
// It creates and configures the VM (allocator, print function, standard libraries routed through the engine,
// error handlers, `ARGS`), loads script files through the engine's file system, compiles script text, calls
// script functions, and gives native code typed access to script tables. Everything else in the engine that
// touches scripts goes through it and through ScriptValue / ScriptCall.
//
// Single-threaded: the VM and every operation here belong to the main thread. Operations on a host without a
// VM do nothing and return their neutral result (null, false, 0).
//
// Messages: failures of these operations are written to the debug log as "error: %s\n"; compile errors as
// "%s line = (%d) column = (%d) : error %s\n"; runtime errors as "error: [%s]\n" followed by the call stack
// and the locals of each frame. Script `print` writes its text unchanged to the debug log.

#include "script/script_value.h"
#include "squirrel/squirrel.h"

#include <cstdint>

class ScriptHost {
public:
    // Creates the VM: block pools, a 1024-slot stack, the print function, the standard libraries with the
    // engine's file, environment, process and math variants, the error handlers, the root constants and the
    // `ARGS` array of the arguments. Does nothing when a VM exists.
    static void create(int argumentCount, const char* const* argumentStrings);
    // Releases the cached root table, closes the VM (every script object is collected and every release hook
    // runs), forgets the VM and frees the block pools. Does nothing without a VM.
    static void destroy();

    // The VM, or null before create and after destroy.
    static HSQUIRRELVM vm();
    // Counts the VMs created so far; a ScriptValue keeps the number of the VM its reference belongs to.
    static std::uint32_t generation();
    // True while destroy closes the VM: dropping a ScriptValue then does nothing.
    static bool isClosing();

    // The root table (fetched once and cached for the life of the VM).
    static ScriptValue root();

    // Compiles a script file (8-bit text, UTF-8 with byte-order mark, UTF-16 of either byte order, or a
    // compiled closure) opened through kdFopen, so "res/" language folders, archives and "data/" apply. The
    // closure is not run. Null on failure, reported by the compiler error handler or as "cannot open the
    // file", "Unrecognozed ecoding", "io error".
    static ScriptValue loadScriptFile(const char* path);
    // Compiles zero-terminated text with the source name "console_buffer". Null on failure.
    static ScriptValue compileBuffer(const char* text);
    // Calls the closure with no arguments and the root table (or `receiver`) as `this`. Its result, or null
    // when the call raised an error (printed by the runtime error handler) or the value is not callable. The
    // VM stack is left as it was.
    // `what` names the entry (for example "timer 3") in the report of a script that ran out of steps.
    static ScriptValue callClosure(const ScriptValue& closure);
    static ScriptValue callClosure(const ScriptValue& closure, const ScriptValue& receiver,
                                   const char* what = nullptr);
    // Calls the root function `name` with no arguments; a missing function is quietly not called.
    static void callRootFunction(const char* name);

    // The value of the string key `name` in a table, instance or class; null when absent.
    static ScriptValue getSlot(const ScriptValue& table, const char* name);

    // Raw assignment into a table, instance or class (creating the key in a table or class, replacing it
    // otherwise, never through metamethods). Each returns whether the assignment succeeded and leaves the VM
    // stack as it found it.
    static bool setBool(const ScriptValue& table, const char* name, bool value);
    static bool setInt(const ScriptValue& table, const char* name, SQInteger value);
    static bool setFloat(const ScriptValue& table, const char* name, SQFloat value);
    static bool setValue(const ScriptValue& table, const char* name, const ScriptValue& value);
    // The string `text` at integer key `index` of an array (the index must exist) or table.
    static bool setIndexString(const ScriptValue& array, SQInteger index, const char* text);

    // An integer slot; a float is truncated toward zero; a missing key or any other type reads 0.
    static SQInteger getInt(const ScriptValue& table, const char* name);
    // A string slot's text (valid while the string is referenced), or null; for any other value the VM's last
    // error becomes "wrong argument type, expected 'string' got '<value's text>'".
    static const char* getString(const ScriptValue& table, const char* name);
    // A user-data slot's payload, or null with the same kind of last error (expected 'userdata').
    static SQUserPointer getUserData(const ScriptValue& table, const char* name);

    // The VM's last error as text ("" when it is not a string or there is no VM).
    static const char* lastErrorText();

    // Steps each entry from native code into the scripts may run (a timer, an object callback, a lifecycle
    // call, a console line, a '+' argument...): a backward jump or a call is a step, copying or scanning data
    // one step per 64 bytes. Calls that script-called native code makes back into the scripts share the
    // entry's budget. A script that runs out fails with the runtime error "step budget exhausted", the host
    // logs "error: script stopped: <entry> ran out of its step budget of <n> steps", and the game goes on.
    // The budget comes from the environment variable HH_SCRIPT_STEP_BUDGET (so also from the configuration
    // file) when the VM is created, else kDefaultStepBudget; 0 or less lifts it.
    static constexpr SQInteger kDefaultStepBudget = 20000000;
    static void setStepBudget(SQInteger steps);
    static SQInteger stepBudget();
};
