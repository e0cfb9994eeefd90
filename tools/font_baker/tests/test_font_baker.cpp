// The font baker: its PNG pages read back by the engine's image reader, its character lists, and a DejaVu
// font baked and then loaded, measured and drawn by the engine's Font on real OpenGL.
#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "component/class_names.h"
#include "component/component_registry.h"
#include "component/engine_interfaces.h"
#include "graphics/display.h"
#include "graphics/graphics_classes.h"
#include "graphics/image_record.h"
#include "graphics/render_target.h"
#include "graphics/renderer.h"
#include "objects/system.h"
#include "platform/kd.h"
#include "platform/kd_libraries.h"
#include "platform/kd_start.h"
#include "tools/font_baker/font_bake.h"
#include "tools/font_baker/png_writer.h"

namespace {

namespace fs = std::filesystem;

TEST(PngWriter, ImagesReadBackExactly) {
    const std::uint32_t w = 7, h = 5;
    std::vector<std::uint8_t> rgba(w * h * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        rgba[i] = static_cast<std::uint8_t>(i * 37 + (i >> 3));
    }
    const std::vector<std::uint8_t> png = encodePngRgba(w, h, rgba);
    ImageRecord* image = ReadImageFromMemory(png.data(), png.size());
    ASSERT_NE(nullptr, image);
    EXPECT_EQ(w, std::uint32_t(image->width));
    EXPECT_EQ(h, std::uint32_t(image->height));
    EXPECT_EQ(IMAGE_FORMAT_RGBA8, image->format);
    EXPECT_TRUE(std::equal(rgba.begin(), rgba.end(), image->pixels));
    FreeImage(image);
    EXPECT_TRUE(encodePngRgba(0, 5, {}).empty());
    EXPECT_TRUE(encodePngRgba(2, 2, std::vector<std::uint8_t>(15)).empty()); // too few pixels
}

TEST(FontBaker, CharacterLists) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
    ASSERT_TRUE(parseRanges("32-126,160-255,8364", ranges));
    ASSERT_EQ(3u, ranges.size());
    EXPECT_EQ(std::make_pair(160u, 255u), ranges[1]);
    EXPECT_EQ(std::make_pair(8364u, 8364u), ranges[2]);
    for (const char* bad : {"", "x", "9-3", "32-", "1,,2", "0x110000", "5-7z"}) {
        EXPECT_FALSE(parseRanges(bad, ranges)) << bad;
    }
}

int runTool(const std::string& arguments) {
    const int status = std::system((std::string(HH_FONTBAKE) + " " + arguments + " 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class BakedFontTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        ASSERT_EQ(0, SDL_InitSubSystem(SDL_INIT_VIDEO)) << SDL_GetError();
        ComponentRegistry& registry = ComponentRegistry::instance();
        registerObjectModelClasses(registry);
        registerGraphicsClasses(registry);
        s_display = registry.create(classId(ClassName::Display)).query<IDisplay>();
        ASSERT_TRUE(s_display && s_display->Init(320, 240));
        platform::keepLoadedLibraries();
    }
    static void TearDownTestSuite() {
        if (auto shutdownable = s_display.query<IShutdownable>()) {
            shutdownable->Shutdown();
        }
        s_display.reset();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    void SetUp() override {
        m_previous = fs::current_path();
        char pattern[] = "/tmp/hh-bake-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        m_root = pattern;
        fs::current_path(m_root);
        platform::startFileSystems();
        m_system = ComponentRegistry::instance().create(classId(ClassName::System)).query<ISystem>();
        ASSERT_TRUE(m_system && m_system->Init(s_display.get()));
    }
    void TearDown() override {
        m_system->Shutdown();
        m_system.reset();
        kdUnmountAll();
        fs::current_path(m_previous);
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }

    static inline ComponentRef<IDisplay> s_display;
    fs::path m_previous;
    fs::path m_root;
    ComponentRef<ISystem> m_system;
};

TEST_F(BakedFontTest, DejaVuLoadsMeasuresAndDraws) {
    ASSERT_EQ(0, runTool(std::string("--font ") + HH_DEJAVU_SANS +
                         " --size 18 --chars 32-126,233 --alias 127=62 --page 64 --out fonts/ui.fnt"));
    ASSERT_TRUE(fs::exists("fonts/ui_0.png"));
    ComponentRef<IFont> font = System::live()->GetResourceManager()->GetFont("fonts/ui.fnt").query<IFont>();
    ASSERT_TRUE(font);
    EXPECT_EQ(22, font->GetHeight()); // the font's 21, and one more for the glyphs hanging below it
    EXPECT_TRUE(font->IsSymbolExists('A'));
    EXPECT_TRUE(font->IsSymbolExists(233));
    EXPECT_TRUE(font->IsSymbolExists(127));
    EXPECT_FALSE(font->IsSymbolExists(8364));
    // 64-pixel pages: the ASCII set needs more than one.
    std::ifstream description("fonts/ui.fnt");
    std::stringstream text;
    text << description.rdbuf();
    EXPECT_NE(std::string::npos, text.str().find("page id=1 file=\"ui_1.png\""));
    // Proportional: an i is narrower than a W, and the text is as wide as its characters.
    EXPECT_LT(font->GetWidth("i"), font->GetWidth("W"));
    EXPECT_EQ(font->GetWidth("Harbor") + font->GetWidth(" Haven"), font->GetWidth("Harbor Haven"));

    ComponentRef<IRenderTarget> target = s_display->CreateRenderTarget(200, 32);
    IGraphics* g = target->Begin(nullptr);
    ASSERT_NE(nullptr, g);
    g->Clear(0xFF000000u);
    g->SetFont(font.get());
    g->DrawString("Harbor Haven", 0, 0);
    target->End();
    std::vector<std::uint32_t> px(200 * 32);
    ASSERT_TRUE(
        Gfx_ReadPixels(static_cast<RenderTarget*>(target.get())->deviceTarget(), 0, 0, 200, 32, px.data()));
    // Ink only where the text is: inside its measured width and the line height.
    int inked = 0, outside = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 200; ++x) {
            if ((px[std::size_t(y) * 200 + x] & 0x00FFFFFF) == 0) continue;
            ++inked;
            if (x > font->GetWidth("Harbor Haven") + 1 || y >= font->GetHeight()) ++outside;
        }
    }
    EXPECT_GT(inked, 200);
    EXPECT_EQ(0, outside);
}

TEST_F(BakedFontTest, BadArgumentsAndFontsFail) {
    EXPECT_EQ(2, runTool("--font"));
    EXPECT_EQ(2, runTool("--size 10 --out x.fnt"));
    EXPECT_EQ(2, runTool(std::string("--font ") + HH_DEJAVU_SANS + " --out x.fnt --chars 9-3"));
    std::ofstream("junk.ttf") << "not a font";
    EXPECT_EQ(1, runTool("--font junk.ttf --out x.fnt"));
    EXPECT_EQ(1, runTool(std::string("--font ") + HH_DEJAVU_SANS + " --size 200 --page 64 --out x.fnt"));
    EXPECT_FALSE(fs::exists("x.fnt"));
}

} // namespace
