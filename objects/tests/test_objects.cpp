// Compound and scripted objects through real scripts: which interfaces a script object makes an object
// answer, the callbacks' arguments and results, key and pointer dispatch, and the compound's parts.
#include "test_objects_fixture.h"

#include "component/frame_interfaces.h"
#include "objects/compound_object.h"
#include "objects/input_group.h"
#include "objects/render_group.h"
#include "objects/update_group.h"

#include <cmath>

namespace {

using ScriptedObjectTest = ObjectsTest;

TEST_F(ScriptedObjectTest, InterfacesFollowTheScriptObject) {
    run(R"(
        ::painter <- getComponent("ScriptedObject");
        loadFromScript(painter, { function Render(g) { ::trace += "R"; } });
        ::ticker <- getComponent("ScriptedObject");
        loadFromScript(ticker, { function Update(layer, ms) {} });
    )");
    IAbstract* painter = component("painter");
    IAbstract* ticker = component("ticker");
    ASSERT_NE(painter, nullptr);
    auto render = ComponentRef<RenderGroup>::adopt(new RenderGroup());
    auto update = ComponentRef<UpdateGroup>::adopt(new UpdateGroup());
    EXPECT_TRUE(render->Add(painter));
    EXPECT_FALSE(update->Add(painter));
    EXPECT_TRUE(update->Add(ticker));
    EXPECT_FALSE(render->Add(ticker));
    EXPECT_EQ(queryInterface<IInputHandler>(painter), nullptr);
    EXPECT_EQ(queryInterface<IStateProvider>(painter), nullptr);
    EXPECT_NE(queryInterface<IComponentGroup>(painter), nullptr);
    EXPECT_EQ(text("typeof painter"), "ScriptedObject");
}

TEST_F(ScriptedObjectTest, CallbacksGetTheComponentAsThisAndTheirArguments) {
    run(R"(
        class Mover {
            speed = 3;
            function constructor() { ::trace += "ctor:" + (typeof this) + " "; }
            function Init(t) { ::trace += "init:" + t + " "; }
            function Update(layer, ms) { ::trace += "upd:" + layer + "," + ms + "," + speed + " "; }
            function GetUpdateLayer() { return 2.7; }
            function GetRenderLayer() { return "high"; }
            function Render(g) { ::trace += "draw:" + (g == null ? "null" : "handle") + " "; }
            function GetStateWeight(state) { return state == "walk" ? 2 : 0.5; }
            function GetStatePhase(state) { return "x"; }
            function Shutdown() { ::trace += "down:" + (typeof this); }
        }
        ::mover <- getComponent("ScriptedObject");
        loadFromScript(mover, Mover);
    )");
    EXPECT_EQ(takeTrace(), "ctor:ScriptedObject ");
    IAbstract* mover = component("mover");
    auto* updateable = queryInterface<IUpdateable>(mover);
    ASSERT_NE(updateable, nullptr);
    EXPECT_EQ(updateable->GetUpdateLayer(), 2); // 2.7 truncated
    updateable->Init(40);
    updateable->Update(4, 10);
    EXPECT_EQ(takeTrace(), "init:40 upd:4,10,3 ");
    auto* renderable = queryInterface<IRenderable>(mover);
    EXPECT_EQ(renderable->GetRenderLayer(), 0); // a string counts as 0
    TestGraphics graphics;
    renderable->Render(&graphics, ClassMask{});
    EXPECT_EQ(takeTrace(), "draw:handle ");
    auto* states = queryInterface<IStateProvider>(mover);
    ASSERT_NE(states, nullptr);
    EXPECT_EQ(states->GetStateWeight("walk"), 2.0f);
    EXPECT_EQ(states->GetStateWeight("run"), 0.5f);
    EXPECT_EQ(states->GetStatePhase("walk"), 0.0f);
    queryInterface<IShutdownable>(mover)->Shutdown();
    EXPECT_EQ(takeTrace(), "down:ScriptedObject");
}

TEST_F(ScriptedObjectTest, MissingCallbacksGiveTheirDefaults) {
    run(R"(
        ::plain <- getComponent("ScriptedObject");
        loadFromScript(plain, { function Update(l, ms) {}, function GetStateWeight(s) { return 1; } });
    )");
    IAbstract* plain = component("plain");
    EXPECT_EQ(queryInterface<IUpdateable>(plain)->GetUpdateLayer(), 1);
    EXPECT_TRUE(std::isinf(queryInterface<IStateProvider>(plain)->GetStatePhase("walk")));
    queryInterface<IShutdownable>(plain)->Shutdown(); // no script Shutdown: the rest still runs
    EXPECT_EQ(queryInterface<IUpdateable>(plain), nullptr);
}

TEST_F(ScriptedObjectTest, AFailingCallbackIsReportedAndTheOperationGoesOn) {
    run(R"(
        ::broken <- getComponent("ScriptedObject");
        loadFromScript(broken, { function Update(l, ms) { throw "boom"; },
                                 function OnKeyPressed(i, d) { throw "boom"; } });
    )");
    IAbstract* broken = component("broken");
    queryInterface<IUpdateable>(broken)->Update(1, 5);
    KDEvent press = keyEvent(0x40000041, 1, 0);
    EXPECT_FALSE(queryInterface<IInputHandler>(broken)->HandleKeyEvent(press));
    EXPECT_NE(takeLog().find("boom"), std::string::npos);
    // The process-wide call counter is back: the next callback still runs.
    run("loadFromScript(::broken, { function Update(l, ms) { ::trace += \"ok\"; } });");
    queryInterface<IUpdateable>(broken)->Update(1, 5);
    EXPECT_EQ(takeTrace(), "ok");
}

TEST_F(ScriptedObjectTest, RunawayCallbacksAreStoppedByTheStepBudgetAndTheNextFrameRuns) {
    ScriptHost::setStepBudget(100000);
    run(R"(
        ::stuck <- getComponent("ScriptedObject");
        loadFromScript(stuck, { frames = 0,
                                function Update(l, ms) { ++frames; while (true) {} },
                                function Render(g) { local s = ""; while (true) s += "tile"; },
                                function OnKeyPressed(i, d) { return stuckKey(); } });
        function stuckKey() { return stuckKey() || true; }
    )");
    IAbstract* stuck = component("stuck");
    for (int frame = 0; frame < 2; ++frame) {
        queryInterface<IUpdateable>(stuck)->Update(1, 8);
        TestGraphics graphics;
        queryInterface<IRenderable>(stuck)->Render(&graphics, ClassMask{});
        EXPECT_FALSE(queryInterface<IInputHandler>(stuck)->HandleKeyEvent(keyEvent(0x40000041, 1, 0)));
    }
    const std::string log = takeLog();
    EXPECT_NE(
        log.find("error: script stopped: ScriptedObject callback, 'Update' (console_buffer) ran out of its "
                 "step budget of 100000 steps\n"),
        std::string::npos)
        << log;
    EXPECT_NE(log.find("error: script stopped: ScriptedObject callback, 'Render'"), std::string::npos);
    EXPECT_NE(log.find("error: script stopped: ScriptedObject callback, 'OnKeyPressed'"), std::string::npos)
        << "a deep recursion under a callback too";
    EXPECT_EQ(integer("stuck.frames"), 2) << "the object's state is still there, and it ran each frame";
    ScriptHost::setStepBudget(ScriptHost::kDefaultStepBudget);
}

TEST_F(ScriptedObjectTest, KeyEventsChooseTheirCallbackByState) {
    run(R"(
        ::keys <- getComponent("ScriptedObject");
        loadFromScript(keys, {
            function OnKeyReleased(index, data) { ::trace += format("up:%x,%d ", index, data); return true; }
            function OnKeyPressed(index, data) { ::trace += format("down:%x ", index); return 0; }
            function OnInputChar(index, data) { ::trace += format("char:%x ", index); return 1; }
        });
    )");
    auto* handler = queryInterface<IInputHandler>(component("keys"));
    ASSERT_NE(handler, nullptr);
    struct Case {
        std::int32_t index;
        std::uint32_t state;
        std::uint32_t data;
        bool consumed;
        const char* trace;
    };
    const Case cases[] = {
        {0x40000041, 0, 30, true, "up:40000041,30 "},
        {0x40000041, 1, 30, false, "down:40000041 "},
        {0x40000161, 2, 0, true, "char:40000161 "},
        {0x40000041, 3, 0, false, ""}, // not a key state
    };
    for (const Case& c : cases) {
        EXPECT_EQ(handler->HandleKeyEvent(keyEvent(c.index, c.state, c.data)), c.consumed) << c.trace;
        EXPECT_EQ(takeTrace(), c.trace);
    }
}

TEST_F(ScriptedObjectTest, PointerCallbacksPlainAndExtended) {
    run(R"(
        ::plain <- getComponent("ScriptedObject");
        loadFromScript(plain, {
            function OnPointerPressed(sel, x, y) { ::trace += "p" + sel + "," + x + "," + y + " "; return true; }
            function OnPointerReleased(sel, x, y) { ::trace += "r" + sel + " "; }
            function OnPointerMoved(x, y) { ::trace += "m" + x + "," + y + " "; }
            function OnPointerWheel(a, b, x, y) { ::trace += "w" + a + "," + b + "," + x + "," + y + " "; }
        });
        ::extended <- getComponent("ScriptedObject");
        loadFromScript(extended, {
            function OnPointerPressed(sel, x, y) { ::trace += "plain!"; }
            function OnPointerMovedEx(p, x, y) { ::trace += "mx" + p + ":" + x + "," + y + " "; return 1; }
        });
    )");
    auto* plain = queryInterface<IInputHandler>(component("plain"));
    auto* extended = queryInterface<IInputHandler>(component("extended"));
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(extended, nullptr);

    EXPECT_TRUE(plain->HandlePointerEvent(pointerEvent(16387, 1, 5, 6)));
    EXPECT_FALSE(plain->HandlePointerEvent(pointerEvent(16387, 0, 5, 6)));
    EXPECT_FALSE(plain->HandlePointerEvent(pointerEvent(16385, 0, 7, 8)));
    // select 0xFFFE0003: high half -2, low half 3.
    EXPECT_FALSE(
        plain->HandlePointerEvent(pointerEvent(16388, static_cast<std::int32_t>(0xFFFE0003u), 1, 2)));
    EXPECT_FALSE(
        plain->HandlePointerEvent(pointerEvent(16385 + 8, 0, 7, 8))); // pointer 1: plain mode ignores it
    EXPECT_EQ(takeTrace(), "p1,5,6 r0 m7,8 w-2,3,1,2 ");

    // OnPointerMovedEx alone switches to extended mode: plain OnPointerPressed is never called.
    EXPECT_FALSE(extended->HandlePointerEvent(pointerEvent(16387, 1, 5, 6)));
    EXPECT_TRUE(extended->HandlePointerEvent(pointerEvent(16385 + 8 * 3, 0, 9, 10)));
    EXPECT_FALSE(extended->HandlePointerEvent(pointerEvent(16385 + 8 * 4, 0, 9, 10)));
    EXPECT_EQ(takeTrace(), "mx3:9,10 ");
}

using CompoundObjectTest = ObjectsTest;

TEST_F(CompoundObjectTest, PartsShareIdentifierAndClassificators) {
    run(R"(
        ::house <- getComponent("CompoundObject");
        for (local i = 0; i < 3; i++) house.RegisterObject("part" + i, getComponent("CompoundObject"));
    )");
    auto* house = dynamic_cast<CompoundObject*>(component("house"));
    ASSERT_NE(house, nullptr);
    house->AddClassificator(0x5);
    house->SetIdentificator("x");
    for (const char* name : {"part0", "part1", "part2"}) {
        ComponentRef<> part = house->GetObject(name);
        EXPECT_STREQ(queryInterface<IIdentifiable>(part.get())->GetIdentificator(), "x");
        EXPECT_EQ(queryInterface<IClassifiable>(part.get())->GetClassificators(), 0x5u);
    }
    // A part joining later takes the compound's identifier and classificators at once.
    run("::late <- getComponent(\"CompoundObject\"); ::house.RegisterObject(\"late\", late);");
    IAbstract* late = component("late");
    EXPECT_STREQ(queryInterface<IIdentifiable>(late)->GetIdentificator(), "x");
    EXPECT_EQ(queryInterface<IClassifiable>(late)->GetClassificators(), 0x5u);
    house->RemoveClassificator(0x1);
    EXPECT_EQ(queryInterface<IClassifiable>(late)->GetClassificators(), 0x4u);
}

TEST_F(CompoundObjectTest, TakenAndMissingIdentifiersAreLogged) {
    run(R"(
        ::house <- getComponent("CompoundObject");
        ::first <- getComponent("CompoundObject");
        house.RegisterObject("door", first);
        house.RegisterObject("door", getComponent("CompoundObject"));
        ::missing <- house.UnregisterObject("window");
        ::lookup <- house.GetObject("window");
    )");
    EXPECT_EQ(takeLog(), "[CompoundObject] error: Object with identifier \"door\" already exists\n"
                         "[CompoundObject] error: Object with identifier \"window\" not found\n");
    EXPECT_EQ(integer("house.GetObject(\"door\") == first ? 1 : 0"), 1);
    EXPECT_EQ(integer("missing == null && lookup == null ? 1 : 0"), 1);
    EXPECT_EQ(integer("house.UnregisterObject(\"door\") == first ? 1 : 0"), 1);
    EXPECT_EQ(integer("house.GetObject(\"door\") == null ? 1 : 0"), 1);
}

TEST_F(CompoundObjectTest, AssigningNullToAPartUnregistersIt) {
    run(R"(
        ::house <- getComponent("CompoundObject");
        ::door <- getComponent("CompoundObject");
        house.door = door;
        ::registered <- house.GetObject("door") == door;
        house.door = null;
    )");
    EXPECT_EQ(integer("registered ? 1 : 0"), 1);
    EXPECT_EQ(takeLog(), "");
    EXPECT_EQ(integer("house.GetObject(\"door\") == null ? 1 : 0"), 1);
}

TEST_F(CompoundObjectTest, PositionComesFromTheProvider) {
    run(R"(
        ::house <- getComponent("CompoundObject");
        ::camera <- getComponent("Camera");
        setPosition(house, Matrix3(Vector2(5, 6)));
        house.SetPositionProvider(camera);
        setPosition(house, Matrix3(Vector2(7, 8)));
    )");
    auto* camera = queryInterface<ICamera>(component("camera"));
    EXPECT_EQ(camera->GetPosition().GetOrigin().x, 7.0f);
    EXPECT_EQ(queryInterface<IPositionable>(component("house"))->GetPosition().GetOrigin().y, 8.0f);
    run("::house.SetPositionProvider(null);");
    EXPECT_EQ(queryInterface<IPositionable>(component("house"))->GetPosition().GetOrigin().x, 0.0f);
    EXPECT_EQ(integer("house.GetBoundingRect().Width == 0 ? 1 : 0"), 1);
}

} // namespace
