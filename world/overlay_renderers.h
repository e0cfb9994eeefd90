#pragma once
// Three small drawing helpers.
//
// `GridRectRenderer`: rectangles of grid cells drawn with 16 cell tiles chosen by which neighbours of a cell
// lie inside its rectangle (bit 1 left, 2 right, 4 up, 8 down): a nine-patch style outline and fill of a
// zone. It is an overlay of a grid map (the map draws it when it holds it among its renderers), placed by the
// map's transform and the context's camera; without a map or a camera it draws nothing. Only the cells inside
// the map are drawn, so a script's huge rectangle costs no more than the map.
//
// `GroupRenderer`: a scripted object that owns a render group; drawn, it does its scripted drawing and then
// draws the group, both only while visible and when its classificators pass the mask.
//
// `ClassificatedRenderer`: a scripted object whose scripted drawing happens only when its classificators pass
// the mask.

#include <cstdint>
#include <vector>

#include "binding/binding_script_object.h"
#include "component/component_ref.h"
#include "component/frame_interfaces.h"
#include "component/game_interfaces.h"
#include "component/group_interfaces.h"
#include "component/media_interfaces.h"
#include "math/rect.h"
#include "objects/scripted_object.h"

class GridRectRenderer final : public IGridRenderer,
                               public IShutdownable,
                               public ScriptObjectBase<GridRectRenderer> {
public:
    static constexpr char ScriptTypeName[] = "GridRectRenderer";
    // SetRect, AddRect, ClearRects, SetCellTiles, SetGridMap.
    static const MethodTable& scriptMethods();

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IScriptObject, IShutdownable, IGridRenderer>(this, id);
    }

    // IGridRenderer
    void Render(IGraphics* graphics) override;
    // IShutdownable: releases the map and clears the rectangles.
    void Shutdown() override;

    // Replaces rectangle `index`; nothing when there is no such rectangle.
    void SetRect(std::int32_t index, const Rect& rect);
    void AddRect(const Rect& rect) { m_rects.push_back(rect); }
    void ClearRects() { m_rects.clear(); }
    // The first 16 numbers of the list; entries the list does not reach keep their tiles.
    void SetCellTiles(const std::vector<std::int32_t>& tiles);
    void SetGridMap(IGridMap* map) { m_map.reset(map); }

    const std::vector<Rect>& rects() const { return m_rects; }

private:
    ComponentRef<IGridMap> m_map;
    ComponentRef<ITileManager> m_tileManager;
    std::vector<Rect> m_rects;
    std::int16_t m_tiles[16] = {};
};

class GroupRenderer final : public ScriptedObject, public IVisible {
public:
    static constexpr char ScriptTypeName[] = "GroupRenderer";
    // RegisterObject (in place of the compound's).
    static const MethodTable& scriptMethods();

    GroupRenderer();

    // Also IVisible, and IRenderable even when the script draws nothing itself.
    void* QueryInterface(InterfaceId id) override;
    bool GetMember(const char* name, ScriptValue& value) override;
    const char* GetTypeName() override { return ScriptTypeName; }

    void Render(IGraphics* graphics, ClassMask mask) override;
    // Empties and drops the group, then shuts the scripted object down.
    void Shutdown() override;

    void SetVisible(bool visible) override { m_visible = visible; }
    bool IsVisible() override { return m_visible; }

    // Adds the object to the render group; false when there is no group (or it refuses the object).
    bool RegisterRenderable(IAbstract* object);

private:
    ComponentRef<IRenderable> m_group;
    bool m_visible = true;
};

class ClassificatedRenderer final : public ScriptedObject {
public:
    static constexpr char ScriptTypeName[] = "ClassificatedRenderer";

    const char* GetTypeName() override { return ScriptTypeName; }
    void Render(IGraphics* graphics, ClassMask mask) override;
};
