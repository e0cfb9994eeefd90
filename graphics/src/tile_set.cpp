// TileSetData: the checks a tile-set file passes before anything draws from it.
#include "graphics/tile_set.h"

#include <algorithm>

namespace {

std::uint16_t u16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t u32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}

void fail(std::string* why, const std::string& text) {
    if (why != nullptr) {
        *why = text;
    }
}

} // namespace

int tileOpLength(std::uint32_t op, bool drawing) {
    switch (op) {
    case TILEOP_Tile:
    case TILEOP_BlendMode:
    case TILEOP_Joint:
        return 2;
    case TILEOP_Frame:
        return 4;
    case TILEOP_Unused8:
        return drawing ? 1 : 3;
    case TILEOP_Sprite:
    case TILEOP_Offset:
    case TILEOP_Color:
    case 10:
    case 11:
    case 12:
    case 13:
    case 14:
        return 3;
    default:
        return 1;
    }
}

std::uint32_t TileSetData::end(std::int32_t tile) const {
    return u32(m_records + static_cast<std::size_t>(tile) * 12 + 8);
}

std::uint16_t TileSetData::word(std::uint32_t index) const {
    return u16(m_words + static_cast<std::size_t>(index) * 2);
}

TileSetRecord TileSetData::record(std::int32_t tile) const {
    const std::uint8_t* p = m_records + static_cast<std::size_t>(tile) * 12;
    return {static_cast<std::int16_t>(u16(p)), static_cast<std::int16_t>(u16(p + 2)),
            static_cast<std::int16_t>(u16(p + 4)), static_cast<std::int16_t>(u16(p + 6))};
}

bool TileSetData::next(std::uint32_t& position, std::uint32_t end, bool drawing, TileInstruction& out) const {
    if (position >= end) {
        return false;
    }
    out.word = word(position);
    out.op = out.word & 0x3Fu;
    const std::uint32_t length = static_cast<std::uint32_t>(tileOpLength(out.op, drawing));
    if (length > end - position) {
        return false;
    }
    out.a = length > 1 ? static_cast<std::int16_t>(word(position + 1)) : 0;
    out.b = length > 2 ? static_cast<std::int16_t>(word(position + 2)) : 0;
    out.c = length > 3 ? static_cast<std::int16_t>(word(position + 3)) : 0;
    position += length;
    return true;
}

void TileSetData::close() {
    m_records = nullptr;
    m_words = nullptr;
    m_count = 0;
}

bool TileSetData::open(const void* data, std::size_t size, std::string* why) {
    close();
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (bytes == nullptr || size < 2) {
        fail(why, "shorter than its tile count");
        return false;
    }
    const std::uint32_t count = u16(bytes);
    const std::uint64_t wordsAt = 2 + 12ull * count;
    if (wordsAt > size) {
        fail(why, "tile records run past the end of the file");
        return false;
    }
    const std::uint64_t wordsAvailable = (size - wordsAt) / 2;
    std::uint32_t previous = 0;
    for (std::uint32_t t = 0; t < count; ++t) {
        const std::uint32_t e = u32(bytes + 2 + 12ull * t + 8);
        if (e < previous || e > wordsAvailable) {
            fail(why, "tile " + std::to_string(t) + ": program end " + std::to_string(e) +
                          (e < previous ? " goes backwards" : " is past the end of the file"));
            return false;
        }
        previous = e;
    }
    m_records = bytes + 2;
    m_words = bytes + wordsAt;
    m_count = static_cast<std::int32_t>(count);
    if (!checkNesting(why)) {
        close();
        return false;
    }
    return true;
}

// Nested tiles must form no cycle, nest at most MaxNesting deep and expand to a bounded number of words. Both
// decodings (drawing and searching differ at operation 8) are followed, so whatever a walker does is covered.
bool TileSetData::checkNesting(std::string* why) {
    const std::size_t n = static_cast<std::size_t>(m_count);
    std::vector<std::uint32_t> edgeStart(n + 1, 0);
    std::vector<std::int32_t> edges;
    // Nested-tile operations already taken by the drawing decoding, by word position.
    std::vector<bool> taken(m_count > 0 ? programEnd(m_count - 1) : 0, false);
    for (std::int32_t t = 0; t < m_count; ++t) {
        edgeStart[static_cast<std::size_t>(t)] = static_cast<std::uint32_t>(edges.size());
        for (bool drawing : {true, false}) {
            std::uint32_t position = programBegin(t);
            const std::uint32_t stop = programEnd(t);
            TileInstruction in;
            std::uint32_t at = position;
            while (next(position, stop, drawing, in)) {
                if (in.op == TILEOP_Tile && contains(in.a) && !taken[at]) {
                    taken[at] = true;
                    edges.push_back(in.a);
                }
                at = position;
            }
        }
    }
    edgeStart[n] = static_cast<std::uint32_t>(edges.size());

    // Iterative depth-first walk: 0 unvisited, 1 on the stack, 2 done (depth and expanded size known).
    std::vector<std::uint8_t> state(n, 0);
    std::vector<std::uint8_t> depth(n, 0);
    std::vector<std::uint64_t> expanded(n, 0);
    struct Frame {
        std::int32_t tile;
        std::uint32_t edge;
    };
    std::vector<Frame> stack;
    for (std::int32_t root = 0; root < m_count; ++root) {
        if (state[static_cast<std::size_t>(root)] != 0) {
            continue;
        }
        stack.push_back({root, edgeStart[static_cast<std::size_t>(root)]});
        state[static_cast<std::size_t>(root)] = 1;
        while (!stack.empty()) {
            Frame& f = stack.back();
            const std::size_t ft = static_cast<std::size_t>(f.tile);
            if (f.edge < edgeStart[ft + 1]) {
                const std::int32_t child = edges[f.edge++];
                const std::size_t c = static_cast<std::size_t>(child);
                if (state[c] == 1) {
                    fail(why, "tile " + std::to_string(child) + " contains itself");
                    return false;
                }
                if (state[c] == 0) {
                    state[c] = 1;
                    stack.push_back({child, edgeStart[c]});
                }
                continue;
            }
            std::uint64_t size = programEnd(f.tile) - programBegin(f.tile) + 1;
            std::uint8_t d = 0;
            for (std::uint32_t e = edgeStart[ft]; e < edgeStart[ft + 1]; ++e) {
                const std::size_t c = static_cast<std::size_t>(edges[e]);
                size = std::min<std::uint64_t>(size + expanded[c], MaxExpandedWords + 1);
                d = std::max<std::uint8_t>(d, static_cast<std::uint8_t>(depth[c] + 1));
            }
            if (d > MaxNesting) {
                fail(why,
                     "tile " + std::to_string(f.tile) + " nests deeper than " + std::to_string(MaxNesting));
                return false;
            }
            if (size > MaxExpandedWords) {
                fail(why, "tile " + std::to_string(f.tile) + " expands to too many operations");
                return false;
            }
            depth[ft] = d;
            expanded[ft] = size;
            state[ft] = 2;
            stack.pop_back();
        }
    }
    return true;
}
