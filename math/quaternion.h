#pragma once
// `Quaternion`: x, y, z, w as 32-bit floats. The vector part is stored as a `Vector3` so that
// scripts can bind it as the member `v` (copied in and out) beside the float member `w`.

#include <span>
#include <string>

#include "math/matrix4.h"
#include "math/value_member.h"
#include "math/vector3.h"

struct Quaternion {
    // The script class name; its address identifies the class to the binding layer.
    static constexpr char ScriptName[] = "Quaternion";

    Vector3 v; // x, y, z
    float w = 0.0f;

    // (0, 0, 0, 0).
    constexpr Quaternion() = default;
    constexpr Quaternion(float x, float y, float z, float wValue) : v(x, y, z), w(wValue) {}
    // The rotation of the matrix (FromMatrix).
    explicit Quaternion(const Matrix4& matrix) { FromMatrix(matrix); }
    // (axis * sin(angle / 2), cos(angle / 2)); the axis is not normalised.
    Quaternion(float angle, const Vector3& axis);
    // Slerp of a and b at t.
    Quaternion(const Quaternion& a, const Quaternion& b, float t) { Slerp(a, b, t); }

    // Component-wise `_add`, `_sub`; `_mul`, `_div` scale all four.
    Quaternion operator+(const Quaternion& o) const {
        return {v.x + o.v.x, v.y + o.v.y, v.z + o.v.z, w + o.w};
    }
    Quaternion operator-(const Quaternion& o) const {
        return {v.x - o.v.x, v.y - o.v.y, v.z - o.v.z, w - o.w};
    }
    Quaternion operator*(float s) const { return {v.x * s, v.y * s, v.z * s, w * s}; }
    Quaternion operator/(float s) const { return {v.x / s, v.y / s, v.z / s, w / s}; }
    // `_unm`: the conjugate (-x, -y, -z, w).
    Quaternion operator-() const { return {-v.x, -v.y, -v.z, w}; }

    // Divides by the magnitude in place.
    void Normalize();
    Quaternion GetNormalized() const;
    float GetMagnitude() const;
    float GetSquareMagnitude() const { return v.x * v.x + v.y * v.y + v.z * v.z + w * w; }

    // In place: the rotation of the matrix's 3x3 part (the inverse of ToMatrix).
    void FromMatrix(const Matrix4& matrix);
    Matrix4 ToMatrix() const;
    // In place: the spherical interpolation of a and b at t, along the shorter arc.
    void Slerp(const Quaternion& a, const Quaternion& b, float t);
    // (-x, -y, -z, w) / (x^2 + y^2 + z^2 + w^2).
    Quaternion Inverse() const;

    // "Quaternion(%s, %f)": x, y, z as "Vector3(%f, %f, %f)", then w.
    std::string toString() const;

    // Script member variables `v` (a Vector3 copy) and `w`.
    static std::span<const ValueMember> Members();
};
