#include "construction/terrain_builder.h"

#include <algorithm>
#include <cmath>

#include "component/media_interfaces.h"
#include "construction/src/builder_script.h"
#include "construction/src/overlay_cells.h"
#include "script/engine_random.h"
#include "script/script_call.h"

using construction::truncated;

namespace {

constexpr char kTag[] = "TerrainBuilder";

// The bit of a cell value in a pass mask (none for values a mask cannot hold).
std::uint64_t bitOf(std::int32_t value) {
    return value >= 0 && value < 64 ? std::uint64_t(1) << value : 0;
}

std::int32_t integerMember(ScriptExtension& extension, const char* name) {
    ScriptValue value;
    if (!extension.getMember(name, value)) {
        return 0;
    }
    switch (value.type()) {
    case OT_INTEGER:
        return static_cast<std::int32_t>(value.object()._unVal.nInteger);
    case OT_FLOAT:
        return truncated(value.object()._unVal.fFloat);
    default:
        return 0;
    }
}

// One draw of the engine generator as a fraction 0 ... 1.
float fraction() {
    return static_cast<float>(engineRandom()) / static_cast<float>(ENGINE_RAND_MAX);
}

std::int16_t screenCoordinate(float value) {
    return static_cast<std::int16_t>(std::clamp(truncated(value), -32768, 32767));
}

} // namespace

const MethodTable& TerrainBuilder::scriptMethods() {
    static const MethodTable table{
        scriptMethod<TerrainBuilder>("SetGridMap", &TerrainBuilder::SetGridMap),
        scriptMethod<TerrainBuilder>("SetGridRouter", &TerrainBuilder::SetGridRouter),
        scriptMethod<TerrainBuilder>("SetRenderer", &TerrainBuilder::SetRenderer),
        scriptMethod<TerrainBuilder>("SetCamera", &TerrainBuilder::SetCamera),
        scriptMethod<TerrainBuilder>("SetForestLayer", &TerrainBuilder::SetForestLayer),
        scriptMethod<TerrainBuilder>("SetForestTiles", &TerrainBuilder::SetForestTiles),
        scriptMethod<TerrainBuilder>("SetForestCuttedTiles", &TerrainBuilder::SetForestCuttedTiles),
        scriptMethod<TerrainBuilder>("SetForestBurntTiles", &TerrainBuilder::SetForestBurntTiles),
        scriptMethod<TerrainBuilder>("SetMode", &TerrainBuilder::SetMode),
        scriptMethod<TerrainBuilder>("GetCellCount", &TerrainBuilder::GetCellCount),
        scriptMethod<TerrainBuilder>("GetForestLevel", &TerrainBuilder::GetForestLevel),
        scriptMethod<TerrainBuilder>("AddRoadCell", &TerrainBuilder::AddRoadCell),
        scriptMethod<TerrainBuilder>("BreakRoadCell", &TerrainBuilder::BreakRoadCell),
        scriptMethod<TerrainBuilder>("RemoveRoadCell", &TerrainBuilder::RemoveRoadCell),
        scriptMethod<TerrainBuilder>("SetWasteLayer", &TerrainBuilder::SetWasteLayer),
        scriptMethod<TerrainBuilder>("SetWasteTiles", &TerrainBuilder::SetWasteTiles),
        scriptMethod<TerrainBuilder>("AddTerrainTile", &TerrainBuilder::addTerrainTileFromScript),
        scriptMethod<TerrainBuilder>("RemoveTiles", &TerrainBuilder::removeTilesFromScript),
        scriptMethod<TerrainBuilder>("ReplaceTiles", &TerrainBuilder::replaceTilesFromScript),
        scriptMethod<TerrainBuilder>("SetDraftToRenderer", &TerrainBuilder::SetDraftToRenderer),
        scriptMethod<TerrainBuilder>("ClearCell", &TerrainBuilder::ClearCell),
        scriptMethod<TerrainBuilder>("BuildRoadCells", &TerrainBuilder::buildRoadCellsFromScript),
        scriptMethod<TerrainBuilder>("UpdateDraftBegin", &TerrainBuilder::UpdateDraftBegin),
    };
    return table;
}

void* TerrainBuilder::QueryInterface(InterfaceId id) {
    if (id == IGridRenderer::ID) {
        return static_cast<IGridRenderer*>(this);
    }
    if (id == IInputHandler::ID) {
        return static_cast<IInputHandler*>(this);
    }
    return ScriptedObject::QueryInterface(id);
}

bool TerrainBuilder::GetMember(const char* name, ScriptValue& value) {
    return ScriptedObject::GetMember(name, value) || scriptMethods().find(name, value);
}

bool TerrainBuilder::LoadFromScript(const ScriptValue& value) {
    if (!ScriptedObject::LoadFromScript(value)) {
        return false;
    }
    m_modeDefault = integerMember(scriptExtension(), "MODE_Default");
    m_modeBuildRoad = integerMember(scriptExtension(), "MODE_BuildRoad");
    m_modeBuildForest = integerMember(scriptExtension(), "MODE_BuildForest");
    m_modeDestroy = integerMember(scriptExtension(), "MODE_Destroy");
    return true;
}

void TerrainBuilder::Shutdown() {
    if (m_map && m_inMapOverlays) {
        m_map->RemoveRenderer(ComponentRef<IGridRenderer>(this));
    }
    m_inMapOverlays = false;
    m_dragging = false;
    m_draft.clear();
    m_map.reset();
    m_router.reset();
    m_renderer.reset();
    m_camera.reset();
    m_forestLayer.reset();
    m_wasteLayer.reset();
    ScriptedObject::Shutdown();
}

// ---- cells

bool TerrainBuilder::isForest(std::int32_t value) const {
    const CellValueCodes& codes = m_map->GetCellValueCodes();
    return value >= codes.forestMin && value <= codes.forestMax;
}

bool TerrainBuilder::inRoadMask(std::int32_t value) const {
    return value >= 0 && value < 64 && (m_roadMask & (std::uint64_t(1) << value)) != 0;
}

bool TerrainBuilder::inside(std::int32_t x, std::int32_t y) {
    return m_map && x >= 0 && y >= 0 && x < m_map->GetWidth() && y < m_map->GetHeight();
}

std::int32_t TerrainBuilder::plantLevel(std::int32_t x, std::int32_t y) {
    if (!inside(x, y)) {
        return -1;
    }
    const CellValueCodes& codes = m_map->GetCellValueCodes();
    const std::int32_t value = m_map->GetCellValue(x, y);
    if (value == codes.clean || value == codes.forestCutted) {
        return 0;
    }
    if (value >= codes.forestMin && value < codes.forestMax) {
        return value - codes.forestMin + 1;
    }
    return -1;
}

std::vector<Vector2> TerrainBuilder::draftCells(Use use) {
    std::vector<Vector2> cells;
    if (!m_map) {
        return cells;
    }
    const CellValueCodes& codes = m_map->GetCellValueCodes();
    for (const CellPosition& cell : m_draft) {
        const std::int32_t value = m_map->GetCellValue(cell.x, cell.y);
        const bool buildable = value == codes.clean || value == codes.roadBroken ||
                               value == codes.forestBurnt || value == codes.forestCutted ||
                               value == codes.waste || isForest(value) ||
                               (use == Use::Build && value == codes.occupiedByTransport);
        if (buildable) {
            cells.push_back({static_cast<float>(cell.x), static_cast<float>(cell.y)});
        }
    }
    return cells;
}

std::int32_t TerrainBuilder::GetCellCount(std::int32_t value) {
    const std::uint8_t* cells = m_map ? m_map->GetCells() : nullptr;
    if (cells == nullptr) {
        return 0;
    }
    const std::size_t count = static_cast<std::size_t>(m_map->GetWidth()) * m_map->GetHeight();
    return static_cast<std::int32_t>(std::count(cells, cells + count, value));
}

std::int32_t TerrainBuilder::GetForestLevel() {
    const std::uint8_t* cells = m_map ? m_map->GetCells() : nullptr;
    if (cells == nullptr) {
        return 0;
    }
    const std::size_t count = static_cast<std::size_t>(m_map->GetWidth()) * m_map->GetHeight();
    const std::int32_t forestMin = m_map->GetCellValueCodes().forestMin;
    std::int32_t level = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (isForest(cells[i])) {
            level += cells[i] - forestMin + 1;
        }
    }
    return level;
}

// ---- connections

void TerrainBuilder::SetGridMap(IGridMap* map) {
    if (m_map && m_inMapOverlays) {
        m_map->RemoveRenderer(ComponentRef<IGridRenderer>(this));
        m_inMapOverlays = false;
    }
    m_map.reset(map);
    m_roadMask = 0;
    if (m_map) {
        const CellValueCodes& codes = m_map->GetCellValueCodes();
        for (std::int32_t value :
             {codes.clean, codes.occupiedByTransport, codes.roadBroken, codes.road, codes.roadIndestructible,
              codes.roadConstruction, codes.forestBurnt, codes.forestCutted, codes.waste}) {
            m_roadMask |= bitOf(value);
        }
        for (std::int32_t value = std::max(0, codes.forestMin); value <= std::min(63, codes.forestMax);
             ++value) {
            m_roadMask |= bitOf(value);
        }
        if (m_mode != m_modeDefault) {
            m_map->AddRenderer(ComponentRef<IGridRenderer>(this));
            m_inMapOverlays = true;
        }
    }
    fillRenderer();
}

void TerrainBuilder::SetRenderer(IRoadRenderer* renderer) {
    m_renderer.reset(renderer);
    fillRenderer();
}

void TerrainBuilder::fillRenderer() {
    if (!m_map || !m_renderer) {
        return;
    }
    m_renderer->SetGridMap(m_map.get());
    const CellValueCodes& codes = m_map->GetCellValueCodes();
    const std::int32_t width = m_map->GetWidth();
    const std::int32_t height = m_map->GetHeight();
    for (std::int32_t y = 0; y < height; ++y) {
        for (std::int32_t x = 0; x < width; ++x) {
            const std::int32_t value = m_map->GetCellValue(x, y);
            if (value == codes.clean) {
                continue; // empty ground, whatever other codes a script left undefined (reading 0 too)
            }
            if (value == codes.road || value == codes.roadIndestructible) {
                m_renderer->AddRoadCell(x, y, 1, false);
            } else if (value == codes.roadInvisible) {
                m_renderer->AddRoadCell(x, y, 0, false);
            } else if (value == codes.roadBroken) {
                m_renderer->AddRoadCell(x, y, 1, false);
                m_renderer->BreakRoadCell(x, y);
            }
        }
    }
}

void TerrainBuilder::SetForestTiles(ScriptValue tiles) {
    m_forestTiles = construction::tileNumbers(tiles);
}

void TerrainBuilder::SetForestCuttedTiles(ScriptValue tiles) {
    m_cutTiles = construction::tileNumbers(tiles);
}

void TerrainBuilder::SetForestBurntTiles(ScriptValue tiles) {
    m_burntTiles = construction::tileNumbers(tiles);
}

void TerrainBuilder::SetWasteTiles(ScriptValue tiles) {
    m_wasteTiles = construction::tileNumbers(tiles);
}

void TerrainBuilder::SetMode(std::int32_t mode) {
    if (mode == m_mode) {
        return;
    }
    if (m_mode == m_modeBuildRoad) {
        m_draft.clear();
        if (m_renderer) {
            m_renderer->SetDraft(m_draft, true);
        }
    }
    m_mode = mode;
    m_dragging = false;
    m_hovered = {kNoCell, kNoCell};
    if (!m_map) {
        return;
    }
    if (mode == m_modeDefault) {
        m_map->RemoveRenderer(ComponentRef<IGridRenderer>(this));
        m_inMapOverlays = false;
    } else {
        // Added again on every switch between two other modes, as the map keeps duplicates; the next default
        // mode removes them all.
        m_map->AddRenderer(ComponentRef<IGridRenderer>(this));
        m_inMapOverlays = true;
    }
}

// ---- roads

void TerrainBuilder::AddRoadCell(std::int32_t x, std::int32_t y, std::int32_t kind, bool sameState) {
    if (m_renderer) {
        m_renderer->AddRoadCell(x, y, kind, sameState);
    }
}

void TerrainBuilder::BreakRoadCell(std::int32_t x, std::int32_t y) {
    if (m_renderer) {
        m_renderer->BreakRoadCell(x, y);
    }
    if (m_map) {
        m_map->SetCellValue(x, y, m_map->GetCellValueCodes().roadBroken);
    }
    ScriptValue function = callback("OnChangeRoads");
    if (!function.isNull() && beginCall(function)) {
        ScriptCall::end();
    }
}

void TerrainBuilder::RemoveRoadCell(std::int32_t x, std::int32_t y) {
    if (m_renderer) {
        m_renderer->RemoveRoadCell(x, y);
    }
}

void TerrainBuilder::buildRoadCellsFromScript(ScriptValue cells) {
    BuildRoadCells(construction::vector2Elements(cells));
}

void TerrainBuilder::BuildRoadCells(const std::vector<Vector2>& cells) {
    if (!m_map) {
        return;
    }
    ComponentRef<> self(abstractOf(this)); // the callbacks of ClearCell may drop the script's handle
    for (const Vector2& cell : cells) {
        const std::int32_t x = truncated(cell.x);
        const std::int32_t y = truncated(cell.y);
        if (!m_map) {
            return; // shut down by a callback
        }
        // The map and the road renderer would take (width, 0) as the cell (0, 1), unchecked for what stands
        // there: cells off the map are left out.
        if (!inside(x, y)) {
            continue;
        }
        const CellValueCodes& codes = m_map->GetCellValueCodes();
        if (m_map->GetCellValue(x, y) == codes.roadBroken) {
            if (m_renderer) {
                m_renderer->RepairRoadCell(x, y);
            }
        } else {
            ClearCell(x, y);
            if (m_renderer) {
                m_renderer->AddRoadCell(x, y, 1, true);
            }
        }
        if (m_map) {
            m_map->SetCellValue(x, y, m_map->GetCellValueCodes().road);
        }
    }
}

// ---- the draft

void TerrainBuilder::showDraft() {
    ScriptValue function = callback("CanBuildRoad");
    bool valid = false;
    if (!function.isNull()) {
        ScriptValue cells = construction::scriptVector2Array(draftCells(Use::Judge));
        if (beginCall(function)) {
            ScriptCall::pushValue(cells);
            valid = construction::answeredYes(ScriptCall::end());
        }
    }
    if (m_renderer) {
        m_renderer->SetDraft(m_draft, valid);
    }
}

void TerrainBuilder::UpdateDraftBegin() {
    if (m_hovered.x == m_draftStart.x && m_hovered.y == m_draftStart.y) {
        return;
    }
    m_draftStart = m_hovered;
    m_draftEnd = m_hovered;
    m_draft.clear();
    if (inside(m_hovered.x, m_hovered.y) && inRoadMask(m_map->GetCellValue(m_hovered.x, m_hovered.y))) {
        m_draft.push_back(m_hovered);
    }
    showDraft();
}

void TerrainBuilder::updateDragDraft() {
    if (m_hovered.x == m_draftEnd.x && m_hovered.y == m_draftEnd.y) {
        return;
    }
    m_draftEnd = m_hovered;
    m_draft.clear();
    if (m_router && inside(m_hovered.x, m_hovered.y)) {
        m_router->SetPassMask(m_roadMask);
        const std::int32_t count =
            m_router->FindPath({static_cast<float>(m_draftStart.x), static_cast<float>(m_draftStart.y)},
                               {static_cast<float>(m_hovered.x), static_cast<float>(m_hovered.y)}, false);
        for (std::int32_t i = 0; i < count; ++i) {
            const Vector2& point = m_router->GetPoint(i);
            m_draft.push_back({static_cast<std::uint16_t>(truncated(point.x)),
                               static_cast<std::uint16_t>(truncated(point.y))});
        }
    }
    showDraft();
}

// ---- forest and clearing

bool TerrainBuilder::ask(const char* name, std::int32_t x, std::int32_t y, std::int32_t level) {
    ScriptValue function = callback(name);
    if (function.isNull()) {
        return false;
    }
    ScriptValue cell = construction::scriptVector2({static_cast<float>(x), static_cast<float>(y)});
    if (!beginCall(function)) {
        return false;
    }
    ScriptCall::pushValue(cell);
    if (level >= 0) {
        ScriptCall::pushInt(level);
    }
    return construction::answeredYes(ScriptCall::end());
}

bool TerrainBuilder::cellToScreen(Matrix3& out) {
    if (!m_map || !m_camera || !m_renderer) {
        return false;
    }
    out = m_map->GetPosition() * m_camera->GetWorldToScreen();
    return true;
}

void TerrainBuilder::plantForest(std::int32_t x, std::int32_t y) {
    const std::int32_t level = plantLevel(x, y);
    if (level < 0) {
        return;
    }
    ComponentRef<> self(abstractOf(this));
    if (!ask("OnBuildForest", x, y, level) || !m_map) {
        return;
    }
    m_map->SetCellValue(x, y, m_map->GetCellValueCodes().forestMin + level);
    Matrix3 toScreen;
    if (!m_forestLayer || !cellToScreen(toScreen)) {
        return;
    }
    RemoveTiles(x, y, m_forestLayer.get(), m_cutTiles, 1);
    const float r1 = fraction();
    const float r2 = fraction();
    const Vector2 spot{static_cast<float>(x) + 0.04f + 0.92f * r2,
                       static_cast<float>(y) + 0.04f + 0.92f * r1};
    AddTerrainTile(toScreen.MultVrt(spot), m_forestLayer.get(), m_forestTiles, false);
}

void TerrainBuilder::ClearCell(std::int32_t x, std::int32_t y) {
    if (!inside(x, y)) {
        return;
    }
    const CellValueCodes codes = m_map->GetCellValueCodes();
    const std::int32_t value = m_map->GetCellValue(x, y);
    ComponentRef<> self(abstractOf(this));
    // The callback may change connections or the cell itself; the clearing uses what stands afterwards.
    if (value == codes.road || value == codes.roadBroken) {
        if (!ask(value == codes.road ? "OnDestroyRoad" : "OnDestroyRoadBroken", x, y)) {
            return;
        }
        if (m_renderer) {
            m_renderer->RemoveRoadCell(x, y);
        }
    } else if (value >= codes.forestMin && value <= codes.forestMax) {
        if (!ask("OnDestroyForest", x, y, value - codes.forestMin + 1)) {
            return;
        }
        RemoveTiles(x, y, m_forestLayer.get(), m_forestTiles, 0);
        RemoveTiles(x, y, m_forestLayer.get(), m_cutTiles, 0);
    } else if (value == codes.forestBurnt) {
        if (!ask("OnDestroyForestBurnt", x, y)) {
            return;
        }
        RemoveTiles(x, y, m_forestLayer.get(), m_burntTiles, 0);
    } else if (value == codes.forestCutted) {
        if (!ask("OnDestroyForestCutted", x, y)) {
            return;
        }
        RemoveTiles(x, y, m_forestLayer.get(), m_cutTiles, 0);
    } else if (value == codes.waste) {
        if (!ask("OnDestroyWaste", x, y)) {
            return;
        }
        RemoveTiles(x, y, m_wasteLayer.get(), m_wasteTiles, 0);
    } else {
        return; // empty ground, indestructible roads, buildings, plants ...
    }
    if (m_map) {
        m_map->SetCellValue(x, y, codes.clean);
    }
}

// ---- tiles

void TerrainBuilder::AddTerrainTile(const Vector2& position, ITileLayer* layer,
                                    const std::vector<std::int16_t>& tiles, bool append) {
    if (layer == nullptr || !m_renderer || !m_camera) {
        return;
    }
    if (tiles.empty()) {
        logWarning(kTag, "no tiles to choose from: nothing added at (%d, %d)", truncated(position.x),
                   truncated(position.y));
        return;
    }
    const std::int64_t pick =
        std::int64_t(tiles.size()) * engineRandom() / (std::int64_t(ENGINE_RAND_MAX) + 1);
    const TileRecord record{screenCoordinate(position.x), screenCoordinate(position.y),
                            tiles[static_cast<std::size_t>(pick)]};
    if (append) {
        layer->AppendTile(record);
    } else {
        layer->InsertTile(record);
    }
}

void TerrainBuilder::RemoveTiles(std::int32_t x, std::int32_t y, ITileLayer* layer,
                                 const std::vector<std::int16_t>& tiles, std::int32_t limit) {
    Matrix3 toScreen;
    if (layer == nullptr || tiles.empty() || !cellToScreen(toScreen)) {
        return;
    }
    const Matrix3 toCell = toScreen.Inverse();
    std::int32_t removed = 0;
    // A removal moves the next tile to the same index, so the walk stays there.
    for (std::size_t i = 0; i < layer->GetTiles().size();) {
        const TileRecord tile = layer->GetTiles()[i];
        const Vector2 cell = toCell.MultVrt({static_cast<float>(tile.x), static_cast<float>(tile.y)});
        const bool listed = std::find(tiles.begin(), tiles.end(), tile.tile) != tiles.end();
        if (listed && truncated(std::floor(cell.x)) == x && truncated(std::floor(cell.y)) == y) {
            layer->RemoveTile(static_cast<std::int32_t>(i));
            if (limit > 0 && ++removed >= limit) {
                return;
            }
        } else {
            ++i;
        }
    }
}

void TerrainBuilder::addTerrainTileFromScript(const Vector2& position, ITileLayer* layer, ScriptValue tiles,
                                              bool append) {
    AddTerrainTile(position, layer, construction::tileNumbers(tiles), append);
}

void TerrainBuilder::removeTilesFromScript(std::int32_t x, std::int32_t y, ITileLayer* layer,
                                           ScriptValue tiles, std::int32_t limit) {
    RemoveTiles(x, y, layer, construction::tileNumbers(tiles), limit);
}

void TerrainBuilder::replaceTilesFromScript(std::int32_t x, std::int32_t y, ITileLayer* layer,
                                            ScriptValue fromTiles, ScriptValue toTiles) {
    Matrix3 toScreen;
    if (layer == nullptr || !cellToScreen(toScreen)) {
        return;
    }
    const std::vector<std::int16_t> from = construction::tileNumbers(fromTiles);
    const std::vector<std::int16_t> to = construction::tileNumbers(toTiles);
    const Matrix3 toCell = toScreen.Inverse();
    for (std::size_t i = 0; i < layer->GetTiles().size(); ++i) {
        const TileRecord tile = layer->GetTiles()[i];
        const Vector2 cell = toCell.MultVrt({static_cast<float>(tile.x), static_cast<float>(tile.y)});
        if (truncated(std::floor(cell.x)) != x || truncated(std::floor(cell.y)) != y) {
            continue;
        }
        const auto k = std::find(from.begin(), from.end(), tile.tile);
        // A replacement list shorter than the list replaced leaves the tiles without a partner as they are.
        if (k != from.end() && std::size_t(k - from.begin()) < to.size()) {
            layer->SetTileNumber(static_cast<std::int32_t>(i),
                                 to[static_cast<std::size_t>(k - from.begin())]);
        }
    }
}

// ---- input

void TerrainBuilder::updateHovered(float px, float py) {
    if (!m_map || !m_camera) {
        return;
    }
    const Vector2 cell = (m_camera->GetUIToWorld() * m_map->GetPosition().Inverse()).MultVrt({px, py});
    // Off the map no cell is hovered: a 16-bit cell made of a negative or too large coordinate would name
    // another cell of the map (or none) and be cleared, planted or routed to by mistake.
    const std::int32_t x = truncated(std::floor(cell.x));
    const std::int32_t y = truncated(std::floor(cell.y));
    const CellPosition hovered =
        inside(x, y) ? CellPosition{static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y)}
                     : CellPosition{kNoCell, kNoCell};
    if (hovered.x == m_hovered.x && hovered.y == m_hovered.y) {
        return;
    }
    m_hovered = hovered;
    if (hovered.x != kNoCell) {
        ScriptValue function = callback("OnCellHovered");
        if (!function.isNull()) {
            ScriptValue value = construction::scriptVector2({static_cast<float>(x), static_cast<float>(y)});
            if (beginCall(function)) {
                ScriptCall::pushValue(value);
                ScriptCall::end();
            }
        }
    }
}

bool TerrainBuilder::HandleKeyEvent(const KDEvent& event) {
    return ScriptedObject::HandleKeyEvent(event);
}

bool TerrainBuilder::HandlePointerEvent(const KDEvent& event) {
    const KDEventInputPointer& pointer = event.data.inputpointer;
    if (m_mode == m_modeDefault || pointer.index < KD_INPUT_POINTER_X ||
        pointer.index > KD_INPUT_POINTER_SELECT) {
        return ScriptedObject::HandlePointerEvent(event);
    }
    ComponentRef<> self(abstractOf(this)); // a callback may drop the script's last handle
    updateHovered(static_cast<float>(pointer.x), static_cast<float>(pointer.y));
    const bool move = pointer.index < KD_INPUT_POINTER_SELECT;
    const bool pressed = !move && pointer.select == 1;
    const bool released = !move && pointer.select == 0;
    bool consumed = false;
    if (m_mode == m_modeBuildRoad) {
        if (move && m_dragging) {
            updateDragDraft();
            consumed = true;
        } else if (move) {
            UpdateDraftBegin();
        } else if (pressed) {
            UpdateDraftBegin(); // a press with no move before it (a touch) starts where it lands
            m_dragging = true;
            consumed = true;
        } else if (released && m_dragging) {
            m_dragging = false;
            ScriptValue function = callback("OnBuildRoad");
            if (!function.isNull()) {
                ScriptValue cells = construction::scriptVector2Array(draftCells(Use::Build));
                if (beginCall(function)) {
                    ScriptCall::pushValue(cells);
                    ScriptCall::end();
                }
            }
            consumed = true;
        }
    } else if (m_mode == m_modeBuildForest) {
        if (pressed) {
            plantForest(m_hovered.x, m_hovered.y);
            consumed = true;
        }
    } else if (m_mode == m_modeDestroy) {
        if (move && m_dragging) {
            ClearCell(m_hovered.x, m_hovered.y);
            consumed = true;
        } else if (pressed) {
            ClearCell(m_hovered.x, m_hovered.y);
            m_dragging = true;
            consumed = true;
        } else if (released && m_dragging) {
            m_dragging = false;
            consumed = true;
        }
    }
    return consumed || ScriptedObject::HandlePointerEvent(event);
}

// ---- overlay

void TerrainBuilder::Render(IGraphics* graphics) {
    ICamera* camera = graphics != nullptr ? graphics->GetCamera() : nullptr;
    if (!m_map || camera == nullptr || m_mode == m_modeDefault) {
        return;
    }
    const CellValueCodes& codes = m_map->GetCellValueCodes();
    const std::int32_t width = m_map->GetWidth();
    const std::int32_t height = m_map->GetHeight();
    const bool hoveredPlantable = plantLevel(m_hovered.x, m_hovered.y) >= 0;
    const auto colourOf = [&](std::int32_t x, std::int32_t y) -> std::uint32_t {
        const std::int32_t value = m_map->GetCellValue(x, y);
        const bool hovered = x == m_hovered.x && y == m_hovered.y;
        if (m_mode == m_modeBuildRoad) {
            return inRoadMask(value) ? 0 : kShadeColour;
        }
        if (m_mode == m_modeBuildForest) {
            if (value != codes.clean && value != codes.forestCutted &&
                !(value >= codes.forestMin && value < codes.forestMax)) {
                return kShadeColour;
            }
            return hovered && hoveredPlantable ? kPlantColour : 0;
        }
        if (m_mode == m_modeDestroy && hovered) {
            const bool clearable = value == codes.road || value == codes.roadBroken || value == codes.waste ||
                                   value == codes.forestBurnt || value == codes.forestCutted ||
                                   isForest(value);
            return clearable ? kDestroyColour : 0;
        }
        return 0;
    };
    const Matrix3 previous = graphics->GetTransform();
    const Matrix3 cellToTarget = m_map->GetPosition() * camera->GetWorldToScreen() * previous;
    // Only the cells that can show: a zoomed-in view walks its part of the map, not all of it.
    const Rect shown = construction::cellsInClip(graphics, cellToTarget, Rect(0, 0, width, height));
    if (shown.IsEmpty()) {
        return;
    }
    graphics->SetTransform(cellToTarget);
    // Transparent cells are skipped: filling them would change nothing. Runs down a column are one rectangle.
    const std::int32_t bottom = shown.Y + shown.Height;
    for (std::int32_t x = shown.X; x < shown.X + shown.Width; ++x) {
        std::int32_t y = shown.Y;
        while (y < bottom) {
            const std::uint32_t colour = colourOf(x, y);
            const std::int32_t start = y;
            while (++y < bottom && colourOf(x, y) == colour) {
            }
            if ((colour >> 24) != 0) {
                graphics->SetColor(colour);
                graphics->FillRect(static_cast<float>(x), static_cast<float>(start), 1.0f,
                                   static_cast<float>(y - start));
            }
        }
    }
    graphics->SetTransform(previous);
}
