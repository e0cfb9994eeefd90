#include "component/group_iteration.h"

namespace {

// Main thread only, like every component.
struct IterationCache {
    const IComponentGroup* group = nullptr;
    std::size_t position = 0;
};
IterationCache g_cache;

} // namespace

const char* nextGroupIdentifier(IComponentGroup* group, const char* previous) {
    if (group == nullptr) {
        return nullptr;
    }
    const GroupMap& map = group->GetObjectMap();
    std::size_t next = 0;
    if (previous != nullptr) {
        bool cached = g_cache.group == group && g_cache.position < map.size() &&
                      map[g_cache.position].identifier == previous;
        next = cached ? g_cache.position + 1 : map.upperBound(previous);
    }
    if (next >= map.size()) {
        g_cache = {};
        return nullptr;
    }
    g_cache = {group, next};
    return map[next].identifier.c_str();
}
