// RenderTarget: frames into an offscreen target.
#include "graphics/render_target.h"

#include <new>

#include "component/object_interfaces.h"
#include "graphics/graphics.h"
#include "graphics/texture.h"

const MethodTable& RenderTarget::scriptMethods() {
    static const MethodTable table{};
    return table;
}

RenderTarget::RenderTarget(DeviceTarget* target) : m_target(target), m_graphics(new Graphics) {}

RenderTarget::~RenderTarget() {
    // Released while its scene is open (a script dropped the target between beginRender and endRender): the
    // scene ends here, or the renderer would refuse every later scene.
    End();
    // The texture may outlive the target (a script holds it): it becomes an empty texture rather than
    // point at the released device texture.
    if (m_texture) {
        m_texture->detachTarget();
    }
    m_texture.reset();
    m_graphics->Release();
    Gfx_ReleaseTarget(m_target);
}

IGraphics* RenderTarget::Begin(ICamera* camera) {
    if (!Gfx_BeginScene(m_target)) {
        return nullptr;
    }
    m_open = true;
    m_graphics->BeginFrame(GetWidth(), GetHeight(), camera);
    return m_graphics;
}

void RenderTarget::End() {
    if (!m_open) {
        return;
    }
    m_open = false;
    m_graphics->EndFrame();
    Gfx_EndScene();
}

ITexture* RenderTarget::GetTexture() {
    if (!m_texture) {
        m_texture = ComponentRef<Texture>::adopt(new (std::nothrow) Texture(m_target));
    }
    return m_texture.get();
}
