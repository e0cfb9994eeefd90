// The navigation classes through real scripts: made by name, loaded with script objects, read and written
// through streams with the script stream functions, and called by their script methods. The pass mask of a
// router is native-only, so the test sets it as the native user would.
#include "binding/binding_test.h"
#include "byte_stream.h"
#include "component/class_names.h"
#include "component/component_registry.h"
#include "navigation/grid_router.h"
#include "navigation/navigation_classes.h"
#include "navigation/pass_map.h"
#include "navigation/tsp_solver.h"
#include "persistence/persistence_classes.h"

namespace {

// A 6 x 3 map, scale 32, translation (100, 50): road (1) along row 1 and up column 5.
const char kMapRecord[] = "00000200"
                          "00000200"
                          "01"
                          "6400"
                          "3200"
                          "0600"
                          "0300"
                          "000000000001"
                          "010101010101"
                          "000000000000";

class NavigationScripts : public BindingScriptTest {
protected:
    NavigationScripts() { m_mountFiles = true; }
    void addScriptApis(ScriptApi& api) override {
        BindingScriptTest::addScriptApis(api);
        registerPersistenceScriptApi(api); // the stream functions
    }
    void afterHostCreated() override { registerApplicationFunctions(vm()); }
    void SetUp() override {
        registerNavigationClasses(ComponentRegistry::instance());
        BindingScriptTest::SetUp();
        m_stream = ComponentRef<ByteStream>::adopt(new ByteStream(bytesOfHex(kMapRecord)));
        setRootComponent("stream", m_stream.get());
        run("outStream <- null; calls <- []; mapScript <- {"
            " CELL_VALUE_Road = 1, CELL_VALUE_Occupied = 2.9, CELL_VALUE_Waste = \"no\","
            " function OnCellChange(x, y, v) { ::calls.append(\"\" + x + \",\" + y + \",\" + v); } };");
    }
    void TearDown() override {
        m_stream.reset();
        BindingScriptTest::TearDown();
    }
    // A native router bound to the root slot `router`, with road cells (1) passable.
    GridRouter* makeRouter() {
        ComponentRef<> created = ComponentRegistry::instance().create(classId(ClassName::GridRouter));
        auto* router = dynamic_cast<GridRouter*>(created.get());
        router->SetPassMask(1u << 1);
        setRootComponent("router", router);
        return router;
    }
    std::string rootText(const char* name) {
        const char* text = ScriptHost::getString(ScriptHost::root(), name);
        return text ? text : "<not a string>";
    }

    ComponentRef<ByteStream> m_stream;
};

TEST_F(NavigationScripts, PassMapReadsItsCodesCellsAndReportsChanges) {
    run("LAYER_PassMap <- 7; map <- getComponent(\"PassMap\"); loadFromScript(map, mapScript);"
        "read <- readComponent(stream, map);"
        "size <- map.GetWidth() * 10 + map.GetHeight();"
        "cells <- \"\" + map.GetCellValue(5, 0) + \",\" + map.GetCellValue(6, 0) + \",\" + "
        "map.GetCellValue(-1, 0);"
        "map.SetCellValue(0, 1, 1); map.SetCellValue(0, 0, 256); map.SetCellValue(6, 0, 3.7);"
        "after <- \"\" + map.GetCellValue(0, 0) + \",\" + map.GetCellValue(0, 1);"
        "map.SetCellValue(9, 9, 1);");
    EXPECT_TRUE(holds("read"));
    EXPECT_EQ(ScriptHost::getInt(ScriptHost::root(), "size"), 63);
    EXPECT_EQ(rootText("cells"), "1,1,-1");
    EXPECT_EQ(rootText("after"), "0,3");
    EXPECT_TRUE(holds("calls.len() == 2 && calls[0] == \"0,0,256\" && calls[1] == \"6,0,3\""))
        << "no call for an unchanged cell or one outside; the value as given";

    ScriptValue map = ScriptHost::getSlot(ScriptHost::root(), "map");
    map.push();
    auto* native = queryInterface<IGridMap>(componentArgument(ScriptHost::vm(), -1));
    sq_poptop(ScriptHost::vm());
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(native->GetCellValueCodes().road, 1);
    EXPECT_EQ(native->GetCellValueCodes().occupied, 2) << "a float code is truncated";
    EXPECT_EQ(native->GetCellValueCodes().waste, 0) << "a code that is not a number reads 0";
    EXPECT_EQ(native->GetCellValueCodes().plant, 0) << "a missing code reads 0";
    EXPECT_EQ(queryInterface<IRenderable>(native)->GetRenderLayer(), 7);
    EXPECT_EQ(takeLog(), "");
}

TEST_F(NavigationScripts, PassMapWritesTheRecordItRead) {
    ComponentRef<ByteStream> out = ComponentRef<ByteStream>::adopt(new ByteStream());
    setRootComponent("outStream", out.get());
    run("map <- getComponent(\"PassMap\"); readComponent(stream, map); written <- writeComponent(outStream, "
        "map);"
        "map.AddRenderer(getComponent(\"Route\")); map.RemoveRenderer(null);");
    EXPECT_TRUE(holds("written"));
    EXPECT_EQ(hexOf(out->bytes()), kMapRecord);
    // A route can't draw on the map: the call changes nothing, and says why (a null says nothing).
    EXPECT_EQ(takeLog(),
              "[PassMap] warning: AddRenderer: the object is not a grid renderer; nothing changes\n");
}

TEST_F(NavigationScripts, RouterInitialisedBeforeTheMapIsReadFindsNoPathUntilInitialisedAgain) {
    makeRouter();
    // The natural order: make the map, bind the router, then read the map from a file.
    run("map <- getComponent(\"PassMap\"); router.Initialize(map); readComponent(stream, map);"
        "stale <- router.FindPath(Vector2(0, 1), Vector2(5, 0), false);"
        "router.FindPath(Vector2(0, 1), Vector2(5, 0), false);");
    EXPECT_EQ(ScriptHost::getInt(ScriptHost::root(), "stale"), 0);
    EXPECT_EQ(takeLog(), "[GridRouter] warning: the map is 6 x 3 since Initialize took 0 x 0; no path until "
                         "Initialize\n");
    run("router.Initialize(map); count <- router.FindPath(Vector2(0.5, 1.5), Vector2(5, 0), false);"
        "local p = router.GetPoint(1); second <- \"\" + p.x + \",\" + p.y;"
        "local last = router.GetPoint(count - 1); target <- \"\" + last.x + \",\" + last.y;"
        "outside <- router.GetPoint(count).x;");
    EXPECT_EQ(ScriptHost::getInt(ScriptHost::root(), "count"), 7);
    EXPECT_EQ(rootText("second"), "1,1");
    EXPECT_EQ(rootText("target"), "5,0");
    EXPECT_TRUE(holds("outside == 0"));
    EXPECT_EQ(takeLog(), "");
}

TEST_F(NavigationScripts, RouterInWorldCoordinatesGivesCellCentresThroughTheTransform) {
    makeRouter();
    run("map <- getComponent(\"PassMap\"); readComponent(stream, map); router.Initialize(map);"
        "count <- router.FindPath(Vector2(105, 90), Vector2(270, 60), true);"
        "local first = router.GetPoint(0); local mid = router.GetPoint(3); local last = "
        "router.GetPoint(count - 1);"
        "points <- \"\" + first.x + \",\" + first.y + \" \" + mid.x + \",\" + mid.y + \" \" + last.x + \",\" "
        "+ last.y;"
        "blocked <- router.FindPath(Vector2(105, 90), Vector2(105, 60), true);");
    EXPECT_EQ(ScriptHost::getInt(ScriptHost::root(), "count"), 7);
    // Cell (3, 1): (3.5 × 32 + 100, 1.5 × 32 + 50).
    EXPECT_EQ(rootText("points"), "105,90 212,98 270,60");
    EXPECT_EQ(ScriptHost::getInt(ScriptHost::root(), "blocked"), 0);
}

TEST_F(NavigationScripts, RouteMethodsThroughScripts) {
    makeRouter();
    run("map <- getComponent(\"PassMap\"); readComponent(stream, map); router.Initialize(map);"
        "route <- getComponent(\"Route\"); route.InitFromRouter(router, Vector2(0, 1), Vector2(5, 0), false);"
        "found <- \"\" + route.GetPointCount() + \",\" + route.GetLength();"
        "route.InitFromRouter(router, Vector2(0, 1), Vector2(0, 0), false);"
        "failed <- \"\" + route.GetPointCount() + \",\" + route.IsEmpty();"
        "route.AddPosition(Vector2(0, 0)); route.AddPosition(Vector2(3, 4)); route.AddPosition(Vector2(3, "
        "10));"
        "local p = route.GetProgressPosition(8); local d = route.GetProgressDirection(8);"
        "progress <- \"\" + p.x + \",\" + p.y + \" \" + d.x + \",\" + d.y;"
        "distances <- \"\" + route.GetPointDistance(1) + \",\" + route.GetPointDistance(2) + \",\" + "
        "route.GetPointDistance(3);"
        "local q = route.GetPointPosition(7); local r = route.GetPointDirection(0);"
        "outside <- \"\" + q.x + \",\" + q.y + \",\" + r.x;"
        "local m = Matrix3(); m.MultVecs(Vector2(2, 2)); route.Transform(m); doubled <- route.GetLength();"
        "route.RemovePoint(1); route.RemovePoint(5); removed <- route.GetPointCount();");
    EXPECT_EQ(rootText("found"), "7,6");
    EXPECT_EQ(rootText("failed"), "0,true");
    EXPECT_EQ(rootText("progress"), "3,7 0,1");
    EXPECT_EQ(rootText("distances"), "5,11,0");
    EXPECT_EQ(rootText("outside"), "0,0,0");
    EXPECT_TRUE(holds("doubled == 22"));
    EXPECT_EQ(ScriptHost::getInt(ScriptHost::root(), "removed"), 2);
    EXPECT_EQ(takeLog(), "");
}

TEST_F(NavigationScripts, RouteRecordThroughStreams) {
    ComponentRef<ByteStream> out = ComponentRef<ByteStream>::adopt(new ByteStream());
    setRootComponent("outStream", out.get());
    run("local route = getComponent(\"Route\"); route.AddPosition(Vector2(0, 0)); "
        "route.AddPosition(Vector2(3, 4));"
        "written <- writeComponent(outStream, route);");
    EXPECT_TRUE(holds("written"));
    EXPECT_EQ(hexOf(out->bytes()), "02000000"
                                   "0000000000000000"
                                   "0000404000008040");
    run("back <- getComponent(\"Route\"); read <- readComponent(outStream, back); length <- "
        "back.GetLength();");
    EXPECT_TRUE(holds("read && length == 5"));
    m_stream = ComponentRef<ByteStream>::adopt(new ByteStream(bytesOfHex("ffffff7f00000000")));
    setRootComponent("stream", m_stream.get());
    run("hostile <- readComponent(stream, back); kept <- back.GetPointCount();");
    EXPECT_TRUE(holds("hostile == false && kept == 2"));
}

TEST_F(NavigationScripts, TourSolverIsSharedAndRefusesBadMatrices) {
    run("local a = getComponent(\"TSPSolver\"), b = getComponent(\"TSPSolver\"); same <- a == b;"
        "a.Solve([[0, 10, 20], [10, 0, 15], [20, 15, 0]], 0);"
        "tour <- \"\" + b.GetResultID(0) + \",\" + b.GetResultID(1) + \",\" + b.GetResultID(2) + \",\" + "
        "b.GetResultID(3);"
        "a.Solve([[0, 1], [1, 0], [2, 2]], 0); ragged <- a.GetResultID(0);"
        "a.Solve([[0, 1], [1, 0]], 2); badStart <- a.GetResultID(0);"
        "a.Solve([[0, \"x\"], [1, 0]], 0); notNumber <- a.GetResultID(0);"
        "a.Solve([], 0); empty <- a.GetResultID(0);"
        "a.Solve([[0, 5.5], [5, 0]], 1); floats <- \"\" + a.GetResultID(0) + \",\" + a.GetResultID(1);");
    EXPECT_TRUE(holds("same"));
    EXPECT_EQ(rootText("tour"), "0,1,2,-1");
    EXPECT_TRUE(holds("ragged == -1 && badStart == -1 && notNumber == -1 && empty == -1"));
    EXPECT_EQ(rootText("floats"), "1,0");
    EXPECT_EQ(takeLog(), "[TSPSolver] error: row 0 of the matrix is not an array of 3 numbers\n"
                         "[TSPSolver] error: start place 2 is not one of the 2 places\n"
                         "[TSPSolver] error: entry [0][1] of the matrix is not a number\n");
}

} // namespace
