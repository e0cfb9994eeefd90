// GridRectRenderer, GroupRenderer and ClassificatedRenderer.
#include "world/overlay_renderers.h"

#include <algorithm>

#include "component/class_names.h"
#include "component/classifiable_base.h"
#include "component/component_registry.h"
#include "platform/kd.h"
#include "world/src/script_lists.h"

namespace {

void setRectFromScript(GridRectRenderer& r, std::int32_t index, Rect rect) {
    r.SetRect(index, rect);
}
void addRectFromScript(GridRectRenderer& r, Rect rect) {
    r.AddRect(rect);
}
void clearRectsFromScript(GridRectRenderer& r) {
    r.ClearRects();
}
void setCellTilesFromScript(GridRectRenderer& r, ScriptValue tiles) {
    std::vector<std::int32_t> list;
    if (!world_detail::integerList(tiles, list)) {
        logWarning(GridRectRenderer::ScriptTypeName, "SetCellTiles needs an array of 16 tile numbers");
    }
    r.SetCellTiles(list);
}
void setGridMapFromScript(GridRectRenderer& r, IGridMap* map) {
    r.SetGridMap(map);
}

bool groupRegisterFromScript(GroupRenderer& r, IAbstract* object) {
    return r.RegisterRenderable(object);
}

} // namespace

// --- GridRectRenderer
// --------------------------------------------------------------------------------------------

const MethodTable& GridRectRenderer::scriptMethods() {
    static const MethodTable table{
        scriptMethod<GridRectRenderer>("SetRect", &setRectFromScript),
        scriptMethod<GridRectRenderer>("AddRect", &addRectFromScript),
        scriptMethod<GridRectRenderer>("ClearRects", &clearRectsFromScript),
        scriptMethod<GridRectRenderer>("SetCellTiles", &setCellTilesFromScript),
        scriptMethod<GridRectRenderer>("SetGridMap", &setGridMapFromScript),
    };
    return table;
}

void GridRectRenderer::SetRect(std::int32_t index, const Rect& rect) {
    if (index >= 0 && static_cast<std::size_t>(index) < m_rects.size()) {
        m_rects[static_cast<std::size_t>(index)] = rect;
    }
}

void GridRectRenderer::SetCellTiles(const std::vector<std::int32_t>& tiles) {
    const std::size_t n = std::min<std::size_t>(tiles.size(), 16);
    for (std::size_t i = 0; i < n; ++i) {
        m_tiles[i] = static_cast<std::int16_t>(tiles[i]);
    }
}

void GridRectRenderer::Shutdown() {
    m_map.reset();
    m_rects.clear();
}

void GridRectRenderer::Render(IGraphics* graphics) {
    ICamera* camera = graphics != nullptr ? graphics->GetCamera() : nullptr;
    if (!m_map || camera == nullptr || m_rects.empty()) {
        return;
    }
    if (!m_tileManager) {
        ComponentRef<> created = ComponentRegistry::instance().create(classId(ClassName::TileManager));
        m_tileManager.reset(queryInterface<ITileManager>(created.get()));
    }
    ITileManager* tiles = m_tileManager.get();
    if (tiles == nullptr) {
        return;
    }
    ComponentRef<IGridMap> map = m_map;
    const Matrix3 transform = map->GetPosition() * camera->GetWorldToScreen();
    const std::int64_t width = map->GetWidth(), height = map->GetHeight();
    graphics->SetColor(0xFFFFFFFF);
    for (const Rect& r : m_rects) {
        // 64 bits: a rectangle's far edge may pass the 32-bit range.
        const std::int64_t left = r.X, top = r.Y;
        const std::int64_t right = left + r.Width, bottom = top + r.Height;
        for (std::int64_t x = std::max<std::int64_t>(left, 0); x < std::min(right, width); ++x) {
            for (std::int64_t y = std::max<std::int64_t>(top, 0); y < std::min(bottom, height); ++y) {
                const int mask = (x > left ? 1 : 0) | (x < right - 1 ? 2 : 0) | (y > top ? 4 : 0) |
                                 (y < bottom - 1 ? 8 : 0);
                const Vector2 p = transform.MultVrt(Vector2{float(x) + 0.5f, float(y) + 0.5f});
                tiles->Render(graphics, m_tiles[mask], p.x, p.y, 0);
            }
        }
    }
}

// --- GroupRenderer
// -----------------------------------------------------------------------------------------------

const MethodTable& GroupRenderer::scriptMethods() {
    static const MethodTable table{
        scriptMethod<GroupRenderer>("RegisterObject", &groupRegisterFromScript),
    };
    return table;
}

GroupRenderer::GroupRenderer() {
    ComponentRef<> created = ComponentRegistry::instance().create(classId(ClassName::RenderGroup));
    m_group.reset(queryInterface<IRenderable>(created.get()));
}

void* GroupRenderer::QueryInterface(InterfaceId id) {
    if (id == IVisible::ID) {
        return static_cast<IVisible*>(this);
    }
    if (id == IRenderable::ID) {
        return static_cast<IRenderable*>(this);
    }
    return ScriptedObject::QueryInterface(id);
}

bool GroupRenderer::GetMember(const char* name, ScriptValue& value) {
    return scriptExtension().getMember(name, value) || scriptMethods().find(name, value) ||
           ScriptedObject::GetMember(name, value);
}

bool GroupRenderer::RegisterRenderable(IAbstract* object) {
    auto* group = queryInterface<IFunctionalGroup>(m_group.get());
    return group != nullptr && object != nullptr && group->Add(object);
}

void GroupRenderer::Render(IGraphics* graphics, ClassMask mask) {
    if (!m_visible || !matchesClassMask(this, mask)) {
        return;
    }
    ComponentRef<> self(abstractOf(this));
    ScriptedObject::Render(graphics, mask);
    if (ComponentRef<IRenderable> group = m_group) {
        group->Render(graphics, mask);
    }
}

void GroupRenderer::Shutdown() {
    ComponentRef<> self(abstractOf(this));
    if (auto* group = queryInterface<IFunctionalGroup>(m_group.get())) {
        group->Clear();
    }
    m_group.reset();
    ScriptedObject::Shutdown();
}

// --- ClassificatedRenderer
// ---------------------------------------------------------------------------------------

void ClassificatedRenderer::Render(IGraphics* graphics, ClassMask mask) {
    if (matchesClassMask(this, mask)) {
        ScriptedObject::Render(graphics, mask);
    }
}
