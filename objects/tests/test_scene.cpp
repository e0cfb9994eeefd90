// Scenes through real scripts: registering objects into the scene's groups (parts of compounds first),
// enabled groups, the scene's log lines, and a scene nested in the system.
#include "test_objects_fixture.h"

namespace {

using SceneTest = ObjectsTest;

const char* const kSceneScript = R"(
    ::make <- function(n, extra = null) {
        local t = { name = n,
            function Update(l, ms) { ::trace += "U" + name + " "; }
            function Render(g) { ::trace += "R" + name + " "; }
            function OnKeyPressed(i, d) { ::trace += "K" + name + " "; return false; } };
        local o = getComponent("ScriptedObject");
        loadFromScript(o, t);
        return o;
    }
    ::scene <- getComponent("Scene");
)";

TEST_F(SceneTest, RegisteredObjectsJoinTheScenesGroups) {
    run(kSceneScript);
    run(R"(
        scene.RegisterObject("tree", make("tree"));
        ::house <- getComponent("CompoundObject");
        house.RegisterObject("roof", make("roof"));
        house.RegisterObject("door", make("door"));
        scene.RegisterObject("house", house);
    )");
    EXPECT_EQ(takeLog(), "[Scene] Object tree loaded\n[Scene] Object house loaded\n");
    IAbstract* scene = component("scene");
    queryInterface<IUpdateable>(scene)->Update(1, 5);
    TestGraphics graphics;
    queryInterface<IRenderable>(scene)->Render(&graphics, ClassMask{});
    KDEvent press = keyEvent(0x40000041, 1, 0);
    EXPECT_FALSE(queryInterface<IInputHandler>(scene)->HandleKeyEvent(press));
    // Parts in identifier order first (door, roof), then the object itself; the compound has no callbacks.
    EXPECT_EQ(takeTrace(), "Utree Udoor Uroof Rtree Rdoor Rroof Ktree Kdoor Kroof ");
    EXPECT_STREQ(queryInterface<IIdentifiable>(component("house"))->GetIdentificator(), "house");

    run("::gone <- scene.UnregisterObject(\"house\");");
    EXPECT_EQ(takeLog(), "[Scene] Object house deleted\n");
    queryInterface<IUpdateable>(scene)->Update(1, 5);
    queryInterface<IRenderable>(scene)->Render(&graphics, ClassMask{});
    EXPECT_EQ(takeTrace(), "Utree Rtree ");
    EXPECT_EQ(integer("gone == house ? 1 : 0"), 1);
}

TEST_F(SceneTest, TakenAndMissingIdentifiersIncludingNestedOnes) {
    run(kSceneScript);
    run(R"(
        ::house <- getComponent("CompoundObject");
        house.RegisterObject("door", make("door"));
        scene.RegisterObject("house", house);
    )");
    takeLog();
    run(R"(
        scene.RegisterObject("door", make("other"));
        scene.RegisterObject("house", make("again"));
        ::missing <- scene.UnregisterObject("window");
        scene.EnableGroup("NoSuchGroup", false);
    )");
    EXPECT_EQ(takeLog(), "[Scene] error: Object door already exists\n"
                         "[Scene] error: Object house already exists\n"
                         "[Scene] error: Object window not found\n"
                         "error: can't find group: NoSuchGroup\n");
    EXPECT_EQ(integer("scene.GetObject(\"door\") != null && missing == null ? 1 : 0"), 1);
}

TEST_F(SceneTest, DisabledGroupsAreLeftOutOfLaterRegistrations) {
    run(kSceneScript);
    run(R"(
        scene.RegisterObject("early", make("early"));
        scene.EnableGroup("InputGroup", false);
        scene.RegisterObject("late", make("late"));
    )");
    IAbstract* scene = component("scene");
    KDEvent press = keyEvent(0x40000041, 1, 0);
    queryInterface<IInputHandler>(scene)->HandleKeyEvent(press);
    queryInterface<IUpdateable>(scene)->Update(1, 0);
    EXPECT_EQ(takeTrace(), "Kearly Uearly Ulate ");

    // A group appended later takes the next position and is enabled.
    run(R"(
        ::extra <- getComponent("UpdateGroup");
        scene.AppendGroup(extra);
        scene.RegisterObject("third", make("third"));
    )");
    queryInterface<IUpdateable>(component("extra"))->Update(1, 0);
    EXPECT_EQ(takeTrace(), "Uthird ");
    run("scene.RemoveGroup(::extra); scene.RegisterObject(\"fourth\", make(\"fourth\"));");
    queryInterface<IUpdateable>(component("extra"))->Update(1, 0);
    EXPECT_EQ(takeTrace(), "Uthird ");
}

TEST_F(SceneTest, ASceneRegisteredWithTheSystemIsUpdatedDrawnAndShutDown) {
    run(kSceneScript);
    run(R"(
        scene.RegisterObject("tree", make("tree"));
        ::system <- getComponent("System");
        system.RegisterObject("world", scene);
    )");
    System* system = System::live();
    TestDisplay display;
    display.AddRef(); // lives on the stack: never released to 0
    ASSERT_TRUE(system->Init(&display));
    system->resetTimeAt(0);
    system->updateFrameAt(1'000'000);
    // A scene answers every layer: the tree is updated once for its layer 1.
    EXPECT_EQ(takeTrace(), "Utree ");
    system->RenderFrame();
    EXPECT_EQ(takeTrace(), "Rtree ");
    queryInterface<IShutdownable>(component("scene"))->Shutdown();
    system->RenderFrame();
    EXPECT_EQ(takeTrace(), "");
    system->Shutdown();
}

} // namespace
