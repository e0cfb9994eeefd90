// IntegralF: the moving window of the last N values.

#include <gtest/gtest.h>

#include <vector>

#include "math/integral_f.h"

namespace {

std::vector<float> window(const IntegralF& integral) {
    std::vector<float> values;
    for (std::int32_t i = 0; i < integral.count(); ++i) {
        values.push_back(integral.at(i));
    }
    return values;
}

TEST(IntegralF, FirstPushFillsTheWindow) {
    IntegralF integral;
    integral.SetIntegralSize(3);
    integral.PushValue(1);
    EXPECT_EQ(window(integral), (std::vector<float>{1, 1, 1}));
    EXPECT_FLOAT_EQ(integral.GetAverageValue(), 1);
    integral.PushValue(4);
    EXPECT_EQ(window(integral), (std::vector<float>{1, 1, 4}));
    EXPECT_FLOAT_EQ(integral.GetIntegralValue(), 6);
    EXPECT_FLOAT_EQ(integral.GetAverageValue(), 2);
    for (float v : {5.0f, 6.0f, 7.0f, 8.0f}) {
        integral.PushValue(v);
    }
    EXPECT_EQ(window(integral), (std::vector<float>{6, 7, 8}));
}

TEST(IntegralF, EmptyWindowAnswersZero) {
    IntegralF integral;
    EXPECT_EQ(integral.size(), 1);
    EXPECT_FLOAT_EQ(integral.GetIntegralValue(), 0);
    EXPECT_FLOAT_EQ(integral.GetAverageValue(), 0);
    integral.PushValue(3);
    integral.Clear();
    EXPECT_EQ(integral.count(), 0);
    EXPECT_FLOAT_EQ(integral.GetAverageValue(), 0);
    EXPECT_EQ(integral.size(), 1);
}

TEST(IntegralF, SizeChanges) {
    struct Case {
        std::int32_t requested, expected;
    } cases[] = {{0, 1}, {-5, 1}, {7, 7}, {IntegralF::MaxIntegralSize + 1, IntegralF::MaxIntegralSize}};
    for (const auto& c : cases) {
        IntegralF integral;
        integral.SetIntegralSize(c.requested);
        EXPECT_EQ(integral.size(), c.expected) << c.requested;
        integral.PushValue(2);
        EXPECT_EQ(integral.count(), c.expected) << c.requested;
    }

    IntegralF integral;
    integral.SetIntegralSize(3);
    integral.PushValue(1);
    integral.PushValue(2);
    integral.PushValue(3);
    integral.SetIntegralSize(5);
    EXPECT_EQ(window(integral), (std::vector<float>{1, 2, 3})) << "kept until the next push";
    integral.PushValue(9);
    EXPECT_EQ(window(integral), (std::vector<float>{2, 3, 9, 9, 9})) << "grown: oldest dropped, then filled";
    integral.SetIntegralSize(2);
    integral.PushValue(4);
    EXPECT_EQ(window(integral), (std::vector<float>{9, 4})) << "shrunk: the pushed value is kept";
    integral.Clear();
    integral.PushValue(6);
    EXPECT_EQ(window(integral), (std::vector<float>{6, 6})) << "Clear keeps N";
}

} // namespace
