#pragma once
// `RoutePath`: a polyline measured by arc length, the data of a `Route` without the component (usable on its
// own, with no engine running).
//
// Invariant after every change: the first point's distance is 0, each later point's distance is the one
// before plus the straight distance between the two positions (single precision: dx² + dy², square root,
// added), and the length is the last point's distance (0 without points). Stored directions are kept as they
// are; the path itself never computes them.
//
// Stream record: int32 n, then n × (float x, float y), little-endian; directions and distances are not
// stored, distances are recomputed on reading.

#include "component/game_interfaces.h"
#include "math/matrix3.h"
#include "math/vector2.h"

#include <cstdint>
#include <vector>

class IInputStream;
class IOutputStream;

class RoutePath {
public:
    void addPosition(const Vector2& position);
    void clear();
    // Fewer than two points: a single point is no route to travel.
    bool isEmpty() const { return m_points.size() < 2; }
    float length() const { return m_length; }
    const std::vector<RoutePoint>& points() const { return m_points; }
    std::int32_t pointCount() const { return static_cast<std::int32_t>(m_points.size()); }

    // Replaces the points by `positions` (directions 0).
    void assign(const Vector2* positions, std::size_t count);
    // Removes the point at index (nothing outside 0 … count − 1).
    void removePoint(std::int32_t index);
    // Every position becomes (x, y, 1) × m; directions stay.
    void transform(const Matrix3& m);

    // The place at distance d: on the segment of the first point whose distance is not below d (a negative d
    // extends the first segment backwards); position and direction (0, 0) beyond the end or with at most one
    // point. The direction is the segment's unit vector, (0, 0) on a segment of zero length.
    RouteProgress progress(float d) const;

    // Stored fields of point index; (0, 0) and 0 outside 0 … count − 1.
    Vector2 pointPosition(std::int32_t index) const;
    Vector2 pointDirection(std::int32_t index) const;
    float pointDistance(std::int32_t index) const;

    // The stream record. Writing fails (false) on a short write. Reading fails for a negative count, a count
    // the stream cannot hold, or a short read, and then leaves the path as it was.
    bool write(IOutputStream* stream) const;
    bool read(IInputStream* stream);

private:
    void recompute();

    std::vector<RoutePoint> m_points;
    float m_length = 0.0f;
};
