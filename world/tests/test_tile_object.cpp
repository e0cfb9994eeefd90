// Tile objects: drawing at a positionable through the camera, clipping, highlighting, hit tests on opaque and
// transparent pixels, bounds, and joints that outlive their tile object.
#include "world/tests/world_fixture.h"
#include "world/tile_object.h"

namespace {

using namespace world::test;

template <class T> ComponentRef<T> make() {
    return ComponentRef<T>::adopt(new T);
}

class TileObjectTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        m_object = make<TileObject>();
        m_place = make<Camera>(); // any positionable
        m_place->SetPosition(Matrix3(Vector2{20, 24}));
        m_view = camera(32, 16); // a 64 x 32 target: world (0, 0) at UI (0, 0)
    }
    std::vector<std::uint32_t> drawObject() {
        return draw(64, 32, m_view.get(), [&](IGraphics& g) { m_object->Render(&g); });
    }

    ComponentRef<TileObject> m_object;
    ComponentRef<Camera> m_place;
    ComponentRef<Camera> m_view;
};

TEST_F(TileObjectTest, DrawsOnlyWithPositionableTileVisibilityAndCamera) {
    m_object->SetTile(kPerson);
    EXPECT_EQ(kClear, at(drawObject(), 64, 20, 16)); // no positionable
    m_object->SetPositionable(m_place.get());
    m_object->SetTile(-1);
    EXPECT_EQ(kClear, at(drawObject(), 64, 20, 16));
    m_object->SetTile(kPerson);
    EXPECT_EQ(kRed, at(drawObject(), 64, 20, 16));
    m_object->SetVisible(false);
    EXPECT_EQ(kClear, at(drawObject(), 64, 20, 16));
    EXPECT_FALSE(m_object->HitTest(Vector2{20, 16}, m_view.get(), false));
    m_object->SetVisible(true);
    const auto blind = draw(64, 32, nullptr, [&](IGraphics& g) { m_object->Render(&g); });
    EXPECT_EQ(kClear, at(blind, 64, 20, 16));
    // A mask the object's classificators do not meet.
    const auto masked = draw(64, 32, m_view.get(), [&](IGraphics& g) {
        m_object->Render(&g, ClassMask{4, 0});
    });
    EXPECT_EQ(kClear, at(masked, 64, 20, 16));
    m_object->AddClassificator(4);
    const auto matched = draw(64, 32, m_view.get(), [&](IGraphics& g) {
        m_object->Render(&g, ClassMask{4, 0});
    });
    EXPECT_EQ(kRed, at(matched, 64, 20, 16));
}

// Colour, highlight, clipping and sub-pixel placement in one picture.
TEST_F(TileObjectTest, ColourHighlightAndClip) {
    auto other = make<TileObject>();
    auto otherPlace = make<Camera>();
    otherPlace->SetPosition(Matrix3(Vector2{44, 24}));
    other->SetPositionable(otherPlace.get());
    other->SetTile(kPerson);
    other->SetHighlighted(true);
    m_tiles->SetHighlightBlendMode(BLEND_COLORADD | BLEND_ALPHABLEND);
    m_tiles->SetHighlightColor(0xFF2F8F2Fu);
    m_object->SetPositionable(m_place.get());
    m_object->SetTile(kPerson);
    m_object->SetColor(0xFF8080FFu);
    m_object->SetClip(Rect(12, 8, 16, 6)); // screen coordinates: the upper half of the disc
    const auto out = draw(64, 32, m_view.get(), [&](IGraphics& g) {
        m_object->Render(&g);
        other->Render(&g);
        g.SetColor(0xFFFFFFFFu);
        g.DrawRect(0, 0, 64, 32); // the clip was given back
    });
    expectGolden("tile_object_clip_highlight", out, 64, 32);
    EXPECT_EQ(0xFF681020u, at(out, 64, 20, 12)); // red x (0x80, 0x80, 0xFF) / 255
    EXPECT_EQ(kClear, at(out, 64, 20, 16));      // clipped away
    EXPECT_EQ(0xFFFFAF4Fu, at(out, 64, 44, 16)); // red plus the highlight colour
    EXPECT_EQ(kWhite, at(out, 64, 63, 16));

    m_object->SetClip(Rect(12, 8, 0, 6)); // no width: no clipping
    m_object->SetColor(0xFFFFFFFFu);
    EXPECT_EQ(kRed, at(drawObject(), 64, 20, 16));
}

TEST_F(TileObjectTest, HitTestsExactAndByRectangle) {
    m_object->SetPositionable(m_place.get());
    m_object->SetTile(kPerson);
    draw(64, 32, m_view.get(), [](IGraphics&) {}); // the view applies the camera once
    // The disc's centre, its transparent corner, and outside the tile.
    EXPECT_TRUE(m_object->HitTest(Vector2{20, 16}, m_view.get(), true));
    EXPECT_FALSE(m_object->HitTest(Vector2{13, 9}, m_view.get(), true));
    EXPECT_TRUE(m_object->HitTest(Vector2{13, 9}, m_view.get(), false)); // the rectangle holds it
    EXPECT_FALSE(m_object->HitTest(Vector2{29, 16}, m_view.get(), false));
    EXPECT_FALSE(m_object->HitTest(Vector2{20, 16}, nullptr, true));
    m_object->SetTile(-1);
    EXPECT_FALSE(m_object->HitTest(Vector2{20, 16}, m_view.get(), false));
}

TEST_F(TileObjectTest, BoundsAndDepthKey) {
    m_object->SetTile(kPerson); // rectangle (-8, -16, 16, 16)
    RectF r = m_object->GetBoundingRect(ClassMask{});
    EXPECT_EQ(-8.0f, r.X);
    EXPECT_EQ(-16.0f, r.Y);
    EXPECT_EQ(17.0f, r.Width);
    EXPECT_EQ(17.0f, r.Height);
    m_place->SetPosition(Matrix3({0.0f, 1.0f}, {-1.0f, 0.0f}, {100.0f, 50.0f})); // a quarter turn
    m_object->SetPositionable(m_place.get());
    r = m_object->GetBoundingRect(ClassMask{});
    EXPECT_EQ(100.0f, r.X);
    EXPECT_EQ(42.0f, r.Y);
    EXPECT_EQ(17.0f, r.Width);
    EXPECT_EQ(17.0f, r.Height);
    EXPECT_EQ(50.0f, m_object->GetDepthKey(ComponentRef<ICamera>(m_view.get())));
    EXPECT_EQ(0.0f, make<TileObject>()->GetDepthKey(ComponentRef<ICamera>(m_view.get())));
}

TEST_F(TileObjectTest, JointsFollowAndOutliveTheirObject) {
    m_object->SetPositionable(m_place.get());
    m_object->SetTile(kPerson);
    EXPECT_FALSE(m_object->GetJoint(2));
    ComponentRef<IPositionable> joint = m_object->GetJoint(1);
    ASSERT_TRUE(joint);
    EXPECT_EQ(joint.get(), m_object->GetJoint(1).get());
    EXPECT_EQ(20.0f, joint->GetPosition().GetOrigin().x);
    EXPECT_EQ(12.0f, joint->GetPosition().GetOrigin().y);
    m_place->SetPosition(Matrix3({2.0f, 0.0f}, {0.0f, 2.0f}, {100.0f, 100.0f}));
    EXPECT_EQ(100.0f, joint->GetPosition().GetOrigin().x);
    EXPECT_EQ(76.0f, joint->GetPosition().GetOrigin().y); // 100 + 2 x -12
    joint->SetPosition(Matrix3(Vector2{5, 5}));           // read-only
    EXPECT_EQ(76.0f, joint->GetPosition().GetOrigin().y);

    // The tile object goes away while a script still holds the joint: identity from then on.
    m_object.reset();
    EXPECT_EQ(0.0f, joint->GetPosition().GetOrigin().x);
    EXPECT_EQ(1.0f, joint->GetPosition().m[0][0]);
    auto again = make<TileObject>();
    again->SetPositionable(m_place.get());
    again->SetTile(kPerson);
    ComponentRef<IPositionable> kept = again->GetJoint(1);
    again->Shutdown();
    EXPECT_EQ(0.0f, kept->GetPosition().GetOrigin().x);
    m_object = make<TileObject>();
}

TEST_F(TileObjectTest, WorksFromScripts) {
    share("place", m_place.get());
    share("view", m_view.get());
    draw(64, 32, m_view.get(), [](IGraphics&) {});
    run("o <- getComponent(\"TileObject\");"
        "setPositionable(o, place);"
        "o.SetTile(2); o.SetRenderLayer(1); o.SetColor(0xFFFFFFFF); o.SetHighlighted(false);"
        "o.EnableFloatCoords(true); o.SetClip(Rect(0, 0, 0, 0));");
    EXPECT_EQ("2", text("o.GetTile()"));
    EXPECT_EQ("true", text("o.HitTest(Vector2(20, 16), view, true)"));
    EXPECT_EQ("false", text("o.HitTest(Vector2(13, 9), view, true)"));
    EXPECT_EQ("true", text("o.GetJoint(3) == null"));
    EXPECT_EQ("RectF(12.000000, 8.000000, 17.000000, 17.000000)", text("getBoundingRect(o)"));
    run("j <- o.GetJoint(1); o2 <- getComponent(\"TileObject\"); setPositionable(o2, j);");
    EXPECT_EQ("true", text("o.GetJoint(1) == j"));
    run("delete ::o; delete ::j; delete ::o2; delete ::place; delete ::view;");
}

} // namespace
