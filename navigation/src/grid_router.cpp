#include "navigation/grid_router.h"

#include "platform/kd.h"

#include <cmath>

namespace {

constexpr char kTag[] = "GridRouter";

// The cell holding point p: floor of each coordinate. A coordinate that is not finite or lies far outside any
// grid becomes a cell outside every grid.
GridCell cellOf(const Vector2& p) {
    const auto coordinate = [](float v) -> std::int32_t {
        return std::isfinite(v) && std::fabs(v) < 1.0e9f ? static_cast<std::int32_t>(std::floor(v))
                                                         : -1000000000;
    };
    return {coordinate(p.x), coordinate(p.y)};
}

} // namespace

const MethodTable& GridRouter::scriptMethods() {
    static const MethodTable table{
        scriptMethod<GridRouter>("Initialize", &GridRouter::Initialize),
        scriptMethod<GridRouter>("FindPath", &GridRouter::FindPath),
        scriptMethod<GridRouter>("GetPoint", &GridRouter::getPointFromScript),
    };
    return table;
}

GridRouter::GridRouter() {
    m_points.reserve(GridSearch::kWaveCount);
}

void GridRouter::Initialize(IGridMap* map) {
    m_map.reset(map);
    m_width = map ? map->GetWidth() : 0;
    m_height = map ? map->GetHeight() : 0;
    m_cellToWorld = map ? map->GetPosition() : Matrix3();
    m_worldToCell = m_cellToWorld.Inverse();
    m_warnedStale = false;
    m_search.reset();
}

void GridRouter::Shutdown() {
    m_map.reset();
    m_search.reset();
}

std::int32_t GridRouter::FindPath(const Vector2& from, const Vector2& to, bool worldCoordinates) {
    if (!m_map) {
        return 0;
    }
    m_points.clear();
    if (m_map->GetWidth() != m_width || m_map->GetHeight() != m_height) {
        if (!m_warnedStale) {
            logWarning(kTag, "the map is %d x %d since Initialize took %d x %d; no path until Initialize",
                       m_map->GetWidth(), m_map->GetHeight(), m_width, m_height);
            m_warnedStale = true;
        }
        return 0;
    }
    Vector2 fromCell = worldCoordinates ? m_worldToCell.MultVrt(from) : from;
    Vector2 toCell = worldCoordinates ? m_worldToCell.MultVrt(to) : to;
    GridView grid{m_width, m_height, m_map->GetCells(), m_map->GetRevision()};
    if (!m_search.find(grid, m_passMask, cellOf(fromCell), cellOf(toCell))) {
        return 0;
    }
    const std::vector<GridCell>& cells = m_search.path();
    const std::size_t last = cells.size() - 1;
    m_points.push_back(from);
    for (std::size_t i = 1; i < cells.size(); ++i) {
        Vector2 cell(static_cast<float>(cells[i].x), static_cast<float>(cells[i].y));
        if (!worldCoordinates) {
            m_points.push_back(cell);
        } else if (i == last) {
            m_points.push_back(to);
        } else {
            m_points.push_back(m_cellToWorld.MultVrt(cell + Vector2(0.5f, 0.5f)));
        }
    }
    return static_cast<std::int32_t>(m_points.size());
}

const Vector2& GridRouter::GetPoint(std::int32_t index) {
    static const Vector2 none;
    return index >= 0 && index < GetPointCount() ? m_points[static_cast<std::size_t>(index)] : none;
}
