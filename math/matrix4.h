#pragma once
// `Matrix4`: 4x4 row-major 32-bit floats acting on row vectors (p' = p * M). As a transform rows
// 0-2 are the X, Y, Z axes and row 3 the origin; the fourth column is (0, 0, 0, 1).

#include <string>

#include "math/vector3.h"
#include "math/vector4.h"

struct Matrix4 {
    // The script class name; its address identifies the class to the binding layer.
    static constexpr char ScriptName[] = "Matrix4";

    float m[4][4] = {{1.0f, 0.0f, 0.0f, 0.0f},
                     {0.0f, 1.0f, 0.0f, 0.0f},
                     {0.0f, 0.0f, 1.0f, 0.0f},
                     {0.0f, 0.0f, 0.0f, 1.0f}};

    // Identity.
    constexpr Matrix4() = default;
    // Identity axes with the given origin.
    constexpr explicit Matrix4(const Vector3& origin)
        : Matrix4({1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, origin) {}
    // X axis as given; Y is the unit vector xAxis x e, where e is the coordinate axis along which
    // xAxis has its smallest magnitude (the first such on ties); Z = xAxis x Y.
    Matrix4(const Vector3& xAxis, const Vector3& origin);
    constexpr Matrix4(const Vector3& xAxis, const Vector3& yAxis, const Vector3& zAxis, const Vector3& origin)
        : m{{xAxis.x, xAxis.y, xAxis.z, 0.0f},
            {yAxis.x, yAxis.y, yAxis.z, 0.0f},
            {zAxis.x, zAxis.y, zAxis.z, 0.0f},
            {origin.x, origin.y, origin.z, 1.0f}} {}

    // Element-wise `_add`, `_sub`, `_div`.
    Matrix4 operator+(const Matrix4& o) const;
    Matrix4 operator-(const Matrix4& o) const;
    Matrix4 operator/(float s) const;
    // The product this * o: transforming by the result applies this first, then o.
    // The script operator `a * b` is `b * a` here (it applies b first).
    Matrix4 operator*(const Matrix4& o) const;
    // `_unm`: the transpose with every element negated.
    Matrix4 operator-() const;

    Vector3 GetXVec() const { return row(0); }
    Vector3 GetYVec() const { return row(1); }
    Vector3 GetZVec() const { return row(2); }
    Vector3 GetOrigin() const { return row(3); }
    void SetXVec(const Vector3& v) { setRow(0, v); }
    void SetYVec(const Vector3& v) { setRow(1, v); }
    void SetZVec(const Vector3& v) { setRow(2, v); }
    void SetOrigin(const Vector3& v) { setRow(3, v); }

    // Scales rows 0-2 to unit length over their first three elements and resets the fourth
    // column to (0, 0, 0, 1); the origin is kept.
    void Normalize();
    Matrix4 GetNormalized() const;

    // v * M.
    Vector4 Mult(const Vector4& v) const;
    // v times the transposed 3x3 part.
    Vector3 MultInvVect(const Vector3& v) const;
    // MultInvVect of p - origin.
    Vector3 MultInvVrt(const Vector3& p) const;
    // Direction through the 3x3 part.
    Vector3 MultVect(const Vector3& v) const;
    // In place: the X axis times s.x, Y times s.y, Z times s.z.
    void MultVecs(const Vector3& s);
    // Point through the transform: MultVect(p) + origin.
    Vector3 MultVrt(const Vector3& p) const;

    // General inverse by cofactors; a singular matrix gives infinities or NaNs.
    Matrix4 Inverse() const;
    Matrix4 Transpose() const;

    // Class-level rotation from the three angles a, b, c (radians).
    static Matrix4 Rotation(float a, float b, float c);
    // Class-level rotation by a about Z.
    static Matrix4 RotationZ(float a);

    // "Matrix4(%s, %s, %s, %s)", each row as "Vector4(%f, %f, %f, %f)".
    std::string toString() const;

private:
    Vector3 row(int i) const { return {m[i][0], m[i][1], m[i][2]}; }
    void setRow(int i, const Vector3& v) { m[i][0] = v.x, m[i][1] = v.y, m[i][2] = v.z; }
};
