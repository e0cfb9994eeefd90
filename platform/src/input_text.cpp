// UTF-8 decoding for text input and captions.
#include "input_text.h"

#include <cstring>

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";

} // namespace

std::size_t decodeUtf8(const char* text, std::size_t length, char32_t* codePoint) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const unsigned lead = bytes[0];
    *codePoint = kReplacement;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    }
    std::size_t count;
    char32_t value;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        count = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        count = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        count = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 1;
    }
    if (count > length) {
        return 1;
    }
    for (std::size_t i = 1; i < count; ++i) {
        if ((bytes[i] & 0xC0) != 0x80) {
            return 1;
        }
        value = (value << 6) | (bytes[i] & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 1;
    }
    *codePoint = value;
    return count;
}

int utf16Units(char32_t codePoint, char16_t units[2]) {
    if (codePoint < 0x10000) {
        units[0] = static_cast<char16_t>(codePoint);
        return 1;
    }
    const char32_t offset = codePoint - 0x10000;
    units[0] = static_cast<char16_t>(0xD800 + (offset >> 10));
    units[1] = static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
    return 2;
}

std::string limitUtf16(const char* text, std::size_t maxUnits) {
    std::string out;
    std::size_t length = std::strlen(text);
    std::size_t units = 0;
    while (length > 0) {
        char32_t c;
        const std::size_t used = decodeUtf8(text, length, &c);
        units += c < 0x10000 ? 1 : 2;
        if (units > maxUnits) {
            break;
        }
        const bool malformed = used == 1 && static_cast<unsigned char>(*text) >= 0x80;
        if (malformed) {
            out += kReplacementUtf8;
        } else {
            out.append(text, used);
        }
        text += used;
        length -= used;
    }
    return out;
}

} // namespace platform
