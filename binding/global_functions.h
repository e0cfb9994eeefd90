#pragma once
// The global script functions: plain native functions in the root table through which scripts reach the
// engine without knowing a component's class.
//
// Two groups, each registered in its fixed order:
// - the engine group (registerGlobalFunctions): components by class name, quitting, logging, calls of one
//   interface operation on any component, update and render calls, files and folders, random numbers and
//   angles, the locale;
// - the application group (registerApplicationFunctions): profiler, UTF-8 conversion, promotion links and
//   opening a document with the desktop.
// The layers above add their own: the game time and the update-layer constants (objects/), the stream
// functions (persistence/), the cursor, tile-drawing and texture-filter helpers (graphics/); the host itself
// adds the timers (script/script_timers.h).
//
// A function given a component without the interface it needs writes "can't cast to %s" (the interface name)
// at the error level followed by the script call stack, and returns its neutral result (null, false, 0, "",
// an empty rectangle, or the matrix whose only non-zero element is its last diagonal one). Arguments convert
// as the binding layer describes (binding/binding.h). Nothing here raises a script error except a call with
// too few arguments.

#include "binding/binding.h"
#include "component/component_ref.h"
#include "script/script_host.h"
#include "squirrel/squirrel.h"

class ScriptApi;

// Hands the script host this layer's globals: the `Component` class, the ten value classes and the engine
// group, installed in that order into every VM the host creates; the method tables' cached closures are
// released before the VM closes.
void registerBindingScriptApi(ScriptApi& api);

// Stores the engine group in the root table of v.
void registerGlobalFunctions(HSQUIRRELVM v);
// Stores the application group in the root table of v.
void registerApplicationFunctions(HSQUIRRELVM v);

// Stores a native function under name in the table at stack index target, taking its arguments as they come
// (no parameter check).
void bindRawFunction(HSQUIRRELVM v, SQInteger target, const char* name, SQFUNCTION function);

// Calls op with interface I of the component, holding a reference for the call (the operation may drop the
// script's last handle); reports the cast failure and answers `neutral` when the component lacks I. The
// layers' global functions are written with it.
template <class I, class R, class Op> R withInterface(IAbstract* component, R neutral, Op op) {
    ComponentRef<I> held(queryInterface<I>(component));
    if (!held) {
        reportCastFailure(ScriptHost::vm(), I::Name);
        return neutral;
    }
    return op(held.get());
}
template <class I, class Op> void withInterface(IAbstract* component, Op op) {
    ComponentRef<I> held(queryInterface<I>(component));
    if (!held) {
        reportCastFailure(ScriptHost::vm(), I::Name);
        return;
    }
    op(held.get());
}
