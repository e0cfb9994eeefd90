#pragma once
// The engine's one pseudo-random generator, shared by the script math library's `rand`/`srand`, the global
// script functions built on them and the world builders. Its outputs lie in 0…32767 (ENGINE_RAND_MAX), so
// every "value × r / 32768" and "r / RAND_MAX" computation stays in range whatever the C library's own
// generator does. A fixed seed gives a fixed sequence on every machine.
//
// Until a seed is given it is seeded from the calendar time in seconds at first use, as the process start-up
// seeds its generator.

#include <cstdint>

inline constexpr std::int32_t ENGINE_RAND_MAX = 32767;

// Restarts the sequence from seed.
void engineSeedRandom(std::uint32_t seed);
// The next value, 0…ENGINE_RAND_MAX.
std::int32_t engineRandom();
