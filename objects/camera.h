#pragma once
// `Camera`: relates world coordinates (the game's own), screen coordinates (world after the fixed projection
// the script object gives as `ToScreen`) and UI coordinates (render-target pixels). Its position, a Matrix3
// in world space whose origin is the point looked at, scrolls, turns or zooms the view. `Apply` (called when
// a frame begins with this camera) recomputes the view for the target size and sets the graphics transform;
// so the UI conversions reflect the last frame, while world <-> screen never depend on Apply.
//
// Singular matrices are not detected: their inverses hold infinities or NaNs.

#include "binding/binding_script_object.h"
#include "component/component_factory.h"
#include "component/object_interfaces.h"
#include "component/script_interfaces.h"
#include "math/matrix3.h"
#include "math/vector2.h"

class Camera final : public ICamera, public IScriptLoadable, public ScriptObjectBase<Camera> {
public:
    static constexpr char ScriptTypeName[] = "Camera";
    // WorldToScreen, ScreenToWorld, WorldToUI, UIToWorld, ScreenToUI, UIToScreen (Vector2 -> Vector2), then
    // GetWorldToScreen ... GetUIToScreen (Matrix3 copies).
    static const MethodTable& scriptMethods();

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<ICamera, IPositionable, IScriptLoadable, IScriptObject>(this, id);
    }

    // Stored as given; nothing is recomputed until the next Apply.
    void SetPosition(const Matrix3& position) override { m_position = position; }
    Matrix3 GetPosition() override { return m_position; }
    void Apply(IGraphics* graphics, const Rect& target) override;
    Matrix3 GetWorldToScreen() override { return m_worldToScreen; }
    Matrix3 GetScreenToWorld() override { return m_screenToWorld; }
    Matrix3 GetWorldToUI() override { return m_worldToUI; }
    Matrix3 GetUIToWorld() override { return m_uiToWorld; }
    Matrix3 GetScreenToUI() override { return m_screenToUI; }
    Matrix3 GetUIToScreen() override { return m_uiToScreen; }

    // Attaches the script object and takes its `ToScreen` Matrix3 as the projection. False when the value
    // cannot be attached; a missing or wrong `ToScreen` is reported and leaves the projection as it was.
    bool LoadFromScript(const ScriptValue& value) override;

    // The point conversions: p times the matrix, through its first two columns.
    Vector2 WorldToScreen(const Vector2& p) const { return m_worldToScreen.MultVrt(p); }
    Vector2 ScreenToWorld(const Vector2& p) const { return m_screenToWorld.MultVrt(p); }
    Vector2 WorldToUI(const Vector2& p) const { return m_worldToUI.MultVrt(p); }
    Vector2 UIToWorld(const Vector2& p) const { return m_uiToWorld.MultVrt(p); }
    Vector2 ScreenToUI(const Vector2& p) const { return m_screenToUI.MultVrt(p); }
    Vector2 UIToScreen(const Vector2& p) const { return m_uiToScreen.MultVrt(p); }

private:
    Matrix3 m_position;
    Matrix3 m_worldToScreen;
    Matrix3 m_screenToWorld;
    Matrix3 m_worldToUI;
    Matrix3 m_uiToWorld;
    Matrix3 m_screenToUI;
    Matrix3 m_uiToScreen;
};
