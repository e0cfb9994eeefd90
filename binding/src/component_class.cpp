#include "binding/component_class.h"

#include "component/group_interfaces.h"
#include "component/group_iteration.h"
#include "component/script_handle.h"
#include "component/script_interfaces.h"

#include <cstdio>

namespace {

const ClassTypeTag g_componentTag{nullptr, "Component", 0, nullptr, nullptr};

SQUserPointer componentTag() {
    return const_cast<ClassTypeTag*>(&g_componentTag);
}

SQInteger absoluteIndex(HSQUIRRELVM v, SQInteger idx) {
    return idx < 0 ? sq_gettop(v) + 1 + idx : idx;
}

// Release hook of a handle made by pushComponent: the component's one live handle, so it is also the one the
// component remembers.
SQInteger releasePushedHandle(SQUserPointer component, SQInteger) {
    auto* abstract = static_cast<IAbstract*>(component);
    if (abstract != nullptr) {
        releaseFromScriptInstance(abstract, abstract->scriptInstance());
    }
    return 1;
}

// Release hook of a clone: drops the clone's own reference and leaves the remembered handle alone.
SQInteger releaseClonedHandle(SQUserPointer component, SQInteger) {
    releaseFromScriptInstance(static_cast<IAbstract*>(component), nullptr);
    return 1;
}

// The string key at index 2, or null after setting the wrong-type error.
const char* stringKey(HSQUIRRELVM v) {
    const SQChar* key = nullptr;
    if (sq_gettype(v, 2) != OT_STRING || SQ_FAILED(sq_getstring(v, 2, &key))) {
        raiseWrongArgumentType(v, 2, "string");
        return nullptr;
    }
    return key;
}

SQInteger componentConstructor(HSQUIRRELVM) {
    // The instance starts with a null user pointer and no release hook: an empty handle.
    return 0;
}

SQInteger componentCompare(HSQUIRRELVM v) {
    IAbstract* first = componentArgument(v, 1);
    IAbstract* second = sq_gettop(v) >= 2 ? componentArgument(v, 2) : nullptr;
    sq_pushinteger(v, compareComponentHandles(first, second));
    return 1;
}

SQInteger componentGet(HSQUIRRELVM v) {
    const char* key = stringKey(v);
    if (key == nullptr) {
        return SQ_ERROR;
    }
    IAbstract* component = componentArgument(v, 1);
    if (auto* scriptObject = queryInterface<IScriptObject>(component)) {
        ScriptValue member;
        if (scriptObject->GetMember(key, member)) {
            sq_pushobject(v, member.object());
            return 1;
        }
    }
    if (auto* group = queryInterface<IComponentGroup>(component)) {
        ComponentRef<> part = group->GetObject(key);
        if (part) {
            pushComponent(v, part.get());
            return 1;
        }
    }
    // The VM reports the missing index itself.
    return sq_throwerror(v, "member not found");
}

SQInteger componentSet(HSQUIRRELVM v) {
    const char* key = stringKey(v);
    if (key == nullptr) {
        return SQ_ERROR;
    }
    if (sq_gettop(v) < 3) {
        return sq_throwerror(v, "wrong number of parameters");
    }
    IAbstract* component = componentArgument(v, 1);
    if (auto* scriptObject = queryInterface<IScriptObject>(component)) {
        HSQOBJECT object;
        sq_getstackobj(v, 3, &object);
        if (scriptObject->SetMember(key, ScriptValue(object))) {
            return 0;
        }
    }
    if (auto* group = queryInterface<IComponentGroup>(component)) {
        // Null unregisters directly: a group's RegisterObject may refuse any identifier already taken (a
        // compound does), null included.
        if (sq_gettype(v, 3) == OT_NULL) {
            group->UnregisterObject(key);
            return 0;
        }
        IAbstract* part = componentArgument(v, 3);
        if (part == nullptr) {
            // Anything but a handle or null would silently unregister the part.
            return raiseWrongArgumentType(v, 3, "Component");
        }
        return group->RegisterObject(key, part) ? 0 : sq_throwerror(v, "the group refused the part");
    }
    return sq_throwerror(v, "member not found");
}

SQInteger componentNext(HSQUIRRELVM v) {
    auto* group = queryInterface<IComponentGroup>(componentArgument(v, 1));
    if (group == nullptr) {
        return sq_throwerror(v, "the component is not a group");
    }
    const SQChar* previous = nullptr;
    if (sq_gettop(v) >= 2 && sq_gettype(v, 2) == OT_STRING) {
        sq_getstring(v, 2, &previous);
    } else if (sq_gettop(v) >= 2 && sq_gettype(v, 2) != OT_NULL) {
        return raiseWrongArgumentType(v, 2, "string");
    }
    const char* next = nextGroupIdentifier(group, previous);
    if (next == nullptr) {
        sq_pushnull(v);
    } else {
        sq_pushstring(v, next, -1);
    }
    return 1;
}

SQInteger componentTypeOf(HSQUIRRELVM v) {
    auto* scriptObject = queryInterface<IScriptObject>(componentArgument(v, 1));
    const char* name = scriptObject ? scriptObject->GetTypeName() : nullptr;
    if (name == nullptr) {
        return sq_throwerror(v, "the component has no script type");
    }
    sq_pushstring(v, name, -1);
    return 1;
}

SQInteger componentToString(HSQUIRRELVM v) {
    char text[128];
    std::snprintf(text, sizeof(text), "(component : %p)", static_cast<void*>(componentArgument(v, 1)));
    sq_pushstring(v, text, -1);
    return 1;
}

SQInteger componentCloned(HSQUIRRELVM v) {
    if (!binding_detail::isInstanceOf(v, 1, g_componentTag)) {
        return sq_throwerror(v, "_cloned: the clone is not a Component");
    }
    IAbstract* component = sq_gettop(v) >= 2 ? componentArgument(v, 2) : nullptr;
    if (!canHandToScript(component)) {
        component = nullptr;
    }
    // Whatever the VM copied into the clone is replaced: it gets its own reference and its own hook.
    sq_setinstanceup(v, 1, component);
    sq_setreleasehook(v, 1, component ? &releaseClonedHandle : nullptr);
    if (component != nullptr) {
        component->AddRef();
    }
    return 0;
}

} // namespace

const ClassTypeTag& componentTypeTag() {
    return g_componentTag;
}

bool registerComponentClass(HSQUIRRELVM v) {
    if (!registerClass(v, g_componentTag, &componentConstructor)) {
        return false;
    }
    bool ok = createFunction(v, -1, "_cmp", &componentCompare, "*") &&
              createFunction(v, -1, "_get", &componentGet, "*") &&
              createFunction(v, -1, "_set", &componentSet, "*") &&
              createFunction(v, -1, "_nexti", &componentNext, "*") &&
              createFunction(v, -1, "_typeof", &componentTypeOf, "*") &&
              createFunction(v, -1, "_tostring", &componentToString, "*") &&
              createFunction(v, -1, "_cloned", &componentCloned, "*");
    sq_pop(v, 1);
    return ok;
}

void pushComponent(HSQUIRRELVM v, IAbstract* component) {
    IAbstract* abstract = abstractOf(component);
    if (!canHandToScript(abstract)) {
        sq_pushnull(v);
        return;
    }
    if (void* live = abstract->scriptInstance()) {
        HSQOBJECT handle;
        handle._type = OT_INSTANCE;
        handle._unVal.pInstance = static_cast<SQInstance*>(live);
        sq_pushobject(v, handle);
        return;
    }
    SQInteger top = sq_gettop(v);
    sq_pushroottable(v);
    sq_pushstring(v, g_componentTag.name, -1);
    SQUserPointer tag = nullptr;
    bool made = SQ_SUCCEEDED(sq_rawget(v, -2)) && sq_gettype(v, -1) == OT_CLASS &&
                SQ_SUCCEEDED(sq_gettypetag(v, -1, &tag)) && tag == componentTag() &&
                SQ_SUCCEEDED(sq_createinstance(v, -1));
    if (!made) {
        sq_settop(v, top);
        reportBindingError(BindingMessage::PushComponentFailed);
        sq_pushnull(v);
        return;
    }
    sq_setinstanceup(v, -1, abstract);
    sq_setreleasehook(v, -1, &releasePushedHandle);
    abstract->AddRef();
    HSQOBJECT instance;
    sq_getstackobj(v, -1, &instance);
    abstract->setScriptInstance(instance._unVal.pInstance);
    // Keep only the instance: [root, class, instance] -> [instance].
    sq_remove(v, top + 1);
    sq_remove(v, top + 1);
}

IAbstract* componentArgument(HSQUIRRELVM v, SQInteger idx) {
    idx = absoluteIndex(v, idx);
    if (idx < 1 || idx > sq_gettop(v) || sq_gettype(v, idx) != OT_INSTANCE) {
        return nullptr;
    }
    SQUserPointer component = nullptr;
    if (SQ_FAILED(sq_getinstanceup(v, idx, &component, componentTag()))) {
        sq_reseterror(v);
        return nullptr;
    }
    return static_cast<IAbstract*>(component);
}
