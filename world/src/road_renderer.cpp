// RoadRenderer and RoadCellsRenderer.
#include "world/road_renderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "component/class_names.h"
#include "component/component_registry.h"
#include "platform/kd.h"
#include "world/src/script_lists.h"

namespace {

constexpr char kTag[] = "RoadRenderer";
constexpr std::int32_t kRecordBytes = 10;

// Side bits by side number (left, right, up, down) and the bit that points back.
constexpr std::int32_t kSideBit[4] = {1, 2, 4, 8};
constexpr std::int32_t kOppositeBit[4] = {2, 1, 8, 4};

void setRenderLayerFromScript(RoadRenderer& r, std::int32_t layer) {
    r.SetRenderLayer(layer);
}
void setRoadTilesFromScript(RoadRenderer& r, ScriptValue tiles) {
    std::vector<std::int32_t> list;
    if (!world_detail::integerList(tiles, list)) {
        logWarning(kTag, "SetRoadTiles needs an array of 16 tile numbers");
    }
    r.SetRoadTiles(list);
}
void setRoadBrokenTilesFromScript(RoadRenderer& r, ScriptValue tiles) {
    std::vector<std::int32_t> list;
    if (!world_detail::integerList(tiles, list)) {
        logWarning(kTag, "SetRoadBrokenTiles needs an array of 16 tile numbers");
    }
    r.SetRoadBrokenTiles(list);
}
void highlightFromScript(RoadRenderer& r, ScriptValue cells, bool on) {
    std::vector<Vector2> list;
    world_detail::vectorList(cells, list);
    r.HighlightRoadCells(list, on);
}
void setMarkTileFromScript(RoadRenderer& r, std::int32_t tile) {
    r.SetRouteMarkTile(tile);
}

void cellsSetRenderLayerFromScript(RoadCellsRenderer& r, std::int32_t layer) {
    r.SetRenderLayer(layer);
}
void cellsSetRoadRendererFromScript(RoadCellsRenderer& r, IRoadRenderer* roads) {
    r.SetRoadRenderer(roads);
}
void cellsSetCellsFromScript(RoadCellsRenderer& r, ScriptValue cells) {
    std::vector<Vector2> list;
    world_detail::vectorList(cells, list);
    r.SetCells(list);
}
void cellsClearFromScript(RoadCellsRenderer& r) {
    r.ClearCells();
}

ITileManager* sharedTileManager(ComponentRef<ITileManager>& kept) {
    if (!kept) {
        ComponentRef<> created = ComponentRegistry::instance().create(classId(ClassName::TileManager));
        kept.reset(queryInterface<ITileManager>(created.get()));
    }
    return kept.get();
}

void put32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}
std::int32_t get32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) |
                                     (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24));
}

} // namespace

// --- RoadRenderer
// ---------------------------------------------------------------------------------------------------

const MethodTable& RoadRenderer::scriptMethods() {
    static const MethodTable table{
        scriptMethod<RoadRenderer>("SetRenderLayer", &setRenderLayerFromScript),
        scriptMethod<RoadRenderer>("SetRoadTiles", &setRoadTilesFromScript),
        scriptMethod<RoadRenderer>("SetRoadBrokenTiles", &setRoadBrokenTilesFromScript),
        scriptMethod<RoadRenderer>("HighlightRoadCells", &highlightFromScript),
        scriptMethod<RoadRenderer>("SetRouteMarkTile", &setMarkTileFromScript),
    };
    return table;
}

ITileManager* RoadRenderer::tileManager() {
    return sharedTileManager(m_tileManager);
}

std::int64_t RoadRenderer::indexOf(std::int64_t x, std::int64_t y, const char* operation) const {
    const std::int64_t index = y * m_width + x;
    if (index < 0 || index >= std::int64_t(m_width) * m_height) {
        if (operation != nullptr) {
            logWarning(kTag, "%s: cell (%lld, %lld) is outside the %d x %d grid", operation,
                       static_cast<long long>(x), static_cast<long long>(y), m_width, m_height);
        }
        return -1;
    }
    return index;
}

std::int64_t RoadRenderer::neighbour(std::int64_t index, int side) const {
    const std::int64_t x = index % m_width;
    const std::int64_t y = index / m_width;
    switch (side) {
    case 0:
        return x > 0 ? index - 1 : -1;
    case 1:
        return x + 1 < m_width ? index + 1 : -1;
    case 2:
        return y > 0 ? index - m_width : -1;
    default:
        return y + 1 < m_height ? index + m_width : -1;
    }
}

Vector2 RoadRenderer::centre(std::int64_t index) const {
    const float x = float(index % m_width) + 0.5f;
    const float y = float(index / m_width) + 0.5f;
    return m_transform.MultVrt(Vector2{x, y});
}

const RoadCellRecord* RoadRenderer::cell(std::int32_t x, std::int32_t y) const {
    const std::int64_t index = indexOf(x, y, nullptr);
    return index >= 0 && m_present[std::size_t(index)] ? &m_cells[std::size_t(index)] : nullptr;
}

void RoadRenderer::setTiles(std::int32_t first, const std::vector<std::int32_t>& tiles) {
    const std::size_t n = std::min<std::size_t>(tiles.size(), 16);
    for (std::size_t i = 0; i < n; ++i) {
        m_tiles[std::size_t(first) + i] = static_cast<std::int16_t>(tiles[i]);
    }
}

void RoadRenderer::SetGridMap(IGridMap* map) {
    m_cells.clear();
    m_present.clear();
    m_draft.clear();
    m_width = 0;
    m_height = 0;
    m_transform = Matrix3{};
    if (map == nullptr) {
        return;
    }
    const std::int32_t width = map->GetWidth();
    const std::int32_t height = map->GetHeight();
    m_transform = map->GetPosition();
    if (width <= 0 || height <= 0) {
        return;
    }
    if (std::int64_t(width) * height > MaxCells) {
        logError(kTag, "A %d x %d grid is too large for the road network", width, height);
        return;
    }
    m_width = width;
    m_height = height;
    const auto cells = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    m_cells.assign(cells, RoadCellRecord{});
    m_present.assign(cells, 0);
}

void RoadRenderer::link(std::int64_t index, bool sameStateOnly) {
    RoadCellRecord& q = m_cells[std::size_t(index)];
    q.mask = 0;
    for (int side = 0; side < 4; ++side) {
        const std::int64_t n = neighbour(index, side);
        RoadCellRecord* other = n >= 0 ? at(n) : nullptr;
        if (other == nullptr || (sameStateOnly && other->broken != q.broken)) {
            continue;
        }
        q.mask |= kSideBit[side];
        other->mask |= kOppositeBit[side];
    }
}

void RoadRenderer::AddRoadCell(std::int32_t x, std::int32_t y, std::int32_t kind, bool sameStateLinksOnly) {
    const std::int64_t index = indexOf(x, y, "AddRoadCell");
    if (index < 0 || m_present[std::size_t(index)]) {
        return;
    }
    const Vector2 p = centre(index);
    RoadCellRecord& record = m_cells[std::size_t(index)];
    record = RoadCellRecord{};
    record.x = p.x;
    record.y = p.y;
    record.kind = static_cast<std::uint8_t>(kind);
    m_present[std::size_t(index)] = 1;
    link(index, sameStateLinksOnly);
}

void RoadRenderer::BreakRoadCell(std::int32_t x, std::int32_t y) {
    const std::int64_t index = indexOf(x, y, "BreakRoadCell");
    if (RoadCellRecord* record = index >= 0 ? at(index) : nullptr) {
        record->broken = 1;
    }
}

void RoadRenderer::RepairRoadCell(std::int32_t x, std::int32_t y) {
    const std::int64_t index = indexOf(x, y, "RepairRoadCell");
    if (RoadCellRecord* record = index >= 0 ? at(index) : nullptr) {
        record->broken = 0;
        link(index, true);
    }
}

void RoadRenderer::RemoveRoadCell(std::int32_t x, std::int32_t y) {
    const std::int64_t index = indexOf(x, y, "RemoveRoadCell");
    if (index < 0 || !m_present[std::size_t(index)]) {
        return;
    }
    m_present[std::size_t(index)] = 0;
    m_cells[std::size_t(index)] = RoadCellRecord{};
    for (int side = 0; side < 4; ++side) {
        const std::int64_t n = neighbour(index, side);
        RoadCellRecord* other = n >= 0 ? at(n) : nullptr;
        // A broken neighbour keeps showing the connection until it is repaired.
        if (other != nullptr && other->broken == 0) {
            other->mask &= ~kOppositeBit[side];
        }
    }
}

void RoadRenderer::SetDraft(const std::vector<CellPosition>& cells, bool valid) {
    m_draft.clear();
    std::vector<std::int64_t> listed;
    listed.reserve(cells.size());
    for (const CellPosition& c : cells) {
        const std::int64_t index = indexOf(c.x, c.y, nullptr);
        if (index >= 0) {
            listed.push_back(index);
        }
    }
    std::vector<std::int64_t> sorted = listed;
    std::sort(sorted.begin(), sorted.end());
    const std::uint32_t colour = valid ? ValidDraftColour : InvalidDraftColour;
    m_draft.reserve(listed.size());
    for (std::int64_t index : listed) {
        std::int32_t mask = 0;
        for (int side = 0; side < 4; ++side) {
            const std::int64_t n = neighbour(index, side);
            if (n < 0) {
                continue;
            }
            const RoadCellRecord* road = at(n);
            if (std::binary_search(sorted.begin(), sorted.end(), n) ||
                (road != nullptr && road->broken == 0)) {
                mask |= kSideBit[side];
            }
        }
        const Vector2 p = centre(index);
        m_draft.push_back(RoadDraftCell{p.x, p.y, mask, colour});
    }
}

void RoadRenderer::HighlightRoadCells(const std::vector<Vector2>& cells, bool value) {
    for (const Vector2& c : cells) {
        const std::int64_t index =
            indexOf(world_detail::truncatedCell(c.x), world_detail::truncatedCell(c.y), nullptr);
        if (RoadCellRecord* record = index >= 0 ? at(index) : nullptr) {
            record->highlighted = value ? 1 : 0;
        }
    }
}

std::vector<RoadCellRecord> RoadRenderer::GetRoadCells(const std::vector<CellPosition>& cells) {
    std::vector<RoadCellRecord> found;
    for (const CellPosition& c : cells) {
        const std::int64_t index = indexOf(c.x, c.y, nullptr);
        if (const RoadCellRecord* record = index >= 0 ? at(index) : nullptr) {
            found.push_back(*record);
        }
    }
    return found;
}

RoadRenderer::CellRange RoadRenderer::visibleCells(IGraphics* graphics, ICamera* camera,
                                                   ITileManager* tiles) {
    const CellRange all{0, 0, m_width - 1, m_height - 1};
    Rect clip = graphics->GetClip();
    clip.Intersect(graphics->GetTargetRect());
    if (clip.IsEmpty()) {
        return CellRange{0, 0, -1, -1};
    }
    // Cell units -> screen, and back.
    const Matrix3 inverse = (m_transform * camera->GetWorldToScreen()).Inverse();
    const Matrix3 uiToScreen = camera->GetUIToScreen();
    float low[2] = {INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY};
    for (int corner = 0; corner < 4; ++corner) {
        const float x = float(clip.X) + ((corner & 1) != 0 ? float(clip.Width) : 0.0f);
        const float y = float(clip.Y) + ((corner & 2) != 0 ? float(clip.Height) : 0.0f);
        const Vector2 c = inverse.MultVrt(uiToScreen.MultVrt(Vector2{x, y}));
        low[0] = std::min(low[0], c.x), high[0] = std::max(high[0], c.x);
        low[1] = std::min(low[1], c.y), high[1] = std::max(high[1], c.y);
    }
    // A tile reaches up to `reach` screen units from its cell's centre, which is that many cell units through
    // the inverse's linear part (per axis, at most the sum of its column's magnitudes).
    float reach = 0.0f;
    for (std::int16_t tile : m_tiles) {
        const Rect r = tiles->GetRect(tile, 0);
        if (!r.IsEmpty()) {
            reach =
                std::max({reach, std::fabs(float(r.X)), std::fabs(float(r.Y)),
                          std::fabs(float(r.X) + float(r.Width)), std::fabs(float(r.Y) + float(r.Height))});
        }
    }
    std::int64_t bounds[4];
    for (int axis = 0; axis < 2; ++axis) {
        const float margin = reach * (std::fabs(inverse.m[0][axis]) + std::fabs(inverse.m[1][axis])) + 1.0f;
        const float first = std::floor(low[axis] - 0.5f - margin);
        const float last = std::ceil(high[axis] - 0.5f + margin);
        // A degenerate view (a singular camera, infinities) shows whatever it shows: no culling then.
        if (!std::isfinite(first) || !std::isfinite(last)) {
            return all;
        }
        const float size = float(axis == 0 ? m_width : m_height);
        bounds[axis] = static_cast<std::int64_t>(std::clamp(first, -1.0f, size));
        bounds[axis + 2] = static_cast<std::int64_t>(std::clamp(last, -1.0f, size));
    }
    return CellRange{static_cast<std::int32_t>(std::max<std::int64_t>(bounds[0], 0)),
                     static_cast<std::int32_t>(std::max<std::int64_t>(bounds[1], 0)),
                     static_cast<std::int32_t>(std::min<std::int64_t>(bounds[2], m_width - 1)),
                     static_cast<std::int32_t>(std::min<std::int64_t>(bounds[3], m_height - 1))};
}

void RoadRenderer::Render(IGraphics* graphics, ClassMask mask) {
    if (graphics == nullptr || !mask.matches(GetClassificators())) {
        return;
    }
    ICamera* camera = graphics->GetCamera();
    ITileManager* tiles = tileManager();
    if (camera == nullptr || tiles == nullptr) {
        return;
    }
    const Matrix3 toScreen = camera->GetWorldToScreen();
    const CellRange view = visibleCells(graphics, camera, tiles);
    // Row by row through the visible columns: still index order.
    for (std::int32_t y = view.top; y <= view.bottom; ++y) {
        const std::size_t row = std::size_t(y) * std::size_t(m_width);
        for (std::int32_t x = view.left; x <= view.right; ++x) {
            const std::size_t i = row + std::size_t(x);
            const RoadCellRecord& r = m_cells[i];
            if (!m_present[i] || r.kind == 0) {
                continue;
            }
            // Masks are 0-15 by construction (links set only those bits; streams are checked).
            const std::int32_t entry = (r.broken != 0 ? BrokenTiles : RoadTiles) + (r.mask & 15);
            const Vector2 p = toScreen.MultVrt(Vector2{r.x, r.y});
            graphics->SetColor(r.colour);
            tiles->Render(graphics, m_tiles[entry], p.x, p.y, 0);
            if (r.highlighted != 0) {
                tiles->Render(graphics, m_tiles[MarkTile], p.x, p.y, 0);
            }
        }
    }
    DrawDraft(graphics, m_draft);
}

void RoadRenderer::DrawDraft(IGraphics* graphics, const std::vector<RoadDraftCell>& draft) {
    ICamera* camera = graphics != nullptr ? graphics->GetCamera() : nullptr;
    ITileManager* tiles = tileManager();
    if (camera == nullptr || tiles == nullptr || draft.empty()) {
        return;
    }
    const Matrix3 toScreen = camera->GetWorldToScreen();
    for (const RoadDraftCell& d : draft) {
        const Vector2 p = toScreen.MultVrt(Vector2{d.x, d.y});
        graphics->SetColor(d.colour);
        tiles->Render(graphics, m_tiles[RoadTiles + (d.mask & 15)], p.x, p.y, 0);
    }
}

void RoadRenderer::DrawMarks(IGraphics* graphics, const std::vector<RoadCellRecord>& cells) {
    ICamera* camera = graphics != nullptr ? graphics->GetCamera() : nullptr;
    ITileManager* tiles = tileManager();
    if (camera == nullptr || tiles == nullptr || cells.empty()) {
        return;
    }
    const Matrix3 toScreen = camera->GetWorldToScreen();
    graphics->SetColor(0xFFFFFFFF);
    for (const RoadCellRecord& r : cells) {
        const Vector2 p = toScreen.MultVrt(Vector2{r.x, r.y});
        tiles->Render(graphics, m_tiles[MarkTile], p.x, p.y, 0);
    }
}

bool RoadRenderer::WriteTo(IOutputStream* stream) {
    if (stream == nullptr) {
        return false;
    }
    std::vector<std::uint8_t> bytes(4);
    std::uint32_t count = 0;
    for (std::size_t i = 0; i < m_cells.size(); ++i) {
        if (!m_present[i]) {
            continue;
        }
        const RoadCellRecord& r = m_cells[i];
        std::uint8_t record[kRecordBytes];
        put32(record, static_cast<std::uint32_t>(i));
        put32(record + 4, static_cast<std::uint32_t>(r.mask));
        record[8] = r.kind;
        record[9] = r.broken;
        bytes.insert(bytes.end(), record, record + kRecordBytes);
        ++count;
    }
    put32(bytes.data(), count);
    const auto size = static_cast<std::int32_t>(bytes.size());
    return stream->Write(bytes.data(), size) == size;
}

bool RoadRenderer::ReadFrom(IInputStream* stream) {
    std::uint8_t head[4];
    if (stream == nullptr || stream->Read(head, 4) != 4) {
        logWarning(kTag, "The road network stream ends before its count");
        return false;
    }
    const std::int32_t count = get32(head);
    const std::int64_t cells = std::int64_t(m_width) * m_height;
    if (cells == 0) {
        logWarning(kTag, "A road network can't be read before the grid map is set");
        return false;
    }
    if (count < 0 || count > cells) {
        logWarning(kTag, "%d road cells can't be on a %d x %d grid", count, m_width, m_height);
        return false;
    }
    const std::int64_t available = stream->Available();
    if (available >= 0 && available < std::int64_t(count) * kRecordBytes) {
        logWarning(kTag, "%d road cells need %lld bytes, the stream holds %lld", count,
                   static_cast<long long>(std::int64_t(count) * kRecordBytes),
                   static_cast<long long>(available));
        return false;
    }
    // Built aside and taken over only when the whole stream is sound.
    std::vector<RoadCellRecord> records(static_cast<std::size_t>(cells));
    std::vector<std::uint8_t> present(static_cast<std::size_t>(cells), 0);
    std::uint8_t buffer[kRecordBytes * 256];
    for (std::int32_t done = 0; done < count;) {
        const std::int32_t n = std::min<std::int32_t>(count - done, 256);
        if (stream->Read(buffer, n * kRecordBytes) != n * kRecordBytes) {
            logWarning(kTag, "The road network stream ends after %d of %d cells", done, count);
            return false;
        }
        for (std::int32_t i = 0; i < n; ++i) {
            const std::uint8_t* p = buffer + i * kRecordBytes;
            const std::int32_t index = get32(p);
            const std::int32_t mask = get32(p + 4);
            if (index < 0 || index >= cells || mask < 0 || mask > 15) {
                logWarning(kTag, "Road cell %d of the stream is at index %d with mask %d", done + i, index,
                           mask);
                return false;
            }
            RoadCellRecord& r = records[std::size_t(index)];
            r = RoadCellRecord{};
            const Vector2 c = centre(index);
            r.x = c.x;
            r.y = c.y;
            r.mask = mask;
            r.kind = p[8];
            r.broken = p[9];
            present[std::size_t(index)] = 1;
        }
        done += n;
    }
    m_cells = std::move(records);
    m_present = std::move(present);
    return true;
}

// --- RoadCellsRenderer
// ----------------------------------------------------------------------------------------------

const MethodTable& RoadCellsRenderer::scriptMethods() {
    static const MethodTable table{
        scriptMethod<RoadCellsRenderer>("SetRenderLayer", &cellsSetRenderLayerFromScript),
        scriptMethod<RoadCellsRenderer>("SetRoadRenderer", &cellsSetRoadRendererFromScript),
        scriptMethod<RoadCellsRenderer>("SetCells", &cellsSetCellsFromScript),
        scriptMethod<RoadCellsRenderer>("ClearCells", &cellsClearFromScript),
    };
    return table;
}

void RoadCellsRenderer::SetCells(const std::vector<Vector2>& cells) {
    m_cells.clear();
    if (!m_roads) {
        logWarning("RoadCellsRenderer", "SetCells needs a road renderer");
        return;
    }
    std::vector<CellPosition> positions;
    positions.reserve(cells.size());
    for (const Vector2& c : cells) {
        const std::int32_t x = world_detail::truncatedCell(c.x);
        const std::int32_t y = world_detail::truncatedCell(c.y);
        // Cells beyond 16 bits lie outside every grid the road renderer keeps.
        if (x >= 0 && x <= 0xFFFF && y >= 0 && y <= 0xFFFF) {
            positions.push_back(CellPosition{static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y)});
        }
    }
    m_cells = m_roads->GetRoadCells(positions);
}

void RoadCellsRenderer::Render(IGraphics* graphics, ClassMask mask) {
    if (m_roads && mask.matches(GetClassificators())) {
        m_roads->DrawMarks(graphics, m_cells);
    }
}
