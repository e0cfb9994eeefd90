#pragma once
// Bakes a TrueType (or any FreeType-readable) font at one pixel size into a bitmap font: a text description
// in the BMFont text format and its page images (white glyphs whose alpha is the coverage), which the
// engine's Font reads.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct BakeOptions {
    std::string fontPath; // the TrueType file
    std::string outPath;  // "<folder>/<name>.fnt"; pages become "<name>_<n>.png" beside it
    int pixelSize = 16;   // the em size in pixels
    int pageSize = 256;   // square pages
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges{{32, 126}}; // inclusive code point ranges
    // Code points drawn with another character's glyph: (code point, glyph source).
    std::vector<std::pair<std::uint32_t, std::uint32_t>> aliases;
};

// Parses "32-126,160-255,8364" into ranges; false on a malformed list.
bool parseRanges(const std::string& text, std::vector<std::pair<std::uint32_t, std::uint32_t>>& ranges);

// Bakes; on failure false with a message in `error`.
bool bakeFont(const BakeOptions& options, std::string& error);
