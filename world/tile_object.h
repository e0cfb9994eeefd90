#pragma once
// `TileObject`: one drawable tile that follows a positionable (a game object's transform): drawn at the
// positionable's translation through the camera, with a colour, optional highlight and optional clip
// rectangle; it answers hit tests, bounds and joints (named anchor points of its tile). Tile layers draw it
// between their tiles by its depth key; tile animations switch its tile.
//
// Without a camera in the drawing context nothing is drawn, and a hit test without a camera misses.
//
// A joint is a small read-only positionable (`TileJoint`) that a script may keep longer than the tile object
// (as a carried item's positionable): when the tile object shuts down or goes away the joint is detached and
// answers the identity transform from then on.

#include <cstdint>
#include <map>

#include "binding/binding_script_object.h"
#include "component/classifiable_base.h"
#include "component/component_ref.h"
#include "component/frame_interfaces.h"
#include "component/game_interfaces.h"
#include "component/group_interfaces.h"
#include "component/identifiable_base.h"
#include "component/media_interfaces.h"
#include "component/object_interfaces.h"
#include "math/rect.h"

class TileObject;

class TileJoint final : public IPositionable, public IShutdownable {
public:
    TileJoint(TileObject* owner, std::int32_t index) : m_owner(owner), m_index(index) {}

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IPositionable, IShutdownable>(this, id);
    }

    // Read-only: setting does nothing.
    void SetPosition(const Matrix3&) override {}
    // The owner's transform with the joint point as translation (see the file comment).
    Matrix3 GetPosition() override;
    // Detaches from the owner.
    void Shutdown() override { m_owner = nullptr; }

private:
    TileObject* m_owner;
    std::int32_t m_index;
};

class TileObject final : public ITileObject,
                         public IPositionableUser,
                         public IVisible,
                         public IBoundingInfo,
                         public IShutdownable,
                         public IdentifiableBase,
                         public ClassifiableBase,
                         public ScriptObjectBase<TileObject> {
public:
    static constexpr char ScriptTypeName[] = "TileObject";
    // GetTile, SetTile, SetRenderLayer, SetColor, SetHighlighted, EnableFloatCoords, GetJoint, SetClip,
    // HitTest.
    static const MethodTable& scriptMethods();

    TileObject() = default;
    ~TileObject() override;

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<ITileObject, IRenderable, IPositionableUser, IScriptObject, IVisible, IBoundingInfo,
                          IShutdownable, IIdentifiable, IClassifiable>(this, id);
    }

    // IRenderable / ITileObject
    void Render(IGraphics* graphics, ClassMask mask) override;
    using ITileObject::Render;
    std::int32_t GetRenderLayer() override { return m_renderLayer; }
    std::int32_t GetTile() override { return m_tile; }
    void SetTile(std::int32_t tile) override { m_tile = tile; }
    void SetRenderLayer(std::int32_t layer) override { m_renderLayer = layer; }
    void SetColor(std::uint32_t argb) override { m_colour = argb; }
    void SetHighlighted(bool highlighted) override;
    void EnableFloatCoords(bool enabled) override;
    float GetDepthKey(const ComponentRef<ICamera>& camera) override;
    ComponentRef<IPositionable> GetJoint(std::int32_t index) override;

    // IPositionableUser
    void SetPositionable(IAbstract* positionable) override;
    // IVisible
    void SetVisible(bool visible) override { m_visible = visible; }
    bool IsVisible() override { return m_visible; }
    // IBoundingInfo: the tile rectangle's corners through the positionable's transform, each as a 1 x 1 box.
    RectF GetBoundingRect(ClassMask mask) override;
    // IShutdownable: drops the positionable and detaches every joint.
    void Shutdown() override;

    // A rectangle narrower or lower than 1 turns clipping off.
    void SetClip(const Rect& clip) { m_clip = clip; }
    // `point` in UI pixels; exact asks the tile's pixel, otherwise its rectangle.
    bool HitTest(const Vector2& point, ICamera* camera, bool exact);

    // The joint's transform (TileJoint::GetPosition).
    Matrix3 jointPosition(std::int32_t index);
    // Where Render would draw the tile (the positionable's translation through `worldToScreen`); false
    // when it draws nothing (hidden, no tile, no positionable). Tile layers cull with it.
    bool drawnAt(const Matrix3& worldToScreen, Vector2& at) {
        if (!m_visible || !m_positionable || m_tile == -1) {
            return false;
        }
        at = worldToScreen.MultVrt(m_positionable->GetPosition().GetOrigin());
        return true;
    }

private:
    ITileManager* tileManager();
    bool hasClip() const { return m_clip.Width >= 1 && m_clip.Height >= 1; }
    void detachJoints();

    ComponentRef<IPositionable> m_positionable;
    ComponentRef<ITileManager> m_tileManager;
    std::map<std::int32_t, ComponentRef<TileJoint>> m_joints;
    std::int32_t m_tile = -1;
    std::int32_t m_renderLayer = 0;
    std::uint32_t m_colour = 0xFFFFFFFF;
    std::int32_t m_flags = 0;
    bool m_visible = true;
    Rect m_clip{0, 0, 0, 0};
};
