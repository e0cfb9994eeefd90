#pragma once
// `GridRouter`: shortest 4-connected paths of cells over a grid map (GridSearch), handed out as points in
// cell or world coordinates. Which cell values may be crossed is the pass mask that native users set
// (SetPassMask); scripts cannot set it and search with the mask last set.
//
// `Initialize(map)` takes the map's size and grid transform; after the map's size changes it must be called
// again. Until then every search answers "no path" (with one warning), instead of indexing arrays made for
// the old size.
//
// Points of a path: point 0 is `from` as given. With world coordinates the last point is `to` as given and
// every other point the centre of its cell through the grid transform; otherwise the points after the first
// are the cells' integer coordinates. The points stay valid until the next FindPath.
//
// Script methods: Initialize(map), FindPath(from, to, worldCoords) → number of points (0: no path),
// GetPoint(index) → Vector2 ((0, 0) outside the last result).

#include "binding/binding_script_object.h"
#include "component/component_ref.h"
#include "component/game_interfaces.h"
#include "component/group_interfaces.h"
#include "math/matrix3.h"
#include "math/vector2.h"
#include "navigation/grid_search.h"

#include <cstdint>
#include <vector>

class GridRouter final : public IGridRouter, public IShutdownable, public ScriptObjectBase<GridRouter> {
public:
    static constexpr char ScriptTypeName[] = "GridRouter";
    static const MethodTable& scriptMethods();

    GridRouter();

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IGridRouter, IShutdownable, IScriptObject>(this, id);
    }

    std::uint64_t SetPassMask(std::uint64_t mask) override { return m_passMask = mask; }
    std::int32_t FindPath(const Vector2& from, const Vector2& to, bool worldCoordinates) override;
    const Vector2& GetPoint(std::int32_t index) override;
    std::int32_t GetPointCount() override { return static_cast<std::int32_t>(m_points.size()); }
    // Drops the map; searches then answer 0.
    void Shutdown() override;

    // Binds the map (none when the component has no IGridMap) and takes its size and transform.
    void Initialize(IGridMap* map);
    Vector2 getPointFromScript(std::int32_t index) { return GetPoint(index); }

    std::uint64_t passMask() const { return m_passMask; }

private:
    ComponentRef<IGridMap> m_map;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    Matrix3 m_cellToWorld;
    Matrix3 m_worldToCell;
    std::uint64_t m_passMask = 0;
    bool m_warnedStale = false;
    GridSearch m_search;
    std::vector<Vector2> m_points;
};
