#pragma once
// Containers of components: named groups (IComponentGroup), flat functional groups
// (IFunctionalGroup), and the teardown that breaks reference cycles (IShutdownable).
// Conventions of the catalogue: component/engine_interfaces.h.

#include <cstdint>
#include <string_view>
#include <vector>

#include "component/component_ref.h"
#include "component/group_map.h"

// A component that releases what it holds on request (the orderly way to break reference cycles).
class IShutdownable : public virtual IAbstract {
public:
    static constexpr char Name[] = "IShutdownable";
    static constexpr InterfaceId ID{Name};

    // Releases every held component and script value; the object stays usable but empty. Calling it
    // twice is harmless.
    virtual void Shutdown() = 0;
};

// A container of components under text identifiers (byte-wise sorted), searched depth-first through
// nested groups. The group holds one reference per entry. Its Shutdown clears the caches, then
// removes the entries from the last to the first, shutting down each one that is IShutdownable.
// ComponentGroupBase (component/component_group.h) implements the contract.
class IComponentGroup : public IShutdownable {
public:
    static constexpr char Name[] = "IComponentGroup";
    static constexpr InterfaceId ID{Name};

    // Stores the component under the identifier (a null component unregisters it). False when the
    // group refuses it; the base refuses registrations that would nest a group inside itself.
    virtual bool RegisterObject(std::string_view identifier, IAbstract* component) = 0;
    // Removes the identifier from this group or the first nested group holding it; the group's
    // reference moves to the caller. Null when nothing is found.
    virtual ComponentRef<> UnregisterObject(std::string_view identifier) = 0;
    // A new reference to the component under the identifier here or, depth-first, in a nested group.
    virtual ComponentRef<> GetObject(std::string_view identifier) = 0;
    // Every part (nested parts first) exposing `id`; the list is kept until the next call or ClearCache.
    virtual const std::vector<ComponentRef<>>& GetObjectsByInterface(InterfaceId id) = 0;
    // The identifier map, for iteration.
    virtual const GroupMap& GetObjectMap() = 0;
    // Empties the kept result lists of this group and its nested groups.
    virtual void ClearCache() = 0;
};

// A flat collection that forwards one kind of work (update, render, input) to its members.
class IFunctionalGroup : public virtual IAbstract {
public:
    static constexpr char Name[] = "IFunctionalGroup";
    static constexpr InterfaceId ID{Name};

    // Takes a reference to the component. False (nothing kept) when it is null or lacks the
    // interface the group works with.
    virtual bool Add(IAbstract* component) = 0;
    // Drops the group's reference; nothing happens for a component that is not a member.
    virtual void Remove(IAbstract* component) = 0;
    // Drops every member.
    virtual void Clear() = 0;
};

// Indexed access to the parts of a composite (exposed by no engine class). Its fifth operation has
// no known behaviour and is not declared.
class IComposite : public virtual IAbstract {
public:
    static constexpr char Name[] = "IComposite";
    static constexpr InterfaceId ID{Name};

    // The number of parts.
    virtual std::int32_t GetPartsQty() = 0;
    // The part under `name`, or null.
    virtual ComponentRef<> FindPart(const char* name) = 0;
    // The part at `index`, or null outside 0 ... GetPartsQty() - 1.
    virtual ComponentRef<> GetPart(std::int32_t index) = 0;
    // The identifier of the part at `index`, or null. Owned by the composite.
    virtual const char* GetPartID(std::int32_t index) = 0;
    // The composite that holds `part`, or null.
    virtual ComponentRef<> GetPartParent(IAbstract* part) = 0;
};

// A component told which group holds it (exposed by no engine class). Its first operation has no
// known behaviour and is not declared.
class IGroupMember : public virtual IAbstract {
public:
    static constexpr char Name[] = "IGroupMember";
    static constexpr InterfaceId ID{Name};

    // The group's IAbstract, or null when it leaves the group. Not a reference.
    virtual void SetParent(IAbstract* group) = 0;
};
