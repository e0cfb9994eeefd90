// The effect file format: curve evaluation, the checked reader and the writer.
#include "graphics/particles/effect_data.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "graphics/image_record.h"

namespace particles {

float Curve::evaluate(float x, float r) const {
    if (keys.empty()) {
        return 0.0f;
    }
    const CurveKey& first = keys.front();
    // NaN compares false everywhere: treat it as "not after the first key".
    if (keys.size() == 1 || !(x > first.time)) {
        return first.value + r * first.variation;
    }
    const CurveKey& last = keys.back();
    if (x >= last.time) {
        return last.value + r * last.variation;
    }
    std::size_t end = 1;
    while (keys[end].time < x) {
        ++end;
    }
    const CurveKey& a = keys[end - 1];
    const CurveKey& b = keys[end];
    // The search guarantees a.time < x <= b.time, so the span is positive; the guard keeps equal key
    // times (allowed in files) from dividing by zero however the key was reached.
    const float span = b.time - a.time;
    if (!(span > 0.0f)) {
        return b.value + r * b.variation;
    }
    float t = (x - a.time) / span;
    if (smooth) {
        t = (3.0f - 2.0f * t) * t * t;
    }
    return a.value + (b.value - a.value) * t + r * (a.variation + (b.variation - a.variation) * t);
}

Curve Curve::constant(float value, float variation) {
    Curve curve;
    CurveKey key;
    key.value = value;
    key.variation = variation;
    curve.keys.push_back(key);
    return curve;
}

std::uint32_t EmitterDef::capacity() const {
    std::uint32_t total = 0;
    for (const LayerDef& layer : layers) {
        total += layer.capacity;
    }
    return total;
}

namespace {

// Smallest encodings, used to refuse counts that cannot fit in the bytes left.
constexpr std::size_t kMinString = 1;
constexpr std::size_t kMinCurveOld = 4 + 8 + 4;
constexpr std::size_t kMinCurve = 4 + 28 + 4;
constexpr std::size_t kBitmapBytes = 20;
constexpr std::size_t kBurstBytes = 16;

class Reader {
public:
    Reader(const std::uint8_t* bytes, std::size_t size, std::string& error)
        : m_bytes(bytes), m_size(size), m_error(error) {}

    std::size_t left() const { return m_size - m_pos; }
    bool failed() const { return m_failed; }

    // Records the first fault only; every later read then fails at once.
    bool fail(const char* what) {
        if (!m_failed) {
            char text[160];
            std::snprintf(text, sizeof text, "%s (at byte %zu)", what, m_pos);
            m_error = text;
            m_failed = true;
        }
        return false;
    }

    bool u8(std::uint8_t& out) {
        if (m_failed || left() < 1) {
            return fail("file ends early");
        }
        out = m_bytes[m_pos++];
        return true;
    }
    bool u16(std::uint16_t& out) {
        if (m_failed || left() < 2) {
            return fail("file ends early");
        }
        out = static_cast<std::uint16_t>(m_bytes[m_pos] | (m_bytes[m_pos + 1] << 8));
        m_pos += 2;
        return true;
    }
    bool u32(std::uint32_t& out) {
        if (m_failed || left() < 4) {
            return fail("file ends early");
        }
        out = std::uint32_t(m_bytes[m_pos]) | std::uint32_t(m_bytes[m_pos + 1]) << 8 |
              std::uint32_t(m_bytes[m_pos + 2]) << 16 | std::uint32_t(m_bytes[m_pos + 3]) << 24;
        m_pos += 4;
        return true;
    }
    bool i32(std::int32_t& out) {
        std::uint32_t raw = 0;
        if (!u32(raw)) {
            return false;
        }
        out = static_cast<std::int32_t>(raw);
        return true;
    }
    // A finite float.
    bool f32(float& out) {
        std::uint32_t raw = 0;
        if (!u32(raw)) {
            return false;
        }
        std::memcpy(&out, &raw, 4);
        return std::isfinite(out) || fail("value is not a finite number");
    }
    bool f32AtLeast(float& out, float minimum, const char* what) {
        return f32(out) && (out >= minimum || fail(what));
    }
    // A count no larger than `limit` whose records (each at least `minBytes`) fit in what is left.
    bool count(std::uint32_t& out, std::uint32_t limit, std::size_t minBytes, const char* what) {
        if (!u32(out)) {
            return false;
        }
        if (out > limit || std::uint64_t(out) * minBytes > left()) {
            return fail(what);
        }
        return true;
    }
    // Length prefix: one byte; 255 means a 16-bit length follows, and a 16-bit length above 65533 means a
    // 32-bit length follows.
    bool string(std::string& out) {
        std::uint8_t shortLength = 0;
        if (!u8(shortLength)) {
            return false;
        }
        std::uint32_t length = shortLength;
        if (shortLength == 255) {
            std::uint16_t mid = 0;
            if (!u16(mid)) {
                return false;
            }
            length = mid;
            if (mid > 65533 && !u32(length)) {
                return false;
            }
        }
        if (length > kMaxNameLength || length > left()) {
            return fail("string length out of range");
        }
        const char* text = reinterpret_cast<const char*>(m_bytes + m_pos);
        if (std::memchr(text, 0, length) != nullptr) {
            return fail("string holds a NUL byte");
        }
        out.assign(text, length);
        m_pos += length;
        return true;
    }
    bool bytes(std::vector<std::uint8_t>& out, std::uint32_t length) {
        if (m_failed || length > left()) {
            return fail("file ends early");
        }
        out.assign(m_bytes + m_pos, m_bytes + m_pos + length);
        m_pos += length;
        return true;
    }

private:
    const std::uint8_t* m_bytes;
    std::size_t m_size;
    std::size_t m_pos = 0;
    std::string& m_error;
    bool m_failed = false;
};

bool readCurve(Reader& in, std::uint32_t version, Curve& curve) {
    const bool extras = version >= kVersionKeyExtras;
    std::uint32_t keyCount = 0;
    if (!in.count(keyCount, kMaxKeys, extras ? 28 : 8, "curve key count out of range")) {
        return false;
    }
    if (keyCount == 0) {
        return in.fail("curve without keys");
    }
    curve.keys.resize(keyCount);
    for (std::uint32_t i = 0; i < keyCount; ++i) {
        CurveKey& key = curve.keys[i];
        if (!in.f32(key.time) || !in.f32(key.value)) {
            return false;
        }
        if (extras) {
            if (!in.f32(key.variation)) {
                return false;
            }
            for (float& handle : key.handles) {
                if (!in.f32(handle)) {
                    return false;
                }
            }
        }
        if (i > 0 && key.time < curve.keys[i - 1].time) {
            return in.fail("curve keys out of time order");
        }
    }
    std::uint32_t smooth = 0;
    if (!in.u32(smooth)) {
        return false;
    }
    if (smooth > 1) {
        return in.fail("curve smoothing flag is not 0 or 1");
    }
    curve.smooth = smooth == 1;
    return true;
}

bool readLayer(Reader& in, std::uint32_t version, const EffectData& data, LayerDef& layer) {
    std::uint32_t blend = 0;
    if (!in.string(layer.name) || !in.u32(layer.bitmapFirst) || !in.u32(layer.bitmapCount) ||
        !in.u32(blend) || !in.u32(layer.flags) || !in.u32(layer.capacity) || !in.f32(layer.angle) ||
        !in.f32AtLeast(layer.angleVariation, 0.0f, "negative angle variation") ||
        !in.f32AtLeast(layer.stretch, 0.0f, "negative stretch")) {
        return false;
    }
    const std::uint64_t frameEnd = std::uint64_t(layer.bitmapFirst) + layer.bitmapCount;
    if (layer.bitmapCount == 0 || frameEnd > data.bitmaps.size()) {
        return in.fail("layer bitmaps out of range");
    }
    for (std::uint64_t i = layer.bitmapFirst + 1; i < frameEnd; ++i) {
        if (data.bitmaps[i].texture != data.bitmaps[layer.bitmapFirst].texture) {
            return in.fail("layer frames on different textures");
        }
    }
    if (blend > 1) {
        return in.fail("unknown layer blend");
    }
    layer.blend = static_cast<LayerBlend>(blend);
    if ((layer.flags & ~std::uint32_t(LAYER_ALIGN | LAYER_RANDOM_FRAME)) != 0) {
        return in.fail("unknown layer flags");
    }
    if (layer.capacity == 0 || layer.capacity > kMaxLayerCapacity) {
        return in.fail("layer capacity out of range");
    }
    for (Curve* curve : {&layer.size, &layer.red, &layer.green, &layer.blue, &layer.alpha, &layer.velocity,
                         &layer.spin, &layer.gravity}) {
        if (!readCurve(in, version, *curve)) {
            return false;
        }
    }
    return true;
}

bool readEmitter(Reader& in, std::uint32_t version, const EffectData& data, EmitterDef& emitter) {
    std::uint32_t shape = 0;
    if (!in.string(emitter.name) || !in.f32(emitter.offset[0]) || !in.f32(emitter.offset[1]) ||
        !in.f32(emitter.offset[2]) || !in.u32(shape) ||
        !in.f32AtLeast(emitter.width, 0.0f, "negative shape size") ||
        !in.f32AtLeast(emitter.height, 0.0f, "negative shape size") || !in.u32(emitter.flags) ||
        !in.u32(emitter.seed) || !in.f32AtLeast(emitter.duration, 0.0f, "negative duration")) {
        return false;
    }
    if (shape > static_cast<std::uint32_t>(EmitShape::Rectangle)) {
        return in.fail("unknown emitter shape");
    }
    emitter.shape = static_cast<EmitShape>(shape);
    if ((emitter.flags & ~std::uint32_t(EMITTER_EDGE | EMITTER_LOOP)) != 0) {
        return in.fail("unknown emitter flags");
    }
    for (Curve* curve : {&emitter.rate, &emitter.life, &emitter.speed, &emitter.direction, &emitter.spread}) {
        if (!readCurve(in, version, *curve)) {
            return false;
        }
    }
    std::uint32_t burstCount = 0;
    if (!in.count(burstCount, kMaxBursts, kBurstBytes, "burst count out of range")) {
        return false;
    }
    emitter.bursts.resize(burstCount);
    for (BurstDef& burst : emitter.bursts) {
        if (!in.f32AtLeast(burst.time, 0.0f, "negative burst time") || !in.u32(burst.count) ||
            !in.u32(burst.cycles) || !in.f32AtLeast(burst.interval, 0.0f, "negative burst interval")) {
            return false;
        }
        if (burst.count > kMaxBurstCount || burst.cycles == 0 || burst.cycles > kMaxBurstCycles ||
            (burst.cycles > 1 && burst.interval <= 0.0f)) {
            return in.fail("burst out of range");
        }
    }
    std::uint32_t layerCount = 0;
    const std::size_t minLayer =
        kMinString + 32 + 8 * (version >= kVersionKeyExtras ? kMinCurve : kMinCurveOld);
    if (!in.count(layerCount, kMaxLayers, minLayer, "layer count out of range")) {
        return false;
    }
    if (layerCount == 0) {
        return in.fail("emitter without layers");
    }
    emitter.layers.resize(layerCount);
    std::uint32_t capacity = 0;
    for (LayerDef& layer : emitter.layers) {
        if (!readLayer(in, version, data, layer)) {
            return false;
        }
        capacity += layer.capacity;
    }
    if (capacity > kMaxEmitterCapacity) {
        return in.fail("emitter capacity out of range");
    }
    return true;
}

bool readImage(Reader& in, ImageDef& image) {
    std::uint32_t length = 0;
    if (!in.string(image.name) || !in.u32(length)) {
        return false;
    }
    if (length > kMaxImageBytes || length > in.left()) {
        return in.fail("image length out of range");
    }
    if (!in.bytes(image.bytes, length)) {
        return false;
    }
    ImageRecord* decoded = ReadImageFromMemory(image.bytes.data(), image.bytes.size());
    if (decoded == nullptr) {
        return in.fail("embedded image does not decode");
    }
    image.width = decoded->width;
    image.height = decoded->height;
    FreeImage(decoded);
    if (image.width <= 0 || image.height <= 0) {
        return in.fail("embedded image has no pixels");
    }
    return true;
}

} // namespace

bool readEffectData(const std::uint8_t* bytes, std::size_t size, EffectData& out, std::string& error) {
    error.clear();
    if (bytes == nullptr && size != 0) {
        error = "no bytes";
        return false;
    }
    if (size > kMaxFileBytes) {
        error = "file too large";
        return false;
    }
    Reader in(bytes, size, error);
    EffectData data;
    std::uint32_t head = 0;
    if (!in.u32(head) || !in.u32(data.version)) {
        return false;
    }
    if (head != kEffectHead) {
        return in.fail("not an effect file");
    }
    if (data.version < kVersionOldest || data.version > kVersionCurrent) {
        return in.fail("unsupported format version");
    }

    std::uint32_t textureCount = 0;
    if (!in.count(textureCount, kMaxTextures, kMinString + 4, "texture count out of range")) {
        return false;
    }
    data.textures.resize(textureCount);
    for (TextureDef& texture : data.textures) {
        if (!in.string(texture.name) || !in.u32(texture.image)) {
            return false;
        }
    }
    std::uint32_t imageCount = 0;
    if (!in.count(imageCount, kMaxImages, kMinString + 4, "image count out of range")) {
        return false;
    }
    data.images.resize(imageCount);
    for (ImageDef& image : data.images) {
        if (!readImage(in, image)) {
            return false;
        }
    }
    for (const TextureDef& texture : data.textures) {
        if (texture.image >= imageCount) {
            return in.fail("texture names a missing image");
        }
    }
    std::uint32_t bitmapCount = 0;
    if (!in.count(bitmapCount, kMaxBitmaps, kBitmapBytes, "bitmap count out of range")) {
        return false;
    }
    data.bitmaps.resize(bitmapCount);
    for (BitmapDef& bitmap : data.bitmaps) {
        if (!in.u32(bitmap.texture) || !in.i32(bitmap.x) || !in.i32(bitmap.y) || !in.i32(bitmap.width) ||
            !in.i32(bitmap.height)) {
            return false;
        }
        if (bitmap.texture >= textureCount) {
            return in.fail("bitmap names a missing texture");
        }
        const ImageDef& image = data.images[data.textures[bitmap.texture].image];
        if (bitmap.x < 0 || bitmap.y < 0 || bitmap.width <= 0 || bitmap.height <= 0 ||
            std::int64_t(bitmap.x) + bitmap.width > image.width ||
            std::int64_t(bitmap.y) + bitmap.height > image.height) {
            return in.fail("bitmap rectangle outside its image");
        }
    }
    std::uint32_t emitterCount = 0;
    const std::size_t minEmitter = kMinString + 36 + 5 * kMinCurveOld + 8;
    if (!in.count(emitterCount, kMaxEmitters, minEmitter, "emitter count out of range")) {
        return false;
    }
    data.emitters.resize(emitterCount);
    std::uint64_t total = 0;
    for (EmitterDef& emitter : data.emitters) {
        if (!readEmitter(in, data.version, data, emitter)) {
            return false;
        }
        total += emitter.capacity();
    }
    if (data.version >= kVersionKeyExtras) {
        std::uint32_t declared = 0;
        if (!in.u32(declared)) {
            return false;
        }
        if (declared != total) {
            return in.fail("particle total does not match the layers");
        }
    }
    if (data.version >= kVersionPreview) {
        for (std::uint32_t& value : data.preview) {
            if (!in.u32(value)) {
                return false;
            }
        }
    }
    if (in.left() != 0) {
        return in.fail("bytes left after the effect");
    }
    out = std::move(data);
    return true;
}

namespace {

class Writer {
public:
    void u8(std::uint8_t v) { m_out.push_back(v); }
    void u16(std::uint16_t v) {
        u8(static_cast<std::uint8_t>(v));
        u8(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v));
        u16(static_cast<std::uint16_t>(v >> 16));
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void f32(float v) {
        std::uint32_t raw = 0;
        std::memcpy(&raw, &v, 4);
        u32(raw);
    }
    void string(const std::string& text) {
        const std::size_t n = text.size();
        if (n < 255) {
            u8(static_cast<std::uint8_t>(n));
        } else if (n <= 65533) {
            u8(255);
            u16(static_cast<std::uint16_t>(n));
        } else {
            u8(255);
            u16(0xFFFF);
            u32(static_cast<std::uint32_t>(n));
        }
        m_out.insert(m_out.end(), text.begin(), text.end());
    }
    void curve(const Curve& curve, std::uint32_t version) {
        u32(static_cast<std::uint32_t>(curve.keys.size()));
        for (const CurveKey& key : curve.keys) {
            f32(key.time);
            f32(key.value);
            if (version >= kVersionKeyExtras) {
                f32(key.variation);
                for (float handle : key.handles) {
                    f32(handle);
                }
            }
        }
        u32(curve.smooth ? 1 : 0);
    }
    std::vector<std::uint8_t>& bytes() { return m_out; }

private:
    std::vector<std::uint8_t> m_out;
};

} // namespace

std::vector<std::uint8_t> writeEffectData(const EffectData& data) {
    Writer out;
    const std::uint32_t version = data.version;
    out.u32(kEffectHead);
    out.u32(version);
    out.u32(static_cast<std::uint32_t>(data.textures.size()));
    for (const TextureDef& texture : data.textures) {
        out.string(texture.name);
        out.u32(texture.image);
    }
    out.u32(static_cast<std::uint32_t>(data.images.size()));
    for (const ImageDef& image : data.images) {
        out.string(image.name);
        out.u32(static_cast<std::uint32_t>(image.bytes.size()));
        out.bytes().insert(out.bytes().end(), image.bytes.begin(), image.bytes.end());
    }
    out.u32(static_cast<std::uint32_t>(data.bitmaps.size()));
    for (const BitmapDef& bitmap : data.bitmaps) {
        out.u32(bitmap.texture);
        out.i32(bitmap.x);
        out.i32(bitmap.y);
        out.i32(bitmap.width);
        out.i32(bitmap.height);
    }
    out.u32(static_cast<std::uint32_t>(data.emitters.size()));
    std::uint32_t total = 0;
    for (const EmitterDef& emitter : data.emitters) {
        out.string(emitter.name);
        for (float v : emitter.offset) {
            out.f32(v);
        }
        out.u32(static_cast<std::uint32_t>(emitter.shape));
        out.f32(emitter.width);
        out.f32(emitter.height);
        out.u32(emitter.flags);
        out.u32(emitter.seed);
        out.f32(emitter.duration);
        for (const Curve* curve :
             {&emitter.rate, &emitter.life, &emitter.speed, &emitter.direction, &emitter.spread}) {
            out.curve(*curve, version);
        }
        out.u32(static_cast<std::uint32_t>(emitter.bursts.size()));
        for (const BurstDef& burst : emitter.bursts) {
            out.f32(burst.time);
            out.u32(burst.count);
            out.u32(burst.cycles);
            out.f32(burst.interval);
        }
        out.u32(static_cast<std::uint32_t>(emitter.layers.size()));
        for (const LayerDef& layer : emitter.layers) {
            out.string(layer.name);
            out.u32(layer.bitmapFirst);
            out.u32(layer.bitmapCount);
            out.u32(static_cast<std::uint32_t>(layer.blend));
            out.u32(layer.flags);
            out.u32(layer.capacity);
            out.f32(layer.angle);
            out.f32(layer.angleVariation);
            out.f32(layer.stretch);
            for (const Curve* curve : {&layer.size, &layer.red, &layer.green, &layer.blue, &layer.alpha,
                                       &layer.velocity, &layer.spin, &layer.gravity}) {
                out.curve(*curve, version);
            }
        }
        total += emitter.capacity();
    }
    if (version >= kVersionKeyExtras) {
        out.u32(total);
    }
    if (version >= kVersionPreview) {
        for (std::uint32_t value : data.preview) {
            out.u32(value);
        }
    }
    return std::move(out.bytes());
}

} // namespace particles
