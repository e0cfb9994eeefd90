#pragma once
// `GameObject`: the game's scripted object, a ScriptedObject under its own class name (and `typeof`), with no
// script methods of its own.
//
// `ObjectWatcher`: renders one renderable (a game object, say) into an offscreen texture on every effects
// update (layer 64), through a camera that follows a positionable, and reports the sub-pixel remainder of the
// followed point on screen (floor(s) - s), so the texture can be drawn pixel-aligned. It works only while
// enabled and with positionable, renderable, camera and render target set; a disabled watcher draws nothing
// and keeps its last correction.

#include <cstdint>

#include "binding/binding_script_object.h"
#include "component/component_ref.h"
#include "component/frame_interfaces.h"
#include "component/group_interfaces.h"
#include "component/identifiable_base.h"
#include "component/media_interfaces.h"
#include "component/object_interfaces.h"
#include "math/vector2.h"
#include "objects/scripted_object.h"

class GameObject final : public ScriptedObject {
public:
    static constexpr char ScriptTypeName[] = "GameObject";

    const char* GetTypeName() override { return ScriptTypeName; }
};

class ObjectWatcher final : public IUpdateable,
                            public IShutdownable,
                            public IdentifiableBase,
                            public ScriptObjectBase<ObjectWatcher> {
public:
    static constexpr char ScriptTypeName[] = "ObjectWatcher";
    // The largest render target side InitRender makes.
    static constexpr std::int32_t MaxSide = 4096;
    // InitRender, SetPositionable, SetRenderable, SetRenderMask, SetCamera, SetEnabled, GetTexture,
    // GetCorrection.
    static const MethodTable& scriptMethods();

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IScriptObject, IShutdownable, IUpdateable, IIdentifiable>(this, id);
    }

    // IUpdateable: the effects layer.
    std::int32_t GetUpdateLayer() override { return 64; }
    void Init(std::int32_t) override {}
    void Update(std::int32_t layer, std::int32_t elapsed) override;
    // IShutdownable: drops everything it holds.
    void Shutdown() override;

    // A width x height render target from the display (both 1 ... MaxSide; otherwise none, with a log line).
    void InitRender(std::int32_t width, std::int32_t height);
    void SetPositionable(IPositionable* positionable) { m_positionable.reset(positionable); }
    void SetRenderable(IRenderable* renderable) { m_renderable.reset(renderable); }
    void SetRenderMask(std::int32_t include, std::int32_t exclude) {
        m_mask = ClassMask{static_cast<std::uint32_t>(include), static_cast<std::uint32_t>(exclude)};
    }
    void SetCamera(ICamera* camera, const Vector2& offset) {
        m_camera.reset(camera);
        m_offset = offset;
    }
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    // The render target's texture, or null.
    ITexture* GetTexture() { return m_target ? m_target->GetTexture() : nullptr; }
    Vector2 GetCorrection() const { return m_correction; }

    IRenderTarget* renderTarget() const { return m_target.get(); }

private:
    ComponentRef<IPositionable> m_positionable;
    ComponentRef<IRenderable> m_renderable;
    ComponentRef<ICamera> m_camera;
    ComponentRef<IRenderTarget> m_target;
    ClassMask m_mask;
    Vector2 m_offset;
    Vector2 m_correction;
    bool m_enabled = false;
};
