#include "script/src/script_source.h"

#include <cstdint>

namespace {

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    const std::size_t units = bytes.size() / 2;
    auto unitAt = [&](std::size_t i) -> std::uint32_t {
        auto a = static_cast<unsigned char>(bytes[2 * i]), b = static_cast<unsigned char>(bytes[2 * i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    constexpr std::uint32_t kReplacement = 0xFFFD;
    std::string out;
    out.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            std::uint32_t low = unitAt(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
    }
    return out;
}

} // namespace

ScriptSource decodeScriptSource(std::string_view bytes) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    ScriptSource source;
    if (bytes.size() >= 2) {
        if (byte(0) == 0xFA && byte(1) == 0xFA) {
            source.kind = ScriptSourceKind::CompiledClosure;
            return source;
        }
        if (byte(0) == 0xEF && byte(1) == 0xBB) {
            if (bytes.size() < 3) {
                source.kind = ScriptSourceKind::ShortRead;
            } else if (byte(2) != 0xBF) {
                source.kind = ScriptSourceKind::BadEncoding;
            } else {
                source.text.assign(bytes.substr(3));
            }
            return source;
        }
        if (byte(0) == 0xFF && byte(1) == 0xFE) {
            source.text = utf16ToUtf8(bytes.substr(2), false);
            return source;
        }
        if (byte(0) == 0xFE && byte(1) == 0xFF) {
            source.text = utf16ToUtf8(bytes.substr(2), true);
            return source;
        }
    }
    source.text.assign(bytes);
    return source;
}
