// The engine group's registration, and the global functions that call one interface operation on a component.
#include "binding/global_functions.h"

#include "binding/binding.h"
#include "binding/src/global_functions_internal.h"
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
#include "persistence/stream_formats.h"
#include "platform/kd.h"
#include "script/script_host.h"

#include <cstdlib>
#include <string>
#include <type_traits>

void bindRawFunction(HSQUIRRELVM v, SQInteger target, const char* name, SQFUNCTION function) {
    createFunction(v, target, name, function, "*");
}

namespace {

// Calls op with interface I of the component, holding a reference for the call (the operation may drop the
// script's last handle); reports the cast failure and answers neutral when the component lacks I.
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

template <class T> T readPrimitive(IAbstract* stream, int width) {
    return withInterface<IInputStream>(stream, T(0), [width](IInputStream* input) {
        std::uint32_t value = 0;
        qx::readSimple(input, value, width);
        if constexpr (std::is_same_v<T, bool>) {
            return value != 0;
        } else {
            return static_cast<T>(value);
        }
    });
}

void writePrimitive(IAbstract* stream, std::uint32_t value, int width) {
    withInterface<IOutputStream>(stream,
                                 [&](IOutputStream* output) { qx::writeSimple(output, value, width); });
}

// writeBuffer reads its text raw, with its real length, since a buffer may hold zero bytes.
SQInteger writeBuffer(HSQUIRRELVM v) {
    if (sq_gettop(v) < 4) {
        return sq_throwerror(v, "wrong number of parameters");
    }
    IAbstract* stream = componentArgument(v, 2);
    const SQChar* text = "";
    SQInteger length = 0;
    if (sq_gettype(v, 3) == OT_STRING && SQ_SUCCEEDED(sq_getstring(v, 3, &text))) {
        length = sq_getsize(v, 3);
    } else {
        reportBindingError(BindingMessage::TypeError);
        text = "";
    }
    SQInteger count = 0;
    binding_detail::readInteger(v, 4, count);
    withInterface<IOutputStream>(stream, [&](IOutputStream* output) {
        qx::writeBuffer(output, std::string_view(text, static_cast<std::size_t>(length)), count);
    });
    return 0;
}

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
        v, root, "readComponent", +[](IAbstract* stream, IAbstract* c) {
            return withInterface<IInputStream>(stream, false, [&](IInputStream* input) {
                return withInterface<IReadable>(c, false, [&](IReadable* i) { return i->ReadFrom(input); });
            });
        });
    bindFunction(
        v, root, "readChars", +[](IAbstract* stream, SQInteger count) {
            return withInterface<IInputStream>(stream, std::string(), [&](IInputStream* input) {
                std::string text;
                qx::readChars(input, count, text);
                return text;
            });
        });
    bindFunction(
        v, root, "readInt", +[](IAbstract* s) { return readPrimitive<std::int32_t>(s, 4); });
    bindFunction(
        v, root, "readShort", +[](IAbstract* s) { return readPrimitive<std::int16_t>(s, 2); });
    bindFunction(
        v, root, "readUnsignedShort", +[](IAbstract* s) { return readPrimitive<std::uint16_t>(s, 2); });
    bindFunction(
        v, root, "readByte", +[](IAbstract* s) { return readPrimitive<std::int8_t>(s, 1); });
    bindFunction(
        v, root, "readUnsignedByte", +[](IAbstract* s) { return readPrimitive<std::uint8_t>(s, 1); });
    bindFunction(
        v, root, "readBool", +[](IAbstract* s) { return readPrimitive<bool>(s, 1); });
    bindFunction(
        v, root, "readString", +[](IAbstract* stream) {
            return withInterface<IInputStream>(stream, std::string(), [&](IInputStream* input) {
                std::string text;
                qx::readString(input, text);
                return text;
            });
        });
    bindFunction(
        v, root, "writeComponent", +[](IAbstract* stream, IAbstract* c) {
            return withInterface<IOutputStream>(stream, false, [&](IOutputStream* output) {
                return withInterface<IWriteable>(c, false, [&](IWriteable* i) { return i->WriteTo(output); });
            });
        });
    bindFunction(
        v, root, "writeChars", +[](IAbstract* stream, std::string_view text, SQInteger count) {
            withInterface<IOutputStream>(stream,
                                         [&](IOutputStream* output) { qx::writeChars(output, text, count); });
        });
    bindRawFunction(v, root, "writeBuffer", &writeBuffer);
    bindFunction(
        v, root, "writeInt",
        +[](IAbstract* s, SQInteger value) { writePrimitive(s, static_cast<std::uint32_t>(value), 4); });
    bindFunction(
        v, root, "writeShort",
        +[](IAbstract* s, SQInteger value) { writePrimitive(s, static_cast<std::uint32_t>(value), 2); });
    bindFunction(
        v, root, "writeByte",
        +[](IAbstract* s, SQInteger value) { writePrimitive(s, static_cast<std::uint32_t>(value), 1); });
    bindFunction(
        v, root, "writeBool", +[](IAbstract* s, bool value) { writePrimitive(s, value ? 1u : 0u, 1); });
    bindFunction(
        v, root, "writeString", +[](IAbstract* stream, std::string_view text) {
            withInterface<IOutputStream>(stream,
                                         [&](IOutputStream* output) { qx::writeString(output, text); });
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
