// A small grid map for the world's renderers: width x height cell values under a scale-and-translate grid
// transform, keeping its overlays (IGridRenderer) and drawing them as a pass map does. The pass map itself
// lives in a higher layer; the renderers need only what IGridMap promises.
#pragma once

#include <algorithm>
#include <vector>

#include "component/game_interfaces.h"

namespace world::test {

class TestGridMap final : public IGridMap {
public:
    TestGridMap(std::int32_t width, std::int32_t height, float scale = 16.0f, Vector2 origin = {})
        : m_width(width), m_height(height), m_transform({scale, 0.0f}, {0.0f, scale}, origin),
          m_cells(std::size_t(std::max(width, 0)) * std::size_t(std::max(height, 0)), 0) {}

    void* QueryInterface(InterfaceId id) override { return queryAmong<IGridMap, IPositionable>(this, id); }

    void SetPosition(const Matrix3& position) override { m_transform = position; }
    Matrix3 GetPosition() override { return m_transform; }
    std::int32_t GetWidth() override { return m_width; }
    std::int32_t GetHeight() override { return m_height; }
    std::int32_t GetCellValue(std::int32_t x, std::int32_t y) override {
        const std::int64_t i = std::int64_t(y) * m_width + x;
        return i >= 0 && i < std::int64_t(m_cells.size()) ? m_cells[std::size_t(i)] : -1;
    }
    void SetCellValue(std::int32_t x, std::int32_t y, std::int32_t value) override {
        const std::int64_t i = std::int64_t(y) * m_width + x;
        if (i >= 0 && i < std::int64_t(m_cells.size())) {
            m_cells[std::size_t(i)] = static_cast<std::uint8_t>(value);
            ++m_revision;
        }
    }
    void AddRenderer(const ComponentRef<IGridRenderer>& renderer) override {
        if (renderer) {
            m_renderers.push_back(renderer);
        }
    }
    void RemoveRenderer(const ComponentRef<IGridRenderer>& renderer) override {
        std::erase(m_renderers, renderer);
    }
    const CellValueCodes& GetCellValueCodes() override { return m_codes; }
    const std::uint8_t* GetCells() override { return m_cells.empty() ? nullptr : m_cells.data(); }
    std::uint32_t GetRevision() override { return m_revision; }

    // What a pass map does for its overlays when it is drawn.
    void renderOverlays(IGraphics* graphics) {
        for (const auto& renderer : std::vector<ComponentRef<IGridRenderer>>(m_renderers)) {
            renderer->Render(graphics);
        }
    }

private:
    std::int32_t m_width;
    std::int32_t m_height;
    Matrix3 m_transform;
    std::vector<std::uint8_t> m_cells;
    std::vector<ComponentRef<IGridRenderer>> m_renderers;
    CellValueCodes m_codes;
    std::uint32_t m_revision = 0;
};

} // namespace world::test
