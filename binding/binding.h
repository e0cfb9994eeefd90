#pragma once
// The binding layer: how native functions become script closures, how script arguments become native values
// and native results script values.
//
// Two kinds of bound types:
// - value classes (Vector2, Color, ..., binding/value_binding.h): one script class each; an instance owns a
//   private copy of the native value (allocated from the VM allocator, freed by the instance's release hook);
// - components (component/abstract.h): all shown as instances of the one script class `Component`
//   (binding/component_class.h), whose methods are resolved by name through IScriptObject.
//
// Native functions are bound through per-signature dispatchers: the function pointer (plain or member) is
// kept in a user-data free variable of the closure sized by the pointer itself (a member-function pointer is
// 16 bytes on this platform, so it never passes through a 32-bit script integer), and the dispatcher reads
// the arguments, calls, and pushes the result. Nothing is allocated per call.
//
// Argument conversions (parameter of native type -> accepted script values):
//   integer: integer, float (truncated toward zero);           otherwise "sq_get*() failed (type error)", 0
//   float:   float, integer;                                   otherwise the same message, 0
//   bool:    null -> false, bool, number -> non-zero; any other value -> true
//   text:    string;                                           otherwise the same message, ""
//   value class T: an instance of T's script class; otherwise "GetInstance: Invalid argument type", and the
//                  function is not called (result null)
//   I* (a component interface): a `Component` handle whose component exposes I; otherwise null, no message
//   Required<I>: the same, holding a reference for the call; otherwise "can't cast to <I>" at error level and
//                the script call stack, and the function is not called: the result is the neutral value
//                R{} (false, 0, an empty rectangle, a null handle, or nothing)
//   ScriptValue: any value
// Results: integers, floats, bools, text (copied into the VM), value classes (a new instance holding a copy),
// components (their handle), ScriptValue, or nothing for void.
//
// Binding messages are written to the debug log as "error: %s\n". Main thread only, like the VM.

#include "component/abstract.h"
#include "component/component_ref.h"
#include "script/script_value.h"
#include "squirrel/squirrel.h"

#include <concepts>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

// Writes "error: <message>" to the debug log.
void reportBindingError(const char* message);

namespace BindingMessage {
inline constexpr char TypeError[] = "sq_get*() failed (type error)";
inline constexpr char InvalidInstance[] = "GetInstance: Invalid argument type";
inline constexpr char PushValueFailed[] = "Push(): could not create INSTANCE copy (check registration name)";
inline constexpr char PushComponentFailed[] = "Push(): could not create INSTANCE (check registration name)";
inline constexpr char TypeMaskTooLong[] = "CreateFunction: typeMask string too long.";
} // namespace BindingMessage

// `ClassTypeTag`: one static descriptor per bound native type. Its address is the VM type tag of the type's
// script class; an argument of the type is accepted only from an instance of a class carrying it.
struct ClassTypeTag {
    // Copies a native value of the type over another (both constructed); null for `Component`.
    void (*copy)(void* target, const void* source);
    // The script class name (the slot of the root table holding the class).
    const char* name;
    // The type's size in bytes (0 for `Component`).
    std::size_t size;
    // Copy-constructs a value in raw memory of `size` bytes; null for `Component`.
    void* (*construct)(void* memory, const void* source);
    // The release hook of an instance holding a value: destroys it and frees its memory.
    SQRELEASEHOOK release;
};

// ---- Registration primitives
// --------------------------------------------------------------------------------

// `CreateFunction`: a native closure stored under `name` in the table or class at stack index `target`, with
// new-slot semantics. typeMask null: exactly one parameter, the receiver, which must be a table, class or
// instance ("t|y|x"); "*": no check; otherwise "t|y|x" followed by typeMask, the parameter count taken from
// the mask. A check string of 64 characters or more is refused with "CreateFunction: typeMask string too
// long." and nothing is created. False on any failure (VM stack as before).
bool createFunction(HSQUIRRELVM v, SQInteger target, const char* name, SQFUNCTION function,
                    const char* typeMask = nullptr);

// Class registration: a new class without base, tagged with `tag`, stored in the root table under tag.name,
// with a `constructor` (the given function, created with `constructorTypeMask` as by createFunction) and a
// `_typeof` answering the class name. Leaves the class pushed and returns true; on failure returns false with
// the stack as before.
bool registerClass(HSQUIRRELVM v, const ClassTypeTag& tag, SQFUNCTION constructor,
                   const char* constructorTypeMask = nullptr);

// Sets the VM's last error to "wrong argument type, expected '<expected>' got '<the value's text>'" (the text
// cut to 50 characters) and returns SQ_ERROR.
SQInteger raiseWrongArgumentType(HSQUIRRELVM v, SQInteger idx, const char* expected);

// ---- Value-class instances
// ----------------------------------------------------------------------------------

// The type tag of value class T (T has a `ScriptName` constant).
template <class T>
concept ValueClass = requires {
    { T::ScriptName } -> std::convertible_to<const char*>;
};

// The release hook of an instance of value class T: destroys the value and returns its storage to the VM
// allocator.
template <class T> SQInteger releaseValueStorage(SQUserPointer storage, SQInteger) {
    if (storage != nullptr) {
        static_cast<T*>(storage)->~T();
        sq_free(storage, sizeof(T));
    }
    return 1;
}

template <ValueClass T> const ClassTypeTag& valueTypeTag() {
    static const ClassTypeTag tag{
        [](void* target, const void* source) { *static_cast<T*>(target) = *static_cast<const T*>(source); },
        T::ScriptName, sizeof(T),
        [](void* memory, const void* source) -> void* {
            return new (memory) T(*static_cast<const T*>(source));
        },
        &releaseValueStorage<T>};
    return tag;
}

namespace binding_detail {
// Whether the value at idx is an instance whose class (or a base of it) carries `tag`, whatever its storage.
bool isInstanceOf(HSQUIRRELVM v, SQInteger idx, const ClassTypeTag& tag);
// The native storage of the instance at idx when its class carries `tag`, else null (no message).
void* instanceStorage(HSQUIRRELVM v, SQInteger idx, const ClassTypeTag& tag);
// Pushes a new instance of the class registered under tag.name holding a copy of `value`. False with nothing
// pushed when the class is missing, is not of that tag, or memory runs out.
bool pushNewInstance(HSQUIRRELVM v, const ClassTypeTag& tag, const void* value);
} // namespace binding_detail

// Gives the instance at idx (of T's class, without storage yet) its own copy of `value`. False when the VM
// allocator fails.
template <ValueClass T> bool adoptValue(HSQUIRRELVM v, SQInteger idx, const T& value) {
    void* memory = sq_malloc(sizeof(T));
    if (memory == nullptr) {
        return false;
    }
    new (memory) T(value);
    sq_setinstanceup(v, idx, memory);
    sq_setreleasehook(v, idx, &releaseValueStorage<T>);
    return true;
}

// `GetInstance`: the native value of the instance at idx if it is of T's class; otherwise reports
// "GetInstance: Invalid argument type" and answers null.
template <ValueClass T> T* getInstance(HSQUIRRELVM v, SQInteger idx) {
    void* storage = binding_detail::instanceStorage(v, idx, valueTypeTag<T>());
    if (storage == nullptr) {
        reportBindingError(BindingMessage::InvalidInstance);
    }
    return static_cast<T*>(storage);
}

// `Push` of a value: a new instance of T's script class holding a copy. On failure reports "Push(): could not
// create INSTANCE copy (check registration name)" and pushes null; returns whether an instance was pushed.
template <ValueClass T> bool pushValue(HSQUIRRELVM v, const T& value) {
    if (binding_detail::pushNewInstance(v, valueTypeTag<T>(), &value)) {
        return true;
    }
    reportBindingError(BindingMessage::PushValueFailed);
    sq_pushnull(v);
    return false;
}

// ---- Components
// --------------------------------------------------------------------------------------------- (Implemented
// in component_class.cpp; declared here for the converters.)

// `Push` of a component (any interface pointer of it): its one live `Component` handle, created on first need
// with one reference to the component. Null pushes null; so does a component being destroyed.
void pushComponent(HSQUIRRELVM v, IAbstract* component);
// The component of the `Component` handle at idx, or null (not a handle, or an empty one). No message.
IAbstract* componentArgument(HSQUIRRELVM v, SQInteger idx);

// A parameter that must be a component with interface I (global functions of the engine group take their
// component this way). The dispatcher holds a reference to it for the duration of the call.
template <class I> struct Required {
    ComponentRef<I> component;
    I* operator->() const { return component.get(); }
    I* get() const { return component.get(); }
};

// Writes "can't cast to <interfaceName>" to the log at error level, then the script call stack.
void reportCastFailure(HSQUIRRELVM v, const char* interfaceName);

// ---- Argument readers and result pushers
// --------------------------------------------------------------------

namespace binding_detail {

template <class T> using ArgValue = std::remove_cvref_t<T>;

template <class T> struct IsComponentRef : std::false_type {};
template <class I> struct IsComponentRef<ComponentRef<I>> : std::true_type {};

template <class T>
concept ComponentPointer = std::is_pointer_v<T> && std::is_base_of_v<IAbstract, std::remove_pointer_t<T>>;

template <class T> struct IsRequired : std::false_type {};
template <class I> struct IsRequired<Required<I>> : std::true_type {};

// What a dispatcher does after reading its arguments.
enum class ArgStatus { Call, ReturnNull, ReturnNeutral };

bool readInteger(HSQUIRRELVM v, SQInteger idx, SQInteger& out);
bool readFloat(HSQUIRRELVM v, SQInteger idx, SQFloat& out);
bool readBool(HSQUIRRELVM v, SQInteger idx);
const char* readText(HSQUIRRELVM v, SQInteger idx);

// Reads parameter idx into out; the status says whether the call may happen.
template <class T> ArgStatus readArg(HSQUIRRELVM v, SQInteger idx, T& out) {
    if constexpr (std::is_same_v<T, bool>) {
        out = readBool(v, idx);
    } else if constexpr (std::is_integral_v<T>) {
        SQInteger value = 0;
        readInteger(v, idx, value);
        out = static_cast<T>(value);
    } else if constexpr (std::is_floating_point_v<T>) {
        SQFloat value = 0.0f;
        readFloat(v, idx, value);
        out = static_cast<T>(value);
    } else if constexpr (std::is_same_v<T, const char*>) {
        out = readText(v, idx);
    } else if constexpr (std::is_same_v<T, std::string_view> || std::is_same_v<T, std::string>) {
        out = T(readText(v, idx));
    } else if constexpr (std::is_same_v<T, ScriptValue>) {
        HSQOBJECT object;
        sq_getstackobj(v, idx, &object);
        out = ScriptValue(object);
    } else if constexpr (ComponentPointer<T>) {
        out = queryInterface<std::remove_pointer_t<T>>(componentArgument(v, idx));
    } else if constexpr (IsRequired<T>::value) {
        using I = std::remove_pointer_t<decltype(out.get())>;
        out.component.reset(queryInterface<I>(componentArgument(v, idx)));
        if (!out.component) {
            reportCastFailure(v, I::Name);
            return ArgStatus::ReturnNeutral;
        }
    } else if constexpr (ValueClass<T>) {
        const T* value = getInstance<T>(v, idx);
        if (value == nullptr) {
            return ArgStatus::ReturnNull;
        }
        out = *value;
    } else {
        static_assert(sizeof(T) == 0, "no script conversion for this parameter type");
    }
    return ArgStatus::Call;
}

// Pushes a native result; returns the native closure's result count (1).
template <class R> SQInteger pushResult(HSQUIRRELVM v, R&& result) {
    using T = std::remove_cvref_t<R>;
    if constexpr (std::is_same_v<T, bool>) {
        sq_pushbool(v, result ? SQTrue : SQFalse);
    } else if constexpr (std::is_integral_v<T>) {
        sq_pushinteger(v, static_cast<SQInteger>(result));
    } else if constexpr (std::is_floating_point_v<T>) {
        sq_pushfloat(v, static_cast<SQFloat>(result));
    } else if constexpr (std::is_same_v<T, const char*> || std::is_same_v<T, char*>) {
        if (result == nullptr) {
            sq_pushnull(v);
        } else {
            sq_pushstring(v, result, -1);
        }
    } else if constexpr (std::is_same_v<T, std::string> || std::is_same_v<T, std::string_view>) {
        sq_pushstring(v, result.data(), static_cast<SQInteger>(result.size()));
    } else if constexpr (std::is_same_v<T, ScriptValue>) {
        sq_pushobject(v, result.object());
    } else if constexpr (IsComponentRef<T>::value) {
        pushComponent(v, result.get());
    } else if constexpr (ComponentPointer<T>) {
        pushComponent(v, result);
    } else if constexpr (ValueClass<T>) {
        pushValue<T>(v, result);
    } else {
        static_assert(sizeof(T) == 0, "no script conversion for this result type");
    }
    return 1;
}

// Reads the arguments of A... from stack index `first` on and calls f with them; pushes the result.
// `freeVariables` values sit on top of the arguments.
template <class R, class... A, class F>
SQInteger callWithArguments(HSQUIRRELVM v, SQInteger first, SQInteger freeVariables, F&& f) {
    constexpr SQInteger needed = static_cast<SQInteger>(sizeof...(A));
    if (sq_gettop(v) - freeVariables - (first - 1) < needed) {
        return sq_throwerror(v, "wrong number of parameters");
    }
    std::tuple<ArgValue<A>...> args;
    ArgStatus status = ArgStatus::Call;
    // Reads in order and stops at the first argument that cancels the call.
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        static_cast<void>((((status = readArg(v, first + static_cast<SQInteger>(I), std::get<I>(args))) ==
                            ArgStatus::Call) &&
                           ...));
    }
    (std::index_sequence_for<A...>{});
    if (status == ArgStatus::ReturnNull) {
        return 0;
    }
    if (status == ArgStatus::ReturnNeutral) {
        if constexpr (std::is_void_v<R>) {
            return 0;
        } else {
            return pushResult(v, std::remove_cvref_t<R>{});
        }
    }
    if constexpr (std::is_void_v<R>) {
        std::apply(f, args);
        return 0;
    } else {
        return pushResult(v, std::apply(f, args));
    }
}

// The function pointer kept in the user-data free variable on top of the stack.
template <class Fn> Fn storedFunction(HSQUIRRELVM v) {
    SQUserPointer data = nullptr;
    sq_getuserdata(v, sq_gettop(v), &data, nullptr);
    Fn fn;
    std::memcpy(&fn, data, sizeof(Fn));
    return fn;
}

// Pushes a native closure over `dispatcher` whose free variable holds a copy of fn (sized by fn itself).
template <class Fn> void pushStoredFunctionClosure(HSQUIRRELVM v, SQFUNCTION dispatcher, Fn fn) {
    void* data = sq_newuserdata(v, sizeof(Fn));
    std::memcpy(data, &fn, sizeof(Fn));
    sq_newclosure(v, dispatcher, 1);
}

// Free functions (global functions and class-level functions: the receiver is ignored).
template <class Fn> struct FreeDispatch;
template <class R, class... A> struct FreeDispatch<R (*)(A...)> {
    static SQInteger dispatch(HSQUIRRELVM v) {
        auto fn = storedFunction<R (*)(A...)>(v);
        return callWithArguments<R, A...>(v, 2, 1, fn);
    }
};

// Methods of value class T: a member function of T, or a free function taking the receiver first.
template <class T, class Fn> struct ValueMethodDispatch;
template <class T, class C, class R, class... A> struct ValueMethodDispatch<T, R (C::*)(A...)> {
    static SQInteger dispatch(HSQUIRRELVM v) {
        auto fn = storedFunction<R (C::*)(A...)>(v);
        T* self = getInstance<T>(v, 1);
        if (self == nullptr) {
            return 0;
        }
        return callWithArguments<R, A...>(v, 2, 1, [&](auto&... a) -> R { return (self->*fn)(a...); });
    }
};
template <class T, class C, class R, class... A> struct ValueMethodDispatch<T, R (C::*)(A...) const> {
    static SQInteger dispatch(HSQUIRRELVM v) {
        auto fn = storedFunction<R (C::*)(A...) const>(v);
        T* self = getInstance<T>(v, 1);
        if (self == nullptr) {
            return 0;
        }
        return callWithArguments<R, A...>(v, 2, 1, [&](auto&... a) -> R { return (self->*fn)(a...); });
    }
};
template <class T, class Self, class R, class... A> struct ValueMethodDispatch<T, R (*)(Self, A...)> {
    static SQInteger dispatch(HSQUIRRELVM v) {
        auto fn = storedFunction<R (*)(Self, A...)>(v);
        T* self = getInstance<T>(v, 1);
        if (self == nullptr) {
            return 0;
        }
        return callWithArguments<R, A...>(v, 2, 1, [&](auto&... a) -> R { return fn(*self, a...); });
    }
};

} // namespace binding_detail

// Stores a free function (or a capture-less lambda converted with +) as a closure under `name` in the table
// or class at stack index `target` (new-slot semantics, no parameter check; the closure's debug name is
// `name`).
template <class R, class... A>
bool bindFunction(HSQUIRRELVM v, SQInteger target, const char* name, R (*fn)(A...)) {
    SQInteger top = sq_gettop(v);
    target = target < 0 ? top + 1 + target : target;
    sq_pushstring(v, name, -1);
    binding_detail::pushStoredFunctionClosure(v, &binding_detail::FreeDispatch<R (*)(A...)>::dispatch, fn);
    sq_setnativeclosurename(v, -1, name);
    bool ok = SQ_SUCCEEDED(sq_newslot(v, target, SQFalse));
    sq_settop(v, top);
    return ok;
}

// Stores a method of value class T under `name` in T's class at stack index `target`: a member function of T,
// or a free function (or capture-less lambda with +) taking the receiver (T& or const T&) first.
template <ValueClass T, class Fn>
bool bindValueMethod(HSQUIRRELVM v, SQInteger target, const char* name, Fn fn) {
    SQInteger top = sq_gettop(v);
    target = target < 0 ? top + 1 + target : target;
    sq_pushstring(v, name, -1);
    binding_detail::pushStoredFunctionClosure(v, &binding_detail::ValueMethodDispatch<T, Fn>::dispatch, fn);
    sq_setnativeclosurename(v, -1, name);
    bool ok = SQ_SUCCEEDED(sq_newslot(v, target, SQFalse));
    sq_settop(v, top);
    return ok;
}
