#pragma once
// `GameLevel`: the game's scene. Besides what a Scene does it keeps dynamic tile layers, finds registered
// objects by classificator mask, and picks the object under a point.
//
// Dynamic layers: a tile layer appended to the scene's groups and named by SetDynamicLayer leaves the groups
// that new objects join by default; from then on a tile object whose render layer is that layer's joins (and
// leaves) the tile layer in place of the scene's render group, whether registered itself or as a part of a
// registered object (a game object's tile), so it is drawn among the layer's tiles. A layer whose name
// matches no group logs "can't find group: %s", and tile objects of its render layer join the render group as
// any other object does.
//
// Picking (GetObjectAt): among the registered objects that pass the mask and whose screen position lies
// within 350 screen units of the point (in x and in y), the one whose script `HitTest(point)` answers true
// and which is lowest on screen wins; of equal heights the first registered. Needs the scene's part named
// "Camera".

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "component/component_ref.h"
#include "component/group_interfaces.h"
#include "math/vector2.h"
#include "objects/scene.h"
#include "script/script_value.h"

class GameLevel final : public Scene {
public:
    static constexpr char ScriptTypeName[] = "GameLevel";
    static constexpr float PickDistance = 350.0f;
    // SetDynamicLayer, FindObjectsByMask, GetObjectAt (after the Scene's methods).
    static const MethodTable& scriptMethods();

    bool GetMember(const char* name, ScriptValue& value) override;
    const char* GetTypeName() override { return ScriptTypeName; }

    // Kept in registration order too.
    bool RegisterObject(std::string_view identifier, IAbstract* component) override;
    ComponentRef<> UnregisterObject(std::string_view identifier) override;
    // Drops the dynamic layers and the registration order, then shuts the scene down.
    void Shutdown() override;

    void SetDynamicLayer(IAbstract* layer);
    // The registered objects whose classificators pass the mask, in registration order.
    std::vector<ComponentRef<>> FindObjectsByMask(ClassMask mask);
    // `point` in UI coordinates (pointer pixels); null when nothing is hit or there is no camera.
    ComponentRef<> GetObjectAt(const Vector2& point, ClassMask mask);

    // The registration mask (bit i: group i) new objects get by default.
    std::uint32_t registrationMask() { return enabledGroups(); }

protected:
    // A tile object (a registered object or a part of one) of a dynamic layer's render layer: that layer in
    // place of the render group.
    std::uint32_t groupsFor(IAbstract* member) override;

private:
    static constexpr std::size_t DefaultGroup = 1; // the scene's render group
    std::vector<ComponentRef<IFunctionalGroup>> m_dynamicLayers;
    std::map<std::int32_t, std::size_t> m_layerGroups;           // render layer -> group position
    std::vector<std::pair<std::string, ComponentRef<>>> m_order; // registered objects, in order
};
