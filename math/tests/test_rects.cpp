// Rect and RectF: emptiness, point tests, union and intersection.

#include <gtest/gtest.h>

#include "math/rect.h"
#include "math/rect_f.h"

namespace {

void expectRect(const Rect& r, int x, int y, int w, int h, const char* label) {
    EXPECT_EQ(r.X, x) << label;
    EXPECT_EQ(r.Y, y) << label;
    EXPECT_EQ(r.Width, w) << label;
    EXPECT_EQ(r.Height, h) << label;
}

TEST(Rect, EmptinessAndPointTests) {
    EXPECT_TRUE(Rect(0, 0, 0, 5).IsEmpty());
    EXPECT_TRUE(Rect(0, 0, 5, -1).IsEmpty());
    EXPECT_FALSE(Rect(0, 0, 1, 1).IsEmpty());
    struct Case {
        int x, y;
        bool inside;
    } cases[] = {{0, 0, true}, {9, 9, true}, {10, 5, false}, {5, 10, false}, {-1, 0, false}};
    Rect r(0, 0, 10, 10);
    for (const auto& c : cases) {
        EXPECT_EQ(r.IsPointIn(c.x, c.y), c.inside) << c.x << "," << c.y;
    }
    // The right edge is computed without wrapping around the integer range.
    EXPECT_TRUE(Rect(2147483600, 0, 100, 10).IsPointIn(2147483647, 5));
    EXPECT_TRUE(Rect(0, 0, 2147483647, 2147483647).IsPointIn(2147483646, 0));
}

TEST(Rect, UnionAndIntersect) {
    Rect r;
    r.Union(Rect(3, 4, 5, 6));
    expectRect(r, 3, 4, 5, 6, "empty takes the other");
    r = Rect(0, 0, 10, 10);
    r.Union(Rect(5, 5, 10, 10));
    expectRect(r, 0, 0, 15, 15, "overlapping union");
    r.Union(Rect(20, -5, 1, 1));
    expectRect(r, 0, -5, 21, 20, "distant union");
    r = Rect(0, 0, 10, 10);
    r.Intersect(Rect(5, 5, 10, 10));
    expectRect(r, 5, 5, 5, 5, "overlap");
    r = Rect(0, 0, 10, 10);
    r.Intersect(Rect(20, 20, 5, 5));
    expectRect(r, 20, 20, -10, -10, "disjoint gives an empty rectangle");
    EXPECT_TRUE(r.IsEmpty());
}

TEST(RectF, MirrorsRectWithFloats) {
    EXPECT_TRUE(RectF(0, 0, 0, 5).IsEmpty());
    EXPECT_TRUE(RectF(0, 0, 10, 10).IsPointIn(9.99f, 0));
    EXPECT_FALSE(RectF(0, 0, 10, 10).IsPointIn(10, 5));
    RectF r(0.5f, 0.5f, 1, 1);
    r.Union(RectF(2, 0, 0.5f, 0.25f));
    EXPECT_FLOAT_EQ(r.X, 0.5f);
    EXPECT_FLOAT_EQ(r.Y, 0);
    EXPECT_FLOAT_EQ(r.Width, 2);
    EXPECT_FLOAT_EQ(r.Height, 1.5f);
    r.Intersect(RectF(1, 1, 10, 10));
    EXPECT_FLOAT_EQ(r.X, 1);
    EXPECT_FLOAT_EQ(r.Y, 1);
    EXPECT_FLOAT_EQ(r.Width, 1.5f);
    EXPECT_FLOAT_EQ(r.Height, 0.5f);
}

TEST(Rect, TextFormsAndMembers) {
    EXPECT_EQ(Rect(1, -2, 3, 4).toString(), "Rect(1, -2, 3, 4)");
    EXPECT_EQ(RectF(1.5f, 0, -2, 4).toString(), "RectF(1.500000, 0.000000, -2.000000, 4.000000)");
    ASSERT_EQ(Rect::Members().size(), 4u);
    EXPECT_STREQ(Rect::Members()[2].name, "Width");
    EXPECT_EQ(Rect::Members()[2].kind, ValueMemberKind::Int32);
    EXPECT_EQ(RectF::Members()[3].offset, 12u);
    EXPECT_EQ(RectF::Members()[3].kind, ValueMemberKind::Float);
}

} // namespace
