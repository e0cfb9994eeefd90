#include "objects/scripted_object.h"

#include <limits>

#include "binding/binding.h"
#include "component/media_interfaces.h"
#include "script/script_call.h"
#include "script/script_host.h"

namespace {

// How a runaway callback is named in the host's report, beside the function's own name.
constexpr const char* kCallbackEntry = "ScriptedObject callback";
constexpr const char* kExPointerNames[] = {"OnPointerPressedEx", "OnPointerReleasedEx", "OnPointerMovedEx",
                                           "OnPointerWheelEx"};
constexpr const char* kPointerNames[] = {"OnPointerPressed", "OnPointerReleased", "OnPointerMoved",
                                         "OnPointerWheel"};

// An integer answer: a float is truncated, anything else counts as 0.
std::int32_t integerResult(const ScriptValue& result) {
    switch (result.type()) {
    case OT_INTEGER:
        return static_cast<std::int32_t>(result.object()._unVal.nInteger);
    case OT_FLOAT:
        return static_cast<std::int32_t>(result.object()._unVal.fFloat);
    default:
        return 0;
    }
}

// A float answer: an integer is converted, anything else counts as 0.
float floatResult(const ScriptValue& result) {
    switch (result.type()) {
    case OT_INTEGER:
        return static_cast<float>(result.object()._unVal.nInteger);
    case OT_FLOAT:
        return result.object()._unVal.fFloat;
    default:
        return 0.0f;
    }
}

// Consumed: true, or a non-zero number.
bool consumedResult(const ScriptValue& result) {
    switch (result.type()) {
    case OT_BOOL:
    case OT_INTEGER:
        return result.object()._unVal.nInteger != 0;
    case OT_FLOAT:
        return result.object()._unVal.fFloat != 0.0f;
    default:
        return false;
    }
}

} // namespace

void* ScriptedObject::QueryInterface(InterfaceId id) {
    if (id == IUpdateable::ID) {
        return defines("Update") ? static_cast<IUpdateable*>(this) : nullptr;
    }
    if (id == IRenderable::ID) {
        return defines("Render") ? static_cast<IRenderable*>(this) : nullptr;
    }
    if (id == IInputHandler::ID) {
        bool handles = defines("OnInputChar") || defines("OnKeyPressed") || defines("OnKeyReleased");
        for (const ScriptValue& pointer : m_pointer) {
            handles = handles || !pointer.isNull();
        }
        return handles ? static_cast<IInputHandler*>(this) : nullptr;
    }
    if (id == IStateProvider::ID) {
        return defines("GetStateWeight") ? static_cast<IStateProvider*>(this) : nullptr;
    }
    return queryCompound(id);
}

ScriptValue ScriptedObject::callback(const char* name) const {
    ScriptValue value;
    // Each query asks the script object afresh; the handle of a component being destroyed cannot be pushed.
    if (refCount() > 0) {
        const_cast<ScriptedObject*>(this)->scriptExtension().getMember(name, value);
    }
    return value;
}

bool ScriptedObject::beginCall(const ScriptValue& function) {
    HSQUIRRELVM v = ScriptHost::vm();
    if (v == nullptr || refCount() <= 0) {
        return false;
    }
    pushComponent(v, abstractOf(this));
    ScriptValue self = ScriptValue::fromStack(-1);
    sq_poptop(v);
    return ScriptCall::begin(function, self);
}

bool ScriptedObject::LoadFromScript(const ScriptValue& value) {
    if (!CompoundObject::LoadFromScript(value)) {
        return false;
    }
    m_extendedPointer = false;
    for (int i = 0; i < PointerCallbacks; ++i) {
        m_pointer[i] = callback(kExPointerNames[i]);
        m_extendedPointer = m_extendedPointer || !m_pointer[i].isNull();
    }
    if (!m_extendedPointer) {
        for (int i = 0; i < PointerCallbacks; ++i) {
            m_pointer[i] = callback(kPointerNames[i]);
        }
    }
    return true;
}

void ScriptedObject::Shutdown() {
    ComponentRef<> self(abstractOf(this));
    ScriptValue function = callback("Shutdown");
    if (!function.isNull() && beginCall(function)) {
        ScriptCall::end(kCallbackEntry);
    }
    for (ScriptValue& pointer : m_pointer) {
        pointer.reset();
    }
    CompoundObject::Shutdown();
}

std::int32_t ScriptedObject::GetUpdateLayer() {
    ScriptValue function = callback("GetUpdateLayer");
    if (function.isNull() || !beginCall(function)) {
        return 1;
    }
    return integerResult(ScriptCall::end(kCallbackEntry));
}

void ScriptedObject::Init(std::int32_t time) {
    ScriptValue function = callback("Init");
    if (!function.isNull() && beginCall(function)) {
        ScriptCall::pushInt(time);
        ScriptCall::end(kCallbackEntry);
    }
}

void ScriptedObject::Update(std::int32_t layer, std::int32_t elapsed) {
    ScriptValue function = callback("Update");
    if (!function.isNull() && beginCall(function)) {
        ScriptCall::pushInt(layer);
        ScriptCall::pushInt(elapsed);
        ScriptCall::end(kCallbackEntry);
    }
}

void ScriptedObject::Render(IGraphics* graphics, ClassMask) {
    ScriptValue function = callback("Render");
    HSQUIRRELVM v = ScriptHost::vm();
    if (function.isNull() || v == nullptr || !beginCall(function)) {
        return;
    }
    pushComponent(v, abstractOf(graphics));
    ScriptValue context = ScriptValue::fromStack(-1);
    sq_poptop(v);
    ScriptCall::pushValue(context);
    ScriptCall::end(kCallbackEntry);
}

std::int32_t ScriptedObject::GetRenderLayer() {
    ScriptValue function = callback("GetRenderLayer");
    if (function.isNull() || !beginCall(function)) {
        return 0;
    }
    return integerResult(ScriptCall::end(kCallbackEntry));
}

bool ScriptedObject::HandleKeyEvent(const KDEvent& event) {
    const char* name = nullptr;
    switch (static_cast<std::uint32_t>(event.data.input.value & 0xFFFFFFFF)) {
    case 0:
        name = "OnKeyReleased";
        break;
    case 1:
        name = "OnKeyPressed";
        break;
    case 2:
        name = "OnInputChar";
        break;
    default:
        return false;
    }
    ScriptValue function = callback(name);
    if (function.isNull() || !beginCall(function)) {
        return false;
    }
    ScriptCall::pushInt(event.data.input.index);
    // The OS key data travels as the script's 32-bit integer (bit 31 set reads negative).
    ScriptCall::pushInt(static_cast<SQInteger>(static_cast<std::uint64_t>(event.data.input.value) >> 32));
    return consumedResult(ScriptCall::end(kCallbackEntry));
}

bool ScriptedObject::HandlePointerEvent(const KDEvent& event) {
    const KDEventInputPointer& pointer = event.data.inputpointer;
    const std::int32_t offset = pointer.index - KD_INPUT_POINTER_X;
    if (offset < 0 || offset >= 32) {
        return false;
    }
    const std::int32_t number = offset / 8;
    const std::int32_t kind = offset % 8 + KD_INPUT_POINTER_X;
    if (number > (m_extendedPointer ? 3 : 0)) {
        return false;
    }
    Pointer which = Moved;
    if (kind == KD_INPUT_POINTER_SELECT) {
        which = pointer.select != 0 ? Pressed : Released;
    } else if (kind == KD_INPUT_POINTER_WHEEL) {
        which = Wheel;
    } else if (kind != KD_INPUT_POINTER_X) {
        return false;
    }
    // Held for the call: the callback may load a new script object, which replaces the cache.
    ScriptValue function = m_pointer[which];
    if (function.isNull() || !beginCall(function)) {
        return false;
    }
    if (m_extendedPointer) {
        ScriptCall::pushInt(number);
    }
    if (which == Wheel) {
        ScriptCall::pushInt(static_cast<std::int16_t>(static_cast<std::uint32_t>(pointer.select) >> 16));
        ScriptCall::pushInt(static_cast<std::int16_t>(static_cast<std::uint32_t>(pointer.select) & 0xFFFF));
    } else if (which != Moved) {
        ScriptCall::pushInt(pointer.select);
    }
    ScriptCall::pushInt(pointer.x);
    ScriptCall::pushInt(pointer.y);
    return consumedResult(ScriptCall::end(kCallbackEntry));
}

float ScriptedObject::GetStateWeight(const char* state) {
    ScriptValue function = callback("GetStateWeight");
    if (function.isNull() || !beginCall(function)) {
        return std::numeric_limits<float>::infinity();
    }
    ScriptCall::pushString(state);
    return floatResult(ScriptCall::end(kCallbackEntry));
}

float ScriptedObject::GetStatePhase(const char* state) {
    ScriptValue function = callback("GetStatePhase");
    if (function.isNull() || !beginCall(function)) {
        return std::numeric_limits<float>::infinity();
    }
    ScriptCall::pushString(state);
    return floatResult(ScriptCall::end(kCallbackEntry));
}
