#include "component/group_map.h"

#include <algorithm>
#include <utility>

namespace {

// std::string_view compares through char_traits<char>, which orders bytes as unsigned values.
bool entryBefore(const GroupEntry& entry, std::string_view key) {
    return std::string_view(entry.identifier) < key;
}

bool keyBefore(std::string_view key, const GroupEntry& entry) {
    return key < std::string_view(entry.identifier);
}

} // namespace

std::size_t GroupMap::find(std::string_view identifier) const {
    auto at = std::lower_bound(m_entries.begin(), m_entries.end(), identifier, entryBefore);
    if (at == m_entries.end() || at->identifier != identifier) {
        return npos;
    }
    return static_cast<std::size_t>(at - m_entries.begin());
}

std::size_t GroupMap::upperBound(std::string_view identifier) const {
    auto at = std::upper_bound(m_entries.begin(), m_entries.end(), identifier, keyBefore);
    return static_cast<std::size_t>(at - m_entries.begin());
}

IAbstract* GroupMap::lookup(std::string_view identifier) const {
    std::size_t position = find(identifier);
    return position == npos ? nullptr : m_entries[position].component.get();
}

ComponentRef<> GroupMap::assign(std::string_view identifier, ComponentRef<> component) {
    auto at = std::lower_bound(m_entries.begin(), m_entries.end(), identifier, entryBefore);
    if (at != m_entries.end() && at->identifier == identifier) {
        std::swap(at->component, component);
        return component;
    }
    m_entries.insert(at, GroupEntry{std::string(identifier), std::move(component)});
    return nullptr;
}

ComponentRef<> GroupMap::removeAt(std::size_t position) {
    ComponentRef<> component = std::move(m_entries[position].component);
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(position));
    return component;
}
