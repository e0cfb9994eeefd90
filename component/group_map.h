#pragma once
// `GroupMap`: the parts of a component group, identifier (text) -> component, kept sorted by
// identifier with byte-wise comparison and holding one reference per entry. A sorted array keeps
// lookups free of allocation and lets script iteration resume from a remembered position.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "component/component_ref.h"

struct GroupEntry {
    std::string identifier;
    ComponentRef<> component;
};

class GroupMap {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    std::size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    const GroupEntry& operator[](std::size_t position) const { return m_entries[position]; }
    auto begin() const { return m_entries.begin(); }
    auto end() const { return m_entries.end(); }

    // Position of the entry with exactly this identifier, or npos.
    std::size_t find(std::string_view identifier) const;
    // Position of the first entry whose identifier sorts after `identifier` (size() when none).
    std::size_t upperBound(std::string_view identifier) const;
    // The component stored under the identifier, or null (no reference added).
    IAbstract* lookup(std::string_view identifier) const;

    // Stores `component` (non-null) under the identifier and returns the component it replaces,
    // whose reference moves to the caller.
    ComponentRef<> assign(std::string_view identifier, ComponentRef<> component);
    // Removes the entry at a position and returns its component (the reference moves to the caller).
    ComponentRef<> removeAt(std::size_t position);

private:
    std::vector<GroupEntry> m_entries;
};
