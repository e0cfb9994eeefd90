#include "component/component_group.h"

#include <string>

#include "component/script_interfaces.h"
#include "platform/kd.h"

namespace {

void leaveGroup(IAbstract* component, IAbstract* group) {
    if (auto* member = queryInterface<IGroupMember>(component)) {
        member->SetParent(group);
    }
}

// The owner's class name, as the tag of its log lines.
const char* logTag(IAbstract* self) {
    auto* scriptObject = queryInterface<IScriptObject>(self);
    return scriptObject ? scriptObject->GetTypeName() : nullptr;
}

} // namespace

bool groupContains(IComponentGroup* group, IAbstract* target) {
    for (const GroupEntry& entry : group->GetObjectMap()) {
        IAbstract* part = entry.component.get();
        if (part == target) {
            return true;
        }
        auto* nested = queryInterface<IComponentGroup>(part);
        if (nested != nullptr && groupContains(nested, target)) {
            return true;
        }
    }
    return false;
}

bool ComponentGroupParts::registerObject(IAbstract* self, std::string_view identifier, IAbstract* component) {
    if (component == nullptr) {
        unregisterObject(identifier);
        return true;
    }
    IAbstract* added = abstractOf(component);
    auto* addedGroup = queryInterface<IComponentGroup>(added);
    if (added == self || (addedGroup != nullptr && groupContains(addedGroup, self))) {
        logError(logTag(self), "Object %s not registered: a group cannot contain itself",
                 std::string(identifier).c_str());
        return false;
    }
    // The new reference is taken before the replaced one is dropped (they may be the same object).
    ComponentRef<> replaced = m_parts.assign(identifier, ComponentRef<>(added));
    if (replaced && replaced.get() != added) {
        leaveGroup(replaced.get(), nullptr);
    }
    leaveGroup(added, self);
    return true;
}

ComponentRef<> ComponentGroupParts::unregisterObject(std::string_view identifier) {
    std::size_t position = m_parts.find(identifier);
    if (position != GroupMap::npos) {
        ComponentRef<> removed = m_parts.removeAt(position);
        leaveGroup(removed.get(), nullptr);
        return removed;
    }
    for (const GroupEntry& entry : m_parts) {
        if (auto* nested = queryInterface<IComponentGroup>(entry.component.get())) {
            if (ComponentRef<> removed = nested->UnregisterObject(identifier)) {
                return removed;
            }
        }
    }
    return nullptr;
}

ComponentRef<> ComponentGroupParts::getObject(std::string_view identifier) {
    if (IAbstract* own = m_parts.lookup(identifier)) {
        return ComponentRef<>(own);
    }
    for (const GroupEntry& entry : m_parts) {
        if (auto* nested = queryInterface<IComponentGroup>(entry.component.get())) {
            if (ComponentRef<> found = nested->GetObject(identifier)) {
                return found;
            }
        }
    }
    return nullptr;
}

const std::vector<ComponentRef<>>& ComponentGroupParts::getObjectsByInterface(InterfaceId id) {
    m_found.clear();
    for (const GroupEntry& entry : m_parts) {
        IAbstract* part = entry.component.get();
        if (auto* nested = queryInterface<IComponentGroup>(part)) {
            const auto& inner = nested->GetObjectsByInterface(id);
            m_found.insert(m_found.end(), inner.begin(), inner.end());
        }
        if (part->QueryInterface(id) != nullptr) {
            m_found.emplace_back(part);
        }
    }
    return m_found;
}

void ComponentGroupParts::clearCache() {
    for (const GroupEntry& entry : m_parts) {
        if (auto* nested = queryInterface<IComponentGroup>(entry.component.get())) {
            nested->ClearCache();
        }
    }
    m_found.clear();
}

void ComponentGroupParts::shutdown() {
    clearCache();
    while (!m_parts.empty()) {
        // Taken out of the map first, so a part that reaches back into this group sees it gone.
        ComponentRef<> part = m_parts.removeAt(m_parts.size() - 1);
        leaveGroup(part.get(), nullptr);
        if (auto* shutdownable = queryInterface<IShutdownable>(part.get())) {
            shutdownable->Shutdown();
        }
    }
}
