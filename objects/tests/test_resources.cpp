// The resource cache through real scripts: one object per path, any kind answering a cached path, failed
// loads retried, explicit and swept freeing, with textures made by a test display.
#include "test_objects_fixture.h"

#include "objects/resource_manager.h"

namespace {

class ResourcesTest : public ObjectsTest {
protected:
    void SetUp() override {
        ObjectsTest::SetUp();
        m_display.AddRef(); // lives in the fixture: never released to 0
        run("::system <- getComponent(\"System\"); ::resources <- getComponent(\"ResourceManager\");");
        ASSERT_NE(System::live(), nullptr);
        ASSERT_TRUE(System::live()->Init(&m_display));
        TestTexture::s_loads = 0;
        TestTexture::s_shutdowns = 0;
        takeLog();
    }

    TestDisplay m_display;
};

TEST_F(ResourcesTest, OneObjectPerPathWhateverKindIsAsked) {
    run(R"(
        ::a <- resources.GetTexture("res/a.png");
        ::b <- resources.GetTexture("res/a.png");
        ::f <- resources.GetFont("res/a.png");
        ::c <- resources.GetTexture("./res/a.png");
    )");
    EXPECT_EQ(TestTexture::s_loads, 2); // "./res/a.png" is a path of its own
    EXPECT_EQ(integer("a != null && a == b && a == f && c != a ? 1 : 0"), 1);
    // The system's resource manager is the same single instance.
    EXPECT_EQ(abstractOf(System::live()->GetResourceManager()), component("resources"));
}

TEST_F(ResourcesTest, FailuresAreLoggedAndRetried) {
    run(R"(
        ::m <- resources.GetMesh("res/box.mesh");
        ::t1 <- resources.GetTexture("res/missing.png");
        ::t2 <- resources.GetTexture("res/missing.png");
        ::s <- resources.GetSound("res/ding.wav");
    )");
    EXPECT_EQ(TestTexture::s_loads, 2);
    EXPECT_EQ(takeLog(), "[ResourceManager] error: Isn't loadable: res/box.mesh\n"
                         "[ResourceManager] error: Can't load: res/missing.png\n"
                         "[ResourceManager] error: Can't load: res/missing.png\n"
                         "[ResourceManager] error: Isn't loadable: res/ding.wav\n");
    EXPECT_EQ(integer("m == null && t1 == null && t2 == null && s == null ? 1 : 0"), 1);
}

TEST_F(ResourcesTest, FreeingExplicitlyAndBySweep) {
    run(R"(
        ::kept <- resources.GetTexture("res/kept.png");
        resources.GetTexture("res/loose.png");
        resources.GetTexture("res/freed.png");
    )");
    takeLog();
    run("resources.FreeResource(\"res/freed.png\"); resources.FreeResource(\"res/never.png\");");
    EXPECT_EQ(TestTexture::s_shutdowns, 1);
    EXPECT_EQ(takeLog(), "[ResourceManager] Unloaded res/freed.png\n");
    run("collectgarbage(); resources.FreeUnusedResources();");
    EXPECT_EQ(takeLog(), "[ResourceManager] FreeUnusedResources: res/loose.png deleted\n");
    EXPECT_EQ(TestTexture::s_shutdowns, 1); // a sweep does not shut down
    // Once the script lets go of it, the kept texture goes too.
    run("::kept = null; collectgarbage(); resources.FreeUnusedResources();");
    EXPECT_EQ(takeLog(), "[ResourceManager] FreeUnusedResources: res/kept.png deleted\n");
    // A second request loads again.
    run("resources.GetTexture(\"res/kept.png\");");
    EXPECT_EQ(TestTexture::s_loads, 4);
}

} // namespace
