// Quaternion: construction, arithmetic, matrix round trips and interpolation. Expected rotations
// come from geometry (half-angle sines and cosines) and from Matrix4's own rotation builders.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "math/quaternion.h"

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

void expectQuat(const Quaternion& q, float x, float y, float z, float w, float tolerance, const char* label) {
    EXPECT_NEAR(q.v.x, x, tolerance) << label;
    EXPECT_NEAR(q.v.y, y, tolerance) << label;
    EXPECT_NEAR(q.v.z, z, tolerance) << label;
    EXPECT_NEAR(q.w, w, tolerance) << label;
}

TEST(Quaternion, ConstructorForms) {
    expectQuat(Quaternion(), 0, 0, 0, 0, 0, "default");
    expectQuat(Quaternion(1, 2, 3, 4), 1, 2, 3, 4, 0, "components");
    expectQuat(Quaternion(0.0f, Vector3(0, 0, 1)), 0, 0, 0, 1, 0, "angle 0");
    expectQuat(Quaternion(kPi, Vector3(0, 0, 1)), 0, 0, 1, 0, 1e-6f, "half turn");
    expectQuat(Quaternion(kPi / 2, Vector3(0, 0, 2)), 0, 0, 2 * 0.70710678f, 0.70710678f, 1e-6f,
               "axis not normalised");
    expectQuat(Quaternion(Matrix4::RotationZ(-kPi / 2)), 0, 0, 0.70710678f, 0.70710678f, 1e-6f,
               "from matrix");
}

TEST(Quaternion, Arithmetic) {
    Quaternion q(1, 2, 3, 4);
    expectQuat(q + Quaternion(1, 1, 1, 1), 2, 3, 4, 5, 0, "add");
    expectQuat(q - Quaternion(1, 1, 1, 1), 0, 1, 2, 3, 0, "sub");
    expectQuat(q * 2.0f, 2, 4, 6, 8, 0, "mul");
    expectQuat(q / 2.0f, 0.5f, 1, 1.5f, 2, 0, "div");
    expectQuat(-q, -1, -2, -3, 4, 0, "unm is the conjugate");
    expectQuat(q.Inverse(), -1.0f / 30, -2.0f / 30, -3.0f / 30, 4.0f / 30, 1e-7f, "inverse");
    EXPECT_FLOAT_EQ(Quaternion(1, 2, 2, 4).GetMagnitude(), 5);
    EXPECT_FLOAT_EQ(Quaternion(1, 2, 2, 4).GetSquareMagnitude(), 25);
    expectQuat(Quaternion(1, 2, 2, 4).GetNormalized(), 0.2f, 0.4f, 0.4f, 0.8f, 1e-7f, "normalized");
}

TEST(Quaternion, ToMatrixMatchesTheRotationBuilders) {
    // A quarter turn about Z; its matrix has rows (0, -1), (1, 0) like RotationZ(-pi/2).
    Matrix4 m = Quaternion(kPi / 2, Vector3(0, 0, 1)).ToMatrix();
    Matrix4 expected = Matrix4::RotationZ(-kPi / 2);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            EXPECT_NEAR(m.m[i][j], expected.m[i][j], 1e-6f) << i << "," << j;
        }
    }
}

TEST(Quaternion, FromMatrixInvertsToMatrixOnEveryBranch) {
    const Quaternion cases[] = {
        Quaternion(0.3f, Vector3(0.6f, 0.8f, 0)),      // positive trace
        Quaternion(1, 0, 0, 0),                        // half turn about x: x is largest
        Quaternion(0, 1, 0, 0),                        // y is largest
        Quaternion(0, 0, 1, 0),                        // z is largest
        Quaternion(3.0f, Vector3(0.48f, 0.6f, 0.64f)), // near half turn, mixed axis
        Quaternion(2.9f, Vector3(-0.8f, 0, 0.6f)),
    };
    for (const auto& q : cases) {
        Quaternion back;
        back.FromMatrix(q.ToMatrix());
        // q and -q are the same rotation.
        float sign = (back.w * q.w + Vector3::GetDotProduct(back.v, q.v)) < 0 ? -1.0f : 1.0f;
        expectQuat(back * sign, q.v.x, q.v.y, q.v.z, q.w, 1e-5f, q.toString().c_str());
    }
}

TEST(Quaternion, SlerpFollowsTheShorterArc) {
    Quaternion identity(0, 0, 0, 1);
    Quaternion quarter(kPi / 2, Vector3(0, 0, 1));
    // Halfway between no turn and a quarter turn is an eighth turn: (0, 0, sin 22.5deg, cos 22.5deg).
    Quaternion q;
    q.Slerp(identity, quarter, 0.5f);
    expectQuat(q, 0, 0, 0.38268343f, 0.92387953f, 1e-6f, "midpoint");
    // The same rotation given with opposite sign takes the same path.
    q.Slerp(identity, quarter * -1.0f, 0.5f);
    expectQuat(q, 0, 0, 0.38268343f, 0.92387953f, 1e-6f, "negated end");
    expectQuat(Quaternion(identity, quarter, 0.0f), 0, 0, 0, 1, 1e-6f, "t = 0");
    expectQuat(Quaternion(identity, quarter, 1.0f), 0, 0, 0.70710678f, 0.70710678f, 1e-6f, "t = 1");
    // Nearly equal ends interpolate linearly instead of dividing by a vanishing sine.
    Quaternion near(0, 0, 0.000001f, 1);
    q.Slerp(identity, near, 0.5f);
    expectQuat(q, 0, 0, 0.0000005f, 1, 1e-9f, "linear for tiny arcs");
}

TEST(Quaternion, TextFormAndMembers) {
    EXPECT_EQ(Quaternion(1, 2, 3, 4).toString(),
              "Quaternion(Vector3(1.000000, 2.000000, 3.000000), 4.000000)");
    auto members = Quaternion::Members();
    ASSERT_EQ(members.size(), 2u);
    EXPECT_STREQ(members[0].name, "v");
    EXPECT_EQ(members[0].kind, ValueMemberKind::Vector3);
    EXPECT_EQ(members[0].offset, 0u);
    EXPECT_EQ(members[1].offset, 12u);
    EXPECT_EQ(sizeof(Quaternion), 16u);
}

} // namespace
