#pragma once
// The effect compiler: a readable effect source in, the binary effect file (graphics/particles/README.md,
// "Format") out. The pictures are painted by the compiler from the source's drawing commands and embedded as
// 32-bit TGA files, so no picture is ever drawn by hand. The language is described in README.md beside this
// file; every value is range-checked, and the result is read back through the engine's own reader before it
// is handed out.

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/particles/effect_data.h"

struct EffectSource {
    particles::EffectData data;
    std::string error; // "line N: ..." when compiling failed
};

// Compiles source text. False with `out.error` set on the first fault.
bool compileEffectSource(const std::string& text, EffectSource& out);

// The bytes of a 32-bit top-left-origin TGA of width x height RGBA pixels.
std::vector<std::uint8_t> encodeTgaRgba(int width, int height, const std::vector<std::uint8_t>& rgba);
