// The registry: the engine's class list, creation by identity and by text, singletons.

#include <gtest/gtest.h>

#include <string>

#include "component/class_names.h"
#include "component/component_registry.h"
#include "test_fixtures.h"

namespace {

constexpr char kLeafName[] = "Leaf";
constexpr char kOtherName[] = "Other";

IAbstract* makeLeaf() {
    return createComponent<Leaf>();
}

IAbstract* makeOtherLeaf() {
    return createComponent<Leaf>();
}

TEST(ComponentRegistry, EngineClassesAreListedInTheirFixedOrder) {
    const char* expected[] = {
        "Display",
        "SoundDriver",
        "System",
        "Console",
        "Font",
        "Layer",
        "UpdateGroup",
        "RenderGroup",
        "InputGroup",
        "ResourceManager",
        "CompoundObject",
        "File",
        "Scene",
        "Blob",
        "Camera",
        "ScriptedObject",
        "GameLevel",
        "GameObject",
        "TileManager",
        "TileAnimationData",
        "TileLayer",
        "TileObject",
        "PassMap",
        "GridRouter",
        "TerrainBuilder",
        "RoadRenderer",
        "TileAnimation",
        "BuildingBuilder",
        "Route",
        "TransportMover",
        "GridRectRenderer",
        "ObjectWatcher",
        "ClassificatedRenderer",
        "TSPSolver",
        "GroupRenderer",
        "RoadCellsRenderer",
    };
    ComponentRegistry registry;
    registerEngineClasses(registry);
    auto names = registry.names();
    ASSERT_EQ(names.size(), std::size(expected));
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_STREQ(names[i].name(), expected[i]);
    }
    // Until their layers provide factories, listed classes create nothing.
    EXPECT_FALSE(registry.create(classId(ClassName::System)));
    EXPECT_FALSE(registry.createByName("Camera"));
    // Classes made by their owners are not listed.
    EXPECT_FALSE(registry.contains(classId(ClassName::Texture)));
    EXPECT_EQ(ComponentRegistry::instance().names().size(), 36u);
}

TEST(ComponentRegistry, CreatesByIdentityAndByText) {
    ComponentRegistry registry;
    ASSERT_TRUE(registry.registerClass(ClassId(kLeafName), &makeLeaf));
    ComponentRef<> leaf = registry.create(ClassId(kLeafName));
    ASSERT_TRUE(leaf);
    EXPECT_EQ(leaf->refCount(), 1);
    EXPECT_NE(queryInterface<IVisible>(leaf.get()), nullptr);
    EXPECT_TRUE(registry.createByName(std::string("Leaf")));
    // Identity is the address: the same text elsewhere is an unknown class.
    std::string copy = kLeafName;
    EXPECT_FALSE(registry.create(ClassId(copy.c_str())));
    EXPECT_FALSE(registry.createByName("leaf"));
    EXPECT_FALSE(registry.createByName(""));
}

TEST(ComponentRegistry, SecondRegistrationKeepsTheFirstFactory) {
    ComponentRegistry registry;
    EXPECT_TRUE(registry.registerClass(ClassId(kOtherName), nullptr));
    EXPECT_FALSE(registry.registerClass(ClassId(kOtherName), &makeOtherLeaf));
    EXPECT_FALSE(registry.create(ClassId(kOtherName)));
    EXPECT_EQ(registry.names().size(), 1u);
    // Providing the implementation replaces the placeholder; unknown classes are refused.
    EXPECT_TRUE(registry.provideFactory(ClassId(kOtherName), &makeOtherLeaf));
    EXPECT_TRUE(registry.create(ClassId(kOtherName)));
    EXPECT_FALSE(registry.provideFactory(ClassId(kLeafName), &makeLeaf));
    EXPECT_FALSE(registry.contains(ClassId(kLeafName)));
}

class Solo final : public IVisible, public SingleInstance<Solo> {
public:
    Solo() : serial(++s_created) {}
    void* QueryInterface(InterfaceId id) override { return queryAmong<IVisible>(this, id); }
    void SetVisible(bool) override {}
    bool IsVisible() override { return true; }

    const int serial;
    static inline int s_created = 0;
};

TEST(ComponentRegistry, SingleInstanceLivesWhileHeldAndIsRemadeAfterwards) {
    auto first = ComponentRef<>::adopt(createSingleInstance<Solo>());
    auto second = ComponentRef<>::adopt(createSingleInstance<Solo>());
    ASSERT_TRUE(first);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->refCount(), 2);
    EXPECT_EQ(SingleInstance<Solo>::liveInstance(), first.get());
    int serial = static_cast<Solo*>(queryInterface<IVisible>(first.get()))->serial;
    first = nullptr;
    second = nullptr;
    EXPECT_EQ(SingleInstance<Solo>::liveInstance(), nullptr);
    auto third = ComponentRef<>::adopt(createSingleInstance<Solo>());
    EXPECT_EQ(static_cast<Solo*>(queryInterface<IVisible>(third.get()))->serial, serial + 1);
}

TEST(ComponentRegistry, SharedInstanceIsKeptForTheRun) {
    auto first = ComponentRef<>::adopt(createSharedInstance<Solo>());
    IAbstract* address = first.get();
    first = nullptr;
    auto again = ComponentRef<>::adopt(createSharedInstance<Solo>());
    EXPECT_EQ(again.get(), address);
    EXPECT_EQ(again->refCount(), 2);
}

} // namespace
