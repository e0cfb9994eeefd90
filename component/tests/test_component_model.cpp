// Interface identity, reference counting and counted handles.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "component/component_ref.h"
#include "component/interface_catalogue.h"
#include "component/object_interfaces.h"
#include "test_fixtures.h"

namespace {

TEST(ComponentModel, InterfacesAreIdentifiedByNameAddressOnly) {
    auto* leaf = new Leaf;
    auto* visible = queryInterface<IVisible>(leaf);
    ASSERT_NE(visible, nullptr);
    EXPECT_EQ(static_cast<IAbstract*>(visible), static_cast<IAbstract*>(leaf));
    // The same text at another address names no interface.
    std::string sameText = IVisible::Name;
    EXPECT_EQ(leaf->QueryInterface(InterfaceId(sameText.c_str())), nullptr);
    EXPECT_EQ(queryInterface<IPositionable>(leaf), nullptr);
    EXPECT_EQ(queryInterface<IVisible>(nullptr), nullptr);
    leaf->Release();
}

TEST(ComponentModel, EveryInterfaceLeadsToTheSameIdentity) {
    auto* leaf = new Leaf;
    IAbstract* identity = abstractOf(leaf);
    for (InterfaceId id : {IVisible::ID, IClassifiable::ID, IShutdownable::ID, IGroupMember::ID}) {
        auto* asInterface = static_cast<IAbstract*>(nullptr);
        void* raw = leaf->QueryInterface(id);
        ASSERT_NE(raw, nullptr) << id.name();
        // Each answer is a pointer of its own interface type; compare identities through it.
        if (id == IVisible::ID) {
            asInterface = static_cast<IVisible*>(raw);
        } else if (id == IClassifiable::ID) {
            asInterface = static_cast<IClassifiable*>(raw);
        } else if (id == IShutdownable::ID) {
            asInterface = static_cast<IShutdownable*>(raw);
        } else {
            asInterface = static_cast<IGroupMember*>(raw);
        }
        EXPECT_EQ(abstractOf(asInterface), identity) << id.name();
    }
    leaf->Release();
}

TEST(ComponentModel, ReleaseDestroysAtZeroAndDestructionCannotBeRevived) {
    int destroyedBefore = g_destroyedLeaves;
    auto* leaf = new Leaf;
    EXPECT_EQ(leaf->refCount(), 1);
    leaf->AddRef();
    EXPECT_EQ(leaf->Release(), 1);
    EXPECT_EQ(g_destroyedLeaves, destroyedBefore);
    EXPECT_EQ(leaf->Release(), 0);
    EXPECT_EQ(g_destroyedLeaves, destroyedBefore + 1);
    EXPECT_EQ(Leaf::s_countSeenByDestructor, 0);
}

TEST(ComponentRef, CopiesShareAndAssignmentKeepsTheSameObjectAlive) {
    int destroyedBefore = g_destroyedLeaves;
    auto ref = ComponentRef<>::adopt(new Leaf);
    {
        ComponentRef<> copy = ref;
        EXPECT_EQ(ref->refCount(), 2);
        ComponentRef<> moved = std::move(copy);
        EXPECT_EQ(ref->refCount(), 2);
        EXPECT_FALSE(copy);
    }
    EXPECT_EQ(ref->refCount(), 1);
    // Re-assigning the only reference to itself must not let the count touch 0.
    ref.reset(ref.get());
    ref = ComponentRef<>(ref);
    EXPECT_EQ(ref->refCount(), 1);
    EXPECT_EQ(g_destroyedLeaves, destroyedBefore);

    ComponentRef<IVisible> visible = ref.query<IVisible>();
    ASSERT_TRUE(visible);
    EXPECT_EQ(ref->refCount(), 2);
    EXPECT_FALSE(ref.query<IPositionable>());
    visible = nullptr;
    ref = nullptr;
    EXPECT_EQ(g_destroyedLeaves, destroyedBefore + 1);
}

TEST(ComponentRef, DetachHandsTheReferenceOver) {
    auto ref = ComponentRef<>::adopt(new Leaf);
    IAbstract* raw = ref.detach();
    EXPECT_FALSE(ref);
    EXPECT_EQ(raw->refCount(), 1);
    raw->Release();
}

TEST(InterfaceCatalogue, TablesInOrderWithDistinctNames) {
    auto engine = engineInterfaces();
    auto game = gameInterfaces();
    ASSERT_EQ(engine.size(), 44u);
    ASSERT_EQ(game.size(), 9u);
    EXPECT_EQ(engine.front(), IAbstract::ID);
    EXPECT_STREQ(engine.back().name(), "ITileManager");
    EXPECT_STREQ(game.front().name(), "ITileAnimationData");
    EXPECT_STREQ(game.back().name(), "ITSPSolver");
    std::set<std::string> names;
    for (auto table : {engine, game}) {
        for (InterfaceId id : table) {
            names.insert(id.name());
            EXPECT_EQ(findInterface(std::string(id.name())), id) << id.name();
        }
    }
    EXPECT_EQ(names.size(), 53u);
    EXPECT_FALSE(findInterface("IUnknownThing"));
}

} // namespace
