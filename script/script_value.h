#pragma once
// `ScriptValue`: a native handle holding one script value of the process's VM.
//
// While the value is reference counted (table, array, closure, class, instance, string, user data, …) the
// handle keeps one strong VM reference to it, so the script object stays alive as long as native code holds
// the handle. Copies share the referenced object (each copy holds its own VM reference); assigning or
// destroying a handle drops the reference it held. A default handle holds null.
//
// Lifetime: a handle belongs to the VM that was open when it was made. Once that VM is closing or closed,
// dropping the handle does nothing (the VM frees its objects itself), so handles kept in static or long-lived
// native objects never reach into a torn-down VM. Such a handle must not be used otherwise after
// ScriptHost::destroy.

#include "squirrel/squirrel.h"

#include <cstdint>

class ScriptValue {
public:
    // Null.
    ScriptValue() { sq_resetobject(&m_object); }
    // Holds the raw value (adding the handle's own VM reference when it is counted).
    explicit ScriptValue(const HSQOBJECT& object);
    ScriptValue(const ScriptValue& other) : ScriptValue(other.m_object, other.m_generation) {}
    ScriptValue(ScriptValue&& other) noexcept;
    ScriptValue& operator=(const ScriptValue& other);
    ScriptValue& operator=(ScriptValue&& other) noexcept;
    ~ScriptValue() { release(); }

    // The value at stack index idx of the host VM (null when there is no VM).
    static ScriptValue fromStack(SQInteger idx);
    // Plain values, for arguments and table writes.
    static ScriptValue fromInt(SQInteger value);
    static ScriptValue fromFloat(SQFloat value);
    static ScriptValue fromBool(bool value);
    // A new string of the host VM (null when there is no VM or text is null).
    static ScriptValue fromString(const char* text);

    // Pushes the value on the host VM's stack (nothing when there is no VM).
    void push() const;
    // Drops the value; the handle then holds null.
    void reset();

    const HSQOBJECT& object() const { return m_object; }
    SQObjectType type() const { return m_object._type; }
    bool isNull() const { return m_object._type == OT_NULL; }
    // A table, instance or class: something with named slots.
    bool hasSlots() const;
    // A closure, native closure or class: something the VM can call.
    bool isCallable() const;

    // Same type and the same script object (or the same plain value; floats compare by bits).
    friend bool operator==(const ScriptValue& a, const ScriptValue& b);

private:
    ScriptValue(const HSQOBJECT& object, std::uint32_t generation);
    void acquire();
    void release();

    HSQOBJECT m_object;
    std::uint32_t m_generation = 0; // the VM this handle's reference belongs to (ScriptHost::generation)
};
