// Color: construction, channel access, constants and byte-wise ordering.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "math/color.h"
#include "math/value_member.h"

namespace {

struct ColorCase {
    const char* label;
    Color color;
    std::uint32_t expected;
};

TEST(Color, ConstructorsKeepLowEightBitsOfEachChannel) {
    const ColorCase cases[] = {
        {"default is opaque black", Color(), 0xFF000000u},
        {"whole word", Color(0x12345678u), 0x12345678u},
        {"rgb is opaque", Color(255, 0, 0), 0xFFFF0000u},
        {"argb in order", Color(1, 2, 3, 4), 0x01020304u},
        {"alpha 0x1FF keeps 0xFF", Color(0x1FF, 0, 0, 0), 0xFF000000u},
        {"negative channel keeps low bits", Color(-1, 0x100, 0x7F), 0xFFFF007Fu},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.color.value, c.expected) << c.label;
    }
}

TEST(Color, ChannelsAsIntegersAndFractions) {
    Color c(0x80FF4000u);
    EXPECT_EQ(c.GetA(), 128);
    EXPECT_EQ(c.GetR(), 255);
    EXPECT_EQ(c.GetG(), 64);
    EXPECT_EQ(c.GetB(), 0);
    EXPECT_FLOAT_EQ(c.GetAlpha(), 0.50196081f);
    EXPECT_FLOAT_EQ(c.GetRed(), 1.0f);
    EXPECT_FLOAT_EQ(c.GetGreen(), 0.25098039f);
    EXPECT_FLOAT_EQ(c.GetBlue(), 0.0f);
}

TEST(Color, ValueIsASignedScriptInteger) {
    Color c;
    c.SetValue(-16711936); // 0xFF00FF00
    EXPECT_EQ(c.value, 0xFF00FF00u);
    EXPECT_EQ(c.GetValue(), -16711936);
    EXPECT_EQ(Color::MakeARGB(0x1FF, 0x100, 0x7F, 0x80), static_cast<std::int32_t>(0xFF007F80u));
}

TEST(Color, TextFormShowsAlphaRedGreenBlue) {
    EXPECT_EQ(Color(255, 0, 0).toString(), "Color(255, 255, 0, 0)");
    EXPECT_EQ(Color(0x01020304u).toString(), "Color(1, 2, 3, 4)");
}

TEST(Color, NamedColoursAndChannelConstants) {
    auto named = Color::NamedColors();
    ASSERT_EQ(named.size(), 141u);
    EXPECT_STREQ(named.front().name, "AliceBlue");
    EXPECT_STREQ(named.back().name, "YellowGreen");
    std::set<std::string> names;
    std::int32_t red = 0, transparent = 0;
    for (const auto& c : named) {
        names.insert(c.name);
        if (std::string(c.name) == "Red") {
            red = c.value;
        }
        if (std::string(c.name) == "Transparent") {
            transparent = c.value;
        }
    }
    EXPECT_EQ(names.size(), 141u);
    EXPECT_EQ(red, Color(255, 0, 0).GetValue());
    EXPECT_EQ(transparent, 0x00FFFFFF);

    auto channels = Color::ChannelConstants();
    ASSERT_EQ(channels.size(), 8u);
    EXPECT_STREQ(channels[0].name, "AlphaShift");
    EXPECT_EQ(channels[0].value, 24);
    EXPECT_STREQ(channels[4].name, "AlphaMask");
    EXPECT_EQ(channels[4].value, static_cast<std::int32_t>(0xFF000000u));
}

TEST(Color, CompareFollowsMemoryBytesNotNumbers) {
    // Little-endian memory puts blue first: a colour with only alpha set sorts below one with blue.
    EXPECT_EQ(compareValueBytes(Color(0x01000000u), Color(0x00000001u)), -1);
    EXPECT_EQ(compareValueBytes(Color(0x00000001u), Color(0x01000000u)), 1);
    EXPECT_EQ(compareValueBytes(Color(7, 8, 9), Color(7, 8, 9)), 0);
}

} // namespace
