// The tile-set description compiler.
#include "tools/tileset_source.h"
#include "tools/le_bytes.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

#include "graphics/tile_set.h"

namespace {

struct Compiler {
    Compiler(TileSetSource& o, ImageSizeQuery query) : out(o), imageSize(query) {}

    TileSetSource& out;
    ImageSizeQuery imageSize;
    int lineNumber = 0;
    std::map<std::string, std::int32_t> tileNumbers;
    std::map<std::string, std::size_t> painted; // image path -> index in out.images
    std::vector<std::vector<std::uint16_t>> programs;
    struct Record {
        std::int16_t x, y, w, h;
    };
    std::vector<Record> records;
    std::vector<std::pair<std::int32_t, std::int32_t>> slotSize; // by slot, (-1, -1) unknown

    bool fail(const std::string& text) {
        out.error = "line " + std::to_string(lineNumber) + ": " + text;
        return false;
    }

    static bool number(const std::string& word, std::int64_t& value) {
        if (word.empty()) {
            return false;
        }
        errno = 0;
        char* end = nullptr;
        const bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
        const long long v = hex ? static_cast<long long>(std::strtoull(word.c_str() + 2, &end, 16))
                                : std::strtoll(word.c_str(), &end, 10);
        if (errno != 0 || end == nullptr || *end != '\0' || (hex && word.size() == 2)) {
            return false;
        }
        value = v;
        return true;
    }

    // Reads word i of `words` as an integer in [lo, hi].
    bool arg(const std::vector<std::string>& words, std::size_t i, std::int64_t lo, std::int64_t hi,
             std::int64_t& value, const char* what) {
        if (i >= words.size()) {
            return fail(std::string("missing ") + what);
        }
        if (!number(words[i], value) || value < lo || value > hi) {
            return fail(std::string("bad ") + what + " '" + words[i] + "' (" + std::to_string(lo) + " ... " +
                        std::to_string(hi) + ")");
        }
        return true;
    }
    bool s16(const std::vector<std::string>& words, std::size_t i, std::int64_t& v, const char* what) {
        return arg(words, i, -32768, 32767, v, what);
    }
    bool colour(const std::vector<std::string>& words, std::size_t i, std::uint32_t& c) {
        std::int64_t v = 0;
        if (!arg(words, i, 0, 0xFFFFFFFFll, v, "colour")) {
            return false;
        }
        c = static_cast<std::uint32_t>(v);
        return true;
    }
    bool count(const std::vector<std::string>& words, std::size_t n) {
        if (words.size() != n) {
            return fail("'" + words[0] + "' takes " + std::to_string(n - 1) + " value(s)");
        }
        return true;
    }

    bool paint(PaintedImage& image, const std::vector<std::string>& w) {
        const std::string& what = w[0];
        if (what == "rect" || what == "diamond") {
            std::int64_t x, y, rw, rh;
            std::uint32_t c;
            if (!count(w, 6) || !s16(w, 1, x, "x") || !s16(w, 2, y, "y") ||
                !arg(w, 3, 1, 32767, rw, "width") || !arg(w, 4, 1, 32767, rh, "height") || !colour(w, 5, c)) {
                return false;
            }
            for (std::int64_t py = std::max<std::int64_t>(y, 0);
                 py < std::min<std::int64_t>(y + rh, image.height); ++py) {
                for (std::int64_t px = std::max<std::int64_t>(x, 0);
                     px < std::min<std::int64_t>(x + rw, image.width); ++px) {
                    if (what == "diamond") {
                        // Inside |dx| / (w / 2) + |dy| / (h / 2) <= 1, measured at pixel centres.
                        const double dx = std::fabs((px + 0.5) - (x + rw / 2.0)) / (rw / 2.0);
                        const double dy = std::fabs((py + 0.5) - (y + rh / 2.0)) / (rh / 2.0);
                        if (dx + dy > 1.0) {
                            continue;
                        }
                    }
                    image.pixels[static_cast<std::size_t>(py * image.width + px)] = c;
                }
            }
            return true;
        }
        if (what == "disc") {
            std::int64_t cx, cy, r;
            std::uint32_t c;
            if (!count(w, 5) || !s16(w, 1, cx, "x") || !s16(w, 2, cy, "y") ||
                !arg(w, 3, 0, 32767, r, "radius") || !colour(w, 4, c)) {
                return false;
            }
            for (std::int64_t py = std::max<std::int64_t>(cy - r, 0);
                 py < std::min<std::int64_t>(cy + r, image.height); ++py) {
                for (std::int64_t px = std::max<std::int64_t>(cx - r, 0);
                     px < std::min<std::int64_t>(cx + r, image.width); ++px) {
                    const double dx = px + 0.5 - cx;
                    const double dy = py + 0.5 - cy;
                    if (dx * dx + dy * dy <= double(r) * double(r)) {
                        image.pixels[static_cast<std::size_t>(py * image.width + px)] = c;
                    }
                }
            }
            return true;
        }
        if (what == "tri") {
            // A filled triangle: pixels whose centre lies inside (or on an edge of) it.
            std::int64_t v[6];
            std::uint32_t c;
            if (!count(w, 8)) {
                return false;
            }
            for (std::size_t i = 0; i < 6; ++i) {
                if (!s16(w, i + 1, v[i], i % 2 == 0 ? "x" : "y")) {
                    return false;
                }
            }
            if (!colour(w, 7, c)) {
                return false;
            }
            auto edge = [](double ax, double ay, double bx, double by, double px, double py) {
                return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
            };
            const double area =
                edge(double(v[0]), double(v[1]), double(v[2]), double(v[3]), double(v[4]), double(v[5]));
            if (area == 0.0) {
                return true;
            }
            const std::int64_t left = std::max<std::int64_t>(std::min({v[0], v[2], v[4]}), 0);
            const std::int64_t right = std::min<std::int64_t>(std::max({v[0], v[2], v[4]}), image.width);
            const std::int64_t top = std::max<std::int64_t>(std::min({v[1], v[3], v[5]}), 0);
            const std::int64_t bottom = std::min<std::int64_t>(std::max({v[1], v[3], v[5]}), image.height);
            for (std::int64_t py = top; py < bottom; ++py) {
                for (std::int64_t px = left; px < right; ++px) {
                    const double x = px + 0.5, y = py + 0.5;
                    const double e0 = edge(double(v[0]), double(v[1]), double(v[2]), double(v[3]), x, y);
                    const double e1 = edge(double(v[2]), double(v[3]), double(v[4]), double(v[5]), x, y);
                    const double e2 = edge(double(v[4]), double(v[5]), double(v[0]), double(v[1]), x, y);
                    const bool inside =
                        area > 0 ? (e0 >= 0 && e1 >= 0 && e2 >= 0) : (e0 <= 0 && e1 <= 0 && e2 <= 0);
                    if (inside) {
                        image.pixels[static_cast<std::size_t>(py * image.width + px)] = c;
                    }
                }
            }
            return true;
        }
        if (what == "gradient") {
            // A rectangle shaded from one colour at its top row to another at its bottom row.
            std::int64_t x, y, rw, rh;
            std::uint32_t top, bottom;
            if (!count(w, 7) || !s16(w, 1, x, "x") || !s16(w, 2, y, "y") ||
                !arg(w, 3, 1, 32767, rw, "width") || !arg(w, 4, 1, 32767, rh, "height") ||
                !colour(w, 5, top) || !colour(w, 6, bottom)) {
                return false;
            }
            for (std::int64_t py = std::max<std::int64_t>(y, 0);
                 py < std::min<std::int64_t>(y + rh, image.height); ++py) {
                const double t = rh > 1 ? double(py - y) / double(rh - 1) : 0.0;
                std::uint32_t c = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    const double a = double((top >> shift) & 0xFF), b = double((bottom >> shift) & 0xFF);
                    c |= static_cast<std::uint32_t>(std::lround(a + (b - a) * t)) << shift;
                }
                for (std::int64_t px = std::max<std::int64_t>(x, 0);
                     px < std::min<std::int64_t>(x + rw, image.width); ++px) {
                    image.pixels[static_cast<std::size_t>(py * image.width + px)] = c;
                }
            }
            return true;
        }
        return fail("unknown paint command '" + what + "'");
    }

    bool instruction(std::vector<std::uint16_t>& program, const Record& rect,
                     const std::vector<std::string>& w) {
        const std::string& op = w[0];
        auto word = [](std::int64_t v) { return static_cast<std::uint16_t>(static_cast<std::int16_t>(v)); };
        std::int64_t a = 0, b = 0, c = 0;
        if (op == "sprite") {
            if (!count(w, 4) || !arg(w, 1, 0, 1023, a, "slot") || !s16(w, 2, b, "source x") ||
                !s16(w, 3, c, "source y")) {
                return false;
            }
            const auto size = static_cast<std::size_t>(a) < slotSize.size()
                                  ? slotSize[static_cast<std::size_t>(a)]
                                  : std::pair<std::int32_t, std::int32_t>{-1, -1};
            if (size.first >= 0 && (b < 0 || c < 0 || b + rect.w > size.first || c + rect.h > size.second)) {
                return fail("sprite " + std::to_string(rect.w) + "x" + std::to_string(rect.h) + " at (" +
                            std::to_string(b) + ", " + std::to_string(c) + ") is outside the " +
                            std::to_string(size.first) + "x" + std::to_string(size.second) +
                            " texture of slot " + std::to_string(a));
            }
            program.insert(program.end(), {tileSpriteWord(static_cast<std::int32_t>(a)), word(b), word(c)});
        } else if (op == "flipx" || op == "flipy") {
            if (!count(w, 1)) {
                return false;
            }
            program.push_back(op == "flipx" ? TILEOP_FlipX : TILEOP_FlipY);
        } else if (op == "offset") {
            if (!count(w, 3) || !s16(w, 1, a, "x") || !s16(w, 2, b, "y")) {
                return false;
            }
            program.insert(program.end(), {TILEOP_Offset, word(a), word(b)});
        } else if (op == "draw") {
            if (!count(w, 2)) {
                return false;
            }
            auto named = tileNumbers.find(w[1]);
            if (named != tileNumbers.end()) {
                a = named->second;
            } else if (!number(w[1], a) || a < 0 || a >= static_cast<std::int64_t>(records.size())) {
                return fail("'" + w[1] + "' is not a tile defined before this one");
            }
            program.insert(program.end(), {TILEOP_Tile, word(a)});
        } else if (op == "frame") {
            if (!count(w, 4) || !arg(w, 2, 1, 32767, b, "period") || !arg(w, 3, 1, 32767, c, "frame count") ||
                !arg(w, 1, 0, c - 1, a, "frame")) {
                return false;
            }
            program.insert(program.end(), {TILEOP_Frame, word(a), word(b), word(c)});
        } else if (op == "color") {
            std::uint32_t argb;
            if (!count(w, 2) || !colour(w, 1, argb)) {
                return false;
            }
            program.insert(program.end(), {TILEOP_Color, static_cast<std::uint16_t>(argb >> 16),
                                           static_cast<std::uint16_t>(argb & 0xFFFF)});
        } else if (op == "blend") {
            if (!count(w, 2) || !arg(w, 1, -1, 7, a, "blend mode")) {
                return false;
            }
            program.insert(program.end(), {TILEOP_BlendMode, word(a)});
        } else if (op == "line") {
            if (!count(w, 3) || !s16(w, 1, a, "dx") || !s16(w, 2, b, "dy")) {
                return false;
            }
            program.insert(program.end(), {TILEOP_Line, word(b), word(a)}); // stored dy first
        } else if (op == "fill" || op == "outline") {
            if (!count(w, 3) || !s16(w, 1, a, "width") || !s16(w, 2, b, "height")) {
                return false;
            }
            program.insert(program.end(),
                           {op == "fill" ? std::uint16_t(TILEOP_FillRect) : std::uint16_t(TILEOP_Rect),
                            word(a), word(b)});
        } else if (op == "joint") {
            if (!count(w, 2) || !s16(w, 1, a, "key")) {
                return false;
            }
            program.insert(program.end(), {TILEOP_Joint, word(a)});
        } else {
            return fail("unknown tile operation '" + op + "'");
        }
        return true;
    }

    static bool identifier(const std::string& name) {
        if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0]))) {
            return false;
        }
        for (char c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') {
                return false;
            }
        }
        return true;
    }

    bool setSlot(std::int64_t slot, const std::string& path) {
        if (path.find_first_of("\"\\") != std::string::npos) {
            return fail("a texture path may not hold quotes or backslashes");
        }
        const auto s = static_cast<std::size_t>(slot);
        if (out.textures.size() <= s) {
            out.textures.resize(s + 1);
            slotSize.resize(s + 1, {-1, -1});
        }
        if (!out.textures[s].empty()) {
            return fail("slot " + std::to_string(slot) + " is given twice");
        }
        out.textures[s] = path;
        auto p = painted.find(path);
        if (p != painted.end()) {
            slotSize[s] = {out.images[p->second].width, out.images[p->second].height};
        } else if (imageSize != nullptr) {
            std::int32_t w = 0, h = 0;
            if (!imageSize(path, w, h)) {
                return fail("can't read the image " + path);
            }
            slotSize[s] = {w, h};
        }
        return true;
    }

    bool run(const std::string& text) {
        std::istringstream lines(text);
        std::string line;
        enum { Top, InImage, InTile } state = Top;
        PaintedImage* image = nullptr;
        std::vector<std::uint16_t> program;
        Record rect{};
        std::string tileName;
        while (std::getline(lines, line)) {
            ++lineNumber;
            if (auto hash = line.find('#'); hash != std::string::npos) {
                line.resize(hash);
            }
            std::istringstream in(line);
            std::vector<std::string> w;
            for (std::string word; in >> word;) {
                w.push_back(word);
            }
            if (w.empty()) {
                continue;
            }
            if (state != Top && w[0] == "end") {
                if (!count(w, 1)) {
                    return false;
                }
                if (state == InTile) {
                    if (programs.size() >= 65535) {
                        return fail("more than 65535 tiles");
                    }
                    tileNumbers[tileName] = static_cast<std::int32_t>(records.size());
                    out.tileNames.push_back(tileName);
                    records.push_back(rect);
                    programs.push_back(program);
                }
                state = Top;
                continue;
            }
            if (state == InImage) {
                if (!paint(*image, w)) {
                    return false;
                }
                continue;
            }
            if (state == InTile) {
                if (!instruction(program, rect, w)) {
                    return false;
                }
                continue;
            }
            if (w[0] == "image") {
                std::int64_t iw, ih, background = 0;
                if ((w.size() != 4 && w.size() != 5) || !arg(w, 2, 1, 4096, iw, "width") ||
                    !arg(w, 3, 1, 4096, ih, "height") ||
                    (w.size() == 5 && !arg(w, 4, 0, 0xFFFFFFFFll, background, "colour"))) {
                    return out.error.empty() ? fail("image takes a path, a width, a height and a colour")
                                             : false;
                }
                if (painted.count(w[1]) != 0) {
                    return fail("the image " + w[1] + " is painted twice");
                }
                painted[w[1]] = out.images.size();
                out.images.push_back({w[1], static_cast<std::int32_t>(iw), static_cast<std::int32_t>(ih),
                                      std::vector<std::uint32_t>(static_cast<std::size_t>(iw * ih),
                                                                 static_cast<std::uint32_t>(background))});
                image = &out.images.back();
                state = InImage;
            } else if (w[0] == "texture") {
                std::int64_t slot;
                if (!count(w, 3) || !arg(w, 1, 0, 1023, slot, "slot") || !setSlot(slot, w[2])) {
                    return false;
                }
            } else if (w[0] == "tile") {
                std::int64_t x, y, tw, th;
                if (!count(w, 6) || !s16(w, 2, x, "x") || !s16(w, 3, y, "y") ||
                    !arg(w, 4, 0, 32767, tw, "width") || !arg(w, 5, 0, 32767, th, "height")) {
                    return false;
                }
                if (!identifier(w[1])) {
                    return fail("the tile name " + w[1] + " is not a script identifier");
                }
                if (tileNumbers.count(w[1]) != 0) {
                    return fail("the tile " + w[1] + " is defined twice");
                }
                tileName = w[1];
                rect = {static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                        static_cast<std::int16_t>(tw), static_cast<std::int16_t>(th)};
                program.clear();
                state = InTile;
            } else {
                return fail("unknown statement '" + w[0] + "'");
            }
        }
        if (state != Top) {
            return fail("missing 'end'");
        }
        encode();
        return true;
    }

    void encode() {
        std::vector<std::uint8_t>& b = out.tileSet;
        auto put16 = [&](std::uint32_t v) { tools::appendLE16(b, v); };
        put16(static_cast<std::uint32_t>(records.size()));
        std::uint32_t end = 0;
        for (std::size_t t = 0; t < records.size(); ++t) {
            put16(static_cast<std::uint16_t>(records[t].x));
            put16(static_cast<std::uint16_t>(records[t].y));
            put16(static_cast<std::uint16_t>(records[t].w));
            put16(static_cast<std::uint16_t>(records[t].h));
            end += static_cast<std::uint32_t>(programs[t].size());
            put16(end & 0xFFFF);
            put16(end >> 16);
        }
        for (const auto& program : programs) {
            for (std::uint16_t word : program) {
                put16(word);
            }
        }
    }
};

} // namespace

bool compileTileSetSource(const std::string& text, TileSetSource& out, ImageSizeQuery imageSize) {
    out = TileSetSource{};
    Compiler compiler(out, imageSize);
    if (!compiler.run(text)) {
        const std::string error = out.error;
        out = TileSetSource{};
        out.error = error;
        return false;
    }
    // What was written must pass the engine's own checks (depth and size limits included).
    TileSetData check;
    std::string why;
    if (!check.open(out.tileSet.data(), out.tileSet.size(), &why)) {
        out = TileSetSource{};
        out.error = "the tile set fails its checks: " + why;
        return false;
    }
    return true;
}

std::vector<std::uint8_t> encodeTga(const PaintedImage& image) {
    std::vector<std::uint8_t> b(18, 0);
    b[2] = 2; // uncompressed true colour
    b[12] = static_cast<std::uint8_t>(image.width);
    b[13] = static_cast<std::uint8_t>(image.width >> 8);
    b[14] = static_cast<std::uint8_t>(image.height);
    b[15] = static_cast<std::uint8_t>(image.height >> 8);
    b[16] = 32;
    b[17] = 0x28; // eight alpha bits, top row first
    b.reserve(18 + image.pixels.size() * 4);
    for (std::uint32_t p : image.pixels) {
        b.insert(b.end(), {static_cast<std::uint8_t>(p), static_cast<std::uint8_t>(p >> 8),
                           static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 24)});
    }
    return b;
}

std::string tileSetScript(const TileSetSource& source, const std::string& origin) {
    std::string s =
        "// Made by tileset_builder from " + origin + ": tile numbers by name, textures by slot.\n";
    s += "TileNumbers <- {\n";
    for (std::size_t t = 0; t < source.tileNames.size(); ++t) {
        s += "  " + source.tileNames[t] + " = " + std::to_string(t) + ",\n";
    }
    s += "};\nTileTextures <- [";
    for (std::size_t i = 0; i < source.textures.size(); ++i) {
        s += (i > 0 ? ", " : "") +
             (source.textures[i].empty() ? std::string("null") : "\"" + source.textures[i] + "\"");
    }
    s += "];\n";
    return s;
}
