#include "math/rect.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

namespace {

std::int64_t rightOf(const Rect& r) {
    return std::int64_t{r.X} + r.Width;
}

std::int64_t bottomOf(const Rect& r) {
    return std::int64_t{r.Y} + r.Height;
}

// Sizes beyond the int32 range wrap, as they would in script integer arithmetic.
std::int32_t toInt32(std::int64_t value) {
    return static_cast<std::int32_t>(value);
}

} // namespace

void Rect::Union(const Rect& r) {
    if (IsEmpty()) {
        *this = r;
        return;
    }
    std::int64_t right = std::max(rightOf(*this), rightOf(r));
    std::int64_t bottom = std::max(bottomOf(*this), bottomOf(r));
    X = std::min(X, r.X);
    Y = std::min(Y, r.Y);
    Width = toInt32(right - X);
    Height = toInt32(bottom - Y);
}

void Rect::Intersect(const Rect& r) {
    std::int64_t right = std::min(rightOf(*this), rightOf(r));
    std::int64_t bottom = std::min(bottomOf(*this), bottomOf(r));
    X = std::max(X, r.X);
    Y = std::max(Y, r.Y);
    Width = toInt32(right - X);
    Height = toInt32(bottom - Y);
}

bool Rect::IsPointIn(std::int32_t x, std::int32_t y) const {
    return X <= x && x < rightOf(*this) && Y <= y && y < bottomOf(*this);
}

std::string Rect::toString() const {
    char text[64];
    std::snprintf(text, sizeof text, "Rect(%d, %d, %d, %d)", X, Y, Width, Height);
    return text;
}

std::span<const ValueMember> Rect::Members() {
    static const ValueMember members[] = {
        {"X", offsetof(Rect, X), ValueMemberKind::Int32},
        {"Y", offsetof(Rect, Y), ValueMemberKind::Int32},
        {"Width", offsetof(Rect, Width), ValueMemberKind::Int32},
        {"Height", offsetof(Rect, Height), ValueMemberKind::Int32},
    };
    return members;
}
