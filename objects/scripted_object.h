#pragma once
// `ScriptedObject`: a CompoundObject whose behaviour is written in script. Its callbacks (Update, Init,
// GetUpdateLayer, Render, GetRenderLayer, OnKeyPressed, OnKeyReleased, OnInputChar, the pointer callbacks
// and their `Ex` variants, GetStateWeight, GetStatePhase, Shutdown) are members of its script object, looked
// up by name when needed and called with the object's own `Component` handle as `this`.
//
// The interfaces it answers follow the script object: IUpdateable only while `Update` is defined,
// IRenderable only with `Render`, IInputHandler with a key callback or a cached pointer callback,
// IStateProvider with `GetStateWeight`. So a group refuses an object whose script lacks what it needs.
//
// A callback that raises a script error is reported by the VM; the operation goes on with the value it uses
// when the callback is missing.
//
// Native tools that are scripted objects with behaviour of their own (the construction builders) derive from
// it and call their script object's callbacks through `callback` and `beginCall`.

#include "component/frame_interfaces.h"
#include "objects/compound_object.h"
#include "platform/kd.h"

class ScriptedObject : public CompoundObject,
                       public IUpdateable,
                       public IRenderable,
                       public IInputHandler,
                       public IStateProvider {
public:
    static constexpr char ScriptTypeName[] = "ScriptedObject";

    void* QueryInterface(InterfaceId id) override;
    const char* GetTypeName() override { return ScriptTypeName; }

    // Attaches the script object, then caches the pointer callbacks: the four `Ex` variants when any of
    // them is defined (extended mode, pointers 0 to 3), else the four plain ones (pointer 0 only).
    bool LoadFromScript(const ScriptValue& value) override;
    // The script's Shutdown first, then the compound's shut-down; the cached callbacks are dropped.
    void Shutdown() override;

    std::int32_t GetUpdateLayer() override;
    void Init(std::int32_t time) override;
    void Update(std::int32_t layer, std::int32_t elapsed) override;

    void Render(IGraphics* graphics, ClassMask mask) override;
    std::int32_t GetRenderLayer() override;

    bool HandleKeyEvent(const KDEvent& event) override;
    bool HandlePointerEvent(const KDEvent& event) override;

    float GetStateWeight(const char* state) override;
    float GetStatePhase(const char* state) override;

protected:
    // The callback `name` of the script object when it is defined (not null), else null.
    ScriptValue callback(const char* name) const;
    bool defines(const char* name) const { return !callback(name).isNull(); }
    // Begins a call of `function` with this object's handle as receiver.
    bool beginCall(const ScriptValue& function);

private:
    enum Pointer { Pressed, Released, Moved, Wheel, PointerCallbacks };

    ScriptValue m_pointer[PointerCallbacks];
    bool m_extendedPointer = false;
};
