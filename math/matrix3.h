#pragma once
// `Matrix3`: 3x3 row-major 32-bit floats acting on row vectors (p' = p * M). As a 2D transform
// row 0 is the X axis, row 1 the Y axis and row 2 the origin; the third column is (0, 0, 1).

#include <string>

#include "math/vector2.h"
#include "math/vector3.h"

struct Matrix3 {
    // The script class name; its address identifies the class to the binding layer.
    static constexpr char ScriptName[] = "Matrix3";

    float m[3][3] = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}};

    // Identity.
    constexpr Matrix3() = default;
    // Identity axes with the given origin.
    constexpr explicit Matrix3(const Vector2& origin) : Matrix3({1.0f, 0.0f}, {0.0f, 1.0f}, origin) {}
    // X axis as given, Y axis (-xAxis.y, xAxis.x) perpendicular to it, origin.
    constexpr Matrix3(const Vector2& xAxis, const Vector2& origin)
        : Matrix3(xAxis, {-xAxis.y, xAxis.x}, origin) {}
    constexpr Matrix3(const Vector2& xAxis, const Vector2& yAxis, const Vector2& origin)
        : m{{xAxis.x, xAxis.y, 0.0f}, {yAxis.x, yAxis.y, 0.0f}, {origin.x, origin.y, 1.0f}} {}

    // Element-wise `_add`, `_sub`, `_div`.
    Matrix3 operator+(const Matrix3& o) const;
    Matrix3 operator-(const Matrix3& o) const;
    Matrix3 operator/(float s) const;
    // The product this * o: transforming by the result applies this first, then o.
    // The script operator `a * b` is `b * a` here (it applies b first).
    Matrix3 operator*(const Matrix3& o) const;
    // `_unm`: the transpose with every element negated.
    Matrix3 operator-() const;

    Vector2 GetXVec() const { return {m[0][0], m[0][1]}; }
    Vector2 GetYVec() const { return {m[1][0], m[1][1]}; }
    Vector2 GetOrigin() const { return {m[2][0], m[2][1]}; }
    void SetXVec(const Vector2& v) { m[0][0] = v.x, m[0][1] = v.y; }
    void SetYVec(const Vector2& v) { m[1][0] = v.x, m[1][1] = v.y; }
    void SetOrigin(const Vector2& v) { m[2][0] = v.x, m[2][1] = v.y; }

    // Scales rows 0 and 1 to unit length over their first two elements and resets the third
    // column to (0, 0, 1); the origin is kept. Zero axes become NaN.
    void Normalize();
    Matrix3 GetNormalized() const;

    // v * M over all three columns.
    Vector3 Mult(const Vector3& v) const;
    // v times the transposed 2x2 part: (x*m00 + y*m01, x*m10 + y*m11).
    Vector2 MultInvVect(const Vector2& v) const;
    // MultInvVect of p - origin (the inverse of MultVrt for an orthonormal matrix).
    Vector2 MultInvVrt(const Vector2& p) const;
    // Direction through the 2x2 part: (x*m00 + y*m10, x*m01 + y*m11).
    Vector2 MultVect(const Vector2& v) const;
    // In place: the X axis times s.x, the Y axis times s.y.
    void MultVecs(const Vector2& s);
    // Point through the transform: MultVect(p) + origin.
    Vector2 MultVrt(const Vector2& p) const;

    // General inverse by cofactors; a singular matrix gives infinities or NaNs.
    Matrix3 Inverse() const;
    Matrix3 Transpose() const;

    // "Matrix3(%s, %s, %s)", each row as "Vector3(%f, %f, %f)".
    std::string toString() const;
};
