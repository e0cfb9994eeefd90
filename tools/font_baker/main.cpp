// hh-fontbake: bakes a TrueType font into a bitmap font the engine reads (BMFont text + PNG pages).
//
//     hh-fontbake --font DejaVuSansMono.ttf --size 14 --out res/fonts/console.fnt
//                 [--chars 32-126,160-255] [--alias 127=62] [--page 256]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/font_baker/font_bake.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: hh-fontbake --font FILE.ttf --size PIXELS --out NAME.fnt [--chars LIST] "
                         "[--alias CODE=SOURCE]... [--page SIZE]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    BakeOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) {
            return usage();
        }
        const std::string value = argv[++i];
        if (option == "--font") {
            options.fontPath = value;
        } else if (option == "--out") {
            options.outPath = value;
        } else if (option == "--size") {
            options.pixelSize = std::atoi(value.c_str());
        } else if (option == "--page") {
            options.pageSize = std::atoi(value.c_str());
        } else if (option == "--chars") {
            if (!parseRanges(value, options.ranges)) {
                std::fprintf(stderr, "hh-fontbake: bad --chars list: %s\n", value.c_str());
                return 2;
            }
        } else if (option == "--alias") {
            unsigned codePoint = 0, source = 0;
            if (std::sscanf(value.c_str(), "%u=%u", &codePoint, &source) != 2) {
                std::fprintf(stderr, "hh-fontbake: bad --alias: %s\n", value.c_str());
                return 2;
            }
            options.aliases.emplace_back(codePoint, source);
        } else {
            return usage();
        }
    }
    if (options.fontPath.empty() || options.outPath.empty()) {
        return usage();
    }
    std::string error;
    if (!bakeFont(options, error)) {
        std::fprintf(stderr, "hh-fontbake: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
