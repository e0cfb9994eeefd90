// The engine group's registration, and the global functions that call one interface operation on a component.
#include "binding/global_functions.h"

#include "binding/binding.h"
#include "binding/binding_method_table.h"
#include "binding/component_class.h"
#include "binding/src/global_functions_internal.h"
#include "binding/value_binding.h"
#include "component/class_mask.h"
#include "component/component_registry.h"
#include "component/frame_interfaces.h"
#include "component/group_interfaces.h"
#include "component/media_interfaces.h"
#include "component/object_interfaces.h"
#include "component/script_interfaces.h"
#include "component/stream_interfaces.h"
#include "math/matrix3.h"
#include "math/matrix4.h"
#include "math/rect_f.h"
#include "platform/kd.h"
#include "script/script_api.h"
#include "script/script_host.h"

#include <cstdlib>
#include <string>
#include <type_traits>

void bindRawFunction(HSQUIRRELVM v, SQInteger target, const char* name, SQFUNCTION function) {
    createFunction(v, target, name, function, "*");
}

namespace {

// The neutral matrices: every element 0 except the last diagonal one (not the identity).
Matrix3 neutralMatrix3() {
    Matrix3 m;
    for (auto& row : m.m) {
        for (float& element : row) element = 0.0f;
    }
    m.m[2][2] = 1.0f;
    return m;
}
Matrix4 neutralMatrix4() {
    Matrix4 m;
    for (auto& row : m.m) {
        for (float& element : row) element = 0.0f;
    }
    m.m[3][3] = 1.0f;
    return m;
}

// ---- components by name and the process

SQInteger getComponentIDs(HSQUIRRELVM v) {
    sq_newarray(v, 0);
    for (ClassId name : ComponentRegistry::instance().names()) {
        sq_pushstring(v, name.name(), -1);
        sq_arrayappend(v, -2);
    }
    return 1;
}

void quit() {
    KDEvent* event = kdCreateEvent();
    if (event == nullptr) {
        logError(nullptr, "quit: no event record");
        return;
    }
    event->type = KD_EVENT_QUIT;
    event->userptr = nullptr;
    event->timestamp = 0; // stamped when posted
    kdPostEvent(event);
}

// ---- logging: the value's text form as one untagged line; "%" in it is an ordinary character

template <LogLevel Level> SQInteger logValue(HSQUIRRELVM v) {
    if (sq_gettop(v) < 2) {
        return sq_throwerror(v, "wrong number of parameters");
    }
    SQInteger top = sq_gettop(v);
    sq_tostring(v, 2);
    const SQChar* text = nullptr;
    if (SQ_FAILED(sq_getstring(v, -1, &text)) || text == nullptr) {
        text = "(no text)";
    }
    logTagged(Level, nullptr, "%s", text);
    sq_settop(v, top);
    return 0;
}

// ---- stream functions

} // namespace

void registerGlobalFunctions(HSQUIRRELVM v) {
    SQInteger top = sq_gettop(v);
    sq_pushroottable(v);
    const SQInteger root = sq_gettop(v);

    bindFunction(
        v, root, "getComponent",
        +[](const char* name) -> ComponentRef<> { return ComponentRegistry::instance().createByName(name); });
    bindRawFunction(v, root, "getComponentIDs", &getComponentIDs);
    bindFunction(v, root, "quit", &quit);
    bindFunction(
        v, root, "exit", +[](SQInteger code) { std::exit(code); });
    bindRawFunction(v, root, "logMessage", &logValue<LogLevel::Plain>);
    bindRawFunction(v, root, "logWarning", &logValue<LogLevel::Warning>);
    bindRawFunction(v, root, "logError", &logValue<LogLevel::Error>);
    bindRawFunction(v, root, "logInfo", &logValue<LogLevel::Info>);

    bindFunction(
        v, root, "shutdown",
        +[](IAbstract* c) { withInterface<IShutdownable>(c, [](IShutdownable* i) { i->Shutdown(); }); });
    bindFunction(
        v, root, "loadFromFile", +[](IAbstract* c, const char* path) {
            return withInterface<ILoadable>(c, false, [&](ILoadable* i) { return i->LoadFromFile(path); });
        });
    bindFunction(
        v, root, "saveToFile", +[](IAbstract* c, const char* path) {
            return withInterface<ISaveable>(c, false, [&](ISaveable* i) { return i->SaveToFile(path); });
        });
    bindFunction(
        v, root, "cloneComponent", +[](IAbstract* c) {
            return withInterface<ICloneable>(c, ComponentRef<>(), [](ICloneable* i) { return i->Clone(); });
        });
    bindFunction(
        v, root, "getPartsQty", +[](IAbstract* c) {
            return withInterface<IComposite>(c, std::int32_t(0),
                                             [](IComposite* i) { return i->GetPartsQty(); });
        });
    bindFunction(
        v, root, "getPart", +[](IAbstract* c, SQInteger index) {
            return withInterface<IComposite>(c, ComponentRef<>(),
                                             [&](IComposite* i) { return i->GetPart(index); });
        });
    bindFunction(
        v, root, "findPart", +[](IAbstract* c, const char* name) {
            return withInterface<IComposite>(c, ComponentRef<>(),
                                             [&](IComposite* i) { return i->FindPart(name); });
        });
    bindFunction(
        v, root, "getPartID", +[](IAbstract* c, SQInteger index) {
            return withInterface<IComposite>(c, static_cast<const char*>(nullptr),
                                             [&](IComposite* i) { return i->GetPartID(index); });
        });
    bindFunction(
        v, root, "getPartParent", +[](IAbstract* c, IAbstract* part) {
            return withInterface<IComposite>(c, ComponentRef<>(),
                                             [&](IComposite* i) { return i->GetPartParent(part); });
        });
    bindFunction(
        v, root, "enableControl", +[](IAbstract* c, bool enabled) {
            withInterface<IManualControl>(c, [&](IManualControl* i) { i->EnableControl(enabled); });
        });
    bindFunction(
        v, root, "isControlEnabled", +[](IAbstract* c) {
            return withInterface<IManualControl>(c, false,
                                                 [](IManualControl* i) { return i->IsControlEnabled(); });
        });
    bindFunction(
        v, root, "setSlaveObject", +[](IAbstract* c, IAbstract* slave) {
            withInterface<IObjectControl>(c, [&](IObjectControl* i) { i->SetSlaveObject(slave); });
        });
    bindFunction(
        v, root, "loadFromScript", +[](IAbstract* c, ScriptValue value) {
            return withInterface<IScriptLoadable>(
                c, false, [&](IScriptLoadable* i) { return i->LoadFromScript(value); });
        });
    bindFunction(
        v, root, "saveToScript", +[](IAbstract* c) {
            return withInterface<IScriptSaveable>(c, ScriptValue(),
                                                  [](IScriptSaveable* i) { return i->SaveToScript(); });
        });
    bindFunction(
        v, root, "isIdentifiable", +[](IAbstract* c) { return queryInterface<IIdentifiable>(c) != nullptr; });
    bindFunction(
        v, root, "getIdentificator", +[](IAbstract* c) {
            return withInterface<IIdentifiable>(c, std::string(), [](IIdentifiable* i) {
                const char* id = i->GetIdentificator();
                return std::string(id ? id : "");
            });
        });
    bindFunction(
        v, root, "setIdentificator", +[](IAbstract* c, std::string_view id) {
            withInterface<IIdentifiable>(c, [&](IIdentifiable* i) { i->SetIdentificator(id); });
        });
    bindFunction(
        v, root, "addClassificator", +[](IAbstract* c, SQInteger bits) {
            withInterface<IClassifiable>(
                c, [&](IClassifiable* i) { i->AddClassificator(static_cast<std::uint32_t>(bits)); });
        });
    bindFunction(
        v, root, "removeClassificator", +[](IAbstract* c, SQInteger bits) {
            withInterface<IClassifiable>(
                c, [&](IClassifiable* i) { i->RemoveClassificator(static_cast<std::uint32_t>(bits)); });
        });
    bindFunction(
        v, root, "getClassificators", +[](IAbstract* c) {
            return withInterface<IClassifiable>(c, SQInteger(0), [](IClassifiable* i) {
                return static_cast<SQInteger>(i->GetClassificators());
            });
        });
    bindFunction(
        v, root, "checkMask", +[](IAbstract* c, SQInteger include, SQInteger exclude) {
            IClassifiable* classifiable = queryInterface<IClassifiable>(c);
            if (classifiable == nullptr) {
                return include == 0;
            }
            ClassMask mask{static_cast<std::uint32_t>(include), static_cast<std::uint32_t>(exclude)};
            return mask.matches(classifiable->GetClassificators());
        });
    bindFunction(
        v, root, "getPosition3D", +[](IAbstract* c) {
            return withInterface<IPositionable3D>(c, neutralMatrix4(),
                                                  [](IPositionable3D* i) { return i->GetPosition3D(); });
        });
    bindFunction(
        v, root, "setPosition3D", +[](IAbstract* c, Matrix4 m) {
            withInterface<IPositionable3D>(c, [&](IPositionable3D* i) { i->SetPosition3D(m); });
        });
    bindFunction(
        v, root, "getPosition", +[](IAbstract* c) {
            return withInterface<IPositionable>(c, neutralMatrix3(),
                                                [](IPositionable* i) { return i->GetPosition(); });
        });
    bindFunction(
        v, root, "setPosition", +[](IAbstract* c, Matrix3 m) {
            withInterface<IPositionable>(c, [&](IPositionable* i) { i->SetPosition(m); });
        });
    bindFunction(
        v, root, "setPositionable", +[](IAbstract* c, IAbstract* provider) {
            withInterface<IPositionableUser>(c, [&](IPositionableUser* i) {
                i->SetPositionable(queryInterface<IPositionable>(provider));
            });
        });
    bindFunction(
        v, root, "setAnimation", +[](IAbstract* c, const char* name, float phase) {
            return withInterface<IAnimateable>(c, false,
                                               [&](IAnimateable* i) { return i->SetAnimation(name, phase); });
        });
    bindFunction(
        v, root, "isVisible", +[](IAbstract* c) {
            return withInterface<IVisible>(c, false, [](IVisible* i) { return i->IsVisible(); });
        });
    bindFunction(
        v, root, "setVisible", +[](IAbstract* c, bool visible) {
            withInterface<IVisible>(c, [&](IVisible* i) { i->SetVisible(visible); });
        });

    bindFunction(
        v, root, "updateComponent", +[](IAbstract* c, SQInteger layer, SQInteger elapsed) {
            withInterface<IUpdateable>(c, [&](IUpdateable* i) { i->Update(layer, elapsed); });
        });
    bindFunction(
        v, root, "renderComponent", +[](IAbstract* c, IAbstract* graphics) {
            withInterface<IRenderable>(
                c, [&](IRenderable* i) { i->Render(queryInterface<IGraphics>(graphics), ClassMask{}); });
        });
    bindFunction(
        v, root, "beginRender", +[](IAbstract* target, IAbstract* camera) {
            return withInterface<IRenderTarget>(
                target, static_cast<IAbstract*>(nullptr), [&](IRenderTarget* i) {
                    return static_cast<IAbstract*>(i->Begin(queryInterface<ICamera>(camera)));
                });
        });
    bindFunction(
        v, root, "endRender",
        +[](IAbstract* target) { withInterface<IRenderTarget>(target, [](IRenderTarget* i) { i->End(); }); });
    bindFunction(
        v, root, "getRenderTargetTexture", +[](IAbstract* target) {
            return withInterface<IRenderTarget>(
                target, static_cast<IAbstract*>(nullptr),
                [](IRenderTarget* i) { return static_cast<IAbstract*>(i->GetTexture()); });
        });
    bindFunction(
        v, root, "getBoundingRect", +[](IAbstract* c) {
            return withInterface<IBoundingInfo>(
                c, RectF{}, [](IBoundingInfo* i) { return i->GetBoundingRect(ClassMask{}); });
        });
    bindFunction(
        v, root, "getLifeTime", +[](IAbstract* c) {
            return withInterface<IWithLifeTime>(c, std::int32_t(0),
                                                [](IWithLifeTime* i) { return i->GetLifeTime(); });
        });
    bindFunction(
        v, root, "isExpired", +[](IAbstract* c) {
            return withInterface<IWithLifeTime>(c, false, [](IWithLifeTime* i) { return i->IsExpired(); });
        });

    registerUtilityFunctions(v, root);
    sq_settop(v, top);
}

namespace {

void installBindingApi(HSQUIRRELVM v) {
    if (!registerComponentClass(v)) kdLogMessage("error: %s\n", "cannot register the Component class");
    if (!registerValueClasses(v)) kdLogMessage("error: %s\n", "cannot register the value classes");
    registerGlobalFunctions(v);
}

} // namespace

void registerBindingScriptApi(ScriptApi& api) {
    // Native method tables outlive the VM; their closures go while the VM can still take them back.
    api.add(&installBindingApi, &MethodTable::releaseAllClosures);
}
