#include "math/quaternion.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <numbers>

Quaternion::Quaternion(float angle, const Vector3& axis) {
    float half = angle * 0.5f;
    v = axis * std::sin(half);
    w = std::cos(half);
}

void Quaternion::Normalize() {
    float magnitude = GetMagnitude();
    v.x /= magnitude;
    v.y /= magnitude;
    v.z /= magnitude;
    w /= magnitude;
}

Quaternion Quaternion::GetNormalized() const {
    Quaternion r = *this;
    r.Normalize();
    return r;
}

float Quaternion::GetMagnitude() const {
    return std::sqrt(GetSquareMagnitude());
}

void Quaternion::FromMatrix(const Matrix4& matrix) {
    const auto& m = matrix.m;
    float trace = m[0][0] + m[1][1] + m[2][2];
    if (trace > 0.0f) {
        w = std::sqrt(trace + 1.0f) * 0.5f;
        float k = 1.0f / (4.0f * w);
        v = {(m[2][1] - m[1][2]) * k, (m[0][2] - m[2][0]) * k, (m[1][0] - m[0][1]) * k};
        return;
    }
    // Start from the largest of x, y, z so that the divisor stays far from zero.
    if (m[0][0] >= m[1][1] && m[0][0] >= m[2][2]) {
        float x = std::sqrt(1.0f + 2.0f * m[0][0] - trace) * 0.5f;
        float k = 1.0f / (4.0f * x);
        v = {x, (m[0][1] + m[1][0]) * k, (m[0][2] + m[2][0]) * k};
        w = (m[2][1] - m[1][2]) * k;
    } else if (m[1][1] >= m[2][2]) {
        float y = std::sqrt(1.0f + 2.0f * m[1][1] - trace) * 0.5f;
        float k = 1.0f / (4.0f * y);
        v = {(m[0][1] + m[1][0]) * k, y, (m[1][2] + m[2][1]) * k};
        w = (m[0][2] - m[2][0]) * k;
    } else {
        float z = std::sqrt(1.0f + 2.0f * m[2][2] - trace) * 0.5f;
        float k = 1.0f / (4.0f * z);
        v = {(m[0][2] + m[2][0]) * k, (m[1][2] + m[2][1]) * k, z};
        w = (m[1][0] - m[0][1]) * k;
    }
}

Matrix4 Quaternion::ToMatrix() const {
    float x = v.x, y = v.y, z = v.z;
    Matrix4 r;
    r.m[0][0] = 1.0f - 2.0f * (y * y + z * z);
    r.m[0][1] = 2.0f * (x * y - z * w);
    r.m[0][2] = 2.0f * (x * z + y * w);
    r.m[1][0] = 2.0f * (x * y + z * w);
    r.m[1][1] = 1.0f - 2.0f * (x * x + z * z);
    r.m[1][2] = 2.0f * (y * z - x * w);
    r.m[2][0] = 2.0f * (x * z - y * w);
    r.m[2][1] = 2.0f * (y * z + x * w);
    r.m[2][2] = 1.0f - 2.0f * (x * x + y * y);
    return r;
}

void Quaternion::Slerp(const Quaternion& a, const Quaternion& b, float t) {
    float c = a.v.x * b.v.x + a.v.y * b.v.y + a.v.z * b.v.z + a.w * b.w;
    float sign = (c < 0.0f) ? -1.0f : 1.0f;
    float magnitude = std::fabs(c);
    float k0, k1;
    if (1.0f - magnitude > 0.00001f) {
        float theta = (magnitude < -1.0f)  ? std::numbers::pi_v<float>
                      : (magnitude > 1.0f) ? 0.0f
                                           : std::acos(magnitude);
        float sinTheta = std::sin(theta);
        k0 = std::sin((1.0f - t) * theta) / sinTheta;
        k1 = sign * std::sin(t * theta) / sinTheta;
    } else {
        // Nearly parallel: the arc is too short for the sine ratio, interpolate linearly.
        k0 = 1.0f - t;
        k1 = sign * t;
    }
    *this = a * k0 + b * k1;
}

Quaternion Quaternion::Inverse() const {
    return -*this / GetSquareMagnitude();
}

std::string Quaternion::toString() const {
    char text[64];
    std::snprintf(text, sizeof text, "%f", w);
    return "Quaternion(" + v.toString() + ", " + text + ")";
}

std::span<const ValueMember> Quaternion::Members() {
    static const ValueMember members[] = {
        {"v", offsetof(Quaternion, v), ValueMemberKind::Vector3},
        {"w", offsetof(Quaternion, w), ValueMemberKind::Float},
    };
    return members;
}
