#pragma once
// The tile-set builder's compiler: a readable description in, the binary tile-set file (graphics/tile_set.h),
// the images it paints and a script naming the tiles and the texture of each slot out.
//
// The description is line based; '#' starts a comment; numbers are decimal, or hexadecimal with "0x"; colours
// are ARGB. Top-level blocks end with "end":
//
//     image res/tiles/ground.tga 64 32 0x00000000    # paints a 32-bit TGA of that size and background
//       rect 0 0 32 16 0xFF3A8F5A                    # filled rectangle x y w h colour
//       disc 48 8 6 0xFF2E6A94                       # filled disc centre x y, radius, colour
//       diamond 0 16 32 16 0xFFC8B27A                # filled rhombus inside the box x y w h
//       tri 0 0 16 0 8 12 0xFFD04A3A                 # filled triangle through three corners
//       gradient 0 0 32 8 0xFF87CEEB 0xFF2E6A94      # rectangle shaded from its top colour to its bottom one
//     end
//     texture 0 res/tiles/ground.tga                 # what slot 0 loads (the image's size is checked)
//     tile grass -16 -8 32 16                        # a tile: name, rectangle x y w h relative to its anchor
//       sprite 0 0 0                                 # slot, source x y (the tile's size is cut from there)
//       flipx / flipy                                # toggle a flip for what follows
//       offset 4 -2                                  # offset for nested tiles, lines and rectangles
//       draw grass                                   # a nested tile, by name (defined earlier) or number
//       frame 0 250 4                                # following nested tiles only on frame 0 of 4 x 250 ms
//       color 0xFFFFFFFF / blend 2                   # drawing colour and blend mode
//       line dx dy / fill w h / outline w h          # shapes at the offset
//       joint 1                                      # a joint (marker) with that key
//     end
//
// Tiles are numbered in the order they are defined. Every value is range-checked; a nested tile must be
// defined before it is used, so the result can never contain itself.

#include <cstdint>
#include <string>
#include <vector>

struct PaintedImage {
    std::string path;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels; // ARGB, top row first
};

struct TileSetSource {
    std::vector<std::uint8_t> tileSet;  // the binary file
    std::vector<PaintedImage> images;   // images the description paints
    std::vector<std::string> tileNames; // by tile number
    std::vector<std::string> textures;  // by slot ("" for none)
    std::string error;                  // "line N: ..." when compiling failed
};

// Compiles the description. False with `out.error` set on the first fault. `imageSize` answers the size of an
// image file that the description names but does not paint (false when it cannot be read); null skips those
// checks.
using ImageSizeQuery = bool (*)(const std::string& path, std::int32_t& width, std::int32_t& height);
bool compileTileSetSource(const std::string& text, TileSetSource& out, ImageSizeQuery imageSize = nullptr);

// A 32-bit uncompressed TGA (top row first) of the image.
std::vector<std::uint8_t> encodeTga(const PaintedImage& image);

// The script that names the tiles and slots: `TileNumbers <- { name = number, ... }` and
// `TileTextures <- [path or null by slot]`.
std::string tileSetScript(const TileSetSource& source, const std::string& origin);
