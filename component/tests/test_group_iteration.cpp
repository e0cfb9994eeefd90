// Script-style iteration over a group's identifiers, and what script handles need of a component.

#include <gtest/gtest.h>

#include <cstdint>

#include "component/group_iteration.h"
#include "component/script_handle.h"
#include "test_fixtures.h"

namespace {

std::vector<std::string> walk(IComponentGroup* group) {
    std::vector<std::string> ids;
    for (const char* id = nextGroupIdentifier(group, nullptr); id != nullptr;
         id = nextGroupIdentifier(group, id)) {
        ids.emplace_back(id);
    }
    return ids;
}

struct Fixture : ::testing::Test {
    ComponentRef<Group> group = ComponentRef<Group>::adopt(new Group);
    ComponentRef<Leaf> leaf = ComponentRef<Leaf>::adopt(new Leaf);

    void fill(IComponentGroup* target, std::initializer_list<const char*> ids) {
        for (const char* id : ids) {
            target->RegisterObject(id, leaf.get());
        }
    }
    ~Fixture() override { group->Shutdown(); }
};

using GroupIteration = Fixture;

TEST_F(GroupIteration, VisitsIdentifiersInOrder) {
    EXPECT_EQ(walk(group.get()), std::vector<std::string>{});
    fill(group.get(), {"c", "a", "b"});
    EXPECT_EQ(walk(group.get()), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(nextGroupIdentifier(nullptr, nullptr), nullptr);
}

TEST_F(GroupIteration, ChangesDuringTheWalkAreFollowed) {
    fill(group.get(), {"a", "b", "c", "d"});
    const char* id = nextGroupIdentifier(group.get(), nullptr);
    ASSERT_STREQ(id, "a");
    std::string current = id;
    // The current part goes away: the walk resumes after its identifier.
    group->UnregisterObject("a");
    id = nextGroupIdentifier(group.get(), current.c_str());
    ASSERT_STREQ(id, "b");
    current = id;
    // A part added before the current position shifts the cached position.
    fill(group.get(), {"0"});
    id = nextGroupIdentifier(group.get(), current.c_str());
    ASSERT_STREQ(id, "c");
    current = id;
    // The map shrinks below the cached position.
    group->UnregisterObject("0");
    group->UnregisterObject("b");
    group->UnregisterObject("d");
    EXPECT_EQ(nextGroupIdentifier(group.get(), current.c_str()), nullptr);
}

TEST_F(GroupIteration, CachedPositionBelongsToOneGroup) {
    auto other = ComponentRef<Group>::adopt(new Group);
    fill(group.get(), {"a", "b", "c"});
    fill(other.get(), {"a", "c"});
    // Interleaved walks with the same identifiers at different positions.
    EXPECT_STREQ(nextGroupIdentifier(group.get(), "a"), "b");
    EXPECT_STREQ(nextGroupIdentifier(other.get(), "a"), "c");
    EXPECT_STREQ(nextGroupIdentifier(group.get(), "b"), "c");
    EXPECT_EQ(nextGroupIdentifier(other.get(), "c"), nullptr);
    other->Shutdown();
}

TEST(ScriptRelease, OnlyTheRepresentingInstanceClearsTheCache) {
    auto* leaf = new Leaf;
    int original = 0, clone = 0;
    leaf->setScriptInstance(&original);
    leaf->AddRef(); // the original handle's reference
    leaf->AddRef(); // the clone's reference
    releaseFromScriptInstance(leaf, &clone);
    EXPECT_EQ(leaf->scriptInstance(), &original);
    releaseFromScriptInstance(leaf, &original);
    EXPECT_EQ(leaf->scriptInstance(), nullptr);
    EXPECT_EQ(leaf->refCount(), 1);
    releaseFromScriptInstance(nullptr, &original);
    leaf->Release();
}

TEST(ScriptHandle, OrderFollowsAddressesWithoutTruncation) {
    // Two addresses 4 GiB apart differ only above bit 31: a 32-bit difference would call them equal.
    alignas(8) static char storage[16];
    auto* low = reinterpret_cast<const IAbstract*>(storage);
    auto* high = reinterpret_cast<const IAbstract*>(reinterpret_cast<std::uintptr_t>(storage) +
                                                    (std::uintptr_t{1} << 32));
    EXPECT_EQ(compareComponentHandles(low, high), 1);
    EXPECT_EQ(compareComponentHandles(high, low), -1);
    EXPECT_EQ(compareComponentHandles(low, low), 0);
    EXPECT_EQ(compareComponentHandles(nullptr, low), 1);

    auto* leaf = new Leaf;
    EXPECT_TRUE(canHandToScript(leaf));
    EXPECT_FALSE(canHandToScript(nullptr));
    leaf->Release();
}

} // namespace
