// Bitmap fonts: the text reader and its checks, measuring, word wrap, drawing (golden images) and the script
// methods.
#include "binding/component_class.h"
#include "binding/value_binding.h"
#include "graphics/tests/font_fixture.h"
#include "script/script_host.h"

namespace {

using namespace graphics::test;
using Lines = std::vector<std::string>;

TEST_F(FontTest, LoadsMetricsThroughTheResourceManager) {
    ComponentRef<IFont> font = loadFont();
    ASSERT_TRUE(font);
    EXPECT_TRUE(logged("[Font] Loaded fonts/test.fnt (height: 10@1x glyphs: 8)"));
    EXPECT_EQ(10, font->GetHeight());
    EXPECT_TRUE(font->IsSymbolExists('A'));
    EXPECT_FALSE(font->IsSymbolExists('Z')); // the fallback does not count
    EXPECT_FALSE(font->IsSymbolExists('\n'));
    // The same path answers the cached font.
    EXPECT_EQ(abstractOf(font.get()), System::live()->GetResourceManager()->GetFont("fonts/test.fnt").get());
}

TEST_F(FontTest, WidthCountsAdvancesKerningAndTheFallback) {
    ComponentRef<IFont> font = loadFont();
    ASSERT_TRUE(font);
    const struct {
        const char* text;
        int width;
    } cases[] = {
        {"", 0},     {"A", 6},        {"AV", 11},     // kerning -1
        {"VA", 12},  {"A\nV", 11},    {"A\tV\r", 11}, // line breaks and tabs have no width
        {"AZ", 12},                                   // Z draws as '-'
        {"A V", 16}, {"\xC3\xA9", 6},                 // é is missing: '-'
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.width, font->GetWidth(c.text)) << c.text;
    }
}

TEST_F(FontTest, CharSpacingWidensEveryAdvance) {
    ComponentRef<IFont> font = loadFont(description("info face=\"Test\" charSpacing=2 size=8", ""));
    ASSERT_TRUE(font);
    EXPECT_EQ(16, font->GetWidth("AV"));
}

TEST_F(FontTest, SplitStringWrapsAtSpacesAndBreaksLongWords) {
    ComponentRef<IFont> font = loadFont(description("info face=\"Test\" size=8", ""));
    ASSERT_TRUE(font);
    const struct {
        const char* text;
        int width;
        Lines lines;
    } cases[] = {
        {"", 100, {""}},
        {"AVT\n", 100, {"AVT", ""}},
        {"AVT ToH", 39, {"AVT", "ToH"}}, // 18 + 4 + 18 = 40 does not fit
        {"AVT ToH", 40, {"AVT ToH"}},
        {"AVTAVT", 20, {"AVT", "AVT"}}, // one word wider than the limit breaks between characters
        {"AAA", 3, {"A", "A", "A"}},    // the first character of a line is always kept
        {"AV  TT", 12, {"AV", "TT"}},   // spaces at the start of a following line are dropped
        {"A\nVV T", 13, {"A", "VV", "T"}},
        {" A  ", 6, {" ", "A", ""}}, // a leading space of the first line stays
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.lines, font->SplitString(c.text, c.width)) << c.text << " in " << c.width;
    }
    EXPECT_TRUE(font->SplitString(nullptr, 10).empty());
}

TEST_F(FontTest, SplitStringAlwaysMakesProgress) {
    // A line that starts with a space after a wrap must not wrap at that same space again.
    ComponentRef<IFont> font = loadFont(description("info face=\"Test\" size=8", ""));
    ASSERT_TRUE(font);
    const Lines lines = font->SplitString("AAAAAAAA AAAAAAAAAAAAAAAAAA A", 20);
    ASSERT_LT(lines.size(), 20u);
    EXPECT_EQ("AAA", lines[0]);
}

TEST_F(FontTest, MalformedFilesFailTheLoad) {
    const std::string good = description();
    const std::string page = "page id=0 file=\"page.png\"\r\n";
    auto replace = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const struct {
        const char* what;
        std::string text;
        const char* message;
    } cases[] = {
        {"page id past the count", replace(page, "page id=1 file=\"page.png\"\r\n"), "page id out of range"},
        {"negative page id", replace(page, "page id=-1 file=\"page.png\"\r\n"), "page id out of range"},
        {"negative page count", replace("pages=1", "pages=-3"), "page count out of range"},
        {"huge page count", replace("pages=1", "pages=100000"), "page count out of range"},
        {"name without quotes", replace(page, "page id=0 file=page.png\r\n"), "not in quotes"},
        {"one-character name", replace(page, "page id=0 file=\"\r\n"), "not in quotes"},
        {"missing page image", replace(page, "page id=0 file=\"none.png\"\r\n"), "cannot be loaded"},
        {"glyph on an undeclared page",
         replace("y=1 width=5 height=7 xoffset=0 yoffset=1 xadvance=6 page=0",
                 "y=1 width=5 height=7 xoffset=0 yoffset=1 xadvance=6 page=4"),
         "does not declare"},
        {"glyph past the page", replace("x=1 y=1 width=5", "x=62 y=1 width=5"), "outside its page"},
        {"negative glyph size", replace("x=1 y=1 width=5", "x=1 y=1 width=-5"), "outside its page"},
        {"short chars", replace("chars count=8", "chars count=12"), "bad char line"},
        {"bad common line", replace("common lineHeight=10", "common lineHeight=x"), "bad common line"},
        {"bad charSpacing", replace("size=8", "charSpacing=x"), "bad charSpacing"},
        {"bad kerning", replace("amount=-1", "amount=?"), "bad kerning line"},
    };
    for (const auto& c : cases) {
        m_log.clear();
        EXPECT_FALSE(loadFont(c.text, "fonts/bad.fnt")) << c.what;
        EXPECT_TRUE(logged(c.message)) << c.what;
        EXPECT_TRUE(logged("Can't load: fonts/bad.fnt")) << c.what;
    }
    ComponentRef<IFont> missing =
        System::live()->GetResourceManager()->GetFont("fonts/none.fnt").query<IFont>();
    EXPECT_FALSE(missing);
}

TEST_F(FontTest, ReloadingIntoTheSameFontKeepsOldGlyphsHarmless) {
    // A second, pageless description: glyphs of the first load point at pages that are gone.
    ComponentRef<IFont> font = loadFont();
    ASSERT_TRUE(font);
    writeText("fonts/empty.fnt",
              "info\ncommon lineHeight=12 base=8 scaleW=8 scaleH=8 pages=0\nchars count=0\n");
    ASSERT_TRUE(queryInterface<ILoadable>(font.get())->LoadFromFile("fonts/empty.fnt"));
    auto out = target(32, 16);
    IGraphics* g = out->Begin(nullptr);
    g->Clear(0xFF000000u);
    g->SetFont(font.get());
    g->DrawString("AV", 0, 0);
    out->End();
    for (std::uint32_t p : pixels(*out)) {
        ASSERT_EQ(0xFF000000u, p);
    }
}

// Draws lines of text on black and compares with a golden image.
TEST_F(FontTest, TextGoldenImages) {
    ComponentRef<IFont> font = loadFont();
    ASSERT_TRUE(font);
    auto out = target(96, 56);
    IGraphics* g = out->Begin(nullptr);
    g->Clear(0xFF000000u);
    g->SetFont(font.get());
    // Kerning: "AV" pulls V 1 pixel towards A; "VA" has no pair.
    g->DrawString("AVAV VA", 2, 2);
    // Colours tint the white glyphs; the unknown Z draws as '-'.
    g->SetColor(0xFFFF4040u);
    g->DrawString("HoT", 2, 14);
    g->SetColor(0xFF40FF40u);
    g->DrawString("iZi", 26, 14);
    // Word wrap into 30 pixels, one line per font height.
    g->SetColor(0xFF60A0FFu);
    int y = 24;
    for (const std::string& line : font->SplitString("To AVoid HiT", 30)) {
        g->DrawString(line.c_str(), 50, static_cast<float>(y));
        y += font->GetHeight();
    }
    out->End();
    expectGolden("font_text", pixels(*out), 96, 56);
}

// Every string moves the transform to its position and back; strings of one font page in one colour or
// many still make one draw call.
TEST_F(FontTest, StringsShareOneDrawCall) {
    ComponentRef<IFont> font = loadFont();
    ASSERT_TRUE(font);
    auto out = target(96, 32);
    IGraphics* g = out->Begin(nullptr);
    g->Clear(0xFF000000u);
    g->SetFont(font.get());
    Gfx_ResetDrawCallCount();
    g->DrawString("AV", 2, 2);
    g->SetColor(0xFFFF4040u);
    g->DrawString("HoT", 40, 2);
    g->Translate(10, 12);
    g->DrawString("VA", 0, 0);
    out->End();
    EXPECT_EQ(1u, Gfx_DrawCallCount());
    const auto px = pixels(*out);
    // Glyph rows start one pixel down; 'A' opens with " ### ", 'H' and 'V' with "#   #".
    EXPECT_EQ(0xFF000000u, at(px, 96, 2, 3));
    EXPECT_EQ(0xFFFFFFFFu, at(px, 96, 3, 3));
    EXPECT_EQ(0xFFFF4040u, at(px, 96, 40, 3));
    EXPECT_EQ(0xFFFF4040u, at(px, 96, 10, 13));
    EXPECT_EQ(0xFF000000u, at(px, 96, 11, 13));
}

TEST_F(FontTest, ScriptMethods) {
    ComponentRef<IFont> font = loadFont();
    ASSERT_TRUE(font);
    const char* arguments[] = {"harborhaven"};
    ScriptHost::create(1, arguments);
    if (ScriptHost::getSlot(ScriptHost::root(), "Component").isNull()) {
        ASSERT_TRUE(registerComponentClass(ScriptHost::vm()));
        ASSERT_TRUE(registerValueClasses(ScriptHost::vm()));
    }
    pushComponent(ScriptHost::vm(), font.get());
    ScriptHost::setValue(ScriptHost::root(), "font", ScriptValue::fromStack(-1));
    sq_pop(ScriptHost::vm(), 1);
    ScriptValue result = ScriptHost::callClosure(ScriptHost::compileBuffer(
        "local lines = font.SplitString(\"AVT ToH\", 30);"
        "return typeof font + \":\" + font.GetHeight() + \":\" + font.GetWidth(\"AV\") + \":\" +"
        " font.IsSymbolExists(65) + \":\" + font.IsSymbolExists(90) + \":\" + lines.len() + lines[0] + "
        "lines[1];"));
    ASSERT_EQ(OT_STRING, result.type());
    sq_pushobject(ScriptHost::vm(), result.object());
    const SQChar* text = nullptr;
    sq_getstring(ScriptHost::vm(), -1, &text);
    EXPECT_STREQ("Font:10:11:true:false:2AVTToH", text);
    sq_pop(ScriptHost::vm(), 1);
    result.reset();
    ScriptHost::destroy();
}

} // namespace
