#include "objects/update_group.h"

#include <algorithm>
#include <bit>

namespace {
template <class List> auto findComponent(List& list, IAbstract* component) {
    return std::find_if(list.begin(), list.end(),
                        [component](const auto& m) { return m.component.get() == component; });
}
} // namespace

bool UpdateGroup::Add(IAbstract* component) {
    IUpdateable* updateable = queryInterface<IUpdateable>(component);
    if (updateable == nullptr) {
        return false;
    }
    IAbstract* identity = abstractOf(component);
    std::erase_if(m_removals, [identity](const Member& m) { return m.component.get() == identity; });
    if (findComponent(m_additions, identity) == m_additions.end()) {
        m_additions.push_back({ComponentRef<>(identity), updateable});
    }
    return true;
}

void UpdateGroup::Remove(IAbstract* component) {
    IAbstract* identity = abstractOf(component);
    if (identity == nullptr) {
        return;
    }
    std::erase_if(m_additions, [identity](const Member& m) { return m.component.get() == identity; });
    if (findComponent(m_removals, identity) == m_removals.end()) {
        m_removals.push_back({ComponentRef<>(identity), nullptr});
    }
}

void UpdateGroup::Clear() {
    if (m_walks > 0) {
        m_clearQueued = true;
        return;
    }
    clearNow();
}

void UpdateGroup::clearNow() {
    m_clearQueued = false;
    for (auto& bucket : m_buckets) {
        bucket.clear();
    }
    m_members.clear();
    m_awaitingInit.clear();
}

bool UpdateGroup::isMember(IAbstract* component) const {
    return std::any_of(m_members.begin(), m_members.end(),
                       [component](const Member& m) { return m.component.get() == component; });
}

bool UpdateGroup::isQueuedForRemoval(IAbstract* component) const {
    return std::any_of(m_removals.begin(), m_removals.end(),
                       [component](const Member& m) { return m.component.get() == component; });
}

void UpdateGroup::removeMember(IAbstract* component) {
    auto same = [component](const Member& m) { return m.component.get() == component; };
    for (auto& bucket : m_buckets) {
        std::erase_if(bucket, same);
    }
    std::erase_if(m_awaitingInit, same);
    std::erase_if(m_members, same);
}

void UpdateGroup::process() {
    // Nested inside a call into the members (a member updating its own group again): the outer call
    // processes when it is done with the lists.
    if (m_walks > 0) {
        return;
    }
    ComponentRef<> self(abstractOf(this));
    ++m_walks; // GetUpdateLayer and Init run script code that may queue more changes
    m_scratch.swap(m_additions);
    for (Member& added : m_scratch) {
        IAbstract* component = added.component.get();
        const bool wasMember = isMember(component);
        if (wasMember) {
            removeMember(component);
        }
        const auto layers = static_cast<std::uint32_t>(added.updateable->GetUpdateLayer());
        for (unsigned bit = 0; bit < m_buckets.size(); ++bit) {
            if ((layers & (1u << bit)) != 0) {
                m_buckets[bit].push_back(added);
            }
        }
        m_members.push_back(added);
        if (!wasMember) {
            m_awaitingInit.push_back(added);
        }
    }
    m_scratch.clear();

    m_scratch.swap(m_removals);
    for (Member& removed : m_scratch) {
        removeMember(removed.component.get());
    }
    m_scratch.clear();

    m_scratch.swap(m_awaitingInit);
    for (Member& fresh : m_scratch) {
        if (m_clearQueued) {
            break;
        }
        if (!isQueuedForRemoval(fresh.component.get())) {
            fresh.updateable->Init(m_time);
        }
    }
    m_scratch.clear();
    if (--m_walks == 0 && m_clearQueued) {
        clearNow();
    }
}

void UpdateGroup::Init(std::int32_t time) {
    m_time = time;
    process();
}

void UpdateGroup::Update(std::int32_t layer, std::int32_t elapsed) {
    m_time += elapsed;
    process();
    const auto bits = static_cast<std::uint32_t>(layer);
    if (!std::has_single_bit(bits) || bits > 128u) {
        return;
    }
    std::vector<Member>& bucket = m_buckets[static_cast<std::size_t>(std::countr_zero(bits))];
    ComponentRef<> self(abstractOf(this)); // a member may drop the group's last owner
    ++m_walks;
    const std::size_t count = bucket.size();
    for (std::size_t i = 0; i < count && !m_clearQueued; ++i) {
        // Taken by position each time: the bucket does not change while m_walks > 0.
        Member& member = bucket[i];
        if (!isQueuedForRemoval(member.component.get())) {
            member.updateable->Update(layer, elapsed);
        }
    }
    if (--m_walks == 0 && m_clearQueued) {
        clearNow();
    }
}
