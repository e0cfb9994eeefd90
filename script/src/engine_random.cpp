// A linear congruential generator with 15-bit output: state × 214013 + 2531011, output bits 16…30.
#include "script/engine_random.h"

#include <ctime>

namespace {

std::uint32_t g_state = 0;
bool g_seeded = false;

} // namespace

void engineSeedRandom(std::uint32_t seed) {
    g_state = seed;
    g_seeded = true;
}

std::int32_t engineRandom() {
    if (!g_seeded) engineSeedRandom(static_cast<std::uint32_t>(std::time(nullptr)));
    g_state = g_state * 214013u + 2531011u;
    return static_cast<std::int32_t>((g_state >> 16) & 0x7FFFu);
}
