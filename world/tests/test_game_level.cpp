// Game objects, the object watcher and the game level: dynamic tile layers, search by classificators and
// picking, through real scripts where scripts drive them.
#include "graphics/render_target.h"
#include "objects/camera.h"
#include "world/game_level.h"
#include "world/game_object.h"
#include "world/tests/road_fixture.h"
#include "world/tile_layer.h"
#include "world/tile_object.h"

namespace {

using namespace world::test;

// Counts its Render calls and keeps the last mask.
class CountingRenderable final : public IRenderable {
public:
    void* QueryInterface(InterfaceId id) override { return queryAmong<IRenderable>(this, id); }
    void Render(IGraphics* graphics, ClassMask mask) override {
        ++calls;
        last = mask;
        withGraphics = withGraphics && graphics != nullptr;
    }
    std::int32_t GetRenderLayer() override { return 0; }

    int calls = 0;
    ClassMask last;
    bool withGraphics = true;
};

class GameLevelTest : public WorldTest {
protected:
    // A positionable at (x, y).
    ComponentRef<Camera> place(float x, float y) {
        auto at = make<Camera>();
        at->SetPosition(Matrix3(Vector2{x, y}));
        return at;
    }
    ComponentRef<TileObject> tileObject(int tile, int renderLayer, IPositionable* at) {
        auto o = make<TileObject>();
        o->SetTile(tile);
        o->SetRenderLayer(renderLayer);
        o->SetPositionable(at);
        return o;
    }
};

TEST_F(GameLevelTest, GameObjectIsAScriptedObjectUnderItsOwnName) {
    run("g <- getComponent(\"GameObject\");"
        "loadFromScript(g, { value = 3, Render = function(graphics) {} });"
        "part <- getComponent(\"TileObject\");"
        "g.RegisterObject(\"body\", part);");
    EXPECT_EQ("GameObject", text("typeof g"));
    EXPECT_EQ("3", text("g.value"));
    EXPECT_EQ("true", text("g.GetObject(\"body\") == part"));
    auto* g = component("g");
    ASSERT_NE(nullptr, dynamic_cast<GameObject*>(g));
    EXPECT_NE(nullptr, queryInterface<IRenderable>(g)); // its script draws
    EXPECT_EQ(nullptr, queryInterface<IUpdateable>(g)); // but does not update
    EXPECT_NE(nullptr, queryInterface<IComponentGroup>(g));
    run("shutdown(g); delete ::g; delete ::part;");
}

// Tile objects of a dynamic layer's render layer land in that tile layer, everything else in the render
// group; a layer whose name matches no group is reported and changes nothing.
TEST_F(GameLevelTest, DynamicLayersTakeTheirTileObjects) {
    auto treeAt = place(40, 40);
    auto personAt = place(80, 40);
    auto tree = tileObject(kTree, 5, treeAt.get());
    auto person = tileObject(kPerson, 6, personAt.get());
    auto bodyAt = place(20, 60);
    auto body = tileObject(kPerson, 5, bodyAt.get()); // the tile of a game object, of the dynamic layer
    share("tree", tree.get());
    share("person", person.get());
    share("body", body.get());
    run("level <- getComponent(\"GameLevel\");"
        "ground <- getComponent(\"TileLayer\"); setIdentificator(ground, \"Ground\"); "
        "ground.SetRenderLayer(5);"
        "lost <- getComponent(\"TileLayer\"); setIdentificator(lost, \"Lost\"); lost.SetRenderLayer(6);"
        "level.AppendGroup(ground);"
        "level.SetDynamicLayer(ground);"
        "level.SetDynamicLayer(lost);");
    EXPECT_EQ("error: can't find group: Lost\n", takeLog());
    auto* level = dynamic_cast<GameLevel*>(component("level"));
    ASSERT_NE(nullptr, level);
    EXPECT_EQ(0xFFFFFFFFu & ~(1u << 3), level->registrationMask());
    run("level.RegisterObject(\"tree\", tree); level.RegisterObject(\"person\", person);"
        "walker <- getComponent(\"GameObject\"); walker.RegisterObject(\"body\", body);"
        "level.RegisterObject(\"walker\", walker);");
    takeLog();

    auto* ground = dynamic_cast<TileLayer*>(component("ground"));
    auto* lost = dynamic_cast<TileLayer*>(component("lost"));
    auto view = camera(60, 40);
    const auto byLevel = draw(120, 80, view.get(), [&](IGraphics& g) { level->Render(&g, ClassMask{}); });
    const auto byGround = draw(120, 80, view.get(), [&](IGraphics& g) { ground->Render(&g); });
    const auto byLost = draw(120, 80, view.get(), [&](IGraphics& g) { lost->Render(&g); });
    EXPECT_EQ(kClear, at(byLevel, 120, 40, 32));   // the tree is not in the render group
    EXPECT_EQ(kYellow, at(byGround, 120, 40, 32)); // but in its layer
    EXPECT_EQ(kRed, at(byLevel, 120, 80, 32));     // the person's layer matched no group
    EXPECT_EQ(kClear, at(byGround, 120, 80, 32));
    EXPECT_EQ(kClear, at(byLost, 120, 80, 32));
    EXPECT_EQ(kRed, at(byGround, 120, 20, 52)); // a part lands in its layer too
    EXPECT_EQ(kClear, at(byLevel, 120, 20, 52));

    // Unregistering takes the tree out of its layer again.
    run("level.UnregisterObject(\"tree\");");
    const auto after = draw(120, 80, view.get(), [&](IGraphics& g) { ground->Render(&g); });
    EXPECT_EQ(kClear, at(after, 120, 40, 32));
    run("level.UnregisterObject(\"walker\");");
    const auto none = draw(120, 80, view.get(), [&](IGraphics& g) { ground->Render(&g); });
    EXPECT_EQ(kClear, at(none, 120, 20, 52));
    run("shutdown(level); delete ::level; delete ::ground; delete ::lost; delete ::tree; delete ::person; "
        "delete ::body;"
        "shutdown(walker); delete ::walker;");
}

TEST_F(GameLevelTest, CantFindGroupIsLoggedWithTheName) {
    run("level <- getComponent(\"GameLevel\");"
        "lost <- getComponent(\"TileLayer\"); setIdentificator(lost, \"Harbour Lost\");"
        "level.SetDynamicLayer(lost);");
    EXPECT_EQ("error: can't find group: Harbour Lost\n", takeLog());
    auto* level = dynamic_cast<GameLevel*>(component("level"));
    ASSERT_NE(nullptr, level);
    EXPECT_EQ(0xFFFFFFFFu, level->registrationMask());
    run("shutdown(level); delete ::level; delete ::lost;");
}

// Registered in an order that differs from the identifiers' order: results follow registration.
TEST_F(GameLevelTest, FindObjectsByMaskInRegistrationOrder) {
    auto level = make<GameLevel>();
    auto zeta = make<TileObject>();
    auto beta = make<TileObject>();
    auto alpha = make<TileObject>();
    auto plain = make<Camera>(); // no classificators at all
    zeta->AddClassificator(1);
    beta->AddClassificator(3);
    alpha->AddClassificator(4);
    level->RegisterObject("zeta", zeta.get());
    level->RegisterObject("plain", plain.get());
    level->RegisterObject("beta", beta.get());
    level->RegisterObject("alpha", alpha.get());
    takeLog();
    IAbstract* z = abstractOf(zeta.get());
    IAbstract* p = abstractOf(plain.get());
    IAbstract* b = abstractOf(beta.get());
    IAbstract* a = abstractOf(alpha.get());
    struct Case {
        ClassMask mask;
        std::vector<IAbstract*> expected;
    };
    const std::vector<Case> cases = {
        {{0, 0}, {z, p, b, a}}, {{1, 0}, {z, b}}, {{1, 2}, {z}}, {{0, 4}, {z, p, b}},
        {{2, 0}, {b}},          {{8, 0}, {}},     {{0, 7}, {p}},
    };
    for (const Case& c : cases) {
        std::vector<IAbstract*> found;
        for (const auto& o : level->FindObjectsByMask(c.mask)) {
            found.push_back(abstractOf(o.get()));
        }
        EXPECT_EQ(c.expected, found) << c.mask.include << "/" << c.mask.exclude;
    }
    level->UnregisterObject("beta");
    EXPECT_EQ(3u, level->FindObjectsByMask({}).size());

    share("level", level.get());
    EXPECT_EQ("2", text("level.FindObjectsByMask(0, 1).len()"));
    EXPECT_EQ("true", text("level.FindObjectsByMask(1, 0)[0] == getComponent(\"TileObject\") || true"));
    run("delete ::level;");
    level->Shutdown();
}

// Picking: the frontmost (largest screen y) hit object within 350 screen units of the point in x and y.
TEST_F(GameLevelTest, GetObjectAtPicksTheFrontmostHitWithinReach) {
    run("level <- getComponent(\"GameLevel\");"
        "level.RegisterObject(\"Camera\", getComponent(\"Camera\"));"
        "asked <- [];"
        "function object(name, x, y, hit, classes) {"
        "  local o = getComponent(\"GameObject\");"
        "  local at = getComponent(\"Camera\");"
        "  setPosition(at, Matrix3(Vector2(x, y)));"
        "  o.SetPositionProvider(at);"
        "  loadFromScript(o, { who = name, answer = hit,"
        "    HitTest = function(point) { ::asked.append(who); ::lastPoint <- point; return answer; } });"
        "  addClassificator(o, classes);"
        "  level.RegisterObject(name, o);"
        "}"
        "object(\"far\", 500, 100, true, 0);"
        "object(\"back\", 100, 90, true, 0);"
        "object(\"front\", 110, 120, true, 0);"
        "object(\"miss\", 100, 200, false, 0);"
        "object(\"excluded\", 100, 300, true, 8);"
        "object(\"twinB\", 2000, 700, true, 0);"
        "object(\"twinA\", 2000, 700, true, 0);"
        "function pick(x, y, inc, exc) {"
        "  ::asked = [];"
        "  local o = level.GetObjectAt(Vector2(x, y), inc, exc);"
        "  return o == null ? \"null\" : getIdentificator(o);"
        "}");
    takeLog();
    struct Case {
        const char* call;
        const char* expected;
    };
    const Case cases[] = {
        {"pick(100, 100, 0, 8)", "front"},    {"pick(100, 100, 0, 0)", "excluded"},
        {"pick(100, 100, 8, 0)", "excluded"}, {"pick(100, 100, 16, 0)", "null"},
        {"pick(460, 100, 0, 8)", "front"},  // exactly 350 away in x still counts
        {"pick(460.5, 100, 0, 8)", "far"},  // half a unit more does not
        {"pick(100, 470, 0, 8)", "front"},  // and in y
        {"pick(100, 470.5, 0, 8)", "null"}, // "miss" is in reach but answers false
        {"pick(2000, 700, 0, 0)", "twinB"}, // equal heights: the first registered
        {"pick(5000, 5000, 0, 0)", "null"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, text(c.call)) << c.call;
    }
    // Objects out of reach or filtered out are not asked at all, nor are those above the best hit so far; the
    // point reaches HitTest as given.
    EXPECT_EQ("front", text("pick(100, 100, 0, 8)"));
    run("::joined <- \"\"; foreach (i, n in ::asked) ::joined += (i > 0 ? \",\" : \"\") + n;");
    EXPECT_EQ("back,front,miss", text("::joined"));
    EXPECT_EQ("100", text("::lastPoint.x"));
    // Without a part named "Camera" nothing is picked.
    run("level.UnregisterObject(\"Camera\");");
    EXPECT_EQ("null", text("pick(100, 100, 0, 8)"));
    run("shutdown(level); delete ::level;");
}

TEST_F(GameLevelTest, ObjectWatcherFollowsAndCorrects) {
    auto watcher = make<ObjectWatcher>();
    EXPECT_EQ(64, watcher->GetUpdateLayer());
    auto followed = place(100.25f, 50.75f);
    auto person = tileObject(kPerson, 0, followed.get());
    auto eye = make<Camera>();
    watcher->InitRender(32, 32);
    ASSERT_NE(nullptr, watcher->renderTarget());
    watcher->SetPositionable(followed.get());
    watcher->SetRenderable(person.get());
    watcher->SetCamera(eye.get(), Vector2{0, -8});
    watcher->Update(64, 16);
    EXPECT_EQ(0.0f, watcher->GetCorrection().x); // not enabled yet
    watcher->SetEnabled(true);
    watcher->Update(64, 16);
    EXPECT_FLOAT_EQ(-0.25f, watcher->GetCorrection().x);
    EXPECT_FLOAT_EQ(-0.75f, watcher->GetCorrection().y);
    EXPECT_FLOAT_EQ(42.75f, eye->GetPosition().GetOrigin().y); // the camera follows, offset included

    auto* rt = static_cast<RenderTarget*>(watcher->renderTarget());
    std::vector<std::uint32_t> pixels(32 * 32);
    ASSERT_TRUE(Gfx_ReadPixels(rt->deviceTarget(), 0, 0, 32, 32, pixels.data()));
    expectGolden("object_watcher", pixels, 32, 32);
    EXPECT_EQ(kRed, at(pixels, 32, 16, 16)); // the person, 8 units below the view's centre at its feet
    EXPECT_NE(kRed, at(pixels, 32, 1, 1));

    // Disabled: no drawing, and the last correction stays.
    auto counter = make<CountingRenderable>();
    watcher->SetRenderable(counter.get());
    watcher->SetRenderMask(6, 1);
    watcher->Update(64, 16);
    EXPECT_EQ(1, counter->calls);
    EXPECT_EQ(6u, counter->last.include);
    EXPECT_EQ(1u, counter->last.exclude);
    EXPECT_TRUE(counter->withGraphics);
    watcher->SetEnabled(false);
    followed->SetPosition(Matrix3(Vector2{7.5f, 3.0f}));
    watcher->Update(64, 16);
    EXPECT_EQ(1, counter->calls);
    EXPECT_FLOAT_EQ(-0.25f, watcher->GetCorrection().x);
    EXPECT_FLOAT_EQ(-0.75f, watcher->GetCorrection().y);

    // Each missing part stops the update.
    watcher->SetEnabled(true);
    watcher->SetCamera(nullptr, Vector2{});
    watcher->Update(64, 16);
    EXPECT_EQ(1, counter->calls);
    watcher->SetCamera(eye.get(), Vector2{});
    watcher->SetPositionable(nullptr);
    watcher->Update(64, 16);
    EXPECT_EQ(1, counter->calls);
    watcher->SetPositionable(followed.get());
    watcher->Update(64, 16);
    EXPECT_EQ(2, counter->calls);
    EXPECT_FLOAT_EQ(-0.5f, watcher->GetCorrection().x);
    watcher->Shutdown();
    EXPECT_EQ(nullptr, watcher->GetTexture());
    watcher->Update(64, 16);
    EXPECT_EQ(2, counter->calls);
}

TEST_F(GameLevelTest, ObjectWatcherFromScripts) {
    run("w <- getComponent(\"ObjectWatcher\");"
        "w.InitRender(0, 16);");
    EXPECT_NE(std::string::npos, takeLog().find("InitRender: a 0 x 16 render target can't be made"));
    EXPECT_EQ("ObjectWatcher", text("typeof w"));
    EXPECT_EQ("true", text("w.GetTexture() == null"));
    run("w.InitRender(16, 16);"
        "at <- getComponent(\"Camera\"); setPosition(at, Matrix3(Vector2(3.5, 4.25)));"
        "eye <- getComponent(\"Camera\");"
        "thing <- getComponent(\"TileObject\"); thing.SetTile(0); setPositionable(thing, at);"
        "w.SetPositionable(at); w.SetRenderable(thing); w.SetRenderMask(0, 0);"
        "w.SetCamera(eye, Vector2(0, 0)); w.SetEnabled(true);");
    EXPECT_EQ("false", text("w.GetTexture() == null"));
    auto* w = dynamic_cast<ObjectWatcher*>(component("w"));
    ASSERT_NE(nullptr, w);
    w->Update(64, 10);
    EXPECT_EQ("-0.5,-0.25", text("w.GetCorrection().x + \",\" + w.GetCorrection().y"));
    run("shutdown(w); delete ::w; delete ::at; delete ::eye; delete ::thing;");
}

} // namespace
