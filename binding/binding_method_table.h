#pragma once
// Script methods of component classes.
//
// A component class lists its script methods once, in a static `MethodTable`:
//
//     const MethodTable& Camera::scriptMethods() {
//         static const MethodTable table{
//             scriptMethod<Camera>("SetPosition", &Camera::SetPosition),
//             scriptMethod<Camera>("GetWorldToScreen", &Camera::GetWorldToScreen),
//             scriptMethod<Camera>("Apply", &applyFromScript), // raw: SQInteger (HSQUIRRELVM)
//         };
//         return table;
//     }
//
// and answers IScriptObject::GetMember with `table.find(name, value)` after its script extension
// (ScriptObjectBase in binding/binding_script_object.h does both). The table is sorted by name (byte-wise)
// when it is made; the closures are made on the first lookup in a VM and kept until that VM closes (a lookup
// after the VM was re-created makes them again). A lookup is a binary search and allocates nothing.
//
// A method closure is called with a `Component` handle as receiver: its dispatcher takes the handle's
// component, finds the class's own object in it (a handle of another class raises a script error), converts
// the arguments (binding/binding.h), calls, and pushes the result. The member-function pointer travels in a
// user-data free variable of its own size.

#include "binding/binding.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

// One script method of component class C: its name, its dispatcher and the native function it calls.
struct ScriptMethod {
    const char* name = nullptr;
    SQFUNCTION dispatcher = nullptr;
    // The bound function's pointer bytes (a member-function pointer is two words); none for a raw function.
    alignas(void*) unsigned char target[2 * sizeof(void*)] = {};
    std::uint8_t targetSize = 0;
};

// The object of class C behind the `Component` handle at idx (for raw methods), or null.
template <class C> C* componentReceiver(HSQUIRRELVM v, SQInteger idx) {
    return dynamic_cast<C*>(componentArgument(v, idx));
}

namespace binding_detail {

SQInteger raiseWrongReceiver(HSQUIRRELVM v);

template <class C, class Fn> struct ComponentMethodDispatch;
template <class C, class K, class R, class... A> struct ComponentMethodDispatch<C, R (K::*)(A...)> {
    static SQInteger dispatch(HSQUIRRELVM v) {
        auto fn = storedFunction<R (K::*)(A...)>(v);
        C* self = componentReceiver<C>(v, 1);
        if (self == nullptr) {
            return raiseWrongReceiver(v);
        }
        ComponentRef<IAbstract> hold(self); // the call may drop the script's last handle
        return callWithArguments<R, A...>(v, 2, 1, [&](auto&... a) -> R { return (self->*fn)(a...); });
    }
};
template <class C, class K, class R, class... A> struct ComponentMethodDispatch<C, R (K::*)(A...) const> {
    static SQInteger dispatch(HSQUIRRELVM v) {
        auto fn = storedFunction<R (K::*)(A...) const>(v);
        C* self = componentReceiver<C>(v, 1);
        if (self == nullptr) {
            return raiseWrongReceiver(v);
        }
        ComponentRef<IAbstract> hold(self);
        return callWithArguments<R, A...>(v, 2, 1, [&](auto&... a) -> R { return (self->*fn)(a...); });
    }
};
// A free function taking the object first (C& or C*), for script-only helpers.
template <class C, class Self, class R, class... A> struct ComponentMethodDispatch<C, R (*)(Self, A...)> {
    static SQInteger dispatch(HSQUIRRELVM v) {
        auto fn = storedFunction<R (*)(Self, A...)>(v);
        C* self = componentReceiver<C>(v, 1);
        if (self == nullptr) {
            return raiseWrongReceiver(v);
        }
        ComponentRef<IAbstract> hold(self);
        return callWithArguments<R, A...>(v, 2, 1, [&](auto&... a) -> R {
            if constexpr (std::is_pointer_v<Self>) {
                return fn(self, a...);
            } else {
                return fn(*self, a...);
            }
        });
    }
};

} // namespace binding_detail

// A method of component class C: a member function of C (or of a base of C), or a free function taking the
// C object first.
template <class C, class Fn> ScriptMethod scriptMethod(const char* name, Fn fn) {
    static_assert(sizeof(Fn) <= sizeof(ScriptMethod::target), "function pointer too large");
    ScriptMethod method;
    method.name = name;
    method.dispatcher = &binding_detail::ComponentMethodDispatch<C, Fn>::dispatch;
    std::memcpy(method.target, &fn, sizeof(Fn));
    method.targetSize = static_cast<std::uint8_t>(sizeof(Fn));
    return method;
}

// A raw method: the native function reads its own arguments (index 1 is the handle; use componentReceiver).
inline ScriptMethod scriptMethodRaw(const char* name, SQFUNCTION function) {
    ScriptMethod method;
    method.name = name;
    method.dispatcher = function;
    return method;
}

class MethodTable {
public:
    MethodTable(std::initializer_list<ScriptMethod> methods);
    ~MethodTable();
    MethodTable(const MethodTable&) = delete;
    MethodTable& operator=(const MethodTable&) = delete;

    // The closure of method `name` in the current VM; false when the class has no such method (or there is
    // no VM). Makes the closures on the first lookup in a VM.
    bool find(const char* name, ScriptValue& closure) const;
    // Whether the class has a method of that name (no VM needed).
    bool contains(const char* name) const;
    std::size_t size() const { return m_methods.size(); }

    // Drops the closures of every table (the host calls this before it closes the VM).
    static void releaseAllClosures();

private:
    bool build() const;
    void releaseClosures() const;

    std::vector<ScriptMethod> m_methods; // sorted by name
    mutable std::vector<ScriptValue> m_closures;
    mutable std::uint32_t m_generation = 0; // the VM the closures belong to
    MethodTable* m_next = nullptr;          // every table, for releaseAllClosures
};
