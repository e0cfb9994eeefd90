// Matrix3 and Matrix4: construction, products in row-vector order, the vector helpers, inverse and
// text forms. Expected values are worked out by hand or checked through an independent property
// (M * M^-1 = I, two rotation formulas that must agree).

#include <gtest/gtest.h>

#include <numbers>

#include "math/matrix3.h"
#include "math/matrix4.h"

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

Matrix3 counting3() {
    Matrix3 m;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            m.m[i][j] = static_cast<float>(i * 3 + j + 1);
        }
    }
    return m;
}

Matrix4 counting4() {
    Matrix4 m;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            m.m[i][j] = static_cast<float>(i * 4 + j + 1);
        }
    }
    return m;
}

template <int N, class M>
void expectMatrix(const M& actual, const float (&expected)[N][N], float tolerance, const char* label) {
    for (int i = 0; i < N; ++i) {
        for (int j = 0; j < N; ++j) {
            EXPECT_NEAR(actual.m[i][j], expected[i][j], tolerance) << label << " at " << i << "," << j;
        }
    }
}

void expectVec(const Vector2& v, float x, float y, const char* label) {
    EXPECT_NEAR(v.x, x, 1e-5f) << label;
    EXPECT_NEAR(v.y, y, 1e-5f) << label;
}

void expectVec(const Vector3& v, float x, float y, float z, const char* label) {
    EXPECT_NEAR(v.x, x, 1e-5f) << label;
    EXPECT_NEAR(v.y, y, 1e-5f) << label;
    EXPECT_NEAR(v.z, z, 1e-5f) << label;
}

TEST(Matrix3, ConstructorForms) {
    expectMatrix<3>(Matrix3(), {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 0, "identity");
    expectMatrix<3>(Matrix3(Vector2(5, 7)), {{1, 0, 0}, {0, 1, 0}, {5, 7, 1}}, 0, "origin");
    expectMatrix<3>(Matrix3({2, 3}, {5, 7}), {{2, 3, 0}, {-3, 2, 0}, {5, 7, 1}}, 0, "x axis and origin");
    expectMatrix<3>(Matrix3({1, 2}, {3, 4}, {5, 6}), {{1, 2, 0}, {3, 4, 0}, {5, 6, 1}}, 0, "three rows");
}

TEST(Matrix3, PointAndDirectionTransforms) {
    expectVec(Matrix3({1, 0}, {5, 7}).MultVrt({1, 1}), 6, 8, "translation");
    Matrix3 quarterTurn({0, 1}, {0, 0}); // X axis points up: a counter-clockwise quarter turn
    expectVec(quarterTurn.MultVrt({1, 0}), 0, 1, "rotated point");
    expectVec(quarterTurn.MultVect({0, 1}), -1, 0, "rotated direction");
    expectVec(quarterTurn.MultInvVect({0, 1}), 1, 0, "inverse rotation");

    Matrix3 m = counting3();
    m.SetOrigin({7, 8});
    expectVec(m.MultVect({1, 1}), 5, 7, "MultVect uses columns of the 2x2 part");
    expectVec(m.MultInvVect({1, 1}), 3, 9, "MultInvVect uses rows of the 2x2 part");
    expectVec(m.MultInvVrt({1, 1}), -20, -59, "MultInvVrt subtracts the origin first");
    expectVec(m.MultVrt({1, 1}), 12, 15, "MultVrt adds the origin");
    expectVec(counting3().Mult({1, 1, 1}), 12, 15, 18, "Mult over three columns");
    expectVec(counting3().Mult({0, 0, 1}), 7, 8, 9, "Mult picks row 2");
}

TEST(Matrix3, ProductAppliesLeftOperandFirst) {
    Matrix3 translate(Vector2(5, 0));
    Matrix3 turn({0, 1}, {0, 0});
    expectVec((translate * turn).MultVrt({1, 0}), 0, 6, "translate, then turn");
    expectVec((turn * translate).MultVrt({1, 0}), 5, 1, "turn, then translate");
}

TEST(Matrix3, ElementWiseOperatorsAndNegatedTranspose) {
    Matrix3 m = counting3();
    expectMatrix<3>(m + m, {{2, 4, 6}, {8, 10, 12}, {14, 16, 18}}, 0, "add");
    expectMatrix<3>(m - Matrix3(), {{0, 2, 3}, {4, 4, 6}, {7, 8, 8}}, 0, "sub");
    expectMatrix<3>(m / 2.0f, {{0.5f, 1, 1.5f}, {2, 2.5f, 3}, {3.5f, 4, 4.5f}}, 0, "div");
    expectMatrix<3>(-m, {{-1, -4, -7}, {-2, -5, -8}, {-3, -6, -9}}, 0, "unm");
    expectMatrix<3>(m.Transpose(), {{1, 4, 7}, {2, 5, 8}, {3, 6, 9}}, 0, "transpose");
}

TEST(Matrix3, AxesAndScaling) {
    Matrix3 m = counting3();
    expectVec(m.GetXVec(), 1, 2, "x");
    expectVec(m.GetYVec(), 4, 5, "y");
    expectVec(m.GetOrigin(), 7, 8, "origin");
    m.SetXVec({-1, -2});
    m.SetYVec({-4, -5});
    expectMatrix<3>(m, {{-1, -2, 3}, {-4, -5, 6}, {7, 8, 9}}, 0, "set axes keeps column 2");
    m = counting3();
    m.MultVecs({2, 3});
    expectMatrix<3>(m, {{2, 4, 3}, {12, 15, 6}, {7, 8, 9}}, 0, "MultVecs");
    m = Matrix3({3, 4}, {0, 2}, {7, 8});
    m.m[0][2] = 5;
    expectMatrix<3>(m.GetNormalized(), {{0.6f, 0.8f, 0}, {0, 1, 0}, {7, 8, 1}}, 1e-7f, "normalized");
}

TEST(Matrix3, Inverse) {
    Matrix3 scaleMove({2, 0}, {0, 4}, {3, 5});
    expectMatrix<3>(scaleMove.Inverse(), {{0.5f, 0, 0}, {0, 0.25f, 0}, {-1.5f, -1.25f, 1}}, 1e-6f, "affine");
    Matrix3 general = counting3();
    general.m[2][2] = 10; // counting order alone is singular
    expectMatrix<3>(general * general.Inverse(), {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 1e-5f, "M * M^-1");
    expectMatrix<3>(general.Inverse() * general, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, 1e-5f, "M^-1 * M");
}

TEST(Matrix3, TextForm) {
    EXPECT_EQ(Matrix3().toString(),
              "Matrix3(Vector3(1.000000, 0.000000, 0.000000), Vector3(0.000000, 1.000000, 0.000000), "
              "Vector3(0.000000, 0.000000, 1.000000))");
}

TEST(Matrix4, ConstructorForms) {
    expectMatrix<4>(Matrix4(Vector3(1, 2, 3)), {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {1, 2, 3, 1}}, 0,
                    "origin");
    expectMatrix<4>(Matrix4({1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}),
                    {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}, {10, 11, 12, 1}}, 0, "four rows");
}

TEST(Matrix4, AxisAndOriginBuildsAnOrthogonalFrame) {
    const Vector3 axes[] = {{2, 0, 0}, {0, 0, 5}, {1, 2, 3}, {3, -1, 0.5f}, {0, -4, 0}};
    for (const auto& x : axes) {
        Matrix4 m(x, {1, 2, 3});
        Vector3 y = m.GetYVec(), z = m.GetZVec();
        expectVec(m.GetXVec(), x.x, x.y, x.z, "x kept");
        expectVec(m.GetOrigin(), 1, 2, 3, "origin kept");
        EXPECT_NEAR(y.GetMagnitude(), 1, 1e-6f);
        EXPECT_NEAR(Vector3::GetDotProduct(x, y), 0, 1e-5f);
        EXPECT_NEAR(Vector3::GetDotProduct(x, z), 0, 1e-5f);
        EXPECT_NEAR(Vector3::GetDotProduct(y, z), 0, 1e-5f);
        EXPECT_NEAR(z.GetMagnitude(), x.GetMagnitude(), 1e-5f);
        EXPECT_EQ(m.m[3][3], 1.0f);
    }
}

TEST(Matrix4, RotationsAgreeWithEachOther) {
    for (float angle : {0.3f, -1.2f, kPi / 2}) {
        Matrix4 a = Matrix4::Rotation(0, 0, angle), b = Matrix4::RotationZ(angle);
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j) {
                EXPECT_NEAR(a.m[i][j], b.m[i][j], 1e-6f) << angle;
            }
        }
    }
    expectVec(Matrix4::RotationZ(kPi / 2).MultVect({1, 0, 0}), 0, 1, 0, "z turns x into y");
    expectVec(Matrix4::Rotation(kPi / 2, 0, 0).MultVect({0, 1, 0}), 0, 0, 1, "a turns y into z");
    expectVec(Matrix4::Rotation(0, kPi / 2, 0).MultVect({1, 0, 0}), 0, 0, -1, "b turns x into -z");
}

TEST(Matrix4, VectorHelpers) {
    Matrix4 m = counting4();
    Vector4 v = m.Mult({1, 1, 1, 1});
    EXPECT_FLOAT_EQ(v.x, 28);
    EXPECT_FLOAT_EQ(v.w, 40);
    expectVec(m.MultVect({1, 0, 1}), 10, 12, 14, "rows 0 + 2");
    expectVec(m.MultInvVect({1, 0, 1}), 4, 12, 20, "columns 0 + 2");
    expectVec(m.MultVrt({1, 0, 0}), 14, 16, 18, "row 0 + origin");
    expectVec(m.MultInvVrt({13, 14, 15}), 0, 0, 0, "subtracts the origin first");
    m.MultVecs({2, 3, 4});
    expectMatrix<4>(m, {{2, 4, 6, 4}, {15, 18, 21, 8}, {36, 40, 44, 12}, {13, 14, 15, 16}}, 0, "MultVecs");
    m.SetZVec({0, 0, 0});
    expectVec(m.GetZVec(), 0, 0, 0, "SetZVec");
}

TEST(Matrix4, ProductAppliesLeftOperandFirst) {
    Matrix4 move(Vector3(5, 0, 0));
    Matrix4 turn = Matrix4::RotationZ(kPi / 2);
    expectVec((move * turn).MultVrt({1, 0, 0}), 0, 6, 0, "move, then turn");
    expectVec((turn * move).MultVrt({1, 0, 0}), 5, 1, 0, "turn, then move");
}

TEST(Matrix4, ElementWiseNormalizeAndInverse) {
    Matrix4 m = counting4();
    expectMatrix<4>(-m, {{-1, -5, -9, -13}, {-2, -6, -10, -14}, {-3, -7, -11, -15}, {-4, -8, -12, -16}}, 0,
                    "unm");
    expectMatrix<4>((m + m) / 2.0f - m, {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}, 0,
                    "add div sub");
    Matrix4 frame({0, 3, 4}, {2, 0, 0}, {0, 0, 5}, {1, 1, 1});
    frame.m[0][3] = 7;
    expectMatrix<4>(frame.GetNormalized(), {{0, 0.6f, 0.8f, 0}, {1, 0, 0, 0}, {0, 0, 1, 0}, {1, 1, 1, 1}},
                    1e-7f, "normalized");

    Matrix4 scaleMove({2, 0, 0}, {0, 4, 0}, {0, 0, 8}, {1, 2, 3});
    expectMatrix<4>(scaleMove.Inverse(),
                    {{0.5f, 0, 0, 0}, {0, 0.25f, 0, 0}, {0, 0, 0.125f, 0}, {-0.5f, -0.5f, -0.375f, 1}}, 1e-6f,
                    "affine inverse");
    Matrix4 general = counting4();
    general.m[0][0] = 3;
    general.m[2][1] = -4;
    general.m[3][3] = 0.5f;
    expectMatrix<4>(general * general.Inverse(), {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}},
                    1e-4f, "M * M^-1");
}

TEST(Matrix4, TextForm) {
    EXPECT_EQ(
        Matrix4().toString(),
        "Matrix4(Vector4(1.000000, 0.000000, 0.000000, 0.000000), Vector4(0.000000, 1.000000, 0.000000, "
        "0.000000), Vector4(0.000000, 0.000000, 1.000000, 0.000000), Vector4(0.000000, 0.000000, 0.000000, "
        "1.000000))");
}

} // namespace
