// The cursor maker: pictures drawn as text become BMPs with alpha that SDL reads back pixel for pixel, and
// faults name their line.
#include <gtest/gtest.h>

#include <SDL.h>

#include "tools/cursor_maker/cursor_maker.h"

namespace {

TEST(CursorMaker, PictureRoundTripsThroughSdl) {
    std::vector<CursorPicture> cursors;
    std::string error;
    ASSERT_TRUE(parseCursors("colour . 0x00000000\ncolour # 0xFF102030\ncolour o 0x80FFFFFF\n"
                             "cursor 100 # an arrow\n#..\n#o.\n###\nend\n",
                             cursors, error))
        << error;
    ASSERT_EQ(cursors.size(), 1u);
    EXPECT_EQ(cursors[0].name, "100");
    EXPECT_EQ(cursors[0].width, 3);
    EXPECT_EQ(cursors[0].height, 3);
    const std::vector<std::uint8_t> bmp = encodeCursorBmp(cursors[0]);
    SDL_Surface* loaded = SDL_LoadBMP_RW(SDL_RWFromConstMem(bmp.data(), static_cast<int>(bmp.size())), 1);
    ASSERT_NE(loaded, nullptr) << SDL_GetError();
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(loaded);
    ASSERT_NE(argb, nullptr);
    ASSERT_EQ(argb->w, 3);
    ASSERT_EQ(argb->h, 3);
    auto pixel = [&](int x, int y) {
        return static_cast<const std::uint32_t*>(argb->pixels)[y * argb->pitch / 4 + x];
    };
    EXPECT_EQ(pixel(0, 0), 0xFF102030u) << "top row first, hot spot at the top left";
    EXPECT_EQ(pixel(1, 0) >> 24, 0u);
    EXPECT_EQ(pixel(1, 1), 0x80FFFFFFu);
    EXPECT_EQ(pixel(2, 2), 0xFF102030u);
    SDL_FreeSurface(argb);
}

TEST(CursorMaker, FaultsNameTheirLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"cursor a\n#\nend\n", "line 2: no colour for '#'"},
        {"colour . 0x0\ncursor a\n..\n.\nend\n",
         "line 4: rows of cursor a must all be 1 ... 64 characters wide like the first"},
        {"colour . 0x0\ncursor a\n..\n", "line 3: cursor a has no end"},
        {"cursor ../x\n", "line 1: a cursor name is letters, digits, '_' and '-'"},
        {"colour . 0x1FFFFFFFF\n", "line 1: bad colour '0x1FFFFFFFF'"},
        {"cursor a\nend\n", "line 2: cursor a has no rows"},
        {"paint\n", "line 1: unknown command 'paint'"},
    };
    for (const auto& c : cases) {
        std::vector<CursorPicture> cursors;
        std::string error;
        EXPECT_FALSE(parseCursors(c.text, cursors, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}

} // namespace
