#pragma once
// `UpdateGroup`: steps its members in game time, one layer bit per Update call, each member on the layers
// its GetUpdateLayer named when it joined.
//
// Changes are deferred: Add and Remove only queue, and the queues are applied at the start of the next Init
// or Update ("processing"), so members may change the group from inside their own Update and Init. A member
// added during a call is first initialised (with the group time) and updated by the next call; a member
// removed during a call is skipped for the rest of it; Clear during a call is applied when the call ends.
//
// Order: members are kept in the order they were processed, and queued additions and removals in the order
// they were asked for, so runs are reproducible (never ordered by addresses).

#include <array>
#include <cstdint>
#include <vector>

#include "component/frame_interfaces.h"
#include "component/group_interfaces.h"
#include "component/identifiable_base.h"

class UpdateGroup final : public IFunctionalGroup, public IUpdateable, public IdentifiableBase {
public:
    UpdateGroup() : IdentifiableBase("UpdateGroup") {}

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IFunctionalGroup, IUpdateable, IIdentifiable>(this, id);
    }

    // False without IUpdateable; otherwise queues the addition (cancelling a queued removal).
    bool Add(IAbstract* component) override;
    // Queues the removal (cancelling a queued addition).
    void Remove(IAbstract* component) override;
    // Drops every member and the members awaiting Init; queued changes stay queued.
    void Clear() override;

    // Every layer (-1): a nested group is called for each layer.
    std::int32_t GetUpdateLayer() override { return -1; }
    // Sets the group time, then processes the queues.
    void Init(std::int32_t time) override;
    // Adds elapsed to the group time, processes the queues, then updates the members of `layer` (one bit).
    void Update(std::int32_t layer, std::int32_t elapsed) override;

    std::int32_t time() const { return m_time; }
    std::size_t memberCount() const { return m_members.size(); }

private:
    struct Member {
        ComponentRef<> component;
        IUpdateable* updateable = nullptr;
    };

    void process();
    void removeMember(IAbstract* component);
    bool isMember(IAbstract* component) const;
    bool isQueuedForRemoval(IAbstract* component) const;
    void clearNow();

    std::int32_t m_time = 0;
    std::array<std::vector<Member>, 8> m_buckets; // one per layer bit 1 ... 128
    std::vector<Member> m_members;
    std::vector<Member> m_additions;
    std::vector<Member> m_removals;
    std::vector<Member> m_awaitingInit;
    std::vector<Member> m_scratch; // the queue or Init list being worked through
    int m_walks = 0;               // calls into members under way; the lists above stay put meanwhile
    bool m_clearQueued = false;
};
