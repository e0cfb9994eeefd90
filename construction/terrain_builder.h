#pragma once
// `TerrainBuilder`: the landscape editor. Its mode is one of the script object's `MODE_Default`,
// `MODE_BuildRoad`, `MODE_BuildForest` and `MODE_Destroy` (read when the script object is loaded; a missing
// name reads 0). In any mode but the default it is one of the map's grid overlays, shading where the mode can
// act, and it takes the pointer:
//
// - build road: moving the pointer starts a draft at the hovered cell; dragging with the button held routes
//   the draft from there to the hovered cell through the grid router over the cells a road may cross (empty
//   ground, roads, forest, waste, cells a transport stands on; never occupied cells, plants or invisible
//   roads). Each draft is judged by `CanBuildRoad(cells)` (the draft cells that are not road yet; a missing
//   callback refuses) and shown by the road renderer as valid or not. Releasing the button hands the cells to
//   build to `OnBuildRoad(cells)`; the script then calls `BuildRoadCells`.
// - build forest: a click asks `OnBuildForest(cell, level)` and on yes raises the cell's forest level by one
//   and adds one tree tile at a random spot of the cell.
// - destroy: a click, and every cell dragged over, is cleared (`ClearCell`) when the script agrees through
//   `OnDestroyRoad`, `OnDestroyRoadBroken`, `OnDestroyForest(cell, level)`, `OnDestroyForestBurnt`,
//   `OnDestroyForestCutted` or `OnDestroyWaste`; indestructible roads and anything else stay.
// `OnCellHovered(cell)` reports each new cell under the pointer (in every mode but the default); a pointer
// off the map hovers no cell. Events the builder does not consume go on to its script object's own input
// callbacks, as for any scripted object.
//
// Random choices (the tree tile, its place in the cell) draw from the engine's generator
// (script/engine_random.h). An empty tile list adds no tile and logs a warning. BuildRoadCells leaves out
// cells off the map.
//
// Script methods (besides the scripted object's): SetGridMap, SetGridRouter, SetRenderer, SetCamera,
// SetForestLayer, SetForestTiles, SetForestCuttedTiles, SetForestBurntTiles, SetMode, GetCellCount(value),
// GetForestLevel, AddRoadCell(x, y, kind, sameState), BreakRoadCell(x, y), RemoveRoadCell(x, y),
// SetWasteLayer, SetWasteTiles, AddTerrainTile(position, layer, tiles, append),
// RemoveTiles(x, y, layer, tiles, limit), ReplaceTiles(x, y, layer, fromTiles, toTiles), SetDraftToRenderer,
// ClearCell(x, y), BuildRoadCells(cells), UpdateDraftBegin.

#include <cstdint>
#include <vector>

#include "component/component_ref.h"
#include "component/game_interfaces.h"
#include "component/game_records.h"
#include "math/vector2.h"
#include "objects/scripted_object.h"

class TerrainBuilder final : public ScriptedObject, public IGridRenderer {
public:
    static constexpr char ScriptTypeName[] = "TerrainBuilder";
    static const MethodTable& scriptMethods();

    static constexpr std::uint16_t kNoCell = 65535;
    static constexpr std::uint32_t kShadeColour = 0x55000000u;
    static constexpr std::uint32_t kPlantColour = 0x5500FF00u;
    static constexpr std::uint32_t kDestroyColour = 0x55FFFFFFu;

    void* QueryInterface(InterfaceId id) override;
    bool GetMember(const char* name, ScriptValue& value) override;
    const char* GetTypeName() override { return ScriptTypeName; }
    // Attaches the script object and reads the mode constants from it.
    bool LoadFromScript(const ScriptValue& value) override;
    // Leaves the map's overlays and drops every connection, then shuts down as a scripted object.
    void Shutdown() override;

    // IGridRenderer: the cell overlay of the current mode.
    void Render(IGraphics* graphics) override;
    using ScriptedObject::Render;

    bool HandleKeyEvent(const KDEvent& event) override;
    bool HandlePointerEvent(const KDEvent& event) override;

    // Script methods.
    void SetGridMap(IGridMap* map);
    void SetGridRouter(IGridRouter* router) { m_router.reset(router); }
    void SetRenderer(IRoadRenderer* renderer);
    void SetCamera(ICamera* camera) { m_camera.reset(camera); }
    void SetForestLayer(ITileLayer* layer) { m_forestLayer.reset(layer); }
    void SetForestTiles(ScriptValue tiles);
    void SetForestCuttedTiles(ScriptValue tiles);
    void SetForestBurntTiles(ScriptValue tiles);
    void SetMode(std::int32_t mode);
    std::int32_t GetCellCount(std::int32_t value);
    std::int32_t GetForestLevel();
    void AddRoadCell(std::int32_t x, std::int32_t y, std::int32_t kind, bool sameState);
    void BreakRoadCell(std::int32_t x, std::int32_t y);
    void RemoveRoadCell(std::int32_t x, std::int32_t y);
    void SetWasteLayer(ITileLayer* layer) { m_wasteLayer.reset(layer); }
    void SetWasteTiles(ScriptValue tiles);
    void addTerrainTileFromScript(const Vector2& position, ITileLayer* layer, ScriptValue tiles, bool append);
    void removeTilesFromScript(std::int32_t x, std::int32_t y, ITileLayer* layer, ScriptValue tiles,
                               std::int32_t limit);
    void replaceTilesFromScript(std::int32_t x, std::int32_t y, ITileLayer* layer, ScriptValue fromTiles,
                                ScriptValue toTiles);
    void SetDraftToRenderer() { showDraft(); }
    void ClearCell(std::int32_t x, std::int32_t y);
    void buildRoadCellsFromScript(ScriptValue cells);
    void UpdateDraftBegin();

    // Native forms of the tile operations.
    void AddTerrainTile(const Vector2& position, ITileLayer* layer, const std::vector<std::int16_t>& tiles,
                        bool append);
    void RemoveTiles(std::int32_t x, std::int32_t y, ITileLayer* layer,
                     const std::vector<std::int16_t>& tiles, std::int32_t limit);
    void BuildRoadCells(const std::vector<Vector2>& cells);

    std::int32_t mode() const { return m_mode; }
    std::uint64_t roadMask() const { return m_roadMask; }
    const std::vector<CellPosition>& draft() const { return m_draft; }
    CellPosition hoveredCell() const { return m_hovered; }

private:
    enum class Use { Judge, Build };

    // Cell value tests with the map's codes.
    bool isForest(std::int32_t value) const;
    bool inRoadMask(std::int32_t value) const;
    // The draft cells to judge (Use::Judge) or to build (Use::Build), as script vectors.
    std::vector<Vector2> draftCells(Use use);
    // Whether (x, y) is a cell of the map.
    bool inside(std::int32_t x, std::int32_t y);
    // The forest level a click would plant at, or -1 when the cell takes no more forest.
    std::int32_t plantLevel(std::int32_t x, std::int32_t y);
    // Hands the map's roads to the renderer when both are set.
    void fillRenderer();
    void updateHovered(float x, float y);
    void updateDragDraft();
    void showDraft();
    void plantForest(std::int32_t x, std::int32_t y);
    // Calls a callback with the cell (and the level when it is not negative); a missing one answers no.
    bool ask(const char* name, std::int32_t x, std::int32_t y, std::int32_t level = -1);
    // Grid transform followed by the camera's world-to-screen: cells to the tile layers' screen coordinates.
    bool cellToScreen(Matrix3& out);

    ComponentRef<IGridMap> m_map;
    ComponentRef<IGridRouter> m_router;
    ComponentRef<IRoadRenderer> m_renderer;
    ComponentRef<ICamera> m_camera;
    ComponentRef<ITileLayer> m_forestLayer;
    ComponentRef<ITileLayer> m_wasteLayer;
    std::vector<std::int16_t> m_forestTiles;
    std::vector<std::int16_t> m_cutTiles;
    std::vector<std::int16_t> m_burntTiles;
    std::vector<std::int16_t> m_wasteTiles;
    std::int32_t m_mode = 0;
    std::int32_t m_modeDefault = 0;
    std::int32_t m_modeBuildRoad = 0;
    std::int32_t m_modeBuildForest = 0;
    std::int32_t m_modeDestroy = 0;
    std::uint64_t m_roadMask = 0;
    bool m_dragging = false;
    CellPosition m_hovered{kNoCell, kNoCell};
    CellPosition m_draftStart;
    CellPosition m_draftEnd;
    std::vector<CellPosition> m_draft;
    bool m_inMapOverlays = false;
};
