#include "math/vector3.h"

#include <cmath>
#include <cstddef>
#include <cstdio>

void Vector3::Normalize() {
    float magnitude = GetMagnitude();
    x /= magnitude;
    y /= magnitude;
    z /= magnitude;
}

Vector3 Vector3::GetNormalized() const {
    Vector3 result = *this;
    result.Normalize();
    return result;
}

float Vector3::GetMagnitude() const {
    return std::sqrt(GetSquareMagnitude());
}

std::string Vector3::toString() const {
    // "%f" of a float near FLT_MAX has 39 integer digits; three of them fit.
    char text[192];
    std::snprintf(text, sizeof text, "Vector3(%f, %f, %f)", x, y, z);
    return text;
}

std::span<const ValueMember> Vector3::Members() {
    static const ValueMember members[] = {
        {"x", offsetof(Vector3, x), ValueMemberKind::Float},
        {"y", offsetof(Vector3, y), ValueMemberKind::Float},
        {"z", offsetof(Vector3, z), ValueMemberKind::Float},
    };
    return members;
}
