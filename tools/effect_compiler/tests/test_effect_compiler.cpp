// The effect compiler: the sample game's effects, the source language's keys and colours, and its errors.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "graphics/image_record.h"
#include "tools/effect_compiler/effect_source.h"

namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const char* kMinimal = R"(image dot 8 8
  dot 4 4 3
end
texture t dot
bitmap b t 0 0 8 8
emitter one
  layer l
    bitmap b
  end
end
)";

TEST(EffectCompiler, TheSampleGameEffectsCompileAndReadBack) {
    const struct {
        const char* file;
        std::vector<std::string> emitters;
    } effects[] = {
        {"smoke", {"smoke"}},
        {"sparkles", {"sparkles"}},
        {"fireworks", {"shell", "trail"}},
    };
    for (const auto& effect : effects) {
        EffectSource source;
        ASSERT_TRUE(compileEffectSource(readText(std::string(HH_GAME_EFFECTS) + "/" + effect.file + ".fxsrc"),
                                        source))
            << effect.file << ": " << source.error;
        ASSERT_EQ(effect.emitters.size(), source.data.emitters.size()) << effect.file;
        for (std::size_t i = 0; i < effect.emitters.size(); ++i) {
            EXPECT_EQ(effect.emitters[i], source.data.emitters[i].name);
        }
        // The painted pictures are real images with something drawn on them.
        for (const particles::ImageDef& image : source.data.images) {
            ImageRecord* decoded = ReadImageFromMemory(image.bytes.data(), image.bytes.size());
            ASSERT_NE(nullptr, decoded) << effect.file;
            int opaque = 0;
            for (int i = 0; i < decoded->width * decoded->height; ++i) {
                opaque += decoded->pixels[i * 4 + 3] > 128 ? 1 : 0;
            }
            EXPECT_GT(opaque, 10) << effect.file << " " << image.name;
            FreeImage(decoded);
        }
    }
}

TEST(EffectCompiler, KeysVariationsSmoothingAndColours) {
    std::string text = kMinimal;
    text.insert(text.find("  layer l"), "  rate 0:10 1:20~5 smooth\n  life 2~0.5\n");
    text.insert(text.find("    bitmap b"),
                "    colour 0:#FF8000 1:#0000FF   # orange to blue\n    align 0.5\n");
    EffectSource source;
    ASSERT_TRUE(compileEffectSource(text, source)) << source.error;
    const particles::EmitterDef& e = source.data.emitters[0];
    ASSERT_EQ(2u, e.rate.keys.size());
    EXPECT_TRUE(e.rate.smooth);
    EXPECT_FLOAT_EQ(20.0f, e.rate.keys[1].value);
    EXPECT_FLOAT_EQ(5.0f, e.rate.keys[1].variation);
    EXPECT_FLOAT_EQ(0.5f, e.life.keys[0].variation);
    const particles::LayerDef& l = e.layers[0];
    EXPECT_FLOAT_EQ(1.0f, l.red.keys[0].value);
    EXPECT_NEAR(128.0f / 255.0f, l.green.keys[0].value, 1e-6);
    EXPECT_FLOAT_EQ(1.0f, l.blue.keys[1].value);
    EXPECT_EQ(std::uint32_t(particles::LAYER_ALIGN), l.flags);
    EXPECT_FLOAT_EQ(0.5f, l.stretch);
}

TEST(EffectCompiler, FaultsNameTheirLine) {
    const struct {
        const char* change; // replaces the line "  layer l"
        const char* error;
    } cases[] = {
        {"  shape hexagon 3\n  layer l", "line 7: unknown shape 'hexagon'"},
        {"  shape line 5 edge\n  layer l", "line 7: only circles and rectangles take 'edge'"},
        {"  rate 0:5 1\n  layer l", "line 7: keys of a changing curve need times"},
        {"  rate 1:5 0:6\n  layer l", "line 7: key times must not decrease"},
        {"  life 0\n  layer l", "line 7: bad value in '0'"},
        {"  spread 400\n  layer l", "line 7: bad value in '400'"},
        {"  burst 0 5 3\n  layer l", "line 7: 'burst' takes time count [cycles interval]"},
        {"  burst 0 5 3 0\n  layer l", "line 7: bad interval '0'"},
        {"  layer l\n    bitmap missing", "line 8: unknown bitmap 'missing'"},
        {"  layer l\n    bitmap b 2", "line 8: fewer bitmaps follow 'b' than frames asked for"},
        {"  layer l\n    blend screen", "line 8: unknown blend 'screen'"},
        {"  layer l\n    capacity 0", "line 8: bad capacity '0'"},
        {"  layer l\n    colour 0:#FF80", "line 8: bad colour '0:'"}, // a short colour reads as a comment
        {"  wobble 3\n  layer l", "line 7: unknown emitter statement 'wobble'"},
    };
    for (const auto& c : cases) {
        std::string text = kMinimal;
        text.replace(text.find("  layer l"), 9, c.change);
        EffectSource source;
        EXPECT_FALSE(compileEffectSource(text, source)) << c.change;
        EXPECT_EQ(0u, source.error.find(c.error)) << c.change << " gave: " << source.error;
    }
    const struct {
        const char* text;
        const char* error;
    } whole[] = {
        {"", "line 0: no emitter"},
        {"image x 4 4\n  dot 2 2 1\n", "line 3: the last block has no 'end'"},
        {"image x 4 4\n  blob 2 2 1\nend\n", "line 2: unknown drawing 'blob'"},
        {"texture t nothing\n", "line 1: unknown image 'nothing'"},
        {"image x 4 4\nend\ntexture t x\nbitmap b t 2 2 4 4\n",
         "line 4: bitmap 'b' reaches outside its image"},
        {"image x 4 4\nend\ntexture t x\nbitmap b t 0 0 4 4\nemitter e\nend\n",
         "line 6: emitter 'e' has no layer"},
        {"image x 4 4\nend\ntexture t x\nbitmap b t 0 0 4 4\nemitter e\n  layer l\n  end\nend\n",
         "line 7: layer 'l' has no bitmap"},
    };
    for (const auto& c : whole) {
        EffectSource source;
        EXPECT_FALSE(compileEffectSource(c.text, source)) << c.text;
        EXPECT_EQ(0u, source.error.find(c.error)) << c.text << " gave: " << source.error;
    }
}

} // namespace
