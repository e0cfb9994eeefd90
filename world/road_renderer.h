#pragma once
// `RoadRenderer`: the road network over a grid map. One optional record per cell of the map; each record is
// linked to its road neighbours (bit 1 left, 2 right, 4 up, 8 down) and drawn with the tile of its mask
// (auto-tiling): entries 0-15 of the tile table for roads, 16-31 for broken roads, 32 the mark tile drawn
// over highlighted cells and route marks. It also shows the road draft the terrain builder proposes while the
// player drags a road.
//
// Cells are addressed as the grid map does: the index y * width + x must lie in [0, width * height) and the
// cell is the one that index names, so (width, 0) is the cell (0, 1). An operation on any other cell is
// ignored with a log line; a neighbour outside the grid holds no road.
//
// Stream format (little-endian): i32 record count n, then n x (i32 cell index, i32 mask, u8 kind, u8 broken)
// in index order. Reading needs the grid size (SetGridMap first). A stream whose count is negative or larger
// than the grid or than the bytes left, whose index lies outside the grid or whose mask is not 0-15, or which
// ends early, is refused as a whole: the renderer keeps the records it had.

#include <cstdint>
#include <vector>

#include "binding/binding_script_object.h"
#include "component/classifiable_base.h"
#include "component/component_ref.h"
#include "component/game_interfaces.h"
#include "component/identifiable_base.h"
#include "component/media_interfaces.h"
#include "component/stream_interfaces.h"
#include "math/matrix3.h"

class RoadRenderer final : public IRoadRenderer,
                           public IdentifiableBase,
                           public ClassifiableBase,
                           public IWriteable,
                           public IReadable,
                           public ScriptObjectBase<RoadRenderer> {
public:
    static constexpr char ScriptTypeName[] = "RoadRenderer";
    static constexpr std::int32_t RoadTiles = 0;
    static constexpr std::int32_t BrokenTiles = 16;
    static constexpr std::int32_t MarkTile = 32;
    static constexpr std::uint32_t ValidDraftColour = 0xDDDDDDDD;
    static constexpr std::uint32_t InvalidDraftColour = 0xEEFF0000;
    // The largest grid the renderer keeps records for (4096 x 4096 cells).
    static constexpr std::int64_t MaxCells = std::int64_t(1) << 24;
    // SetRenderLayer, SetRoadTiles, SetRoadBrokenTiles, HighlightRoadCells, SetRouteMarkTile.
    static const MethodTable& scriptMethods();

    RoadRenderer() = default;

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IRoadRenderer, IRenderable, IScriptObject, IIdentifiable, IClassifiable, IWriteable,
                          IReadable>(this, id);
    }

    // IRenderable: the drawn roads in index order, then the draft. Needs the context's camera; draws only
    // when the renderer's classificators pass the mask. Only the cells whose tiles (by their rectangles) can
    // reach the clip are visited, so a frame costs what the view shows, not the whole network.
    void Render(IGraphics* graphics, ClassMask mask) override;
    using IRoadRenderer::Render;
    std::int32_t GetRenderLayer() override { return m_renderLayer; }
    void SetRenderLayer(std::int32_t layer) { m_renderLayer = layer; }

    // IRoadRenderer
    // Takes the map's size and transform and drops every record and the draft. A map larger than MaxCells
    // leaves the renderer without cells.
    void SetGridMap(IGridMap* map) override;
    // Nothing when the cell already holds a road.
    void AddRoadCell(std::int32_t x, std::int32_t y, std::int32_t kind, bool sameStateLinksOnly) override;
    // Links stay.
    void BreakRoadCell(std::int32_t x, std::int32_t y) override;
    // Relinks the cell with neighbours of its own state.
    void RepairRoadCell(std::int32_t x, std::int32_t y) override;
    // Unbroken neighbours drop their link to the cell; broken ones keep it until they are repaired.
    void RemoveRoadCell(std::int32_t x, std::int32_t y) override;
    // A side is connected when its neighbour is in the list too or holds an unbroken road.
    void SetDraft(const std::vector<CellPosition>& cells, bool valid) override;
    void HighlightRoadCells(const std::vector<Vector2>& cells, bool value) override;
    void DrawDraft(IGraphics* graphics, const std::vector<RoadDraftCell>& draft) override;
    void DrawMarks(IGraphics* graphics, const std::vector<RoadCellRecord>& cells) override;
    std::vector<RoadCellRecord> GetRoadCells(const std::vector<CellPosition>& cells) override;

    // IWriteable / IReadable: the stream format above.
    bool WriteTo(IOutputStream* stream) override;
    bool ReadFrom(IInputStream* stream) override;

    // Entries 0-15 (roads) or 16-31 (broken roads) from the first 16 numbers of the list; entries the list
    // does not reach keep their tiles.
    void SetRoadTiles(const std::vector<std::int32_t>& tiles) { setTiles(RoadTiles, tiles); }
    void SetRoadBrokenTiles(const std::vector<std::int32_t>& tiles) { setTiles(BrokenTiles, tiles); }
    void SetRouteMarkTile(std::int32_t tile) { m_tiles[MarkTile] = static_cast<std::int16_t>(tile); }

    // For tests and tools.
    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    // The record of the cell, or null (no road, or outside the grid).
    const RoadCellRecord* cell(std::int32_t x, std::int32_t y) const;
    const std::vector<RoadDraftCell>& draft() const { return m_draft; }
    std::int32_t tile(std::int32_t entry) const { return m_tiles[static_cast<std::size_t>(entry)]; }

private:
    struct CellRange {
        std::int32_t left, top, right, bottom; // inclusive; empty when right < left or bottom < top
    };
    // The cells whose tiles can reach the graphics clip (the whole grid for a degenerate view).
    CellRange visibleCells(IGraphics* graphics, ICamera* camera, ITileManager* tiles);
    // The index of (x, y), or -1 outside the grid; `operation` names the caller in the log line (none when
    // null).
    std::int64_t indexOf(std::int64_t x, std::int64_t y, const char* operation) const;
    RoadCellRecord* at(std::int64_t index) {
        return m_present[std::size_t(index)] ? &m_cells[std::size_t(index)] : nullptr;
    }
    // The neighbour index on `side` (0 left, 1 right, 2 up, 3 down), or -1 outside the grid.
    std::int64_t neighbour(std::int64_t index, int side) const;
    void link(std::int64_t index, bool sameStateOnly);
    Vector2 centre(std::int64_t index) const;
    void setTiles(std::int32_t first, const std::vector<std::int32_t>& tiles);
    ITileManager* tileManager();

    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    Matrix3 m_transform;
    std::vector<RoadCellRecord> m_cells; // width x height, meaningful where m_present is set
    std::vector<std::uint8_t> m_present;
    std::int16_t m_tiles[33] = {};
    std::vector<RoadDraftCell> m_draft;
    std::int32_t m_renderLayer = 0;
    ComponentRef<ITileManager> m_tileManager;
};

// `RoadCellsRenderer`: draws the road renderer's mark tile on a chosen set of road cells (a route). The cells
// are looked up when they are set: cells without a road then are not marked, even when a road is built there
// later, until the cells are set again.
class RoadCellsRenderer final : public IRenderable,
                                public IdentifiableBase,
                                public ClassifiableBase,
                                public ScriptObjectBase<RoadCellsRenderer> {
public:
    static constexpr char ScriptTypeName[] = "RoadCellsRenderer";
    // SetRenderLayer, SetRoadRenderer, SetCells, ClearCells.
    static const MethodTable& scriptMethods();

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IRenderable, IScriptObject, IIdentifiable, IClassifiable>(this, id);
    }

    // The road renderer's DrawMarks with the kept cells, when the classificators pass the mask.
    void Render(IGraphics* graphics, ClassMask mask) override;
    using IRenderable::Render;
    std::int32_t GetRenderLayer() override { return m_renderLayer; }
    void SetRenderLayer(std::int32_t layer) { m_renderLayer = layer; }

    void SetRoadRenderer(IRoadRenderer* renderer) { m_roads.reset(renderer); }
    // Coordinates truncated toward zero; needs the road renderer.
    void SetCells(const std::vector<Vector2>& cells);
    void ClearCells() { m_cells.clear(); }

    const std::vector<RoadCellRecord>& cells() const { return m_cells; }

private:
    ComponentRef<IRoadRenderer> m_roads;
    std::vector<RoadCellRecord> m_cells;
    std::int32_t m_renderLayer = 0;
};
