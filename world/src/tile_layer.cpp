// TileLayer: the bucket grid, the stream format and depth-ordered drawing of tiles and objects.
#include "world/tile_layer.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "component/class_names.h"
#include "component/component_registry.h"
#include "component/object_interfaces.h"
#include "graphics/tile_manager.h"
#include "platform/kd.h"
#include "world/tile_object.h"

namespace {

constexpr char kTag[] = "TileLayer";
// ReadTiles from a stream that cannot tell its length reads at most this many records.
constexpr std::int32_t kMaxReadTiles = 1 << 20;
// Copies of the back tile one frame may draw.
constexpr std::int64_t kMaxBackTiles = 1 << 16;
// Buckets the grid may have: a few tiles far apart must not make a grid (and a full view's walk) of a million
// empty buckets, so past this bound the buckets grow instead. Generous enough that the layers of a map keep
// the base size.
std::int64_t maxGridBuckets(std::size_t tiles) {
    return std::max<std::int64_t>(4096, 2 * static_cast<std::int64_t>(tiles));
}

bool readTilesFromScript(TileLayer& layer, IInputStream* stream, std::int32_t count) {
    return stream != nullptr && layer.ReadTiles(stream, count);
}
std::int32_t renderLayerFromScript(TileLayer& layer) {
    return layer.GetRenderLayer();
}
void setRenderLayerFromScript(TileLayer& layer, std::int32_t value) {
    layer.SetRenderLayer(value);
}
void setBackTileFromScript(TileLayer& layer, std::int32_t tile) {
    layer.SetBackTile(tile);
}
void setBackParallaxFromScript(TileLayer& layer, std::int32_t shift) {
    layer.SetBackParallax(shift);
}
bool registerFromScript(TileLayer& layer, IAbstract* object) {
    return layer.Add(object);
}
void unregisterFromScript(TileLayer& layer, IAbstract* object) {
    layer.Remove(object);
}
void clearFromScript(TileLayer& layer) {
    layer.Clear();
}

} // namespace

const MethodTable& TileLayer::scriptMethods() {
    static const MethodTable table{
        scriptMethod<TileLayer>("ReadTiles", &readTilesFromScript),
        scriptMethod<TileLayer>("GetRenderLayer", &renderLayerFromScript),
        scriptMethod<TileLayer>("SetRenderLayer", &setRenderLayerFromScript),
        scriptMethod<TileLayer>("SetBackTile", &setBackTileFromScript),
        scriptMethod<TileLayer>("SetBackParallax", &setBackParallaxFromScript),
        scriptMethod<TileLayer>("RegisterObject", &registerFromScript),
        scriptMethod<TileLayer>("UnregisterObject", &unregisterFromScript),
        scriptMethod<TileLayer>("ClearObjects", &clearFromScript),
    };
    return table;
}

TileLayer::~TileLayer() = default;

ITileManager* TileLayer::tileManager() {
    if (!m_tileManager) {
        ComponentRef<> created = ComponentRegistry::instance().create(classId(ClassName::TileManager));
        m_tileManager.reset(queryInterface<ITileManager>(created.get()));
    }
    return m_tileManager.get();
}

void TileLayer::SetBackParallax(std::int32_t shift) {
    m_backParallax = std::clamp(shift, 0, 31);
}

// --- tiles
// ---------------------------------------------------------------------------------------------------

void TileLayer::InsertTile(const TileRecord& tile) {
    auto at =
        std::find_if(m_tiles.begin(), m_tiles.end(), [&](const TileRecord& r) { return r.y >= tile.y; });
    m_tiles.insert(at, tile);
    rebuildGrid();
}

void TileLayer::AppendTile(const TileRecord& tile) {
    m_tiles.push_back(tile);
    rebuildGrid();
}

void TileLayer::RemoveTile(std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= m_tiles.size()) {
        return;
    }
    m_tiles.erase(m_tiles.begin() + index);
    rebuildGrid();
}

void TileLayer::SetTileNumber(std::int32_t index, std::int32_t tile) {
    if (index < 0 || static_cast<std::size_t>(index) >= m_tiles.size()) {
        return;
    }
    m_tiles[static_cast<std::size_t>(index)].tile = static_cast<std::int16_t>(tile);
    rebuildGrid();
}

void TileLayer::rebuildGrid() {
    ITileManager* tiles = tileManager();
    auto* manager = dynamic_cast<TileManager*>(tiles);
    m_gridTileSet = manager != nullptr ? manager->version() : 0;
    m_columns = 0;
    m_rows = 0;
    m_bucketSize = BucketSize;
    m_bucketStart.assign(1, 0);
    m_bucketTiles.clear();
    m_largeTiles.clear();
    m_largeRects.clear();
    m_mark.assign(m_tiles.size(), 0);
    m_stamp = 0;
    if (m_tiles.empty() || tiles == nullptr) {
        return;
    }
    // Rectangles once per distinct tile number would be cheaper; edits are rare, so plainly per record.
    std::vector<Rect> rects(m_tiles.size());
    std::int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
    for (std::size_t i = 0; i < m_tiles.size(); ++i) {
        const TileRecord& t = m_tiles[i];
        Rect r = tiles->GetRect(t.tile, 0);
        r.X += t.x;
        r.Y += t.y;
        rects[i] = r;
        if (r.Width <= 0 || r.Height <= 0) {
            continue; // draws nothing: in no bucket
        }
        left = std::min<std::int64_t>(left, r.X);
        top = std::min<std::int64_t>(top, r.Y);
        right = std::max<std::int64_t>(right, std::int64_t(r.X) + r.Width);
        bottom = std::max<std::int64_t>(bottom, std::int64_t(r.Y) + r.Height);
    }
    if (left > right) {
        return;
    }
    m_originX = static_cast<std::int32_t>(left);
    m_originY = static_cast<std::int32_t>(top);
    std::int64_t size = BucketSize;
    const std::int64_t most = maxGridBuckets(m_tiles.size());
    while (((right - left + size - 1) / size) * ((bottom - top + size - 1) / size) > most) {
        size *= 2;
    }
    m_bucketSize = static_cast<std::int32_t>(size);
    m_columns = static_cast<std::int32_t>((right - left + size - 1) / size);
    m_rows = static_cast<std::int32_t>((bottom - top + size - 1) / size);
    const std::size_t buckets = static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(m_rows);
    // Two passes: count per bucket, then fill, so the grid is two flat arrays.
    std::vector<std::uint32_t> counts(buckets + 1, 0);
    auto forEachBucket = [&](const Rect& r, auto&& visit) {
        const std::int64_t rx = r.X - left, ry = r.Y - top;
        const auto c0 = static_cast<std::int32_t>(rx / size);
        const auto c1 = static_cast<std::int32_t>((rx + r.Width - 1) / size);
        const auto r0 = static_cast<std::int32_t>(ry / size);
        const auto r1 = static_cast<std::int32_t>((ry + r.Height - 1) / size);
        for (std::int32_t row = r0; row <= r1; ++row) {
            for (std::int32_t column = c0; column <= c1; ++column) {
                visit(static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns) +
                      static_cast<std::size_t>(column));
            }
        }
    };
    auto bucketsOf = [&](const Rect& r) {
        const std::int64_t rx = r.X - left, ry = r.Y - top;
        return ((rx + r.Width - 1) / size - rx / size + 1) * ((ry + r.Height - 1) / size - ry / size + 1);
    };
    for (std::size_t i = 0; i < rects.size(); ++i) {
        Rect& r = rects[i];
        if (r.Width > 0 && r.Height > 0 && bucketsOf(r) > MaxTileBuckets) {
            m_largeTiles.push_back(static_cast<std::int32_t>(i));
            m_largeRects.push_back(r);
            r.Width = 0; // not in the grid
        }
        if (r.Width > 0 && r.Height > 0) {
            forEachBucket(r, [&](std::size_t b) { ++counts[b + 1]; });
        }
    }
    for (std::size_t b = 0; b < buckets; ++b) {
        counts[b + 1] += counts[b];
    }
    m_bucketStart = counts;
    m_bucketTiles.assign(m_bucketStart[buckets], 0);
    for (std::size_t i = 0; i < rects.size(); ++i) {
        if (rects[i].Width > 0 && rects[i].Height > 0) {
            forEachBucket(rects[i],
                          [&](std::size_t b) { m_bucketTiles[counts[b]++] = static_cast<std::int32_t>(i); });
        }
    }
}

void TileLayer::refreshGrid() {
    auto* manager = dynamic_cast<TileManager*>(tileManager());
    if (manager != nullptr && manager->version() != m_gridTileSet) {
        rebuildGrid();
    }
}

const std::vector<std::int32_t>& TileLayer::visibleTiles(std::int32_t left, std::int32_t top,
                                                         std::int32_t right, std::int32_t bottom) {
    m_visible.clear();
    m_bucketsVisited = 0;
    if (m_columns <= 0 || m_rows <= 0 || m_mark.size() != m_tiles.size()) {
        return m_visible;
    }
    // Truncating divisions, as the grid's own arithmetic; clamped to the grid.
    const std::int64_t c0 = std::max<std::int64_t>((std::int64_t(left) - m_originX) / m_bucketSize, 0);
    const std::int64_t r0 = std::max<std::int64_t>((std::int64_t(top) - m_originY) / m_bucketSize, 0);
    const std::int64_t c1 =
        std::min<std::int64_t>((std::int64_t(right) - m_originX - 1) / m_bucketSize + 1, m_columns);
    const std::int64_t r1 =
        std::min<std::int64_t>((std::int64_t(bottom) - m_originY - 1) / m_bucketSize + 1, m_rows);
    if (++m_stamp == 0) {
        std::fill(m_mark.begin(), m_mark.end(), 0);
        m_stamp = 1;
    }
    for (std::int64_t row = r0; row < r1; ++row) {
        for (std::int64_t column = c0; column < c1; ++column) {
            const std::size_t b = static_cast<std::size_t>(row * m_columns + column);
            ++m_bucketsVisited;
            for (std::uint32_t k = m_bucketStart[b]; k < m_bucketStart[b + 1]; ++k) {
                const std::int32_t index = m_bucketTiles[k];
                if (m_mark[static_cast<std::size_t>(index)] != m_stamp) {
                    m_mark[static_cast<std::size_t>(index)] = m_stamp;
                    m_visible.push_back(index);
                }
            }
        }
    }
    for (std::size_t i = 0; i < m_largeTiles.size(); ++i) {
        const Rect& r = m_largeRects[i];
        if (std::int64_t(r.X) < right && std::int64_t(r.X) + r.Width > left && std::int64_t(r.Y) < bottom &&
            std::int64_t(r.Y) + r.Height > top) {
            m_mark[static_cast<std::size_t>(m_largeTiles[i])] = m_stamp;
            m_visible.push_back(m_largeTiles[i]);
        }
    }
    // Back to array order: a view that shows a good part of the layer reads the marks in order, which costs
    // one pass over the layer instead of a sort of most of it.
    if (m_visible.size() * 16 >= m_mark.size()) {
        m_visible.clear();
        for (std::size_t i = 0; i < m_mark.size(); ++i) {
            if (m_mark[i] == m_stamp) {
                m_visible.push_back(static_cast<std::int32_t>(i));
            }
        }
    } else {
        std::sort(m_visible.begin(), m_visible.end());
    }
    return m_visible;
}

// --- streams
// -------------------------------------------------------------------------------------------------

bool TileLayer::ReadTiles(IInputStream* stream, std::int32_t count) {
    if (stream == nullptr || count < 0 || count > kMaxReadTiles) {
        return false;
    }
    const std::int64_t available = stream->Available();
    if (available >= 0 && available < std::int64_t(count) * 6) {
        logWarning(kTag, "ReadTiles: %d tiles need %d bytes, the stream holds %lld", count, count * 6,
                   static_cast<long long>(available));
        return false;
    }
    m_tiles.assign(static_cast<std::size_t>(count), TileRecord{});
    bool complete = true;
    std::uint8_t buffer[6 * 512];
    for (std::int32_t done = 0; done < count && complete;) {
        const std::int32_t n = std::min<std::int32_t>(count - done, 512);
        const std::int32_t got = stream->Read(buffer, n * 6);
        const std::int32_t records = std::max(got, 0) / 6;
        for (std::int32_t i = 0; i < records; ++i) {
            const std::uint8_t* p = buffer + 6 * i;
            TileRecord& t = m_tiles[static_cast<std::size_t>(done + i)];
            t.tile = static_cast<std::int16_t>(p[0] | (p[1] << 8));
            t.x = static_cast<std::int16_t>(p[2] | (p[3] << 8));
            t.y = static_cast<std::int16_t>(p[4] | (p[5] << 8));
        }
        complete = got == n * 6;
        done += n;
    }
    // Rebuilt on either outcome: the grid must index the array as it now is.
    rebuildGrid();
    return complete;
}

bool TileLayer::ReadFrom(IInputStream* stream) {
    std::uint8_t bytes[2];
    if (stream == nullptr || stream->Read(bytes, 2) != 2) {
        return false;
    }
    const auto count = static_cast<std::int16_t>(bytes[0] | (bytes[1] << 8));
    if (count < 0) {
        logWarning(kTag, "Negative tile count %d", count);
        return false;
    }
    return ReadTiles(stream, count);
}

bool TileLayer::WriteTo(IOutputStream* stream) {
    if (stream == nullptr) {
        return false;
    }
    if (m_tiles.size() > static_cast<std::size_t>(MaxStreamTiles)) {
        logError(kTag, "%zu tiles can't be written (at most %d can be read back)", m_tiles.size(),
                 MaxStreamTiles);
        return false;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(2 + 6 * m_tiles.size());
    auto put16 = [&](std::int32_t v) {
        bytes.push_back(static_cast<std::uint8_t>(v));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    put16(static_cast<std::int32_t>(m_tiles.size()));
    for (const TileRecord& t : m_tiles) {
        put16(t.tile);
        put16(t.x);
        put16(t.y);
    }
    return stream->Write(bytes.data(), static_cast<std::int32_t>(bytes.size())) ==
           static_cast<std::int32_t>(bytes.size());
}

// --- objects
// -------------------------------------------------------------------------------------------------

bool TileLayer::Add(IAbstract* component) {
    auto* object = queryInterface<ITileObject>(component);
    if (object == nullptr) {
        return false;
    }
    if (object->GetRenderLayer() == m_renderLayer) {
        m_objects.push_back({ComponentRef<ITileObject>(object), dynamic_cast<TileObject*>(object)});
    }
    return true;
}

void TileLayer::Remove(IAbstract* component) {
    auto* object = queryInterface<ITileObject>(component);
    std::erase_if(m_objects, [&](const Registered& o) { return o.object.get() == object; });
}

void TileLayer::Clear() {
    m_objects.clear();
}

bool TileLayer::viewOf(IGraphics* graphics, ICamera* camera, View& view) {
    // Only the target can show anything: a script's oversized clip must not widen the loops below.
    Rect clip = graphics->GetClip();
    clip.Intersect(graphics->GetTargetRect());
    if (clip.IsEmpty()) {
        return false;
    }
    const Matrix3 toScreen = camera->GetUIToScreen();
    const Vector2 a = toScreen.MultVrt(Vector2{float(clip.X), float(clip.Y)});
    const Vector2 b =
        toScreen.MultVrt(Vector2{float(clip.X) + float(clip.Width), float(clip.Y) + float(clip.Height)});
    auto truncate = [](float v) {
        return static_cast<std::int32_t>(std::clamp(v, float(INT_MIN / 2), float(INT_MAX / 2)));
    };
    view.left = truncate(std::min(a.x, b.x));
    view.top = truncate(std::min(a.y, b.y));
    view.right = truncate(std::max(a.x, b.x));
    view.bottom = truncate(std::max(a.y, b.y));
    // Two corners bound the view only while it is not turned.
    view.axisAligned = toScreen.m[0][1] == 0.0f && toScreen.m[1][0] == 0.0f;
    return true;
}

void TileLayer::sortObjects(ICamera* camera, const View* view) {
    // Held references: a drawn object may change the layer's list (through a script) without harm.
    m_sorted.clear();
    m_sorted.reserve(m_objects.size());
    ComponentRef<ICamera> held(camera);
    const Matrix3 worldToScreen = camera->GetWorldToScreen();
    ITileManager* tiles = view != nullptr && view->axisAligned ? tileManager() : nullptr;
    for (std::size_t i = 0; i < m_objects.size(); ++i) {
        const Registered& entry = m_objects[i];
        float key = 0.0f;
        if (entry.tileObject != nullptr && tiles != nullptr) {
            // A tile object outside the view, or one that draws nothing, costs one position read: no depth
            // key, no place in the sort, no drawing call. The margin covers the pixel rounding of drawing.
            Vector2 at;
            if (!entry.tileObject->drawnAt(worldToScreen, at)) {
                continue;
            }
            const Rect r = tiles->GetRect(entry.tileObject->GetTile(), 0);
            const float left = at.x + float(r.X), top = at.y + float(r.Y);
            if (!(left - 1.0f < float(view->right) && left + float(r.Width) + 1.0f > float(view->left) &&
                  top - 1.0f < float(view->bottom) && top + float(r.Height) + 1.0f > float(view->top))) {
                continue; // a position that is not a number lands here too
            }
            key = at.y;
        } else {
            key = entry.object->GetDepthKey(held);
            // Sorting needs an order: a key that is not a number sorts last.
            if (key != key) {
                key = INFINITY;
            }
        }
        m_sorted.push_back({entry.object, key, static_cast<std::uint32_t>(i)});
    }
    // By (key, registration): equal keys keep their registration order, as a stable sort of every object
    // would leave them.
    std::sort(m_sorted.begin(), m_sorted.end(), [](const SortedObject& a, const SortedObject& b) {
        return a.key < b.key || (a.key == b.key && a.registration < b.registration);
    });
}

// --- drawing
// -------------------------------------------------------------------------------------------------

void TileLayer::Render(IGraphics* graphics, ClassMask mask) {
    ICamera* camera = graphics != nullptr ? graphics->GetCamera() : nullptr;
    if (camera == nullptr) {
        return;
    }
    if (mask.matches(GetClassificators())) {
        drawTiles(graphics, camera);
        return;
    }
    View view;
    sortObjects(camera, viewOf(graphics, camera, view) ? &view : nullptr);
    for (SortedObject& s : m_sorted) {
        s.object->Render(graphics, mask);
    }
    for (SortedObject& s : m_sorted) {
        s.object.reset();
    }
}

void TileLayer::drawTiles(IGraphics* graphics, ICamera* camera) {
    ITileManager* tiles = tileManager();
    if (tiles == nullptr) {
        return;
    }
    refreshGrid();
    View view;
    if (!viewOf(graphics, camera, view)) {
        return;
    }
    const std::int32_t left = view.left, top = view.top, right = view.right, bottom = view.bottom;

    if (m_backTile != -1) {
        const Rect r = tiles->GetRect(m_backTile, 0);
        std::int32_t w = r.Width, h = r.Height;
        // A zero-sized back tile has no pattern to repeat.
        if (w > 0 && h > 0) {
            std::int32_t rx = (left >> m_backParallax) % w;
            std::int32_t ry = (top >> m_backParallax) % h;
            if (rx < 0) {
                rx += w;
            }
            if (ry < 0) {
                ry += h;
            }
            // An absurd view (a huge zoom over a tiny back tile) is not worth millions of draws.
            const std::int64_t across = (std::int64_t(right) - left + 2 * w) / w;
            const std::int64_t down = (std::int64_t(bottom) - top + 2 * h) / h;
            if (across * down > kMaxBackTiles) {
                logWarning(kTag, "Back tile %d skipped: %lld copies would cover the view", int(m_backTile),
                           static_cast<long long>(across * down));
                w = 0;
            }
            graphics->SetColor(0xFFFFFFFFu);
            for (std::int64_t y = std::int64_t(top) - ry; w > 0 && y < std::int64_t(bottom) + h - ry;
                 y += h) {
                for (std::int64_t x = std::int64_t(left) - rx; x < std::int64_t(right) + w - rx; x += w) {
                    tiles->Render(graphics, m_backTile, float(x), float(y), 0);
                }
            }
        }
    }

    sortObjects(camera, &view);
    std::size_t next = 0;
    for (std::int32_t index : visibleTiles(left, top, right, bottom)) {
        if (static_cast<std::size_t>(index) >= m_tiles.size()) {
            break; // the tiles changed under the walk
        }
        const TileRecord t = m_tiles[static_cast<std::size_t>(index)];
        while (next < m_sorted.size() && m_sorted[next].key < float(t.y)) {
            m_sorted[next++].object->Render(graphics);
        }
        graphics->SetColor(0xFFFFFFFFu);
        tiles->Render(graphics, t.tile, float(t.x), float(t.y), 0);
    }
    while (next < m_sorted.size()) {
        m_sorted[next++].object->Render(graphics);
    }
    for (SortedObject& s : m_sorted) {
        s.object.reset();
    }
}
