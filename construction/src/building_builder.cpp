#include "construction/building_builder.h"

#include <algorithm>
#include <cmath>

#include "component/class_names.h"
#include "component/component_registry.h"
#include "component/media_interfaces.h"
#include "construction/anchor_point.h"
#include "construction/src/builder_script.h"
#include "construction/src/overlay_cells.h"
#include "platform/kd_window.h"
#include "script/script_call.h"
#include "script/script_host.h"

using construction::truncated;

namespace {

constexpr char kTag[] = "BuildingBuilder";
constexpr char kPreviewName[] = "Tile";
constexpr KDint32 kShiftKey = KDint32{KD_INPUT_KEY_BASE} + KDint32{KD_KEY_SHIFT};

} // namespace

const MethodTable& BuildingBuilder::scriptMethods() {
    static const MethodTable table{
        scriptMethod<BuildingBuilder>("SetGridMap", &BuildingBuilder::SetGridMap),
        scriptMethod<BuildingBuilder>("SetCamera", &BuildingBuilder::SetCamera),
        scriptMethod<BuildingBuilder>("SetEnabled", &BuildingBuilder::SetEnabled),
        scriptMethod<BuildingBuilder>("IsEnabled", &BuildingBuilder::IsEnabled),
        scriptMethod<BuildingBuilder>("ShowBuilding", &BuildingBuilder::ShowBuilding),
        scriptMethod<BuildingBuilder>("SetBuildingData", &BuildingBuilder::SetBuildingData),
        scriptMethod<BuildingBuilder>("AddMarginRect", &BuildingBuilder::AddMarginRect),
        scriptMethod<BuildingBuilder>("AddBuildZone", &BuildingBuilder::AddBuildZone),
        scriptMethod<BuildingBuilder>("ClearBuildZones", &BuildingBuilder::ClearBuildZones),
        scriptMethod<BuildingBuilder>("CheckPlacement", &BuildingBuilder::CheckPlacement),
        scriptMethod<BuildingBuilder>("IsMassBuildEnabled", &BuildingBuilder::IsMassBuildEnabled),
    };
    return table;
}

BuildingBuilder::BuildingBuilder()
    : m_anchor(ComponentRef<AnchorPoint>::adopt(new AnchorPoint)),
      m_renderLayer(static_cast<std::int32_t>(ScriptHost::getInt(ScriptHost::root(), "LAYER_Top"))) {
    ComponentRef<> created = ComponentRegistry::instance().create(classId(ClassName::TileObject));
    m_preview.reset(queryInterface<ITileObject>(created.get()));
    if (!m_preview) {
        logError(kTag, "no TileObject for the building preview");
        return;
    }
    m_preview->SetRenderLayer(m_renderLayer);
    m_preview->SetColor(kPreviewColour);
    if (auto* user = queryInterface<IPositionableUser>(created.get())) {
        user->SetPositionable(m_anchor.get());
    }
    RegisterObject(kPreviewName, created.get());
}

BuildingBuilder::~BuildingBuilder() = default;

void* BuildingBuilder::QueryInterface(InterfaceId id) {
    if (id == IGridRenderer::ID) {
        return static_cast<IGridRenderer*>(this);
    }
    if (id == IRenderable::ID) {
        return static_cast<IRenderable*>(this);
    }
    if (id == IInputHandler::ID) {
        return static_cast<IInputHandler*>(this);
    }
    return ScriptedObject::QueryInterface(id);
}

bool BuildingBuilder::GetMember(const char* name, ScriptValue& value) {
    return ScriptedObject::GetMember(name, value) || scriptMethods().find(name, value);
}

void BuildingBuilder::Shutdown() {
    if (m_map && m_inMapOverlays) {
        m_map->RemoveRenderer(ComponentRef<IGridRenderer>(this));
    }
    m_inMapOverlays = false;
    m_enabled = false;
    m_map.reset();
    m_camera.reset();
    m_preview.reset();
    ScriptedObject::Shutdown();
}

void BuildingBuilder::SetPosition(const Matrix3& position) {
    m_anchor->SetPosition(position);
}

Matrix3 BuildingBuilder::GetPosition() {
    return m_anchor->GetPosition();
}

IVisible* BuildingBuilder::preview() {
    return queryInterface<IVisible>(m_preview.get());
}

void BuildingBuilder::SetGridMap(IGridMap* map) {
    if (m_map && m_inMapOverlays) {
        m_map->RemoveRenderer(ComponentRef<IGridRenderer>(this));
        m_inMapOverlays = false;
    }
    m_map.reset(map);
    m_allowed.clear();
    fitAllowed();
    if (m_map && m_enabled) {
        m_map->AddRenderer(ComponentRef<IGridRenderer>(this));
        m_inMapOverlays = true;
    }
}

void BuildingBuilder::SetCamera(ICamera* camera) {
    m_camera.reset(camera);
}

void BuildingBuilder::fitAllowed() {
    const std::int64_t cells =
        m_map ? std::int64_t(std::max(0, m_map->GetWidth())) * std::max(0, m_map->GetHeight()) : 0;
    // A map read again with another size makes the old margins meaningless: every cell is allowed again.
    if (std::int64_t(m_allowed.size()) != cells) {
        m_allowed.assign(static_cast<std::size_t>(cells), 1);
    }
}

void BuildingBuilder::SetEnabled(bool enabled) {
    if (enabled == m_enabled) {
        return;
    }
    m_enabled = enabled;
    if (IVisible* visible = preview()) {
        visible->SetVisible(enabled);
    }
    if (!m_map) {
        return;
    }
    if (enabled) {
        m_map->AddRenderer(ComponentRef<IGridRenderer>(this));
        m_inMapOverlays = true;
    } else {
        m_map->RemoveRenderer(ComponentRef<IGridRenderer>(this));
        m_inMapOverlays = false;
    }
}

void BuildingBuilder::ShowBuilding(bool show) {
    if (IVisible* visible = preview()) {
        visible->SetVisible(show);
    }
}

void BuildingBuilder::SetBuildingData(ITileAnimationData* data, std::int32_t width, std::int32_t height) {
    const TileAnimationRecord* draft = data != nullptr ? data->FindAnimation("Draft") : nullptr;
    if (draft == nullptr || draft->channels.empty() || draft->channels.front().empty()) {
        logError(kTag, "Can't find building animation");
        return;
    }
    if (m_preview) {
        m_preview->SetTile(draft->channels.front().front());
    }
    m_footprint.Width = width;
    m_footprint.Height = height;
    std::fill(m_allowed.begin(), m_allowed.end(), std::uint8_t(1));
}

void BuildingBuilder::AddMarginRect(const Rect& rect) {
    if (!m_map) {
        return;
    }
    fitAllowed();
    const std::int64_t width = m_map->GetWidth();
    const std::int64_t height = m_map->GetHeight();
    // Clipped to the map: a rectangle reaching past it excludes only the cells it has.
    const std::int64_t left = std::max<std::int64_t>(0, rect.X);
    const std::int64_t top = std::max<std::int64_t>(0, rect.Y);
    const std::int64_t right = std::min<std::int64_t>(width, std::int64_t(rect.X) + rect.Width);
    const std::int64_t bottom = std::min<std::int64_t>(height, std::int64_t(rect.Y) + rect.Height);
    for (std::int64_t y = top; y < bottom; ++y) {
        for (std::int64_t x = left; x < right; ++x) {
            m_allowed[static_cast<std::size_t>(y * width + x)] = 0;
        }
    }
}

std::int32_t BuildingBuilder::cellStatus(std::int32_t x, std::int32_t y) {
    if (!m_map || x < 0 || y < 0 || x >= m_map->GetWidth() || y >= m_map->GetHeight()) {
        return Blocked;
    }
    fitAllowed();
    const std::size_t index = static_cast<std::size_t>(std::int64_t(y) * m_map->GetWidth() + x);
    if (index >= m_allowed.size() || m_allowed[index] == 0) {
        return Blocked;
    }
    const auto zone = std::find_if(m_zones.begin(), m_zones.end(), [x, y](const Rect& r) {
        return x >= r.X && y >= r.Y && std::int64_t(x) < std::int64_t(r.X) + r.Width &&
               std::int64_t(y) < std::int64_t(r.Y) + r.Height;
    });
    if (zone == m_zones.end()) {
        return Blocked;
    }
    const CellValueCodes& codes = m_map->GetCellValueCodes();
    const std::int32_t value = m_map->GetCellValue(x, y);
    if (value == codes.clean) {
        return Free;
    }
    if (value == codes.forestBurnt || value == codes.forestCutted || value == codes.waste ||
        (value >= codes.forestMin && value <= codes.forestMax)) {
        return Clearable;
    }
    return Blocked;
}

std::int32_t BuildingBuilder::CheckPlacement() {
    if (m_footprint.IsEmpty()) {
        return Blocked;
    }
    std::int32_t result = Free;
    for (std::int64_t y = m_footprint.Y; y < std::int64_t(m_footprint.Y) + m_footprint.Height; ++y) {
        for (std::int64_t x = m_footprint.X; x < std::int64_t(m_footprint.X) + m_footprint.Width; ++x) {
            const std::int32_t status =
                cellStatus(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
            if (status == Blocked) {
                return Blocked;
            }
            result = std::max(result, status);
        }
    }
    return result;
}

void BuildingBuilder::followPointer(float px, float py) {
    if (!m_map || !m_camera) {
        return;
    }
    const Matrix3 grid = m_map->GetPosition();
    const Vector2 cell = (m_camera->GetUIToWorld() * grid.Inverse()).MultVrt({px, py});
    const std::int32_t width = m_footprint.Width;
    const std::int32_t height = m_footprint.Height;
    const float cx = width % 2 == 0 ? std::floor(cell.x + 0.5f) : std::floor(cell.x) + 0.5f;
    const float cy = height % 2 == 0 ? std::floor(cell.y + 0.5f) : std::floor(cell.y) + 0.5f;
    // Floored, not truncated: left of or above the map a truncated corner would sit one cell off the anchor.
    const std::int32_t x = truncated(std::floor(cx - static_cast<float>(width / 2)));
    const std::int32_t y = truncated(std::floor(cy - static_cast<float>(height / 2)));
    // The first placement, and a new size at the same corner (which moves the anchor), count as moves too:
    // otherwise a building first shown at cell (0, 0) would keep the anchor of no placement at all.
    const bool sameCells = m_placed && x == m_footprint.X && y == m_footprint.Y &&
                           width == m_placedSize.Width && height == m_placedSize.Height;
    if (sameCells) {
        return;
    }
    m_placed = true;
    m_placedSize = Rect(0, 0, width, height);
    m_footprint.X = x;
    m_footprint.Y = y;
    Matrix3 anchor = m_anchor->GetPosition();
    anchor.SetOrigin(grid.MultVrt({cx, cy}));
    m_anchor->SetPosition(anchor);

    ScriptValue function = callback("OnBoundsChange");
    if (!function.isNull()) {
        ScriptValue rect = construction::scriptRect(m_footprint);
        if (beginCall(function)) {
            ScriptCall::pushValue(rect);
            ScriptCall::end();
        }
    }
}

void BuildingBuilder::build() {
    static constexpr const char* kAnswers[] = {"OnBuild", "OnClearAndBuild", "OnRefuseBuild"};
    const std::int32_t placement = CheckPlacement();
    ScriptValue function = callback(kAnswers[placement]);
    if (function.isNull()) {
        return;
    }
    ScriptValue position;
    if (placement != Blocked) {
        position = construction::scriptVector2(m_anchor->GetPosition().GetOrigin());
    }
    if (beginCall(function)) {
        if (placement != Blocked) {
            ScriptCall::pushValue(position);
        }
        ScriptCall::end();
    }
}

bool BuildingBuilder::HandleKeyEvent(const KDEvent& event) {
    if (event.data.input.index == kShiftKey) {
        const auto state = static_cast<std::uint32_t>(static_cast<std::uint64_t>(event.data.input.value));
        if (state == 0 || state == 1) {
            m_massBuild = state == 1;
        }
    }
    return ScriptedObject::HandleKeyEvent(event);
}

bool BuildingBuilder::HandlePointerEvent(const KDEvent& event) {
    const KDEventInputPointer& pointer = event.data.inputpointer;
    if (m_enabled && pointer.index >= KD_INPUT_POINTER_X && pointer.index < KD_INPUT_POINTER_SELECT) {
        followPointer(static_cast<float>(pointer.x), static_cast<float>(pointer.y));
    } else if (m_enabled && pointer.index == KD_INPUT_POINTER_SELECT && pointer.select == 1) {
        ComponentRef<> self(abstractOf(this)); // the answer may drop the script's last handle
        followPointer(static_cast<float>(pointer.x), static_cast<float>(pointer.y));
        build();
        return true;
    }
    return ScriptedObject::HandlePointerEvent(event);
}

template <class Paint>
void BuildingBuilder::fillCells(IGraphics* graphics, const Rect& cells, std::uint32_t colour, Paint&& paint) {
    ICamera* camera = graphics != nullptr ? graphics->GetCamera() : nullptr;
    if (!m_map || camera == nullptr || cells.IsEmpty()) {
        return;
    }
    const Matrix3 previous = graphics->GetTransform();
    const Matrix3 cellToTarget = m_map->GetPosition() * camera->GetWorldToScreen() * previous;
    // Only the cells that can show: a zoomed-in view walks its part of the map, not all of it.
    const Rect shown = construction::cellsInClip(graphics, cellToTarget, cells);
    if (shown.IsEmpty()) {
        return;
    }
    graphics->SetTransform(cellToTarget);
    graphics->SetColor(colour);
    for (std::int32_t y = shown.Y; y < shown.Y + shown.Height; ++y) {
        std::int32_t x = shown.X;
        while (x < shown.X + shown.Width) {
            if (!paint(x, y)) {
                ++x;
                continue;
            }
            const std::int32_t start = x;
            while (x < shown.X + shown.Width && paint(x, y)) {
                ++x;
            }
            graphics->FillRect(static_cast<float>(start), static_cast<float>(y),
                               static_cast<float>(x - start), 1.0f);
        }
    }
    graphics->SetTransform(previous);
}

void BuildingBuilder::Render(IGraphics* graphics) {
    if (!m_map) {
        return;
    }
    fillCells(graphics, Rect(0, 0, m_map->GetWidth(), m_map->GetHeight()), kBlockedColour,
              [this](std::int32_t x, std::int32_t y) { return cellStatus(x, y) == Blocked; });
}

void BuildingBuilder::Render(IGraphics* graphics, ClassMask mask) {
    IVisible* visible = preview();
    if (m_enabled && visible != nullptr && visible->IsVisible()) {
        fillCells(graphics, m_footprint, kTakenColour,
                  [this](std::int32_t x, std::int32_t y) { return cellStatus(x, y) != Free; });
    }
    ScriptedObject::Render(graphics, mask);
}
