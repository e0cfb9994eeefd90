// The drawing context: state setters store, drawing calls build renderer quads and lines.
#include "graphics/graphics.h"

#include <cmath>

#include "component/object_interfaces.h"
#include "graphics/texture.h"

namespace {

// Script forms whose arguments differ from the native operation.
void translateFromScript(Graphics& g, Vector2 offset) {
    g.Translate(offset.x, offset.y);
}
void drawTextureFromScript(Graphics& g, ITexture* texture, RectF source, RectF destination) {
    g.DrawTexture(texture, source, destination);
}

} // namespace

const MethodTable& Graphics::scriptMethods() {
    static const MethodTable table{
        scriptMethod<Graphics>("GetClip", &Graphics::GetClip),
        scriptMethod<Graphics>("SetClip", &Graphics::SetClip),
        scriptMethod<Graphics>("GetColor", &Graphics::GetColor),
        scriptMethod<Graphics>("SetColor", &Graphics::SetColor),
        scriptMethod<Graphics>("GetBlendMode", &Graphics::GetBlendMode),
        scriptMethod<Graphics>("SetBlendMode", &Graphics::SetBlendMode),
        scriptMethod<Graphics>("GetTexFilterMode", &Graphics::GetTexFilterMode),
        scriptMethod<Graphics>("SetTexFilterMode", &Graphics::SetTexFilterMode),
        scriptMethod<Graphics>("GetFont", &Graphics::GetFont),
        scriptMethod<Graphics>("SetFont", &Graphics::SetFont),
        scriptMethod<Graphics>("Clear", &Graphics::Clear),
        scriptMethod<Graphics>("GetCamera", &Graphics::GetCamera),
        scriptMethod<Graphics>("GetTransform", &Graphics::GetTransform),
        scriptMethod<Graphics>("SetTransform", &Graphics::SetTransform),
        scriptMethod<Graphics>("GetTranslate", &Graphics::GetTranslate),
        scriptMethod<Graphics>("Translate", &translateFromScript),
        scriptMethod<Graphics>("DrawRect", &Graphics::DrawRect),
        scriptMethod<Graphics>("FillRect", &Graphics::FillRect),
        scriptMethod<Graphics>("DrawTexture", &drawTextureFromScript),
        scriptMethod<Graphics>("DrawString", &Graphics::DrawString),
        scriptMethod<Graphics>("DrawLine", &Graphics::DrawLine),
        scriptMethod<Graphics>("DrawEllipse", &Graphics::DrawEllipse),
    };
    return table;
}

Graphics::~Graphics() = default;

void Graphics::BeginFrame(std::int32_t width, std::int32_t height, ICamera* camera) {
    m_targetRect = Rect(0, 0, width, height);
    SetState(GraphicsState{});
    SetClip(m_targetRect);
    m_camera.reset(camera);
    if (camera != nullptr) {
        camera->Apply(this, m_targetRect);
    }
}

void Graphics::EndFrame() {
    m_camera.reset();
    SetFont(nullptr);
}

GraphicsState Graphics::GetState() {
    GraphicsState state = m_state;
    state.font = m_font.get();
    return state;
}

void Graphics::SetState(const GraphicsState& state) {
    SetClip(state.clip);
    SetColor(state.colour);
    SetBlendMode(state.blendMode);
    SetTexFilterMode(state.texFilterMode);
    SetTransform(state.transform);
    SetFont(state.font);
}

void Graphics::SetClip(const Rect& clip) {
    m_state.clip = clip;
    Gfx_SetClipping(clip.X, clip.Y, clip.Width, clip.Height);
}

void Graphics::SetTexFilterMode(std::int32_t mode) {
    m_state.texFilterMode = mode;
    Gfx_SetTextureFilter(mode);
}

void Graphics::SetFont(IFont* font) {
    m_font.reset(font);
    m_state.font = font;
}

void Graphics::Clear(std::uint32_t argb) {
    Gfx_Clear(argb);
}

void Graphics::SetTransform(const Matrix3& transform) {
    m_state.transform = transform;
    Gfx_SetTransform(transform);
}

void Graphics::Translate(float dx, float dy) {
    // The offset is in the current local coordinates: T applied first, then the current transform.
    const Matrix3 offset(Vector2{dx, dy});
    SetTransform(offset * m_state.transform);
}

void Graphics::FillRect(float x, float y, float width, float height) {
    if (width < 0) {
        x += width;
        width = -width;
    }
    if (height < 0) {
        y += height;
        height = -height;
    }
    const std::uint32_t c = m_state.colour;
    Quad quad;
    quad.v[0] = Vertex{x, y, 0.0f, c, 0.0f, 0.0f};
    quad.v[1] = Vertex{x + width, y, 0.0f, c, 0.0f, 0.0f};
    quad.v[2] = Vertex{x + width, y + height, 0.0f, c, 0.0f, 0.0f};
    quad.v[3] = Vertex{x, y + height, 0.0f, c, 0.0f, 0.0f};
    quad.texture = nullptr;
    quad.blend = m_state.blendMode;
    Gfx_RenderQuad(quad);
}

void Graphics::DrawRect(float x, float y, float width, float height) {
    DrawLine(x, y, x + width, y);
    DrawLine(x + width, y, x + width, y + height);
    DrawLine(x + width, y + height, x, y + height);
    DrawLine(x, y + height, x, y);
}

void Graphics::DrawTexture(ITexture* texture, const RectF& source, const RectF& destination) {
    Texture* native = Texture::fromInterface(texture);
    if (native == nullptr) {
        return;
    }
    DeviceTexture* device = native->deviceTexture();
    const float tw = static_cast<float>(native->GetWidth());
    const float th = static_cast<float>(native->GetHeight());
    const float u0 = tw > 0 ? source.X / tw : 0.0f;
    const float v0 = th > 0 ? source.Y / th : 0.0f;
    const float u1 = tw > 0 ? (source.X + source.Width) / tw : 0.0f;
    const float v1 = th > 0 ? (source.Y + source.Height) / th : 0.0f;
    const float x0 = destination.X;
    const float y0 = destination.Y;
    const float x1 = destination.X + destination.Width;
    const float y1 = destination.Y + destination.Height;
    const std::uint32_t c = m_state.colour;
    Quad quad;
    quad.v[0] = Vertex{x0, y0, 0.0f, c, u0, v0};
    quad.v[1] = Vertex{x1, y0, 0.0f, c, u1, v0};
    quad.v[2] = Vertex{x1, y1, 0.0f, c, u1, v1};
    quad.v[3] = Vertex{x0, y1, 0.0f, c, u0, v1};
    quad.texture = device;
    quad.blend = m_state.blendMode;
    Gfx_RenderQuad(quad);
}

void Graphics::DrawQuads(ITexture* texture, const Quad* quads, std::int32_t count) {
    if (quads == nullptr || count <= 0) {
        return;
    }
    Texture* native = Texture::fromInterface(texture);
    Gfx_RenderQuads(quads, count, native != nullptr ? native->deviceTexture() : nullptr, m_state.blendMode);
}

void Graphics::DrawString(const char* text, float x, float y) {
    IFont* font = m_font.get();
    if (font == nullptr || text == nullptr) {
        return;
    }
    const Matrix3 saved = m_state.transform;
    Translate(x, y);
    font->Draw(this, text);
    SetTransform(saved);
}

void Graphics::DrawLine(float x1, float y1, float x2, float y2) {
    Gfx_RenderLine(x1, y1, x2, y2, m_state.colour, 0.5f);
}

void Graphics::DrawEllipse(float x, float y, float width, float height) {
    const float rx = width / 2;
    const float ry = height / 2;
    const float cx = x + rx;
    const float cy = y + ry;
    // The angle accumulates in single precision: 20 steps, the last one ending just past 2 pi.
    constexpr float kStep = 0.31415927f;
    constexpr float kEnd = 6.2831855f;
    for (float a = 0.0f; a < kEnd;) {
        const float next = a + kStep;
        DrawLine(cx + rx * std::cos(a), cy + ry * std::sin(a), cx + rx * std::cos(next),
                 cy + ry * std::sin(next));
        a = next;
    }
}
