#pragma once
// The cursor maker behind hh-cursor: pixel pictures drawn as text in, 32-bit BMP cursor files out.
//
//     colour . 0x00000000          # a character and the ARGB colour it stands for
//     colour # 0xFF101010
//     cursor 100                   # a cursor named 100 (res/cursors/100.bmp); rows follow, one per line
//     #.......
//     ##......
//     end
//
// Every row of a cursor has the same width; a cursor is at most 64 x 64 and at least 1 x 1. Characters
// without a colour are faults. The hot spot is the top-left corner, where the engine expects it.

#include <cstdint>
#include <string>
#include <vector>

struct CursorPicture {
    std::string name;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels; // ARGB, top row first
};

// False with `error` ("line N: ...") on the first fault.
bool parseCursors(const std::string& text, std::vector<CursorPicture>& out, std::string& error);

// A BMP with a V4 header: 32 bits per pixel, bit fields for R, G, B and alpha, rows bottom-up.
std::vector<std::uint8_t> encodeCursorBmp(const CursorPicture& picture);
