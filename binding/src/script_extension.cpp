#include "binding/script_extension.h"

#include "binding/binding.h"
#include "platform/kd.h"
#include "script/script_host.h"

bool ScriptExtension::attach(IAbstract* owner, const ScriptValue& value) {
    HSQUIRRELVM v = ScriptHost::vm();
    if (v == nullptr) {
        return false;
    }
    SQInteger top = sq_gettop(v);
    ScriptValue kept;
    switch (value.type()) {
    case OT_CLASS:
        sq_pushobject(v, value.object());
        if (SQ_SUCCEEDED(sq_createinstance(v, -1))) {
            kept = ScriptValue::fromStack(-1);
        }
        sq_settop(v, top);
        break;
    case OT_TABLE:
    case OT_INSTANCE:
        kept = value;
        break;
    default:
        break;
    }
    if (kept.isNull()) {
        kdLogMessage("error: %s\n", "the script object must be a class, a table or an instance");
        return false;
    }
    m_object = kept;

    // The script object's constructor runs with the component as `this`.
    sq_pushobject(v, m_object.object());
    sq_pushstring(v, "constructor", -1);
    if (SQ_SUCCEEDED(sq_get(v, -2))) {
        SQObjectType type = sq_gettype(v, -1);
        if (type == OT_CLOSURE || type == OT_NATIVECLOSURE) {
            pushComponent(v, owner);
            sq_call(v, 1, SQFalse, SQTrue);
        }
    } else {
        sq_reseterror(v);
    }
    sq_settop(v, top);
    return true;
}

namespace {

// The VM with the kept object and the member name pushed, or null (nothing pushed) without either.
HSQUIRRELVM pushObjectAndName(const ScriptValue& object, const char* name, SQInteger& top) {
    HSQUIRRELVM v = ScriptHost::vm();
    if (object.isNull() || v == nullptr) {
        return nullptr;
    }
    top = sq_gettop(v);
    sq_pushobject(v, object.object());
    sq_pushstring(v, name, -1);
    return v;
}

} // namespace

bool ScriptExtension::getMember(const char* name, ScriptValue& value) const {
    SQInteger top = 0;
    HSQUIRRELVM v = pushObjectAndName(m_object, name, top);
    if (v == nullptr) {
        return false;
    }
    bool found = SQ_SUCCEEDED(sq_get(v, -2));
    if (found) {
        value = ScriptValue::fromStack(-1);
    } else {
        // A miss is the usual case (native methods are looked up here first). Holding on to the VM's
        // miss message keeps its text interned, so the next miss does not allocate it again.
        static ScriptValue missMessage;
        sq_getlasterror(v);
        missMessage = ScriptValue::fromStack(-1);
        sq_reseterror(v);
    }
    sq_settop(v, top);
    return found;
}

bool ScriptExtension::setMember(const char* name, const ScriptValue& value) {
    SQInteger top = 0;
    HSQUIRRELVM v = pushObjectAndName(m_object, name, top);
    if (v == nullptr) {
        return false;
    }
    sq_pushobject(v, value.object());
    bool stored = SQ_SUCCEEDED(sq_newslot(v, -3, SQFalse));
    if (!stored && m_object.type() == OT_INSTANCE) {
        // An instance cannot take new slots; its existing fields are assigned.
        sq_reseterror(v);
        sq_settop(v, top + 1);
        sq_pushstring(v, name, -1);
        sq_pushobject(v, value.object());
        stored = SQ_SUCCEEDED(sq_set(v, -3));
    }
    if (!stored) {
        sq_reseterror(v);
    }
    sq_settop(v, top);
    return stored;
}
