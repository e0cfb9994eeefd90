// Tours by farthest insertion (no engine): small tours known by hand, ties, asymmetric costs, refused input,
// and agreement with a plain cubic-time version of the same rule on random matrices.
#include "navigation/tour_solver.h"

#include "navigation/testing/plain_tour.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::vector<std::int32_t> solve(const std::vector<std::int32_t>& costs, std::int32_t n, std::int32_t start) {
    TourSolver solver;
    if (!solver.solve(costs.data(), n, start)) return {-99};
    return {solver.tour().begin(), solver.tour().end()};
}

std::vector<std::int32_t> plainTour(const std::vector<std::int32_t>& m, std::int32_t n, std::int32_t s) {
    std::vector<std::int32_t> tour;
    navigation::test_support::plainTour(m, n, s, tour);
    return tour;
}

TEST(TourSolver, SmallToursKnownByHand) {
    EXPECT_EQ(solve({}, 0, 0), std::vector<std::int32_t>{});
    EXPECT_EQ(solve({0}, 1, 0), std::vector<std::int32_t>{0});
    // Place 2 is farthest and goes in first; place 1 then costs 5 on either edge, and the first edge wins.
    std::vector<std::int32_t> three = {0, 10, 20, 10, 0, 15, 20, 15, 0};
    EXPECT_EQ(solve(three, 3, 0), (std::vector<std::int32_t>{0, 1, 2}));
    // From place 2: place 0 (20) first, then place 1 costs 5 on either edge and goes on the first, 2 → 0.
    EXPECT_EQ(solve(three, 3, 2), (std::vector<std::int32_t>{2, 1, 0})) << "begins with its start";
}

TEST(TourSolver, FourPlacesOnALineInFarthestInsertionOrder) {
    // Places at 0, 1, 5, 6 on a line, start 1. Place 3 is farthest (5): tour 1 → 3 → 1. Places 0 and 2 are
    // then both 1 from the tour and the lower number goes first.
    const std::int32_t at[4] = {0, 1, 5, 6};
    std::vector<std::int32_t> m(16);
    for (int a = 0; a < 4; ++a)
        for (int b = 0; b < 4; ++b) m[std::size_t(a * 4 + b)] = std::abs(at[a] - at[b]);
    // After 3: distances to the tour are 0:1, 2:1 → place 0 goes in: edges 1→3 (1+6−5=2), 3→1 (6+1−5=2) →
    // first. Tour 1 → 0 → 3 → 1; then place 2: 1→0 (4+5−1=8), 0→3 (5+1−6=0), 3→1 (1+4−5=0) → 0→3 wins.
    EXPECT_EQ(solve(m, 4, 1), (std::vector<std::int32_t>{1, 0, 2, 3}));
}

TEST(TourSolver, AsymmetricCostsFollowTheDirectionOfTravel) {
    // Going 0 → 1 is cheap and 1 → 0 dear; 2 sits so that only the direction decides its edge.
    std::vector<std::int32_t> m = {0, 1, 50, 100, 0, 1, 1, 100, 0};
    EXPECT_EQ(solve(m, 3, 0), plainTour(m, 3, 0));
}

TEST(TourSolver, RefusedInput) {
    std::vector<std::int32_t> m(257 * 257, 1);
    EXPECT_EQ(solve(m, 257, 0), std::vector<std::int32_t>{-99});
    EXPECT_EQ(solve(m, 3, 3), std::vector<std::int32_t>{-99});
    EXPECT_EQ(solve(m, 3, -1), std::vector<std::int32_t>{-99});
    TourSolver solver;
    EXPECT_EQ(solver.at(0), -1);
}

TEST(TourSolver, ExtremeCostsDoNotOverflow) {
    std::vector<std::int32_t> m = {0, INT32_MAX, INT32_MIN, INT32_MIN, 0, INT32_MAX, INT32_MAX, INT32_MIN, 0};
    EXPECT_EQ(solve(m, 3, 0), plainTour(m, 3, 0));
}

TEST(TourSolver, AgreesWithThePlainRuleOnRandomMatrices) {
    std::mt19937 random(11);
    for (std::int32_t n : {2, 5, 17, 64, 256}) {
        for (int round = 0; round < 3; ++round) {
            std::vector<std::int32_t> m(std::size_t(n * n));
            for (auto& c : m) c = std::int32_t(random() % 50); // few values, many ties
            std::int32_t start = std::int32_t(random() % std::uint32_t(n));
            ASSERT_EQ(solve(m, n, start), plainTour(m, n, start)) << n;
        }
    }
}

} // namespace
