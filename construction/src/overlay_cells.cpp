#include "construction/src/overlay_cells.h"

#include <algorithm>
#include <cmath>

namespace construction {

Rect cellsInClip(IGraphics* graphics, const Matrix3& cellToTarget, const Rect& cells) {
    Rect clip = graphics->GetClip();
    clip.Intersect(graphics->GetTargetRect());
    if (clip.IsEmpty() || cells.IsEmpty()) {
        return Rect(0, 0, 0, 0);
    }
    const Matrix3 toCells = cellToTarget.Inverse();
    float low[2] = {INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY};
    for (int corner = 0; corner < 4; ++corner) {
        const float x = float(clip.X) + ((corner & 1) != 0 ? float(clip.Width) : 0.0f);
        const float y = float(clip.Y) + ((corner & 2) != 0 ? float(clip.Height) : 0.0f);
        const Vector2 c = toCells.MultVrt(Vector2{x, y});
        low[0] = std::min(low[0], c.x), high[0] = std::max(high[0], c.x);
        low[1] = std::min(low[1], c.y), high[1] = std::max(high[1], c.y);
    }
    // One cell of margin on each side covers the rounding of the corners.
    // Clamped in 64 bits: `cells` may lie anywhere in the 32-bit range.
    std::int64_t bounds[4];
    for (int axis = 0; axis < 2; ++axis) {
        const float first = std::floor(low[axis]) - 1.0f;
        const float last = std::floor(high[axis]) + 2.0f; // exclusive
        if (!std::isfinite(first) || !std::isfinite(last)) {
            return cells;
        }
        const std::int64_t from = axis == 0 ? cells.X : cells.Y;
        const std::int64_t to = from + (axis == 0 ? cells.Width : cells.Height);
        bounds[axis] = std::clamp(static_cast<std::int64_t>(std::clamp(first, -1e12f, 1e12f)), from, to);
        bounds[axis + 2] = std::clamp(static_cast<std::int64_t>(std::clamp(last, -1e12f, 1e12f)), from, to);
    }
    if (bounds[2] <= bounds[0] || bounds[3] <= bounds[1]) {
        return Rect(0, 0, 0, 0);
    }
    return Rect(static_cast<std::int32_t>(bounds[0]), static_cast<std::int32_t>(bounds[1]),
                static_cast<std::int32_t>(bounds[2] - bounds[0]),
                static_cast<std::int32_t>(bounds[3] - bounds[1]));
}

} // namespace construction
