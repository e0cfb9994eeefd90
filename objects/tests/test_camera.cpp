// The camera's conversions through real scripts: the projection from `ToScreen`, the view that Apply
// computes for a target, round trips between the three coordinate systems.
#include "test_objects_fixture.h"

#include "objects/camera.h"

namespace {

using CameraTest = ObjectsTest;

struct PointCase {
    const char* setup;      // script run after ::camera is made (may load a projection, set the position)
    int width, height;      // the target Apply sees (0: no Apply)
    const char* conversion; // camera method
    float x, y;             // argument
    float expectedX, expectedY;
};

TEST_F(CameraTest, ConversionTable) {
    const PointCase cases[] = {
        // Before any script object, world and screen are the same.
        {"", 0, 0, "WorldToScreen", 3, 4, 3, 4},
        {"", 0, 0, "ScreenToUI", 3, 4, 3, 4}, // no Apply yet: identity
        // Default camera, 800 x 600: the screen origin lands on the centre.
        {"", 800, 600, "ScreenToUI", 0, 0, 400, 300},
        {"", 800, 600, "UIToScreen", 400, 300, 0, 0},
        // Odd sizes round half up: round(400.5) = 401.
        {"", 801, 601, "ScreenToUI", 0, 0, 401, 301},
        // Looking at (100, 50): that screen point is the centre.
        {"setPosition(camera, Matrix3(Vector2(100, 50)));", 800, 600, "ScreenToUI", 100, 50, 400, 300},
        // An isometric-like projection: world x goes right-down, y left-down.
        {"loadFromScript(camera, { ToScreen = Matrix3(Vector2(32, 16), Vector2(-32, 16), Vector2(0, 0)) });",
         0, 0, "WorldToScreen", 1, 1, 0, 32},
        {"loadFromScript(camera, { ToScreen = Matrix3(Vector2(32, 16), Vector2(-32, 16), Vector2(0, 0)) });",
         0, 0, "ScreenToWorld", 0, 32, 1, 1},
        // The looked-at point is in world space: world (1, 1) is screen (0, 32), which lands on the centre.
        {"loadFromScript(camera, { ToScreen = Matrix3(Vector2(32, 16), Vector2(-32, 16), Vector2(0, 0)) });"
         "setPosition(camera, Matrix3(Vector2(1, 1)));",
         800, 600, "WorldToUI", 1, 1, 400, 300},
        {"loadFromScript(camera, { ToScreen = Matrix3(Vector2(32, 16), Vector2(-32, 16), Vector2(0, 0)) });"
         "setPosition(camera, Matrix3(Vector2(1, 1)));",
         800, 600, "UIToWorld", 400 + 32, 300 + 16, 2, 1},
        // A camera zoomed by 2 (axes of length 0.5 in its own placement) doubles distances on screen.
        {"setPosition(camera, Matrix3(Vector2(0.5, 0), Vector2(0, 0.5), Vector2(0, 0)));", 800, 600,
         "ScreenToUI", 10, -10, 420, 280},
    };
    for (const PointCase& c : cases) {
        run(std::string("::camera <- getComponent(\"Camera\");") + c.setup);
        if (c.width > 0) {
            TestGraphics graphics;
            queryInterface<ICamera>(component("camera"))->Apply(&graphics, Rect{0, 0, c.width, c.height});
            // The graphics transform is the screen-to-UI view.
            EXPECT_EQ(graphics.transform.GetOrigin().x,
                      queryInterface<ICamera>(component("camera"))->GetScreenToUI().GetOrigin().x);
        }
        run(std::string("::p <- camera.") + c.conversion + "(Vector2(" + std::to_string(c.x) + ", " +
            std::to_string(c.y) + "));");
        ScriptValue px = ScriptHost::callClosure(ScriptHost::compileBuffer("return ::p.x;"));
        ScriptValue py = ScriptHost::callClosure(ScriptHost::compileBuffer("return ::p.y;"));
        ASSERT_EQ(px.type(), OT_FLOAT) << c.setup << " " << c.conversion;
        EXPECT_NEAR(px.object()._unVal.fFloat, c.expectedX, 1e-3) << c.setup << " " << c.conversion;
        EXPECT_NEAR(py.object()._unVal.fFloat, c.expectedY, 1e-3) << c.setup << " " << c.conversion;
    }
}

TEST_F(CameraTest, RoundTripsAndTheViewFollowsOnlyApply) {
    run(R"(
        ::camera <- getComponent("Camera");
        loadFromScript(camera, { ToScreen = Matrix3(Vector2(32, 16), Vector2(-32, 16), Vector2(10, 20)) });
        setPosition(camera, Matrix3(Vector2(0.8, 0.6), Vector2(-0.6, 0.8), Vector2(3, 7)));
    )");
    auto* camera = queryInterface<ICamera>(component("camera"));
    TestGraphics graphics;
    camera->Apply(&graphics, Rect{0, 0, 1024, 768});
    run(R"(
        ::w <- Vector2(12.5, -3.25);
        ::back1 <- camera.ScreenToWorld(camera.WorldToScreen(w));
        ::back2 <- camera.UIToWorld(camera.WorldToUI(w));
        ::back3 <- camera.UIToScreen(camera.ScreenToUI(camera.WorldToScreen(w)));
        ::viaScreen <- camera.ScreenToUI(camera.WorldToScreen(w));
        ::direct <- camera.WorldToUI(w);
    )");
    for (const char* check :
         {"back1.x - w.x", "back1.y - w.y", "back2.x - w.x", "back2.y - w.y",
          "back3.x - camera.WorldToScreen(w).x", "viaScreen.x - direct.x", "viaScreen.y - direct.y"}) {
        ScriptValue d = run(std::string("return fabs(") + check + ");");
        ASSERT_EQ(d.type(), OT_FLOAT) << check;
        EXPECT_LT(d.object()._unVal.fFloat, 1e-2) << check;
    }
    // Moving the camera changes nothing until the next Apply.
    const Matrix3 before = camera->GetScreenToUI();
    run("setPosition(::camera, Matrix3(Vector2(50, 50)));");
    EXPECT_EQ(camera->GetScreenToUI().GetOrigin().x, before.GetOrigin().x);
    EXPECT_EQ(integer("camera.GetWorldToScreen().GetOrigin().x.tointeger()"), 10);
}

TEST_F(CameraTest, AMissingProjectionIsReportedAndKeepsTheOldOne) {
    run(R"(
        ::camera <- getComponent("Camera");
        loadFromScript(camera, { ToScreen = Matrix3(Vector2(2, 0), Vector2(0, 2), Vector2(0, 0)) });
    )");
    takeLog();
    run("loadFromScript(::camera, { ToScreen = 5 });");
    EXPECT_EQ(takeLog(), "error: GetInstance: Invalid argument type\n");
    EXPECT_EQ(integer("camera.WorldToScreen(Vector2(1, 1)).x.tointeger()"), 2);
}

} // namespace
