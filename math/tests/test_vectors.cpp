// Vector2, Vector3, Vector4: constructors, operators, methods and text forms. Expected values are
// worked out by hand.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "math/vector2.h"
#include "math/vector3.h"
#include "math/vector4.h"

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

void expectVec(const Vector2& v, float x, float y, const char* label) {
    EXPECT_FLOAT_EQ(v.x, x) << label;
    EXPECT_FLOAT_EQ(v.y, y) << label;
}

void expectVec(const Vector3& v, float x, float y, float z, const char* label) {
    EXPECT_FLOAT_EQ(v.x, x) << label;
    EXPECT_FLOAT_EQ(v.y, y) << label;
    EXPECT_FLOAT_EQ(v.z, z) << label;
}

void expectVec(const Vector4& v, float x, float y, float z, float w, const char* label) {
    EXPECT_FLOAT_EQ(v.x, x) << label;
    EXPECT_FLOAT_EQ(v.y, y) << label;
    EXPECT_FLOAT_EQ(v.z, z) << label;
    EXPECT_FLOAT_EQ(v.w, w) << label;
}

TEST(Vector, ConstructorForms) {
    expectVec(Vector2(), 0, 0, "Vector2()");
    expectVec(Vector2(3), 3, 3, "Vector2(s)");
    expectVec(Vector3(1), 1, 1, 1, "Vector3(s)");
    expectVec(Vector3(1, 2), 1, 2, 0, "Vector3(x, y)");
    expectVec(Vector4(2), 2, 2, 2, 2, "Vector4(s)");
    expectVec(Vector4(1, 2), 1, 2, 0, 0, "Vector4(x, y)");
    expectVec(Vector4(1, 2, 3), 1, 2, 3, 0, "Vector4(x, y, z)");
}

TEST(Vector, Operators) {
    expectVec(Vector2(1, 2) + Vector2(3, 5), 4, 7, "add");
    expectVec(Vector2(1, 2) - Vector2(3, 5), -2, -3, "sub");
    expectVec(Vector2(1, -2) * 1.5f, 1.5f, -3, "mul");
    expectVec(-Vector2(1, -2), -1, 2, "unm");
    expectVec(Vector3(1, 2, 3) + Vector3(1, 1, 1), 2, 3, 4, "add3");
    expectVec(-Vector3(1, 2, 3), -1, -2, -3, "unm3");
    expectVec(Vector4(1, 2, 3, 4) * 2.0f, 2, 4, 6, 8, "mul4");
    expectVec(Vector4(2, 4, 6, 8) / 2.0f, 1, 2, 3, 4, "div4");
}

TEST(Vector, DivisionMultipliesByTheReciprocal) {
    // 5 / 3 rounds to 1.66666663 in float; 5 * (1 / 3) rounds to 1.66666675.
    EXPECT_EQ((Vector2(5, 5) / 3.0f).x, 1.66666675f);
    EXPECT_EQ((Vector3(5) / 3.0f).z, 1.66666675f);
    EXPECT_EQ((Vector4(5) / 3.0f).w, 1.66666675f);
}

TEST(Vector, Magnitudes) {
    EXPECT_FLOAT_EQ(Vector2(3, 4).GetMagnitude(), 5);
    EXPECT_FLOAT_EQ(Vector2(3, 4).GetSquareMagnitude(), 25);
    EXPECT_FLOAT_EQ(Vector3(2, 3, 6).GetMagnitude(), 7);
    EXPECT_FLOAT_EQ(Vector4(1, 2, 2, 4).GetMagnitude(), 5);
    expectVec(Vector2(3, 4).GetNormalized(), 0.6f, 0.8f, "normalized2");
    expectVec(Vector3(2, 3, 6).GetNormalized(), 2.0f / 7, 3.0f / 7, 6.0f / 7, "normalized3");
    Vector4 v(1, 2, 2, 4);
    v.Normalize();
    expectVec(v, 0.2f, 0.4f, 0.4f, 0.8f, "normalize4");
    Vector2 zero;
    zero.Normalize();
    EXPECT_TRUE(std::isnan(zero.x));
}

TEST(Vector, ValidityAndEquality) {
    EXPECT_TRUE(Vector2(1, -2).IsValid());
    EXPECT_FALSE(Vector2(std::numeric_limits<float>::quiet_NaN(), 0).IsValid());
    EXPECT_FALSE(Vector2(0, std::numeric_limits<float>::infinity()).IsValid());
    EXPECT_TRUE(Vector2(1, 2).Equal(Vector2(1, 2)));
    EXPECT_FALSE(Vector2(1, 2).Equal(Vector2(1, 2.0000002f)));
}

TEST(Vector, ClassLevelProducts) {
    EXPECT_FLOAT_EQ(Vector2::GetDotProduct({1, 2}, {3, 4}), 11);
    EXPECT_FLOAT_EQ(Vector3::GetDotProduct({1, 2, 3}, {4, 5, 6}), 32);
    EXPECT_FLOAT_EQ(Vector4::GetDotProduct({1, 2, 3, 4}, {5, 6, 7, 8}), 70);
    expectVec(Vector3::GetCrossProduct({1, 0, 0}, {0, 1, 0}), 0, 0, 1, "x cross y");
    expectVec(Vector3::GetCrossProduct({2, 3, 4}, {5, 6, 7}), -3, 6, -3, "cross");
    expectVec(Vector4::GetCrossProduct({2, 3, 4, 9}, {5, 6, 7, 9}), -3, 6, -3, "cross of xyz parts");
    expectVec(Vector2::GetOrthogonal({2, 3}), -3, 2, "orthogonal");
}

TEST(Vector, Lerp) {
    expectVec(Vector2::Lerp({0, 0}, {10, 20}, 0.25f), 2.5f, 5, "lerp2");
    expectVec(Vector3::Lerp({1, 1, 1}, {3, 5, -1}, 0.5f), 2, 3, 0, "lerp3");
    expectVec(Vector4::Lerp({0, 0, 0, 0}, {4, 8, 12, 16}, 0.75f), 3, 6, 9, 12, "lerp4");
    expectVec(Vector2::Lerp({1, 2}, {3, 4}, 2.0f), 5, 6, "extrapolates");
}

TEST(Vector, AngleBetweenIsSignedByTurnDirection) {
    struct Case {
        Vector2 a, b;
        float expected;
    } cases[] = {
        {{1, 0}, {0, 1}, -kPi / 2},
        {{0, 1}, {1, 0}, kPi / 2},
        {{1, 0}, {1, 0}, 0},
        {{1, 0}, {-1, 0}, kPi},
        {{1, 0}, {-1.0000002f, 0}, kPi}, // dot below -1 is clamped
        {{1, 0}, {1.0000002f, 0}, 0},    // dot above 1 is clamped
        {{0, 1}, {0.70710678f, 0.70710678f}, kPi / 4},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(Vector2::AngleBetween(c.a, c.b), c.expected, 1e-6f) << c.a.x << "," << c.a.y;
    }
}

TEST(Vector, TextForms) {
    EXPECT_EQ(Vector2(1.5f, -2).toString(), "Vector2(1.500000, -2.000000)");
    EXPECT_EQ(Vector3(0, 0.25f, 3).toString(), "Vector3(0.000000, 0.250000, 3.000000)");
    EXPECT_EQ(Vector4(1, 2, 3, 4).toString(), "Vector4(1.000000, 2.000000, 3.000000, 4.000000)");
    // The widest float still fits.
    float big = std::numeric_limits<float>::max();
    EXPECT_EQ(Vector4(-big, -big, -big, -big).toString().size(), 4 * 47 + 15u);
}

TEST(Vector, CompareFollowsMemoryBytes) {
    // 1.0f is 00 00 80 3F in memory and 2.0f is 00 00 00 40: byte order puts 1 after 2.
    EXPECT_EQ(compareValueBytes(Vector2(1, 0), Vector2(2, 0)), 1);
    EXPECT_EQ(compareValueBytes(Vector3(1, 2, 3), Vector3(1, 2, 3)), 0);
    EXPECT_EQ(compareValueBytes(Vector4(0, 0, 0, 0), Vector4(0, 0, 0, 1)), -1);
}

TEST(Vector, MemberTablesName32BitFloatFields) {
    auto members = Vector4::Members();
    ASSERT_EQ(members.size(), 4u);
    EXPECT_STREQ(members[3].name, "w");
    EXPECT_EQ(members[3].offset, 12u);
    EXPECT_EQ(members[3].kind, ValueMemberKind::Float);
    EXPECT_EQ(Vector2::Members().size(), 2u);
    EXPECT_EQ(Vector3::Members()[2].offset, 8u);
}

} // namespace
