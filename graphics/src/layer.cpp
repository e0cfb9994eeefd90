// The recording layer: commands appended by the drawing calls, replayed onto a frame's context.
#include "graphics/layer.h"

namespace {

void translateFromScript(Layer& layer, Vector2 offset) {
    layer.Translate(offset.x, offset.y);
}
void drawTextureFromScript(Layer& layer, ITexture* texture, RectF source, RectF destination) {
    layer.DrawTexture(texture, source, destination);
}

} // namespace

const MethodTable& Layer::scriptMethods() {
    static const MethodTable table{
        scriptMethod<Layer>("GetClip", &Layer::GetClip),
        scriptMethod<Layer>("SetClip", &Layer::SetClip),
        scriptMethod<Layer>("GetColor", &Layer::GetColor),
        scriptMethod<Layer>("SetColor", &Layer::SetColor),
        scriptMethod<Layer>("GetBlendMode", &Layer::GetBlendMode),
        scriptMethod<Layer>("SetBlendMode", &Layer::SetBlendMode),
        scriptMethod<Layer>("GetTexFilterMode", &Layer::GetTexFilterMode),
        scriptMethod<Layer>("SetTexFilterMode", &Layer::SetTexFilterMode),
        scriptMethod<Layer>("GetFont", &Layer::GetFont),
        scriptMethod<Layer>("SetFont", &Layer::SetFont),
        scriptMethod<Layer>("Clear", &Layer::Clear),
        scriptMethod<Layer>("GetCamera", &Layer::GetCamera),
        scriptMethod<Layer>("GetTransform", &Layer::GetTransform),
        scriptMethod<Layer>("SetTransform", &Layer::SetTransform),
        scriptMethod<Layer>("GetTranslate", &Layer::GetTranslate),
        scriptMethod<Layer>("Translate", &translateFromScript),
        scriptMethod<Layer>("DrawRect", &Layer::DrawRect),
        scriptMethod<Layer>("FillRect", &Layer::FillRect),
        scriptMethod<Layer>("DrawTexture", &drawTextureFromScript),
        scriptMethod<Layer>("DrawString", &Layer::DrawString),
        scriptMethod<Layer>("DrawLine", &Layer::DrawLine),
        scriptMethod<Layer>("DrawEllipse", &Layer::DrawEllipse),
    };
    return table;
}

Layer::~Layer() = default;

Layer::Command& Layer::record(Op op) {
    Command& command = m_commands.emplace_back();
    command.op = op;
    return command;
}

GraphicsState Layer::GetState() {
    GraphicsState state = m_state;
    state.font = m_font.get();
    return state;
}

void Layer::SetState(const GraphicsState& state) {
    SetClip(state.clip);
    SetColor(state.colour);
    SetBlendMode(state.blendMode);
    SetTexFilterMode(state.texFilterMode);
    SetTransform(state.transform);
    SetFont(state.font);
}

void Layer::SetClip(const Rect& clip) {
    m_state.clip = clip;
    record(Op::SetClip).rect = clip;
}

void Layer::SetColor(std::uint32_t argb) {
    m_state.colour = argb;
    record(Op::SetColor).i = static_cast<std::int32_t>(argb);
}

void Layer::SetBlendMode(std::int32_t mode) {
    m_state.blendMode = mode;
    record(Op::SetBlendMode).i = mode;
}

void Layer::SetTexFilterMode(std::int32_t mode) {
    m_state.texFilterMode = mode;
    record(Op::SetTexFilterMode).i = mode;
}

void Layer::SetFont(IFont* font) {
    m_font.reset(font);
    m_state.font = font;
    record(Op::SetFont).font.reset(font);
}

void Layer::Clear(std::uint32_t) {
    if (m_replaying) {
        return; // the recording is being walked: it stays until the walk ends
    }
    m_commands.clear();
    m_state = GraphicsState{};
    m_font.reset();
}

void Layer::SetTransform(const Matrix3& transform) {
    m_state.transform = transform;
    record(Op::SetTransform).matrix = transform;
}

void Layer::Translate(float dx, float dy) {
    SetTransform(Matrix3(Vector2{dx, dy}) * m_state.transform);
}

void Layer::FillRect(float x, float y, float width, float height) {
    Command& c = record(Op::FillRect);
    c.f[0] = x, c.f[1] = y, c.f[2] = width, c.f[3] = height;
}

void Layer::DrawRect(float x, float y, float width, float height) {
    Command& c = record(Op::DrawRect);
    c.f[0] = x, c.f[1] = y, c.f[2] = width, c.f[3] = height;
}

void Layer::DrawTexture(ITexture* texture, const RectF& source, const RectF& destination) {
    Command& c = record(Op::DrawTexture);
    c.texture.reset(texture);
    c.source = source;
    c.destination = destination;
}

void Layer::DrawQuads(ITexture* texture, const Quad* quads, std::int32_t count) {
    if (quads == nullptr || count <= 0) {
        return;
    }
    Command& c = record(Op::DrawQuads);
    c.texture.reset(texture);
    c.quads.assign(quads, quads + count);
}

void Layer::DrawString(const char* text, float x, float y) {
    Command& c = record(Op::DrawString);
    c.text = text != nullptr ? text : "";
    c.f[0] = x, c.f[1] = y;
}

void Layer::DrawLine(float x1, float y1, float x2, float y2) {
    Command& c = record(Op::DrawLine);
    c.f[0] = x1, c.f[1] = y1, c.f[2] = x2, c.f[3] = y2;
}

void Layer::DrawEllipse(float x, float y, float width, float height) {
    Command& c = record(Op::DrawEllipse);
    c.f[0] = x, c.f[1] = y, c.f[2] = width, c.f[3] = height;
}

void Layer::replay(IGraphics& g, const Command& c) {
    switch (c.op) {
    case Op::SetClip:
        g.SetClip(c.rect);
        break;
    case Op::SetColor:
        g.SetColor(static_cast<std::uint32_t>(c.i));
        break;
    case Op::SetBlendMode:
        g.SetBlendMode(c.i);
        break;
    case Op::SetTexFilterMode:
        g.SetTexFilterMode(c.i);
        break;
    case Op::SetTransform:
        g.SetTransform(c.matrix);
        break;
    case Op::SetFont:
        g.SetFont(c.font.get());
        break;
    case Op::FillRect:
        g.FillRect(c.f[0], c.f[1], c.f[2], c.f[3]);
        break;
    case Op::DrawRect:
        g.DrawRect(c.f[0], c.f[1], c.f[2], c.f[3]);
        break;
    case Op::DrawTexture:
        g.DrawTexture(c.texture.get(), c.source, c.destination);
        break;
    case Op::DrawQuads:
        g.DrawQuads(c.texture.get(), c.quads.data(), static_cast<std::int32_t>(c.quads.size()));
        break;
    case Op::DrawString:
        g.DrawString(c.text.c_str(), c.f[0], c.f[1]);
        break;
    case Op::DrawLine:
        g.DrawLine(c.f[0], c.f[1], c.f[2], c.f[3]);
        break;
    case Op::DrawEllipse:
        g.DrawEllipse(c.f[0], c.f[1], c.f[2], c.f[3]);
        break;
    }
}

void Layer::Render(IGraphics* graphics, ClassMask) {
    if (graphics == nullptr || abstractOf(graphics) == abstractOf(static_cast<IGraphics*>(this)) ||
        m_replaying) {
        return;
    }
    ComponentRef<IAbstract> hold(abstractOf(static_cast<IGraphics*>(this)));
    const GraphicsState saved = graphics->GetState();
    ComponentRef<IFont> savedFont(saved.font);
    m_replaying = true;
    // Commands recorded while replaying (a target that records into this layer) are not walked now.
    const std::size_t count = m_commands.size();
    for (std::size_t i = 0; i < count; ++i) {
        replay(*graphics, m_commands[i]);
    }
    m_replaying = false;
    graphics->SetState(saved);
}
