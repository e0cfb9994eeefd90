// tileset_builder: compiles a tile-set description into the binary tile-set file, the images the description
// paints (32-bit TGA) and a script of tile numbers and texture paths.
//
//     tileset_builder DESCRIPTION ROOT TILESET SCRIPT
//
// TILESET, SCRIPT and every image and texture path of the description are relative to ROOT (the game's
// working folder), so the script's texture paths are the ones the game loads. Exit code 0, or 1 with
// "DESCRIPTION:line N: ..." on standard error.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "graphics/image_record.h"
#include "tools/tileset_source.h"

namespace {

std::filesystem::path g_root;

bool writeBytes(const std::filesystem::path& path, const void* data, std::size_t size) {
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

bool imageSize(const std::string& path, std::int32_t& width, std::int32_t& height) {
    std::ifstream in(g_root / path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    ImageRecord* image = ReadImageFromMemory(bytes.data(), bytes.size());
    if (image == nullptr) {
        return false;
    }
    width = image->width;
    height = image->height;
    FreeImage(image);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: tileset_builder DESCRIPTION ROOT TILESET SCRIPT\n");
        return 1;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "%s: can't read it\n", argv[1]);
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    g_root = argv[2];
    TileSetSource source;
    if (!compileTileSetSource(text.str(), source, &imageSize)) {
        std::fprintf(stderr, "%s:%s\n", argv[1], source.error.c_str());
        return 1;
    }
    for (const PaintedImage& image : source.images) {
        const std::vector<std::uint8_t> tga = encodeTga(image);
        if (!writeBytes(g_root / image.path, tga.data(), tga.size())) {
            std::fprintf(stderr, "%s: can't write %s\n", argv[1], image.path.c_str());
            return 1;
        }
    }
    const std::string script = tileSetScript(source, std::filesystem::path(argv[1]).filename().string());
    if (!writeBytes(g_root / argv[3], source.tileSet.data(), source.tileSet.size()) ||
        !writeBytes(g_root / argv[4], script.data(), script.size())) {
        std::fprintf(stderr, "%s: can't write the outputs\n", argv[1]);
        return 1;
    }
    std::printf("%s: %zu tiles, %zu images\n", argv[1], source.tileNames.size(), source.images.size());
    return 0;
}
