#pragma once
// `RectF`: a float rectangle X, Y, Width, Height. Empty when Width <= 0 or Height <= 0.

#include <span>
#include <string>

#include "math/value_member.h"

struct RectF {
    // The script class name; its address identifies the class to the binding layer.
    static constexpr char ScriptName[] = "RectF";

    float X = 0.0f;
    float Y = 0.0f;
    float Width = 0.0f;
    float Height = 0.0f;

    constexpr RectF() = default;
    constexpr RectF(float x, float y, float width, float height) : X(x), Y(y), Width(width), Height(height) {}

    bool IsEmpty() const { return Width <= 0.0f || Height <= 0.0f; }
    // In place: r when this is empty, else the smallest rectangle holding both.
    void Union(const RectF& r);
    // In place: the overlap; the result may be empty (non-positive size).
    void Intersect(const RectF& r);
    // X <= x < X + Width and Y <= y < Y + Height.
    bool IsPointIn(float x, float y) const { return X <= x && x < X + Width && Y <= y && y < Y + Height; }

    // "RectF(%f, %f, %f, %f)".
    std::string toString() const;

    // Script member variables `X`, `Y`, `Width`, `Height`.
    static std::span<const ValueMember> Members();
};
