#pragma once
// `Vector2`: two 32-bit floats. All arithmetic stays in single precision.

#include <span>
#include <string>

#include "math/value_member.h"

struct Vector2 {
    // The script class name; its address identifies the class to the binding layer.
    static constexpr char ScriptName[] = "Vector2";

    float x = 0.0f;
    float y = 0.0f;

    constexpr Vector2() = default;
    constexpr explicit Vector2(float s) : x(s), y(s) {}
    constexpr Vector2(float xValue, float yValue) : x(xValue), y(yValue) {}

    // `_add`, `_sub`, `_mul`, `_div` (multiplies by 1 / s), `_unm`.
    Vector2 operator+(const Vector2& o) const { return {x + o.x, y + o.y}; }
    Vector2 operator-(const Vector2& o) const { return {x - o.x, y - o.y}; }
    Vector2 operator*(float s) const { return {x * s, y * s}; }
    Vector2 operator/(float s) const { return *this * (1.0f / s); }
    Vector2 operator-() const { return {-x, -y}; }

    // Exact equality of both components.
    bool Equal(const Vector2& o) const { return x == o.x && y == o.y; }
    // Divides by the magnitude in place; a zero vector becomes NaN.
    void Normalize();
    Vector2 GetNormalized() const;
    float GetMagnitude() const;
    float GetSquareMagnitude() const { return x * x + y * y; }
    // Both components finite.
    bool IsValid() const;

    // Class-level functions (the script receiver is ignored).
    static float GetDotProduct(const Vector2& a, const Vector2& b) { return a.x * b.x + a.y * b.y; }
    // Signed angle between two unit vectors; negative when b lies clockwise of a.
    static float AngleBetween(const Vector2& a, const Vector2& b);
    // a + t * (b - a).
    static Vector2 Lerp(const Vector2& a, const Vector2& b, float t) { return a + (b - a) * t; }
    // (-v.y, v.x).
    static Vector2 GetOrthogonal(const Vector2& v) { return {-v.y, v.x}; }

    // "Vector2(%f, %f)".
    std::string toString() const;

    // Script member variables `x`, `y`.
    static std::span<const ValueMember> Members();
};
