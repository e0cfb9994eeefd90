// Routes measured by arc length (no engine): distances, progress along the route, edits, and the stream
// record with its golden file and hostile counts.
#include "byte_stream.h"
#include "navigation/route_path.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string golden(const char* name) {
    std::ifstream in(std::filesystem::path(HH_NAVIGATION_GOLDEN_DIR) / name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

RoutePath bend() {
    RoutePath route;
    for (Vector2 p : {Vector2(0, 0), Vector2(3, 4), Vector2(3, 10)}) route.addPosition(p);
    return route;
}

TEST(RoutePath, DistancesAccumulateAlongThePoints) {
    RoutePath route = bend();
    EXPECT_FLOAT_EQ(route.pointDistance(0), 0.0f);
    EXPECT_FLOAT_EQ(route.pointDistance(1), 5.0f);
    EXPECT_FLOAT_EQ(route.pointDistance(2), 11.0f);
    EXPECT_FLOAT_EQ(route.length(), 11.0f);
    EXPECT_FALSE(route.isEmpty());
}

struct ProgressCase {
    float distance;
    Vector2 position, direction;
};

TEST(RoutePath, ProgressInsideBeforeAndBeyondTheRoute) {
    const ProgressCase cases[] = {
        {8.0f, {3, 7}, {0, 1}},       // on the second segment
        {5.0f, {3, 4}, {0.6f, 0.8f}}, // a point's own distance belongs to the segment ending there
        {0.0f, {0, 0}, {0.6f, 0.8f}}, {-5.0f, {-3, -4}, {0.6f, 0.8f}}, // extends the first segment backwards
        {12.0f, {0, 0}, {0, 0}},                                       // beyond the end
    };
    RoutePath route = bend();
    for (const ProgressCase& c : cases) {
        RouteProgress p = route.progress(c.distance);
        EXPECT_FLOAT_EQ(p.position.x, c.position.x) << c.distance;
        EXPECT_FLOAT_EQ(p.position.y, c.position.y) << c.distance;
        EXPECT_FLOAT_EQ(p.direction.x, c.direction.x) << c.distance;
        EXPECT_FLOAT_EQ(p.direction.y, c.direction.y) << c.distance;
        EXPECT_EQ(p.distance, c.distance);
    }
}

TEST(RoutePath, SinglePointAndRepeatedPoints) {
    RoutePath single;
    single.addPosition({5, 5});
    EXPECT_TRUE(single.isEmpty());
    EXPECT_EQ(single.length(), 0.0f);
    EXPECT_EQ(single.progress(0).position.x, 0.0f);

    // A segment of zero length has no heading: (0, 0), not a division by zero.
    RoutePath repeated;
    for (Vector2 p : {Vector2(1, 1), Vector2(1, 1), Vector2(4, 5)}) repeated.addPosition(p);
    RouteProgress p = repeated.progress(0.0f);
    EXPECT_EQ(p.position.x, 1.0f);
    EXPECT_EQ(p.direction.x, 0.0f);
    EXPECT_EQ(p.direction.y, 0.0f);
    EXPECT_FLOAT_EQ(repeated.progress(2.5f).position.y, 3.0f);
}

TEST(RoutePath, RemovingAndTransformingRecompute) {
    RoutePath route = bend();
    route.removePoint(1);
    ASSERT_EQ(route.pointCount(), 2);
    EXPECT_FLOAT_EQ(route.length(), std::sqrt(109.0f));
    route.removePoint(2);
    route.removePoint(-1);
    EXPECT_EQ(route.pointCount(), 2) << "indexes outside change nothing";

    RoutePath scaled = bend();
    Matrix3 twice;
    twice.m[0][0] = twice.m[1][1] = 2.0f;
    twice.m[2][0] = 7.0f;
    scaled.transform(twice);
    EXPECT_FLOAT_EQ(scaled.length(), 22.0f);
    EXPECT_FLOAT_EQ(scaled.pointPosition(1).x, 13.0f);
}

TEST(RoutePath, IndexMethodsOutsideAnswerZero) {
    RoutePath route = bend();
    for (std::int32_t index : {-1, 3, 1 << 30}) {
        EXPECT_EQ(route.pointPosition(index).x, 0.0f);
        EXPECT_EQ(route.pointDirection(index).y, 0.0f);
        EXPECT_EQ(route.pointDistance(index), 0.0f);
    }
}

TEST(RoutePath, RecordMatchesTheGoldenFileAndReadsBack) {
    RoutePath route;
    route.addPosition({0, 0});
    route.addPosition({3, 4});
    ByteStream out;
    ASSERT_TRUE(route.write(&out));
    EXPECT_EQ(hexOf(out.bytes()), hexOf(golden("route.bin")));

    for (bool hidden : {false, true}) {
        ByteStream in(bend().write(&out) ? out.bytes().substr(20) : "");
        if (hidden) in.hideSize();
        RoutePath back;
        ASSERT_TRUE(back.read(&in));
        EXPECT_EQ(back.pointCount(), 3);
        EXPECT_FLOAT_EQ(back.pointDistance(2), 11.0f);
        EXPECT_EQ(in.position(), 28u);
    }
}

TEST(RoutePath, HostileRecordsFailAndLeaveTheRouteAsItWas) {
    const char* records[] = {
        "ffffffff", // negative count
        "ffffff7f", // two billion points, none there
        "03000000"
        "0000000000000000"
        "0000404000008040", // three announced, two there
        "0100",             // cut inside the count
    };
    for (const char* hex : records) {
        for (bool hidden : {false, true}) {
            ByteStream in(bytesOfHex(hex));
            if (hidden) in.hideSize();
            RoutePath route = bend();
            EXPECT_FALSE(route.read(&in)) << hex;
            EXPECT_EQ(route.pointCount(), 3) << hex;
            EXPECT_FLOAT_EQ(route.length(), 11.0f) << hex;
        }
    }
}

TEST(RoutePath, ShortWritesFail) {
    ByteStream out;
    out.limitWrites(10);
    EXPECT_FALSE(bend().write(&out));
}

} // namespace
