#pragma once
// `RenderGroup`: draws its members in ascending render layer, equal layers in order of addition. Membership
// and order are fixed at `Add` (a member whose layer changes later keeps its place until the next Add).
// Members may change the group while it draws: see objects/walk_safe_list.h.

#include <string_view>

#include "component/frame_interfaces.h"
#include "component/group_interfaces.h"
#include "component/identifiable_base.h"
#include "objects/walk_safe_list.h"

class RenderGroup final : public IFunctionalGroup,
                          public IRenderable,
                          public IVisible,
                          public IdentifiableBase {
public:
    RenderGroup() : IdentifiableBase("RenderGroup") {}

    void* QueryInterface(InterfaceId id) override {
        return queryAmong<IFunctionalGroup, IRenderable, IVisible, IIdentifiable>(this, id);
    }

    // False without IRenderable; otherwise appends (duplicates allowed) and re-sorts.
    bool Add(IAbstract* component) override;
    // Removes every occurrence.
    void Remove(IAbstract* component) override;
    void Clear() override;

    // When visible, renders each member in list order.
    void Render(IGraphics* graphics, ClassMask mask) override;
    std::int32_t GetRenderLayer() override { return 0; }
    void SetVisible(bool visible) override { m_visible = visible; }
    bool IsVisible() override { return m_visible; }

    std::size_t memberCount() const { return m_members.size(); }

private:
    WalkSafeList<IRenderable> m_members;
    bool m_visible = true;
};
