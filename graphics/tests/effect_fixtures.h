// Effects made in code for the particle tests: procedurally drawn pictures (a soft round puff, a four-rayed
// spark) embedded as PNG files, and small effects built on them. A counting device stands in for the display
// where no picture is needed.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/particles/effect_data.h"
#include "graphics/particles/particle_library.h"
#include "graphics/tests/image_fixtures.h"

namespace graphics::test {

// White pixels whose alpha falls from the centre: a soft disc (rays = 0) or a star of thin rays.
inline Bytes softPicture(int size, int rays) {
    Bytes rgba(static_cast<std::size_t>(size * size * 4), 0);
    const float c = (size - 1) * 0.5f;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float dx = (x - c) / c, dy = (y - c) / c;
            const float r = std::sqrt(dx * dx + dy * dy);
            float a = std::max(0.0f, 1.0f - r);
            a = a * a;
            if (rays > 0) {
                const float ray =
                    std::max(std::max(0.0f, 1.0f - std::fabs(dx) * 8.0f) * (1.0f - std::fabs(dy)),
                             std::max(0.0f, 1.0f - std::fabs(dy) * 8.0f) * (1.0f - std::fabs(dx)));
                a = std::min(1.0f, a * 1.5f + ray);
            }
            std::uint8_t* p = &rgba[static_cast<std::size_t>((y * size + x) * 4)];
            p[0] = p[1] = p[2] = 0xFF;
            p[3] = static_cast<std::uint8_t>(a * 255.0f + 0.5f);
        }
    }
    return rgba;
}

inline particles::Curve ramp(std::initializer_list<std::pair<float, float>> keys, bool smooth = false) {
    particles::Curve curve;
    for (const auto& [t, v] : keys) {
        particles::CurveKey key;
        key.time = t;
        key.value = v;
        curve.keys.push_back(key);
    }
    curve.smooth = smooth;
    return curve;
}

// A layer with plain defaults: white, opaque, 8 pixels, no motion changes.
inline particles::LayerDef plainLayer(std::uint32_t bitmap = 0, std::uint32_t capacity = 64) {
    particles::LayerDef layer;
    layer.name = "main";
    layer.bitmapFirst = bitmap;
    layer.capacity = capacity;
    using particles::Curve;
    layer.size = Curve::constant(8.0f);
    layer.red = layer.green = layer.blue = layer.alpha = Curve::constant(1.0f);
    layer.velocity = Curve::constant(1.0f);
    layer.spin = layer.gravity = Curve::constant(0.0f);
    return layer;
}

// An emitter with plain defaults: a point at rest emitting `rate` particles a second that live `life` s.
inline particles::EmitterDef plainEmitter(const std::string& name, float rate, float life) {
    particles::EmitterDef emitter;
    emitter.name = name;
    using particles::Curve;
    emitter.rate = Curve::constant(rate);
    emitter.life = Curve::constant(life);
    emitter.speed = Curve::constant(0.0f);
    emitter.direction = Curve::constant(0.0f);
    emitter.spread = Curve::constant(0.0f);
    emitter.layers.push_back(plainLayer());
    return emitter;
}

// One 16x16 puff picture and one 16x16 spark picture side by side on a 32x16 PNG; bitmap 0 the puff,
// bitmap 1 the spark.
inline particles::EffectData pictureTables() {
    particles::EffectData data;
    const int s = 16;
    Bytes puff = softPicture(s, 0), spark = softPicture(s, 4);
    Bytes both(static_cast<std::size_t>(2 * s * s * 4));
    for (int y = 0; y < s; ++y) {
        std::copy_n(&puff[static_cast<std::size_t>(y * s * 4)], s * 4,
                    &both[static_cast<std::size_t>(y * 2 * s * 4)]);
        std::copy_n(&spark[static_cast<std::size_t>(y * s * 4)], s * 4,
                    &both[static_cast<std::size_t>((y * 2 * s + s) * 4)]);
    }
    particles::ImageDef image;
    image.name = "pictures.png";
    image.bytes = makePngRgba(2 * s, s, both);
    data.images.push_back(image);
    data.textures.push_back({"pictures", 0});
    data.bitmaps.push_back({0, 0, 0, s, s});
    data.bitmaps.push_back({0, s, 0, s, s});
    return data;
}

// Two emitters: "steady" (10 particles a second, living 1 s) and "quiet" (never emits).
inline particles::EffectData simpleEffect() {
    particles::EffectData data = pictureTables();
    data.emitters.push_back(plainEmitter("steady", 10.0f, 1.0f));
    data.emitters.push_back(plainEmitter("quiet", 0.0f, 1.0f));
    return data;
}

// Rising grey smoke: soft puffs that grow, drift up and fade.
inline particles::EmitterDef smokeEmitter() {
    particles::EmitterDef e = plainEmitter("smoke", 24.0f, 2.2f);
    e.shape = particles::EmitShape::Circle;
    e.width = 4.0f;
    e.seed = 7;
    e.life = particles::Curve::constant(2.2f, 0.4f);
    e.speed = particles::Curve::constant(30.0f, 6.0f);
    e.direction = particles::Curve::constant(-90.0f);
    e.spread = particles::Curve::constant(30.0f);
    particles::LayerDef& l = e.layers[0];
    l.capacity = 128;
    l.angleVariation = 180.0f;
    l.size = ramp({{0.0f, 12.0f}, {1.0f, 46.0f}}, true);
    l.red = l.green = l.blue = ramp({{0.0f, 0.85f}, {1.0f, 0.55f}});
    l.alpha = ramp({{0.0f, 0.0f}, {0.12f, 0.8f}, {1.0f, 0.0f}}, true);
    l.velocity = ramp({{0.0f, 1.0f}, {1.0f, 0.35f}});
    l.spin = particles::Curve::constant(0.0f, 60.0f);
    l.gravity = particles::Curve::constant(-6.0f);
    return e;
}

// Golden sparks: an additive burst flying out, pulled down, aligned with their motion.
inline particles::EmitterDef sparksEmitter() {
    particles::EmitterDef e = plainEmitter("sparks", 0.0f, 0.9f);
    e.seed = 11;
    e.life = particles::Curve::constant(0.8f, 0.3f);
    e.speed = particles::Curve::constant(90.0f, 40.0f);
    e.direction = particles::Curve::constant(-90.0f);
    e.spread = particles::Curve::constant(360.0f);
    e.bursts.push_back({0.0f, 60, 1, 0.0f});
    particles::LayerDef& l = e.layers[0];
    l.bitmapFirst = 1;
    l.blend = particles::LayerBlend::Additive;
    l.flags = particles::LAYER_ALIGN;
    l.stretch = 0.08f;
    l.capacity = 64;
    l.size = ramp({{0.0f, 7.0f}, {1.0f, 3.0f}});
    l.red = particles::Curve::constant(1.0f);
    l.green = ramp({{0.0f, 0.95f}, {1.0f, 0.55f}});
    l.blue = ramp({{0.0f, 0.6f}, {1.0f, 0.1f}});
    l.alpha = ramp({{0.0f, 1.0f}, {0.7f, 0.9f}, {1.0f, 0.0f}});
    l.velocity = ramp({{0.0f, 1.0f}, {1.0f, 0.5f}});
    l.gravity = particles::Curve::constant(120.0f);
    return e;
}

// A device that draws nothing and remembers what it was asked.
class CountingDevice final : public particles::Device {
public:
    particles::DeviceTexture* createTexture(const ImageRecord&) override {
        ++created;
        return reinterpret_cast<particles::DeviceTexture*>(static_cast<std::uintptr_t>(0x1000 + created));
    }
    void releaseTexture(particles::DeviceTexture*) override { ++released; }
    bool textureSize(particles::DeviceTexture*, std::int32_t&, std::int32_t&) override { return false; }
    void setBlendFactors(std::int32_t source, std::int32_t destination) override {
        lastSource = source;
        lastDestination = destination;
    }
    void setTexture(particles::DeviceTexture* texture) override { current = texture; }
    void drawQuads(const Quad* quads, std::int32_t start, std::int32_t count) override {
        ++drawCalls;
        quadsDrawn += count;
        last.assign(quads + start, quads + start + count);
    }

    int created = 0;
    int released = 0;
    int drawCalls = 0;
    std::int64_t quadsDrawn = 0;
    std::int32_t lastSource = -1;
    std::int32_t lastDestination = -1;
    particles::DeviceTexture* current = nullptr;
    std::vector<Quad> last;
};

} // namespace graphics::test
