#include "tools/font_baker/font_bake.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "tools/font_baker/png_writer.h"

namespace {

struct BakedGlyph {
    std::uint32_t codePoint = 0;
    FT_UInt index = 0;
    int width = 0, height = 0;
    int xOffset = 0, yOffset = 0, advance = 0;
    std::vector<std::uint8_t> coverage; // width x height
    int page = 0, x = 0, y = 0;
};

struct FreeTypeLibrary {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FreeTypeLibrary() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

int roundedPixels(FT_Pos value26_6) {
    return static_cast<int>((value26_6 + 32) >> 6);
}

// Renders one code point's glyph (from `source`, which may differ for aliases).
bool renderGlyph(FT_Face face, std::uint32_t codePoint, std::uint32_t source, int base, BakedGlyph& out) {
    const FT_UInt index = FT_Get_Char_Index(face, source);
    if (index == 0 && source != 0) {
        return false;
    }
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) {
        return false;
    }
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY && bitmap.rows > 0) {
        return false;
    }
    out.codePoint = codePoint;
    out.index = index;
    out.width = static_cast<int>(bitmap.width);
    out.height = static_cast<int>(bitmap.rows);
    out.xOffset = slot->bitmap_left;
    out.yOffset = base - slot->bitmap_top;
    out.advance = roundedPixels(slot->advance.x);
    out.coverage.resize(std::size_t(out.width) * out.height);
    for (int y = 0; y < out.height; ++y) {
        const unsigned char* row = bitmap.buffer + std::ptrdiff_t(y) * bitmap.pitch;
        std::copy(row, row + out.width, out.coverage.begin() + std::ptrdiff_t(y) * out.width);
    }
    return true;
}

// Shelf packing, tallest glyphs first, with one pixel of space between glyphs. Answers the page count.
int pack(std::vector<BakedGlyph*>& glyphs, int pageSize, std::string& error) {
    std::stable_sort(glyphs.begin(), glyphs.end(),
                     [](const BakedGlyph* a, const BakedGlyph* b) { return a->height > b->height; });
    int page = 0, x = 1, y = 1, shelf = 0;
    for (BakedGlyph* g : glyphs) {
        if (g->width + 2 > pageSize || g->height + 2 > pageSize) {
            error = "a glyph is larger than a page; use a larger --page";
            return -1;
        }
        if (x + g->width + 1 > pageSize) {
            x = 1;
            y += shelf + 1;
            shelf = 0;
        }
        if (y + g->height + 1 > pageSize) {
            ++page;
            x = 1;
            y = 1;
            shelf = 0;
        }
        g->page = page;
        g->x = x;
        g->y = y;
        x += g->width + 1;
        shelf = std::max(shelf, g->height);
    }
    return page + 1;
}

std::string stemOf(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

bool parseRanges(const std::string& text, std::vector<std::pair<std::uint32_t, std::uint32_t>>& ranges) {
    ranges.clear();
    std::stringstream list(text);
    std::string item;
    while (std::getline(list, item, ',')) {
        char* end = nullptr;
        const unsigned long first = std::strtoul(item.c_str(), &end, 0);
        unsigned long last = first;
        if (end == item.c_str()) {
            return false;
        }
        if (*end == '-') {
            const char* from = end + 1;
            last = std::strtoul(from, &end, 0);
            if (end == from) {
                return false;
            }
        }
        if (*end != 0 || last < first || last > 0x10FFFF) {
            return false;
        }
        ranges.emplace_back(static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(last));
    }
    return !ranges.empty();
}

bool bakeFont(const BakeOptions& options, std::string& error) {
    if (options.pixelSize < 4 || options.pixelSize > 256 || options.pageSize < 16 ||
        options.pageSize > 4096) {
        error = "size or page size out of range";
        return false;
    }
    FreeTypeLibrary ft;
    if (FT_Init_FreeType(&ft.library) != 0) {
        error = "FreeType cannot start";
        return false;
    }
    if (FT_New_Face(ft.library, options.fontPath.c_str(), 0, &ft.face) != 0) {
        error = "cannot read the font " + options.fontPath;
        return false;
    }
    FT_Face face = ft.face;
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(options.pixelSize)) != 0) {
        error = "the font has no size " + std::to_string(options.pixelSize);
        return false;
    }
    const int base = roundedPixels(face->size->metrics.ascender);
    int lineHeight = roundedPixels(face->size->metrics.height);

    // Code point -> glyph source, in code point order.
    std::map<std::uint32_t, std::uint32_t> wanted;
    for (const auto& [first, last] : options.ranges) {
        for (std::uint32_t c = first; c <= last; ++c) {
            wanted[c] = c;
        }
    }
    for (const auto& [codePoint, source] : options.aliases) {
        wanted[codePoint] = source;
    }
    std::vector<BakedGlyph> glyphs;
    glyphs.reserve(wanted.size());
    for (const auto& [codePoint, source] : wanted) {
        BakedGlyph glyph;
        if (renderGlyph(face, codePoint, source, base, glyph)) {
            glyphs.push_back(std::move(glyph));
        }
    }
    if (glyphs.empty()) {
        error = "the font has none of the requested characters";
        return false;
    }
    // Every glyph fits inside its line (an underscore can hang below the font's own line height).
    for (const BakedGlyph& g : glyphs) {
        if (g.height > 0) {
            lineHeight = std::max(lineHeight, g.yOffset + g.height);
        }
    }
    std::vector<BakedGlyph*> order;
    for (BakedGlyph& g : glyphs) {
        order.push_back(&g);
    }
    const int pages = pack(order, options.pageSize, error);
    if (pages < 0) {
        return false;
    }

    const std::string stem = stemOf(options.outPath);
    const std::string folder = folderOf(options.outPath);
    if (!folder.empty()) {
        std::error_code ignored; // a folder that cannot be made shows as a failed write below
        std::filesystem::create_directories(folder, ignored);
    }
    const std::size_t pageBytes = std::size_t(options.pageSize) * options.pageSize * 4;
    for (int p = 0; p < pages; ++p) {
        std::vector<std::uint8_t> rgba(pageBytes, 0);
        for (const BakedGlyph& g : glyphs) {
            if (g.page != p) continue;
            for (int y = 0; y < g.height; ++y) {
                for (int x = 0; x < g.width; ++x) {
                    std::uint8_t* px = &rgba[(std::size_t(g.y + y) * options.pageSize + g.x + x) * 4];
                    px[0] = px[1] = px[2] = 0xFF;
                    px[3] = g.coverage[std::size_t(y) * g.width + x];
                }
            }
        }
        const std::string pagePath = folder + stem + "_" + std::to_string(p) + ".png";
        if (!writePngRgba(pagePath, static_cast<std::uint32_t>(options.pageSize),
                          static_cast<std::uint32_t>(options.pageSize), rgba)) {
            error = "cannot write " + pagePath;
            return false;
        }
    }

    // Kerning pairs between every two baked characters the font's kerning table knows.
    std::vector<std::string> kernings;
    if (FT_HAS_KERNING(face)) {
        for (const BakedGlyph& a : glyphs) {
            for (const BakedGlyph& b : glyphs) {
                FT_Vector delta{};
                if (FT_Get_Kerning(face, a.index, b.index, FT_KERNING_DEFAULT, &delta) == 0) {
                    const int amount = roundedPixels(delta.x);
                    if (amount != 0) {
                        kernings.push_back("kerning first=" + std::to_string(a.codePoint) + " second=" +
                                           std::to_string(b.codePoint) + " amount=" + std::to_string(amount));
                    }
                }
            }
        }
    }

    std::ofstream out(options.outPath, std::ios::binary);
    out << "info face=\"" << face->family_name << "\" size=" << options.pixelSize
        << " bold=0 italic=0 charset=\"\" unicode=1 stretchH=100 smooth=1 aa=1 padding=0,0,0,0 spacing=1,1\n";
    out << "common lineHeight=" << lineHeight << " base=" << base << " scaleW=" << options.pageSize
        << " scaleH=" << options.pageSize << " pages=" << pages << " packed=0\n";
    for (int p = 0; p < pages; ++p) {
        out << "page id=" << p << " file=\"" << stem << "_" << p << ".png\"\n";
    }
    out << "chars count=" << glyphs.size() << "\n";
    for (const BakedGlyph& g : glyphs) {
        out << "char id=" << g.codePoint << " x=" << g.x << " y=" << g.y << " width=" << g.width
            << " height=" << g.height << " xoffset=" << g.xOffset << " yoffset=" << g.yOffset
            << " xadvance=" << g.advance << " page=" << g.page << " chnl=15\n";
    }
    if (!kernings.empty()) {
        out << "kernings count=" << kernings.size() << "\n";
        for (const std::string& line : kernings) {
            out << line << "\n";
        }
    }
    out.close();
    if (!out) {
        error = "cannot write " + options.outPath;
        return false;
    }
    return true;
}
