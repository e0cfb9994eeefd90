// TileObject: a tile drawn at a positionable, its hit tests, bounds and joints.
#include "world/tile_object.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "component/class_names.h"
#include "component/component_registry.h"
#include "graphics/tile_set.h"

namespace {

std::int32_t getTileFromScript(TileObject& o) {
    return o.GetTile();
}
void setTileFromScript(TileObject& o, std::int32_t tile) {
    o.SetTile(tile);
}
void setRenderLayerFromScript(TileObject& o, std::int32_t layer) {
    o.SetRenderLayer(layer);
}
void setColorFromScript(TileObject& o, std::int32_t argb) {
    o.SetColor(static_cast<std::uint32_t>(argb));
}
void setHighlightedFromScript(TileObject& o, bool on) {
    o.SetHighlighted(on);
}
void floatCoordsFromScript(TileObject& o, bool on) {
    o.EnableFloatCoords(on);
}
ComponentRef<IPositionable> getJointFromScript(TileObject& o, std::int32_t index) {
    return o.GetJoint(index);
}
void setClipFromScript(TileObject& o, Rect clip) {
    o.SetClip(clip);
}
bool hitTestFromScript(TileObject& o, Vector2 point, ICamera* camera, bool exact) {
    return o.HitTest(point, camera, exact);
}

} // namespace

Matrix3 TileJoint::GetPosition() {
    return m_owner != nullptr ? m_owner->jointPosition(m_index) : Matrix3{};
}

const MethodTable& TileObject::scriptMethods() {
    static const MethodTable table{
        scriptMethod<TileObject>("GetTile", &getTileFromScript),
        scriptMethod<TileObject>("SetTile", &setTileFromScript),
        scriptMethod<TileObject>("SetRenderLayer", &setRenderLayerFromScript),
        scriptMethod<TileObject>("SetColor", &setColorFromScript),
        scriptMethod<TileObject>("SetHighlighted", &setHighlightedFromScript),
        scriptMethod<TileObject>("EnableFloatCoords", &floatCoordsFromScript),
        scriptMethod<TileObject>("GetJoint", &getJointFromScript),
        scriptMethod<TileObject>("SetClip", &setClipFromScript),
        scriptMethod<TileObject>("HitTest", &hitTestFromScript),
    };
    return table;
}

TileObject::~TileObject() {
    detachJoints();
}

ITileManager* TileObject::tileManager() {
    if (!m_tileManager) {
        ComponentRef<> created = ComponentRegistry::instance().create(classId(ClassName::TileManager));
        m_tileManager.reset(queryInterface<ITileManager>(created.get()));
    }
    return m_tileManager.get();
}

void TileObject::SetHighlighted(bool highlighted) {
    m_flags = highlighted ? (m_flags | TILEFLAG_Highlight) : (m_flags & ~TILEFLAG_Highlight);
}

void TileObject::EnableFloatCoords(bool enabled) {
    m_flags = enabled ? (m_flags | TILEFLAG_SubPixel) : (m_flags & ~TILEFLAG_SubPixel);
}

void TileObject::SetPositionable(IAbstract* positionable) {
    m_positionable.reset(queryInterface<IPositionable>(positionable));
}

void TileObject::Render(IGraphics* graphics, ClassMask mask) {
    if (!mask.matches(GetClassificators()) || graphics == nullptr || !m_visible || !m_positionable ||
        m_tile == -1) {
        return;
    }
    ICamera* camera = graphics->GetCamera();
    ITileManager* tiles = tileManager();
    if (camera == nullptr || tiles == nullptr) {
        return;
    }
    Rect previous;
    const bool clipped = hasClip();
    if (clipped) {
        previous = graphics->GetClip();
        const Matrix3 toUI = camera->GetScreenToUI();
        const Vector2 at = toUI.MultVrt(Vector2{float(m_clip.X), float(m_clip.Y)});
        const float w = float(m_clip.Width) * toUI.m[0][0] + float(m_clip.Height) * toUI.m[1][0];
        const float h = float(m_clip.Width) * toUI.m[0][1] + float(m_clip.Height) * toUI.m[1][1];
        graphics->SetClip(Rect(static_cast<std::int32_t>(at.x), static_cast<std::int32_t>(at.y),
                               static_cast<std::int32_t>(w), static_cast<std::int32_t>(h)));
    }
    const Vector2 position = camera->GetWorldToScreen().MultVrt(m_positionable->GetPosition().GetOrigin());
    graphics->SetColor(m_colour);
    tiles->Render(graphics, m_tile, position.x, position.y, m_flags);
    if (clipped) {
        graphics->SetClip(previous);
    }
}

float TileObject::GetDepthKey(const ComponentRef<ICamera>& camera) {
    if (!m_positionable || !camera) {
        return 0.0f;
    }
    return camera->GetWorldToScreen().MultVrt(m_positionable->GetPosition().GetOrigin()).y;
}

bool TileObject::HitTest(const Vector2& point, ICamera* camera, bool exact) {
    ITileManager* tiles = tileManager();
    if (!m_visible || !m_positionable || camera == nullptr || tiles == nullptr) {
        return false;
    }
    const Vector2 s = camera->GetWorldToUI().MultVrt(m_positionable->GetPosition().GetOrigin());
    const float dx = point.x - s.x;
    const float dy = point.y - s.y;
    if (exact) {
        const auto clamp = [](float v) { return static_cast<std::int32_t>(std::clamp(v, -1e9f, 1e9f)); };
        return tiles->HitTest(m_tile, clamp(dx), clamp(dy), 0);
    }
    const Rect r = tiles->GetRect(m_tile, 0);
    return r.Width > 0 && r.Height > 0 && dx >= float(r.X) && dx < float(r.X) + float(r.Width) &&
           dy >= float(r.Y) && dy < float(r.Y) + float(r.Height);
}

RectF TileObject::GetBoundingRect(ClassMask) {
    ITileManager* tiles = tileManager();
    const Rect r = tiles != nullptr ? tiles->GetRect(m_tile, 0) : Rect(0, 0, 0, 0);
    const Matrix3 transform = m_positionable ? m_positionable->GetPosition() : Matrix3{};
    const Vector2 corners[4] = {{float(r.X), float(r.Y)},
                                {float(r.X + r.Width), float(r.Y)},
                                {float(r.X + r.Width), float(r.Y + r.Height)},
                                {float(r.X), float(r.Y + r.Height)}};
    float left = INFINITY, top = INFINITY, right = -INFINITY, bottom = -INFINITY;
    for (const Vector2& c : corners) {
        const Vector2 p = transform.MultVrt(c);
        left = std::min(left, p.x);
        top = std::min(top, p.y);
        right = std::max(right, p.x + 1.0f);
        bottom = std::max(bottom, p.y + 1.0f);
    }
    return RectF(left, top, right - left, bottom - top);
}

ComponentRef<IPositionable> TileObject::GetJoint(std::int32_t index) {
    ITileManager* tiles = tileManager();
    Vector2 offset;
    if (tiles == nullptr || !tiles->FindMarker(m_tile, index, offset, 0)) {
        return nullptr;
    }
    ComponentRef<TileJoint>& joint = m_joints[index];
    if (!joint) {
        joint = ComponentRef<TileJoint>::adopt(new (std::nothrow) TileJoint(this, index));
    }
    return ComponentRef<IPositionable>(joint.get());
}

Matrix3 TileObject::jointPosition(std::int32_t index) {
    if (!m_positionable) {
        return Matrix3{};
    }
    Matrix3 m = m_positionable->GetPosition();
    Vector2 p;
    ITileManager* tiles = tileManager();
    if (tiles != nullptr && tiles->FindMarker(m_tile, index, p, 0)) {
        const float x = p.x * m.m[0][0] + p.y * m.m[1][0] + m.m[2][0];
        const float y = p.x * m.m[0][1] + p.y * m.m[1][1] + m.m[2][1];
        m.m[2][0] = x;
        m.m[2][1] = y;
    }
    return m;
}

void TileObject::detachJoints() {
    for (auto& [index, joint] : m_joints) {
        if (joint) {
            joint->Shutdown();
        }
    }
    m_joints.clear();
}

void TileObject::Shutdown() {
    m_positionable.reset();
    detachJoints();
}
