#include "tools/cursor_maker/cursor_maker.h"
#include "tools/le_bytes.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <sstream>

bool parseCursors(const std::string& text, std::vector<CursorPicture>& out, std::string& error) {
    out.clear();
    std::map<char, std::uint32_t> colours;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    CursorPicture* open = nullptr;
    auto fail = [&](const std::string& message) {
        error = "line " + std::to_string(number) + ": " + message;
        return false;
    };
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (open) {
            if (line == "end") {
                if (open->height == 0) return fail("cursor " + open->name + " has no rows");
                open = nullptr;
                continue;
            }
            if (open->width == 0) open->width = static_cast<std::int32_t>(line.size());
            if (line.empty() || static_cast<std::int32_t>(line.size()) != open->width || open->width > 64)
                return fail("rows of cursor " + open->name +
                            " must all be 1 ... 64 characters wide like the first");
            if (open->height == 64) return fail("cursor " + open->name + " is taller than 64 rows");
            for (char c : line) {
                auto found = colours.find(c);
                if (found == colours.end()) return fail(std::string("no colour for '") + c + "'");
                open->pixels.push_back(found->second);
            }
            ++open->height;
            continue;
        }
        if (const std::size_t hash = line.find('#');
            hash != std::string::npos && line.rfind("colour", 0) != 0)
            line.erase(hash);
        std::istringstream words(line);
        std::string what;
        if (!(words >> what)) continue;
        if (what == "colour") {
            std::string key, value, extra;
            if (!(words >> key >> value) || key.size() != 1 || (words >> extra && extra[0] != '#'))
                return fail("colour takes one character and an ARGB value");
            errno = 0;
            char* end = nullptr;
            const unsigned long long argb = std::strtoull(value.c_str(), &end, 0);
            if (errno != 0 || *end != '\0' || argb > 0xFFFFFFFFull) return fail("bad colour '" + value + "'");
            colours[key[0]] = static_cast<std::uint32_t>(argb);
        } else if (what == "cursor") {
            std::string name, extra;
            if (!(words >> name) || (words >> extra)) return fail("cursor takes a name");
            for (char c : name) {
                if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-')
                    return fail("a cursor name is letters, digits, '_' and '-'");
            }
            out.push_back(CursorPicture{name, 0, 0, {}});
            open = &out.back();
        } else {
            return fail("unknown command '" + what + "'");
        }
    }
    if (open) return fail("cursor " + open->name + " has no end");
    return true;
}

std::vector<std::uint8_t> encodeCursorBmp(const CursorPicture& picture) {
    std::vector<std::uint8_t> out;
    auto put32 = [&](std::uint32_t v) { tools::appendLE32(out, v); };
    auto put16 = [&](std::uint16_t v) { tools::appendLE16(out, v); };
    const std::uint32_t headerBytes = 14 + 108;
    const auto imageBytes = static_cast<std::uint32_t>(picture.pixels.size() * 4);
    out.insert(out.end(), {'B', 'M'});
    put32(headerBytes + imageBytes);
    put32(0);
    put32(headerBytes);
    put32(108); // BITMAPV4HEADER
    put32(static_cast<std::uint32_t>(picture.width));
    put32(static_cast<std::uint32_t>(picture.height)); // positive: bottom-up
    put16(1);
    put16(32);
    put32(3); // bit fields
    put32(imageBytes);
    put32(2835); // 72 dpi
    put32(2835);
    put32(0);
    put32(0);
    put32(0x00FF0000u);
    put32(0x0000FF00u);
    put32(0x000000FFu);
    put32(0xFF000000u);
    out.insert(out.end(), {'B', 'G', 'R', 's'}); // sRGB
    out.resize(out.size() + 36 + 12, 0);         // end points and gamma, unused for sRGB
    for (std::int32_t y = picture.height - 1; y >= 0; --y) {
        for (std::int32_t x = 0; x < picture.width; ++x)
            put32(picture.pixels[std::size_t(y * picture.width + x)]);
    }
    return out;
}
