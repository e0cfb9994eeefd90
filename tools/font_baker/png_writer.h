#pragma once
// A minimal PNG writer for the asset tools: 8-bit RGBA, no interlacing, every row filtered with "Sub" (which
// suits glyph pages, mostly runs of equal pixels), one zlib stream in one IDAT chunk.

#include <cstdint>
#include <string>
#include <vector>

// The PNG file bytes of a width x height RGBA image (rows top first, 4 bytes per pixel); empty when zlib
// fails or the sizes do not match the pixel count.
std::vector<std::uint8_t> encodePngRgba(std::uint32_t width, std::uint32_t height,
                                        const std::vector<std::uint8_t>& rgba);

// Writes the file; false (with errno set) when it cannot.
bool writePngRgba(const std::string& path, std::uint32_t width, std::uint32_t height,
                  const std::vector<std::uint8_t>& rgba);
