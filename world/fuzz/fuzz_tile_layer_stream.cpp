// libFuzzer target for the tile-layer stream reader: the first byte says whether the stream tells its length;
// the rest is read as a layer. A read either fails or gives a layer whose bucket grid indexes only existing
// records, and a layer that was read writes back the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "component/component_registry.h"
#include "graphics/graphics_classes.h"
#include "graphics/tile_manager.h"
#include "platform/kd_start.h"
#include "world/fuzz/fuzz_bytes.h"
#include "world/tile_layer.h"

namespace {

// A tile set of a small, a wide, an empty and an offset tile, so records land in one, many or no buckets.
TileManager* tileSet() {
    static TileManager* manager = [] {
        char folder[] = "/tmp/hh-fuzz-layer-XXXXXX";
        if (mkdtemp(folder) == nullptr || chdir(folder) != 0) {
            std::abort();
        }
        const std::uint8_t bytes[] = {
            4,    0,                                                     // count
            0xF8, 0xFF, 0xF8, 0xFF, 16,   0,    16,   0,    0, 0, 0, 0,  // 0: 16 x 16
            0,    0,    0,    0,    0x2C, 0x01, 8,    0,    0, 0, 0, 0,  // 1: 300 x 8
            0,    0,    0,    0,    0,    0,    0,    0,    0, 0, 0, 0,  // 2: empty
            0x00, 0x80, 0xFF, 0x7F, 0xFF, 0x7F, 0xFF, 0x7F, 0, 0, 0, 0}; // 3: huge
        FILE* f = std::fopen("tiles.bin", "wb");
        if (f == nullptr || std::fwrite(bytes, 1, sizeof bytes, f) != sizeof bytes) {
            std::abort();
        }
        std::fclose(f);
        platform::startFileSystems();
        registerGraphicsClasses(ComponentRegistry::instance());
        auto* m = dynamic_cast<TileManager*>(createSingleInstance<TileManager>());
        if (m == nullptr || !m->LoadFromFile("tiles.bin")) {
            std::abort();
        }
        return m; // kept for the whole run
    }();
    return manager;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    tileSet();
    auto* stream = new FuzzBytes(data + 1, size - 1, (data[0] & 1) != 0);
    auto* layer = new TileLayer;
    const bool read = layer->ReadFrom(stream);
    const std::size_t count = layer->GetTiles().size();
    const std::int32_t rects[][4] = {
        {-40000, -40000, 40000, 40000}, {0, 0, 100, 100}, {-1, -1, 0, 0}, {32767, 32767, -32768, -32768}};
    for (const auto& r : rects) {
        for (std::int32_t index : layer->visibleTiles(r[0], r[1], r[2], r[3])) {
            if (index < 0 || static_cast<std::size_t>(index) >= count) {
                __builtin_trap();
            }
        }
    }
    if (read) {
        auto* out = new FuzzBytes(nullptr, 0, true);
        if (!layer->WriteTo(out)) {
            __builtin_trap();
        }
        const std::size_t used = 2 + 6 * count;
        if (out->m_out.size() != used || std::memcmp(out->m_out.data(), data + 1, used) != 0) {
            __builtin_trap();
        }
        out->Release();
    }
    layer->Release();
    stream->Release();
    return 0;
}
