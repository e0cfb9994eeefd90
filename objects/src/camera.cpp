#include "objects/camera.h"

#include <cmath>

#include "component/media_interfaces.h"
#include "script/script_host.h"

namespace {
// floor(v + 0.5); NaN and infinities stay as they are.
float roundHalfUp(float v) {
    return std::isfinite(v) ? std::floor(v + 0.5f) : v;
}
} // namespace

const MethodTable& Camera::scriptMethods() {
    static const MethodTable table{
        scriptMethod<Camera>("WorldToScreen", &Camera::WorldToScreen),
        scriptMethod<Camera>("ScreenToWorld", &Camera::ScreenToWorld),
        scriptMethod<Camera>("WorldToUI", &Camera::WorldToUI),
        scriptMethod<Camera>("UIToWorld", &Camera::UIToWorld),
        scriptMethod<Camera>("ScreenToUI", &Camera::ScreenToUI),
        scriptMethod<Camera>("UIToScreen", &Camera::UIToScreen),
        scriptMethod<Camera>("GetWorldToScreen", &Camera::GetWorldToScreen),
        scriptMethod<Camera>("GetScreenToWorld", &Camera::GetScreenToWorld),
        scriptMethod<Camera>("GetWorldToUI", &Camera::GetWorldToUI),
        scriptMethod<Camera>("GetUIToWorld", &Camera::GetUIToWorld),
        scriptMethod<Camera>("GetScreenToUI", &Camera::GetScreenToUI),
        scriptMethod<Camera>("GetUIToScreen", &Camera::GetUIToScreen),
    };
    return table;
}

void Camera::Apply(IGraphics* graphics, const Rect& target) {
    // The looked-at point is given in world space; the view works in screen space.
    Matrix3 view = m_position;
    view.SetOrigin(m_worldToScreen.MultVrt(m_position.GetOrigin()));
    view = view.Inverse();
    view.m[2][0] = roundHalfUp(view.m[2][0] + static_cast<float>(target.Width) / 2.0f);
    view.m[2][1] = roundHalfUp(view.m[2][1] + static_cast<float>(target.Height) / 2.0f);

    m_screenToUI = view;
    m_uiToScreen = view.Inverse();
    m_worldToUI = m_worldToScreen * view;
    m_uiToWorld = m_worldToUI.Inverse();
    if (IGraphics* context = queryInterface<IGraphics>(graphics)) {
        context->SetTransform(view);
    }
}

bool Camera::LoadFromScript(const ScriptValue& value) {
    if (!scriptExtension().attach(this, value)) {
        return false;
    }
    HSQUIRRELVM v = ScriptHost::vm();
    ScriptValue toScreen;
    scriptExtension().getMember("ToScreen", toScreen);
    const SQInteger top = sq_gettop(v);
    toScreen.push();
    // getInstance reports a missing or wrong projection.
    if (const Matrix3* projection = getInstance<Matrix3>(v, -1)) {
        m_worldToScreen = *projection;
        m_screenToWorld = projection->Inverse();
        m_worldToUI = *projection;
        m_uiToWorld = m_screenToWorld;
    }
    sq_settop(v, top);
    return true;
}
