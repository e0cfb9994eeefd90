#include "math/rect_f.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

void RectF::Union(const RectF& r) {
    if (IsEmpty()) {
        *this = r;
        return;
    }
    float right = std::max(X + Width, r.X + r.Width);
    float bottom = std::max(Y + Height, r.Y + r.Height);
    X = std::min(X, r.X);
    Y = std::min(Y, r.Y);
    Width = right - X;
    Height = bottom - Y;
}

void RectF::Intersect(const RectF& r) {
    float right = std::min(X + Width, r.X + r.Width);
    float bottom = std::min(Y + Height, r.Y + r.Height);
    X = std::max(X, r.X);
    Y = std::max(Y, r.Y);
    Width = right - X;
    Height = bottom - Y;
}

std::string RectF::toString() const {
    char text[256];
    std::snprintf(text, sizeof text, "RectF(%f, %f, %f, %f)", X, Y, Width, Height);
    return text;
}

std::span<const ValueMember> RectF::Members() {
    static const ValueMember members[] = {
        {"X", offsetof(RectF, X), ValueMemberKind::Float},
        {"Y", offsetof(RectF, Y), ValueMemberKind::Float},
        {"Width", offsetof(RectF, Width), ValueMemberKind::Float},
        {"Height", offsetof(RectF, Height), ValueMemberKind::Float},
    };
    return members;
}
