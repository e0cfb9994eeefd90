// Update, render and input groups through real scripts: render order with ties, input consumption order,
// update processing (Init before the first Update, one Init for a double Add, insertion order), and members
// changing the group that is calling them.
#include "test_objects_fixture.h"

#include "component/frame_interfaces.h"
#include "objects/input_group.h"
#include "objects/render_group.h"
#include "objects/update_group.h"

namespace {

using GroupsTest = ObjectsTest;

// A scripted object named `name` whose callbacks append to the trace.
std::string tracer(const std::string& name, const std::string& extra = "") {
    return "::" + name + " <- getComponent(\"ScriptedObject\"); loadFromScript(" + name + ", { name = \"" +
           name + "\" " + extra + " });\n";
}

TEST_F(GroupsTest, RenderOrderIsAscendingLayerThenAddition) {
    const std::string render = ", function Render(g) { ::trace += name + \" \"; }";
    run(tracer("a", render + ", function GetRenderLayer() { return 5; }") +
        tracer("b", render + ", function GetRenderLayer() { return 1; }") +
        tracer("c", render + ", function GetRenderLayer() { return 5; }") + tracer("d", render));
    auto group = ComponentRef<RenderGroup>::adopt(new RenderGroup());
    for (const char* name : {"a", "b", "c", "d"}) {
        EXPECT_TRUE(group->Add(component(name)));
    }
    TestGraphics graphics;
    group->Render(&graphics, ClassMask{});
    EXPECT_EQ(takeTrace(), "d b a c "); // d has no GetRenderLayer: 0
    group->SetVisible(false);
    group->Render(&graphics, ClassMask{});
    EXPECT_EQ(takeTrace(), "");
    group->SetVisible(true);
    group->Remove(component("a"));
    group->Render(&graphics, ClassMask{});
    EXPECT_EQ(takeTrace(), "d b c ");
}

TEST_F(GroupsTest, InputIsOfferedInOrderUntilConsumed) {
    run(tracer("first", ", function OnPointerMoved(x, y) { ::trace += name + \" \"; return x > 10; }") +
        tracer("second", ", function OnPointerMoved(x, y) { ::trace += name + \" \"; return true; }") +
        tracer("third", ", function OnPointerMoved(x, y) { ::trace += name + \" \"; return true; }"));
    auto group = ComponentRef<InputGroup>::adopt(new InputGroup());
    for (const char* name : {"first", "second", "third"}) {
        EXPECT_TRUE(group->Add(component(name)));
    }
    EXPECT_TRUE(group->HandlePointerEvent(pointerEvent(16385, 0, 5, 5)));
    EXPECT_EQ(takeTrace(), "first second ");
    EXPECT_TRUE(group->HandlePointerEvent(pointerEvent(16385, 0, 50, 5)));
    EXPECT_EQ(takeTrace(), "first ");
    group->Remove(component("first"));
    group->Remove(component("second"));
    group->Remove(component("third"));
    EXPECT_FALSE(group->HandlePointerEvent(pointerEvent(16385, 0, 5, 5)));
    EXPECT_FALSE(group->Add(component("nothing-here")));
}

TEST_F(GroupsTest, UpdateProcessingInitialisesBeforeTheFirstUpdateInInsertionOrder) {
    const std::string callbacks =
        ", function Init(t) { ::trace += \"I\" + name + t + \" \"; }"
        ", function Update(l, ms) { ::trace += \"U\" + name + l + \":\" + ms + \" \"; }";
    // Created in reverse so that heap addresses, if they counted, would disagree with insertion order.
    run(tracer("z", callbacks) + tracer("y", callbacks) +
        tracer("x", callbacks + ", function GetUpdateLayer() { return 6; }"));
    auto group = ComponentRef<UpdateGroup>::adopt(new UpdateGroup());
    group->Init(100);
    for (const char* name : {"x", "y", "z", "y"}) { // y twice: initialised once, updated once per call
        EXPECT_TRUE(group->Add(component(name)));
    }
    EXPECT_EQ(takeTrace(), ""); // deferred
    group->Update(1, 10);
    EXPECT_EQ(takeTrace(), "Ix110 Iy110 Iz110 Uy1:10 Uz1:10 ");
    group->Update(2, 0);
    group->Update(4, 5);
    group->Update(3, 5); // not a single bit: nobody
    EXPECT_EQ(takeTrace(), "Ux2:0 Ux4:5 ");
    EXPECT_EQ(group->time(), 120);
}

TEST_F(GroupsTest, UpdateMembersChangingTheirGroupDuringTheCall) {
    const std::string init = ", function Init(t) { ::trace += \"I\" + name + t + \" \"; }";
    run(tracer("late", init + ", function Update(l, ms) { ::trace += \"Ulate \"; }") +
        tracer("victim", init + ", function Update(l, ms) { ::trace += \"Uvictim \"; }") +
        tracer("spawner", init + ", function Update(l, ms) { ::trace += \"Uspawner \"; "
                                 "::group.Add(::late); ::group.Remove(::victim); }") +
        tracer("clearer", ", function Update(l, ms) { ::trace += \"Uclearer \"; ::group.Clear(); }"));
    auto group = ComponentRef<UpdateGroup>::adopt(new UpdateGroup());
    // A script view of the group for the callbacks: Add, Remove and Clear as plain functions.
    struct Binding {
        static UpdateGroup*& target() {
            static UpdateGroup* g = nullptr;
            return g;
        }
    };
    Binding::target() = group.get();
    HSQUIRRELVM v = ScriptHost::vm();
    run("::group <- {};");
    ScriptValue table = ScriptHost::getSlot(ScriptHost::root(), "group");
    table.push();
    bindFunction(
        v, -1, "Add", +[](IAbstract* c) { Binding::target()->Add(c); });
    bindFunction(
        v, -1, "Remove", +[](IAbstract* c) { Binding::target()->Remove(c); });
    bindFunction(
        v, -1, "Clear", +[]() { Binding::target()->Clear(); });
    sq_poptop(v);

    group->Add(component("spawner"));
    group->Add(component("victim"));
    group->Update(1, 1);
    // The victim, removed by the spawner before its turn, is skipped; the late one waits for the next call.
    EXPECT_EQ(takeTrace(), "Ispawner1 Ivictim1 Uspawner ");
    group->Update(1, 1);
    EXPECT_EQ(takeTrace(), "Ilate2 Uspawner Ulate ");
    EXPECT_EQ(group->memberCount(), 2u);

    // Clear from a callback: the rest of the walk is skipped and the group is empty afterwards.
    group->Add(component("clearer"));
    group->Update(1, 1);
    EXPECT_EQ(takeTrace(), "Uspawner Ulate Uclearer ");
    // The spawner's Add of late during that walk was still queued: it survives the Clear and joins again.
    group->Update(1, 1);
    EXPECT_EQ(takeTrace(), "Ilate4 Ulate ");
    EXPECT_EQ(group->memberCount(), 1u);
}

// A click handler registering a new screen with the system while the system's input group dispatches the
// click; a renderable registering a console line while the render group draws; Clear from a callback.
TEST_F(GroupsTest, RenderAndInputGroupsChangedWhileTheyIterate) {
    run(R"(
        ::system <- getComponent("System");
        ::makeScreen <- function(n) {
            local s = getComponent("ScriptedObject");
            loadFromScript(s, { name = n,
                function OnPointerPressed(sel, x, y) { ::trace += name + " "; return false; }
                function Render(g) { ::trace += "draw:" + name + " "; } });
            return s;
        }
        ::menu <- getComponent("ScriptedObject");
        loadFromScript(menu, {
            function OnPointerPressed(sel, x, y) {
                ::trace += "menu ";
                ::system.UnregisterObject("menu");
                ::system.RegisterObject("screen", ::makeScreen("screen"));
                return false;
            }
        });
        system.RegisterObject("menu", menu);
        system.RegisterObject("after", ::makeScreen("after"));
        ::console <- getComponent("ScriptedObject");
        loadFromScript(console, {
            lines = 0,
            function Render(g) {
                ::trace += "draw:console ";
                if (lines++ == 0) ::system.RegisterObject("line", ::makeScreen("line"));
            }
            function GetRenderLayer() { return 1000; }
        });
        system.RegisterObject("console", console);
    )");
    System* system = System::live();
    ASSERT_NE(system, nullptr);
    auto* input = queryInterface<IInputHandler>(system->inputGroup());
    EXPECT_FALSE(input->HandlePointerEvent(pointerEvent(16387, 1, 0, 0)));
    // The menu left during its own handler; "after" still got the click, the new screen did not.
    EXPECT_EQ(takeTrace(), "menu after ");
    EXPECT_FALSE(input->HandlePointerEvent(pointerEvent(16387, 1, 0, 0)));
    EXPECT_EQ(takeTrace(), "after screen ");

    TestGraphics graphics;
    system->Render(&graphics, ClassMask{});
    EXPECT_EQ(takeTrace(), "draw:after draw:screen draw:console ");
    system->Render(&graphics, ClassMask{});
    EXPECT_EQ(takeTrace(), "draw:after draw:screen draw:line draw:console ");

    // Clear from inside the walk: nothing further is drawn and nothing is freed under the walker.
    static IFunctionalGroup* s_render = nullptr;
    s_render = queryInterface<IFunctionalGroup>(system->renderGroup());
    HSQUIRRELVM v = ScriptHost::vm();
    sq_pushroottable(v);
    bindFunction(
        v, -1, "clearRender", +[]() { s_render->Clear(); });
    sq_poptop(v);
    run(R"(
        ::wiper <- getComponent("ScriptedObject");
        loadFromScript(wiper, { function Render(g) { ::trace += "wipe "; ::clearRender(); } });
        system.RegisterObject("wiper", wiper);
    )");
    system->Render(&graphics, ClassMask{});
    EXPECT_EQ(takeTrace(), "draw:after draw:screen draw:line wipe ");
    system->Render(&graphics, ClassMask{});
    EXPECT_EQ(takeTrace(), "");
}

} // namespace
