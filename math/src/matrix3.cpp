#include "math/matrix3.h"

#include "math/src/square_matrix.h"

#include <cmath>

Matrix3 Matrix3::operator+(const Matrix3& o) const {
    return generateMatrix<Matrix3>([&](int i, int j) { return m[i][j] + o.m[i][j]; });
}

Matrix3 Matrix3::operator-(const Matrix3& o) const {
    return generateMatrix<Matrix3>([&](int i, int j) { return m[i][j] - o.m[i][j]; });
}

Matrix3 Matrix3::operator/(float s) const {
    return generateMatrix<Matrix3>([&](int i, int j) { return m[i][j] / s; });
}

Matrix3 Matrix3::operator*(const Matrix3& o) const {
    return multiplyMatrices(*this, o);
}

Matrix3 Matrix3::operator-() const {
    return generateMatrix<Matrix3>([&](int i, int j) { return -m[j][i]; });
}

void Matrix3::Normalize() {
    for (int row = 0; row < 2; ++row) {
        float length = std::sqrt(m[row][0] * m[row][0] + m[row][1] * m[row][1]);
        m[row][0] /= length;
        m[row][1] /= length;
    }
    m[0][2] = 0.0f;
    m[1][2] = 0.0f;
    m[2][2] = 1.0f;
}

Matrix3 Matrix3::GetNormalized() const {
    Matrix3 r = *this;
    r.Normalize();
    return r;
}

Vector3 Matrix3::Mult(const Vector3& v) const {
    return {v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0], v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1],
            v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2]};
}

Vector2 Matrix3::MultInvVect(const Vector2& v) const {
    return {v.x * m[0][0] + v.y * m[0][1], v.x * m[1][0] + v.y * m[1][1]};
}

Vector2 Matrix3::MultInvVrt(const Vector2& p) const {
    return MultInvVect(p - GetOrigin());
}

Vector2 Matrix3::MultVect(const Vector2& v) const {
    return {v.x * m[0][0] + v.y * m[1][0], v.x * m[0][1] + v.y * m[1][1]};
}

void Matrix3::MultVecs(const Vector2& s) {
    m[0][0] *= s.x;
    m[0][1] *= s.x;
    m[1][0] *= s.y;
    m[1][1] *= s.y;
}

Vector2 Matrix3::MultVrt(const Vector2& p) const {
    return {p.x * m[0][0] + p.y * m[1][0] + m[2][0], p.x * m[0][1] + p.y * m[1][1] + m[2][1]};
}

Matrix3 Matrix3::Inverse() const {
    // Cofactor c(i, j) of element (i, j); the inverse is the transposed cofactor matrix / det.
    auto cofactor = [this](int i, int j) {
        int r0 = (i + 1) % 3, r1 = (i + 2) % 3;
        int c0 = (j + 1) % 3, c1 = (j + 2) % 3;
        // Cyclic row and column order already carries the cofactor's sign.
        return m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0];
    };
    float det = m[0][0] * cofactor(0, 0) + m[0][1] * cofactor(0, 1) + m[0][2] * cofactor(0, 2);
    float inverseDet = 1.0f / det;
    return generateMatrix<Matrix3>([&](int i, int j) { return cofactor(j, i) * inverseDet; });
}

Matrix3 Matrix3::Transpose() const {
    return generateMatrix<Matrix3>([&](int i, int j) { return m[j][i]; });
}

std::string Matrix3::toString() const {
    return "Matrix3(" + Vector3(m[0][0], m[0][1], m[0][2]).toString() + ", " +
           Vector3(m[1][0], m[1][1], m[1][2]).toString() + ", " +
           Vector3(m[2][0], m[2][1], m[2][2]).toString() + ")";
}
