#pragma once
// `PassMap`: the one authoritative grid of the world, one byte per cell, row-major (cell (x, y) is byte
// y × width + x). What each byte means is the scripts' choice: loading the map with its script object reads
// the fourteen `CELL_VALUE_*` codes from it (a missing one reads 0), which other native modules compare cells
// against. The map also carries the grid transform (cell coordinates → world, IPositionable), and draws the
// grid overlays added to it.
//
// Cells are addressed by index: (x, y) is outside exactly when y × width + x is outside 0 … width × height −
// 1, so (width, 0) is the cell (0, 1). Outside cells read −1 and ignore writes.
//
// A change of a cell's value calls the script object's `OnCellChange(x, y, value)` with the arguments as
// given (value may be outside 0 … 255; its low 8 bits are stored).
//
// Stream record (IWriteable / IReadable), little-endian, 17 + width × height bytes:
//   int32 scale x × 4096, int32 scale y × 4096 (truncated), uint8 1, int16 translation x, int16 translation y
//   (truncated), int16 width, int16 height, then the cells.
// Only scale and translation of the transform are stored. A transform that does not fit the record makes the
// write fail before a byte is written; a negative size, a size the stream cannot hold or a short read makes
// the read fail and leaves the map as it was.
//
// Script methods: GetWidth, GetHeight, GetCellValue(x, y), SetCellValue(x, y, value), AddRenderer(r),
// RemoveRenderer(r). The render layer is the root value `LAYER_PassMap` when the map is made.

#include "binding/binding_script_object.h"
#include "component/component_ref.h"
#include "component/frame_interfaces.h"
#include "component/game_interfaces.h"
#include "component/group_interfaces.h"
#include "component/identifiable_base.h"
#include "component/script_interfaces.h"
#include "component/stream_interfaces.h"
#include "math/matrix3.h"

#include <cstdint>
#include <vector>

class PassMap final : public IGridMap,
                      public IScriptLoadable,
                      public IShutdownable,
                      public IdentifiableBase,
                      public IReadable,
                      public IWriteable,
                      public IRenderable,
                      public IVisible,
                      public ScriptObjectBase<PassMap> {
public:
    static constexpr char ScriptTypeName[] = "PassMap";
    static const MethodTable& scriptMethods();

    PassMap();

    void* QueryInterface(InterfaceId id) override;

    // IGridMap (IPositionable: the grid transform).
    void SetPosition(const Matrix3& position) override { m_transform = position; }
    Matrix3 GetPosition() override { return m_transform; }
    std::int32_t GetWidth() override { return m_width; }
    std::int32_t GetHeight() override { return m_height; }
    std::int32_t GetCellValue(std::int32_t x, std::int32_t y) override;
    void SetCellValue(std::int32_t x, std::int32_t y, std::int32_t value) override;
    void AddRenderer(const ComponentRef<IGridRenderer>& renderer) override;
    void RemoveRenderer(const ComponentRef<IGridRenderer>& renderer) override;
    const CellValueCodes& GetCellValueCodes() override { return m_codes; }
    const std::uint8_t* GetCells() override { return m_cells.empty() ? nullptr : m_cells.data(); }
    std::uint32_t GetRevision() override { return m_revision; }

    // Attaches the script object and reads the cell codes from it.
    bool LoadFromScript(const ScriptValue& value) override;
    // Drops the overlays and the script object.
    void Shutdown() override;
    bool ReadFrom(IInputStream* stream) override;
    bool WriteTo(IOutputStream* stream) override;
    // Draws the overlays in the order they were added (nothing when hidden).
    void Render(IGraphics* graphics, ClassMask mask) override;
    std::int32_t GetRenderLayer() override { return m_renderLayer; }
    void SetVisible(bool visible) override { m_visible = visible; }
    bool IsVisible() override { return m_visible; }

    // Script forms of AddRenderer / RemoveRenderer: a component without IGridRenderer changes nothing and is
    // reported in the log (they take any component so that it doesn't arrive as a silent null).
    void addRendererFromScript(IAbstract* renderer);
    void removeRendererFromScript(IAbstract* renderer);

    // Replaces size and cells (row-major, width × height bytes); for native set-up and tests.
    void resize(std::int16_t width, std::int16_t height, const std::uint8_t* cells = nullptr);

private:
    std::int64_t indexOf(std::int32_t x, std::int32_t y) const;

    std::int16_t m_width = 0;
    std::int16_t m_height = 0;
    std::vector<std::uint8_t> m_cells;
    Matrix3 m_transform;
    CellValueCodes m_codes;
    std::vector<ComponentRef<IGridRenderer>> m_renderers;
    bool m_visible = true;
    std::int32_t m_renderLayer = 0;
    std::uint32_t m_revision = 0;
};
