#pragma once
// Tile animations. `TileAnimationData` holds named animations loaded from a script table
// ({Name = {Time = ms, Channels = [[tile, ...], ...]}, ...}); `TileAnimation` plays one of them on a tile
// object: the channel from the heading of a positionable (channel k of n serves headings k·2π/n up to
// (k+1)·2π/n), the frame from the elapsed time (a cycle of Time ms through the channel's tiles).
//
// Degenerate data never divides by zero: no channels or an empty channel leaves the tile as it is, a time of
// 0 or less shows the first frame. The playing animation is remembered by name and looked up again at each
// update, so reloading or replacing the data can never leave it pointing at a dropped entry: an animation of
// the same name in the new data goes on playing, and without one the tile stays as it is.

#include <cstdint>
#include <string>

#include "binding/binding_script_object.h"
#include "component/component_ref.h"
#include "component/frame_interfaces.h"
#include "component/game_interfaces.h"
#include "component/group_interfaces.h"
#include "component/object_interfaces.h"
#include "component/script_interfaces.h"

class TileAnimationData final : public ITileAnimationData,
                                public IScriptLoadable,
                                public ScriptObjectBase<TileAnimationData> {
public:
    static constexpr char ScriptTypeName[] = "TileAnimationData";
    // None.
    static const MethodTable& scriptMethods();

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<ITileAnimationData, IScriptLoadable, IScriptObject>(this, id);
    }

    const TileAnimationRecord* FindAnimation(const char* name) override;
    const TileAnimationMap& GetAnimations() override { return m_map; }
    // Replaces the animations by those of the table; false (nothing changes) for anything but a table.
    // Entries whose key is not a string, or whose value is not a table, are skipped with a warning.
    bool LoadFromScript(const ScriptValue& value) override;

private:
    TileAnimationMap m_map;
};

class TileAnimation final : public IShutdownable,
                            public IPositionableUser,
                            public IAnimateable,
                            public IObjectControl,
                            public IUpdateable,
                            public ScriptObjectBase<TileAnimation> {
public:
    static constexpr char ScriptTypeName[] = "TileAnimation";
    static constexpr std::int32_t UpdateLayer = 32;
    // SetAnimationData, GetAnimationName, GetAnimationTime.
    static const MethodTable& scriptMethods();

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IScriptObject, IShutdownable, IPositionableUser, IAnimateable, IObjectControl,
                          IUpdateable>(this, id);
    }

    void SetPositionable(IAbstract* positionable) override;
    // Keeps the component's ITileObject (none without one).
    void SetSlaveObject(IAbstract* slave) override;
    // Starts `name` at `phase` (the fraction of a cycle; only its fractional part counts). A name the data
    // lacks logs "Animation \"%s\" is not found", hides the tile object (tile -1) and answers false.
    bool SetAnimation(const char* name, float phase) override;
    const TileAnimationMap* GetAnimations() override;

    std::int32_t GetUpdateLayer() override { return UpdateLayer; }
    void Init(std::int32_t) override {}
    void Update(std::int32_t layer, std::int32_t elapsed) override;

    void Shutdown() override;

    void SetAnimationData(ITileAnimationData* data) { m_data.reset(data); }
    // The playing animation's name, "" when none is playing or it is gone from the data.
    const char* GetAnimationName();
    // The time of the animation in the data, -1 without data or such an animation.
    std::int32_t GetAnimationTime(const char* name);

    std::uint32_t elapsed() const { return m_elapsed; }

private:
    ComponentRef<ITileAnimationData> m_data;
    ComponentRef<ITileObject> m_tileObject;
    ComponentRef<IPositionable> m_positionable;
    std::string m_current; // empty: nothing playing
    std::uint32_t m_elapsed = 0;
};
