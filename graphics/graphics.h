#pragma once
// `Graphics`: the 2D drawing context every render target owns. `Begin` on a target resets it and hands it
// out; drawing calls become renderer quads and lines until `End`. Only the target creates it.

#include <cstdint>

#include "binding/binding_script_object.h"
#include "component/component_ref.h"
#include "component/media_interfaces.h"
#include "component/object_interfaces.h"
#include "graphics/renderer.h"
#include "math/matrix3.h"
#include "math/rect.h"

class ICamera;
class IFont;

class Graphics final : public IGraphics, public ScriptObjectBase<Graphics> {
public:
    static constexpr char ScriptTypeName[] = "Graphics";
    // The 22 drawing methods scripts call, in registration order GetClip ... DrawEllipse.
    static const MethodTable& scriptMethods();

    Graphics() = default;
    ~Graphics() override;

    void* QueryInterface(InterfaceId id) override { return queryAmong<IGraphics, IScriptObject>(this, id); }

    // Called by the owning target once its scene has started: defaults, clip to the target, the camera
    // applied. The camera is referenced until EndFrame.
    void BeginFrame(std::int32_t width, std::int32_t height, ICamera* camera);
    // Drops the camera and the font.
    void EndFrame();

    GraphicsState GetState() override;
    void SetState(const GraphicsState& state) override;
    ICamera* GetCamera() override { return m_camera.get(); }
    Rect GetTargetRect() override { return m_targetRect; }
    Rect GetClip() override { return m_state.clip; }
    void SetClip(const Rect& clip) override;
    std::uint32_t GetColor() override { return m_state.colour; }
    void SetColor(std::uint32_t argb) override { m_state.colour = argb; }
    std::int32_t GetBlendMode() override { return m_state.blendMode; }
    void SetBlendMode(std::int32_t mode) override { m_state.blendMode = mode; }
    std::int32_t GetTexFilterMode() override { return m_state.texFilterMode; }
    void SetTexFilterMode(std::int32_t mode) override;
    IFont* GetFont() override { return m_font.get(); }
    void SetFont(IFont* font) override;
    void Clear(std::uint32_t argb) override;
    Matrix3 GetTransform() override { return m_state.transform; }
    void SetTransform(const Matrix3& transform) override;
    Vector2 GetTranslate() override { return m_state.transform.GetOrigin(); }
    void Translate(float dx, float dy) override;
    void FillRect(float x, float y, float width, float height) override;
    void DrawRect(float x, float y, float width, float height) override;
    void DrawTexture(ITexture* texture, const RectF& source, const RectF& destination) override;
    void DrawQuads(ITexture* texture, const Quad* quads, std::int32_t count) override;
    void DrawString(const char* text, float x, float y) override;
    void DrawLine(float x1, float y1, float x2, float y2) override;
    void DrawEllipse(float x, float y, float width, float height) override;

private:
    GraphicsState m_state;
    ComponentRef<IFont> m_font;
    ComponentRef<ICamera> m_camera;
    Rect m_targetRect;
};
