#pragma once
// Particle effects as components. `Effect` is one loaded effect file (made empty by the display's
// CreateEffect and loaded by the resource manager); `EffectEmitter` is one running emitter of it, updated on
// the effects layer (64) with the game clock and drawn through the frame's Graphics context. The particle
// library behind them is graphics/particles/particle_library.h; its file format is described in
// graphics/particles/README.md.
//
// Placement: an emitter's world matrix is W = L * P, its local matrix L applied first and then its position
// P (the attached positionable's, or its own). In local mode (the default) particles live in the emitter's
// frame and follow it; with local mode off they are born at W's origin in world space and stay where they
// were born. The emitter offset from the file turns with W in local mode.

#include <cstdint>
#include <memory>
#include <string>

#include "binding/binding_script_object.h"
#include "component/component_ref.h"
#include "component/frame_interfaces.h"
#include "component/group_interfaces.h"
#include "component/identifiable_base.h"
#include "component/media_interfaces.h"
#include "component/object_interfaces.h"
#include "component/stream_interfaces.h"
#include "math/matrix3.h"
#include "math/rect_f.h"

namespace particles {
class Library;
class EffectFile;
class Emitter;
} // namespace particles

class Effect final : public IEffect,
                     public ILoadable,
                     public IScriptLoadable,
                     public ScriptObjectBase<Effect> {
public:
    static constexpr char ScriptTypeName[] = "Effect";
    // CreateEmitter.
    static const MethodTable& scriptMethods();

    // `library` may be null (no display): loading then fails.
    explicit Effect(std::shared_ptr<particles::Library> library);
    ~Effect() override;

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IEffect, ILoadable, IScriptLoadable, IScriptObject>(this, id);
    }

    // IEffect: null `name` means the first emitter. Null when the effect is not loaded or has no such
    // emitter.
    ComponentRef<IEffectEmitter> CreateEmitter(const char* name) override;
    // ILoadable: replaces the loaded file. Emitters made from the previous file keep it until they go.
    bool LoadFromFile(const char* path) override;
    // IScriptLoadable: a table whose "BoundingRect" (a RectF) is kept for culling.
    bool LoadFromScript(const ScriptValue& value) override;

    const RectF& boundingRect() const { return m_boundingRect; }
    const std::shared_ptr<particles::EffectFile>& file() const { return m_file; }
    const std::shared_ptr<particles::Library>& library() const { return m_library; }

private:
    std::shared_ptr<particles::Library> m_library;
    std::shared_ptr<particles::EffectFile> m_file;
    RectF m_boundingRect;
};

class EffectEmitter final : public IEffectEmitter,
                            public IWithLifeTime,
                            public IPositionableUser,
                            public IPositionable,
                            public IVisible,
                            public IdentifiableBase,
                            public IShutdownable,
                            public ScriptObjectBase<EffectEmitter> {
public:
    static constexpr char ScriptTypeName[] = "EffectEmitter";
    static constexpr std::int32_t UpdateLayer = 64;
    static constexpr std::int32_t DefaultRenderLayer = 200;
    // Reset, SetRenderLayer, SetEnabled, SetLocalMode, SetLocalMatrix.
    static const MethodTable& scriptMethods();

    EffectEmitter(Effect& effect, std::unique_ptr<particles::Emitter> emitter);
    ~EffectEmitter() override;

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IEffectEmitter, IRenderable, IWithLifeTime, IUpdateable, IPositionableUser,
                          IPositionable, IVisible, IIdentifiable, IShutdownable, IScriptObject>(this, id);
    }

    // IEffectEmitter / IRenderable
    void Render(IGraphics* graphics, ClassMask mask) override;
    using IRenderable::Render;
    std::int32_t GetRenderLayer() override { return m_renderLayer; }
    void Reset() override;
    void SetRenderLayer(std::int32_t layer) override { m_renderLayer = layer; }
    void SetEnabled(bool enabled) override { m_enabled = enabled; }
    void SetLocalMode(bool local) override { m_localMode = local; }
    void SetLocalMatrix(const Matrix3& matrix) override { m_localMatrix = matrix; }

    // IUpdateable / IWithLifeTime
    std::int32_t GetUpdateLayer() override { return UpdateLayer; }
    void Init(std::int32_t) override {}
    void Update(std::int32_t layer, std::int32_t elapsed) override;
    std::int32_t GetLifeTime() override { return static_cast<std::int32_t>(m_lifeTime); }
    bool IsExpired() override;

    // IPositionableUser / IPositionable
    void SetPositionable(IAbstract* positionable) override;
    void SetPosition(const Matrix3& position) override;
    Matrix3 GetPosition() override;

    // IVisible
    void SetVisible(bool visible) override { m_visible = visible; }
    bool IsVisible() override { return m_visible; }

    // IShutdownable: destroys the library emitter and releases the effect and the positionable.
    void Shutdown() override;

    // The library emitter (tests), or null after Shutdown.
    particles::Emitter* emitter() const { return m_emitter.get(); }
    bool isLocalMode() const { return m_localMode; }

private:
    ComponentRef<IEffect> m_effect;
    Effect* m_owner = nullptr; // the same object as m_effect
    std::unique_ptr<particles::Emitter> m_emitter;
    ComponentRef<IPositionable> m_positionable;
    Matrix3 m_localMatrix;
    Matrix3 m_ownPosition;
    float m_offset[2] = {0.0f, 0.0f};
    std::uint32_t m_lifeTime = 0; // ms
    std::int32_t m_renderLayer = DefaultRenderLayer;
    bool m_visible = true;
    bool m_enabled = true;
    bool m_localMode = true;
    bool m_hadParticles = false;
};
