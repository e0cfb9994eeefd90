#pragma once
// `TileLayer`: one drawing layer of the tile world. A large, mostly static array of placed tiles (kept in
// ascending y for depth), an optional repeating back tile with parallax, and registered tile objects drawn
// between the tiles by depth key, so an object in front of a row of tiles covers it.
//
// Drawing visits only the buckets of a grid that overlap the visible area: 128 x 128, or larger squares
// (doubling) where the tiles lie so far apart that the grid would have more than max(4096, 2 x tiles)
// buckets, so neither the grid nor a frame's walk grows with the distance between tiles. The buckets hold
// tile indices (never pointers into the array) and the grid is rebuilt after every change of the tiles, on
// every path (a short read included), and when the tile set is reloaded (rectangles come from it). Per frame
// the visible list, the dedupe marks and the sorted objects live in buffers reused between frames: a steady
// frame allocates nothing. Objects are culled too: a tile object whose tile lies outside the view (or that
// draws nothing) costs one read of its position, and only the others get a depth key, a place in the depth
// sort and a drawing call. Positions are read afresh every frame, since nothing tells the layer when one
// moves.
//
// Stream format: u16 count n, then n x (i16 tile, i16 x, i16 y). A layer of more than 32767 tiles is not
// written (it could not be read back); a negative count, or one larger than the bytes the stream still
// holds, is refused without touching the tiles.

#include <cstdint>
#include <vector>

#include "binding/binding_script_object.h"
#include "component/classifiable_base.h"
#include "component/component_ref.h"
#include "component/frame_interfaces.h"
#include "component/game_interfaces.h"
#include "component/group_interfaces.h"
#include "component/identifiable_base.h"
#include "component/media_interfaces.h"
#include "component/stream_interfaces.h"

class TileObject;

class TileLayer final : public ITileLayer,
                        public IdentifiableBase,
                        public ClassifiableBase,
                        public IReadable,
                        public IWriteable,
                        public IRenderable,
                        public IFunctionalGroup,
                        public ScriptObjectBase<TileLayer> {
public:
    static constexpr char ScriptTypeName[] = "TileLayer";
    static constexpr std::int32_t BucketSize = 128;
    // The most records a stream can carry (the count is read as signed 16 bits).
    static constexpr std::int32_t MaxStreamTiles = 32767;
    // ReadTiles, GetRenderLayer, SetRenderLayer, SetBackTile, SetBackParallax, RegisterObject,
    // UnregisterObject, ClearObjects.
    static const MethodTable& scriptMethods();

    TileLayer() = default;
    ~TileLayer() override;

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<ITileLayer, IScriptObject, IIdentifiable, IClassifiable, IReadable, IWriteable,
                          IRenderable, IFunctionalGroup>(this, id);
    }

    // ITileLayer
    const std::vector<TileRecord>& GetTiles() override { return m_tiles; }
    void InsertTile(const TileRecord& tile) override;
    void AppendTile(const TileRecord& tile) override;
    // Indices outside the array are ignored.
    void RemoveTile(std::int32_t index) override;
    void SetTileNumber(std::int32_t index, std::int32_t tile) override;

    // IReadable / IWriteable: the stream format above.
    bool ReadFrom(IInputStream* stream) override;
    bool WriteTo(IOutputStream* stream) override;
    // `count` records (tile, x, y) without a count in front. False for a negative count or one the stream
    // cannot hold (nothing changes), or on a short read (the array keeps its new size; the grid follows it).
    bool ReadTiles(IInputStream* stream, std::int32_t count);

    // IRenderable
    void Render(IGraphics* graphics, ClassMask mask) override;
    using IRenderable::Render;
    std::int32_t GetRenderLayer() override { return m_renderLayer; }
    void SetRenderLayer(std::int32_t layer) { m_renderLayer = layer; }

    // IFunctionalGroup: tile objects. Add answers false without ITileObject; an object of another render
    // layer is accepted but not kept (answer true). Remove drops every entry of the object.
    bool Add(IAbstract* component) override;
    void Remove(IAbstract* component) override;
    void Clear() override;

    void SetBackTile(std::int32_t tile) { m_backTile = static_cast<std::int16_t>(tile); }
    // Clamped to 0 ... 31.
    void SetBackParallax(std::int32_t shift);

    // The visible tile indices for a screen rectangle, in array order (tests and the benchmark). The span is
    // valid until the next call or draw.
    const std::vector<std::int32_t>& visibleTiles(std::int32_t left, std::int32_t top, std::int32_t right,
                                                  std::int32_t bottom);
    // Buckets visited by the last visibleTiles or draw.
    std::int32_t lastBucketsVisited() const { return m_bucketsVisited; }
    // Objects the last draw kept after culling (sorted and drawn).
    std::int32_t lastObjectsDrawn() const { return static_cast<std::int32_t>(m_sorted.size()); }
    std::int32_t bucketColumns() const { return m_columns; }
    // The side of a bucket: BucketSize, or a larger power-of-two multiple when the tiles lie far apart.
    std::int32_t bucketSize() const { return m_bucketSize; }
    std::int32_t bucketRows() const { return m_rows; }

private:
    ITileManager* tileManager();
    void rebuildGrid();
    // Rebuilds when the tile set changed since the last build.
    void refreshGrid();
    void drawTiles(IGraphics* graphics, ICamera* camera);
    // The visible area in the layer's (screen) coordinates; false when the clip shows nothing.
    struct View {
        std::int32_t left = 0, top = 0, right = 0, bottom = 0;
        bool axisAligned = false;
    };
    static bool viewOf(IGraphics* graphics, ICamera* camera, View& view);
    // Fills m_sorted with the objects to draw, by depth key. With a view, tile objects whose tile lies
    // outside it are left out.
    void sortObjects(ICamera* camera, const View* view);

    std::vector<TileRecord> m_tiles;
    // Bucket grid: origin and size in screen units; bucket b holds m_bucketTiles[m_bucketStart[b] ...
    // m_bucketStart[b + 1]).
    std::int32_t m_originX = 0, m_originY = 0, m_columns = 0, m_rows = 0, m_bucketSize = BucketSize;
    std::vector<std::uint32_t> m_bucketStart;
    std::vector<std::int32_t> m_bucketTiles;
    // Tiles whose rectangle spans more than MaxTileBuckets buckets are kept out of the grid (a few huge tiles
    // would otherwise fill it with millions of entries) and tested against the view one by one.
    static constexpr std::int64_t MaxTileBuckets = 64;
    std::vector<std::int32_t> m_largeTiles;
    std::vector<Rect> m_largeRects;
    std::uint32_t m_gridTileSet = 0; // tile-set version the grid was built with
    // Per-frame buffers.
    std::vector<std::int32_t> m_visible;
    std::vector<std::uint32_t> m_mark;
    std::uint32_t m_stamp = 0;
    std::int32_t m_bucketsVisited = 0;
    struct SortedObject {
        ComponentRef<ITileObject> object;
        float key = 0.0f;
        std::uint32_t registration = 0; // index in m_objects: equal keys keep registration order
    };
    std::vector<SortedObject> m_sorted;

    // Registered objects; the TileObject behind an entry (null for another kind) is what culling reads.
    struct Registered {
        ComponentRef<ITileObject> object;
        TileObject* tileObject = nullptr;
    };
    std::vector<Registered> m_objects;
    ComponentRef<ITileManager> m_tileManager;
    std::int32_t m_renderLayer = 0;
    std::int16_t m_backTile = -1;
    std::int32_t m_backParallax = 0;
};
