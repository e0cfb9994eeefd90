// GameLevel: dynamic tile layers, search by classificators and picking.
#include "world/game_level.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "binding/binding.h"
#include "binding/value_binding.h"
#include "component/classifiable_base.h"
#include "component/game_interfaces.h"
#include "component/script_interfaces.h"
#include "platform/kd.h"
#include "script/script_call.h"
#include "script/script_host.h"

namespace {

void setDynamicLayerFromScript(GameLevel& level, IAbstract* layer) {
    level.SetDynamicLayer(layer);
}

ScriptValue findObjectsFromScript(GameLevel& level, std::int32_t include, std::int32_t exclude) {
    const auto found = level.FindObjectsByMask(
        ClassMask{static_cast<std::uint32_t>(include), static_cast<std::uint32_t>(exclude)});
    HSQUIRRELVM v = ScriptHost::vm();
    sq_newarray(v, 0);
    for (const ComponentRef<>& object : found) {
        pushComponent(v, object.get());
        sq_arrayappend(v, -2);
    }
    ScriptValue array = ScriptValue::fromStack(-1);
    sq_poptop(v);
    return array;
}

ComponentRef<> objectAtFromScript(GameLevel& level, Vector2 point, std::int32_t include,
                                  std::int32_t exclude) {
    return level.GetObjectAt(
        point, ClassMask{static_cast<std::uint32_t>(include), static_cast<std::uint32_t>(exclude)});
}

// The object's script `HitTest(point)`; a missing callback, an error or a false answer misses.
bool scriptHitTest(IAbstract* object, const Vector2& point) {
    auto* script = queryInterface<IScriptObject>(object);
    HSQUIRRELVM v = ScriptHost::vm();
    ScriptValue function;
    if (script == nullptr || v == nullptr || !script->GetMember("HitTest", function) ||
        !function.isCallable()) {
        return false;
    }
    pushComponent(v, object);
    ScriptValue self = ScriptValue::fromStack(-1);
    sq_poptop(v);
    if (!pushValue(v, point)) {
        sq_poptop(v);
        return false;
    }
    ScriptValue argument = ScriptValue::fromStack(-1);
    sq_poptop(v);
    if (!ScriptCall::begin(function, self)) {
        return false;
    }
    ScriptCall::pushValue(argument);
    const ScriptValue answer = ScriptCall::end();
    switch (answer.type()) {
    case OT_BOOL:
    case OT_INTEGER:
        return answer.object()._unVal.nInteger != 0;
    default:
        return false;
    }
}

} // namespace

const MethodTable& GameLevel::scriptMethods() {
    static const MethodTable table{
        scriptMethod<GameLevel>("SetDynamicLayer", &setDynamicLayerFromScript),
        scriptMethod<GameLevel>("FindObjectsByMask", &findObjectsFromScript),
        scriptMethod<GameLevel>("GetObjectAt", &objectAtFromScript),
    };
    return table;
}

bool GameLevel::GetMember(const char* name, ScriptValue& value) {
    return scriptExtension().getMember(name, value) || scriptMethods().find(name, value) ||
           Scene::scriptMethods().find(name, value);
}

std::uint32_t GameLevel::groupsFor(IAbstract* member) {
    const std::uint32_t mask = enabledGroups();
    auto* tile = queryInterface<ITileObject>(member);
    if (tile == nullptr) {
        return mask;
    }
    const auto found = m_layerGroups.find(tile->GetRenderLayer());
    if (found == m_layerGroups.end()) {
        return mask;
    }
    return (mask & ~(1u << DefaultGroup)) | (1u << found->second);
}

bool GameLevel::RegisterObject(std::string_view identifier, IAbstract* component) {
    ComponentRef<> held(abstractOf(component));
    if (!Scene::RegisterObject(identifier, component)) {
        return false;
    }
    m_order.emplace_back(std::string(identifier), held);
    return true;
}

ComponentRef<> GameLevel::UnregisterObject(std::string_view identifier) {
    ComponentRef<> removed = Scene::UnregisterObject(identifier);
    if (removed) {
        IAbstract* gone = abstractOf(removed.get());
        std::erase_if(m_order, [&](const auto& entry) {
            return entry.first == identifier && abstractOf(entry.second.get()) == gone;
        });
    }
    return removed;
}

void GameLevel::Shutdown() {
    ComponentRef<> self(abstractOf(this));
    m_dynamicLayers.clear();
    m_layerGroups.clear();
    m_order.clear();
    Scene::Shutdown();
}

void GameLevel::SetDynamicLayer(IAbstract* layer) {
    auto* group = queryInterface<IFunctionalGroup>(layer);
    auto* renderable = queryInterface<IRenderable>(layer);
    auto* named = queryInterface<IIdentifiable>(layer);
    if (group == nullptr || renderable == nullptr || named == nullptr) {
        logError(ScriptTypeName, "SetDynamicLayer needs a tile layer");
        return;
    }
    m_dynamicLayers.emplace_back(group);
    const char* name = named->GetIdentificator();
    const auto& list = groups();
    for (std::size_t i = 0; i < list.size() && i < 32; ++i) {
        auto* candidate = queryInterface<IIdentifiable>(list[i].get());
        if (candidate != nullptr && std::strcmp(candidate->GetIdentificator(), name) == 0) {
            m_layerGroups[renderable->GetRenderLayer()] = i;
            setEnabledGroups(enabledGroups() & ~(1u << i));
            return;
        }
    }
    logError(nullptr, "can't find group: %s", name);
}

std::vector<ComponentRef<>> GameLevel::FindObjectsByMask(ClassMask mask) {
    std::vector<ComponentRef<>> found;
    for (const auto& entry : m_order) {
        if (matchesClassMask(entry.second.get(), mask)) {
            found.push_back(entry.second);
        }
    }
    return found;
}

ComponentRef<> GameLevel::GetObjectAt(const Vector2& point, ClassMask mask) {
    ComponentRef<> part = GetObject("Camera");
    auto* camera = queryInterface<ICamera>(part.get());
    if (camera == nullptr) {
        return nullptr;
    }
    const Vector2 q = camera->GetUIToScreen().MultVrt(point);
    const Matrix3 toScreen = camera->GetWorldToScreen();
    // A copy: HitTest runs script code, which may register or unregister objects.
    const auto candidates = m_order;
    ComponentRef<> best;
    float bestY = -std::numeric_limits<float>::infinity();
    for (const auto& entry : candidates) {
        IAbstract* object = entry.second.get();
        auto* positionable = queryInterface<IPositionable>(object);
        if (positionable == nullptr || !matchesClassMask(object, mask)) {
            continue;
        }
        const Vector2 v = toScreen.MultVrt(positionable->GetPosition().GetOrigin());
        if (!(v.y > bestY) || std::max(std::fabs(q.x - v.x), std::fabs(q.y - v.y)) > PickDistance) {
            continue;
        }
        if (scriptHitTest(object, point)) {
            best = entry.second;
            bestY = v.y;
        }
    }
    return best;
}
