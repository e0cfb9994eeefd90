// The pass map as native code uses it (no script VM): cell addressing, the stream record with its golden
// file, round trips, hostile records and transforms the record cannot hold, and the overlays it draws.
#include "byte_stream.h"
#include "component/component_factory.h"
#include "navigation/pass_map.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace {

std::string golden(const char* name) {
    std::ifstream in(std::filesystem::path(HH_NAVIGATION_GOLDEN_DIR) / name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

ComponentRef<PassMap> newMap() {
    return ComponentRef<PassMap>::adopt(new PassMap());
}

Matrix3 scaleAndShift(float sx, float sy, float tx, float ty) {
    Matrix3 m;
    m.m[0][0] = sx, m.m[1][1] = sy, m.m[2][0] = tx, m.m[2][1] = ty;
    return m;
}

TEST(PassMap, NewMapHasNoCells) {
    auto map = newMap();
    EXPECT_EQ(map->GetWidth(), 0);
    EXPECT_EQ(map->GetHeight(), 0);
    EXPECT_EQ(map->GetCellValue(0, 0), -1);
    map->SetCellValue(0, 0, 3);
    EXPECT_EQ(map->GetCellValue(0, 0), -1);
    EXPECT_EQ(map->GetCells(), nullptr);
}

TEST(PassMap, CellsAreAddressedByIndex) {
    auto map = newMap();
    std::uint8_t cells[20] = {};
    cells[10] = 7;
    cells[9] = 9;
    map->resize(10, 2, cells);
    EXPECT_EQ(map->GetCellValue(10, 0), 7) << "(width, 0) is the cell (0, 1)";
    EXPECT_EQ(map->GetCellValue(-1, 1), 9) << "(-1, 1) is the cell (9, 0)";
    EXPECT_EQ(map->GetCellValue(0, 2), -1);
    EXPECT_EQ(map->GetCellValue(-1, 0), -1);
    EXPECT_EQ(map->GetCellValue(INT32_MAX, INT32_MAX), -1) << "no overflow into the map";

    std::uint32_t revision = map->GetRevision();
    map->SetCellValue(3, 1, 256);
    EXPECT_EQ(map->GetCellValue(3, 1), 0) << "the low 8 bits are stored";
    EXPECT_NE(map->GetRevision(), revision) << "256 differs from 0, so it counts as a change";
    map->SetCellValue(3, 1, 5);
    EXPECT_EQ(map->GetCellValue(3, 1), 5);
}

TEST(PassMap, RecordMatchesTheGoldenFileAndReadsBack) {
    auto map = newMap();
    const std::uint8_t cells[2] = {0, 6};
    map->resize(2, 1, cells);
    map->SetPosition(scaleAndShift(32, 32, 100, 50));
    ByteStream out;
    ASSERT_TRUE(map->WriteTo(&out));
    EXPECT_EQ(hexOf(out.bytes()), hexOf(golden("pass_map.bin")));

    for (bool hidden : {false, true}) {
        ByteStream in(out.bytes());
        if (hidden) in.hideSize();
        auto back = newMap();
        ASSERT_TRUE(back->ReadFrom(&in));
        EXPECT_EQ(back->GetWidth(), 2);
        EXPECT_EQ(back->GetHeight(), 1);
        EXPECT_EQ(back->GetCellValue(1, 0), 6);
        EXPECT_EQ(back->GetPosition().m[0][0], 32.0f);
        EXPECT_EQ(back->GetPosition().m[2][1], 50.0f);
    }
}

TEST(PassMap, RoundTripKeepsScaleExactlyAndTruncatesTranslation) {
    auto map = newMap();
    map->resize(3, 4);
    map->SetCellValue(2, 3, 42);
    Matrix3 transform = scaleAndShift(1.5f, -0.25f, 12.7f, -3.9f);
    transform.m[0][1] = 5.0f; // not part of the record
    map->SetPosition(transform);
    ByteStream stream;
    ASSERT_TRUE(map->WriteTo(&stream));
    EXPECT_EQ(stream.bytes().size(), 17u + 12u);
    auto back = newMap();
    ASSERT_TRUE(back->ReadFrom(&stream));
    Matrix3 read = back->GetPosition();
    EXPECT_EQ(read.m[0][0], 1.5f);
    EXPECT_EQ(read.m[1][1], -0.25f);
    EXPECT_EQ(read.m[2][0], 12.0f);
    EXPECT_EQ(read.m[2][1], -3.0f);
    EXPECT_EQ(read.m[0][1], 0.0f);
    EXPECT_EQ(read.m[2][2], 1.0f);
    EXPECT_EQ(back->GetCellValue(2, 3), 42);
}

TEST(PassMap, TransformsTheRecordCannotHoldFailBeforeWriting) {
    const Matrix3 transforms[] = {
        scaleAndShift(1, 1, 40000, 0), // translation beyond 16 bits
        scaleAndShift(1, 1, 0, -32769),
        scaleAndShift(600000, 1, 0, 0), // scale × 4096 beyond 32 bits
        scaleAndShift(1, std::numeric_limits<float>::quiet_NaN(), 0, 0),
    };
    for (const Matrix3& transform : transforms) {
        auto map = newMap();
        map->resize(2, 2);
        map->SetPosition(transform);
        ByteStream out;
        EXPECT_FALSE(map->WriteTo(&out));
        EXPECT_TRUE(out.bytes().empty());
    }
    auto edge = newMap();
    edge->SetPosition(scaleAndShift(1, 1, 32767.9f, -32768));
    ByteStream out;
    EXPECT_TRUE(edge->WriteTo(&out)) << "the limits themselves fit";
}

TEST(PassMap, TheLargestScaleInARecordWritesBack) {
    // 0x7fffffff / 4096 rounds up to 2^19 in single precision; it is written back as the largest value.
    const std::string record = "ffffff7f"
                               "00100000"
                               "01"
                               "0000"
                               "0000"
                               "0100"
                               "0100"
                               "07";
    ByteStream in(bytesOfHex(record));
    auto map = newMap();
    ASSERT_TRUE(map->ReadFrom(&in));
    ByteStream out;
    ASSERT_TRUE(map->WriteTo(&out));
    EXPECT_EQ(hexOf(out.bytes()), record);
}

TEST(PassMap, HostileRecordsFailAndLeaveTheMapAsItWas) {
    const std::string header = "00100000"
                               "00100000"
                               "01"
                               "0000"
                               "0000";
    const std::string records[] = {
        header + "ffff"
                 "0100", // negative width
        header + "0100"
                 "00ff", // negative height
        header + "ff7f"
                 "ff7f", // a billion cells, none there
        header + "0300"
                 "0200"
                 "0102030405", // six cells announced, five there
        header.substr(0, 20),  // cut inside the header
    };
    for (const std::string& hex : records) {
        for (bool hidden : {false, true}) {
            auto map = newMap();
            const std::uint8_t cells[2] = {4, 5};
            map->resize(2, 1, cells);
            ByteStream in(bytesOfHex(hex));
            if (hidden) in.hideSize();
            EXPECT_FALSE(map->ReadFrom(&in)) << hex;
            EXPECT_EQ(map->GetWidth(), 2) << hex;
            EXPECT_EQ(map->GetCellValue(1, 0), 5) << hex;
            EXPECT_EQ(map->GetPosition().m[0][0], 1.0f) << hex;
        }
    }
}

TEST(PassMap, ShortWritesFail) {
    auto map = newMap();
    map->resize(4, 4);
    ByteStream out;
    out.limitWrites(20);
    EXPECT_FALSE(map->WriteTo(&out));
}

class CountingOverlay final : public IGridRenderer {
public:
    void* QueryInterface(InterfaceId id) override { return queryAmong<IGridRenderer>(this, id); }
    void Render(IGraphics*) override { ++draws; }
    int draws = 0;
};

TEST(PassMap, OverlaysDrawInOrderTwiceWhenAddedTwiceAndNotWhenHidden) {
    auto map = newMap();
    auto overlay = ComponentRef<CountingOverlay>::adopt(new CountingOverlay());
    ComponentRef<IGridRenderer> handle(overlay.get());
    map->AddRenderer(handle);
    map->AddRenderer(handle);
    map->AddRenderer(ComponentRef<IGridRenderer>());
    map->Render(nullptr, ClassMask{});
    EXPECT_EQ(overlay->draws, 2);
    map->SetVisible(false);
    map->Render(nullptr, ClassMask{});
    EXPECT_EQ(overlay->draws, 2);
    map->SetVisible(true);
    map->RemoveRenderer(handle);
    map->Render(nullptr, ClassMask{});
    EXPECT_EQ(overlay->draws, 2) << "one removal removes both entries";
    map->AddRenderer(handle);
    map->Shutdown();
    map->Render(nullptr, ClassMask{});
    EXPECT_EQ(overlay->draws, 2) << "shutdown drops the overlays";
    EXPECT_EQ(overlay->refCount(), 2);
}

} // namespace
