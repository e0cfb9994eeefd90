#pragma once
// Little-endian byte appending for the asset tools' file writers (WAV, BMP, tile sets): every format they
// write stores its numbers least significant byte first, whatever the machine's order.

#include <cstdint>
#include <vector>

namespace tools {

inline void appendLE16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

inline void appendLE32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    appendLE16(out, value & 0xFFFFu);
    appendLE16(out, value >> 16);
}

} // namespace tools
