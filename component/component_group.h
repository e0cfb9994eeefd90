#pragma once
// Component groups: `ComponentGroupParts` holds a group's parts and implements the group contract;
// `ComponentGroupBase<Interface>` turns it into the IComponentGroup operations of a class, where
// Interface is IComponentGroup or an interface extending it (ISystem). Classes derive from the
// base and add their own checks on top (a compound refuses a second component under an
// identifier it already has).
//
// Parts are kept in a GroupMap (one reference each) and nested groups are searched depth-first in
// identifier order. A group never contains itself: registering the group into itself, or a group
// that already contains this one at any depth, is refused with an error line, because every later
// lookup of a missing identifier would otherwise recurse without end.

#include <string_view>
#include <vector>

#include "component/group_interfaces.h"

class ComponentGroupParts {
public:
    // `self` is the owning group's IAbstract: parts learn it as their parent, and cycles are
    // checked against it. Log lines carry the owner's script type name as tag.
    bool registerObject(IAbstract* self, std::string_view identifier, IAbstract* component);
    ComponentRef<> unregisterObject(std::string_view identifier);
    ComponentRef<> getObject(std::string_view identifier);
    const std::vector<ComponentRef<>>& getObjectsByInterface(InterfaceId id);
    const GroupMap& map() const { return m_parts; }
    void clearCache();
    // ClearCache, then removes the parts from the last to the first; each leaves its group
    // (IGroupMember), is shut down (IShutdownable) and released.
    void shutdown();

private:
    GroupMap m_parts;
    std::vector<ComponentRef<>> m_found; // the last getObjectsByInterface answer
};

template <class Interface = IComponentGroup> class ComponentGroupBase : public Interface {
public:
    void Shutdown() override { m_group.shutdown(); }
    bool RegisterObject(std::string_view identifier, IAbstract* component) override {
        return m_group.registerObject(abstractOf(this), identifier, component);
    }
    ComponentRef<> UnregisterObject(std::string_view identifier) override {
        return m_group.unregisterObject(identifier);
    }
    ComponentRef<> GetObject(std::string_view identifier) override { return m_group.getObject(identifier); }
    const std::vector<ComponentRef<>>& GetObjectsByInterface(InterfaceId id) override {
        return m_group.getObjectsByInterface(id);
    }
    const GroupMap& GetObjectMap() override { return m_group.map(); }
    void ClearCache() override { m_group.clearCache(); }

private:
    ComponentGroupParts m_group;
};

// Whether `target` is a part of `group` or of any group nested in it.
bool groupContains(IComponentGroup* group, IAbstract* target);
