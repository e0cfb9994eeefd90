// Component groups: the identifier map, depth-first lookup, references held and moved, cycles
// refused, interface collection, shutdown order; identifiers and classificators.

#include <gtest/gtest.h>

#include "component/classifiable_base.h"
#include "component/component_group.h"
#include "component/engine_interfaces.h"
#include "component/identifiable_base.h"
#include "test_fixtures.h"

namespace {

ComponentRef<Group> newGroup() {
    return ComponentRef<Group>::adopt(new Group);
}

ComponentRef<Leaf> newLeaf(const char* name = "leaf") {
    return ComponentRef<Leaf>::adopt(new Leaf(name));
}

std::vector<std::string> identifiers(IComponentGroup* group) {
    std::vector<std::string> ids;
    for (const GroupEntry& entry : group->GetObjectMap()) {
        ids.push_back(entry.identifier);
    }
    return ids;
}

TEST(ComponentGroup, MapIsSortedByteWise) {
    auto group = newGroup();
    auto leaf = newLeaf();
    for (const char* id : {"b", "\xC3\xA9t\xC3\xA9", "a", "B", "ab"}) {
        ASSERT_TRUE(group->RegisterObject(id, leaf.get()));
    }
    // Upper case before lower case, and bytes above 0x7F after all ASCII.
    EXPECT_EQ(identifiers(group.get()), (std::vector<std::string>{"B", "a", "ab", "b", "\xC3\xA9t\xC3\xA9"}));
    const GroupMap& map = group->GetObjectMap();
    EXPECT_EQ(map.upperBound("a"), 2u);
    EXPECT_EQ(map.upperBound(""), 0u);
    EXPECT_EQ(map.upperBound("zzz"), 4u);
    EXPECT_EQ(map.find("ab"), 2u);
    EXPECT_EQ(map.find("c"), GroupMap::npos);
    EXPECT_EQ(leaf->refCount(), 6);
    group->Shutdown();
    EXPECT_EQ(leaf->refCount(), 1);
}

TEST(ComponentGroup, RegisterTakesAReferenceAndReplacesTheOldEntry) {
    int destroyedBefore = g_destroyedLeaves;
    auto group = newGroup();
    auto first = newLeaf("first");
    ASSERT_TRUE(group->RegisterObject("a", first.get()));
    EXPECT_EQ(first->refCount(), 2);
    EXPECT_EQ(first->parent, abstractOf(group.get()));

    // The same component again under its own identifier stays alive with one group reference.
    ASSERT_TRUE(group->RegisterObject("a", first.get()));
    EXPECT_EQ(first->refCount(), 2);
    EXPECT_EQ(first->parent, abstractOf(group.get()));

    auto second = newLeaf("second");
    ASSERT_TRUE(group->RegisterObject("a", second.get()));
    EXPECT_EQ(first->refCount(), 1);
    EXPECT_EQ(first->parent, nullptr);
    first = nullptr;
    EXPECT_EQ(g_destroyedLeaves, destroyedBefore + 1);

    // A null component unregisters.
    ASSERT_TRUE(group->RegisterObject("a", nullptr));
    EXPECT_TRUE(group->GetObjectMap().empty());
    EXPECT_EQ(second->refCount(), 1);
}

TEST(ComponentGroup, GetObjectSearchesDepthFirstAndPrefersOwnParts) {
    auto outer = newGroup(), middle = newGroup(), inner = newGroup();
    auto deep = newLeaf("deep"), own = newLeaf("own"), shadowed = newLeaf("shadowed");
    inner->RegisterObject("deep", deep.get());
    inner->RegisterObject("twice", shadowed.get());
    middle->RegisterObject("inner", inner.get());
    outer->RegisterObject("middle", middle.get());
    outer->RegisterObject("twice", own.get());

    ComponentRef<> found = outer->GetObject("deep");
    EXPECT_EQ(found.get(), abstractOf(deep.get()));
    EXPECT_EQ(deep->refCount(), 3) << "GetObject answers a new reference";
    EXPECT_EQ(outer->GetObject("twice").get(), abstractOf(own.get()));
    EXPECT_FALSE(outer->GetObject("missing"));
    EXPECT_FALSE(outer->GetObject(""));
    found = nullptr;
    outer->Shutdown();
}

TEST(ComponentGroup, UnregisterMovesTheReferenceFromNestedGroupsToo) {
    auto outer = newGroup(), inner = newGroup();
    auto near = newLeaf("near"), far = newLeaf("far");
    outer->RegisterObject("near", near.get());
    outer->RegisterObject("inner", inner.get());
    inner->RegisterObject("far", far.get());

    ComponentRef<> removed = outer->UnregisterObject("far");
    EXPECT_EQ(removed.get(), abstractOf(far.get()));
    EXPECT_EQ(far->refCount(), 2) << "the group's reference moved to the caller";
    EXPECT_EQ(far->parent, nullptr);
    EXPECT_TRUE(inner->GetObjectMap().empty());
    removed = outer->UnregisterObject("near");
    EXPECT_EQ(near->refCount(), 2);
    EXPECT_FALSE(outer->UnregisterObject("near"));
    removed = nullptr;
    outer->Shutdown();
}

TEST(ComponentGroup, CyclesAreRefusedWithAnErrorLine) {
    auto a = newGroup(), b = newGroup(), c = newGroup();
    LogCapture log;
    EXPECT_FALSE(a->RegisterObject("self", a.get()));
    ASSERT_TRUE(a->RegisterObject("b", b.get()));
    ASSERT_TRUE(b->RegisterObject("c", c.get()));
    EXPECT_FALSE(b->RegisterObject("a", a.get()));
    EXPECT_FALSE(c->RegisterObject("a", a.get())) << "a cycle through two levels";
    ASSERT_EQ(log.lines.size(), 3u);
    EXPECT_NE(log.lines[0].find("[TestGroup]"), std::string::npos) << log.lines[0];
    EXPECT_NE(log.lines[0].find("self"), std::string::npos) << log.lines[0];
    // Lookups of missing identifiers end.
    EXPECT_FALSE(a->GetObject("missing"));
    EXPECT_FALSE(c->UnregisterObject("missing"));
    EXPECT_EQ(identifiers(c.get()), std::vector<std::string>{});
    // A group may still sit in two unrelated places (not a cycle).
    auto d = newGroup();
    EXPECT_TRUE(d->RegisterObject("c", c.get()));
    EXPECT_TRUE(a->RegisterObject("d", d.get()));
    a->Shutdown();
    d->Shutdown();
}

TEST(ComponentGroup, GetObjectsByInterfaceListsNestedPartsFirstAndHoldsThem) {
    auto outer = newGroup(), inner = newGroup();
    auto x = newLeaf("x"), y = newLeaf("y"), z = newLeaf("z");
    outer->RegisterObject("a", x.get());
    outer->RegisterObject("b", inner.get());
    outer->RegisterObject("c", y.get());
    inner->RegisterObject("z", z.get());

    const auto& visible = outer->GetObjectsByInterface(IVisible::ID);
    ASSERT_EQ(visible.size(), 3u);
    EXPECT_EQ(visible[0].get(), abstractOf(x.get()));
    EXPECT_EQ(visible[1].get(), abstractOf(z.get()));
    EXPECT_EQ(visible[2].get(), abstractOf(y.get()));
    EXPECT_EQ(z->refCount(), 4) << "held by its group, the inner list and the outer list";

    const auto& groups = outer->GetObjectsByInterface(IComponentGroup::ID);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].get(), abstractOf(inner.get()));

    outer->GetObjectsByInterface(IVisible::ID);
    outer->ClearCache();
    EXPECT_EQ(z->refCount(), 2) << "ClearCache empties the nested lists too";
    EXPECT_TRUE(outer->GetObjectsByInterface(IGroupMember::ID).size() == 3u);
    outer->Shutdown();
    EXPECT_EQ(z->refCount(), 1);
}

TEST(ComponentGroup, ShutdownEmptiesFromTheEnd) {
    int destroyedBefore = g_destroyedLeaves;
    auto group = newGroup(), inner = newGroup();
    for (const char* id : {"2", "1", "3"}) {
        auto leaf = newLeaf(id);
        group->RegisterObject(id, leaf.get());
    }
    auto kept = newLeaf("kept");
    group->RegisterObject("0", kept.get());
    group->RegisterObject("4", inner.get());
    inner->RegisterObject("inner", kept.get());
    g_shutdownOrder.clear();

    group->Shutdown();
    EXPECT_EQ(g_shutdownOrder, (std::vector<std::string>{"kept", "3", "2", "1", "kept"}))
        << "the nested group shuts its part down first, then the parts from the last identifier";
    EXPECT_TRUE(group->GetObjectMap().empty());
    EXPECT_TRUE(inner->GetObjectMap().empty());
    EXPECT_EQ(g_destroyedLeaves, destroyedBefore + 3);
    EXPECT_EQ(kept->refCount(), 1);
    EXPECT_EQ(kept->parent, nullptr);
}

class FakeSystem final : public ComponentGroupBase<ISystem> {
public:
    void* QueryInterface(InterfaceId id) override {
        return queryAmong<ISystem, IComponentGroup, IShutdownable>(this, id);
    }
    bool Init(IDisplay*) override { return true; }
    IDisplay* GetDisplay() override { return nullptr; }
};

TEST(ComponentGroup, AnInterfaceExtendingTheGroupSharesTheImplementation) {
    auto system = ComponentRef<ISystem>::adopt(new FakeSystem);
    auto leaf = newLeaf();
    auto* group = queryInterface<IComponentGroup>(system.get());
    auto* shutdownable = queryInterface<IShutdownable>(system.get());
    ASSERT_NE(group, nullptr);
    ASSERT_NE(shutdownable, nullptr);
    EXPECT_TRUE(group->RegisterObject("SoundDriver", leaf.get()));
    EXPECT_EQ(system->GetObject("SoundDriver").get(), abstractOf(leaf.get()));
    EXPECT_EQ(leaf->parent, abstractOf(system.get()));
    shutdownable->Shutdown();
    EXPECT_EQ(leaf->refCount(), 1);
}

TEST(Identity, IdentifiersAndClassificators) {
    struct Tagged final : public IdentifiableBase, public ClassifiableBase {
        Tagged() : IdentifiableBase("RenderGroup") {}
        void* QueryInterface(InterfaceId id) override {
            return queryAmong<IIdentifiable, IClassifiable>(this, id);
        }
    };
    auto tagged = ComponentRef<Tagged>::adopt(new Tagged);
    EXPECT_STREQ(tagged->GetIdentificator(), "RenderGroup");
    tagged->SetIdentificator("house");
    EXPECT_STREQ(tagged->GetIdentificator(), "house");

    tagged->AddClassificator(0b0110);
    tagged->AddClassificator(0b1000);
    tagged->RemoveClassificator(0b0010);
    EXPECT_EQ(tagged->GetClassificators(), 0b1100u);

    struct Case {
        IAbstract* component;
        ClassMask mask;
        bool matches;
    } cases[] = {
        {tagged.get(), {0, 0}, true},       {tagged.get(), {0b0100, 0}, true},
        {tagged.get(), {0b0101, 0}, false}, {tagged.get(), {0b1000, 0b0001}, true},
        {tagged.get(), {0, 0b0100}, false}, {nullptr, {0, 0}, true},
        {nullptr, {0, 0xFFFFFFFF}, true},   {nullptr, {1, 0}, false},
    };
    auto plain = newGroup();
    for (const auto& c : cases) {
        EXPECT_EQ(matchesClassMask(c.component, c.mask), c.matches)
            << c.mask.include << "/" << c.mask.exclude;
    }
    EXPECT_TRUE(matchesClassMask(plain.get(), {0, 5}));
    EXPECT_FALSE(matchesClassMask(plain.get(), {4, 0}));
}

} // namespace
