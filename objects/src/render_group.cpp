#include "objects/render_group.h"

namespace {
std::int32_t renderLayerOf(IRenderable* member) {
    return member->GetRenderLayer();
}
} // namespace

bool RenderGroup::Add(IAbstract* component) {
    IRenderable* member = queryInterface<IRenderable>(component);
    if (member == nullptr) {
        return false;
    }
    ComponentRef<> self(abstractOf(this)); // a script render layer may drop the group's last owner
    m_members.add(abstractOf(component), member, true, &renderLayerOf);
    return true;
}

void RenderGroup::Remove(IAbstract* component) {
    m_members.remove(abstractOf(component));
}

void RenderGroup::Clear() {
    m_members.clear();
}

void RenderGroup::Render(IGraphics* graphics, ClassMask mask) {
    if (!m_visible) {
        return;
    }
    ComponentRef<> self(abstractOf(this)); // a member may drop the group's last owner while it draws
    m_members.walk(
        [graphics, mask](IRenderable* member) {
            member->Render(graphics, mask);
            return false;
        },
        &renderLayerOf);
}
