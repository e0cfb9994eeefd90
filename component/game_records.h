#pragma once
// The plain records that the tile-world interfaces (component/game_interfaces.h) pass: placed tiles of a tile
// layer and the named animations of tile-animation data.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// One placed tile of a tile layer: its anchor in screen coordinates and its tile number.
struct TileRecord {
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::int16_t tile = 0;
};

// One named animation: a cycle of `time` ms, one sequence of tile numbers per heading sector.
struct TileAnimationRecord {
    std::int32_t time = 0;
    std::vector<std::vector<std::int32_t>> channels;
};

// The animations of a data object, by name (ordered, and searched by any string view).
struct TileAnimationMap {
    std::map<std::string, TileAnimationRecord, std::less<>> animations;
};
