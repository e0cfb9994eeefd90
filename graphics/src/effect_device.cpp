// The particle library's device adapter over the engine's textures and drawing context.
#include "graphics/src/effect_device.h"

#include <new>

#include "graphics/texture.h"

namespace {

Texture* asTexture(particles::DeviceTexture* texture) {
    return reinterpret_cast<Texture*>(texture);
}

} // namespace

EffectDevice::~EffectDevice() = default;

particles::DeviceTexture* EffectDevice::createTexture(const ImageRecord& image) {
    auto* texture = new (std::nothrow) Texture;
    if (texture == nullptr) {
        return nullptr;
    }
    if (!texture->CreateTextureFromImage(image)) {
        texture->Release();
        return nullptr;
    }
    return reinterpret_cast<particles::DeviceTexture*>(texture);
}

void EffectDevice::releaseTexture(particles::DeviceTexture* texture) {
    if (texture != nullptr) {
        if (m_texture == texture) {
            m_texture = nullptr;
        }
        asTexture(texture)->Release();
    }
}

bool EffectDevice::textureSize(particles::DeviceTexture* texture, std::int32_t& width, std::int32_t& height) {
    if (texture == nullptr) {
        return false;
    }
    width = asTexture(texture)->GetWidth();
    height = asTexture(texture)->GetHeight();
    return true;
}

void EffectDevice::setBlendFactors(std::int32_t source, std::int32_t destination) {
    m_blendMode = source == particles::BLEND_FACTOR_SRC_ALPHA && destination == particles::BLEND_FACTOR_ONE
                      ? 0
                      : BLEND_ALPHABLEND;
}

void EffectDevice::drawQuads(const Quad* quads, std::int32_t start, std::int32_t count) {
    IGraphics* context = m_context.get();
    if (context == nullptr || quads == nullptr || count <= 0 || start < 0) {
        return;
    }
    const std::int32_t saved = context->GetBlendMode();
    context->SetBlendMode(m_blendMode);
    context->DrawQuads(m_texture != nullptr ? asTexture(m_texture) : nullptr, quads + start, count);
    context->SetBlendMode(saved);
}
