#include "objects/scene.h"

#include <cstring>

#include "objects/input_group.h"
#include "objects/render_group.h"
#include "objects/update_group.h"
#include "platform/kd.h"

namespace {
constexpr char kTag[] = "Scene";

template <class T> ComponentRef<T> makeGroup() {
    return ComponentRef<T>::adopt(new T());
}
} // namespace

const MethodTable& Scene::scriptMethods() {
    static const MethodTable table{
        scriptMethod<Scene>("RegisterObject", &Scene::registerFromScript),
        scriptMethod<Scene>("UnregisterObject", &Scene::unregisterFromScript),
        scriptMethod<Scene>("GetObject", &Scene::getFromScript),
        scriptMethod<Scene>("AppendGroup", &Scene::AppendGroup),
        scriptMethod<Scene>("RemoveGroup", &Scene::RemoveGroup),
        scriptMethod<Scene>("EnableGroup", &Scene::EnableGroup),
    };
    return table;
}

Scene::Scene() {
    auto update = makeGroup<UpdateGroup>();
    auto render = makeGroup<RenderGroup>();
    auto input = makeGroup<InputGroup>();
    m_updateGroup.reset(update.get());
    m_renderGroup.reset(render.get());
    m_inputGroup.reset(input.get());
    m_groups.emplace_back(update.get());
    m_groups.emplace_back(render.get());
    m_groups.emplace_back(input.get());
}

bool Scene::GetMember(const char* name, ScriptValue& value) {
    return m_extension.getMember(name, value) || scriptMethods().find(name, value);
}

void Scene::addToGroups(IAbstract* component) {
    applyToGroups(component, [](IFunctionalGroup* group, IAbstract* member) { group->Add(member); });
}

void Scene::removeFromGroups(IAbstract* component) {
    applyToGroups(component, [](IFunctionalGroup* group, IAbstract* member) { group->Remove(member); });
}

template <class Apply> void Scene::applyToGroups(IAbstract* component, Apply apply) {
    if (auto* group = queryInterface<IComponentGroup>(component)) {
        // The parts first, in identifier order. A copy of the list: adding or removing may run script code
        // that changes the group.
        std::vector<ComponentRef<>> parts;
        for (const GroupEntry& entry : group->GetObjectMap()) {
            parts.push_back(entry.component);
        }
        for (const ComponentRef<>& part : parts) {
            applyToGroups(part.get(), apply);
        }
    }
    // A copy too: a group may run script code that changes the group list.
    std::vector<ComponentRef<IFunctionalGroup>> groups = m_groups;
    const std::uint32_t enabled = groupsFor(component);
    for (std::size_t i = 0; i < groups.size() && i < 32; ++i) {
        if (groups[i] && (enabled & (1u << i)) != 0) {
            apply(groups[i].get(), component);
        }
    }
}

bool Scene::RegisterObject(std::string_view identifier, IAbstract* component) {
    const int length = static_cast<int>(identifier.size());
    if (GetObject(identifier)) {
        logError(kTag, "Object %.*s already exists", length, identifier.data());
        return false;
    }
    if (component == nullptr) {
        return false;
    }
    ComponentRef<> held(abstractOf(component));
    if (auto* identifiable = queryInterface<IIdentifiable>(component)) {
        identifiable->SetIdentificator(identifier);
    }
    logPlain(kTag, "Object %.*s loaded", length, identifier.data());
    if (!ComponentGroupBase<>::RegisterObject(identifier, component)) {
        return false;
    }
    ClearCache();
    addToGroups(held.get());
    return true;
}

ComponentRef<> Scene::UnregisterObject(std::string_view identifier) {
    const int length = static_cast<int>(identifier.size());
    ComponentRef<> found = GetObject(identifier);
    if (!found) {
        logError(kTag, "Object %.*s not found", length, identifier.data());
        return nullptr;
    }
    removeFromGroups(found.get());
    ComponentRef<> removed = ComponentGroupBase<>::UnregisterObject(identifier);
    ClearCache();
    logPlain(kTag, "Object %.*s deleted", length, identifier.data());
    return removed;
}

void Scene::Shutdown() {
    ComponentRef<> self(abstractOf(this));
    m_updateGroup.reset();
    m_renderGroup.reset();
    m_inputGroup.reset();
    m_groups.clear();
    ComponentGroupBase<>::Shutdown();
    m_extension.shutdown();
}

void Scene::Init(std::int32_t time) {
    if (ComponentRef<IUpdateable> group = m_updateGroup) {
        group->Init(time);
    }
}

void Scene::Update(std::int32_t layer, std::int32_t elapsed) {
    if (ComponentRef<IUpdateable> group = m_updateGroup) {
        group->Update(layer, elapsed);
    }
}

void Scene::Render(IGraphics* graphics, ClassMask mask) {
    if (ComponentRef<IRenderable> group = m_renderGroup) {
        group->Render(graphics, mask);
    }
}

bool Scene::HandleKeyEvent(const KDEvent& event) {
    ComponentRef<IInputHandler> group = m_inputGroup;
    return group && group->HandleKeyEvent(event);
}

bool Scene::HandlePointerEvent(const KDEvent& event) {
    ComponentRef<IInputHandler> group = m_inputGroup;
    return group && group->HandlePointerEvent(event);
}

void Scene::SetVisible(bool visible) {
    if (auto* group = queryInterface<IVisible>(m_renderGroup.get())) {
        group->SetVisible(visible);
    }
}

bool Scene::IsVisible() {
    auto* group = queryInterface<IVisible>(m_renderGroup.get());
    return group != nullptr && group->IsVisible();
}

void Scene::AppendGroup(IAbstract* group) {
    // A component without IFunctionalGroup still takes a position (null), as the enabled bits count
    // positions.
    m_groups.emplace_back(queryInterface<IFunctionalGroup>(group));
}

void Scene::RemoveGroup(IAbstract* group) {
    IFunctionalGroup* functional = queryInterface<IFunctionalGroup>(group);
    if (functional != nullptr) {
        std::erase_if(m_groups, [functional](const ComponentRef<IFunctionalGroup>& g) {
            return g.get() == functional;
        });
    }
}

void Scene::EnableGroup(const char* identifier, bool enable) {
    for (std::size_t i = 0; i < m_groups.size() && i < 32; ++i) {
        auto* named = queryInterface<IIdentifiable>(m_groups[i].get());
        if (named != nullptr && std::strcmp(named->GetIdentificator(), identifier) == 0) {
            if (enable) {
                m_enabled |= 1u << i;
            } else {
                m_enabled &= ~(1u << i);
            }
            return;
        }
    }
    logError(nullptr, "can't find group: %s", identifier);
}
