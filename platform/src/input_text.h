// UTF-8 text as UTF-16 code units: character events carry code units, and the caption is limited in them.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Decodes one character from text[0..length) into codePoint and returns the bytes it took (at least 1 while
// length > 0). Malformed, overlong, surrogate and out-of-range sequences give U+FFFD and take one byte.
std::size_t decodeUtf8(const char* text, std::size_t length, char32_t* codePoint);

// Writes the UTF-16 code units of a character to units (one, or a surrogate pair) and returns their count.
int utf16Units(char32_t codePoint, char16_t units[2]);

// The text with malformed sequences replaced by U+FFFD, cut to at most maxUnits UTF-16 code units without
// splitting a character.
std::string limitUtf16(const char* text, std::size_t maxUnits);

} // namespace platform
