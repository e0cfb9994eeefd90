// A test font written to disk: a handful of 5x7 pixel letters on one 64x16 page, with kerning and an
// optional charSpacing, loaded through the resource manager of a started System like the game's fonts.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "component/class_names.h"
#include "component/component_registry.h"
#include "component/engine_interfaces.h"
#include "graphics/font.h"
#include "graphics/graphics_classes.h"
#include "graphics/tests/gl_test_support.h"
#include "objects/system.h"
#include "platform/kd_start.h"

namespace graphics::test {

// Letters as 5x7 bitmaps ('#' set), each drawn 6 pixels apart on the page.
inline const std::map<char, const char*>& testLetters() {
    static const std::map<char, const char*> letters{
        {'A', " ### "
              "#   #"
              "#   #"
              "#####"
              "#   #"
              "#   #"
              "#   #"},
        {'V', "#   #"
              "#   #"
              "#   #"
              "#   #"
              " # # "
              " # # "
              "  #  "},
        {'T', "#####"
              "  #  "
              "  #  "
              "  #  "
              "  #  "
              "  #  "
              "  #  "},
        {'o', "     "
              "     "
              " ### "
              "#   #"
              "#   #"
              "#   #"
              " ### "},
        {'i', "  #  "
              "     "
              " ##  "
              "  #  "
              "  #  "
              "  #  "
              " ### "},
        {'H', "#   #"
              "#   #"
              "#   #"
              "#####"
              "#   #"
              "#   #"
              "#   #"},
        {'-', "     "
              "     "
              "     "
              "#### "
              "     "
              "     "
              "     "},
    };
    return letters;
}

class FontTest : public SystemGlTest {
protected:
    FontTest() : SystemGlTest("hh-font") {}

    static void writeText(const std::string& path, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path().empty()
                                                ? std::filesystem::path(".")
                                                : std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    // The page: white letters on transparent black, 6 pixels apart from x = 1, y = 1.
    static void writePage(const std::string& path) {
        constexpr int kW = 64, kH = 16;
        Bytes rgba(kW * kH * 4, 0);
        int slot = 0;
        for (const auto& [letter, bits] : testLetters()) {
            for (int y = 0; y < 7; ++y) {
                for (int x = 0; x < 5; ++x) {
                    if (bits[y * 5 + x] != '#') {
                        continue;
                    }
                    std::uint8_t* p = &rgba[((1 + y) * kW + 1 + slot * 6 + x) * 4];
                    p[0] = p[1] = p[2] = p[3] = 0xFF;
                }
            }
            ++slot;
        }
        writeFile(path, makePngRgba(kW, kH, rgba));
    }

    // The description: one char line per letter plus the space; `extra` is appended (kernings, junk).
    static std::string description(const std::string& info = "info face=\"Test\" size=8",
                                   const std::string& extra = "kernings count=1\nkerning first=65 second=86 "
                                                              "amount=-1\n") {
        std::string text = info + "\r\ncommon lineHeight=10 base=8 scaleW=64 scaleH=16 pages=1 packed=0\r\n"
                                  "page id=0 file=\"page.png\"\r\n";
        text += "chars count=" + std::to_string(testLetters().size() + 1) + "\r\n";
        text += "char id=32 x=0 y=0 width=0 height=0 xoffset=0 yoffset=0 xadvance=4 page=0 chnl=15\r\n";
        int slot = 0;
        for (const auto& entry : testLetters()) {
            text += "char id=" + std::to_string(int(entry.first)) + " x=" + std::to_string(1 + slot * 6) +
                    " y=1 width=5 height=7 xoffset=0 yoffset=1 xadvance=6 page=0 chnl=15\r\n";
            ++slot;
        }
        return text + extra;
    }

    // Writes fonts/test.fnt (with `text`) and fonts/page.png, and loads it through the resource manager.
    ComponentRef<IFont> loadFont(const std::string& text = description(),
                                 const char* name = "fonts/test.fnt") {
        std::filesystem::create_directories("fonts");
        writePage("fonts/page.png");
        writeText(name, text);
        return System::live()->GetResourceManager()->GetFont(name).query<IFont>();
    }
};

} // namespace graphics::test
