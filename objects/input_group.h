#pragma once
// `InputGroup`: offers key and pointer events to its members in order of addition until one consumes them.
// Members may change the group from their handlers: see objects/walk_safe_list.h.

#include "component/frame_interfaces.h"
#include "component/group_interfaces.h"
#include "component/identifiable_base.h"
#include "objects/walk_safe_list.h"

class InputGroup final : public IFunctionalGroup, public IInputHandler, public IdentifiableBase {
public:
    InputGroup() : IdentifiableBase("InputGroup") {}

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IFunctionalGroup, IInputHandler, IIdentifiable>(this, id);
    }

    // False without IInputHandler; otherwise appends (duplicates allowed).
    bool Add(IAbstract* component) override;
    void Remove(IAbstract* component) override;
    void Clear() override;

    // True when a member consumed the event.
    bool HandleKeyEvent(const KDEvent& event) override;
    bool HandlePointerEvent(const KDEvent& event) override;

    std::size_t memberCount() const { return m_members.size(); }

private:
    WalkSafeList<IInputHandler> m_members;
};
