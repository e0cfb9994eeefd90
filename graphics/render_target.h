#pragma once
// `RenderTarget`: an offscreen target (a framebuffer with a colour texture) with its own drawing context.
// Created by the display; `GetTexture` exposes the contents as a Texture, locked through a read-back copy.

#include <cstdint>

#include "binding/binding_script_object.h"
#include "component/component_ref.h"
#include "component/media_interfaces.h"
#include "graphics/renderer.h"

class Graphics;
class Texture;

class RenderTarget final : public IRenderTarget, public ScriptObjectBase<RenderTarget> {
public:
    static constexpr char ScriptTypeName[] = "RenderTarget";
    // None: scripts use a target through beginRender, endRender and getRenderTargetTexture.
    static const MethodTable& scriptMethods();

    // Takes over the device target.
    explicit RenderTarget(DeviceTarget* target);
    ~RenderTarget() override;

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IRenderTarget, IScriptObject>(this, id);
    }

    IGraphics* Begin(ICamera* camera) override;
    void End() override;
    std::int32_t GetWidth() override { return Gfx_TargetWidth(m_target); }
    std::int32_t GetHeight() override { return Gfx_TargetHeight(m_target); }
    ITexture* GetTexture() override;

    DeviceTarget* deviceTarget() const { return m_target; }

private:
    DeviceTarget* m_target;
    Graphics* m_graphics;
    ComponentRef<Texture> m_texture;
    bool m_open = false;
};
