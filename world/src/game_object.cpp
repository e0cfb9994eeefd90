// ObjectWatcher.
#include "world/game_object.h"

#include <cmath>

#include "component/class_names.h"
#include "component/component_registry.h"
#include "platform/kd.h"

namespace {

constexpr char kTag[] = "ObjectWatcher";

void setCameraFromScript(ObjectWatcher& w, ICamera* camera, Vector2 offset) {
    w.SetCamera(camera, offset);
}
Vector2 correctionFromScript(ObjectWatcher& w) {
    return w.GetCorrection();
}

} // namespace

const MethodTable& ObjectWatcher::scriptMethods() {
    static const MethodTable table{
        scriptMethod<ObjectWatcher>("InitRender", &ObjectWatcher::InitRender),
        scriptMethod<ObjectWatcher>("SetPositionable", &ObjectWatcher::SetPositionable),
        scriptMethod<ObjectWatcher>("SetRenderable", &ObjectWatcher::SetRenderable),
        scriptMethod<ObjectWatcher>("SetRenderMask", &ObjectWatcher::SetRenderMask),
        scriptMethod<ObjectWatcher>("SetCamera", &setCameraFromScript),
        scriptMethod<ObjectWatcher>("SetEnabled", &ObjectWatcher::SetEnabled),
        scriptMethod<ObjectWatcher>("GetTexture", &ObjectWatcher::GetTexture),
        scriptMethod<ObjectWatcher>("GetCorrection", &correctionFromScript),
    };
    return table;
}

void ObjectWatcher::InitRender(std::int32_t width, std::int32_t height) {
    m_target.reset();
    if (width < 1 || height < 1 || width > MaxSide || height > MaxSide) {
        logError(kTag, "InitRender: a %d x %d render target can't be made", width, height);
        return;
    }
    ComponentRef<> created = ComponentRegistry::instance().create(classId(ClassName::Display));
    auto* display = queryInterface<IDisplay>(created.get());
    if (display == nullptr) {
        logError(kTag, "InitRender: there is no display");
        return;
    }
    m_target = display->CreateRenderTarget(width, height);
}

void ObjectWatcher::Update(std::int32_t, std::int32_t) {
    if (!m_enabled || !m_positionable || !m_renderable || !m_target || !m_camera) {
        return;
    }
    // Held for the frame: the renderable may run script code that changes the watcher.
    ComponentRef<IAbstract> self(abstractOf(this));
    ComponentRef<ICamera> camera = m_camera;
    ComponentRef<IRenderable> renderable = m_renderable;
    ComponentRef<IRenderTarget> target = m_target;
    const Vector2 p = m_positionable->GetPosition().GetOrigin() + m_offset;
    Matrix3 view = camera->GetPosition();
    view.SetOrigin(p);
    camera->SetPosition(view);
    const Vector2 s = camera->GetWorldToScreen().MultVrt(p);
    m_correction = Vector2{std::floor(s.x) - s.x, std::floor(s.y) - s.y};
    if (IGraphics* graphics = target->Begin(camera.get())) {
        renderable->Render(graphics, m_mask);
        target->End();
    }
}

void ObjectWatcher::Shutdown() {
    m_positionable.reset();
    m_renderable.reset();
    m_camera.reset();
    m_target.reset();
    m_enabled = false;
    scriptExtension().shutdown();
}
