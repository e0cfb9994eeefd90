#pragma once
// `BuildingBuilder`: places a building. While enabled, a translucent preview (the part "Tile", a TileObject
// drawn at the root value `LAYER_Top` in 0xAAFFFFFF) follows the pointer, snapped so that the building's
// footprint of w x h cells sits on the grid: an odd size centres the anchor in a cell, an even size puts it
// on a cell border. A left click asks the script object to build (`OnBuild(position)`, every footprint cell
// free), to clear and build (`OnClearAndBuild(position)`, some cells hold forest, burnt or cut forest or
// waste) or tells it the place is refused (`OnRefuseBuild()`); `OnBoundsChange(rect)` reports a footprint
// that moved to other cells (or was placed for the first time, or changed its size). Results of these
// callbacks are ignored.
//
// A cell is free to build on when it lies inside the map, no margin rectangle excludes it, and the first
// build zone containing it exists and it holds `CELL_VALUE_Clean`; without any zone nothing can be built. A
// footprint of no cells (no building data yet) is refused.
//
// Drawing: as a grid overlay of the map while enabled, every blocked cell in 0x55000000; as a renderable
// (layer `LAYER_Top`), the footprint cells that are not free in 0x55FF0000 while the preview shows.
//
// Input: the builder handles pointer events while enabled (moves update the footprint and are left to
// others; a left-button press is consumed), and follows the Shift key whether enabled or not (mass build,
// read by `IsMassBuildEnabled`); key events are never consumed. Whatever the builder does not consume goes
// on to its script object's own input callbacks, as for any scripted object.
//
// Script methods (besides the scripted object's): SetGridMap, SetCamera, SetEnabled, IsEnabled,
// ShowBuilding, SetBuildingData(data, w, h), AddMarginRect(rect), AddBuildZone(rect), ClearBuildZones,
// CheckPlacement → 0 build / 1 clear and build / 2 refused, IsMassBuildEnabled.

#include <cstdint>
#include <vector>

#include "component/component_ref.h"
#include "component/game_interfaces.h"
#include "math/rect.h"
#include "objects/scripted_object.h"

class AnchorPoint;

class BuildingBuilder final : public ScriptedObject, public IGridRenderer {
public:
    static constexpr char ScriptTypeName[] = "BuildingBuilder";
    static const MethodTable& scriptMethods();

    enum Placement : std::int32_t { Free = 0, Clearable = 1, Blocked = 2 };
    static constexpr std::uint32_t kPreviewColour = 0xAAFFFFFFu;
    static constexpr std::uint32_t kBlockedColour = 0x55000000u;
    static constexpr std::uint32_t kTakenColour = 0x55FF0000u;

    // Makes the preview part; reads `LAYER_Top` from the root table.
    BuildingBuilder();
    ~BuildingBuilder() override;

    void* QueryInterface(InterfaceId id) override;
    bool GetMember(const char* name, ScriptValue& value) override;
    const char* GetTypeName() override { return ScriptTypeName; }
    // Leaves the map's overlays, drops map and camera, then shuts down as a scripted object.
    void Shutdown() override;

    // The anchor: its translation is the world position of the footprint's anchor point.
    void SetPosition(const Matrix3& position) override;
    Matrix3 GetPosition() override;

    // IGridRenderer: the blocked cells of the map.
    void Render(IGraphics* graphics) override;
    // IRenderable: the footprint cells that are not free, then the script's own Render if it has one.
    void Render(IGraphics* graphics, ClassMask mask) override;
    std::int32_t GetRenderLayer() override { return m_renderLayer; }

    bool HandleKeyEvent(const KDEvent& event) override;
    bool HandlePointerEvent(const KDEvent& event) override;

    // Script methods.
    void SetGridMap(IGridMap* map);
    void SetCamera(ICamera* camera);
    void SetEnabled(bool enabled);
    bool IsEnabled() const { return m_enabled; }
    void ShowBuilding(bool show);
    void SetBuildingData(ITileAnimationData* data, std::int32_t width, std::int32_t height);
    void AddMarginRect(const Rect& rect);
    void AddBuildZone(const Rect& rect) { m_zones.push_back(rect); }
    void ClearBuildZones() { m_zones.clear(); }
    std::int32_t CheckPlacement();
    bool IsMassBuildEnabled() const { return m_massBuild; }

    // The status of one cell (Free, Clearable or Blocked).
    std::int32_t cellStatus(std::int32_t x, std::int32_t y);
    const Rect& footprint() const { return m_footprint; }

private:
    // Moves the footprint under the pointer (UI coordinates).
    void followPointer(float x, float y);
    // Calls the script's answer to a click.
    void build();
    // Fills the cells for which `paint` holds, with runs along rows drawn as one rectangle.
    template <class Paint>
    void fillCells(IGraphics* graphics, const Rect& cells, std::uint32_t colour, Paint&& paint);
    // The allowed array, sized for the map as it is now.
    void fitAllowed();
    IVisible* preview();

    ComponentRef<IGridMap> m_map;
    ComponentRef<ICamera> m_camera;
    ComponentRef<AnchorPoint> m_anchor;
    ComponentRef<ITileObject> m_preview;
    std::vector<std::uint8_t> m_allowed;
    std::vector<Rect> m_zones;
    Rect m_footprint;
    Rect m_placedSize; // the size at the last placement
    bool m_placed = false;
    std::int32_t m_renderLayer = 0;
    bool m_enabled = false;
    bool m_massBuild = false;
    bool m_inMapOverlays = false;
};
