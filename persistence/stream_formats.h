#pragma once
// The byte formats that scripts (and the world classes' own records) move through streams: little-endian
// primitives without tags or alignment, length-prefixed strings, fixed-width texts and raw buffers.
//
//   int        4 bytes, two's complement
//   short      2 bytes, the low 16 bits; read back signed or unsigned
//   byte       1 byte, the low 8 bits; read back signed or unsigned
//   bool       1 byte, written 0 or 1; any non-zero byte reads true
//   string     int length n, then n bytes (the text up to its first zero byte; no terminator)
//   chars(n)   the text up to its first zero byte or n bytes, then zero bytes up to n
//   buffer(n)  the first n bytes of the text, raw (n is clamped to the text's length)
//
// Every helper logs "%s failed" at the error level, without a tag, naming the failing helper
// ("qx::readSimple", "qx::writeSimple", "qx::readChars", "qx::writeChars", "qx::writeBuffer"), and answers
// false; the value it produced is then 0 or the empty text. Lengths and counts taken from a stream or a
// script are checked before anything is allocated: a negative one fails, one larger than what the stream can
// still deliver (IInputStream::Available) fails, and when the stream cannot tell, the text is read in bounded
// chunks, so a lying length costs at most one chunk beyond the real data.

#include "component/stream_interfaces.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qx {

// One fixed-width primitive of `width` bytes (1, 2 or 4), little-endian, into the low bytes of a zeroed
// value.
bool readSimple(IInputStream* stream, std::uint32_t& value, int width);
// The low `width` bytes of value, little-endian.
bool writeSimple(IOutputStream* stream, std::uint32_t value, int width);

// A string: the 4-byte length, then that many bytes; the text ends at its first zero byte.
bool readString(IInputStream* stream, std::string& text);
bool writeString(IOutputStream* stream, std::string_view text);

// chars(count): exactly count bytes; the text ends at the first zero byte.
bool readChars(IInputStream* stream, std::int32_t count, std::string& text);
bool writeChars(IOutputStream* stream, std::string_view text, std::int32_t count);

// buffer(count): the first count bytes of text (count clamped to 0…text length) in one write.
bool writeBuffer(IOutputStream* stream, std::string_view text, std::int32_t count);

} // namespace qx
