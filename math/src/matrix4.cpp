#include "math/matrix4.h"

#include "math/src/square_matrix.h"

#include <cmath>

Matrix4::Matrix4(const Vector3& xAxis, const Vector3& origin) {
    float ax = std::fabs(xAxis.x), ay = std::fabs(xAxis.y), az = std::fabs(xAxis.z);
    Vector3 leastAligned;
    if (ax <= ay && ax <= az) {
        leastAligned = {1.0f, 0.0f, 0.0f};
    } else if (ay <= az) {
        leastAligned = {0.0f, 1.0f, 0.0f};
    } else {
        leastAligned = {0.0f, 0.0f, 1.0f};
    }
    Vector3 yAxis = Vector3::GetCrossProduct(xAxis, leastAligned).GetNormalized();
    *this = Matrix4(xAxis, yAxis, Vector3::GetCrossProduct(xAxis, yAxis), origin);
}

Matrix4 Matrix4::operator+(const Matrix4& o) const {
    return generateMatrix<Matrix4>([&](int i, int j) { return m[i][j] + o.m[i][j]; });
}

Matrix4 Matrix4::operator-(const Matrix4& o) const {
    return generateMatrix<Matrix4>([&](int i, int j) { return m[i][j] - o.m[i][j]; });
}

Matrix4 Matrix4::operator/(float s) const {
    return generateMatrix<Matrix4>([&](int i, int j) { return m[i][j] / s; });
}

Matrix4 Matrix4::operator*(const Matrix4& o) const {
    return multiplyMatrices(*this, o);
}

Matrix4 Matrix4::operator-() const {
    return generateMatrix<Matrix4>([&](int i, int j) { return -m[j][i]; });
}

void Matrix4::Normalize() {
    for (int i = 0; i < 3; ++i) {
        setRow(i, row(i).GetNormalized());
        m[i][3] = 0.0f;
    }
    m[3][3] = 1.0f;
}

Matrix4 Matrix4::GetNormalized() const {
    Matrix4 r = *this;
    r.Normalize();
    return r;
}

Vector4 Matrix4::Mult(const Vector4& v) const {
    float in[4] = {v.x, v.y, v.z, v.w};
    float out[4];
    for (int j = 0; j < 4; ++j) {
        out[j] = in[0] * m[0][j] + in[1] * m[1][j] + in[2] * m[2][j] + in[3] * m[3][j];
    }
    return {out[0], out[1], out[2], out[3]};
}

Vector3 Matrix4::MultInvVect(const Vector3& v) const {
    return {v.x * m[0][0] + v.y * m[0][1] + v.z * m[0][2], v.x * m[1][0] + v.y * m[1][1] + v.z * m[1][2],
            v.x * m[2][0] + v.y * m[2][1] + v.z * m[2][2]};
}

Vector3 Matrix4::MultInvVrt(const Vector3& p) const {
    return MultInvVect(p - GetOrigin());
}

Vector3 Matrix4::MultVect(const Vector3& v) const {
    return {v.x * m[0][0] + v.y * m[1][0] + v.z * m[2][0], v.x * m[0][1] + v.y * m[1][1] + v.z * m[2][1],
            v.x * m[0][2] + v.y * m[1][2] + v.z * m[2][2]};
}

void Matrix4::MultVecs(const Vector3& s) {
    setRow(0, row(0) * s.x);
    setRow(1, row(1) * s.y);
    setRow(2, row(2) * s.z);
}

Vector3 Matrix4::MultVrt(const Vector3& p) const {
    return MultVect(p) + GetOrigin();
}

Matrix4 Matrix4::Inverse() const {
    // Signed cofactor of element (i, j): the determinant of the 3x3 minor without row i and column j.
    auto cofactor = [this](int i, int j) {
        int rows[3], cols[3];
        for (int k = 0, r = 0, c = 0; k < 4; ++k) {
            if (k != i) {
                rows[r++] = k;
            }
            if (k != j) {
                cols[c++] = k;
            }
        }
        auto e = [&](int a, int b) { return m[rows[a]][cols[b]]; };
        float minor = e(0, 0) * (e(1, 1) * e(2, 2) - e(1, 2) * e(2, 1)) -
                      e(0, 1) * (e(1, 0) * e(2, 2) - e(1, 2) * e(2, 0)) +
                      e(0, 2) * (e(1, 0) * e(2, 1) - e(1, 1) * e(2, 0));
        return ((i + j) % 2 == 0) ? minor : -minor;
    };
    float cofactors[4][4];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            cofactors[i][j] = cofactor(i, j);
        }
    }
    float det = m[0][0] * cofactors[0][0] + m[0][1] * cofactors[0][1] + m[0][2] * cofactors[0][2] +
                m[0][3] * cofactors[0][3];
    float inverseDet = 1.0f / det;
    return generateMatrix<Matrix4>([&](int i, int j) { return cofactors[j][i] * inverseDet; });
}

Matrix4 Matrix4::Transpose() const {
    return generateMatrix<Matrix4>([&](int i, int j) { return m[j][i]; });
}

Matrix4 Matrix4::Rotation(float a, float b, float c) {
    float ca = std::cos(a), sa = std::sin(a);
    float cb = std::cos(b), sb = std::sin(b);
    float cc = std::cos(c), sc = std::sin(c);
    Matrix4 r;
    r.m[0][0] = cb * cc;
    r.m[0][1] = cb * sc;
    r.m[0][2] = -sb;
    r.m[1][0] = sa * sb * cc - ca * sc;
    r.m[1][1] = ca * cc + sa * sb * sc;
    r.m[1][2] = sa * cb;
    r.m[2][0] = ca * sb * cc + sa * sc;
    r.m[2][1] = ca * sb * sc - sa * cc;
    r.m[2][2] = ca * cb;
    return r;
}

Matrix4 Matrix4::RotationZ(float a) {
    float c = std::cos(a), s = std::sin(a);
    Matrix4 r;
    r.m[0][0] = c;
    r.m[0][1] = s;
    r.m[1][0] = -s;
    r.m[1][1] = c;
    return r;
}

std::string Matrix4::toString() const {
    std::string text = "Matrix4(";
    for (int i = 0; i < 4; ++i) {
        text += Vector4(m[i][0], m[i][1], m[i][2], m[i][3]).toString();
        text += (i < 3) ? ", " : ")";
    }
    return text;
}
