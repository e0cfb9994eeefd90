#pragma once
// `Vector3`: three 32-bit floats. All arithmetic stays in single precision.

#include <span>
#include <string>

#include "math/value_member.h"

struct Vector3 {
    // The script class name; its address identifies the class to the binding layer.
    static constexpr char ScriptName[] = "Vector3";

    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;

    constexpr Vector3() = default;
    constexpr explicit Vector3(float s) : x(s), y(s), z(s) {}
    constexpr Vector3(float xValue, float yValue, float zValue = 0.0f) : x(xValue), y(yValue), z(zValue) {}

    // `_add`, `_sub`, `_mul`, `_div` (multiplies by 1 / s), `_unm`.
    Vector3 operator+(const Vector3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vector3 operator-(const Vector3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vector3 operator*(float s) const { return {x * s, y * s, z * s}; }
    Vector3 operator/(float s) const { return *this * (1.0f / s); }
    Vector3 operator-() const { return {-x, -y, -z}; }

    // Divides by the magnitude in place; a zero vector becomes NaN.
    void Normalize();
    Vector3 GetNormalized() const;
    float GetMagnitude() const;
    float GetSquareMagnitude() const { return x * x + y * y + z * z; }

    // Class-level functions (the script receiver is ignored).
    static float GetDotProduct(const Vector3& a, const Vector3& b) {
        return a.x * b.x + a.y * b.y + a.z * b.z;
    }
    // a x b.
    static Vector3 GetCrossProduct(const Vector3& a, const Vector3& b) {
        return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
    }
    // a + t * (b - a).
    static Vector3 Lerp(const Vector3& a, const Vector3& b, float t) { return a + (b - a) * t; }

    // "Vector3(%f, %f, %f)".
    std::string toString() const;

    // Script member variables `x`, `y`, `z`.
    static std::span<const ValueMember> Members();
};
