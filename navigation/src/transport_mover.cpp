#include "navigation/transport_mover.h"

#include "component/component_factory.h"
#include "component/media_interfaces.h"
#include "component/stream_interfaces.h"
#include "navigation/route.h"
#include "navigation/tsp_solver.h"
#include "platform/kd.h"
#include "script/script_call.h"
#include "script/script_host.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {

constexpr char kTag[] = "TransportMover";
constexpr float kPi = std::numbers::pi_v<float>;
constexpr std::size_t kMaxAreas = 255;

// A cell coordinate: truncated toward zero, kept in 16 bits.
std::uint16_t cellCoordinate(float v) {
    return std::isfinite(v) && std::fabs(v) < 1.0e9f
               ? static_cast<std::uint16_t>(static_cast<std::int32_t>(v))
               : 0;
}

std::uint64_t maskBit(std::int32_t value) {
    return value >= 0 && value < 64 ? std::uint64_t(1) << value : 0;
}

float clampedAcos(float dot) {
    return std::acos(std::fmax(-1.0f, std::fmin(1.0f, dot)));
}

void putBytes(unsigned char* out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint32_t getBytes(const unsigned char* in, int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= std::uint32_t(in[i]) << (8 * i);
    return value;
}

// The area's candidate border cells, in search order: x from left − 1 to right + 1, y likewise, without the
// four corners. Cells more than one beyond the map are left out (an area reaching far outside would cost a
// search per cell of nothing).
template <class F> void forEachBorderCell(const Rect& area, std::int32_t width, std::int32_t height, F&& f) {
    const std::int64_t x0 = std::max<std::int64_t>(std::int64_t(area.X) - 1, -1);
    const std::int64_t x1 = std::min<std::int64_t>(std::int64_t(area.X) + area.Width, width);
    const std::int64_t y0 = std::max<std::int64_t>(std::int64_t(area.Y) - 1, -1);
    const std::int64_t y1 = std::min<std::int64_t>(std::int64_t(area.Y) + area.Height, height);
    for (std::int64_t x = x0; x <= x1; ++x) {
        const bool edgeX = x == std::int64_t(area.X) - 1 || x == std::int64_t(area.X) + area.Width;
        for (std::int64_t y = y0; y <= y1; ++y) {
            const bool edgeY = y == std::int64_t(area.Y) - 1 || y == std::int64_t(area.Y) + area.Height;
            if (edgeX && edgeY) continue;
            if (!f(Vector2(static_cast<float>(x), static_cast<float>(y)))) return;
        }
    }
}

} // namespace

TransportMover::TransportMover() {
    m_reachable.reserve(kMaxAreas);
    m_unreachable.reserve(kMaxAreas);
}

void TransportMover::Shutdown() {
    if (m_walking) {
        for (std::int32_t i = 0; i < transportCount(); ++i) removeAt(i);
        return;
    }
    std::vector<Record> records;
    records.swap(m_records);
    m_poses.clear();
}

void TransportMover::SetGridMap(IGridMap* map) {
    m_map.reset(map);
    if (map == nullptr) {
        return;
    }
    const CellValueCodes& codes = map->GetCellValueCodes();
    m_roadMask = maskBit(codes.road) | maskBit(codes.roadIndestructible) | maskBit(codes.roadConstruction);
    m_roadValue = codes.road;
    m_cellToWorld = map->GetPosition();
    m_worldToCell = m_cellToWorld.Inverse();
}

std::int32_t TransportMover::find(IPositionable* transport) const {
    IAbstract* identity = abstractOf(transport);
    if (identity == nullptr) {
        return -1;
    }
    for (std::size_t i = 0; i < m_records.size(); ++i) {
        if (m_records[i].identity == identity && !m_records[i].removed) return static_cast<std::int32_t>(i);
    }
    return -1;
}

TransportMover::Record* TransportMover::recordOf(IPositionable* transport) {
    std::int32_t index = find(transport);
    return index < 0 ? nullptr : &m_records[static_cast<std::size_t>(index)];
}

void TransportMover::AddTransport(IPositionable* transport) {
    if (transport == nullptr) {
        return;
    }
    Record record;
    record.transport.reset(transport);
    record.identity = abstractOf(transport);
    m_records.push_back(std::move(record));
    Matrix3 m = transport->GetPosition();
    m_poses.push_back({m.GetOrigin(), m.GetXVec(), m.GetYVec()});
}

void TransportMover::RemoveTransport(IPositionable* transport) {
    std::int32_t index = find(transport);
    if (index >= 0) {
        removeAt(index);
    }
}

void TransportMover::removeAt(std::int32_t index) {
    // Nobody waits for a transport that is gone.
    for (Record& record : m_records) {
        if (record.blockedBy == index) record.blockedBy = -1;
    }
    if (m_walking) {
        // Marked now and dropped after the walk, so the walk's indexes stay valid.
        Record& record = m_records[static_cast<std::size_t>(index)];
        record.removed = true;
        record.identity = nullptr;
        record.route.reset();
        m_anyRemoved = true;
        return;
    }
    m_records.erase(m_records.begin() + index);
    m_poses.erase(m_poses.begin() + index);
    for (Record& record : m_records) {
        if (record.blockedBy > index) --record.blockedBy;
    }
}

ComponentRef<IRoute> TransportMover::newRoute() const {
    return ComponentRef<IRoute>::adopt(new Route());
}

bool TransportMover::InitMoving(IPositionable* transport, IRoute* cellRoute) {
    Record* record = recordOf(transport);
    if (!m_map || record == nullptr || cellRoute == nullptr || cellRoute->IsEmpty()) {
        return false;
    }
    record->distance = 0.0f;
    const std::vector<RoutePoint>& points = cellRoute->GetPoints();
    m_cellScratch.clear();
    for (const RoutePoint& point : points) m_cellScratch.push_back(point.position);
    buildLaneRoute(m_cellScratch, m_lane, record->atRoadside, m_laneScratch);
    ComponentRef<IRoute> route = newRoute();
    for (const Vector2& p : m_laneScratch) route->AddPosition(m_cellToWorld.MultVrt(p));
    record = recordOf(transport); // nothing above runs scripts, but stay safe against a moved array
    record->route = std::move(route);
    record->cellX = cellCoordinate(points.front().position.x);
    record->cellY = cellCoordinate(points.front().position.y);
    record->atRoadside = false;
    return true;
}

void TransportMover::setPose(std::int32_t index, const RouteProgress& progress) {
    Record& record = m_records[static_cast<std::size_t>(index)];
    Matrix3 m = record.transport->GetPosition();
    const Vector2 u = progress.direction;
    m.m[0][0] = u.x, m.m[0][1] = u.y;
    m.m[1][0] = -u.y, m.m[1][1] = u.x;
    m.m[2][0] = progress.position.x, m.m[2][1] = progress.position.y;
    record.transport->SetPosition(m);
    m_poses[static_cast<std::size_t>(index)] = {progress.position, {u.x, u.y}, {-u.y, u.x}};
}

void TransportMover::InitPosition(IPositionable* transport) {
    std::int32_t index = find(transport);
    if (index >= 0 && m_records[static_cast<std::size_t>(index)].route) {
        setPose(index, m_records[static_cast<std::size_t>(index)].route->GetProgress(0.0f));
    }
}

float TransportMover::GetRouteLength(IPositionable* transport) {
    Record* record = recordOf(transport);
    return m_map && record != nullptr && record->route ? record->route->GetLength() : 0.0f;
}

void TransportMover::refreshPoses() {
    for (std::size_t i = 0; i < m_records.size(); ++i) {
        if (m_records[i].removed) continue;
        Matrix3 m = m_records[i].transport->GetPosition();
        m_poses[i] = {m.GetOrigin(), m.GetXVec(), m.GetYVec()};
    }
    m_posesStale = false;
    if (m_walking) bucketPoses();
}

void TransportMover::bucketPoses() {
    const std::size_t count = m_records.size();
    m_bucketNext.assign(count, -1);
    m_bucketOf.assign(count, -1);
    float minX = 0.0f, minY = 0.0f, maxX = 0.0f, maxY = 0.0f;
    bool any = false;
    for (std::size_t i = 0; i < count; ++i) {
        const Vector2 p = m_poses[i].position;
        if (m_records[i].removed || !std::isfinite(p.x) || !std::isfinite(p.y)) continue;
        minX = any ? std::fmin(minX, p.x) : p.x, maxX = any ? std::fmax(maxX, p.x) : p.x;
        minY = any ? std::fmin(minY, p.y) : p.y, maxY = any ? std::fmax(maxY, p.y) : p.y;
        any = true;
    }
    m_bucketSize =
        std::fmax(m_lookAheadLength + m_lookAheadWidth / 2.0f + std::fabs(m_bucketStep), 1.0f) * 1.01f;
    // At most 256 x 256 buckets: a wider spread gets wider buckets.
    m_bucketSize = std::fmax(m_bucketSize, std::fmax(maxX - minX, maxY - minY) / 255.0f);
    m_bucketOrigin = Vector2(minX, minY);
    m_bucketColumns = static_cast<std::int32_t>((maxX - minX) / m_bucketSize) + 1;
    m_bucketRows = static_cast<std::int32_t>((maxY - minY) / m_bucketSize) + 1;
    m_bucketHead.assign(static_cast<std::size_t>(m_bucketColumns) * static_cast<std::size_t>(m_bucketRows),
                        -1);
    // Filled backwards so each bucket lists its records in registration order.
    for (std::size_t k = count; k-- > 0;) {
        const Vector2 p = m_poses[k].position;
        if (m_records[k].removed || !std::isfinite(p.x) || !std::isfinite(p.y)) continue;
        auto bx = static_cast<std::int32_t>((p.x - minX) / m_bucketSize);
        auto by = static_cast<std::int32_t>((p.y - minY) / m_bucketSize);
        bx = std::clamp(bx, 0, m_bucketColumns - 1), by = std::clamp(by, 0, m_bucketRows - 1);
        const std::int32_t b = by * m_bucketColumns + bx;
        m_bucketOf[k] = b;
        m_bucketNext[k] = m_bucketHead[static_cast<std::size_t>(b)];
        m_bucketHead[static_cast<std::size_t>(b)] = static_cast<std::int32_t>(k);
    }
    m_bucketed = true;
}

bool TransportMover::CanStartMoving(IPositionable* transport) {
    std::int32_t index = find(transport);
    if (index < 0 || !m_records[static_cast<std::size_t>(index)].route) {
        return false;
    }
    if (m_posesStale) refreshPoses();
    const Record& self = m_records[static_cast<std::size_t>(index)];
    const Vector2 u = self.route->GetProgress(0.0f).direction;
    for (std::size_t i = 0; i < m_records.size(); ++i) {
        const Record& other = m_records[i];
        if (static_cast<std::int32_t>(i) == index || other.removed || !other.moving || other.atRoadside ||
            other.cellX != self.cellX || other.cellY != self.cellY) {
            continue;
        }
        if (clampedAcos(Vector2::GetDotProduct(u, m_poses[i].heading)) < kPi) return false;
    }
    return true;
}

void TransportMover::SetMoving(IPositionable* transport, bool moving) {
    if (Record* record = recordOf(transport)) record->moving = moving;
}

void TransportMover::PauseMoving(IPositionable* transport, bool paused) {
    if (Record* record = recordOf(transport)) record->paused = paused;
}

void TransportMover::StopMoving(IPositionable* transport) {
    Record* record = recordOf(transport);
    if (record != nullptr && record->route && !record->route->IsEmpty()) record->route->Clear();
}

bool TransportMover::MoveToRoadsite(IPositionable* transport) {
    std::int32_t index = find(transport);
    if (!m_map || index < 0) {
        return false;
    }
    Record& record = m_records[static_cast<std::size_t>(index)];
    if (!record.route || record.route->IsEmpty()) {
        return false;
    }
    const Vector2 last = toCell(record.route->GetPoints().back().position);
    if (cellCoordinate(last.x) == record.cellX && cellCoordinate(last.y) == record.cellY) {
        return false;
    }
    const Matrix3 pose = record.transport->GetPosition();
    const Vector2 h = pose.GetXVec();
    const Vector2 n = pose.GetYVec();
    float a = std::atan2(h.y, h.x);
    if (a < 0.0f) a += 2.0f * kPi;
    const std::int32_t x = record.cellX, y = record.cellY;
    std::int32_t cells[3][2];
    if (a < kPi / 4.0f) {
        std::int32_t c[3][2] = {{x + 1, y}, {x - 1, y}, {x, y + 1}};
        std::memcpy(cells, c, sizeof(c));
    } else if (a < 3.0f * kPi / 4.0f) {
        std::int32_t c[3][2] = {{x, y + 1}, {x, y - 1}, {x - 1, y}};
        std::memcpy(cells, c, sizeof(c));
    } else if (a < 5.0f * kPi / 4.0f) {
        std::int32_t c[3][2] = {{x - 1, y}, {x + 1, y}, {x, y - 1}};
        std::memcpy(cells, c, sizeof(c));
    } else {
        std::int32_t c[3][2] = {{x, y - 1}, {x, y + 1}, {x + 1, y}};
        std::memcpy(cells, c, sizeof(c));
    }
    if (m_map->GetCellValue(cells[0][0], cells[0][1]) != m_roadValue ||
        m_map->GetCellValue(cells[1][0], cells[1][1]) != m_roadValue ||
        m_map->GetCellValue(cells[2][0], cells[2][1]) == m_roadValue) {
        return false;
    }
    const Vector2 p = toCell(pose.GetOrigin());
    const Vector2 side = p + h * 0.5f + n * (m_lane.roadsideOffset - m_lane.laneOffset);
    record.route->Clear();
    record.route->AddPosition(m_cellToWorld.MultVrt(p));
    record.route->AddPosition(m_cellToWorld.MultVrt(side));
    record.route->AddPosition(m_cellToWorld.MultVrt(side + h * 0.001f));
    record.distance = 0.0f;
    record.atRoadside = true;
    record.moving = true;
    return true;
}

bool TransportMover::onRoad(std::int32_t x, std::int32_t y) {
    std::int32_t value = m_map ? m_map->GetCellValue(x, y) : -1;
    return value >= 0 && (maskBit(value) & m_roadMask) != 0;
}

bool TransportMover::chainLeadsTo(std::int32_t from, std::int32_t target) const {
    // Bounded by the record count: links left by others can never make this walk endless.
    const Record* record = &m_records[static_cast<std::size_t>(from)];
    for (std::size_t steps = 0; steps <= m_records.size(); ++steps) {
        if (record->blockedBy < 0 || record->blockedIn != m_update) return false;
        if (record->blockedBy == target) return true;
        record = &m_records[static_cast<std::size_t>(record->blockedBy)];
        if (record->removed) return false;
    }
    return false;
}

bool TransportMover::blocked(std::int32_t index) {
    if (m_posesStale) refreshPoses();
    Record& self = m_records[static_cast<std::size_t>(index)];
    const Pose& pose = m_poses[static_cast<std::size_t>(index)];
    const Vector2 h = self.distance > 0.0f ? pose.heading : self.route->GetProgress(self.distance).direction;
    const Vector2 n = pose.normal;
    const float half = m_lookAheadWidth / 2.0f;
    const float reach = m_lookAheadLength + half;
    // The first record in registration order that blocks: all candidates are tried, the lowest index kept.
    std::int32_t first = -1;
    const auto consider = [&](std::size_t i) {
        if (first >= 0 && static_cast<std::int32_t>(i) > first) return;
        const Pose& other = m_poses[i];
        const float vx = other.position.x - pose.position.x;
        const float vy = other.position.y - pose.position.y;
        if (std::fabs(vx) > reach || std::fabs(vy) > reach || static_cast<std::int32_t>(i) == index) return;
        const Record& record = m_records[i];
        if (record.removed || !record.moving || record.atRoadside) return;
        const float ahead = h.x * vx + h.y * vy;
        if (ahead < 0.0f || ahead > m_lookAheadLength || std::fabs(n.x * vx + n.y * vy) > half) return;
        if (clampedAcos(Vector2::GetDotProduct(h, other.heading)) > kPi / 2.0f) return;
        if (chainLeadsTo(static_cast<std::int32_t>(i), index)) return;
        first = static_cast<std::int32_t>(i);
    };
    const std::int32_t bucket = m_bucketed ? m_bucketOf[static_cast<std::size_t>(index)] : -1;
    if (bucket >= 0) {
        const std::int32_t bx = bucket % m_bucketColumns, by = bucket / m_bucketColumns;
        for (std::int32_t y = std::max(by - 1, 0); y <= std::min(by + 1, m_bucketRows - 1); ++y) {
            for (std::int32_t x = std::max(bx - 1, 0); x <= std::min(bx + 1, m_bucketColumns - 1); ++x) {
                for (std::int32_t i = m_bucketHead[static_cast<std::size_t>(y * m_bucketColumns + x)]; i >= 0;
                     i = m_bucketNext[static_cast<std::size_t>(i)]) {
                    consider(static_cast<std::size_t>(i));
                }
            }
        }
    } else {
        for (std::size_t i = 0; i < m_records.size(); ++i) consider(i);
    }
    if (first >= 0) {
        self.blockedBy = first;
        self.blockedIn = m_update;
        return true;
    }
    self.blockedBy = -1;
    return false;
}

bool TransportMover::callBack(std::int32_t index, const char* name, int onRoadFlag) {
    Record& record = m_records[static_cast<std::size_t>(index)];
    IAbstract* identity = record.identity;
    const IRoute* routeBefore = record.route.get();
    ComponentRef<IPositionable> hold = record.transport; // the callback may remove it
    IScriptObject* object = queryInterface<IScriptObject>(hold.get());
    HSQUIRRELVM v = ScriptHost::vm();
    ScriptValue function;
    if (object == nullptr || v == nullptr || !object->GetMember(name, function)) {
        return true;
    }
    pushComponent(v, identity);
    ScriptValue self = ScriptValue::fromStack(-1);
    sq_poptop(v);
    if (ScriptCall::begin(function, self)) {
        if (onRoadFlag >= 0) ScriptCall::pushBool(onRoadFlag != 0);
        ScriptCall::end();
    }
    m_posesStale = true; // the script may have placed transports anywhere
    // The record again: gone, or given another route, it takes no further step in this update.
    const Record& after = m_records[static_cast<std::size_t>(index)];
    return !after.removed && after.identity == identity && after.route.get() == routeBefore;
}

void TransportMover::Update(std::int32_t layer, std::int32_t elapsed) {
    if ((layer & kUpdateLayer) == 0 || m_walking) {
        return;
    }
    const float step = m_speed * static_cast<float>(elapsed) / 1000.0f;
    ++m_update;
    m_walking = true;
    m_bucketStep = step;
    refreshPoses(); // buckets them too
    // Transports added by callbacks wait for the next update.
    const std::int32_t count = transportCount();
    for (std::int32_t i = 0; i < count; ++i) {
        {
            Record& record = m_records[static_cast<std::size_t>(i)];
            if (record.removed || !record.route || record.route->IsEmpty() || !record.moving ||
                record.paused) {
                continue;
            }
        }
        if (blocked(i)) {
            continue;
        }
        Record& record = m_records[static_cast<std::size_t>(i)];
        const float length = record.route->GetLength();
        record.distance = std::min(record.distance + step, length);
        const float distance = record.distance;
        const RouteProgress progress = record.route->GetProgress(distance);
        setPose(i, progress);
        const Vector2 cell = toCell(progress.position);
        const std::uint16_t cx = cellCoordinate(cell.x), cy = cellCoordinate(cell.y);
        if (cx != record.cellX || cy != record.cellY) {
            record.cellX = cx;
            record.cellY = cy;
            if (!callBack(i, "OnCellChange", onRoad(cx, cy) ? 1 : 0)) continue;
        }
        Record& arrived = m_records[static_cast<std::size_t>(i)];
        if (arrived.distance == length && distance == length) {
            arrived.route.reset();
            arrived.moving = false;
            callBack(i, "OnMovingFinish", -1);
        }
    }
    m_walking = false;
    m_bucketed = false;
    if (m_anyRemoved) {
        // Drop the marked records and renumber the links.
        std::vector<std::int32_t> renumber(m_records.size(), -1);
        std::size_t kept = 0;
        for (std::size_t i = 0; i < m_records.size(); ++i) {
            if (m_records[i].removed) continue;
            renumber[i] = static_cast<std::int32_t>(kept);
            if (kept != i) {
                m_records[kept] = std::move(m_records[i]);
                m_poses[kept] = m_poses[i];
            }
            ++kept;
        }
        m_records.resize(kept);
        m_poses.resize(kept);
        for (Record& record : m_records) {
            if (record.blockedBy >= 0)
                record.blockedBy = renumber[static_cast<std::size_t>(record.blockedBy)];
        }
        m_anyRemoved = false;
    }
}

ComponentRef<IRoute> TransportMover::FindPathToArea(const Vector2& from, const Vector2& targetCell,
                                                    const Rect& area) {
    if (!m_map || !m_router) {
        return {};
    }
    ComponentRef<IRoute> route = newRoute();
    m_router->SetPassMask(m_roadMask);
    std::int32_t best = INT32_MAX;
    bool found = false;
    forEachBorderCell(area, m_map->GetWidth(), m_map->GetHeight(), [&](const Vector2& cell) {
        std::int32_t k = m_router->FindPath(from, cell, false);
        if (cell.Equal(targetCell) && k > 0) {
            route->CopyFromRouter(m_router.get());
            found = true;
            best = -1; // the target cell wins outright
            return false;
        }
        if (k > 0 && k < best) {
            route->CopyFromRouter(m_router.get());
            best = k;
            found = true;
        }
        return true;
    });
    return found ? route : ComponentRef<IRoute>();
}

ComponentRef<IRoute> TransportMover::FindPathBetweenAreas(const Vector2& startCell, const Rect& fromArea,
                                                          const Vector2& targetCell, const Rect& toArea) {
    if (!m_map || !m_router) {
        return {};
    }
    ComponentRef<IRoute> kept;
    std::int32_t bestLength = INT32_MAX;
    forEachBorderCell(fromArea, m_map->GetWidth(), m_map->GetHeight(), [&](const Vector2& start) {
        ComponentRef<IRoute> route = FindPathToArea(start, targetCell, toArea);
        if (!route) return true;
        if (start.Equal(startCell)) {
            kept = route;
            return false;
        }
        float length = route->GetLength();
        auto truncated =
            std::isfinite(length) && length < 2.0e9f ? static_cast<std::int32_t>(length) : INT32_MAX;
        if (!kept || truncated < bestLength) {
            kept = route;
            bestLength = truncated;
        }
        return true;
    });
    return kept;
}

bool TransportMover::WriteTransportToStream(IOutputStream* stream, IPositionable* transport) {
    Record* record = recordOf(transport);
    if (stream == nullptr || record == nullptr) {
        return false;
    }
    IWriteable* writeable = record->route ? queryInterface<IWriteable>(record->route.get()) : nullptr;
    unsigned char flag = writeable != nullptr ? 1 : 0;
    if (stream->Write(&flag, 1) != 1 || (writeable != nullptr && !writeable->WriteTo(stream))) {
        return false;
    }
    unsigned char tail[10];
    std::uint32_t distance;
    std::memcpy(&distance, &record->distance, 4);
    putBytes(tail, distance, 4);
    putBytes(tail + 4, record->cellX, 2);
    putBytes(tail + 6, record->cellY, 2);
    tail[8] = record->atRoadside ? 1 : 0;
    tail[9] = record->moving ? 1 : 0;
    return stream->Write(tail, 10) == 10;
}

bool TransportMover::ReadTransportFromStream(IInputStream* stream, IPositionable* transport) {
    if (stream == nullptr || find(transport) < 0) {
        return false;
    }
    unsigned char flag = 0;
    if (stream->Read(&flag, 1) != 1) {
        return false;
    }
    ComponentRef<IRoute> route;
    if (flag != 0) {
        route = newRoute();
        if (!queryInterface<IReadable>(route.get())->ReadFrom(stream)) return false;
    }
    unsigned char tail[10];
    if (stream->Read(tail, 10) != 10) {
        return false;
    }
    Record* record = recordOf(transport);
    if (record == nullptr) {
        return false;
    }
    std::uint32_t bits = getBytes(tail, 4);
    std::memcpy(&record->distance, &bits, 4);
    record->route = std::move(route); // a saved transport without a route has none after loading
    record->cellX = static_cast<std::uint16_t>(getBytes(tail + 4, 2));
    record->cellY = static_cast<std::uint16_t>(getBytes(tail + 6, 2));
    record->atRoadside = tail[8] != 0;
    record->moving = tail[9] != 0;
    return true;
}

void TransportMover::CreateOptimalRouteFromPosition(const std::vector<Vector2>& targetCells,
                                                    const std::vector<Rect>& areas, std::int32_t startIndex,
                                                    const Vector2& position) {
    m_reachable.clear();
    m_unreachable.clear();
    std::size_t n = std::min(targetCells.size(), areas.size());
    if (n > kMaxAreas || targetCells.size() != areas.size()) {
        logWarning(kTag, "optimal route over %zu target cells and %zu areas: %zu used", targetCells.size(),
                   areas.size(), std::min(n, kMaxAreas));
        n = std::min(n, kMaxAreas);
    }
    for (std::size_t i = 0; i < n; ++i) {
        (FindPathToArea(position, targetCells[i], areas[i]) ? m_reachable : m_unreachable)
            .push_back(static_cast<std::uint8_t>(i));
    }
    if (m_reachable.size() < 2) {
        return;
    }
    auto start = std::find(m_reachable.begin(), m_reachable.end(), static_cast<std::uint8_t>(startIndex));
    if (startIndex >= 0 && startIndex < 256 && start != m_reachable.end() && start != m_reachable.begin()) {
        std::iter_swap(m_reachable.begin(), start);
    }
    const std::size_t k = m_reachable.size();
    std::vector<std::vector<std::int32_t>> matrix(k, std::vector<std::int32_t>(k, 0));
    const auto centre = [&](std::size_t i) {
        const Rect& a = areas[m_reachable[i]];
        return Vector2((2.0f * static_cast<float>(a.X) + static_cast<float>(a.Width) - 1.0f) / 2.0f,
                       (2.0f * static_cast<float>(a.Y) + static_cast<float>(a.Height) - 1.0f) / 2.0f);
    };
    for (std::size_t a = 0; a < k; ++a) {
        for (std::size_t b = a + 1; b < k; ++b) {
            float d = (centre(a) - centre(b)).GetMagnitude() * 10.0f;
            auto cost = std::isfinite(d) && d < 2.0e9f ? static_cast<std::int32_t>(d) : INT32_MAX;
            matrix[a][b] = matrix[b][a] = cost;
        }
    }
    ComponentRef<ITSPSolver> solver =
        ComponentRef<ITSPSolver>::adopt(queryInterface<ITSPSolver>(createSharedInstance<TSPSolver>()));
    if (!solver) {
        return;
    }
    solver->Solve(matrix, 0);
    std::vector<std::uint8_t> ordered(k);
    for (std::size_t i = 0; i < k; ++i) {
        std::int32_t id = solver->GetResultID(static_cast<std::int32_t>(i));
        if (id < 0 || static_cast<std::size_t>(id) >= k) return; // another user's Solve cannot be ours
        ordered[i] = m_reachable[static_cast<std::size_t>(id)];
    }
    m_reachable.swap(ordered);
}

void TransportMover::CreateOptimalRouteFromArea(const std::vector<Vector2>& targetCells,
                                                const std::vector<Rect>& areas, std::int32_t startIndex,
                                                const Vector2& position, const Rect& fromArea) {
    Vector2 from = position;
    const std::size_t n = std::min({targetCells.size(), areas.size(), kMaxAreas});
    for (std::size_t i = 0; i < n; ++i) {
        ComponentRef<IRoute> route = FindPathBetweenAreas(position, fromArea, targetCells[i], areas[i]);
        if (route && !route->IsEmpty()) {
            from = route->GetProgress(0.0f).position;
            break;
        }
    }
    CreateOptimalRouteFromPosition(targetCells, areas, startIndex, from);
}

void TransportMover::Render(IGraphics* graphics, ClassMask) {
    if (!m_visible || graphics == nullptr || graphics->GetCamera() == nullptr) {
        return;
    }
    const Matrix3 toScreen = graphics->GetCamera()->GetWorldToScreen();
    const auto line = [&](const Vector2& a, const Vector2& b) {
        Vector2 p = toScreen.MultVrt(a), q = toScreen.MultVrt(b);
        graphics->DrawLine(p.x, p.y, q.x, q.y);
    };
    for (std::size_t i = 0; i < m_records.size(); ++i) {
        const Record& record = m_records[i];
        if (record.removed) continue;
        const Matrix3 pose = record.transport->GetPosition();
        const Vector2 p = pose.GetOrigin(), h = pose.GetXVec(), n = pose.GetYVec();
        graphics->SetColor(0xFF90EE90u);
        const Vector2 mark = toScreen.MultVrt(p);
        graphics->DrawEllipse(mark.x - 3.0f, mark.y - 3.0f, 6.0f, 6.0f);
        const float half = m_lookAheadWidth / 2.0f;
        const Vector2 left = p + n * half, right = p - n * half;
        const Vector2 ahead = h * m_lookAheadLength;
        line(left, right);
        line(left, left + ahead);
        line(right, right + ahead);
        line(left + ahead, right + ahead);
        if (record.route) {
            graphics->SetColor(0xFFFF00FFu);
            const std::vector<RoutePoint>& points = record.route->GetPoints();
            for (std::size_t k = 1; k < points.size(); ++k) line(points[k - 1].position, points[k].position);
        }
    }
}

std::uint64_t TransportMover::stateHash() {
    std::uint64_t hash = 14695981039346656037ull;
    const auto mix = [&hash](const void* data, std::size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
    };
    for (const Record& record : m_records) {
        if (record.removed) continue;
        const Matrix3 pose = record.transport->GetPosition();
        mix(pose.m, sizeof(pose.m));
        mix(&record.distance, sizeof(record.distance));
        const std::uint16_t cell[2] = {record.cellX, record.cellY};
        mix(cell, sizeof(cell));
        const std::uint8_t flags[3] = {record.atRoadside, record.moving, record.paused};
        mix(flags, sizeof(flags));
        const float length = record.route ? record.route->GetLength() : -1.0f;
        mix(&length, sizeof(length));
    }
    return hash;
}
