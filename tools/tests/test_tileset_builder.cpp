// The tile-set builder's compiler: descriptions in, checked tile-set bytes, painted images and the naming
// script out; every bad line is refused with its line number.
#include <gtest/gtest.h>

#include "graphics/tile_set.h"
#include "tools/tileset_source.h"

namespace {

const char* kDescription = R"(# two tiles and an animation
image res/t.tga 8 4 0x00000000
  rect 0 0 4 4 0xFFFF0000
  disc 6 2 2 0xFF00FF00
end
texture 3 res/t.tga
tile red -2 -4 4 4
  sprite 3 0 0
  joint 5
end
tile both 0 0 8 4   # red, then red mirrored at (4, 0)
  draw red
  offset 4 0
  flipx
  draw 0
  frame 1 250 4
  color 0xFF102030
  line 3 -2
  fill 2 1
  outline 1 2
  blend 3
end
)";

std::vector<std::uint16_t> program(const TileSetData& set, std::int32_t tile,
                                   const std::vector<std::uint8_t>& b) {
    std::vector<std::uint16_t> words;
    const std::size_t at = 2 + 12 * static_cast<std::size_t>(set.count());
    for (std::uint32_t i = set.programBegin(tile); i < set.programEnd(tile); ++i) {
        words.push_back(static_cast<std::uint16_t>(b[at + 2 * i] | (b[at + 2 * i + 1] << 8)));
    }
    return words;
}

TEST(TileSetBuilder, CompilesTilesImagesAndTheScript) {
    TileSetSource out;
    ASSERT_TRUE(compileTileSetSource(kDescription, out)) << out.error;
    TileSetData set;
    ASSERT_TRUE(set.open(out.tileSet.data(), out.tileSet.size()));
    ASSERT_EQ(2, set.count());
    EXPECT_EQ(-2, set.record(0).x);
    EXPECT_EQ(-4, set.record(0).y);
    EXPECT_EQ(4, set.record(0).width);
    EXPECT_EQ((std::vector<std::uint16_t>{0x0300, 0, 0, TILEOP_Joint, 5}), program(set, 0, out.tileSet));
    EXPECT_EQ((std::vector<std::uint16_t>{TILEOP_Tile,
                                          0,
                                          TILEOP_Offset,
                                          4,
                                          0,
                                          TILEOP_FlipX,
                                          TILEOP_Tile,
                                          0,
                                          TILEOP_Frame,
                                          1,
                                          250,
                                          4,
                                          TILEOP_Color,
                                          0xFF10,
                                          0x2030,
                                          TILEOP_Line,
                                          0xFFFE,
                                          3,
                                          TILEOP_FillRect,
                                          2,
                                          1,
                                          TILEOP_Rect,
                                          1,
                                          2,
                                          TILEOP_BlendMode,
                                          3}),
              program(set, 1, out.tileSet));

    ASSERT_EQ(1u, out.images.size());
    const PaintedImage& image = out.images[0];
    EXPECT_EQ(0xFFFF0000u, image.pixels[0]);
    EXPECT_EQ(0xFF00FF00u, image.pixels[1 * 8 + 6]); // inside the disc
    EXPECT_EQ(0x00000000u, image.pixels[0 * 8 + 4]); // outside both
    const auto tga = encodeTga(image);
    ASSERT_EQ(18u + 8 * 4 * 4, tga.size());
    EXPECT_EQ(0x28, tga[17]);
    EXPECT_EQ((std::vector<std::uint8_t>{0x00, 0x00, 0xFF, 0xFF}),
              std::vector<std::uint8_t>(tga.begin() + 18, tga.begin() + 22));

    EXPECT_EQ("// Made by tileset_builder from t.tiles: tile numbers by name, textures by slot.\n"
              "TileNumbers <- {\n  red = 0,\n  both = 1,\n};\n"
              "TileTextures <- [null, null, null, \"res/t.tga\"];\n",
              tileSetScript(out, "t.tiles"));
}

TEST(TileSetBuilder, RefusesBadLinesWithTheirNumber) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"tile a 0 0 4 4\n  sprite 1024 0 0\nend\n", "line 2: bad slot '1024'"},
        {"tile a 0 0 4 4\n  offset 40000 0\nend\n", "line 2: bad x '40000'"},
        {"tile a 0 0 4 4\n  draw a\nend\n", "line 2: 'a' is not a tile defined before this one"},
        {"tile a 0 0 4 4\n  draw 0\nend\n", "line 2: '0' is not a tile defined before this one"},
        {"tile a 0 0 4 4\nend\ntile a 0 0 4 4\nend\n", "line 3: the tile a is defined twice"},
        {"tile 9a 0 0 4 4\nend\n", "not a script identifier"},
        {"tile a 0 0 4 4\n  frame 4 100 4\nend\n", "line 2: bad frame '4'"},
        {"tile a 0 0 4 4\n  frame 0 0 4\nend\n", "line 2: bad period '0'"},
        {"tile a 0 0 4 4\n  spin 3\nend\n", "line 2: unknown tile operation 'spin'"},
        {"tile a 0 0 4 4\n  flipx 1\nend\n", "line 2: 'flipx' takes 0 value(s)"},
        {"tile a 0 0 4 4\n  sprite 0 0 0\n", "missing 'end'"},
        {"image i.tga 4 4\nend\ntexture 0 i.tga\ntile a 0 0 4 4\n  sprite 0 1 0\nend\n",
         "line 5: sprite 4x4 at (1, 0) is outside the 4x4 texture of slot 0"},
        {"texture 0 a.tga\ntexture 0 b.tga\n", "line 2: slot 0 is given twice"},
        {"texture 0 a\"b.tga\n", "quotes"},
        {"image i.tga 0 4\nend\n", "line 1: bad width '0'"},
        {"image i.tga 4 4\n  spray 1 1\nend\n", "line 2: unknown paint command 'spray'"},
        {"colour 0\n", "line 1: unknown statement 'colour'"},
        {"image i.tga 4 4\n  tri 0 0 4 0 2\nend\n", "line 2: 'tri' takes 7 value(s)"},
        {"image i.tga 4 4\n  gradient 0 0 0 4 0xFF000000 0xFFFFFFFF\nend\n", "line 2: bad width '0'"},
    };
    for (const auto& c : cases) {
        TileSetSource out;
        EXPECT_FALSE(compileTileSetSource(c.text, out)) << c.text;
        EXPECT_NE(std::string::npos, out.error.find(c.error)) << c.text << " -> " << out.error;
        EXPECT_TRUE(out.tileSet.empty());
    }
}

// Triangles fill the pixels whose centres they cover, either winding, and nothing for a flat one; gradients
// run from the top row's colour to the bottom row's, channel by channel.
TEST(TileSetBuilder, PaintsTrianglesAndGradients) {
    TileSetSource out;
    ASSERT_TRUE(compileTileSetSource("image i.tga 8 8 0x00000000\n"
                                     "  tri 0 0 8 0 0 8 0xFFFF0000\n"
                                     "  tri 8 8 8 4 4 8 0xFF00FF00\n"
                                     "  tri 0 0 4 4 8 8 0xFF0000FF\n"
                                     "  gradient 0 6 2 2 0xFF000000 0x80FFFFFF\n"
                                     "end\n",
                                     out))
        << out.error;
    ASSERT_EQ(out.images.size(), 1u);
    const std::vector<std::uint32_t>& p = out.images[0].pixels;
    EXPECT_EQ(p[0 * 8 + 0], 0xFFFF0000u);
    EXPECT_EQ(p[0 * 8 + 6], 0xFFFF0000u); // (6.5, 0.5) lies inside the upper-left half
    EXPECT_EQ(p[5 * 8 + 5], 0x00000000u); // below the diagonal, outside both triangles
    EXPECT_EQ(p[7 * 8 + 7], 0xFF00FF00u); // the second, wound the other way
    EXPECT_EQ(p[6 * 8 + 0], 0xFF000000u); // the gradient's top row
    EXPECT_EQ(p[7 * 8 + 1], 0x80FFFFFFu); // and its bottom row
}

// Nesting deeper than the engine reads is refused by the builder too.
TEST(TileSetBuilder, RefusesWhatTheEngineWouldRefuse) {
    std::string text = "tile t0 0 0 1 1\nend\n";
    for (int i = 1; i <= 17; ++i) {
        text += "tile t" + std::to_string(i) + " 0 0 1 1\n  draw t" + std::to_string(i - 1) + "\nend\n";
    }
    TileSetSource out;
    EXPECT_FALSE(compileTileSetSource(text, out));
    EXPECT_NE(std::string::npos, out.error.find("deeper")) << out.error;
}

} // namespace
