#pragma once
// The engine's particle library: effect files loaded into shared `EffectFile`s, and `Emitter` instances that
// simulate and draw their particles. The library never touches the renderer directly: it asks a `Device`
// (the display's adapter in the game, a counting stand-in in tests) for textures and hands it finished
// quads in the renderer's vertex layout, one call per layer.
//
// Simulation: an emitter is stepped with `prepare` (where it is now, the time and whether it may emit) and
// `move` (advance every particle, then add the particles born during the step, each already aged by the
// part of the step it has lived). Positions live in "particle space": world coordinates in world mode, the
// emitter's own frame in local mode, where the local matrix carries them to the output when drawn. Every
// emitter draws its randomness from its own small generator, seeded from the file and the instance seed, so
// a run is repeatable: the same steps give the same particles.
//
// Memory: an emitter allocates its particle pools and its quad buffer when it is made; stepping and drawing
// never allocate. A full layer drops new particles.
//
// Lifetime: effect files and emitters keep the library alive through shared ownership. `Library::shutdown`
// (display shutdown) releases every live file's textures and forgets the device, so files and emitters that
// outlive the display are left harmless: they draw nothing and release nothing twice.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "component/media_records.h"
#include "graphics/particles/effect_data.h"

namespace particles {

// A texture the device made; the library only passes it back.
struct DeviceTexture;

// Blend factors a layer asks for: additive layers set (SrcAlpha, One), alpha-blended ones
// (SrcAlpha, InvSrcAlpha).
enum BlendFactor : std::int32_t {
    BLEND_FACTOR_ZERO = 0,
    BLEND_FACTOR_ONE = 1,
    BLEND_FACTOR_SRC_ALPHA = 4,
    BLEND_FACTOR_INV_SRC_ALPHA = 5,
};

// What the library needs from the graphics device.
class Device {
public:
    virtual ~Device() = default;
    // A texture of the decoded image, or null.
    virtual DeviceTexture* createTexture(const ImageRecord& image) = 0;
    virtual void releaseTexture(DeviceTexture* texture) = 0;
    // The texture's size on the device (it may be padded); false when unknown.
    virtual bool textureSize(DeviceTexture* texture, std::int32_t& width, std::int32_t& height) = 0;
    virtual void setBlendFactors(std::int32_t source, std::int32_t destination) = 0;
    virtual void setTexture(DeviceTexture* texture) = 0;
    // Draws quads[start ... start + count - 1] with the current texture and blend factors.
    virtual void drawQuads(const Quad* quads, std::int32_t start, std::int32_t count) = 0;
};

// How the library reads a file: up to `size` bytes into `buffer`, the count read (0 at the end or on error).
class FileReader {
public:
    virtual ~FileReader() = default;
    virtual std::size_t read(void* buffer, std::size_t size) = 0;
};

class EffectFile;
class Emitter;

class Library : public std::enable_shared_from_this<Library> {
public:
    // Null when the library object cannot be allocated.
    static std::shared_ptr<Library> create();
    ~Library();

    // Takes the device that textures and drawing go to (not owned).
    bool initialise(Device* device);
    // The device, or null before initialise and after shutdown.
    Device* device() const { return m_device; }
    // Reads and checks a whole file. Null with `error` set on failure.
    std::shared_ptr<EffectFile> load(FileReader& reader, std::string& error);
    // The same from bytes in memory.
    std::shared_ptr<EffectFile> loadFromMemory(const std::uint8_t* bytes, std::size_t size,
                                               std::string& error);
    // Releases the textures of every live effect file and forgets the device.
    void shutdown();

private:
    friend class EffectFile;
    Library() = default;
    std::vector<EffectFile*> m_files;
    Device* m_device = nullptr;
};

// One loaded effect: its records, and its textures once created.
class EffectFile : public std::enable_shared_from_this<EffectFile> {
public:
    ~EffectFile();
    EffectFile(const EffectFile&) = delete;
    EffectFile& operator=(const EffectFile&) = delete;

    // Creates the textures through the library's device; false when there is no device or one fails (those
    // made are kept; a layer without its texture draws nothing).
    bool createTextures();
    void releaseTextures();

    std::size_t emitterCount() const { return m_data.emitters.size(); }
    const EmitterDef& emitter(std::size_t index) const { return m_data.emitters[index]; }
    // The index of the first emitter called `name`, or -1.
    std::int32_t findEmitter(const char* name) const;
    // A new instance of emitter `index` (null when out of range or out of memory).
    std::unique_ptr<Emitter> createEmitter(std::size_t index);

    const EffectData& data() const { return m_data; }
    // A bitmap's texture (null until created) and texture coordinates.
    DeviceTexture* bitmapTexture(std::uint32_t bitmap) const;
    const float* bitmapUv(std::uint32_t bitmap) const { return m_uv[bitmap].uv; }
    Device* device() const { return m_library ? m_library->device() : nullptr; }

private:
    friend class Library;
    EffectFile(std::shared_ptr<Library> library, EffectData data);

    struct Uv {
        float uv[4] = {0.0f, 0.0f, 1.0f, 1.0f}; // u0, v0, u1, v1
    };
    std::shared_ptr<Library> m_library;
    EffectData m_data;
    std::vector<DeviceTexture*> m_textures;
    std::vector<Uv> m_uv;
};

// A running instance of one emitter of an effect file.
class Emitter {
public:
    struct Particle {
        float x = 0, y = 0;      // particle space
        float vx = 0, vy = 0;    // start velocity
        float fall = 0;          // speed gained from gravity, along +y
        float dx = 0, dy = 0;    // velocity of the last step (aligned quads)
        float age = 0, life = 1; // seconds
        float angle = 0;         // degrees
        float random[4] = {};    // -1..1: size, colour, motion, spin
        std::uint32_t frame = 0; // random frame
    };

    Emitter(std::shared_ptr<EffectFile> file, std::size_t index);

    const std::string& name() const { return m_def.name; }
    const EmitterDef& definition() const { return m_def; }
    // Clears every particle and starts the emitter's time, emission and random sequence afresh.
    void restart();
    // The instance seed mixed into the file's seed (takes effect at the next restart).
    void setSeed(std::uint32_t seed) { m_instanceSeed = seed; }
    // The 2D transform from particle space to the output: x' = x m00 + y m10 + m20, y' = x m01 + y m11 + m21.
    void setLocalMatrix(float m00, float m01, float m10, float m11, float m20, float m21);
    // Added to every drawn position after the local matrix (x, y); z is kept for the caller.
    void setOffset(float x, float y, float z);
    void getOffset(float& x, float& y, float& z) const;
    // Readies one step of `step` seconds starting at emitter time `time`, with the emission point at
    // (x, y) in particle space; z is ignored.
    void prepare(double time, float step, float x, float y, float z, bool emissionEnabled);
    // Runs the step readied by prepare (`time` and `step` as given there).
    void move(double time, float step);
    // Draws every live particle through the file's device (nothing without one).
    void render();
    // The same through another device (tests, benchmarks).
    void render(Device& device);
    std::uint32_t liveParticles() const;
    std::uint32_t capacity() const { return static_cast<std::uint32_t>(m_quads.size()); }
    // Live particles of one layer (tests).
    const Particle* layerParticles(std::size_t layer, std::uint32_t& count) const;

private:
    struct LayerState {
        std::vector<Particle> pool; // sized to the layer's capacity once
        std::uint32_t live = 0;
    };

    float random01();
    float randomSigned() { return random01() * 2.0f - 1.0f; }
    // Particles of the current step: `count` spread over it.
    void emit(std::uint32_t count, float fromFraction, float toFraction);
    void spawn(float fraction);
    std::uint32_t burstsIn(double from, double to) const;

    std::shared_ptr<EffectFile> m_file;
    const EmitterDef& m_def;
    std::vector<LayerState> m_layers;
    std::vector<Quad> m_quads;
    float m_matrix[6] = {1, 0, 0, 1, 0, 0};
    float m_offset[3] = {0, 0, 0};
    std::uint32_t m_instanceSeed = 0;
    std::uint32_t m_random = 1;
    double m_emitted = 0.0;   // fractional particles owed by the rate
    double m_burstEnd = -1.0; // where the last step's burst window ended
    // The step readied by prepare.
    double m_time = 0.0;
    float m_step = 0.0f;
    float m_x = 0, m_y = 0;
    float m_lastX = 0, m_lastY = 0;
    bool m_hasLast = false;
    bool m_enabled = true;
    bool m_prepared = false;
};

} // namespace particles
