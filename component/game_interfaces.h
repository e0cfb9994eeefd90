#pragma once
// The game's world interfaces: tile layers, tile objects and animations, the pass map and its
// overlays, routing, routes, road rendering and the tour solver. Conventions of the catalogue:
// component/engine_interfaces.h. Cells are addressed by column x and row y from the top-left.

#include <cstdint>
#include <vector>

#include "component/component_ref.h"
#include "component/frame_interfaces.h"
#include "component/game_records.h"
#include "component/object_interfaces.h"
#include "math/matrix3.h"
#include "math/vector2.h"

class IGraphics;
class IGridRenderer;
class IGridRouter;

// A point of a route: its position, a stored heading, and the arc length from the route's first point.
struct RoutePoint {
    Vector2 position;
    Vector2 direction;
    float distance = 0.0f;
};

// A place along a route: position, heading and the distance it was asked for.
struct RouteProgress {
    Vector2 position;
    Vector2 direction;
    float distance = 0.0f;
};

// The codes the pass map's script object gives the kinds of cell (`CELL_VALUE_*`, 0 when not defined).
struct CellValueCodes {
    std::int32_t clean = 0;
    std::int32_t occupied = 0;
    std::int32_t occupiedByTransport = 0;
    std::int32_t plant = 0;
    std::int32_t roadBroken = 0;
    std::int32_t road = 0;
    std::int32_t roadIndestructible = 0;
    std::int32_t roadConstruction = 0;
    std::int32_t forestMin = 0;
    std::int32_t forestMax = 0;
    std::int32_t forestBurnt = 0;
    std::int32_t forestCutted = 0;
    std::int32_t waste = 0;
    std::int32_t roadInvisible = 0;
};

// The animations of a tile-animation data object, by name.
class ITileAnimationData : public virtual IAbstract {
public:
    static constexpr char Name[] = "ITileAnimationData";
    static constexpr InterfaceId ID{Name};

    // The animation `name`, or null. Owned by the data, valid while it lives unchanged.
    virtual const TileAnimationRecord* FindAnimation(const char* name) = 0;
    // Every animation by name (empty before loading).
    virtual const TileAnimationMap& GetAnimations() = 0;
};

// A tile drawn at a position; also its IRenderable.
class ITileObject : public IRenderable {
public:
    static constexpr char Name[] = "ITileObject";
    static constexpr InterfaceId ID{Name};

    // The tile number drawn (-1: none).
    virtual std::int32_t GetTile() = 0;
    // A number outside the tile set draws nothing.
    virtual void SetTile(std::int32_t tile) = 0;
    virtual void SetRenderLayer(std::int32_t layer) = 0;
    // The tint of the tile.
    virtual void SetColor(std::uint32_t argb) = 0;
    // Draws the tile a second time additively, to show it is under the pointer or selected.
    virtual void SetHighlighted(bool highlighted) = 0;
    // Whether the screen position keeps its fraction (smooth motion) or is rounded to whole pixels.
    virtual void EnableFloatCoords(bool enabled) = 0;
    // The key tile layers sort objects by: the screen y of the anchor through `camera`.
    virtual float GetDepthKey(const ComponentRef<ICamera>& camera) = 0;
    // The joint `index` of the tile (a marker point that follows the object), or null when the
    // tile has no such joint.
    virtual ComponentRef<IPositionable> GetJoint(std::int32_t index) = 0;
};

// The grid of cell values; its IPositionable is the grid-to-world transform.
class IGridMap : public IPositionable {
public:
    static constexpr char Name[] = "IGridMap";
    static constexpr InterfaceId ID{Name};

    // The size in cells; 0 before a map is loaded.
    virtual std::int32_t GetWidth() = 0;
    virtual std::int32_t GetHeight() = 0;
    // The cell's value, or -1 outside the map.
    virtual std::int32_t GetCellValue(std::int32_t x, std::int32_t y) = 0;
    // Stores the value and, when it changed, calls the map's script `OnCellChange`; nothing happens
    // outside the map.
    virtual void SetCellValue(std::int32_t x, std::int32_t y, std::int32_t value) = 0;
    // Appends a non-null overlay, keeping a reference (duplicates allowed); overlays draw in order.
    virtual void AddRenderer(const ComponentRef<IGridRenderer>& renderer) = 0;
    // Removes every entry equal to the overlay.
    virtual void RemoveRenderer(const ComponentRef<IGridRenderer>& renderer) = 0;
    // The cell codes read from the map's script object.
    virtual const CellValueCodes& GetCellValueCodes() = 0;
    // The cells, width x height bytes row-major (null when empty); valid until the size changes.
    virtual const std::uint8_t* GetCells() = 0;
    // A counter that changes whenever a cell value or the size changes, so searches can keep their
    // results while it stands.
    virtual std::uint32_t GetRevision() = 0;
};

// An overlay drawn over a grid map.
class IGridRenderer : public virtual IAbstract {
public:
    static constexpr char Name[] = "IGridRenderer";
    static constexpr InterfaceId ID{Name};

    // Draws the overlay over the map's cells; called by the map's own drawing, with its camera.
    virtual void Render(IGraphics* graphics) = 0;
};

// Shortest paths over a grid map.
class IGridRouter : public virtual IAbstract {
public:
    static constexpr char Name[] = "IGridRouter";
    static constexpr InterfaceId ID{Name};

    // Sets the passable cell values (bit v admits cell value v); returns the mask.
    virtual std::uint64_t SetPassMask(std::uint64_t mask) = 0;
    // Searches a shortest 4-connected path between the cells of the two points (cell coordinates,
    // or world coordinates mapped through the map's transform) and keeps it. The number of points
    // of the path, 0 when there is none, no map is set or an end lies outside the map.
    virtual std::int32_t FindPath(const Vector2& from, const Vector2& to, bool worldCoordinates) = 0;
    // The point `index` of the last path (a zero vector out of range); valid until the next search.
    virtual const Vector2& GetPoint(std::int32_t index) = 0;
    // The number of points of the last path.
    virtual std::int32_t GetPointCount() = 0;
};

// A layer of tiles.
class ITileLayer : public virtual IAbstract {
public:
    static constexpr char Name[] = "ITileLayer";
    static constexpr InterfaceId ID{Name};

    // The tile records in drawing order; valid until the next change of the layer.
    virtual const std::vector<TileRecord>& GetTiles() = 0;
    // Inserted before the first record whose y is not below its y (keeps y order).
    virtual void InsertTile(const TileRecord& tile) = 0;
    // Added after the last record.
    virtual void AppendTile(const TileRecord& tile) = 0;
    // Nothing happens for an index out of range.
    virtual void RemoveTile(std::int32_t index) = 0;
    // Changes the tile number of the record `index`; nothing happens out of range.
    virtual void SetTileNumber(std::int32_t index, std::int32_t tile) = 0;
};

// The road network drawn over a grid map; also its IRenderable. Cells are addressed as in the grid map: a
// cell whose index y * width + x falls outside the map is ignored.
class IRoadRenderer : public IRenderable {
public:
    static constexpr char Name[] = "IRoadRenderer";
    static constexpr InterfaceId ID{Name};

    // Takes the map's size and transform and drops every road record.
    virtual void SetGridMap(IGridMap* map) = 0;
    // A road record in the cell (kind 0: linked but not drawn), linked with its road neighbours
    // (with `sameStateLinksOnly`, only those as broken as it). Nothing happens when the cell already
    // holds a road or lies outside the grid.
    virtual void AddRoadCell(std::int32_t x, std::int32_t y, std::int32_t kind, bool sameStateLinksOnly) = 0;
    // Marks the road broken (links stay); nothing happens without a road there.
    virtual void BreakRoadCell(std::int32_t x, std::int32_t y) = 0;
    // Clears broken and relinks with the neighbours of the same state; nothing without a road.
    virtual void RepairRoadCell(std::int32_t x, std::int32_t y) = 0;
    // Deletes the record and clears the links of unbroken neighbours towards it; nothing without
    // a road.
    virtual void RemoveRoadCell(std::int32_t x, std::int32_t y) = 0;
    // Replaces the draft road shown while the player drags (drawn valid or refused).
    virtual void SetDraft(const std::vector<CellPosition>& cells, bool valid) = 0;
    // Sets or clears the highlight of the listed cells that hold a road.
    virtual void HighlightRoadCells(const std::vector<Vector2>& cells, bool value) = 0;
    // Draw the draft (drawn cells with their masks and colours), or the mark tile on the given records;
    // nothing without the context's camera.
    virtual void DrawDraft(IGraphics* graphics, const std::vector<RoadDraftCell>& draft) = 0;
    virtual void DrawMarks(IGraphics* graphics, const std::vector<RoadCellRecord>& cells) = 0;
    // Copies of the records of those cells that hold a road.
    virtual std::vector<RoadCellRecord> GetRoadCells(const std::vector<CellPosition>& cells) = 0;
};

// A polyline with distances along it.
class IRoute : public virtual IAbstract {
public:
    static constexpr char Name[] = "IRoute";
    static constexpr InterfaceId ID{Name};

    // Appends a point, extending the length.
    virtual void AddPosition(const Vector2& position) = 0;
    // Replaces the points by the router's path between the two points; returns the number of points
    // (0, and an empty route, when there is no path).
    virtual std::int32_t InitFromRouter(IGridRouter* router, const Vector2& from, const Vector2& to,
                                        bool worldCoordinates) = 0;
    // Replaces the points by the router's last path.
    virtual void CopyFromRouter(IGridRouter* router) = 0;
    virtual void Clear() = 0;
    virtual bool IsEmpty() = 0;
    // The arc length from the first to the last point; 0 for fewer than two points.
    virtual float GetLength() = 0;
    // The points; valid until the route changes.
    virtual const std::vector<RoutePoint>& GetPoints() = 0;
    // The place at `distance` along the route, clamped to its ends.
    virtual RouteProgress GetProgress(float distance) = 0;
    // Maps every point (and its heading) through the matrix and measures the distances again.
    virtual void Transform(const Matrix3& matrix) = 0;
};

// Orders places into a short tour.
class ITSPSolver : public virtual IAbstract {
public:
    static constexpr char Name[] = "ITSPSolver";
    static constexpr InterfaceId ID{Name};

    // Orders the n places of the matrix (`distances` holds n rows of n integers) into a short
    // round trip beginning at `start` and keeps it. An empty, ragged or out-of-range input gives
    // an empty tour (logged).
    virtual void Solve(const std::vector<std::vector<std::int32_t>>& distances, std::int32_t start) = 0;
    // The place number at `index` of the last tour, or -1 out of range.
    virtual std::int32_t GetResultID(std::int32_t index) = 0;
};
