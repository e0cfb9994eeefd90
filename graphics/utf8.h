#pragma once
// The engine's UTF-8 reader, shared by fonts and the scripts' decodeUTF8: lenient by design, since game
// texts come from many editors. The number of leading 1 bits of the first byte gives the sequence length
// (none: one byte); the first byte contributes its remaining low bits, each following byte its low 6 bits,
// and a NUL byte inside a sequence ends it early. Values accumulate in unsigned 32 bits, so an over-long
// lead byte wraps instead of overflowing.

#include <cstddef>
#include <cstdint>

// Reads one character at `text` (which must not point at the terminating NUL): its value, and in `length`
// the number of bytes it took (at least 1).
inline std::uint32_t decodeUtf8Char(const char* text, std::size_t& length) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const unsigned lead = p[0];
    int n = 1;
    if ((lead & 0x80u) != 0) {
        n = 0;
        while (n < 8 && (lead & (0x80u >> n)) != 0) {
            ++n;
        }
    }
    std::uint32_t value = lead & (0xFFu >> n);
    length = 1;
    for (int k = 1; k < n && p[length] != 0; ++k) {
        value = value * 64 + (p[length] & 0x3Fu);
        ++length;
    }
    return value;
}
