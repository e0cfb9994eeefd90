#pragma once
// For the transport benchmarks: a town-like road map (avenues every `spacing` cells and, in each block, one
// side street across and one along at uneven offsets, a fifth of them cut short into dead ends), and the bare
// positionable their vehicles are.
#include <cstdint>
#include <random>
#include <vector>

#include "component/object_interfaces.h"

// A vehicle: only a position, which the transport mover sets.
class Vehicle final : public IPositionable {
public:
    void* QueryInterface(InterfaceId id) override { return queryAmong<IPositionable>(this, id); }
    void SetPosition(const Matrix3& position) override { m_position = position; }
    Matrix3 GetPosition() override { return m_position; }

private:
    Matrix3 m_position;
};

inline std::vector<std::uint8_t> townMap(std::mt19937& random, std::int32_t size, std::int32_t spacing,
                                         std::uint8_t road) {
    std::vector<std::uint8_t> cells(std::size_t(size) * std::size_t(size), 0);
    const auto put = [&](std::int32_t x, std::int32_t y) { cells[std::size_t(y * size + x)] = road; };
    for (std::int32_t y = 0; y < size; ++y)
        for (std::int32_t x = 0; x < size; ++x)
            if (x % spacing == 0 || y % spacing == 0) put(x, y);
    std::uniform_int_distribution<std::int32_t> offset(spacing / 4, spacing * 3 / 4), chance(0, 4),
        cut(3, spacing * 5 / 8);
    for (std::int32_t by = 0; by + spacing < size; by += spacing) {
        for (std::int32_t bx = 0; bx + spacing < size; bx += spacing) {
            const std::int32_t y = by + offset(random), x = bx + offset(random);
            const std::int32_t endX = chance(random) == 0 ? bx + cut(random) : bx + spacing;
            const std::int32_t endY = chance(random) == 0 ? by + cut(random) : by + spacing;
            for (std::int32_t k = bx; k < endX; ++k) put(k, y);
            for (std::int32_t k = by; k < endY; ++k) put(x, k);
        }
    }
    return cells;
}
