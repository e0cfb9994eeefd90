#include "math/vector4.h"

#include <cmath>
#include <cstddef>
#include <cstdio>

void Vector4::Normalize() {
    float magnitude = GetMagnitude();
    x /= magnitude;
    y /= magnitude;
    z /= magnitude;
    w /= magnitude;
}

Vector4 Vector4::GetNormalized() const {
    Vector4 result = *this;
    result.Normalize();
    return result;
}

float Vector4::GetMagnitude() const {
    return std::sqrt(GetSquareMagnitude());
}

std::string Vector4::toString() const {
    char text[256];
    std::snprintf(text, sizeof text, "Vector4(%f, %f, %f, %f)", x, y, z, w);
    return text;
}

std::span<const ValueMember> Vector4::Members() {
    static const ValueMember members[] = {
        {"x", offsetof(Vector4, x), ValueMemberKind::Float},
        {"y", offsetof(Vector4, y), ValueMemberKind::Float},
        {"z", offsetof(Vector4, z), ValueMemberKind::Float},
        {"w", offsetof(Vector4, w), ValueMemberKind::Float},
    };
    return members;
}
