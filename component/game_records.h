#pragma once
// The plain records that the tile-world interfaces (component/game_interfaces.h) pass: placed tiles of a tile
// layer, the named animations of tile-animation data, and the cells of the road network.

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

// A grid cell as 16-bit column and row (road drafts, road lookups).
struct CellPosition {
    std::uint16_t x = 0;
    std::uint16_t y = 0;
};

// One road cell of the road network.
struct RoadCellRecord {
    float x = 0.0f; // world position of the cell centre
    float y = 0.0f;
    // Connections: 1 left (x - 1), 2 right (x + 1), 4 up (y - 1), 8 down (y + 1).
    std::int32_t mask = 0;
    std::uint32_t colour = 0xFFFFFFFF;
    std::uint8_t highlighted = 0; // the mark tile is drawn over the road
    std::uint8_t kind = 0;        // 0: a road that is not drawn
    std::uint8_t broken = 0;      // 1: a broken road
};

// One cell of a road draft, ready to draw.
struct RoadDraftCell {
    float x = 0.0f; // world position of the cell centre
    float y = 0.0f;
    std::int32_t mask = 0; // as RoadCellRecord::mask
    std::uint32_t colour = 0;
};
