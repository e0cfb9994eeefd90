#include "script/script_host.h"
#include "platform/kd.h"
#include "script/script_api.h"
#include "script/script_timers.h"
#include "script/src/host_internal.h"
#include "script/vm_block_pools.h"
#include "squirrel/sqstdlib.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define HH_VM_ON_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HH_VM_ON_HEAP 1
#endif
#endif

namespace {

// Under AddressSanitizer the VM allocates from the heap, so the sanitizer sees every script object's block
// (pooled blocks would hide the VM's own use-after-free and overflow faults).
#ifdef HH_VM_ON_HEAP
constexpr bool kUsePools = false;
#else
constexpr bool kUsePools = true;
#endif

HSQUIRRELVM g_vm = nullptr;
std::uint32_t g_generation = 0;
bool g_closing = false;
VmBlockPools* g_pools = nullptr;
ScriptValue g_root;
SQInteger g_stepBudget = ScriptHost::kDefaultStepBudget;
int g_entryDepth = 0; // entries from native code into the scripts now running

// The budget configured for this run: HH_SCRIPT_STEP_BUDGET when it is a number, else the default.
SQInteger configuredStepBudget() {
    const KDchar* text = kdGetEnv("HH_SCRIPT_STEP_BUDGET");
    if (!text || !*text) return ScriptHost::kDefaultStepBudget;
    char* end = nullptr;
    long long steps = std::strtoll(text, &end, 10);
    if (*end != '\0') {
        kdLogMessage("error: HH_SCRIPT_STEP_BUDGET=%s is not a number; the budget stays %lld steps\n", text,
                     static_cast<long long>(ScriptHost::kDefaultStepBudget));
        return ScriptHost::kDefaultStepBudget;
    }
    return steps > 0 ? static_cast<SQInteger>(steps) : -1;
}

// "'name' (source)" of the script function in `function`, or "a native function".
std::string describeFunction(HSQUIRRELVM v, const ScriptValue& function) {
    std::string text = "a native function";
    SQInteger top = sq_gettop(v);
    function.push();
    SQFunctionInfo info{};
    if (function.type() == OT_CLOSURE && SQ_SUCCEEDED(sq_getfunctioninfo(v, -1, &info))) {
        text = std::string("'") + (info.name ? info.name : "unknown") + "' (" +
               (info.source ? info.source : "?") + ")";
    }
    sq_settop(v, top);
    return text;
}

// Formats into one buffer that grows to fit, so long script strings and error dumps are never cut.
void hostPrint(HSQUIRRELVM, const SQChar* format, ...) {
    static std::vector<char> buffer(1024);
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(buffer.data(), buffer.size(), format, args);
    va_end(args);
    if (length >= 0 && static_cast<std::size_t>(length) >= buffer.size()) {
        buffer.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, again);
    }
    va_end(again);
    if (length < 0) return;
    kdLogMessage("%s", buffer.data());
}

void reportCompileError(HSQUIRRELVM v, const SQChar* description, const SQChar* source, SQInteger line,
                        SQInteger column) {
    sq_getprintfunc(v)(v, "%s line = (%d) column = (%d) : error %s\n", source, line, column, description);
}

// The runtime error handler: the error text, then the call stack and the locals of each frame.
SQInteger reportRuntimeError(HSQUIRRELVM v) {
    SQPRINTFUNCTION print = sq_getprintfunc(v);
    const SQChar* text = nullptr;
    if (sq_gettop(v) >= 2 && sq_gettype(v, 2) == OT_STRING && SQ_SUCCEEDED(sq_getstring(v, 2, &text))) {
        print(v, "error: [%s]\n", text);
    } else {
        print(v, "error: [unknown]\n");
    }
    sqstd_printcallstack(v);
    return 0;
}

void reportError(const char* message) {
    kdLogMessage("error: %s\n", message);
}

void setRootInt(HSQUIRRELVM v, const char* name, SQInteger value) {
    sq_pushstring(v, name, -1);
    sq_pushinteger(v, value);
    sq_newslot(v, -3, SQFalse);
}

void setRootFloat(HSQUIRRELVM v, const char* name, SQFloat value) {
    sq_pushstring(v, name, -1);
    sq_pushfloat(v, value);
    sq_newslot(v, -3, SQFalse);
}

void registerRootConstants(HSQUIRRELVM v) {
    sq_pushroottable(v);
    setRootFloat(v, "INFINITY", std::numeric_limits<SQFloat>::infinity());
    setRootInt(v, "INT_MAX", INT_MAX);
    setRootInt(v, "INT_MIN", INT_MIN);
    setRootFloat(v, "FLT_MAX", FLT_MAX);
    setRootFloat(v, "FLT_MIN", FLT_MIN);
    registerScriptTimers(v);
    sq_poptop(v);
}

void registerArguments(int count, const char* const* strings) {
    HSQUIRRELVM v = g_vm;
    if (count < 0 || !strings) count = 0;
    sq_newarray(v, count);
    ScriptValue arguments = ScriptValue::fromStack(-1);
    sq_poptop(v);
    for (int i = 0; i < count; ++i) ScriptHost::setIndexString(arguments, i, strings[i] ? strings[i] : "");
    ScriptHost::setValue(ScriptHost::root(), "ARGS", arguments);
}

// Pushes the value of `name` in the object at idx, or nothing (returns false) when absent.
bool pushSlot(HSQUIRRELVM v, const ScriptValue& table, const char* name) {
    if (!table.hasSlots() || !name) return false;
    table.push();
    sq_pushstring(v, name, -1);
    SQRESULT found = table.type() == OT_TABLE ? sq_rawget(v, -2) : sq_get(v, -2);
    if (SQ_FAILED(found)) {
        sq_poptop(v);
        return false;
    }
    sq_remove(v, -2);
    return true;
}

// Raw assignment of the value on top of the stack (popped) to `key` (pushed by pushKey) in `table`.
template <class PushKey, class PushValue>
bool assign(const ScriptValue& table, PushKey pushKey, PushValue pushValue) {
    HSQUIRRELVM v = g_vm;
    if (!v) return false;
    SQObjectType type = table.type();
    if (type != OT_TABLE && type != OT_INSTANCE && type != OT_CLASS && type != OT_ARRAY) return false;
    SQInteger top = sq_gettop(v);
    table.push();
    pushKey(v);
    pushValue(v);
    // A class gets new members through newslot; tables, instances and arrays through raw set (a table
    // creates the key, the others only replace).
    SQRESULT done = type == OT_CLASS ? sq_newslot(v, -3, SQFalse) : sq_rawset(v, -3);
    sq_settop(v, top);
    return SQ_SUCCEEDED(done);
}

template <class PushValue> bool assignNamed(const ScriptValue& table, const char* name, PushValue pushValue) {
    if (!name || table.type() == OT_ARRAY) return false;
    return assign(
        table, [name](HSQUIRRELVM v) { sq_pushstring(v, name, -1); }, pushValue);
}

// "wrong argument type, expected '<expected>' got '<the value's text>'" as the VM's last error.
void setWrongTypeError(HSQUIRRELVM v, const char* expected, const ScriptValue& value) {
    SQInteger top = sq_gettop(v);
    const SQChar* text = "null";
    if (!value.isNull()) {
        value.push();
        sq_tostring(v, -1);
        if (SQ_FAILED(sq_getstring(v, -1, &text))) text = "";
    }
    char message[160];
    std::snprintf(message, sizeof message, "wrong argument type, expected '%s' got '%.50s'", expected, text);
    sq_settop(v, top);
    sq_throwerror(v, message);
}

} // namespace

SQRESULT callScript(HSQUIRRELVM v, SQInteger params, bool retval, const char* what) {
    if (g_entryDepth > 0) return sq_call(v, params, retval ? SQTrue : SQFalse, SQTrue);
    // The outermost entry: a full budget, and the function kept for the report (the call may drop the last
    // reference to it).
    HSQOBJECT called;
    sq_getstackobj(v, -(params + 1), &called);
    ScriptValue function(called);
    sq_setstepbudget(v, g_stepBudget);
    ++g_entryDepth;
    SQRESULT result = sq_call(v, params, retval ? SQTrue : SQFalse, SQTrue);
    --g_entryDepth;
    bool exhausted = SQ_FAILED(result) && g_stepBudget >= 0 && sq_getstepbudget(v) == 0;
    // Native code that reaches the scripts outside a call (a metamethod behind a slot read) gets a full
    // budget too.
    sq_setstepbudget(v, g_stepBudget);
    if (exhausted) {
        std::string entry = what ? std::string(what) + ", " : std::string();
        kdLogMessage("error: script stopped: %s%s ran out of its step budget of %lld steps\n", entry.c_str(),
                     describeFunction(v, function).c_str(), static_cast<long long>(g_stepBudget));
    }
    return result;
}

void ScriptHost::setStepBudget(SQInteger steps) {
    g_stepBudget = steps > 0 ? steps : -1;
    if (g_vm && g_entryDepth == 0) sq_setstepbudget(g_vm, g_stepBudget);
}

SQInteger ScriptHost::stepBudget() {
    return g_stepBudget;
}

void setNativeFunction(HSQUIRRELVM v, const char* name, SQFUNCTION function, SQInteger paramCheck,
                       const char* typeMask) {
    sq_pushstring(v, name, -1);
    sq_newclosure(v, function, 0);
    sq_setparamscheck(v, paramCheck, typeMask);
    sq_setnativeclosurename(v, -1, name);
    sq_newslot(v, -3, SQFalse);
}

void ScriptHost::create(int argumentCount, const char* const* argumentStrings) {
    if (g_vm) return;
    if (kUsePools) {
        g_pools = new VmBlockPools();
        sq_setallocator(VmBlockPools::vmAllocate, g_pools);
    }
    HSQUIRRELVM v = sq_open(1024);
    if (!v) {
        reportError("cannot create the script VM");
        sq_setallocator(nullptr, nullptr);
        delete g_pools;
        g_pools = nullptr;
        return;
    }
    sq_setprintfunc(v, hostPrint);

    installEngineStdlibSeam();
    sq_pushroottable(v);
    sqstd_register_iolib(v);
    sqstd_register_bloblib(v);
    sqstd_register_mathlib(v);
    sqstd_register_stringlib(v);
    sqstd_register_systemlib(v);
    registerEngineMath(v);
    registerEngineSystem(v);
    registerEngineLoaders(v);

    sqstd_seterrorhandlers(v);
    sq_setcompilererrorhandler(v, reportCompileError);
    sq_newclosure(v, reportRuntimeError, 0);
    sq_seterrorhandler(v);
    sq_poptop(v);

    ++g_generation;
    g_vm = v;
    g_entryDepth = 0;
    g_stepBudget = configuredStepBudget();
    sq_setstepbudget(v, g_stepBudget);
    registerRootConstants(v);
    // Every layer above the host adds its own classes, constants and functions.
    ScriptApi::instance().installAll(v);
    registerArguments(argumentCount, argumentStrings);
}

void ScriptHost::destroy() {
    if (!g_vm) return;
    resetScriptCall();
    // No timer may fire into a closed VM.
    cancelAllScriptTimers();
    // What the layers keep of this VM goes while the VM can still take it back.
    ScriptApi::instance().releaseAll();
    g_root.reset();
    g_closing = true;
    sq_close(g_vm);
    g_vm = nullptr;
    g_closing = false;
    sq_setallocator(nullptr, nullptr);
    sqstd_sethost(nullptr);
    delete g_pools;
    g_pools = nullptr;
}

HSQUIRRELVM ScriptHost::vm() {
    return g_vm;
}

std::uint32_t ScriptHost::generation() {
    return g_generation;
}

bool ScriptHost::isClosing() {
    return g_closing;
}

ScriptValue ScriptHost::root() {
    if (!g_vm) return ScriptValue();
    if (g_root.isNull()) {
        sq_pushroottable(g_vm);
        g_root = ScriptValue::fromStack(-1);
        sq_poptop(g_vm);
    }
    return g_root;
}

ScriptValue ScriptHost::loadScriptFile(const char* path) {
    HSQUIRRELVM v = g_vm;
    if (!v) return ScriptValue();
    SQInteger top = sq_gettop(v);
    bool compileFailed = false;
    if (SQ_FAILED(pushScriptFile(v, path, true, &compileFailed))) {
        if (!compileFailed) reportError(lastErrorText());
        sq_settop(v, top);
        return ScriptValue();
    }
    ScriptValue closure = ScriptValue::fromStack(-1);
    sq_settop(v, top);
    return closure;
}

ScriptValue ScriptHost::compileBuffer(const char* text) {
    HSQUIRRELVM v = g_vm;
    if (!v || !text) return ScriptValue();
    SQInteger top = sq_gettop(v);
    ScriptValue closure;
    if (SQ_SUCCEEDED(
            sq_compilebuffer(v, text, static_cast<SQInteger>(std::strlen(text)), "console_buffer", SQTrue))) {
        closure = ScriptValue::fromStack(-1);
    }
    sq_settop(v, top);
    return closure;
}

ScriptValue ScriptHost::callClosure(const ScriptValue& closure) {
    return callClosure(closure, root());
}

ScriptValue ScriptHost::callClosure(const ScriptValue& closure, const ScriptValue& receiver,
                                    const char* what) {
    HSQUIRRELVM v = g_vm;
    if (!v || !closure.isCallable()) return ScriptValue();
    SQInteger top = sq_gettop(v);
    closure.push();
    receiver.push();
    ScriptValue result;
    if (SQ_SUCCEEDED(callScript(v, 1, true, what))) result = ScriptValue::fromStack(-1);
    sq_settop(v, top);
    return result;
}

void ScriptHost::callRootFunction(const char* name) {
    callClosure(getSlot(root(), name), root(), name);
}

ScriptValue ScriptHost::getSlot(const ScriptValue& table, const char* name) {
    HSQUIRRELVM v = g_vm;
    if (!v) return ScriptValue();
    SQInteger top = sq_gettop(v);
    ScriptValue value;
    if (pushSlot(v, table, name)) value = ScriptValue::fromStack(-1);
    sq_settop(v, top);
    return value;
}

bool ScriptHost::setBool(const ScriptValue& table, const char* name, bool value) {
    return assignNamed(table, name, [value](HSQUIRRELVM v) { sq_pushbool(v, value ? SQTrue : SQFalse); });
}

bool ScriptHost::setInt(const ScriptValue& table, const char* name, SQInteger value) {
    return assignNamed(table, name, [value](HSQUIRRELVM v) { sq_pushinteger(v, value); });
}

bool ScriptHost::setFloat(const ScriptValue& table, const char* name, SQFloat value) {
    return assignNamed(table, name, [value](HSQUIRRELVM v) { sq_pushfloat(v, value); });
}

bool ScriptHost::setValue(const ScriptValue& table, const char* name, const ScriptValue& value) {
    return assignNamed(table, name, [&value](HSQUIRRELVM) { value.push(); });
}

bool ScriptHost::setIndexString(const ScriptValue& array, SQInteger index, const char* text) {
    if (array.type() != OT_ARRAY && array.type() != OT_TABLE) return false;
    return assign(
        array, [index](HSQUIRRELVM v) { sq_pushinteger(v, index); },
        [text](HSQUIRRELVM v) {
            if (text) {
                sq_pushstring(v, text, -1);
            } else {
                sq_pushnull(v);
            }
        });
}

SQInteger ScriptHost::getInt(const ScriptValue& table, const char* name) {
    ScriptValue value = getSlot(table, name);
    switch (value.type()) {
    case OT_INTEGER:
        return value.object()._unVal.nInteger;
    case OT_FLOAT: {
        // Truncation toward zero; a value outside the integer range (or NaN) has no integer and reads 0.
        double x = std::trunc(static_cast<double>(value.object()._unVal.fFloat));
        if (!(x >= static_cast<double>(INT_MIN) && x <= static_cast<double>(INT_MAX))) return 0;
        return static_cast<SQInteger>(x);
    }
    default:
        return 0;
    }
}

const char* ScriptHost::getString(const ScriptValue& table, const char* name) {
    HSQUIRRELVM v = g_vm;
    if (!v) return nullptr;
    ScriptValue value = getSlot(table, name);
    if (value.type() == OT_STRING) {
        HSQOBJECT object = value.object();
        return sq_objtostring(&object);
    }
    setWrongTypeError(v, "string", value);
    return nullptr;
}

SQUserPointer ScriptHost::getUserData(const ScriptValue& table, const char* name) {
    HSQUIRRELVM v = g_vm;
    if (!v) return nullptr;
    ScriptValue value = getSlot(table, name);
    if (value.type() == OT_USERDATA) {
        SQInteger top = sq_gettop(v);
        value.push();
        SQUserPointer payload = nullptr;
        if (SQ_FAILED(sq_getuserdata(v, -1, &payload, nullptr))) payload = nullptr;
        sq_settop(v, top);
        return payload;
    }
    setWrongTypeError(v, "userdata", value);
    return nullptr;
}

const char* ScriptHost::lastErrorText() {
    HSQUIRRELVM v = g_vm;
    if (!v) return "";
    sq_getlasterror(v);
    const SQChar* text = nullptr;
    // The error object stays referenced by the VM, so its text outlives the pop.
    if (sq_gettype(v, -1) != OT_STRING || SQ_FAILED(sq_getstring(v, -1, &text))) text = "";
    sq_poptop(v);
    return text;
}
