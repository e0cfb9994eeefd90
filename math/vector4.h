#pragma once
// `Vector4`: four 32-bit floats. All arithmetic stays in single precision.

#include <span>
#include <string>

#include "math/value_member.h"
#include "math/vector3.h"

struct Vector4 {
    // The script class name; its address identifies the class to the binding layer.
    static constexpr char ScriptName[] = "Vector4";

    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float w = 0.0f;

    constexpr Vector4() = default;
    constexpr explicit Vector4(float s) : x(s), y(s), z(s), w(s) {}
    constexpr Vector4(float xValue, float yValue, float zValue = 0.0f, float wValue = 0.0f)
        : x(xValue), y(yValue), z(zValue), w(wValue) {}

    // `_add`, `_sub`, `_mul`, `_div` (multiplies by 1 / s), `_unm`.
    Vector4 operator+(const Vector4& o) const { return {x + o.x, y + o.y, z + o.z, w + o.w}; }
    Vector4 operator-(const Vector4& o) const { return {x - o.x, y - o.y, z - o.z, w - o.w}; }
    Vector4 operator*(float s) const { return {x * s, y * s, z * s, w * s}; }
    Vector4 operator/(float s) const { return *this * (1.0f / s); }
    Vector4 operator-() const { return {-x, -y, -z, -w}; }

    // Divides by the magnitude (over all four components) in place.
    void Normalize();
    Vector4 GetNormalized() const;
    float GetMagnitude() const;
    float GetSquareMagnitude() const { return x * x + y * y + z * z + w * w; }

    // Class-level functions (the script receiver is ignored).
    static float GetDotProduct(const Vector4& a, const Vector4& b) {
        return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    }
    // The cross product of the x, y, z parts.
    static Vector3 GetCrossProduct(const Vector4& a, const Vector4& b) {
        return Vector3::GetCrossProduct({a.x, a.y, a.z}, {b.x, b.y, b.z});
    }
    // a + t * (b - a), all four components.
    static Vector4 Lerp(const Vector4& a, const Vector4& b, float t) { return a + (b - a) * t; }

    // "Vector4(%f, %f, %f, %f)".
    std::string toString() const;

    // Script member variables `x`, `y`, `z`, `w`.
    static std::span<const ValueMember> Members();
};
