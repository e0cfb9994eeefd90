// Tile-set bytes written by the tests: tiles as rectangles plus program words, and helpers for each
// operation.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "graphics/tile_set.h"

namespace graphics::test {

struct TileSpec {
    std::int16_t x = 0, y = 0, width = 0, height = 0;
    std::vector<std::uint16_t> words;
};

inline std::vector<std::uint16_t> ops(std::initializer_list<std::vector<std::uint16_t>> parts) {
    std::vector<std::uint16_t> out;
    for (const auto& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}
inline std::uint16_t w(int value) {
    return static_cast<std::uint16_t>(value);
}
inline std::vector<std::uint16_t> sprite(int slot, int sx, int sy) {
    return {tileSpriteWord(slot), w(sx), w(sy)};
}
inline std::vector<std::uint16_t> flipX() {
    return {TILEOP_FlipX};
}
inline std::vector<std::uint16_t> flipY() {
    return {TILEOP_FlipY};
}
inline std::vector<std::uint16_t> offset(int x, int y) {
    return {TILEOP_Offset, w(x), w(y)};
}
inline std::vector<std::uint16_t> nested(int tile) {
    return {TILEOP_Tile, w(tile)};
}
inline std::vector<std::uint16_t> frame(int index, int period, int count) {
    return {TILEOP_Frame, w(index), w(period), w(count)};
}
inline std::vector<std::uint16_t> colour(std::uint32_t argb) {
    return {TILEOP_Color, w(int(argb >> 16)), w(int(argb & 0xFFFF))};
}
inline std::vector<std::uint16_t> line(int dy, int dx) {
    return {TILEOP_Line, w(dy), w(dx)};
}
inline std::vector<std::uint16_t> fill(int width, int height) {
    return {TILEOP_FillRect, w(width), w(height)};
}
inline std::vector<std::uint16_t> outline(int width, int height) {
    return {TILEOP_Rect, w(width), w(height)};
}
inline std::vector<std::uint16_t> blend(int mode) {
    return {TILEOP_BlendMode, w(mode)};
}
inline std::vector<std::uint16_t> joint(int key) {
    return {TILEOP_Joint, w(key)};
}

inline std::vector<std::uint8_t> encodeTileSet(const std::vector<TileSpec>& tiles) {
    std::vector<std::uint8_t> out;
    auto put16 = [&](std::uint32_t v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    put16(static_cast<std::uint32_t>(tiles.size()));
    std::uint32_t end = 0;
    for (const TileSpec& t : tiles) {
        put16(static_cast<std::uint16_t>(t.x));
        put16(static_cast<std::uint16_t>(t.y));
        put16(static_cast<std::uint16_t>(t.width));
        put16(static_cast<std::uint16_t>(t.height));
        end += static_cast<std::uint32_t>(t.words.size());
        put16(end & 0xFFFF);
        put16(end >> 16);
    }
    for (const TileSpec& t : tiles) {
        for (std::uint16_t word : t.words) {
            put16(word);
        }
    }
    return out;
}

} // namespace graphics::test
