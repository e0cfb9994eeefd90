// Road tiles for the road renderer's tests, appended to the world test bench's tile set. Every tile is drawn
// in the graphics colour (so drafts show their colours), on a 16 x 16 cell with its anchor at the centre:
//
//   road   (5 + mask)   a filled 8 x 8 centre and a filled 4-pixel arm towards each connected side
//   broken (21 + mask)  an outlined centre and thin 2-pixel arms
//   mark   (37)         a yellow 4 x 4 dot in the middle
#pragma once

#include <cstdio>
#include <cstring>

#include "world/tests/grid_fixture.h"
#include "world/tests/world_fixture.h"

namespace world::test {

enum : int { kRoad = kTileCount, kBroken = kRoad + 16, kMark = kBroken + 16, kRoadTileCount };

inline std::vector<TileDef> roadTiles() {
    const auto s = [](int v) { return static_cast<std::uint16_t>(v); };
    std::vector<TileDef> tiles = worldTiles();
    for (int broken = 0; broken < 2; ++broken) {
        for (int mask = 0; mask < 16; ++mask) {
            Words w;
            auto box = [&](int x, int y, int width, int height, std::uint16_t op = TILEOP_FillRect) {
                w.insert(w.end(), {TILEOP_Offset, s(x), s(y), op, s(width), s(height)});
            };
            if (broken == 0) {
                box(-4, -4, 8, 8);
                if (mask & 1) box(-8, -4, 4, 8);
                if (mask & 2) box(4, -4, 4, 8);
                if (mask & 4) box(-4, -8, 8, 4);
                if (mask & 8) box(-4, 4, 8, 4);
            } else {
                box(-4, -4, 8, 8, TILEOP_Rect);
                if (mask & 1) box(-8, -1, 4, 2);
                if (mask & 2) box(4, -1, 4, 2);
                if (mask & 4) box(-1, -8, 2, 4);
                if (mask & 8) box(-1, 4, 2, 4);
            }
            tiles.push_back({-8, -8, 16, 16, w});
        }
    }
    tiles.push_back({-2,
                     -2,
                     4,
                     4,
                     {TILEOP_Color, s(int(kYellow >> 16)), s(int(kYellow & 0xFFFF)), TILEOP_Offset, s(-2),
                      s(-2), TILEOP_FillRect, 4, 4}});
    return tiles;
}

} // namespace world::test
