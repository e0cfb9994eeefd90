// Constructor forms of the value classes as the binding layer calls them: argument counts,
// numbers given as integers or floats, non-numbers read as 0, and instance arguments that must be
// of the expected class.

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "binding/value_construction.h"

namespace {

using Args = std::vector<ValueArg>;

ValueArg i(std::int32_t v) {
    return ValueArg::ofInteger(v);
}

ValueArg f(float v) {
    return ValueArg::ofFloat(v);
}

TEST(ValueConstruction, NumbersConvertAndNonNumbersReadAsZero) {
    EXPECT_EQ(f(3.99f).toInteger(), 3);
    EXPECT_EQ(f(-3.99f).toInteger(), -3);
    EXPECT_EQ(f(1e20f).toInteger(), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(f(-1e20f).toInteger(), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(f(std::numeric_limits<float>::quiet_NaN()).toInteger(), 0);
    EXPECT_EQ(i(7).toFloat(), 7.0f);
    EXPECT_EQ(ValueArg::other().toFloat(), 0.0f);
    EXPECT_EQ(ValueArg::other().toInteger(), 0);
    Vector2 v(1, 2);
    EXPECT_EQ(ValueArg::ofInstance(v).toFloat(), 0.0f);
}

TEST(ValueConstruction, Color) {
    struct Case {
        Args args;
        bool accepted;
        std::uint32_t value;
    } cases[] = {
        {{}, true, 0xFF000000u},
        {{i(-16776961)}, true, 0xFF0000FFu},
        {{f(255.9f)}, true, 0x000000FFu},
        {{i(255), i(0), i(0)}, true, 0xFFFF0000u},
        {{i(0x1FF), i(0), i(0), i(0)}, true, 0xFF000000u},
        {{i(1), ValueArg::other(), f(3.5f)}, true, 0xFF010003u},
        {{i(1), i(2)}, false, 0},
        {{i(1), i(2), i(3), i(4), i(5)}, false, 0},
    };
    for (const auto& c : cases) {
        Color color(0x12345678u);
        EXPECT_EQ(constructColor(c.args, color), c.accepted) << c.args.size();
        if (c.accepted) {
            EXPECT_EQ(color.value, c.value) << c.args.size();
        }
    }
}

TEST(ValueConstruction, Vectors) {
    Vector3 v3;
    ASSERT_TRUE(constructVector3(Args{i(1)}, v3));
    EXPECT_EQ(v3.x, 1);
    EXPECT_EQ(v3.z, 1);
    ASSERT_TRUE(constructVector3(Args{i(1), f(2.5f)}, v3));
    EXPECT_EQ(v3.y, 2.5f);
    EXPECT_EQ(v3.z, 0);
    EXPECT_FALSE(constructVector3(Args{i(1), i(2), i(3), i(4)}, v3));

    Vector2 v2;
    ASSERT_TRUE(constructVector2(Args{ValueArg::other(), i(4)}, v2));
    EXPECT_EQ(v2.x, 0);
    EXPECT_EQ(v2.y, 4);
    EXPECT_FALSE(constructVector2(Args{i(1), i(2), i(3)}, v2));

    Vector4 v4;
    ASSERT_TRUE(constructVector4(Args{i(1), i(2), i(3)}, v4));
    EXPECT_EQ(v4.z, 3);
    EXPECT_EQ(v4.w, 0);
    ASSERT_TRUE(constructVector4(Args{}, v4));
    EXPECT_EQ(v4.x, 0);
    EXPECT_FALSE(constructVector4(Args(5, i(1)), v4));
}

TEST(ValueConstruction, MatricesTakeVectorInstancesOnly) {
    Vector2 x(1, 0), origin(5, 7);
    Matrix3 m3;
    ASSERT_TRUE(constructMatrix3(Args{ValueArg::ofInstance(x), ValueArg::ofInstance(origin)}, m3));
    Vector2 mapped = m3.MultVrt({1, 1});
    EXPECT_EQ(mapped.x, 6);
    EXPECT_EQ(mapped.y, 8);
    Vector3 wrongKind(1, 2, 3);
    EXPECT_FALSE(constructMatrix3(Args{ValueArg::ofInstance(wrongKind)}, m3));
    EXPECT_FALSE(constructMatrix3(Args{i(1)}, m3));
    EXPECT_FALSE(constructMatrix3(Args(4, ValueArg::ofInstance(x)), m3));

    Vector3 a(1, 0, 0), b(0, 1, 0), c(0, 0, 1), o(4, 5, 6);
    Matrix4 m4;
    ASSERT_TRUE(constructMatrix4(Args{ValueArg::ofInstance(a), ValueArg::ofInstance(b),
                                      ValueArg::ofInstance(c), ValueArg::ofInstance(o)},
                                 m4));
    EXPECT_EQ(m4.GetOrigin().z, 6);
    EXPECT_FALSE(constructMatrix4(Args(3, ValueArg::ofInstance(a)), m4)) << "three vectors is no form";
    EXPECT_FALSE(constructMatrix4(Args{ValueArg::ofInstance(x)}, m4));
    ASSERT_TRUE(constructMatrix4(Args{ValueArg::ofInstance(o)}, m4));
    EXPECT_EQ(m4.GetXVec().x, 1);
}

TEST(ValueConstruction, QuaternionForms) {
    Quaternion q;
    Vector3 zAxis(0, 0, 1);
    ASSERT_TRUE(constructQuaternion(Args{i(0), ValueArg::ofInstance(zAxis)}, q));
    EXPECT_EQ(q.w, 1);
    EXPECT_EQ(q.v.z, 0);
    EXPECT_FALSE(constructQuaternion(Args{i(0), i(1)}, q));
    ASSERT_TRUE(constructQuaternion(Args{i(1), f(2), i(3), i(4)}, q));
    EXPECT_EQ(q.v.y, 2);
    Quaternion start(0, 0, 0, 1), end(0, 0, 1, 0);
    ASSERT_TRUE(constructQuaternion(Args{ValueArg::ofInstance(start), ValueArg::ofInstance(end), i(1)}, q));
    EXPECT_NEAR(q.v.z, 1, 1e-6f);
    EXPECT_FALSE(
        constructQuaternion(Args{ValueArg::ofInstance(start), ValueArg::ofInstance(zAxis), i(1)}, q));
    Matrix4 identity;
    ASSERT_TRUE(constructQuaternion(Args{ValueArg::ofInstance(identity)}, q));
    EXPECT_EQ(q.w, 1);
    EXPECT_FALSE(constructQuaternion(Args{ValueArg::ofInstance(start)}, q));
    EXPECT_FALSE(constructQuaternion(Args(5, i(0)), q));
}

TEST(ValueConstruction, Rectangles) {
    Rect r;
    ASSERT_TRUE(constructRect(Args{f(1.9f), f(-2.9f), i(3), i(4)}, r));
    EXPECT_EQ(r.X, 1);
    EXPECT_EQ(r.Y, -2);
    Rect copy;
    ASSERT_TRUE(constructRect(Args{ValueArg::ofInstance(r)}, copy));
    EXPECT_EQ(copy.Height, 4);
    RectF wrong(1, 2, 3, 4);
    EXPECT_FALSE(constructRect(Args{ValueArg::ofInstance(wrong)}, copy));
    EXPECT_FALSE(constructRect(Args{i(1), i(2)}, copy));

    RectF rf;
    ASSERT_TRUE(constructRectF(Args{f(0.5f), i(1), i(2), f(3.5f)}, rf));
    EXPECT_EQ(rf.X, 0.5f);
    EXPECT_EQ(rf.Height, 3.5f);
    EXPECT_FALSE(constructRectF(Args{ValueArg::ofInstance(r)}, rf));
    EXPECT_FALSE(constructRectF(Args{i(1), i(2), i(3)}, rf));

    IntegralF integral;
    EXPECT_TRUE(constructIntegralF(Args{i(9)}, integral));
    EXPECT_EQ(integral.size(), 1);
}

} // namespace
