// Transports on small hand-built road maps, through real scripts: scripted objects as vehicles with their
// callbacks, the mover made by name and stepped by updateComponent. Lane geometry is checked on its own.
#include "binding/binding_test.h"
#include "byte_stream.h"
#include "component/component_registry.h"
#include "navigation/lane_route.h"
#include "navigation/navigation_classes.h"
#include "objects/system.h"
#include "persistence/persistence_classes.h"

#include <cmath>

namespace {

TEST(LaneRoute, RightTurnBecomesAQuarterCircleAroundTheInnerCorner) {
    std::vector<Vector2> lane;
    buildLaneRoute({{0, 0}, {1, 0}, {1, 1}}, LaneGeometry{}, false, lane);
    ASSERT_EQ(lane.size(), 11u);
    EXPECT_FLOAT_EQ(lane[0].x, 0.5f);
    EXPECT_FLOAT_EQ(lane[0].y, 0.7f);
    for (std::size_t i = 1; i <= 9; ++i) {
        EXPECT_NEAR((lane[i] - Vector2(1.0f, 1.0f)).GetMagnitude(), 0.3f, 1e-5f) << i;
    }
    EXPECT_NEAR(lane[1].x, 1.0f, 1e-6f);
    EXPECT_NEAR(lane[1].y, 0.7f, 1e-6f);
    EXPECT_NEAR(lane[9].x, 1.3f, 1e-6f);
    EXPECT_NEAR(lane[9].y, 1.0f, 1e-6f);
    EXPECT_FLOAT_EQ(lane[10].x, 1.3f);
    EXPECT_FLOAT_EQ(lane[10].y, 1.5f);
}

TEST(LaneRoute, LeftTurnSwingsWideAndRepeatedCellsAreDropped) {
    std::vector<Vector2> lane;
    buildLaneRoute({{0, 1}, {1, 1}, {1, 1}, {1, 0}}, LaneGeometry{}, false, lane);
    ASSERT_EQ(lane.size(), 11u);
    for (const Vector2& p : lane) EXPECT_TRUE(p.IsValid());
    // The arc's centre lies across the crossing: radius 0.3 around (1.0, 1.4)... on the far side.
    Vector2 centre = (lane[1] + lane[9]) * 0.5f;
    EXPECT_GT(centre.y, 1.5f)
        << "a left turn keeps to the right-hand lane and passes the crossing's far side";
    buildLaneRoute({{0, 1}, {1, 1}}, LaneGeometry{}, true, lane);
    EXPECT_FLOAT_EQ(lane[0].y, 1.9f) << "a transport at the roadside starts 0.2 further right";
}

// An 8 x 5 map of 32-unit cells: road (1) along row 2 and up column 5; indestructible road (2) at (7, 2).
const char kRoadMap[] = "00000200"
                        "00000200"
                        "01"
                        "0000"
                        "0000"
                        "0800"
                        "0500"
                        "0000000000010000"
                        "0000000000010000"
                        "0101010101010102"
                        "0000000000010000"
                        "0000000000010000";

class Transports : public BindingScriptTest {
protected:
    Transports() { m_mountFiles = true; }
    void addScriptApis(ScriptApi& api) override {
        BindingScriptTest::addScriptApis(api);
        registerObjectModelScriptApi(api);
        registerPersistenceScriptApi(api); // the stream functions
    }
    void afterHostCreated() override { registerApplicationFunctions(vm()); }
    void SetUp() override {
        registerObjectModelClasses(ComponentRegistry::instance());
        registerNavigationClasses(ComponentRegistry::instance());
        BindingScriptTest::SetUp();
        m_stream = ComponentRef<ByteStream>::adopt(new ByteStream(bytesOfHex(kRoadMap)));
        setRootComponent("stream", m_stream.get());
        run("events <- [];"
            "map <- getComponent(\"PassMap\"); loadFromScript(map, {CELL_VALUE_Road = 1, "
            "CELL_VALUE_RoadIndestructible "
            "= 2, CELL_VALUE_RoadConstruction = 3}); readComponent(stream, map);"
            "router <- getComponent(\"GridRouter\"); router.Initialize(map);"
            "mover <- getComponent(\"TransportMover\"); mover.SetGridMap(map); mover.SetGridRouter(router);"
            "mover.SetSpeed(100);"
            "class Car { name = null; function OnCellChange(onRoad) { ::events.append(name + \" cell \" + "
            "onRoad); }"
            "  function OnMovingFinish() { ::events.append(name + \" finish\"); } }"
            "function car(name) { local c = getComponent(\"ScriptedObject\"); local s = Car(); s.name = name;"
            "  loadFromScript(c, s);"
            "  c.SetPositionProvider(getComponent(\"Camera\")); mover.AddTransport(c); return c; }"
            "function cells(corners) { local r = getComponent(\"Route\"); local x = corners[0][0], y = "
            "corners[0][1];"
            "  r.AddPosition(Vector2(x, y));"
            "  foreach (c in corners) { while (x != c[0] || y != c[1]) {"
            "    x += x < c[0] ? 1 : x > c[0] ? -1 : 0; if (x == c[0]) y += y < c[1] ? 1 : y > c[1] ? -1 : 0;"
            "    r.AddPosition(Vector2(x, y)); } }"
            "  return r; }"
            "function start(c, list) { local ok = mover.InitMoving(c, cells(list)); mover.InitPosition(c);"
            "  mover.SetMoving(c, true); return ok; }"
            "function joined() { local s = \"\"; foreach (i, e in events) s += (i ? \"; \" : \"\") + e; "
            "return s; }"
            "function where(c) { local p = getPosition(c).GetOrigin(); return p.x + \",\" + p.y; }");
        EXPECT_EQ(takeLog(), "");
    }
    void TearDown() override {
        m_stream.reset();
        BindingScriptTest::TearDown();
    }
    void tick(int ms) { run("updateComponent(mover, 2, " + std::to_string(ms) + ");"); }
    std::string text(const std::string& expression) {
        run("result__ <- \"\" + (" + expression + ");");
        const char* value = ScriptHost::getString(ScriptHost::root(), "result__");
        return value ? value : "<none>";
    }
    std::string events() {
        std::string all = text("joined()");
        run("events.clear();");
        return all;
    }

    ComponentRef<ByteStream> m_stream;
};

TEST_F(Transports, AVehicleFollowsItsLaneTickByTickAndFinishesAtTheEnd) {
    run("a <- car(\"a\"); ok <- start(a, [[0, 2], [4, 2]]);");
    EXPECT_EQ(text("ok"), "true");
    EXPECT_EQ(text("where(a)"), "16,86.4") << "the right-hand lane of row 2, 0.2 cells below its centre line";
    EXPECT_EQ(text("mover.GetRouteLength(a)"), "128");
    tick(250);
    EXPECT_EQ(text("where(a)"), "41,86.4") << "speed 100 for 250 ms";
    EXPECT_EQ(text("getPosition(a).GetXVec().x"), "1");
    tick(250);
    EXPECT_EQ(text("where(a)"), "66,86.4");
    EXPECT_EQ(events(), "a cell true; a cell true") << "into cells (1, 2) and (2, 2)";
    tick(1000);
    EXPECT_EQ(text("where(a)"), "144,86.4") << "stops exactly at the last point";
    EXPECT_EQ(events(), "a cell true; a finish") << "cells are sampled once per update";
    EXPECT_EQ(text("mover.GetRouteLength(a)"), "0") << "the route is released";
    tick(250);
    EXPECT_EQ(text("events.len()"), "0");
}

TEST_F(Transports, CornersTurnOnTheRightHandLane) {
    run("a <- car(\"a\"); start(a, [[3, 2], [4, 2], [5, 2], [5, 1], [5, 0]]);");
    tick(1000);
    // Past the left turn at (5, 2): heading north by now, on the lane right of column 5's centre line.
    EXPECT_EQ(text("getPosition(a).GetXVec().y"), "-1");
    EXPECT_EQ(text("getPosition(a).GetOrigin().x"), "182.4");
}

TEST_F(Transports, PausedOrStoppedVehiclesStandStill) {
    run("a <- car(\"a\"); start(a, [[0, 2], [4, 2]]); mover.PauseMoving(a, true);"
        "b <- car(\"b\"); start(b, [[7, 2], [6, 2]]); mover.SetMoving(b, false);");
    tick(500);
    EXPECT_EQ(text("where(a)"), "16,86.4");
    EXPECT_EQ(text("where(b)"), "240,73.6");
    EXPECT_EQ(text("events.len()"), "0");
    run("mover.PauseMoving(a, false); mover.StopMoving(b); mover.SetMoving(b, true);");
    tick(250);
    EXPECT_EQ(text("where(a)"), "41,86.4");
    EXPECT_EQ(text("where(b)"), "240,73.6") << "an emptied route goes nowhere";
}

TEST_F(Transports, QueueBehindAMovingVehicleUntilItPullsOver) {
    run("front <- car(\"front\"); start(front, [[2, 2], [4, 2]]);"
        "back <- car(\"back\"); start(back, [[0, 2], [4, 2]]);"
        "mover.PauseMoving(front, true);"); // front stands (moving, paused) 64 units ahead
    tick(250);
    EXPECT_EQ(text("where(back)"), "41,86.4") << "64 ahead is beyond the 50-unit look-ahead";
    tick(100);
    EXPECT_EQ(text("where(back)"), "41,86.4") << "now 39 behind: it waits";
    EXPECT_EQ(text("mover.MoveToRoadsite(front)"), "true");
    tick(100);
    EXPECT_EQ(text("where(back)"), "51,86.4") << "a vehicle at the roadside blocks nobody";
}

TEST_F(Transports, VehiclesFacingEachOtherDoNotBlock) {
    run("a <- car(\"a\"); start(a, [[1, 2], [4, 2]]);"
        "b <- car(\"b\"); start(b, [[3, 2], [0, 2]]);");
    tick(100);
    EXPECT_EQ(text("where(a)"), "58,86.4");
    EXPECT_EQ(text("where(b)"), "102,73.6");
}

TEST_F(Transports, DespawnInsideOnMovingFinish) {
    run("class Despawn extends Car { function OnMovingFinish() { ::events.append(name + \" gone\");"
        "  mover.RemoveTransport(this); } }"
        "function despawning(name) { local c = getComponent(\"ScriptedObject\"); local s = Despawn(); s.name "
        "= name;"
        "  loadFromScript(c, s); c.SetPositionProvider(getComponent(\"Camera\")); mover.AddTransport(c); "
        "return c; }"
        "a <- despawning(\"a\"); start(a, [[0, 2], [1, 2]]);"
        "b <- despawning(\"b\"); start(b, [[4, 2], [5, 2]]);"
        "c <- car(\"c\"); start(c, [[6, 2], [7, 2]]);");
    tick(2000);
    EXPECT_EQ(events(), "a cell true; a gone; b cell true; b gone; c cell true; c finish")
        << "every vehicle after a removed one still moves in the same update";
    EXPECT_EQ(text("mover.GetRouteLength(a) + mover.GetRouteLength(b)"), "0");
    EXPECT_EQ(text("mover.InitMoving(a, cells([[0, 2], [1, 2]]))"), "false") << "a is no longer registered";
    tick(250);
    EXPECT_EQ(text("events.len()"), "0");
}

TEST_F(Transports, NewRouteAndNewVehicleFromCallbacks) {
    run("legs <- 0; class Shuttle extends Car { function OnMovingFinish() { ::events.append(name + \" leg\");"
        "  if (++::legs < 3) start(this, ::legs % 2 ? [[1, 2], [0, 2]] : [[0, 2], [1, 2]]);"
        "  else if (::legs == 3) ::spawned <- car(\"spawned\"); } }"
        "s <- getComponent(\"ScriptedObject\"); { local o = Shuttle(); o.name = \"s\"; loadFromScript(s, o); "
        "}"
        "mover.AddTransport(s); start(s, [[0, 2], [1, 2]]);");
    for (int i = 0; i < 12; ++i) tick(250);
    EXPECT_EQ(events(), "s cell true; s leg; s cell true; s leg; s cell true; s leg");
    EXPECT_EQ(text("\"spawned\" in getroottable()"), "true");
    EXPECT_EQ(text("start(spawned, [[2, 2], [3, 2]])"), "true")
        << "a vehicle added inside a callback is registered";
}

TEST_F(Transports, PullingOverNeedsRoadAheadAndBehindAndNoneToTheRight) {
    run("a <- car(\"a\"); start(a, [[0, 2], [4, 2]]); b <- car(\"b\"); start(b, [[5, 4], [5, 0]]);");
    tick(400); // a into cell (1, 2), b into cell (5, 3)
    EXPECT_EQ(text("mover.MoveToRoadsite(a)"), "true");
    EXPECT_TRUE(holds("fabs(mover.GetRouteLength(a) - 17.26) < 0.01")) << "half a cell on, 0.2 further right";
    EXPECT_EQ(text("mover.MoveToRoadsite(b)"), "true");
    tick(500);
    EXPECT_EQ(text("getPosition(a).GetOrigin().y"), "92.8") << "0.2 cells further right than the lane";
}

TEST_F(Transports, PathsToAreasPreferTheTargetCellAndToursOrderTheAreas) {
    run("local r = mover.FindPathToArea(Vector2(0, 2), Vector2(5, 0), Rect(4, 0, 1, 2));"
        "local last = r.GetPointPosition(r.GetPointCount() - 1);"
        "toTarget <- r.GetPointCount() + \" \" + last.x + \",\" + last.y;"
        "local near = mover.FindPathToArea(Vector2(0, 2), Vector2(9, 9), Rect(4, 0, 1, 2));"
        "nearest <- near.GetPointPosition(near.GetPointCount() - 1).x + \",\" + "
        "near.GetPointPosition(near.GetPointCount() - 1).y;"
        "none <- mover.FindPathToArea(Vector2(0, 2), Vector2(0, 0), Rect(0, 0, 1, 1)) == null;"
        "local between = mover.FindPathBetweenAreas(Vector2(9, 9), Rect(0, 1, 1, 1), Vector2(9, 9), Rect(7, "
        "3, 1, 1));"
        "betweenLength <- between.GetLength();"
        "mover.CreateOptimalRouteFromPosition([Vector2(0, 0), Vector2(7, 3), Vector2(2, 3)],"
        "  [Rect(0, 0, 1, 1), Rect(7, 3, 1, 1), Rect(2, 3, 1, 1)], 2, Vector2(0, 2));"
        "single <- mover.GetOptimalRouteIndexesReachable().len() + \" \" + "
        "mover.GetOptimalRouteIndexesUnreachable().len();"
        "mover.CreateOptimalRouteFromPosition([Vector2(0, 3), Vector2(7, 3), Vector2(4, 3), Vector2(3, 3)],"
        "  [Rect(0, 3, 1, 1), Rect(7, 3, 1, 1), Rect(4, 3, 1, 1), Rect(3, 3, 1, 1)], 2, Vector2(0, 2));"
        "local order = mover.GetOptimalRouteIndexesReachable(); tour <- \"\"; foreach (i in order) tour += "
        "i;");
    // The target cell (5, 0) wins over the nearer border cell (4, 2).
    EXPECT_EQ(text("toTarget"), "8 5,0");
    EXPECT_EQ(text("nearest"), "4,2") << "without the target cell the shortest path wins";
    EXPECT_EQ(text("none"), "true");
    EXPECT_EQ(text("betweenLength"), "7") << "from (0, 2), the one road cell by the first area, to (7, 2)";
    EXPECT_EQ(text("single"), "2 1");
    EXPECT_EQ(text("tour"), "2130") << "the start area first, then farthest insertion over the area centres";
    EXPECT_EQ(takeLog(), "");
}

TEST_F(Transports, SavedAndLoadedVehicleKeepsRouteDistanceCellAndFlagsButNotPaused) {
    ComponentRef<ByteStream> saved = ComponentRef<ByteStream>::adopt(new ByteStream());
    setRootComponent("saved", saved.get());
    run("a <- car(\"a\"); start(a, [[0, 2], [4, 2]]);");
    tick(500);
    events();
    run("mover.PauseMoving(a, true); written <- mover.WriteTransportToStream(saved, a);"
        "b <- car(\"b\"); read <- mover.ReadTransportFromStream(saved, b); mover.InitPosition(b);"
        "setPosition(b, getPosition(a)); mover.RemoveTransport(a);");
    EXPECT_EQ(text("written + \" \" + read"), "true true");
    EXPECT_EQ(saved->bytes().size(), 1u + 4u + 5u * 8u + 10u);
    EXPECT_EQ(text("mover.GetRouteLength(b)"), "128");
    tick(250);
    EXPECT_EQ(text("where(b)"), "91,86.4") << "the copy, not paused, drives on from 50 units";
    EXPECT_EQ(events(), "");

    m_stream = ComponentRef<ByteStream>::adopt(new ByteStream(bytesOfHex("01ffffff7f")));
    setRootComponent("stream", m_stream.get());
    run("hostile <- mover.ReadTransportFromStream(stream, b); unknown <- "
        "mover.ReadTransportFromStream(saved, map);");
    EXPECT_EQ(text("hostile + \" \" + unknown + \" \" + mover.GetRouteLength(b)"), "false false 128");
}

TEST_F(Transports, UnregisteredOrRoutelessVehiclesAndUnevenListsAreHandled) {
    run("a <- car(\"a\"); stranger <- getComponent(\"ScriptedObject\");"
        "mover.InitPosition(a); canStart <- mover.CanStartMoving(a); roadside <- mover.MoveToRoadsite(a);"
        "unknown <- mover.InitMoving(stranger, cells([[0, 2], [2, 2]])) + \" \" + "
        "mover.GetRouteLength(stranger);"
        "mover.CreateOptimalRouteFromPosition([Vector2(2, 3), Vector2(4, 3)], [Rect(2, 3, 1, 1)], 0, "
        "Vector2(0, 2));"
        "counts <- mover.GetOptimalRouteIndexesReachable().len() + \" \" + "
        "mover.GetOptimalRouteIndexesUnreachable().len();");
    EXPECT_EQ(text("canStart + \" \" + roadside + \" \" + unknown"), "false false false 0");
    EXPECT_EQ(text("counts"), "1 0");
    EXPECT_EQ(takeLog(), "[TransportMover] warning: optimal route over 2 target cells and 1 areas: 1 used\n");
}

} // namespace
