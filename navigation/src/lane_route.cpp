#include "navigation/lane_route.h"

#include <cmath>
#include <numbers>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// Into (−π, π].
float wrapAngle(float a) {
    while (a > kPi) a -= 2.0f * kPi;
    while (a <= -kPi) a += 2.0f * kPi;
    return a;
}

Vector2 unit(const Vector2& v) {
    float length = v.GetMagnitude();
    return length > 0.0f ? Vector2(v.x / length, v.y / length) : Vector2();
}

} // namespace

void buildLaneRoute(const std::vector<Vector2>& cells, const LaneGeometry& geometry, bool atRoadside,
                    std::vector<Vector2>& out) {
    out.clear();
    std::vector<Vector2> cellPath;
    cellPath.reserve(cells.size());
    for (const Vector2& c : cells) {
        if (cellPath.empty() || !cellPath.back().Equal(c)) cellPath.push_back(c);
    }
    const std::size_t n = cellPath.size();
    if (n == 0) {
        return;
    }
    const float lane = geometry.laneOffset;
    std::vector<Vector2> q(n);
    for (std::size_t i = 0; i < n; ++i) {
        Vector2 d = n == 1 ? Vector2() : i == 0 ? cellPath[1] - cellPath[0] : cellPath[i] - cellPath[i - 1];
        q[i] = cellPath[i] + Vector2(0.5f, 0.5f) + Vector2(-d.y, d.x) * lane;
    }

    out.push_back(q[0]);
    Vector2 prev = q[0];
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const Vector2 cur = q[i];
        const Vector2 next = q[i + 1];
        const Vector2 u1 = unit(cur - prev);
        const Vector2 u2 = unit(next - cur);
        float dot = std::fmax(-1.0f, std::fmin(1.0f, u1.x * u2.x + u1.y * u2.y));
        float theta = std::acos(dot);
        if (u1.x * u2.y - u1.y * u2.x < 0.0f) theta = -theta;
        if (std::fabs(theta) <= 0.7853982f || u1.GetSquareMagnitude() == 0.0f ||
            u2.GetSquareMagnitude() == 0.0f) {
            out.push_back(cur);
            prev = cur;
            continue;
        }
        const float s = theta < 0.0f ? -1.0f : 1.0f;
        const float r = 0.5f - lane;
        const Vector2 corner = cur - u1 * (lane * s);
        const Vector2 centre = corner - u1 * r + Vector2(-u1.y, u1.x) * (r * s);
        const float start = std::atan2(-s * u1.x, s * u1.y);
        const float end = std::atan2(u1.y, u1.x);
        const float step = wrapAngle(end - start) / 8.0f;
        // Nine points from the start angle to the end angle, in eight equal steps.
        for (int k = 0; k <= 8; ++k) {
            const float alpha = start + step * static_cast<float>(k);
            out.push_back(centre + Vector2(std::cos(alpha), std::sin(alpha)) * r);
        }
        prev = corner;
    }
    if (n > 1) {
        out.push_back(q[n - 1]);
    }
    if (atRoadside && out.size() > 1) {
        out[0] = out[0] + unit(Vector2(-(out[1].y - out[0].y), out[1].x - out[0].x)) *
                              (geometry.roadsideOffset - geometry.laneOffset);
    }
}
