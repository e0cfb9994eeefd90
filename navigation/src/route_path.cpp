#include "navigation/route_path.h"

#include "component/stream_interfaces.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

// A count the stream cannot vouch for is read this many points at a time, so a lying count allocates only as
// far as bytes really arrive.
constexpr std::int32_t kReadChunk = 4096;

void putFloat(unsigned char* out, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>(bits >> (8 * i));
}

float getFloat(const unsigned char* in) {
    std::uint32_t bits = std::uint32_t(in[0]) | std::uint32_t(in[1]) << 8 | std::uint32_t(in[2]) << 16 |
                         std::uint32_t(in[3]) << 24;
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

} // namespace

void RoutePath::recompute() {
    if (m_points.empty()) {
        m_length = 0.0f;
        return;
    }
    float sum = 0.0f;
    m_points[0].distance = 0.0f;
    for (std::size_t i = 1; i < m_points.size(); ++i) {
        float dx = m_points[i].position.x - m_points[i - 1].position.x;
        float dy = m_points[i].position.y - m_points[i - 1].position.y;
        sum += std::sqrt(dx * dx + dy * dy);
        m_points[i].distance = sum;
    }
    m_length = sum;
}

void RoutePath::addPosition(const Vector2& position) {
    m_points.push_back({position, {}, 0.0f});
    // Only the new point's distance changes.
    std::size_t n = m_points.size();
    if (n == 1) {
        m_length = 0.0f;
        return;
    }
    float dx = position.x - m_points[n - 2].position.x;
    float dy = position.y - m_points[n - 2].position.y;
    m_length = m_points[n - 2].distance + std::sqrt(dx * dx + dy * dy);
    m_points[n - 1].distance = m_length;
}

void RoutePath::clear() {
    m_points.clear();
    m_length = 0.0f;
}

void RoutePath::assign(const Vector2* positions, std::size_t count) {
    m_points.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        m_points[i] = {positions[i], {}, 0.0f};
    }
    recompute();
}

void RoutePath::removePoint(std::int32_t index) {
    if (index < 0 || index >= pointCount()) {
        return;
    }
    m_points.erase(m_points.begin() + index);
    recompute();
}

void RoutePath::transform(const Matrix3& m) {
    for (RoutePoint& point : m_points) {
        point.position = m.MultVrt(point.position);
    }
    recompute();
}

RouteProgress RoutePath::progress(float d) const {
    RouteProgress answer;
    answer.distance = d;
    if (m_points.size() <= 1) {
        return answer;
    }
    // The first point i >= 1 whose distance is not below d (distances never decrease).
    auto it = std::lower_bound(m_points.begin() + 1, m_points.end(), d,
                               [](const RoutePoint& p, float value) { return p.distance < value; });
    if (it == m_points.end()) {
        return answer;
    }
    const RoutePoint& a = *(it - 1);
    const RoutePoint& b = *it;
    Vector2 delta = b.position - a.position;
    float span = b.distance - a.distance;
    answer.position = span == 0.0f ? a.position : a.position + delta * ((d - a.distance) / span);
    float segment = delta.GetMagnitude();
    if (segment > 0.0f) {
        answer.direction = {delta.x / segment, delta.y / segment};
    }
    return answer;
}

Vector2 RoutePath::pointPosition(std::int32_t index) const {
    return index >= 0 && index < pointCount() ? m_points[static_cast<std::size_t>(index)].position
                                              : Vector2();
}

Vector2 RoutePath::pointDirection(std::int32_t index) const {
    return index >= 0 && index < pointCount() ? m_points[static_cast<std::size_t>(index)].direction
                                              : Vector2();
}

float RoutePath::pointDistance(std::int32_t index) const {
    return index >= 0 && index < pointCount() ? m_points[static_cast<std::size_t>(index)].distance : 0.0f;
}

bool RoutePath::write(IOutputStream* stream) const {
    if (stream == nullptr) {
        return false;
    }
    unsigned char record[8];
    auto count = static_cast<std::uint32_t>(m_points.size());
    for (int i = 0; i < 4; ++i) record[i] = static_cast<unsigned char>(count >> (8 * i));
    if (stream->Write(record, 4) != 4) {
        return false;
    }
    for (const RoutePoint& point : m_points) {
        putFloat(record, point.position.x);
        putFloat(record + 4, point.position.y);
        if (stream->Write(record, 8) != 8) {
            return false;
        }
    }
    return true;
}

bool RoutePath::read(IInputStream* stream) {
    if (stream == nullptr) {
        return false;
    }
    unsigned char header[4];
    if (stream->Read(header, 4) != 4) {
        return false;
    }
    auto count = static_cast<std::int32_t>(std::uint32_t(header[0]) | std::uint32_t(header[1]) << 8 |
                                           std::uint32_t(header[2]) << 16 | std::uint32_t(header[3]) << 24);
    if (count < 0) {
        return false;
    }
    std::int64_t available = stream->Available();
    if (available >= 0 && std::int64_t(count) * 8 > available) {
        return false;
    }
    std::vector<RoutePoint> incoming;
    try {
        if (available >= 0) {
            incoming.reserve(static_cast<std::size_t>(count));
        }
        std::vector<unsigned char> bytes;
        for (std::int32_t done = 0; done < count;) {
            std::int32_t step = std::min(kReadChunk, count - done);
            bytes.resize(static_cast<std::size_t>(step) * 8);
            if (stream->Read(bytes.data(), step * 8) != step * 8) {
                return false;
            }
            for (std::int32_t i = 0; i < step; ++i) {
                incoming.push_back({{getFloat(&bytes[8 * i]), getFloat(&bytes[8 * i + 4])}, {}, 0.0f});
            }
            done += step;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_points.swap(incoming);
    recompute();
    return true;
}
