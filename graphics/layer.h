#pragma once
// `Layer`: a drawing surface that records drawing calls once and replays them every frame. Scripts draw into
// it with the methods of `Graphics` (usually once, when a screen is built) and register it with a render
// group or scene like any renderable; each Render replays the recording onto the frame's drawing context and
// then restores that context's state. Created by class name "Layer".
//
// Recording: every IGraphics operation appends one command holding its arguments by value (text copied,
// textures and fonts referenced until Clear or destruction); state setters also update the layer's own state
// so the getters read back what was set, and Translate records the resulting SetTransform. Clear (any colour)
// discards the recording and restores the default state. GetCamera is always null and GetTargetRect
// (0, 0, 2147483647, 2147483647).
//
// Replay walks the commands recorded before it started, so a layer replayed into itself (or into a layer
// that is recording it) cannot grow while it walks; a layer asked to render into itself draws nothing.

#include <cstdint>
#include <string>
#include <vector>

#include "binding/binding_script_object.h"
#include "component/component_ref.h"
#include "component/frame_interfaces.h"
#include "component/media_interfaces.h"
#include "graphics/graphics.h"
#include "graphics/renderer.h"

class Layer final : public IGraphics, public IRenderable, public ScriptObjectBase<Layer> {
public:
    static constexpr char ScriptTypeName[] = "Layer";
    // The 22 methods of Graphics, GetClip ... DrawEllipse.
    static const MethodTable& scriptMethods();

    Layer() = default;
    ~Layer() override;

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IGraphics, IRenderable, IScriptObject>(this, id);
    }
    // No script object.
    bool SetMember(const char*, const ScriptValue&) override { return false; }

    // IGraphics: recording.
    GraphicsState GetState() override;
    void SetState(const GraphicsState& state) override;
    ICamera* GetCamera() override { return nullptr; }
    Rect GetTargetRect() override { return Rect(0, 0, 2147483647, 2147483647); }
    Rect GetClip() override { return m_state.clip; }
    void SetClip(const Rect& clip) override;
    std::uint32_t GetColor() override { return m_state.colour; }
    void SetColor(std::uint32_t argb) override;
    std::int32_t GetBlendMode() override { return m_state.blendMode; }
    void SetBlendMode(std::int32_t mode) override;
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

    // IRenderable: replay (the mask is not used).
    using IRenderable::Render;
    void Render(IGraphics* graphics, ClassMask mask) override;
    std::int32_t GetRenderLayer() override { return 0; }

    std::size_t commandCount() const { return m_commands.size(); }

private:
    enum class Op : std::uint8_t {
        SetClip,
        SetColor,
        SetBlendMode,
        SetTexFilterMode,
        SetTransform,
        SetFont,
        FillRect,
        DrawRect,
        DrawTexture,
        DrawQuads,
        DrawString,
        DrawLine,
        DrawEllipse,
    };
    // One recorded call; only the fields its operation uses are set.
    struct Command {
        Op op;
        float f[4] = {};
        std::int32_t i = 0;
        Rect rect;
        RectF source;
        RectF destination;
        Matrix3 matrix;
        ComponentRef<ITexture> texture;
        ComponentRef<IFont> font;
        std::string text;
        std::vector<Quad> quads;
    };
    Command& record(Op op);
    void replay(IGraphics& target, const Command& command);

    GraphicsState m_state;
    ComponentRef<IFont> m_font;
    std::vector<Command> m_commands;
    bool m_replaying = false;
};
