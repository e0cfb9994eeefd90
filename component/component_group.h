#pragma once
// `ComponentGroupBase`: the shared implementation of IComponentGroup. A group keeps its parts in a
// GroupMap (one reference each) and searches nested groups depth-first in identifier order.
// Classes derive from it and add their own checks on top (a compound refuses a second component
// under an identifier it already has).
//
// A group never contains itself: registering the group into itself, or registering a group that
// already contains this one (at any depth), is refused with an error line, because every later
// lookup of a missing identifier would otherwise recurse without end.

#include <string_view>
#include <vector>

#include "component/group_interfaces.h"

class ComponentGroupBase : public IComponentGroup {
public:
    // ClearCache, then removes the parts from the last to the first; each leaves its group
    // (IGroupMember), is shut down (IShutdownable) and released.
    void Shutdown() override;
    bool RegisterObject(std::string_view identifier, IAbstract* component) override;
    ComponentRef<> UnregisterObject(std::string_view identifier) override;
    ComponentRef<> GetObject(std::string_view identifier) override;
    const std::vector<ComponentRef<>>& GetObjectsByInterface(InterfaceId id) override;
    const GroupMap& GetObjectMap() override { return m_parts; }
    void ClearCache() override;

protected:
    // The class name used as tag of the group's log lines (the IScriptObject type name, if any).
    const char* logTag();

private:
    GroupMap m_parts;
    std::vector<ComponentRef<>> m_found; // the last GetObjectsByInterface answer
};

// Whether `target` is a part of `group` or of any group nested in it.
bool groupContains(IComponentGroup* group, IAbstract* target);
