#include "math/vector2.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <numbers>

void Vector2::Normalize() {
    float magnitude = GetMagnitude();
    x /= magnitude;
    y /= magnitude;
}

Vector2 Vector2::GetNormalized() const {
    Vector2 result = *this;
    result.Normalize();
    return result;
}

float Vector2::GetMagnitude() const {
    return std::sqrt(GetSquareMagnitude());
}

bool Vector2::IsValid() const {
    return std::isfinite(x) && std::isfinite(y);
}

float Vector2::AngleBetween(const Vector2& a, const Vector2& b) {
    float d = a.x * b.x + a.y * b.y;
    float sign = (b.x * a.y - b.y * a.x < 0.0f) ? -1.0f : 1.0f;
    // Rounding can push the dot product of unit vectors just outside acos's domain.
    if (d < -1.0f) {
        return sign * std::numbers::pi_v<float>;
    }
    if (d > 1.0f) {
        return 0.0f;
    }
    return sign * std::acos(d);
}

std::string Vector2::toString() const {
    char text[128];
    std::snprintf(text, sizeof text, "Vector2(%f, %f)", x, y);
    return text;
}

std::span<const ValueMember> Vector2::Members() {
    static const ValueMember members[] = {
        {"x", offsetof(Vector2, x), ValueMemberKind::Float},
        {"y", offsetof(Vector2, y), ValueMemberKind::Float},
    };
    return members;
}
