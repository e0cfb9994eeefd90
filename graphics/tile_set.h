#pragma once
// `TileSetData`: a checked, read-only view of a tile-set file's bytes, used in place (the file stays mapped;
// nothing is copied or parsed into objects).
//
// Layout (little-endian): u16 tile count N; N records of 12 bytes {i16 x, i16 y, i16 width, i16 height, u32
// end}; then 16-bit command words. Tile t's program is the words [end(t-1), end(t)), end(-1) = 0. A word's
// low 6 bits are its operation; operands follow as further words.
//
// `open` refuses (false, with the reason) a file whose records or programs point past its bytes, whose ends
// go backwards, whose nested tiles form a cycle or nest deeper than MaxNesting, or whose tiles would expand
// to more than MaxExpandedWords words when drawn (a handful of bytes must not hang a frame). Walkers still
// stop at a tile's end and treat out-of-range tile numbers as no tile, so no input reaches outside the bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Operations of a tile program.
enum TileOp : std::uint32_t {
    TILEOP_Sprite = 0,
    TILEOP_FlipX = 1,
    TILEOP_FlipY = 2,
    TILEOP_Offset = 3,
    TILEOP_Tile = 4,
    TILEOP_Frame = 5,
    TILEOP_Color = 6,
    TILEOP_Unused8 = 8,
    TILEOP_Line = 10,
    TILEOP_FillRect = 11,
    TILEOP_Rect = 12,
    TILEOP_BlendMode = 15,
    TILEOP_Joint = 16,
};

// Render flags of tiles.
enum TileFlag : std::int32_t {
    TILEFLAG_FlipX = 1,
    TILEFLAG_FlipY = 2,
    TILEFLAG_Hidden = 4,
    TILEFLAG_Highlight = 0x10000,
    TILEFLAG_SubPixel = 0x20000,
};

// Words an operation takes, itself included. Operation 8 takes 3 when searching and 1 when drawing (tile sets
// never hold it; both walkers stay in step with what the files were written for).
int tileOpLength(std::uint32_t op, bool drawing);
// The texture slot (0 ... 1023) of a sprite word.
inline std::int32_t tileSpriteSlot(std::uint16_t word) {
    return static_cast<std::int32_t>(((word & 0xC0u) * 4u) | (word >> 8));
}
// The sprite word for a slot (the inverse of tileSpriteSlot).
inline std::uint16_t tileSpriteWord(std::int32_t slot) {
    return static_cast<std::uint16_t>(((slot & 0xFF) << 8) | (((slot >> 8) & 3) << 6));
}

// One decoded operation: the word and up to three operands (signed; 0 past the operation's own words).
struct TileInstruction {
    std::uint32_t op = 0;
    std::uint16_t word = 0;
    std::int16_t a = 0, b = 0, c = 0;
};

struct TileSetRecord {
    std::int16_t x = 0, y = 0, width = 0, height = 0;
};

class TileSetData {
public:
    static constexpr int MaxNesting = 16;
    static constexpr std::uint64_t MaxExpandedWords = 1u << 20;

    // Checks the bytes and keeps pointing at them (they must stay valid until close). On failure the view is
    // empty and `why` (when given) says what was wrong.
    bool open(const void* data, std::size_t size, std::string* why = nullptr);
    void close();

    std::int32_t count() const { return m_count; }
    bool contains(std::int32_t tile) const { return tile >= 0 && tile < m_count; }
    // The tile's record; only for tiles in range.
    TileSetRecord record(std::int32_t tile) const;
    // The tile's words [begin, end).
    std::uint32_t programBegin(std::int32_t tile) const { return tile == 0 ? 0 : end(tile - 1); }
    std::uint32_t programEnd(std::int32_t tile) const { return end(tile); }

    // Decodes the operation at `position` of a program ending at `end`; false when its operands would pass
    // the end (the walk stops there). `position` moves past the operation.
    bool next(std::uint32_t& position, std::uint32_t end, bool drawing, TileInstruction& out) const;

private:
    std::uint32_t end(std::int32_t tile) const;
    std::uint16_t word(std::uint32_t index) const;
    bool checkNesting(std::string* why);

    const std::uint8_t* m_records = nullptr;
    const std::uint8_t* m_words = nullptr;
    std::int32_t m_count = 0;
};
