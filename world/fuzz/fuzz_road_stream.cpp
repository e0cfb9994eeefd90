// libFuzzer target for the road-network stream reader. Byte 0: bit 0 says whether the stream tells its
// length, bits 1-4 give the grid width - 1; byte 1: bits 0-3 give the grid height - 1. The rest is read into
// a renderer that already holds roads. A refused stream leaves those roads exactly as they were; an accepted
// one holds only masks 0-15, writes back bytes that read again to the same network, and survives the cell
// operations on every cell around the grid.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "world/fuzz/fuzz_bytes.h"
#include "world/road_renderer.h"

namespace {

class Grid final : public IGridMap {
public:
    Grid(std::int32_t w, std::int32_t h) : m_w(w), m_h(h) {}
    void* QueryInterface(InterfaceId id) override { return queryAmong<IGridMap, IPositionable>(this, id); }
    void SetPosition(const Matrix3&) override {}
    Matrix3 GetPosition() override { return Matrix3({32.0f, 0.0f}, {0.0f, 16.0f}, {5.0f, -7.0f}); }
    std::int32_t GetWidth() override { return m_w; }
    std::int32_t GetHeight() override { return m_h; }
    std::int32_t GetCellValue(std::int32_t, std::int32_t) override { return 0; }
    void SetCellValue(std::int32_t, std::int32_t, std::int32_t) override {}
    void AddRenderer(const ComponentRef<IGridRenderer>&) override {}
    void RemoveRenderer(const ComponentRef<IGridRenderer>&) override {}
    const CellValueCodes& GetCellValueCodes() override { return m_codes; }
    const std::uint8_t* GetCells() override { return nullptr; }
    std::uint32_t GetRevision() override { return 0; }

private:
    std::int32_t m_w, m_h;
    CellValueCodes m_codes;
};

std::vector<std::uint8_t> written(RoadRenderer* roads) {
    FuzzBytes out(nullptr, 0, true);
    if (!roads->WriteTo(&out)) {
        __builtin_trap();
    }
    return out.m_out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::int32_t width = ((data[0] >> 1) & 15) + 1;
    const std::int32_t height = (data[1] & 15) + 1;
    auto* grid = new Grid(width, height);
    auto* roads = new RoadRenderer;
    roads->SetGridMap(grid);
    roads->AddRoadCell(0, 0, 1, true);
    roads->AddRoadCell(1, 0, 1, true);
    roads->BreakRoadCell(1, 0);
    const std::vector<std::uint8_t> before = written(roads);

    auto* stream = new FuzzBytes(data + 2, size - 2, (data[0] & 1) != 0);
    const bool read = roads->ReadFrom(stream);
    const std::vector<std::uint8_t> after = written(roads);
    if (!read && after != before) {
        __builtin_trap();
    }
    if (read) {
        for (std::int32_t y = 0; y < height; ++y) {
            for (std::int32_t x = 0; x < width; ++x) {
                const RoadCellRecord* cell = roads->cell(x, y);
                if (cell != nullptr && (cell->mask < 0 || cell->mask > 15)) {
                    __builtin_trap();
                }
            }
        }
        auto* copy = new RoadRenderer;
        copy->SetGridMap(grid);
        FuzzBytes again(after.data(), after.size(), true);
        if (!copy->ReadFrom(&again) || written(copy) != after) {
            __builtin_trap();
        }
        copy->Release();
    }
    // Every operation on every cell in and around the grid stays inside it.
    std::vector<CellPosition> cells;
    for (std::int32_t y = -1; y <= height; ++y) {
        for (std::int32_t x = -1; x <= width; ++x) {
            const std::uint32_t mix = static_cast<std::uint32_t>(x * 7 + y * 13);
            switch (mix % 4) {
            case 0:
                roads->AddRoadCell(x, y, static_cast<std::int32_t>(mix % 3), (mix & 4) != 0);
                break;
            case 1:
                roads->BreakRoadCell(x, y);
                break;
            case 2:
                roads->RepairRoadCell(x, y);
                break;
            default:
                roads->RemoveRoadCell(x, y);
                break;
            }
            cells.push_back(CellPosition{static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y)});
        }
    }
    roads->SetDraft(cells, true);
    for (const RoadDraftCell& d : roads->draft()) {
        if (d.mask < 0 || d.mask > 15) {
            __builtin_trap();
        }
    }
    for (const RoadCellRecord& r : roads->GetRoadCells(cells)) {
        if (r.mask < 0 || r.mask > 15) {
            __builtin_trap();
        }
    }
    stream->Release();
    roads->Release();
    grid->Release();
    return 0;
}
