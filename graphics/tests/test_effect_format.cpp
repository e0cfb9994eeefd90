// The effect file format: curve evaluation, round trips of every layout, and hostile files.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "graphics/tests/effect_fixtures.h"

namespace {

using namespace graphics::test;
using particles::Curve;
using particles::EffectData;

std::vector<std::uint8_t> bytesOf(const EffectData& data) {
    return particles::writeEffectData(data);
}

bool reads(const std::vector<std::uint8_t>& bytes, EffectData& out, std::string& error) {
    return particles::readEffectData(bytes.data(), bytes.size(), out, error);
}

TEST(EffectCurve, EvaluatesKeysSegmentsAndSmoothing) {
    const Curve one = Curve::constant(3.0f, 1.0f);
    const Curve line = ramp({{1.0f, 10.0f}, {3.0f, 30.0f}, {4.0f, 0.0f}});
    const Curve eased = ramp({{0.0f, 0.0f}, {1.0f, 1.0f}}, true);
    const struct {
        const Curve* curve;
        float x;
        float r;
        float expected;
    } cases[] = {
        {&one, -5.0f, 0.0f, 3.0f},       {&one, 5.0f, -1.0f, 2.0f}, // the variation is scaled by r
        {&line, 0.0f, 0.0f, 10.0f},                                 // before the first key
        {&line, 1.0f, 0.0f, 10.0f},                                 // at the first key
        {&line, 2.0f, 0.0f, 20.0f},                                 // linear inside a segment
        {&line, 3.0f, 0.0f, 30.0f}, // at an inner key: the segment ending there
        {&line, 3.5f, 0.0f, 15.0f},      {&line, 4.0f, 0.0f, 0.0f}, // at the last key
        {&line, 9.0f, 0.0f, 0.0f},                                  // after it
        {&eased, 0.25f, 0.0f, 0.15625f},                            // (3 - 2t)t^2
        {&eased, 0.5f, 0.0f, 0.5f},
    };
    for (const auto& c : cases) {
        EXPECT_FLOAT_EQ(c.expected, c.curve->evaluate(c.x, c.r)) << "x = " << c.x;
    }
}

TEST(EffectCurve, EqualKeyTimesJumpWithoutDividingByZero) {
    const Curve step = ramp({{0.0f, 0.0f}, {1.0f, 5.0f}, {1.0f, 9.0f}, {2.0f, 9.0f}});
    EXPECT_FLOAT_EQ(2.5f, step.evaluate(0.5f));
    EXPECT_FLOAT_EQ(5.0f, step.evaluate(1.0f));
    EXPECT_FLOAT_EQ(9.0f, step.evaluate(1.0001f));
    EXPECT_FLOAT_EQ(0.0f, step.evaluate(std::nanf("")));
    const Curve flat = ramp({{1.0f, 4.0f}, {1.0f, 8.0f}});
    EXPECT_FLOAT_EQ(4.0f, flat.evaluate(1.0f));
    EXPECT_FLOAT_EQ(8.0f, flat.evaluate(2.0f));
}

TEST(EffectFormat, EveryLayoutRoundTrips) {
    for (std::uint32_t version :
         {particles::kVersionOldest, particles::kVersionKeyExtras, 0x20000u, particles::kVersionPreview}) {
        EffectData data = simpleEffect();
        data.version = version;
        data.emitters.push_back(smokeEmitter());
        data.emitters.push_back(sparksEmitter());
        data.preview[0] = 0xFF203040u;
        data.emitters[2].layers[0].size.keys[1].handles[3] = 0.25f;
        const std::vector<std::uint8_t> bytes = bytesOf(data);
        EffectData back;
        std::string error;
        ASSERT_TRUE(reads(bytes, back, error)) << std::hex << version << ": " << error;
        EXPECT_EQ(version, back.version);
        ASSERT_EQ(4u, back.emitters.size());
        EXPECT_EQ("sparks", back.emitters[3].name);
        EXPECT_EQ(32, back.images[0].width);
        EXPECT_EQ(16, back.images[0].height);
        EXPECT_EQ(60u, back.emitters[3].bursts[0].count);
        const bool extras = version >= particles::kVersionKeyExtras;
        // The variations and handles exist only in the layouts that carry them.
        EXPECT_FLOAT_EQ(extras ? 6.0f : 0.0f, back.emitters[2].speed.keys[0].variation);
        EXPECT_FLOAT_EQ(extras ? 0.25f : 0.0f, back.emitters[2].layers[0].size.keys[1].handles[3]);
        EXPECT_EQ(version >= particles::kVersionPreview ? 0xFF203040u : 0u, back.preview[0]);
        EXPECT_TRUE(back.emitters[2].layers[0].size.smooth);
        // Written again, the bytes are the same.
        EXPECT_EQ(bytes, bytesOf(back));
    }
}

TEST(EffectFormat, StringLengthsUseAllThreePrefixes) {
    for (std::size_t length : {0u, 254u, 255u, 300u, 4096u}) {
        EffectData data = simpleEffect();
        data.emitters[0].name.assign(length, 'n');
        EffectData back;
        std::string error;
        ASSERT_TRUE(reads(bytesOf(data), back, error)) << length << ": " << error;
        EXPECT_EQ(length, back.emitters[0].name.size());
    }
    // The 32-bit form (16-bit 0xFFFF, then the length) is read for short names too.
    EffectData data = simpleEffect();
    data.textures[0].name = "abc";
    std::vector<std::uint8_t> bytes = bytesOf(data);
    const std::size_t at = 12; // head, version, texture count
    ASSERT_EQ(3, bytes[at]);
    const std::uint8_t wide[] = {255, 0xFF, 0xFF, 3, 0, 0, 0};
    bytes.erase(bytes.begin() + at);
    bytes.insert(bytes.begin() + at, wide, wide + sizeof wide);
    EffectData back;
    std::string error;
    ASSERT_TRUE(reads(bytes, back, error)) << error;
    EXPECT_EQ("abc", back.textures[0].name);
}

// A file damaged in one place, and the reason the reader must give.
struct Hostile {
    const char* name;
    std::function<void(EffectData&)> edit;                 // a change to the records before writing
    std::function<void(std::vector<std::uint8_t>&)> bytes; // or to the bytes after writing
    const char* reason;
};

void setU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

TEST(EffectFormat, HostileFilesAreRefusedWithAReason) {
    const float nan = std::nanf("");
    const Hostile cases[] = {
        {"empty file", nullptr, [](auto& b) { b.clear(); }, "file ends early"},
        {"wrong head", nullptr, [](auto& b) { b[0] = 'X'; }, "not an effect file"},
        {"version too new", nullptr, [](auto& b) { setU32(b, 4, particles::kVersionCurrent + 1); },
         "unsupported format version"},
        {"version too old", nullptr, [](auto& b) { setU32(b, 4, 0x14FFF); }, "unsupported format version"},
        {"texture count past the end", nullptr,
         [](auto& b) {
             b.resize(16);
             setU32(b, 8, 10);
         },
         "texture count out of range"},
        {"texture count beyond the limit", nullptr, [](auto& b) { setU32(b, 8, 0xFFFFFFFF); },
         "texture count out of range"},
        {"string longer than the file", nullptr,
         [](auto& b) {
             b[12] = 255;
             b[13] = 0xFF;
             b[14] = 0xFF;
         },
         "string length out of range"},
        {"name with a NUL byte", [](EffectData& d) { d.emitters[0].name = std::string("a\0b", 3); }, nullptr,
         "string holds a NUL byte"},
        {"texture of a missing image", [](EffectData& d) { d.textures[0].image = 1; }, nullptr,
         "texture names a missing image"},
        {"image that does not decode", [](EffectData& d) { d.images[0].bytes.assign(64, 0xAB); }, nullptr,
         "embedded image does not decode"},
        {"image cut short", [](EffectData& d) { d.images[0].bytes.resize(d.images[0].bytes.size() / 2); },
         nullptr, "embedded image does not decode"},
        {"bitmap on a missing texture", [](EffectData& d) { d.bitmaps[1].texture = 3; }, nullptr,
         "bitmap names a missing texture"},
        {"bitmap past the image", [](EffectData& d) { d.bitmaps[1].x = 17; }, nullptr,
         "bitmap rectangle outside its image"},
        {"bitmap of no size", [](EffectData& d) { d.bitmaps[0].width = 0; }, nullptr,
         "bitmap rectangle outside its image"},
        {"bitmap overflowing 32 bits", [](EffectData& d) { d.bitmaps[0].x = 0x7FFFFFF0; }, nullptr,
         "bitmap rectangle outside its image"},
        {"unknown shape", [](EffectData& d) { d.emitters[0].shape = static_cast<particles::EmitShape>(4); },
         nullptr, "unknown emitter shape"},
        {"unknown emitter flag", [](EffectData& d) { d.emitters[0].flags = 4; }, nullptr,
         "unknown emitter flags"},
        {"negative duration", [](EffectData& d) { d.emitters[0].duration = -1.0f; }, nullptr,
         "negative duration"},
        {"not a number", [nan](EffectData& d) { d.emitters[0].offset[1] = nan; }, nullptr,
         "value is not a finite number"},
        {"curve without keys", [](EffectData& d) { d.emitters[0].rate.keys.clear(); }, nullptr,
         "curve without keys"},
        {"keys out of order",
         [](EffectData& d) {
             d.emitters[0].life = ramp({{1.0f, 1.0f}, {0.5f, 2.0f}});
         },
         nullptr, "curve keys out of time order"},
        {"too many keys",
         [](EffectData& d) {
             d.emitters[0].rate.keys.assign(particles::kMaxKeys + 1, particles::CurveKey{});
         },
         nullptr, "curve key count out of range"},
        {"burst without cycles",
         [](EffectData& d) {
             d.emitters[0].bursts.push_back({0.0f, 5, 0, 0.0f});
         },
         nullptr, "burst out of range"},
        {"repeating burst without interval",
         [](EffectData& d) {
             d.emitters[0].bursts.push_back({0.0f, 5, 3, 0.0f});
         },
         nullptr, "burst out of range"},
        {"emitter without layers", [](EffectData& d) { d.emitters[0].layers.clear(); }, nullptr,
         "emitter without layers"},
        {"layer frames past the bitmaps", [](EffectData& d) { d.emitters[0].layers[0].bitmapCount = 3; },
         nullptr, "layer bitmaps out of range"},
        {"layer frame index overflowing",
         [](EffectData& d) { d.emitters[0].layers[0].bitmapFirst = 0xFFFFFFFF; }, nullptr,
         "layer bitmaps out of range"},
        {"layer of no capacity", [](EffectData& d) { d.emitters[0].layers[0].capacity = 0; }, nullptr,
         "layer capacity out of range"},
        {"layer too large",
         [](EffectData& d) { d.emitters[0].layers[0].capacity = particles::kMaxLayerCapacity + 1; }, nullptr,
         "layer capacity out of range"},
        {"emitter too large",
         [](EffectData& d) { d.emitters[0].layers.assign(5, plainLayer(0, particles::kMaxLayerCapacity)); },
         nullptr, "emitter capacity out of range"},
        {"unknown blend",
         [](EffectData& d) { d.emitters[0].layers[0].blend = static_cast<particles::LayerBlend>(2); },
         nullptr, "unknown layer blend"},
        {"smoothing flag of 2", nullptr,
         [](auto& b) {
             // The last curve of the last layer ends 4 bytes before the particle total and the preview.
             setU32(b, b.size() - 4 - 48 - 4, 2);
         },
         "curve smoothing flag is not 0 or 1"},
        {"particle total that disagrees", nullptr, [](auto& b) { setU32(b, b.size() - 48 - 4, 1); },
         "particle total does not match the layers"},
        {"bytes after the end", nullptr, [](auto& b) { b.push_back(0); }, "bytes left after the effect"},
        {"preview cut short", nullptr, [](auto& b) { b.resize(b.size() - 2); }, "file ends early"},
    };
    for (const Hostile& c : cases) {
        EffectData data = simpleEffect();
        if (c.edit) {
            c.edit(data);
        }
        std::vector<std::uint8_t> bytes = bytesOf(data);
        if (c.bytes) {
            c.bytes(bytes);
        }
        EffectData out;
        out.version = 7; // must stay untouched
        std::string error;
        EXPECT_FALSE(reads(bytes, out, error)) << c.name;
        EXPECT_NE(std::string::npos, error.find(c.reason)) << c.name << ": " << error;
        EXPECT_EQ(7u, out.version) << c.name;
    }
}

TEST(EffectFormat, EveryShortenedFileIsRefused) {
    EffectData data = simpleEffect();
    data.emitters.push_back(sparksEmitter());
    const std::vector<std::uint8_t> bytes = bytesOf(data);
    EffectData out;
    std::string error;
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        // A copy of exactly `size` bytes, so a read past it is caught by the sanitizer.
        const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
        ASSERT_FALSE(particles::readEffectData(cut.data(), cut.size(), out, error)) << size;
    }
}

} // namespace
