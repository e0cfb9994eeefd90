// libFuzzer target for the tile-set reader: any bytes either fail the checks or give a set whose every
// program can be walked, in both decodings, without leaving the bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/tile_set.h"

namespace {

// Walks a tile as drawing does, nested tiles included; the checks promise bounded depth and work.
std::uint64_t expand(const TileSetData& set, std::int32_t tile, int depth, bool drawing) {
    if (depth > TileSetData::MaxNesting) {
        __builtin_trap();
    }
    std::uint64_t words = 1;
    std::uint32_t position = set.programBegin(tile);
    TileInstruction in;
    while (set.next(position, set.programEnd(tile), drawing, in)) {
        ++words;
        if (in.op == TILEOP_Tile && set.contains(in.a)) {
            words += expand(set, in.a, depth + 1, drawing);
        }
    }
    if (words > TileSetData::MaxExpandedWords) {
        __builtin_trap();
    }
    return words;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly these bytes, so reads past the end are caught.
    const std::vector<std::uint8_t> file(data, data + size);
    TileSetData set;
    if (!set.open(file.data(), file.size())) {
        return 0;
    }
    volatile std::int32_t sink = 0;
    for (std::int32_t tile = 0; tile < set.count() && tile < 64; ++tile) {
        const TileSetRecord r = set.record(tile);
        sink = sink + r.x + r.y + r.width + r.height;
        for (bool drawing : {true, false}) {
            sink = sink + static_cast<std::int32_t>(expand(set, tile, 0, drawing));
            std::uint32_t position = set.programBegin(tile);
            TileInstruction in;
            while (set.next(position, set.programEnd(tile), drawing, in)) {
                sink = sink + in.a + in.b + in.c + static_cast<std::int32_t>(in.op);
            }
        }
    }
    return 0;
}
