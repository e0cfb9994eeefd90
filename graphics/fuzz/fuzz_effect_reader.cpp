// libFuzzer target for the effect file reader: any bytes either fail the checks or give an effect whose
// emitters can be made, stepped and drawn through a device that checks every quad range it is handed.
#include <cstddef>
#include <cstdint>
#include <string>

#include "graphics/particles/effect_data.h"
#include "graphics/particles/particle_library.h"

namespace {

class CheckingDevice final : public particles::Device {
public:
    particles::DeviceTexture* createTexture(const ImageRecord& image) override {
        if (image.width <= 0 || image.height <= 0) {
            __builtin_trap();
        }
        return reinterpret_cast<particles::DeviceTexture*>(std::uintptr_t{16});
    }
    void releaseTexture(particles::DeviceTexture*) override {}
    bool textureSize(particles::DeviceTexture*, std::int32_t&, std::int32_t&) override { return false; }
    void setBlendFactors(std::int32_t, std::int32_t) override {}
    void setTexture(particles::DeviceTexture*) override {}
    void drawQuads(const Quad* quads, std::int32_t start, std::int32_t count) override {
        if (start < 0 || count <= 0 || std::uint64_t(start) + std::uint64_t(count) > limit) {
            __builtin_trap();
        }
        // Touch the first and last quads so the sanitizer sees any bad range.
        checksum += quads[start].v[0].colour + quads[start + count - 1].v[3].colour;
    }
    std::uint64_t limit = 0;
    std::uint32_t checksum = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CheckingDevice device;
    static std::shared_ptr<particles::Library> library = [] {
        auto made = particles::Library::create();
        made->initialise(&device);
        return made;
    }();
    std::string error;
    std::shared_ptr<particles::EffectFile> file = library->loadFromMemory(data, size, error);
    if (!file) {
        if (error.empty()) {
            __builtin_trap();
        }
        return 0;
    }
    file->createTextures();
    // A few emitters for a short while: enough to reach emission, bursts, motion and drawing.
    for (std::size_t i = 0; i < file->emitterCount() && i < 4; ++i) {
        std::unique_ptr<particles::Emitter> emitter = file->createEmitter(i);
        device.limit = emitter->capacity();
        double t = 0.0;
        for (int step = 0; step < 8; ++step, t += 0.05) {
            emitter->prepare(t, 0.05f, 10.0f * step, 0.0f, 0.0f, step < 6);
            emitter->move(t, 0.05f);
            if (emitter->liveParticles() > emitter->capacity()) {
                __builtin_trap();
            }
            emitter->render(device);
        }
    }
    return 0;
}
