#pragma once
// The display's adapter between the particle library and the renderer: textures become engine Textures,
// the library's blend factors become the context's blend mode (SrcAlpha + One: additive, mode 0; anything
// else alpha blending, mode 2), and quads go to the frame context's DrawQuads. The frame context is set only
// while an emitter renders; without one, drawing does nothing.

#include <cstdint>

#include "component/component_ref.h"
#include "component/media_interfaces.h"
#include "graphics/particles/particle_library.h"

class EffectDevice final : public particles::Device {
public:
    EffectDevice() = default;
    ~EffectDevice() override;

    particles::DeviceTexture* createTexture(const ImageRecord& image) override;
    void releaseTexture(particles::DeviceTexture* texture) override;
    bool textureSize(particles::DeviceTexture* texture, std::int32_t& width, std::int32_t& height) override;
    void setBlendFactors(std::int32_t source, std::int32_t destination) override;
    void setTexture(particles::DeviceTexture* texture) override { m_texture = texture; }
    void drawQuads(const Quad* quads, std::int32_t start, std::int32_t count) override;

    // The context drawing goes to (a reference is held), or null.
    void setFrameContext(IGraphics* graphics) { m_context.reset(graphics); }
    std::int32_t blendMode() const { return m_blendMode; }

private:
    ComponentRef<IGraphics> m_context;
    particles::DeviceTexture* m_texture = nullptr;
    std::int32_t m_blendMode = BLEND_ALPHABLEND;
};
