#include "script/script_value.h"
#include "script/script_host.h"

#include <utility>

ScriptValue::ScriptValue(const HSQOBJECT& object) : m_object(object) {
    acquire();
}

ScriptValue::ScriptValue(const HSQOBJECT& object, std::uint32_t generation) : m_object(object) {
    // A copy of a handle whose VM is gone holds null rather than a reference into another VM.
    if (ISREFCOUNTED(m_object._type) && generation != ScriptHost::generation()) {
        sq_resetobject(&m_object);
        return;
    }
    acquire();
}

ScriptValue::ScriptValue(ScriptValue&& other) noexcept
    : m_object(other.m_object), m_generation(other.m_generation) {
    sq_resetobject(&other.m_object);
}

ScriptValue& ScriptValue::operator=(const ScriptValue& other) {
    if (this != &other) {
        ScriptValue copy(other); // take the new reference before dropping the old one
        *this = std::move(copy);
    }
    return *this;
}

ScriptValue& ScriptValue::operator=(ScriptValue&& other) noexcept {
    if (this != &other) {
        release();
        m_object = other.m_object;
        m_generation = other.m_generation;
        sq_resetobject(&other.m_object);
    }
    return *this;
}

void ScriptValue::acquire() {
    if (!ISREFCOUNTED(m_object._type)) return;
    HSQUIRRELVM vm = ScriptHost::vm();
    if (!vm) {
        sq_resetobject(&m_object);
        return;
    }
    sq_addref(vm, &m_object);
    m_generation = ScriptHost::generation();
}

void ScriptValue::release() {
    if (ISREFCOUNTED(m_object._type)) {
        HSQUIRRELVM vm = ScriptHost::vm();
        if (vm && !ScriptHost::isClosing() && m_generation == ScriptHost::generation())
            sq_release(vm, &m_object);
    }
    sq_resetobject(&m_object);
}

void ScriptValue::reset() {
    release();
}

ScriptValue ScriptValue::fromStack(SQInteger idx) {
    HSQUIRRELVM vm = ScriptHost::vm();
    HSQOBJECT object;
    sq_resetobject(&object);
    if (vm && SQ_FAILED(sq_getstackobj(vm, idx, &object))) sq_resetobject(&object);
    return ScriptValue(object);
}

ScriptValue ScriptValue::fromInt(SQInteger value) {
    HSQOBJECT object;
    object._type = OT_INTEGER;
    object._unVal.pUserPointer = nullptr;
    object._unVal.nInteger = value;
    return ScriptValue(object);
}

ScriptValue ScriptValue::fromFloat(SQFloat value) {
    HSQOBJECT object;
    object._type = OT_FLOAT;
    object._unVal.pUserPointer = nullptr;
    object._unVal.fFloat = value;
    return ScriptValue(object);
}

ScriptValue ScriptValue::fromBool(bool value) {
    HSQOBJECT object;
    object._type = OT_BOOL;
    object._unVal.pUserPointer = nullptr;
    object._unVal.nInteger = value ? 1 : 0;
    return ScriptValue(object);
}

ScriptValue ScriptValue::fromString(const char* text) {
    HSQUIRRELVM vm = ScriptHost::vm();
    if (!vm || !text) return ScriptValue();
    sq_pushstring(vm, text, -1);
    ScriptValue value = fromStack(-1);
    sq_poptop(vm);
    return value;
}

void ScriptValue::push() const {
    if (HSQUIRRELVM vm = ScriptHost::vm()) sq_pushobject(vm, m_object);
}

bool ScriptValue::hasSlots() const {
    return m_object._type == OT_TABLE || m_object._type == OT_INSTANCE || m_object._type == OT_CLASS;
}

bool ScriptValue::isCallable() const {
    return m_object._type == OT_CLOSURE || m_object._type == OT_NATIVECLOSURE || m_object._type == OT_CLASS;
}

bool operator==(const ScriptValue& a, const ScriptValue& b) {
    const HSQOBJECT &x = a.m_object, &y = b.m_object;
    if (x._type != y._type) return false;
    switch (x._type) {
    case OT_NULL:
        return true;
    case OT_INTEGER:
    case OT_BOOL:
        return x._unVal.nInteger == y._unVal.nInteger;
    case OT_FLOAT:
        return x._unVal.raw == y._unVal.raw;
    default:
        return x._unVal.pUserPointer == y._unVal.pUserPointer;
    }
}
