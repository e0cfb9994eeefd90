#pragma once
// `Rect`: an integer rectangle X, Y, Width, Height. Empty when Width <= 0 or Height <= 0. Edge
// sums are computed in 64 bits so extreme values (such as the unbounded clip 2147483647) cannot
// overflow.

#include <cstdint>
#include <span>
#include <string>

#include "math/value_member.h"

struct Rect {
    // The script class name; its address identifies the class to the binding layer.
    static constexpr char ScriptName[] = "Rect";

    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;

    constexpr Rect() = default;
    constexpr Rect(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height)
        : X(x), Y(y), Width(width), Height(height) {}

    bool IsEmpty() const { return Width <= 0 || Height <= 0; }
    // In place: r when this is empty, else the smallest rectangle holding both.
    void Union(const Rect& r);
    // In place: the overlap; the result may be empty (non-positive size).
    void Intersect(const Rect& r);
    // X <= x < X + Width and Y <= y < Y + Height.
    bool IsPointIn(std::int32_t x, std::int32_t y) const;

    // "Rect(%d, %d, %d, %d)".
    std::string toString() const;

    // Script member variables `X`, `Y`, `Width`, `Height`.
    static std::span<const ValueMember> Members();
};
