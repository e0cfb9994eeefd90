#pragma once
// The contents of an effect file as plain records, and the checked reader and the writer of the binary
// format (graphics/particles/README.md, "Format", describes the bytes). The particle library builds its
// effects from these records; the effect compiler (tools/effect_compiler) writes them; tests and the fuzz
// target forge them.
//
// The reader treats every file as hostile: each count, length and index is checked against the bytes really
// present and against the limits below before anything is allocated, floats must be finite, curve keys in
// time order, embedded images must decode with the engine's image readers, and a file whose bytes are not
// all consumed is rejected. A rejected file leaves a one-line reason and no partial result.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace particles {

// The first 32-bit value of every effect file: "HHFX" in file order.
inline constexpr std::uint32_t kEffectHead = 0x58464648u;
// Format versions. The oldest layout has plain curve keys and no trailer; from kVersionKeyExtras keys carry
// five more values and the file ends with the particle total; from kVersionPreview twelve preview values
// follow that.
inline constexpr std::uint32_t kVersionOldest = 0x15000u;
inline constexpr std::uint32_t kVersionKeyExtras = 0x16000u;
inline constexpr std::uint32_t kVersionPreview = 0x23000u;
inline constexpr std::uint32_t kVersionCurrent = kVersionPreview;

// Limits of what a file may declare. They are far above what an effect needs and keep a forged count from
// turning into a huge allocation.
inline constexpr std::uint32_t kMaxImages = 256;
inline constexpr std::uint32_t kMaxImageBytes = 16u << 20;
inline constexpr std::uint32_t kMaxTextures = 256;
inline constexpr std::uint32_t kMaxBitmaps = 4096;
inline constexpr std::uint32_t kMaxEmitters = 256;
inline constexpr std::uint32_t kMaxLayers = 16;
inline constexpr std::uint32_t kMaxBursts = 256;
inline constexpr std::uint32_t kMaxBurstCycles = 1000;
inline constexpr std::uint32_t kMaxBurstCount = 65536;
inline constexpr std::uint32_t kMaxKeys = 1024;
inline constexpr std::uint32_t kMaxLayerCapacity = 65536;
inline constexpr std::uint32_t kMaxEmitterCapacity = 262144;
inline constexpr std::uint32_t kMaxNameLength = 4096;
inline constexpr std::uint32_t kMaxFileBytes = 64u << 20;

// One key of a curve. `variation` widens the value per particle (value + r x variation, r in -1..1);
// `handles` are the authoring tool's tangent handles, kept for round trips and not used by the simulation.
struct CurveKey {
    float time = 0.0f;
    float value = 0.0f;
    float variation = 0.0f;
    float handles[4] = {0.0f, 0.0f, 0.0f, 0.0f};
};

// A keyframed curve (at least one key, times in non-decreasing order).
struct Curve {
    std::vector<CurveKey> keys;
    bool smooth = false;

    // The value at x, plus `r` times the interpolated variation. Before the first key (or with one key) the
    // first key; at or after the last key the last key; between keys the segment that ends at the first key
    // not before x, eased with (3 - 2t)t^2 when smooth.
    float evaluate(float x, float r = 0.0f) const;
    // A curve of one key.
    static Curve constant(float value, float variation = 0.0f);
};

enum class EmitShape : std::uint32_t { Point = 0, Line = 1, Circle = 2, Rectangle = 3 };
enum class LayerBlend : std::uint32_t { Additive = 0, Alpha = 1 };

enum EmitterFlags : std::uint32_t {
    EMITTER_EDGE = 1, // circles and rectangles emit from their outline only
    EMITTER_LOOP = 2, // the emission curves and bursts repeat every `duration` seconds
};
enum LayerFlags : std::uint32_t {
    LAYER_ALIGN = 1,        // the quad's X axis follows the velocity (spin is ignored)
    LAYER_RANDOM_FRAME = 2, // each particle shows one random frame instead of playing them over its life
};

// A whole image file (PNG, JPEG, TGA, PVR or NTF) embedded in the effect.
struct ImageDef {
    std::string name;
    std::vector<std::uint8_t> bytes;
    // Filled by the reader from the decoded image.
    std::int32_t width = 0;
    std::int32_t height = 0;
};

struct TextureDef {
    std::string name;
    std::uint32_t image = 0; // index into the image table
};

// A rectangle of a texture in pixels: one particle picture (or one frame of an animated one).
struct BitmapDef {
    std::uint32_t texture = 0;
    std::int32_t x = 0, y = 0, width = 0, height = 0;
};

// `count` particles at `time` seconds, repeated `cycles` times every `interval` seconds.
struct BurstDef {
    float time = 0.0f;
    std::uint32_t count = 0;
    std::uint32_t cycles = 1;
    float interval = 0.0f;
};

// One kind of particle an emitter makes: every emission makes one particle of each layer. Its curves run
// over the particle's life (0 at birth, 1 at death).
struct LayerDef {
    std::string name;
    std::uint32_t bitmapFirst = 0;
    std::uint32_t bitmapCount = 1; // frames; all on one texture
    LayerBlend blend = LayerBlend::Alpha;
    std::uint32_t flags = 0;
    std::uint32_t capacity = 64; // particles alive at once
    float angle = 0.0f;          // start angle and its variation, degrees
    float angleVariation = 0.0f;
    float stretch = 0.0f;          // aligned quads grow by speed x stretch along the velocity
    Curve size;                    // pixels
    Curve red, green, blue, alpha; // 0..1
    Curve velocity;                // multiplies the start velocity
    Curve spin;                    // degrees per second
    Curve gravity;                 // pixels per second squared, along +y
};

// An emitter: where and when particles are born. Its curves run over the emitter's time in seconds.
struct EmitterDef {
    std::string name;
    float offset[3] = {0.0f, 0.0f, 0.0f};
    EmitShape shape = EmitShape::Point;
    float width = 0.0f;  // line length, circle radius, rectangle width
    float height = 0.0f; // rectangle height
    std::uint32_t flags = 0;
    std::uint32_t seed = 1;
    float duration = 0.0f; // seconds of emission; 0: endless
    Curve rate;            // particles per second
    Curve life;            // seconds
    Curve speed;           // pixels per second
    Curve direction;       // degrees, 0 along +x, 90 along +y
    Curve spread;          // degrees of the cone around the direction
    std::vector<BurstDef> bursts;
    std::vector<LayerDef> layers;

    // The particles all its layers may hold at once.
    std::uint32_t capacity() const;
};

struct EffectData {
    std::uint32_t version = kVersionCurrent;
    std::vector<TextureDef> textures;
    std::vector<ImageDef> images;
    std::vector<BitmapDef> bitmaps;
    std::vector<EmitterDef> emitters;
    // Authoring preview (background ARGB, then reserved values); files of kVersionPreview and later.
    std::uint32_t preview[12] = {};
};

// Reads and checks a whole effect file. False, with `error` set to the reason, on any fault.
bool readEffectData(const std::uint8_t* bytes, std::size_t size, EffectData& out, std::string& error);

// The file bytes of `data` in the layout of `data.version` (which must be a supported version). The records
// are written as they are: run the result through readEffectData to check them.
std::vector<std::uint8_t> writeEffectData(const EffectData& data);

} // namespace particles
