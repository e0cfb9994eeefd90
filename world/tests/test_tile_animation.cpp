// Tile animations through real scripts: data from script tables, frames by time, channels by heading, phases,
// missing names, degenerate data and data replaced under a playing animation.
#include <cmath>

#include "world/tests/world_fixture.h"
#include "world/tile_animation.h"
#include "world/tile_object.h"

namespace {

using namespace world::test;

class TileAnimationTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        run("data <- getComponent(\"TileAnimationData\");"
            "::loaded <- loadFromScript(data, {"
            "  Walk = { Time = 1000, Channels = [[10, 11, 12, 13], [20, 21, 22, 23], [30, 31, 32, 33], [40, "
            "41, 42, 43]] },"
            "  Spin = { Time = 400.9, Channels = [[1, 2]] },"
            "  Still = { Time = 0, Channels = [[7, 8, 9]] },"
            "  Empty = { Time = 100, Channels = [] },"
            "  Hole = { Time = 100, Channels = [[]] },"
            "  Bare = { Time = 100 },"
            "  Odd = { Time = \"soon\", Channels = [[5, \"x\", 6.7]] }"
            "});"
            "object <- getComponent(\"TileObject\");"
            "place <- getComponent(\"Camera\");"
            "anim <- getComponent(\"TileAnimation\");"
            "anim.SetAnimationData(data);"
            "setSlaveObject(anim, object);"
            "setPositionable(anim, place);");
        m_anim = dynamic_cast<TileAnimation*>(component("anim"));
        m_object = dynamic_cast<TileObject*>(component("object"));
        m_place = dynamic_cast<Camera*>(component("place"));
        ASSERT_NE(nullptr, m_anim);
        ASSERT_NE(nullptr, m_object);
        ASSERT_NE(nullptr, m_place);
    }
    void TearDown() override {
        run("delete ::data; delete ::object; delete ::place; delete ::anim;");
        WorldTest::TearDown();
    }
    void heading(float x, float y) { m_place->SetPosition(Matrix3(Vector2{x, y}, Vector2{0, 0})); }
    std::int32_t step(std::int32_t ms) {
        m_anim->Update(TileAnimation::UpdateLayer, ms);
        return m_object->GetTile();
    }

    TileAnimation* m_anim = nullptr;
    TileObject* m_object = nullptr;
    Camera* m_place = nullptr;
};

TEST_F(TileAnimationTest, FramesByTimeChannelsByHeading) {
    EXPECT_EQ("true", text("loaded"));
    EXPECT_EQ("true", text("setAnimation(anim, \"Walk\", 0.0)"));
    EXPECT_EQ("Walk", text("anim.GetAnimationName()"));
    EXPECT_EQ(32, m_anim->GetUpdateLayer());
    heading(1, 0);
    const struct {
        std::int32_t advance;
        std::int32_t tile;
    } frames[] = {{0, 10}, {249, 10}, {1, 11}, {249, 11}, {1, 12}, {250, 13}, {250, 10}, {999, 13}};
    for (const auto& f : frames) {
        EXPECT_EQ(f.tile, step(f.advance)) << "after " << m_anim->elapsed();
    }
    // Channel k of 4 serves headings from k quarter turns on: (1, 0) 0, (0, 1) 1, (-1, 0) 2, (0, -1) 3.
    const struct {
        float x, y;
        std::int32_t tile;
    } headings[] = {{1, 0, 10}, {0, 1, 20}, {-1, 0, 30}, {0, -1, 40}, {1, -0.01f, 40}, {1, 0.01f, 10}};
    ASSERT_TRUE(m_anim->SetAnimation("Walk", 0.0f));
    for (const auto& h : headings) {
        heading(h.x, h.y);
        EXPECT_EQ(h.tile, step(0)) << "heading " << h.x << ", " << h.y;
    }

    // Phases: a half starts on frame 2; only the fraction counts, and a negative phase counts back.
    heading(1, 0);
    for (const auto& [phase, tile] :
         std::vector<std::pair<float, int>>{{0.5f, 12}, {1.25f, 11}, {-0.25f, 13}, {NAN, 10}}) {
        ASSERT_TRUE(m_anim->SetAnimation("Walk", phase));
        EXPECT_EQ(tile, step(0)) << phase;
    }
    EXPECT_EQ("1000", text("anim.GetAnimationTime(\"Walk\")"));
    EXPECT_EQ("400", text("anim.GetAnimationTime(\"Spin\")")); // truncated
    EXPECT_EQ("-1", text("anim.GetAnimationTime(\"Run\")"));
}

TEST_F(TileAnimationTest, OneChannelServesEveryHeading) {
    ASSERT_TRUE(m_anim->SetAnimation("Spin", 0.0f));
    for (float angle = 0.0f; angle < 6.3f; angle += 0.7f) {
        heading(std::cos(angle), std::sin(angle));
        EXPECT_EQ(1, step(0));
    }
    EXPECT_EQ(2, step(200));
}

TEST_F(TileAnimationTest, MissingNamesAndMissingPartsChangeNothingElse) {
    heading(1, 0);
    m_object->SetTile(5);
    EXPECT_EQ("false", text("setAnimation(anim, \"Run\", 0.0)"));
    EXPECT_NE(std::string::npos, takeLog().find("Animation \"Run\" is not found"));
    EXPECT_EQ(-1, m_object->GetTile());
    EXPECT_EQ("", text("anim.GetAnimationName()"));
    EXPECT_EQ(-1, step(100));

    // Without a positionable the tile stays, while the time goes on.
    ASSERT_TRUE(m_anim->SetAnimation("Walk", 0.0f));
    m_anim->SetPositionable(nullptr);
    m_object->SetTile(99);
    EXPECT_EQ(99, step(500));
    EXPECT_EQ(500u, m_anim->elapsed());
    run("setPositionable(anim, place);");
    EXPECT_EQ(12, step(0));

    // Degenerate data never divides by zero.
    for (const char* name : {"Empty", "Hole", "Bare"}) {
        ASSERT_TRUE(m_anim->SetAnimation(name, 0.5f)) << name;
        m_object->SetTile(99);
        EXPECT_EQ(99, step(30)) << name;
    }
    ASSERT_TRUE(m_anim->SetAnimation("Still", 0.5f)); // time 0: the first frame
    EXPECT_EQ(7, step(12345));
    ASSERT_TRUE(m_anim->SetAnimation("Odd", 0.0f)); // non-numbers read as 0
    EXPECT_EQ("0", text("anim.GetAnimationTime(\"Odd\")"));
    EXPECT_EQ(5, step(0));

    // Not a table: refused, the data stays.
    EXPECT_EQ("false", text("loadFromScript(data, [1, 2])"));
    EXPECT_EQ("1000", text("anim.GetAnimationTime(\"Walk\")"));
    EXPECT_FALSE(TileAnimation().SetAnimation("Walk", 0.0f)); // no data
}

// Reloading the data while an animation plays: same-named animations go on from the new data; a vanished
// one stops changing the tile.
TEST_F(TileAnimationTest, DataReplacedUnderAPlayingAnimation) {
    heading(1, 0);
    ASSERT_TRUE(m_anim->SetAnimation("Walk", 0.0f));
    EXPECT_EQ(10, step(0));
    run("loadFromScript(data, { Walk = { Time = 1000, Channels = [[50, 51]] } });");
    EXPECT_EQ(51, step(500));
    run("local other = getComponent(\"TileAnimationData\");"
        "loadFromScript(other, { Fly = { Time = 10, Channels = [[60]] } });"
        "anim.SetAnimationData(other);");
    m_object->SetTile(3);
    EXPECT_EQ(3, step(100));
    EXPECT_EQ("", text("anim.GetAnimationName()"));
    EXPECT_EQ("true", text("setAnimation(anim, \"Fly\", 0.0)"));
    EXPECT_EQ(60, step(0));
    m_anim->Shutdown();
    EXPECT_EQ("", text("anim.GetAnimationName()"));
    EXPECT_EQ("-1", text("anim.GetAnimationTime(\"Fly\")"));
}

// Driven by the System object's update group, the way the game runs it.
TEST_F(TileAnimationTest, PlaysInTheUpdateGroup) {
    run("::system <- getComponent(\"System\");"
        "updateComponent(anim, 32, 0);");
    heading(1, 0);
    ASSERT_TRUE(m_anim->SetAnimation("Walk", 0.0f));
    run("updateComponent(anim, 32, 750);");
    EXPECT_EQ(13, m_object->GetTile());
    run("delete ::system;");
}

} // namespace
