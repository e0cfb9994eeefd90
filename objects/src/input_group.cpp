#include "objects/input_group.h"

namespace {
std::int32_t noKey(IInputHandler*) {
    return 0;
}
} // namespace

bool InputGroup::Add(IAbstract* component) {
    IInputHandler* member = queryInterface<IInputHandler>(component);
    if (member == nullptr) {
        return false;
    }
    m_members.add(abstractOf(component), member, false, &noKey);
    return true;
}

void InputGroup::Remove(IAbstract* component) {
    m_members.remove(abstractOf(component));
}

void InputGroup::Clear() {
    m_members.clear();
}

bool InputGroup::HandleKeyEvent(const KDEvent& event) {
    ComponentRef<> self(abstractOf(this)); // a handler may drop the group's last owner
    return m_members.walk([&event](IInputHandler* member) { return member->HandleKeyEvent(event); }, &noKey);
}

bool InputGroup::HandlePointerEvent(const KDEvent& event) {
    ComponentRef<> self(abstractOf(this));
    return m_members.walk([&event](IInputHandler* member) { return member->HandlePointerEvent(event); },
                          &noKey);
}
